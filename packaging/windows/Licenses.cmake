# Install script (ReleaseFolder.cmake runs it after the DLLs are
# laid out): writes licenses/ into the release folder, for every third-party
# file shipped its licence texts, its copyright notices and the exact Debian
# source package it was built from, versions read from dpkg at install time.
#
# Set by the caller:
#   tobrik_shipped      "<path in the folder>=<file it was copied from>", one
#                       per third-party file; also "<what>=<file linked>"
#                       for the runtime code linked into every binary
#   tobrik_qt_prefix    the Qt for Windows (scripts/qt-for-windows.sh builds
#                       it from the source of the host's qt6-base-dev)
#   tobrik_version_text the program's version as it shows it (1.02)
#   tobrik_source_dir   the source tree: what builds Qt (the script, its
#                       toolchain file, the script and package lists that
#                       install what it needs) ships in licenses/qt-build/
# A file whose source package has no entry below stops the install.

cmake_policy(PUSH)
cmake_policy(VERSION 3.25)

# What each Debian source package is and under which licence it is shipped;
# the files named are written into licenses/.
set(title_qt6-base "Qt 6 (Core, Gui, Widgets and the Windows plugins)")
set(licence_qt6-base "GNU Lesser General Public License version 3 (LGPL-3.txt, which adds to GPL-3.txt);
             the code of other projects inside Qt under the licences its copyright file gives")
set(texts_qt6-base LGPL-3 GPL-3)
set(note_qt6-base "The program loads these DLLs from its folder: your own build of the same
  Qt version, put in their place, takes over.")
set(title_gcc-mingw-w64 "The GCC runtime of MinGW-w64: libstdc++ and libgcc")
set(licence_gcc-mingw-w64 "GNU General Public License version 3 with the GCC Runtime Library Exception 3.1 (GPL-3.txt, GCC-exception-3.1.txt)")
set(texts_gcc-mingw-w64 GPL-3 GCC-exception-3.1)
set(title_mingw-w64 "The MinGW-w64 runtime: its start-up code (crt2.o, dllcrt2.o, libmingw32,
  libmingwex) and winpthreads, its POSIX threads")
set(licence_mingw-w64 "Zope Public License 2.1 (ZPL-2.1.txt), the start-up code's own files
             (the copyright file's sections mingw-w64-crt/*) in the public domain;
             winpthreads under the MIT (Expat) licence, a few parts BSD-3-clause or
             public domain (the sections mingw-w64-libraries/winpthreads/*)")
set(texts_mingw-w64 ZPL-2.1)

set(licenses "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/licenses")
file(REMOVE_RECURSE "${licenses}")
file(MAKE_DIRECTORY "${licenses}")

function(dpkg_query out)
    execute_process(COMMAND dpkg-query ${ARGN} OUTPUT_VARIABLE answer RESULT_VARIABLE failed
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(failed)
        message(FATAL_ERROR "dpkg-query ${ARGN} failed")
    endif()
    set(${out} "${answer}" PARENT_SCOPE)
endfunction()

# The Debian binary package a shipped file comes from: Qt's files from the
# Qt for Windows, built from the source of qt6-base-dev; the rest as dpkg
# knows them.
function(binary_package_of file out)
    file(REAL_PATH "${file}" real)
    file(REAL_PATH "${tobrik_qt_prefix}" qt)
    string(FIND "${real}" "${qt}/" at)
    if(at EQUAL 0)
        set(${out} qt6-base-dev PARENT_SCOPE)
        return()
    endif()
    execute_process(COMMAND dpkg-query -S "${real}" OUTPUT_VARIABLE owner RESULT_VARIABLE failed
                    ERROR_QUIET)
    if(failed)
        message(FATAL_ERROR "no Debian package holds ${real}: its licence is unknown")
    endif()
    string(REGEX REPLACE "[:,].*" "" owner "${owner}")
    set(${out} "${owner}" PARENT_SCOPE)
endfunction()

# Group the shipped files by source package.
set(sources)
foreach(entry IN LISTS tobrik_shipped)
    string(REGEX MATCH "^([^=]+)=(.+)$" _ "${entry}")
    set(shipped "${CMAKE_MATCH_1}")
    binary_package_of("${CMAKE_MATCH_2}" package)
    dpkg_query(source -W "-f=\${source:Package}" "${package}")
    if(NOT DEFINED licence_${source})
        message(FATAL_ERROR "${shipped} comes from Debian's ${source}, whose licence is not recorded in ${CMAKE_CURRENT_LIST_FILE}")
    endif()
    if(NOT source IN_LIST sources)
        list(APPEND sources "${source}")
        set(package_${source} "${package}")
        set(files_${source})
    endif()
    string(REPLACE "/" "\\" shipped "${shipped}")
    list(APPEND files_${source} "${shipped}")
endforeach()

set(readme "Tobrik ${tobrik_version_text} for Windows

Tobrik itself is under the MIT licence: LICENSE.txt beside tobrik.exe.

It ships these third-party parts. Each was built by Debian (Qt by Tobrik's
qt-for-windows.sh) from the Debian source package and version named below;
Debian's snapshot archive keeps every version of its source packages, and
on a Debian system 'apt-get source <package>=<version>' fetches it.

The source of Qt, exactly as it was built, is published beside this
download as tobrik-${tobrik_version_text}-qt-source.tar: Debian's .dsc and its
tarballs, as apt-get source fetched them. qt-build/ holds what builds it
again: scripts/qt-for-windows.sh, the CMake toolchain file that names
Debian's MinGW-w64 compilers (cmake/), and scripts/setup.sh with its package
lists (scripts/packages/), which install what the build needs. On Debian 12
with the same version of qt6-base-dev, as root:
  tar -xf tobrik-${tobrik_version_text}-qt-source.tar
  TOBRIK_QT_SOURCE=$PWD/tobrik-${tobrik_version_text}-qt-source \\
      bash qt-build/scripts/qt-for-windows.sh
builds it into the folder that 'bash qt-build/scripts/qt-for-windows.sh --folder'
names (/var/cache/tobrik/qt-<version>-mingw-w64-gcc<major>-<options>); its
bin/ holds the DLLs, which replace those beside tobrik.exe.
")
set(texts)
foreach(source IN LISTS sources)
    set(package "${package_${source}}")
    dpkg_query(version -W "-f=\${source:Version}" "${package}")
    dpkg_query(binary_version -W "-f=\${Version}" "${package}")
    list(SORT files_${source})
    list(JOIN files_${source} ", " files)
    configure_file("/usr/share/doc/${package}/copyright" "${licenses}/${source}.copyright.txt" COPYONLY)
    string(APPEND readme "
${title_${source}}
  Files:     ${files}
  Licence:   ${licence_${source}}
  Copyright: ${source}.copyright.txt (Debian's copyright file of ${package} ${binary_version})
  Source:    Debian's ${source} ${version}
")
    if(DEFINED note_${source})
        string(APPEND readme "  ${note_${source}}\n")
    endif()
    if(source STREQUAL "gcc-mingw-w64")
        # Debian builds it from its gcc-<major> source, whose version begins
        # the binary package's (12.2.0-14+deb12u1 in 12.2.0-14+deb12u1+25.2+b1).
        string(FIND "${binary_version}" "+${version}" at)
        string(SUBSTRING "${binary_version}" 0 ${at} gcc_version)
        string(REGEX MATCH "^[0-9]+" gcc_major "${gcc_version}")
        string(APPEND readme "             with GCC's own source, Debian's gcc-${gcc_major} ${gcc_version}
")
    endif()
    list(APPEND texts ${texts_${source}})
endforeach()
file(WRITE "${licenses}/README.txt" "${readme}")
foreach(recipe scripts/qt-for-windows.sh scripts/setup.sh scripts/packages/base.txt
               scripts/packages/windows.txt cmake/mingw-w64-x86_64-compilers.cmake)
    configure_file("${tobrik_source_dir}/${recipe}" "${licenses}/qt-build/${recipe}" COPYONLY)
endforeach()

# The licence texts named above: Debian's common licences, the runtime
# library exception as GCC's copyright file gives it and the ZPL as
# MinGW-w64's gives it.
list(REMOVE_DUPLICATES texts)
foreach(text IN LISTS texts)
    if(text STREQUAL "GCC-exception-3.1")
        file(READ "${licenses}/gcc-mingw-w64.copyright.txt" copyright)
        string(REGEX MATCH "GCC RUNTIME LIBRARY EXCEPTION.*requirements of the license of GCC\\.\n"
               exception "${copyright}")
        if(NOT exception)
            message(FATAL_ERROR "no GCC Runtime Library Exception in gcc-mingw-w64's copyright file")
        endif()
        file(WRITE "${licenses}/${text}.txt" "${exception}")
    elseif(text STREQUAL "ZPL-2.1")
        file(READ "${licenses}/mingw-w64.copyright.txt" copyright)
        string(REGEX MATCH "\nLicense: ZPL-2.1\n( [^\n]*\n)+" zpl "${copyright}")
        if(NOT zpl)
            message(FATAL_ERROR "no ZPL-2.1 text in mingw-w64's copyright file")
        endif()
        # The copyright file's form: each line indented by one space, " ."
        # for an empty line.
        string(REGEX REPLACE "^\nLicense: ZPL-2.1\n" "Zope Public License (ZPL) Version 2.1\n\n" zpl "${zpl}")
        string(REGEX REPLACE "\n \.\n" "\n\n" zpl "${zpl}")
        string(REGEX REPLACE "\n \.\n" "\n\n" zpl "${zpl}")
        string(REGEX REPLACE "\n " "\n" zpl "${zpl}")
        file(WRITE "${licenses}/${text}.txt" "${zpl}")
    else()
        configure_file("/usr/share/common-licenses/${text}" "${licenses}/${text}.txt" COPYONLY)
    endif()
endforeach()
file(GLOB_RECURSE written "${licenses}/*")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES ${written})
message(STATUS "Installing: ${licenses} (${sources})")

cmake_policy(POP)
