; Installer of the Vandrel screen saver. Built by packaging/CMakeLists.txt:
;   makensis -DVERSION=2.02 -DSTAGE=<staged files> -DOUTFILE=<setup.exe> vandrel.nsi
; The saver goes into the Windows directory, where the desktop looks for screen savers;
; its files and the demo worker go into a program folder; vandrel.ini in the Windows
; directory points the saver at them. The uninstaller removes all of it.

Unicode true
!include WinMessages.nsh
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Vandrel Screen Saver"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vandrel"
!define WORKER "vandrel-demo-worker.exe"
!define INI "$WINDIR\vandrel.ini"
; The saver drops a ClientPath or ClientDir longer than this.
!define MAX_PATH_CHARS 127

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vandrel"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onVerifyInstDir
    StrLen $0 "$INSTDIR\${WORKER}"
    IntCmp $0 ${MAX_PATH_CHARS} ok ok
        Abort
    ok:
FunctionEnd

; Asks a running demo worker to end, so that its program file can be replaced or removed.
!macro CloseWorker
    FindWindow $0 "VandrelDemoWorker"
    StrCmp $0 0 +3
        SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
        Sleep 500
!macroend

Section "Install"
    SetShellVarContext all
    !insertmacro CloseWorker

    SetOutPath "$INSTDIR"
    File "${STAGE}/${WORKER}"
    File "${STAGE}/header.bmp"
    File "${STAGE}/windows_help.txt"
    File "${STAGE}/install.txt"

    SetOutPath "$WINDIR"
    File "${STAGE}/Vandrel.scr"

    ; Blank, Minutes and Scale stay as the user set them on an earlier install; the paths
    ; are ours.
    ReadINIStr $0 "${INI}" "boot" "Blank"
    StrCmp $0 "" 0 +2
        WriteINIStr "${INI}" "boot" "Blank" "0"
    ReadINIStr $0 "${INI}" "boot" "Minutes"
    StrCmp $0 "" 0 +2
        WriteINIStr "${INI}" "boot" "Minutes" "5"
    ReadINIStr $0 "${INI}" "boot" "Scale"
    StrCmp $0 "" 0 +2
        WriteINIStr "${INI}" "boot" "Scale" "0"
    WriteINIStr "${INI}" "boot" "ClientPath" "$INSTDIR\${WORKER}"
    WriteINIStr "${INI}" "boot" "ClientDir" "$INSTDIR"
    FlushINI "${INI}"

    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Vandrel developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    !insertmacro CloseWorker

    ; The desktop should not keep pointing at a saver that is gone.
    ReadRegStr $0 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
    StrCmp $0 "$WINDIR\Vandrel.scr" 0 +2
        DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"

    Delete /REBOOTOK "$WINDIR\Vandrel.scr"
    Delete "${INI}"
    Delete /REBOOTOK "$INSTDIR\${WORKER}"
    Delete "$INSTDIR\header.bmp"
    Delete "$INSTDIR\windows_help.txt"
    Delete "$INSTDIR\install.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
