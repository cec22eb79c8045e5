; The setup program and its uninstaller. CMake runs makensis with -D for OUTFILE,
; VERSION, TARGET (amd64-unicode for the 64-bit build, x86-unicode for the 32-bit
; one), ASSETS and FILES (the install image's file list, generated from the same
; CMake list the dist target copies).
Target ${TARGET}
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WinMessages.nsh
!include x64.nsh
!include "${FILES}"

!define EXE "Quorrel2006.exe"
!define CAPTION "Zorvane v3.3"
!define MUTEX "Local\Zorvane.Quorrel2006"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Quorrel"
!define SETTINGS_KEY "Software\VB and VBA Program Settings\57302\quorrel2006"
!define MENU_FOLDER "$SMPROGRAMS\Zorvane"
; Exit code of a silent run that found the program still running after the wait.
!define EXIT_STILL_RUNNING 3

Name "Zorvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Zorvane"
; An upgrade goes where the last installation went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "Zorvane ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ASSETS}/app.ico"
!define MUI_UNICON "${ASSETS}/app.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "Zorvane"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "Zorvane"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Zorvane ${VERSION} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "OriginalFilename" "Zorvane-${VERSION}-setup.exe"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Copyright (C) Zorvane"

; Asks a running copy to close (its main window gets WM_CLOSE) and waits up to 20 s
; for the copy's named mutex to go, which the system drops only when the process ends.
; Still running: the user may retry or cancel; a silent run ends with EXIT_STILL_RUNNING
; before it has changed anything.
!macro CLOSE_RUNNING un
Function ${un}CloseRunning
  Push $0
  Push $1
retry:
  StrCpy $1 0
wait:
  IntOp $0 $1 % 10
  ${If} $0 = 0
    FindWindow $0 "" "${CAPTION}"
    ${If} $0 <> 0
      DetailPrint "正在关闭 Zorvane..."
      SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    ${EndIf}
  ${EndIf}
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${MUTEX}") i.r0'
  ${If} $0 = 0
    Pop $1
    Pop $0
    Return
  ${EndIf}
  System::Call 'kernel32::CloseHandle(i r0)'
  IntOp $1 $1 + 1
  ${If} $1 < 100
    Sleep 200
    Goto wait
  ${EndIf}
  ${If} ${Silent}
    SetErrorLevel ${EXIT_STILL_RUNNING}
    Quit
  ${EndIf}
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Zorvane 仍在运行。请先退出它，然后按“重试”。" IDRETRY retry
  Pop $1
  Pop $0
  Abort "Zorvane 仍在运行，未做任何更改。"
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

Section "Zorvane ${VERSION}（必需）" SecProgram
  SectionIn RO
  Call CloseRunning
  ; Only the shipped files are written: Allow.dat, log\ and backup\ stay as they are.
  !insertmacro ZORVANE_INSTALL_FILES
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${MENU_FOLDER}\Zorvane.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
  CreateShortCut "${MENU_FOLDER}\使用帮助.lnk" "$INSTDIR\help\help.htm"
  CreateShortCut "${MENU_FOLDER}\卸载 Zorvane.lnk" "$INSTDIR\Uninstall.exe"
SectionEnd

Section /o "开机时自动运行" SecAutoRun
SectionEnd

Section "-Settings and programs list"
  ; The program's first start seeds these defaults over whatever it finds unless
  ; Inited is set, so a first installation seeds them itself with the box's answer.
  ReadRegStr $0 HKCU "${SETTINGS_KEY}" "Inited"
  ${If} $0 != "1"
    WriteRegStr HKCU "${SETTINGS_KEY}" "CheckOnTimeScan" "1"
    WriteRegStr HKCU "${SETTINGS_KEY}" "CheckSoundAlart" "1"
    WriteRegStr HKCU "${SETTINGS_KEY}" "CheckShowReportAfterScan" "1"
    WriteRegStr HKCU "${SETTINGS_KEY}" "CheckAutoDetectNewVersion" "0"
    WriteRegStr HKCU "${SETTINGS_KEY}" "CheckAutoDetectNewDB" "0"
  ${EndIf}
  ; The program writes or removes its Run entry itself at its next start.
  ${If} ${SectionIsSelected} ${SecAutoRun}
    WriteRegStr HKCU "${SETTINGS_KEY}" "CheckAutoRun" "1"
  ${Else}
    WriteRegStr HKCU "${SETTINGS_KEY}" "CheckAutoRun" "0"
  ${EndIf}
  WriteRegStr HKCU "${SETTINGS_KEY}" "Inited" "1"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Zorvane ${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Zorvane"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  ; Written last: a deployment script (and the tests) take it as "installed".
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
SectionEnd

; The box starts as the user left the option; /AUTORUN=1 or /AUTORUN=0 decides it
; for a deployment.
Function .onInit
  ReadRegStr $0 HKCU "${SETTINGS_KEY}" "CheckAutoRun"
  ${If} $0 == "1"
    !insertmacro SelectSection ${SecAutoRun}
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/AUTORUN=" $2
  ${IfNot} ${Errors}
    ${If} $2 == "1"
      !insertmacro SelectSection ${SecAutoRun}
    ${Else}
      !insertmacro UnselectSection ${SecAutoRun}
    ${EndIf}
  ${EndIf}
FunctionEnd

; Removes a Run value only when it starts this installation's program: another
; installation's entry is not ours.
!macro REMOVE_OWN_RUN root
  ReadRegStr $0 ${root} "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\${EXE}"'
  ${OrIf} $0 == "$INSTDIR\${EXE}"
    DeleteRegValue ${root} "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
!macroend

Section "-un.Program"
  Call un.CloseRunning
  !insertmacro ZORVANE_REMOVE_FILES
  Delete "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  Delete "${MENU_FOLDER}\Zorvane.lnk"
  Delete "${MENU_FOLDER}\使用帮助.lnk"
  Delete "${MENU_FOLDER}\卸载 Zorvane.lnk"
  RMDir "${MENU_FOLDER}"

  ; The program may have written its entry in either hive and, on 64-bit Windows,
  ; either view.
  !insertmacro REMOVE_OWN_RUN HKLM
  !insertmacro REMOVE_OWN_RUN HKCU
  ${If} ${RunningX64}
    SetRegView 64
    !insertmacro REMOVE_OWN_RUN HKLM
    !insertmacro REMOVE_OWN_RUN HKCU
    SetRegView 32
  ${EndIf}

  DeleteRegKey HKLM "${UNINST_KEY}"
  RMDir "$INSTDIR"  ; only when empty: the user's data keeps the folder
SectionEnd

Section /o "un.同时删除日志、信任列表和备份" UnSecData
  Delete "$INSTDIR\Allow.dat"
  RMDir /r "$INSTDIR\log"
  RMDir /r "$INSTDIR\backup"
  RMDir "$INSTDIR"
SectionEnd
