# Runs the checks of .clang-tidy over every C++ file the build compiles (its compile_commands.json,
# so the generated headers must exist: run after the build); any finding fails and is named.
#
#   cmake -DSOURCE_DIR=<tree> -DBINARY_DIR=<build> -DRUN_CLANG_TIDY=<program> -P cmake/CheckTidy.cmake
cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
set(log ${BINARY_DIR}/tidy.log)
execute_process(
  COMMAND ${RUN_CLANG_TIDY} -p ${BINARY_DIR} -quiet -j ${jobs}
          "^${SOURCE_DIR}/(app|base|bench|device|dialogs|emulator|protocol|register|report|tests|tools|ui)/"
  OUTPUT_FILE ${log} ERROR_FILE ${log}.err RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  # The log without its colours, the commands it ran and clang-tidy's count of the warnings it
  # left out: the findings and their context.
  file(READ ${log} findings)
  file(READ ${log}.err errors)
  string(ASCII 27 escape)
  string(REGEX REPLACE "${escape}\\[[0-9;]*m" "" findings "${findings}")
  string(REGEX REPLACE "[^\n]*--use-color[^\n]*\n" "" findings "${findings}")
  string(REGEX REPLACE "[0-9]+ warnings? generated\\.\n" "" errors "${errors}")
  message(FATAL_ERROR "clang-tidy (the whole log is ${log}):\n${findings}${errors}")
endif()
message(STATUS "clang-tidy: no findings")
