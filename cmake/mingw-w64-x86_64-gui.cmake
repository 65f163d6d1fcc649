# Cross-build of the whole program for 64-bit Windows, window included, with
# Debian's MinGW-w64 compilers and a Qt for Windows built by
# scripts/qt-for-windows.sh.
#   cmake --preset windows-cross-gui
#   cmake -S . -B build-win-gui -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64-gui.cmake \
#         [-DTOBRIK_QT_WINDOWS=$(scripts/qt-for-windows.sh --folder)]
# Unlike cmake/mingw-w64-x86_64.cmake nothing is linked -static: Qt's DLLs
# use the shared MinGW runtime (libstdc++-6.dll, libgcc_s_seh-1.dll,
# libwinpthread-1.dll), and tobrik.exe uses the same one, so the process
# holds one C++ runtime. The test executables without Qt still link -static.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64-compilers.cmake)

# The Qt for Windows: given, or the folder that scripts/qt-for-windows.sh
# builds for this source (--folder names it); never another one of its
# cache, such as an older Debian version's.
if(NOT TOBRIK_QT_WINDOWS AND DEFINED ENV{TOBRIK_QT_WINDOWS})
    set(TOBRIK_QT_WINDOWS "$ENV{TOBRIK_QT_WINDOWS}")
endif()
if(NOT TOBRIK_QT_WINDOWS)
    execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/qt-for-windows.sh --folder
                    OUTPUT_VARIABLE TOBRIK_QT_WINDOWS OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE _tobrik_no_folder)
    if(_tobrik_no_folder)
        message(FATAL_ERROR "No folder for Qt for Windows (see above)")
    endif()
endif()
if(NOT EXISTS "${TOBRIK_QT_WINDOWS}/.complete")
    message(FATAL_ERROR "No Qt for Windows in ${TOBRIK_QT_WINDOWS}: run scripts/qt-for-windows.sh, "
                        "or pass a complete one as -DTOBRIK_QT_WINDOWS=<folder>")
endif()
set(TOBRIK_QT_WINDOWS "${TOBRIK_QT_WINDOWS}" CACHE PATH "Qt for Windows (scripts/qt-for-windows.sh)")
list(APPEND CMAKE_FIND_ROOT_PATH "${TOBRIK_QT_WINDOWS}")
list(APPEND CMAKE_PREFIX_PATH "${TOBRIK_QT_WINDOWS}")

# Reading import tables and stripping, for the release folder.
set(CMAKE_OBJDUMP /usr/bin/${TOBRIK_MINGW_TRIPLET}-objdump CACHE FILEPATH "")
set(CMAKE_STRIP /usr/bin/${TOBRIK_MINGW_TRIPLET}-strip CACHE FILEPATH "")

# Qt's build tools (moc, rcc, uic) come from the host's Qt of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# The MinGW runtime DLLs that tobrik.exe and Qt import, for the release folder
# and for running the window tests under wine.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE _tobrik_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_tobrik_gcc_dlls "${_tobrik_libstdcxx}" DIRECTORY)
set(TOBRIK_MINGW_DLL_DIRS "${_tobrik_gcc_dlls}" /usr/${TOBRIK_MINGW_TRIPLET}/lib
    CACHE STRING "Folders of the MinGW runtime DLLs")

# Runs a cross-built executable under wine (see tests/windows/wine-run.sh).
get_filename_component(_tobrik_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# A build folder whose cached runner has since moved or gone takes this one.
if(DEFINED CACHE{TOBRIK_WINE_RUNNER} AND NOT EXISTS "${TOBRIK_WINE_RUNNER}")
    unset(TOBRIK_WINE_RUNNER CACHE)
endif()
set(TOBRIK_WINE_RUNNER "${_tobrik_source_dir}/tests/windows/wine-run.sh"
    CACHE FILEPATH "Runs a Windows test executable on this machine")
