# Forgets the counts of earlier runs, so that the report is of one run of the suite.
#
#   cmake -DBINARY_DIR=<build> -P cmake/CoverageReset.cmake
file(GLOB_RECURSE counts ${BINARY_DIR}/*.gcda)
if(counts)
  file(REMOVE ${counts})
endif()
