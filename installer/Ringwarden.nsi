; Ringwarden's Windows installer, built with NSIS (makensis):
;   makensis -DBIN_DIR=<folder with Ringwarden.exe> -DART_DIR=<build>/installer
;            -DOUT_FILE=<setup.exe> Ringwarden.nsi
; ART_DIR holds setup's icon and pictures, rendered by the build from the
; SVGs in installer/art and src/res/icons (target rw_installer_art).
; Per machine into Program Files; the user's Ringwarden.cfg then lives in
; %APPDATA%\Ringwarden (the program decides that from installed.ini).
;
; Silent use:
;   setup.exe /S [/AUTOSTART] [/D=folder]    /AUTOSTART: start with Windows
;     exit code 0 when installed, 2 when it failed (a file in use, or a
;     running copy that would not quit)
;   uninstall.exe /S [/REMOVECONFIG]         the configuration stays unless asked

; A 64-bit installer for a 64-bit program: it writes the 64-bit registry
; view and Program Files without redirection, and a 64-bit-only Wine runs it.
Target amd64-unicode
!ifdef FAST_COMPRESSION
  SetCompressor zlib ; tests: a quick build matters more than size
!else
  SetCompressor /SOLID lzma
!endif
RequestExecutionLevel admin
; A file that cannot be written (in use by another program) fails the
; install instead of being skipped without a word: a half-upgraded program
; must not look installed. A silent install then ends with exit code 2.
AllowSkipFiles off
ManifestSupportedOS all
ManifestDPIAware true

!ifndef BIN_DIR
  !error "Define BIN_DIR: the folder holding Ringwarden.exe, rwlinesim.dll, rwcfg.exe and help"
!endif
!ifndef ART_DIR
  !error "Define ART_DIR: the folder holding Setup.ico, Wizard.bmp and Header.bmp (build target rw_installer_art)"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "Ringwarden-1.00-setup.exe"
!endif
!define VERSION "1.00"
!define PUBLISHER "Ringwarden Project"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ringwarden"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The running program's main window answers this private message with
; kRunningCopyAnswer; other windows titled "Ringwarden" are left alone.
!define RUNNING_COPY_QUERY 9789
!define RUNNING_COPY_ANSWER 151525785 ; 0x09081999
!define ID_TRAY_QUIT 32772

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include x64.nsh
!include WinMessages.nsh

Name "Ringwarden"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\Ringwarden"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Ringwarden ${VERSION}"

VIProductVersion "1.0.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "Ringwarden"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Ringwarden ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 the Ringwarden Project"

!define MUI_ABORTWARNING
; Ringwarden's own face on every page, the uninstaller's too: the program's
; emblem as the icon, its picture on the welcome and finish pages and at
; the right of the inner pages' header.
!define MUI_ICON "${ART_DIR}\Setup.ico"
!define MUI_UNICON "${ART_DIR}\Setup.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${ART_DIR}\Wizard.bmp"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${ART_DIR}\Header.bmp"
!define MUI_HEADERIMAGE_UNBITMAP "${ART_DIR}\Header.bmp"
!define MUI_COMPONENTSPAGE_NODESC
; Started through Explorer, so that it runs as the user, not with setup's
; elevated rights: an elevated copy would not hear a later copy's
; single-instance question and would use the administrator's settings.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunRingwardenAsUser
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\help\main.html"
; Through Explorer too: a browser started by setup would run elevated.
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION ShowHelpAsUser
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the help"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCOMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; 1 once setup has closed a running Ringwarden: it is started again when
; setup ends, so that an upgrade does not leave calls unscreened.
Var ClosedRunningCopy

; Asks every top-level dialog titled "Ringwarden" whether it is the running
; program; the one that answers is told to quit (which saves its
; configuration), and setup waits for its process to end, not only its
; window: the files are free only then. A copy that does not end (a dialog
; of its own is still open) is left to the user: Retry waits again, Cancel
; stops setup before any file is touched (a silent run cancels).
!macro CloseRunningRingwarden
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $0 0
  ${Do}
    FindWindow $0 "#32770" "Ringwarden" "" $0
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    StrCpy $1 0
    ; SMTO_ABORTIFHUNG: a hung window of that title must not hang setup; a
    ; busy one (a copy still starting on a loaded machine) gets 10 s.
    System::Call "user32::SendMessageTimeout(p r0, i ${RUNNING_COPY_QUERY}, p 0, p 0, i 2, i 10000, *p .r1) p .r2"
    ${If} $2 != 0
    ${AndIf} $1 = ${RUNNING_COPY_ANSWER}
      DetailPrint "Closing the running Ringwarden"
      StrCpy $4 0
      System::Call "user32::GetWindowThreadProcessId(p r0, *i .r4) i"
      ; SYNCHRONIZE: enough to wait for the process to end.
      System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i r4) p .r3"
      SendMessage $0 ${WM_COMMAND} ${ID_TRAY_QUIT} 0 /TIMEOUT=5000
      ${If} $3 != 0
        ${Do}
          System::Call "kernel32::WaitForSingleObject(p r3, i 30000) i .r2"
          ${If} $2 != 0x102
            ${Break}
          ${EndIf}
          MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
              "Ringwarden is still running. Close its open windows, quit it, then press Retry." \
              /SD IDCANCEL IDRETRY +3
          System::Call "kernel32::CloseHandle(p r3)"
          Abort "Ringwarden is still running."
          SendMessage $0 ${WM_COMMAND} ${ID_TRAY_QUIT} 0 /TIMEOUT=5000
        ${Loop}
        System::Call "kernel32::CloseHandle(p r3)"
      ${Else}
        ; The process cannot be opened: wait for its window instead.
        StrCpy $2 0
        ${While} $2 < 150
          System::Call "user32::IsWindow(p r0) i .r3"
          ${If} $3 = 0
            ${Break}
          ${EndIf}
          Sleep 100
          IntOp $2 $2 + 1
        ${EndWhile}
        Sleep 1000
      ${EndIf}
      StrCpy $ClosedRunningCopy 1
      ${Break}
    ${EndIf}
  ${Loop}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
