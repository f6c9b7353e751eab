# Every target of the project gets the same warnings; third-party code does not.
add_library(kvz_warnings INTERFACE)
target_compile_options(kvz_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                              -Wno-sign-conversion)
if(KVZ_WARNINGS_AS_ERRORS)
  target_compile_options(kvz_warnings INTERFACE -Werror)
endif()
