# The release folder of the Windows program, as Qt's deployment tool lays it
# out: cmake --install <build> --prefix <folder> puts into <folder>
#   tobrik.exe, the Qt DLLs and MinGW runtime DLLs it imports,
#   platforms/qwindows.dll, styles/qwindowsvistastyle.dll (and what they
#   import), LICENSE.txt (the program's) and licenses/ (those of the rest, from
#   Licenses.cmake),
# all executables and DLLs stripped. release-check.sh checks that nothing
# else is needed; release.sh packs the folder into the zip and the
# installer, named from tobrik-release.env, which is written here into the
# build folder.
# Included from ui/CMakeLists.txt, where the program is installed.

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# The plugins a Qt widgets program loads on Windows, by their folder.
set(_tobrik_plugins
    platforms Qt6::QWindowsIntegrationPlugin
    styles Qt6::QWindowsVistaStylePlugin)
set(_tobrik_plugin_files)
set(_tobrik_shipped) # <path in the folder>=<source>, for the licences
while(_tobrik_plugins)
    list(POP_FRONT _tobrik_plugins folder target)
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${folder})
    list(APPEND _tobrik_plugin_files $<TARGET_FILE:${target}>)
    list(APPEND _tobrik_shipped ${folder}/$<TARGET_FILE_NAME:${target}>=$<TARGET_FILE:${target}>)
endwhile()
# No catalog of Qt's translations ships: the program carries its own
# Japanese for the few texts of Qt that its window shows.
# MinGW-w64's start-up code and a few of libgcc's helpers are linked into
# tobrik.exe and into every DLL built with the same compilers: named in the
# licences whether or not a runtime DLL ships.
set(_tobrik_linked
    crt2.o "the start-up code in each .exe and .dll"
    libgcc.a "libgcc's helpers in each .exe and .dll")
while(_tobrik_linked)
    list(POP_FRONT _tobrik_linked file what)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${file}
                    OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE)
    list(APPEND _tobrik_shipped "${what}=${file}")
endwhile()

find_program(TOBRIK_PYTHON3 python3 REQUIRED)
get_target_property(_tobrik_qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(_tobrik_qt_bin "${_tobrik_qt_core}" DIRECTORY)

# What release.sh needs of the build: the release's version
# as the program shows it (1.02) and as Windows' version records give it
# (1.2.0.0), and the Qt for Windows, whose exact source it publishes: the
# folder asked for (TOBRIK_QT_WINDOWS) and the one whose Qt6Core.dll the
# build really links and ships, which a Qt6_DIR kept in the cache from an
# earlier configuration decides.
string(REPLACE ", " "." _tobrik_file_version "${TOBRIK_VERSION_NUMBERS}")
get_filename_component(_tobrik_qt_used "${_tobrik_qt_bin}" DIRECTORY)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/tobrik-release.env
     CONTENT "version=${TOBRIK_VERSION_TEXT}
file_version=${_tobrik_file_version}
qt_prefix='${TOBRIK_QT_WINDOWS}'
qt_used='${_tobrik_qt_used}'
")

# The DLLs that the program and its plugins import, found by reading their
# import tables (objdump), from Qt's folder and the MinGW runtime's; the
# Windows DLLs stay unresolved and are not copied.
install(CODE "
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND \"${CMAKE_OBJDUMP}\")
    set(tobrik_exe \"$<TARGET_FILE:tobrik>\")
    set(tobrik_plugins \"${_tobrik_plugin_files}\")
    set(tobrik_dll_dirs \"${_tobrik_qt_bin};${TOBRIK_MINGW_DLL_DIRS}\")
    set(tobrik_strip \"${CMAKE_STRIP}\")
    set(tobrik_time_stamps \"${TOBRIK_PYTHON3};${CMAKE_CURRENT_LIST_DIR}/pe-time-stamps.py\")
    set(tobrik_source_date_epoch \"${TOBRIK_SOURCE_DATE_EPOCH}\")
    set(tobrik_shipped \"${_tobrik_shipped}\")
    set(tobrik_qt_prefix \"${TOBRIK_QT_WINDOWS}\")
    set(tobrik_version_text \"${TOBRIK_VERSION_TEXT}\")
    set(tobrik_source_dir \"${PROJECT_SOURCE_DIR}\")
")
install(CODE [[
    cmake_policy(PUSH)
    cmake_policy(VERSION 3.25)
    # CMake reads the names in import tables in lower case, as Windows
    # compares them, but looks them up in the folders as they stand: a DLL
    # named with capitals (Qt6Core.dll) stays unresolved. Those are looked
    # up here without case, and what they import is read in the next round.
    set(known_names)
    set(known_paths)
    foreach(dir IN LISTS tobrik_dll_dirs)
        file(GLOB dlls "${dir}/*.dll")
        foreach(dll IN LISTS dlls)
            get_filename_component(name "${dll}" NAME)
            string(TOLOWER "${name}" name)
            list(APPEND known_names "${name}")
            list(APPEND known_paths "${dll}")
        endforeach()
    endforeach()
    set(resolved)
    set(libraries)
    set(windows_dlls)
    while(TRUE) # until a round finds no DLL new
        file(GET_RUNTIME_DEPENDENCIES
            EXECUTABLES "${tobrik_exe}"
            MODULES ${tobrik_plugins}
            LIBRARIES ${libraries}
            DIRECTORIES ${tobrik_dll_dirs}
            RESOLVED_DEPENDENCIES_VAR found
            UNRESOLVED_DEPENDENCIES_VAR unresolved)
        list(APPEND resolved ${found})
        set(added FALSE)
        set(windows_dlls)
        foreach(name IN LISTS unresolved)
            list(FIND known_names "${name}" index)
            if(index EQUAL -1)
                list(APPEND windows_dlls "${name}")
                continue()
            endif()
            list(GET known_paths ${index} dll)
            if(NOT dll IN_LIST libraries)
                list(APPEND libraries "${dll}")
                set(added TRUE)
            endif()
        endforeach()
        if(NOT added)
            break()
        endif()
    endwhile()
    list(APPEND resolved ${libraries})
    list(REMOVE_DUPLICATES resolved)
    set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    foreach(dll IN LISTS resolved)
        file(INSTALL "${dll}" DESTINATION "${folder}")
        get_filename_component(name "${dll}" NAME)
        list(APPEND tobrik_shipped "${name}=${dll}")
    endforeach()
    list(JOIN windows_dlls " " windows_dlls)
    message(STATUS "Left to Windows: ${windows_dlls}")
    # Debug information is for the developer, not the user: libstdc++-6.dll
    # alone shrinks from 23 MB to 2 MB. strip stamps each file with the
    # time of day, and the linker stamped Qt's export tables with the time
    # Qt was built: both become the release's date.
    set(binaries ${CMAKE_INSTALL_MANIFEST_FILES})
    list(FILTER binaries INCLUDE REGEX "\\.(exe|dll)$")
    foreach(binary IN LISTS binaries)
        execute_process(COMMAND "${tobrik_strip}" --strip-all "${binary}"
                        RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "cannot strip ${binary}")
        endif()
    endforeach()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=${tobrik_source_date_epoch}
                            ${tobrik_time_stamps} ${binaries}
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot set the time stamps of ${binaries}")
    endif()
    cmake_policy(POP)
]])
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/Licenses.cmake)
