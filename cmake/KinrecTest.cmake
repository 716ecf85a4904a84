# kinrec_add_test(<name> [PIPELINE] SOURCES <files...> [LIBS <libs...>])
#
# One GoogleTest executable per area, registered with CTest case by case. PIPELINE: the
# test links the pipeline library alone (and sees its sources), not the console tool's.
include(GoogleTest)

function(kinrec_add_test name)
    cmake_parse_arguments(ARG "PIPELINE" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    kinrec_target_settings(${name})
    if(ARG_PIPELINE)
        target_link_libraries(${name} PRIVATE kinrec_pipeline)
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    else()
        target_link_libraries(${name} PRIVATE kinrec_app)
    endif()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    if(CMAKE_CROSSCOMPILING)
        # Listing the cases needs the emulator: do it when the tests run, not at build.
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                             PROPERTIES TIMEOUT 300)
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
    endif()
endfunction()
