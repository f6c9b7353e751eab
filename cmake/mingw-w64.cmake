# Cross build for 64-bit Windows with Debian's mingw-w64. The posix flavour of
# the compiler is the one whose standard library has std::thread; -static keeps its runtime DLLs
# out of the way when the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVZ_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVZ_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVZ_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KVZ_MINGW_TRIPLET}-windres)

# Appended, so that -DCMAKE_FIND_ROOT_PATH=<folder> adds a cross-built library such as Qt.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${KVZ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Test discovery and ctest run the Windows executables through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
