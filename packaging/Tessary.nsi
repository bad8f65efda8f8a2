; Tessary's installer (64-bit Windows), built by scripts/release.sh:
;   makensis -DVERSION=x.y.z -DSTAGE=<folder with Tessary.exe, README.txt, LICENSE.txt>
;            -DICON=<Tessary.ico> -DOUTFILE=<setup.exe> [-DWEBSITE=<the project's address>] Tessary.nsi
; Installs for all users under Program Files. Silent: /S (the defaults: start at sign-in ticked);
; /NOAUTOSTART leaves the Run entry out.

Unicode true
; The 64-bit stub: a 32-bit installer would see the 32-bit Program Files and registry.
Target amd64-unicode
SetCompressor /SOLID lzma
; No file times in the installer: the same commit gives the same bytes.
SetDateSave off
ManifestDPIAware true
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

!define PUBLISHER "The Tessary developers"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessary"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The running copy's hidden window: closing it ends the program as "Exit" in its tray menu does.
!define INSTANCE_CLASS "Tessary.FrmDummyInstance"
!define SYNCHRONIZE 0x00100000

Name "Tessary ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tessary"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "Tessary ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tessary"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tessary ${VERSION} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Tessary now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartInstalled

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var WasRunning

; Ends a running Tessary before its files are replaced or removed: asks it to exit and waits for the
; process to end, so that its own exit (tray icon, hotkeys, list files) runs to the end. It is never
; killed; one that does not end is left to the user. Sets WasRunning to 1 when one was running.
!macro CLOSE_RUNNING un
Function ${un}CloseRunning
  StrCpy $WasRunning 0
  StrCpy $3 0
  ${Do}
    FindWindow $0 "${INSTANCE_CLASS}" ""
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    StrCpy $WasRunning 1
    DetailPrint "Asking the running Tessary to exit"
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
    System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${If} $2 != 0
      System::Call "kernel32::WaitForSingleObject(p r2, i 10000) i .r4"
      System::Call "kernel32::CloseHandle(p r2)"
    ${Else}
      Sleep 1000
    ${EndIf}
    IntOp $3 $3 + 1
    ${If} $3 >= 3
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Tessary is still running. End it with Exit in its tray menu, then click Retry." \
        /SD IDCANCEL IDRETRY +3
      DetailPrint "Tessary is still running; nothing was changed"
      Abort "Tessary is still running"
      StrCpy $3 0
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

; Starts the installed copy with the user's own rights: started by the elevated installer it would
; run elevated. The shell (explorer) starts it as the signed-in user. Wine has no elevation and its
; explorer opens folders, so there it starts directly.
Function StartInstalled
  System::Call "kernel32::GetModuleHandleW(w 'ntdll.dll') p .r0"
  System::Call "kernel32::GetProcAddress(p r0, m 'wine_get_version') p .r1"
  ${If} $1 != 0
    Exec '"$INSTDIR\Tessary.exe"'
  ${Else}
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\Tessary.exe"'
  ${EndIf}
FunctionEnd

Section "Tessary" SecProgram
  SectionIn RO
  Call CloseRunning
  SetOutPath "$INSTDIR"
  File "${STAGE}\Tessary.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tessary.lnk" "$INSTDIR\Tessary.exe" "" "$INSTDIR\Tessary.exe" 0 \
    SW_SHOWNORMAL "" "Moves windows between monitors"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Tessary"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  ; Only an address the project owns; none by default.
  !ifdef WEBSITE
    WriteRegStr HKLM "${UNINST_KEY}" "URLInfoAbout" "${WEBSITE}"
  !else
    DeleteRegValue HKLM "${UNINST_KEY}" "URLInfoAbout"
  !endif
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Tessary.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; The Run entry of the account the installer runs as.
Section "Start Tessary when I sign in" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Tessary" '"$INSTDIR\Tessary.exe"'
SectionEnd

Section "-AfterInstall"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    DeleteRegValue HKCU "${RUN_KEY}" "Tessary"
  ${EndIf}
  ; The copy that was running before an upgrade runs again, now the new one.
  ${If} $WasRunning = 1
    Call StartInstalled
  ${EndIf}
SectionEnd

; After the sections: it refers to one.
Function .onInit
  SetShellVarContext all
  SetRegView 64
  ClearErrors
  ${GetParameters} $0
  ${GetOptions} $0 "/NOAUTOSTART" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecAutostart} 0
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Uninstall"
  Call un.CloseRunning
  Delete "$INSTDIR\Tessary.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tessary.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; Only our own entry: the user may have pointed it at another copy.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Tessary"
  ${If} $0 == '"$INSTDIR\Tessary.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "Tessary"
  ${EndIf}
  ; The user's settings and log stay unless the user says otherwise (a silent uninstall keeps them).
  SetShellVarContext current
  ${If} ${FileExists} "$APPDATA\Tessary\*.*"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Remove your Tessary settings and log too?$\r$\n$\r$\n$APPDATA\Tessary" /SD IDNO IDNO keep
    RMDir /r "$APPDATA\Tessary"
    keep:
  ${EndIf}
SectionEnd
