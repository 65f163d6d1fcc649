# Cross-build for 64-bit Windows with Debian's MinGW-w64 compilers.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DTOBRIK_BUILD_GUI=OFF
# The -posix compilers are named explicitly: installing the win32 thread
# variant as well would switch the plain x86_64-w64-mingw32-g++ to it.
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

# Executables carry their runtime (libstdc++, libgcc, winpthread): without
# it they need libwinpthread-1.dll beside them and fail to start.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Runs a cross-built test executable under wine (see tests/win32/wine-run.sh).
get_filename_component(_tobrik_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TOBRIK_WINE_RUNNER "${_tobrik_source_dir}/tests/win32/wine-run.sh"
    CACHE FILEPATH "Runs a Windows test executable on this machine")
