# Every target of the project gets the same warnings; third-party code does not.
add_library(kvz_warnings INTERFACE)
target_compile_options(kvz_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                              -Wno-sign-conversion)
# On in every preset the scripts use; off for whoever builds the package from source with another
# compiler, whose new warnings should not stop the build.
if(KVZ_WARNINGS_AS_ERRORS)
  target_compile_options(kvz_warnings INTERFACE -Werror)
endif()
