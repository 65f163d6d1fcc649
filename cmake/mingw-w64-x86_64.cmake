# Cross-build for 64-bit Windows with Debian's MinGW-w64 compilers.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DTOBRIK_BUILD_GUI=OFF
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64-compilers.cmake)

# Executables carry their runtime (libstdc++, libgcc, winpthread): without
# it they need libwinpthread-1.dll beside them and fail to start.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Runs a cross-built test executable under wine (see tests/windows/wine-run.sh).
get_filename_component(_tobrik_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# A build folder whose cached runner has since moved or gone takes this one.
if(DEFINED CACHE{TOBRIK_WINE_RUNNER} AND NOT EXISTS "${TOBRIK_WINE_RUNNER}")
    unset(TOBRIK_WINE_RUNNER CACHE)
endif()
set(TOBRIK_WINE_RUNNER "${_tobrik_source_dir}/tests/windows/wine-run.sh"
    CACHE FILEPATH "Runs a Windows test executable on this machine")
