; The installer of Tobrik for 64-bit Windows 10 and later (NSIS 3). It
; installs for the user alone, without an administrator prompt, into
; %LOCALAPPDATA%\Programs\Tobrik, a folder the user can write, so the log
; stays beside tobrik.exe; adds a Start-menu shortcut and an entry in the
; system's list of installed programs. Over an earlier release it first runs
; that release's own uninstaller, silently and in place: every release's
; uninstaller deletes the files it installed, by name, and keeps tobrik.log
; and whatever else the user put into the folder; so the folder then holds
; what this release ships and nothing stale. A folder the user may not
; write (one under Program Files) is refused before anything is written,
; and so is a folder that /D= names but that cannot be one (a missing drive,
; a file in its way) and a folder whose path leaves the installed files
; longer than Windows' MAX_PATH.
; The uninstaller and then the entry are written before the files: an install
; that fails part-way (a file that cannot be written) leaves an uninstaller
; that removes what is there, and running the installer again, once the
; cause is gone, removes that and installs the whole release. The folder is
; remembered for the next run (InstallLocation) only once the install is
; complete. /S installs or uninstalls without a window; a running Tobrik
; stops either with a non-zero exit code, the install left as it was, and
; so does a failed install (exit code 2); a refusal's message then goes to
; the standard error.
;
; Built by packaging/windows/release.sh, which defines:
;   VERSION, FILE_VERSION  1.02 and 1.2.0.0, from debian/changelog through CMake
;   FILES, UNFILES         include files installing the release folder's
;                          files and deleting them, by name, then each
;                          folder left empty
;   SIZE_KB                the installed size in KiB
;   LONGEST_FOLDER         the longest install folder, in UTF-16 units, whose
;                          files and folders all stay within MAX_PATH
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
!include FileFunc.nsh
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

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveFolderPage
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
LangString Unwritable ${LANG_ENGLISH} "Tobrik cannot be installed in $INSTDIR: you may not write to that folder. Choose a folder of your own, such as $LOCALAPPDATA\Programs\Tobrik."
LangString Unwritable ${LANG_JAPANESE} "$INSTDIR には書き込めないため、Tobrik をインストールできません。$LOCALAPPDATA\Programs\Tobrik など、ご自分のフォルダーを選んでください。"
LangString NoFolder ${LANG_ENGLISH} "Tobrik cannot be installed in $INSTDIR: no folder can be made there (its drive is missing, a file is in its way, or it is not a full path below a drive)."
LangString NoFolder ${LANG_JAPANESE} "$INSTDIR にはフォルダーを作れないため、Tobrik をインストールできません (ドライブがない、途中にファイルがある、またはドライブからの完全なパスでない)。"
LangString LongFolder ${LANG_ENGLISH} "Tobrik cannot be installed in $INSTDIR: the path is too long for Windows (at most ${LONGEST_FOLDER} characters). Choose a shorter one, such as $LOCALAPPDATA\Programs\Tobrik."
LangString LongFolder ${LANG_JAPANESE} "$INSTDIR はパスが長すぎるため (${LONGEST_FOLDER} 文字まで)、Tobrik をインストールできません。$LOCALAPPDATA\Programs\Tobrik など、短いフォルダーを選んでください。"
LangString NoUninstaller ${LANG_ENGLISH} "Tobrik could not be installed: $INSTDIR\uninstall.exe could not be written (is the disk full?)."
LangString NoUninstaller ${LANG_JAPANESE} "$INSTDIR\uninstall.exe を書き込めなかったため、Tobrik をインストールできませんでした (ディスクがいっぱいではありませんか)。"

