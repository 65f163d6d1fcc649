# Cross-build of the whole program for 64-bit Windows, window included, with
# Debian's MinGW-w64 compilers and a Qt for Windows built by
# scripts/qt-for-windows.sh.
#   cmake --preset windows-cross-gui
#   cmake -S . -B build-win-gui -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64-gui.cmake \
#         -DTOBRIK_QT_WINDOWS=/var/cache/tobrik/qt-6.4.2+dfsg-10-mingw-w64-gcc12
# Unlike cmake/mingw-w64-x86_64.cmake nothing is linked -static: Qt's DLLs
# use the shared MinGW runtime (libstdc++-6.dll, libgcc_s_seh-1.dll,
# libwinpthread-1.dll), and tobrik.exe uses the same one, so the process
# holds one C++ runtime. The test executables without Qt still link -static.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64-compilers.cmake)

# The Qt for Windows: given, or the newest complete one in the cache of
# scripts/qt-for-windows.sh.
if(NOT TOBRIK_QT_WINDOWS AND DEFINED ENV{TOBRIK_QT_WINDOWS})
    set(TOBRIK_QT_WINDOWS "$ENV{TOBRIK_QT_WINDOWS}")
endif()
if(NOT TOBRIK_QT_WINDOWS)
    file(GLOB _tobrik_qt_stamps /var/cache/tobrik/qt-*-mingw-w64-gcc*/.complete)
    if(_tobrik_qt_stamps)
        list(SORT _tobrik_qt_stamps COMPARE NATURAL ORDER DESCENDING)
        list(GET _tobrik_qt_stamps 0 _tobrik_qt_stamp)
        get_filename_component(TOBRIK_QT_WINDOWS "${_tobrik_qt_stamp}" DIRECTORY)
    endif()
endif()
if(NOT TOBRIK_QT_WINDOWS OR NOT EXISTS "${TOBRIK_QT_WINDOWS}/.complete")
    message(FATAL_ERROR "No Qt for Windows: run scripts/qt-for-windows.sh and pass its folder "
                        "as -DTOBRIK_QT_WINDOWS=<folder>")
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

# Runs a cross-built executable under wine (see tests/win32/wine-run.sh).
get_filename_component(_tobrik_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TOBRIK_WINE_RUNNER "${_tobrik_source_dir}/tests/win32/wine-run.sh"
    CACHE FILEPATH "Runs a Windows test executable on this machine")
