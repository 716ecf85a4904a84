# Compiler settings shared by every kinrec target.
#
# The tables kinrec writes are compared bit for bit, so floating point follows the
# source literally: no fused multiply-add contraction, no fast-math, no host tuning.

if(DEFINED ENV{CI})
    set(KINREC_WARNINGS_DEFAULT ON)
else()
    set(KINREC_WARNINGS_DEFAULT OFF)
endif()
option(KINREC_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" ${KINREC_WARNINGS_DEFAULT})
option(KINREC_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KINREC_TSAN "Build with ThreadSanitizer" OFF)

function(kinrec_target_settings target)
    target_compile_features(${target} PUBLIC cxx_std_17)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE
            -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
            -ffp-contract=off -fno-fast-math)
        if(KINREC_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
        if(MINGW)
            # kinrec.exe and the test programs run on a Windows machine with nothing
            # installed.
            target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
        endif()
        if(KINREC_TSAN)
            target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
            target_link_options(${target} PRIVATE -fsanitize=thread)
        endif()
        if(KINREC_SANITIZE)
            target_compile_options(${target} PRIVATE
                -fsanitize=address,undefined,float-cast-overflow,float-divide-by-zero
                -fno-sanitize-recover=all -fno-omit-frame-pointer)
            target_link_options(${target} PRIVATE
                -fsanitize=address,undefined,float-cast-overflow,float-divide-by-zero)
        endif()
    endif()
endfunction()
