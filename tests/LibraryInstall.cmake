# Installs the library into a scratch prefix, builds examples/library against it as a
# project of its own and runs the program: what another project's find_package sees.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE status OUTPUT_QUIET)
if(status)
    message(FATAL_ERROR "cmake --install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build
                        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_CXX_COMPILER=${CXX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(status)
    message(FATAL_ERROR "the example project did not find the installed library")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE status
                OUTPUT_QUIET)
if(status)
    message(FATAL_ERROR "the example project did not build")
endif()
execute_process(COMMAND ${WORK_DIR}/build/library_example RESULT_VARIABLE status
                OUTPUT_VARIABLE out)
message("${out}")
if(status)
    message(FATAL_ERROR "the example program failed")
endif()
