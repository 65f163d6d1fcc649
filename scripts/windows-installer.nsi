; The installer of Tobrik for 64-bit Windows (NSIS 3). It installs for the
; user alone, without an administrator prompt, into
; %LOCALAPPDATA%\Programs\Tobrik, a folder the user can write, so the log
; stays beside tobrik.exe; adds a Start-menu shortcut and an entry in the
; system's list of installed programs. The uninstaller removes what was
; installed, file by file, and keeps tobrik.log, the user's results. /S
; installs or uninstalls without a window.
;
; Built by scripts/windows-release.sh, which defines:
;   VERSION, FILE_VERSION  1.02 and 1.2.0.0, from debian/changelog through CMake
;   FILES, UNFILES         include files installing the release folder's
;                          files and deleting them, by name
;   SIZE_KB                the installed size in KiB
;   ICON, OUTFILE          ui/tobrik.ico and the installer to write

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tobrik"
!define PUBLISHER "dorIzezovedivu"

Name "Tobrik ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tobrik"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tobrik ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "Tobrik"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Tobrik ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "the Tobrik authors, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tobrik.exe"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer speaks the user's language where it knows it, else English.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString Running ${LANG_ENGLISH} "Tobrik is running. Close it, then try again."
LangString Running ${LANG_JAPANESE} "Tobrik が実行中です。終了してから、もう一度お試しください。"

; A running tobrik.exe cannot be replaced or deleted: nothing is changed then.
!macro StopWhenRunning
    Delete "$INSTDIR\tobrik.exe"
    IfFileExists "$INSTDIR\tobrik.exe" 0 +3
        MessageBox MB_OK|MB_ICONSTOP "$(Running)" /SD IDOK
        Abort
!macroend

Section
    !insertmacro StopWhenRunning
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\Tobrik.lnk" "$INSTDIR\tobrik.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tobrik"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tobrik.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    !insertmacro StopWhenRunning
    Delete "$SMPROGRAMS\Tobrik.lnk"
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    ; Removed only when empty: tobrik.log, the user's, keeps it.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