; Stops with the message on the stack and exit code 2. Under /S no window
; shows it: it goes to the standard error the caller gave (the console, or
; in the ANSI code page a file or pipe, as cmd's 2> makes), so that an
; unattended install says why it stopped.
!macro Refuse UN
Function ${UN}Refuse
    Exch $0
    MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
    ${If} ${Silent}
        StrCpy $0 "$0$\r$\n"
        System::Call 'kernel32::GetStdHandle(i -12) p .r1'
        System::Call 'kernel32::GetConsoleMode(p r1, *i .r2) i .r2'
        ${If} $2 <> 0
            StrLen $2 $0
            System::Call 'kernel32::WriteConsoleW(p r1, w r0, i r2, *i .r2, p 0)'
        ${Else}
            System::Call 'kernel32::lstrlenA(m r0) i .r2'
            System::Call 'kernel32::WriteFile(p r1, m r0, i r2, *i .r2, p 0)'
        ${EndIf}
    ${EndIf}
    SetErrorLevel 2
    Quit
FunctionEnd
!macroend
!insertmacro Refuse ""
!insertmacro Refuse "un."

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
            Push "$(Running)"
            Call ${UN}Refuse
        ${EndIf}
        FileClose $1
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro StopWhenRunning ""
!insertmacro StopWhenRunning "un."

; The folder of the release installed before, as its uninstall entry's
; "<folder>\uninstall.exe" gives it, which is written before the files:
; also that of an install that failed part-way. Empty when there is none.
Function PreviousFolder
    Push $0
    Push $1
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "UninstallString"
    StrCpy $1 $0 "" -15
    ${If} $1 == '\uninstall.exe"'
        StrCpy $0 $0 -15 1
    ${Else}
        ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${EndIf}
    Pop $1
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
            Push "$(OldRelease)"
            Call Refuse
        ${EndIf}
        ; An uninstaller run in place cannot delete itself.
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Whether the user may write $INSTDIR, found before anything is written: the
; folder is made where it is missing, with its missing parents, a file that
; Windows deletes as it is closed is made in it, and the folders made are
; removed again (the install makes them anew). Pushes 1 when it may be
; written, else 0.
Function InstallFolderWritable
    Push $0
    Push $1
    Push $2
    ; $1: the outermost of the folders that are missing
    StrCpy $0 "$INSTDIR"
    StrCpy $1 ""
    ${Do}
        ${If} ${FileExists} "$0\*.*"
            ${ExitDo}
        ${EndIf}
        StrCpy $1 $0
        ${GetParent} $0 $0
    ${LoopUntil} $0 == ""
    CreateDirectory "$INSTDIR"
    ; GENERIC_WRITE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_TEMPORARY
    StrCpy $2 "$INSTDIR\tobrik-setup-check.tmp"
    System::Call 'kernel32::CreateFileW(w r2, i 0x40000000, i 0, p 0, i 1, i 0x04000100, p 0) p .r2'
    ${If} $2 P<> -1
        System::Call 'kernel32::CloseHandle(p r2)'
        StrCpy $2 1
    ${Else}
        StrCpy $2 0
    ${EndIf}
    ${If} $1 != ""
        StrCpy $0 "$INSTDIR"
        ${Do}
            RMDir $0
            ${If} $0 == $1
                ${ExitDo}
            ${EndIf}
            ${GetParent} $0 $0
        ${LoopUntil} $0 == ""
    ${EndIf}
    StrCpy $0 $2
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; Why $INSTDIR cannot take the files, or "" when it can: a path that would
; make an installed file's path longer than MAX_PATH (Windows, and the
; installer's own file calls, refuse such paths or cut them short), or a
; folder that may not be written.
Function FolderRefusal
    Push $0
    StrLen $0 $INSTDIR
    ${If} $0 > ${LONGEST_FOLDER}
        StrCpy $0 "$(LongFolder)"
    ${Else}
        Call InstallFolderWritable
        Pop $0
        ${If} $0 == 1
            StrCpy $0 ""
        ${Else}
            StrCpy $0 "$(Unwritable)"
        ${EndIf}
    ${EndIf}
    Exch $0
FunctionEnd

; A folder that cannot take the files is refused on the folder page: the
; user chooses another.
Function LeaveFolderPage
    Call FolderRefusal
    Pop $0
    ${If} $0 != ""
        MessageBox MB_OK|MB_ICONSTOP "$0"
        Abort
    ${EndIf}
FunctionEnd

; The folder that /D= names is refused when it cannot be used. The
; installer's start-up reads at most ${NSIS_MAX_STRLEN} characters of the
; command line and, for a /D= folder that cannot be one (a drive that is
; missing, a file in its way, a path that is not a full one), takes the
; remembered or the default folder instead, without a word: so the command
; line is read here as Windows keeps it, and its /D= compared with $INSTDIR.
Function RefuseUnusableGivenFolder
    Push $0
    Push $1
    System::Call 'kernel32::GetCommandLineW() p .r0'
    System::Call 'shlwapi::StrStrW(p r0, w " /D=") p .r0'
    ${If} $0 P<> 0
        IntPtrOp $0 $0 + 8 ; past " /D=", in UTF-16 units of two bytes
        System::Call 'kernel32::lstrlenW(p r0) i .r1'
        System::Call 'kernel32::lstrcpynW(w .r0, p r0, i ${NSIS_MAX_STRLEN})'
        ${If} $1 > ${LONGEST_FOLDER}
            StrCpy $INSTDIR $0
            Push "$(LongFolder)"
            Call Refuse
        ${ElseIf} $0 S!= $INSTDIR
            StrCpy $INSTDIR $0
            Push "$(NoFolder)"
            Call Refuse
        ${EndIf}
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; The user learns of an old Windows or a running Tobrik before the pages.
Function .onInit
    ${IfNot} ${AtLeastWin10}
        Push "$(OldWindows)"
        Call Refuse
    ${EndIf}
    Call RefuseUnusableGivenFolder
    Push $INSTDIR
    Call StopWhenRunning
FunctionEnd

Section
    ; Under /S no page asked; nothing is written, the earlier release not
    ; removed, before the folder is known to take the files.
    Call FolderRefusal
    Pop $0
    ${If} $0 != ""
        Push $0
        Call Refuse
    ${EndIf}
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
    ; The uninstaller, then its entry, then the files; the folder is
    ; remembered for the next run once they are all there. An entry is
    ; never written for an uninstaller that is not there (a full disk).
    SetOutPath "$INSTDIR"
    ClearErrors
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${If} ${Errors}
    ${OrIfNot} ${FileExists} "$INSTDIR\uninstall.exe"
        Push "$(NoUninstaller)"
        Call Refuse
    ${EndIf}
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "InstallLocation"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tobrik"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tobrik.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\Tobrik.lnk" "$INSTDIR\tobrik.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
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
