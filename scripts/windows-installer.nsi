; The installer of Tobrik for 64-bit Windows 10 and later (NSIS 3). It
; installs for the user alone, without an administrator prompt, into
; %LOCALAPPDATA%\Programs\Tobrik, a folder the user can write, so the log
; stays beside tobrik.exe; adds a Start-menu shortcut and an entry in the
; system's list of installed programs. Over an earlier release it first runs
; that release's own uninstaller, silently and in place: every release's
; uninstaller deletes the files it installed, by name, and keeps tobrik.log
; and whatever else the user put into the folder; so the folder then holds
; what this release ships and nothing stale. The uninstaller and the entry
; are written before the files: an install that fails part-way (a file that
; cannot be written) leaves an uninstaller that removes what is there, and
; running the installer again, once the cause is gone, removes that and
; installs the whole release. /S installs or uninstalls without a window; a
; running Tobrik stops either with a non-zero exit code, the install left as
; it was, and so does a failed install (exit code 2).
;
; Built by scripts/windows-release.sh, which defines:
;   VERSION, FILE_VERSION  1.02 and 1.2.0.0, from debian/changelog through CMake
;   FILES, UNFILES         include files installing the release folder's
;                          files and deleting them, by name, then each
;                          folder left empty
;   SIZE_KB                the installed size in KiB
;   ICON, OUTFILE          ui/tobrik.ico and the installer to write
;   BITMAP                 the finish page's picture, 164 x 314, drawn from
;                          the icon by ui/make_icon.py --installer-bitmap

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written fails the install (under /S too) rather
; than being skipped, which would leave a mix of two releases.
AllowSkipFiles off
; The installed files get the time they were installed at, not the time
; they had when the installer was made: the installer, built twice from one
; source, is the same to the byte.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh

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
!define MUI_WELCOMEFINISHPAGE_BITMAP "${BITMAP}"
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
LangString OldWindows ${LANG_ENGLISH} "Tobrik needs Windows 10 or later."
LangString OldWindows ${LANG_JAPANESE} "Tobrik には Windows 10 以降が必要です。"
LangString OldRelease ${LANG_ENGLISH} "The earlier Tobrik in $0 could not be removed."
LangString OldRelease ${LANG_JAPANESE} "$0 の以前の Tobrik を削除できませんでした。"

; Stops (exit code 2) when tobrik.exe in the folder on the stack is running.
; Windows refuses to open a running program's file for writing; opening it
; ("a": read and write, nothing truncated or written) and closing it again
; leaves it as it was.
!macro StopWhenRunning UN
Function ${UN}StopWhenRunning
    Exch $0
    Push $1
    ${If} ${FileExists} "$0\tobrik.exe"
        ClearErrors
        FileOpen $1 "$0\tobrik.exe" a
        ${If} ${Errors}
            MessageBox MB_OK|MB_ICONSTOP "$(Running)" /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
        FileClose $1
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro StopWhenRunning ""
!insertmacro StopWhenRunning "un."

; The folder of the release installed before, as its uninstall entry gives
; it; empty when there is none.
Function PreviousFolder
    Push $0
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    Exch $0
FunctionEnd

; Removes the earlier release in the folder on the stack by running its own
; uninstaller there (_?= keeps it in place and lets ExecWait wait for it):
; it deletes the files that release installed and keeps every other.
; Stops (exit code 2) when that fails.
Function RemovePreviousRelease
    Exch $0
    Push $1
    ${If} ${FileExists} "$0\uninstall.exe"
        ClearErrors
        ExecWait '"$0\uninstall.exe" /S _?=$0' $1
        ${If} ${Errors}
        ${OrIf} $1 != 0
            MessageBox MB_OK|MB_ICONSTOP "$(OldRelease)" /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
        ; An uninstaller run in place cannot delete itself.
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; The user learns of an old Windows or a running Tobrik before the pages.
Function .onInit
    ${IfNot} ${AtLeastWin10}
        MessageBox MB_OK|MB_ICONSTOP "$(OldWindows)" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Push $INSTDIR
    Call StopWhenRunning
FunctionEnd

Section
    ; Again, as Tobrik may have started while the pages were shown; the
    ; earlier release may also sit in another folder than the one chosen.
    Push $INSTDIR
    Call StopWhenRunning
    Call PreviousFolder
    Pop $0
    ${If} $0 != ""
        Push $0
        Call StopWhenRunning
        Push $0
        Call RemovePreviousRelease
    ${EndIf}
    ; The uninstaller and its entry first, then the files.
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
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
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\Tobrik.lnk" "$INSTDIR\tobrik.exe"
SectionEnd

Function un.onInit
    Push $INSTDIR
    Call un.StopWhenRunning
FunctionEnd

Section "Uninstall"
    Push $INSTDIR
    Call un.StopWhenRunning
    Delete "$SMPROGRAMS\Tobrik.lnk"
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    ; Removed only when empty: tobrik.log and the user's own files keep it.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
