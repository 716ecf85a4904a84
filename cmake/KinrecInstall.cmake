# Installs the library for other CMake projects:
#   find_package(kinrec REQUIRED)
#   target_link_libraries(app PRIVATE kinrec::kinrec)
# and #include "kinrec.h".
include(CMakePackageConfigHelpers)

install(TARGETS kinrec_pipeline EXPORT kinrecTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES Include/public/kinrec.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT kinrecTargets NAMESPACE kinrec:: FILE kinrecTargets.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kinrec)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/kinrecConfig.cmake.in [=[
@PACKAGE_INIT@
include(CMakeFindDependencyMacro)
find_dependency(Threads)
include("${CMAKE_CURRENT_LIST_DIR}/kinrecTargets.cmake")
check_required_components(kinrec)
]=])
configure_package_config_file(${CMAKE_CURRENT_BINARY_DIR}/kinrecConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/kinrecConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kinrec)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kinrecConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kinrecConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/kinrecConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kinrec)
