# Fails on any C++ file of the tree that clang-format (the tree's .clang-format) would change, and
# names it. Reads the files, not git, so that a copy without its history is checked the same.
#
#   cmake -DSOURCE_DIR=<tree> -DCLANG_FORMAT=<program> -P cmake/CheckFormat.cmake
include(${CMAKE_CURRENT_LIST_DIR}/TreeSources.cmake)
kvz_tree_sources(sources)
list(FILTER sources EXCLUDE REGEX "\\.h\\.in$")
list(LENGTH sources count)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "clang-format would change the files named above")
endif()
message(STATUS "clang-format: ${count} files formatted as .clang-format says")
