# Debian's MinGW-w64 compilers for 64-bit Windows, shared by the program's
# cross-build and the build of Qt for Windows. The -posix compilers are named
# explicitly: installing the win32 thread variant as well would switch the
# plain x86_64-w64-mingw32-g++ to it, and Qt needs std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOBRIK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOBRIK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOBRIK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOBRIK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOBRIK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
