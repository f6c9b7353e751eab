# The checks of the sources themselves. The quick ones are tests labelled lint, in every test run
# of the build that sees the whole tree; clang-tidy takes minutes and is the target `tidy`, which
# reads the build's compile_commands.json and its generated headers: build everything first.
find_program(KVZ_CLANG_FORMAT clang-format REQUIRED)
find_program(KVZ_RUN_CLANG_TIDY run-clang-tidy REQUIRED)

add_test(NAME relative_includes
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P
                 ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake)
add_test(NAME format
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                 -DCLANG_FORMAT=${KVZ_CLANG_FORMAT} -P ${PROJECT_SOURCE_DIR}/cmake/CheckFormat.cmake)
set_tests_properties(relative_includes format PROPERTIES LABELS lint TIMEOUT 120)

add_custom_target(tidy
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DBINARY_DIR=${PROJECT_BINARY_DIR}
          -DRUN_CLANG_TIDY=${KVZ_RUN_CLANG_TIDY} -P ${PROJECT_SOURCE_DIR}/cmake/CheckTidy.cmake
  USES_TERMINAL VERBATIM)
