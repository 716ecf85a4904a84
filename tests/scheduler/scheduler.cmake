# The scheduler tests: tools/kinrec-array.sbatch on a one-node SLURM cluster, the GNU
# parallel recipe and tools/kinrec.smk under snakemake, each against one `kinrec -r`
# (tests/scheduler/README.md); and the kinrec line the array script builds from each
# scheduler's variables. Included from tests/CMakeLists.txt; they exit 77, shown as
# skipped, without root, SLURM, MUNGE, GNU parallel or snakemake.
if(WIN32 OR CMAKE_CROSSCOMPILING)
    return()
endif()

# Needs no kinrec and no scheduler: a stand-in kinrec prints the line it is given.
find_program(KINREC_SH sh)
if(KINREC_SH)
    add_test(NAME scheduler_array_env
             COMMAND ${KINREC_SH} ${CMAKE_CURRENT_LIST_DIR}/array-env-test.sh)
    set_tests_properties(scheduler_array_env PROPERTIES LABELS scheduler TIMEOUT 60)
endif()
find_program(KINREC_BASH bash)
if(NOT KINREC_BASH)
    message(STATUS "No bash: the scheduler tests are left out")
    return()
endif()

# The tree generator; bench/CMakeLists.txt defines it too, after this, when the
# benchmarks are built.
if(NOT KINREC_BUILD_BENCH AND NOT TARGET gen_recording)
    add_executable(gen_recording ${PROJECT_SOURCE_DIR}/bench/gen_recording.cpp)
    target_compile_features(gen_recording PRIVATE cxx_std_17)
endif()

foreach(scheduler slurm parallel snakemake mount)
    add_test(NAME scheduler_${scheduler}
             COMMAND ${KINREC_BASH} ${CMAKE_CURRENT_LIST_DIR}/${scheduler}-test.sh
                     $<TARGET_FILE:kinrec> $<TARGET_FILE:gen_recording>)
    set_tests_properties(scheduler_${scheduler} PROPERTIES
        SKIP_RETURN_CODE 77 LABELS scheduler TIMEOUT 300)
endforeach()
