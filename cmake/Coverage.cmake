# Line coverage of the tests (scripts/coverage.sh reads it): the whole tree is built with gcov's
# counters, unoptimised so that every line maps to code.
if(KVZ_COVERAGE)
  add_compile_options(--coverage -O0)
  add_link_options(--coverage)
endif()
