# Installs the library into a scratch prefix, builds examples/library against it as a
# project of its own and runs the program: what another project's find_package sees.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE status OUTPUT_QUIET)
if(status)
    message(FATAL_ERROR "cmake --install failed")
endif()
# The man page carries the version of the VERSION file, as kinrec --version does.
file(GLOB_RECURSE manpages ${WORK_DIR}/prefix/*/kinrec.1)
file(STRINGS "${manpages}" title REGEX "^\\.TH ")
if(NOT title MATCHES "\"kinrec ${VERSION}\"")
    message(FATAL_ERROR "the installed man page's title (${title}) is not of kinrec ${VERSION}")
endif()
# The installed headers are the public ones, and nothing else.
file(GLOB_RECURSE headers RELATIVE ${WORK_DIR}/prefix/include ${WORK_DIR}/prefix/include/*)
if(NOT headers STREQUAL "kinrec.h")
    message(FATAL_ERROR "installed headers: ${headers}; only kinrec.h is public")
endif()
# Every name the library defines is in namespace kinrec, so none collides with a caller's
# (weak definitions, the standard library's template instances, aside).
file(GLOB_RECURSE archives ${WORK_DIR}/prefix/*.a)
execute_process(COMMAND ${NM} --defined-only --demangle ${archives} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE status)
if(status OR NOT archives)
    message(FATAL_ERROR "cannot list the symbols of the installed library (${archives})")
endif()
# Brackets ("[abi:cxx11]") would hold a CMake list together: round ones instead.
string(REPLACE "[" "(" symbols "${symbols}")
string(REPLACE "]" ")" symbols "${symbols}")
string(REPLACE ";" "," symbols "${symbols}")
string(REPLACE "\n" ";" lines "${symbols}")
set(outside)
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-f]+ [A-TX-Z] (.*)$")
        set(name "${CMAKE_MATCH_1}")
        if(NOT name MATCHES "^kinrec::")
            list(APPEND outside "${name}")
        endif()
    endif()
endforeach()
if(outside)
    message(FATAL_ERROR "defined outside namespace kinrec: ${outside}")
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
