# Cross-build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu:
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# Programs run here under qemu-user (qemu-aarch64), which loads the target's dynamic
# linker and C library from the cross tool chain's sysroot; the end-to-end tests start
# kinrec through the same command (no binfmt_misc registration needed).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(KINREC_SYSROOT /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH ${KINREC_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KINREC_QEMU NAMES qemu-aarch64 qemu-aarch64-static)
if(KINREC_QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KINREC_QEMU} -L ${KINREC_SYSROOT})
    # The end-to-end tests start kinrec with this command in front.
    set(KINREC_TEST_LAUNCHER "${KINREC_QEMU};-L;${KINREC_SYSROOT}" CACHE STRING
        "Command that starts a program built here, for the end-to-end tests")
endif()

# GoogleTest is built from its Debian source package with the cross compiler.
set(KINREC_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build")
