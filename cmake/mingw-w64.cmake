# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads, for std::thread).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# tools/test-windows.sh builds the core and its tests this way and runs them under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLANE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry the compiler's runtime, so Wine needs no DLLs copied beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and their discovery run the programs under Wine.
find_program(QUILLANE_WINE wine64 wine)
if(QUILLANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLANE_WINE})
endif()

# GoogleTest is built from its sources (Debian's googletest package) with the core.
if(NOT DEFINED QUILLANE_GTEST_SOURCE_DIR AND EXISTS /usr/src/googletest/CMakeLists.txt)
  set(QUILLANE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
endif()
