# A system-wide installation, as a distribution's package has it: the
# program in bin (its echo helper in libexec/tobrik, net/CMakeLists.txt);
# its desktop entry, its icons in the hicolor theme, its AppStream metadata
# and its manual page under share. Included from ui/.
include(GNUInstallDirs)

# Qt's project set-up gives installed programs a search path beside
# themselves for a portable folder; in the system's folders it has no use.
set_target_properties(tobrik PROPERTIES INSTALL_RPATH "")
install(TARGETS tobrik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(TOBRIK_EXEC tobrik)
set(TOBRIK_ICON tobrik)
configure_file(tobrik.desktop.in ${CMAKE_CURRENT_BINARY_DIR}/system/tobrik.desktop @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/system/tobrik.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

install(DIRECTORY icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN tobrik.png)

# The AppStream id, in reverse-DNS form; the project has no domain of its
# own, so it names the reserved top-level domain "invalid".
set(TOBRIK_APPSTREAM_ID invalid.tobrik.Tobrik)
configure_file(tobrik.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/system/${TOBRIK_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/system/${TOBRIK_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

configure_file(tobrik.1.in ${CMAKE_CURRENT_BINARY_DIR}/system/tobrik.1 @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/system/tobrik.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
