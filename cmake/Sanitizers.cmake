# Applied to the whole tree, so the code under test and the tests share one runtime.
if(KVZ_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(KVZ_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  # Some kernels randomise mmap more than ThreadSanitizer's shadow memory allows: the tests run
  # with address randomisation off, for their own processes only.
  set(CMAKE_CROSSCOMPILING_EMULATOR setarch -R)
elseif(NOT KVZ_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KVZ_SANITIZE must be empty, address or thread")
endif()
