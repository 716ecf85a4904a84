# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads flavour):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Test executables run under Wine through the crosscompiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KINREC_WINE NAMES wine64 wine)
if(KINREC_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KINREC_WINE})
    # Wine shows the Linux file system as drive Z:.
    set(KINREC_TEST_PATH_PREFIX "Z:" CACHE STRING "Prefix of build paths seen by the tests")
endif()

# GoogleTest is built from its Debian source package with the cross compiler.
set(KINREC_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build")