!macroend

; Adds the size in bytes of FILE (0 when it is missing) to VAR.
!macro AddFileSize VAR FILE
  Push $1
  Push $2
  StrCpy $2 0
  ClearErrors
  FileOpen $1 "${FILE}" r
  ${IfNot} ${Errors}
    FileSeek $1 0 END $2
    FileClose $1
  ${EndIf}
  IntOp ${VAR} ${VAR} + $2
  Pop $2
  Pop $1
!macroend


Section "Ringwarden" SecProgram
  SectionIn RO
  SetShellVarContext all
  !insertmacro CloseRunningRingwarden

  SetOutPath "$INSTDIR"
  File "${BIN_DIR}\Ringwarden.exe"
  File "${BIN_DIR}\rwlinesim.dll"
  File "${BIN_DIR}\rwcfg.exe"
  File "ReadMe.txt"
  ; By name, as the uninstaller removes them and the size is counted.
  SetOutPath "$INSTDIR\help"
  File "${BIN_DIR}\help\main.html"
  File "${BIN_DIR}\help\help.css"
  SetOutPath "$INSTDIR"
  ; Tells the program that it was installed: its configuration then lives
  ; in each user's application data, not in this folder.
  WriteINIStr "$INSTDIR\installed.ini" "Ringwarden" "Version" "${VERSION}"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Ringwarden.lnk" "$INSTDIR\Ringwarden.exe" "" \
      "$INSTDIR\Ringwarden.exe" 0 SW_SHOWNORMAL "" "Screens calls on your telephone line"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Ringwarden"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Ringwarden.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" 0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Only what setup put there: the folder may also hold an old
  ; configuration or files of the user's own.
  Push $0
  StrCpy $0 0
  !insertmacro AddFileSize $0 "$INSTDIR\Ringwarden.exe"
  !insertmacro AddFileSize $0 "$INSTDIR\rwlinesim.dll"
  !insertmacro AddFileSize $0 "$INSTDIR\rwcfg.exe"
  !insertmacro AddFileSize $0 "$INSTDIR\ReadMe.txt"
  !insertmacro AddFileSize $0 "$INSTDIR\installed.ini"
  !insertmacro AddFileSize $0 "$INSTDIR\uninstall.exe"
  !insertmacro AddFileSize $0 "$INSTDIR\help\main.html"
  !insertmacro AddFileSize $0 "$INSTDIR\help\help.css"
  IntOp $0 $0 + 1023
  IntOp $0 $0 / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  Pop $0
SectionEnd

; Off unless chosen (or /AUTOSTART in a silent install): the Run entry is
; the installing user's own.
Section /o "Start Ringwarden with Windows" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Ringwarden" '"$INSTDIR\Ringwarden.exe"'
SectionEnd


Section "un.Ringwarden" SecUnProgram
  SectionIn RO
  SetShellVarContext all
  !insertmacro CloseRunningRingwarden

  Delete "$INSTDIR\Ringwarden.exe"
  Delete "$INSTDIR\rwlinesim.dll"
  Delete "$INSTDIR\rwcfg.exe"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\installed.ini"
  Delete "$INSTDIR\Ringwarden.cfg.tmp"
  ; By name: a folder called help that was there before is not ours.
  Delete "$INSTDIR\help\main.html"
  Delete "$INSTDIR\help\help.css"
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\Ringwarden.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${RUN_KEY}" "Ringwarden"
  ; Only when empty: an old Ringwarden.cfg beside the program is the user's.
  RMDir "$INSTDIR"
SectionEnd

; Off unless ticked (or /REMOVECONFIG): the phone book outlives the program.
Section /o "un.Remove my settings and phone book (Ringwarden.cfg)" SecUnConfig
  SetShellVarContext current
  Delete "$APPDATA\Ringwarden\Ringwarden.cfg"
  Delete "$APPDATA\Ringwarden\Ringwarden.cfg.bad"
  Delete "$APPDATA\Ringwarden\Ringwarden.cfg.tmp"
  Delete "$APPDATA\Ringwarden\Ringwarden.ini"
  RMDir "$APPDATA\Ringwarden"
  Delete "$INSTDIR\Ringwarden.cfg"
  Delete "$INSTDIR\Ringwarden.cfg.bad"
  Delete "$INSTDIR\Ringwarden.ini"
  RMDir "$INSTDIR"
SectionEnd

Function RunRingwardenAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Ringwarden.exe"'
FunctionEnd

Function ShowHelpAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\help\main.html"'
FunctionEnd

; A copy that setup closed is started again when setup ends. The finish
; page's Run box (ticked) does it in an interactive install; a silent one
; has no finish page.
Function .onInstSuccess
  ${If} $ClosedRunningCopy = 1
  ${AndIf} ${Silent}
    Call RunRingwardenAsUser
  ${EndIf}
FunctionEnd

; A failed install still restarts the copy it closed (its files are either
; untouched or already replaced), and a silent one says it failed.
Function .onInstFailed
  ${If} $ClosedRunningCopy = 1
    Call RunRingwardenAsUser
  ${EndIf}
  SetErrorLevel 2
FunctionEnd

; After the sections, whose index names they use.
Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Ringwarden needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVECONFIG" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnConfig}
  ${EndIf}
FunctionEnd
