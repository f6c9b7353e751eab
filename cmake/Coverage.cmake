# Line coverage of the tests: the whole tree is built with gcov's counters, unoptimised so that
# every line maps to code. The target `coverage` counts one fresh run of the suite and leaves the
# report, per file and in total, in coverage.txt of the build folder.
if(KVZ_COVERAGE)
  add_compile_options(--coverage -O0)
  add_link_options(--coverage)
  find_program(KVZ_GCOVR gcovr REQUIRED)
  add_custom_target(coverage
    COMMAND ${CMAKE_COMMAND} -DBINARY_DIR=${PROJECT_BINARY_DIR} -P
            ${PROJECT_SOURCE_DIR}/cmake/CoverageReset.cmake
    COMMAND ${CMAKE_CTEST_COMMAND} --preset coverage
    COMMAND ${KVZ_GCOVR} --root ${PROJECT_SOURCE_DIR} --object-directory ${PROJECT_BINARY_DIR}
            --exclude ${PROJECT_BINARY_DIR}/ --exclude ${PROJECT_SOURCE_DIR}/tests/
            --exclude ${PROJECT_SOURCE_DIR}/bench/ --print-summary
            --txt ${PROJECT_BINARY_DIR}/coverage.txt
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    USES_TERMINAL VERBATIM)
endif()
