; The setup program and its uninstaller. CMake runs makensis with -D for OUTFILE,
; VERSION, TARGET (amd64-unicode for the 64-bit build, x86-unicode for the 32-bit
; one), ASSETS and FILES (the install image's file list, generated from the same
; CMake list the dist target copies).
;
; Each setup keeps its installation in the registry view of its own width: the
; 64-bit one in the 64-bit registry and the 64-bit Program Files, the 32-bit one in
; the 32-bit registry (Wow6432Node on 64-bit Windows) and its Program Files. The
; 64-bit setup also takes over an installation of the 32-bit one.
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

; The registry view the installation lives in.
!if "${TARGET}" == "amd64-unicode"
  !define OWN_VIEW 64
!else
  !define OWN_VIEW 32
!endif

Name "Zorvane ${VERSION}"
OutFile "${OUTFILE}"
!if ${OWN_VIEW} == 64
  InstallDir "$PROGRAMFILES64\Zorvane"
!else
  InstallDir "$PROGRAMFILES\Zorvane"
!endif
; An upgrade goes where the last installation went (read in the setup's own view).
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
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${MUTEX}") p.r0'
  ${If} $0 = 0
    Pop $1
    Pop $0
    Return
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p r0)'
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

; Removes a Run value only when it starts the program in `folder`: another
; installation's entry is not ours. Sets $1 to 1 when it removed it.
!macro REMOVE_RUN_OF root folder
  ReadRegStr $0 ${root} "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"${folder}\${EXE}"'
  ${OrIf} $0 == "${folder}\${EXE}"
    DeleteRegValue ${root} "${RUN_KEY}" "${RUN_VALUE}"
    StrCpy $1 1
  ${EndIf}
!macroend

; The program may have written its entry in either hive and, on 64-bit Windows,
; either view. Ends in the setup's own view; $1 is 1 when an entry was removed.
!macro REMOVE_RUN_VALUES folder
  StrCpy $1 0
  !insertmacro REMOVE_RUN_OF HKLM "${folder}"
  !insertmacro REMOVE_RUN_OF HKCU "${folder}"
  !if ${OWN_VIEW} == 64
    SetRegView 32
    !insertmacro REMOVE_RUN_OF HKLM "${folder}"
    !insertmacro REMOVE_RUN_OF HKCU "${folder}"
    SetRegView 64
  !else
    ${If} ${RunningX64}
      SetRegView 64
      !insertmacro REMOVE_RUN_OF HKLM "${folder}"
      !insertmacro REMOVE_RUN_OF HKCU "${folder}"
      SetRegView 32
    ${EndIf}
  !endif
!macroend

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

!if ${OWN_VIEW} == 64
; The folder of the 32-bit setup's installation this one replaces, found by .onInit;
; empty when there is none.
Var Folder32

; Moves what is under one folder into another, subfolders included. A name already
; taken there is left where it was, so nothing is overwritten; the source folder goes
; when it ends empty. Call with the source and then the destination pushed.
Function MoveTree
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  ${If} ${FileExists} "$R0\*.*"
    CreateDirectory "$R1"
    FindFirst $R2 $R3 "$R0\*.*"
    ${DoWhile} $R3 != ""
      ${If} $R3 == "."
      ${OrIf} $R3 == ".."
        ; the folder itself and its parent
      ${ElseIf} ${FileExists} "$R0\$R3\*.*"
        Push "$R0\$R3"
        Push "$R1\$R3"
        Call MoveTree
      ${ElseIfNot} ${FileExists} "$R1\$R3"
        ClearErrors
        Rename "$R0\$R3" "$R1\$R3"
        ${If} ${Errors}
          DetailPrint "无法移动 $R0\$R3，已留在原处。"
        ${EndIf}
      ${Else}
        DetailPrint "$R1\$R3 已存在，$R0\$R3 留在原处。"
      ${EndIf}
      FindNext $R2 $R3
    ${Loop}
    FindClose $R2
    RMDir "$R0"
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; An installation of the 32-bit setup becomes this one: its trust list, logs and
; backups move into this folder, its program files, programs-list entry and
; start-with-Windows entries go. The settings are the same for both programs.
Section "-32-bit installation"
  ${If} $Folder32 != ""
    ${If} $Folder32 != $INSTDIR
      DetailPrint "正在从 $Folder32 移入信任列表、日志和备份..."
      ${If} ${FileExists} "$INSTDIR\Allow.dat"
        DetailPrint "$INSTDIR\Allow.dat 已存在，$Folder32\Allow.dat 留在原处。"
      ${Else}
        Rename "$Folder32\Allow.dat" "$INSTDIR\Allow.dat"
      ${EndIf}
      Push "$Folder32\log"
      Push "$INSTDIR\log"
      Call MoveTree
      Push "$Folder32\backup"
      Push "$INSTDIR\backup"
      Call MoveTree
      !insertmacro ZORVANE_REMOVE_FILES "$Folder32"
      Delete "$Folder32\Uninstall.exe"
      RMDir "$Folder32"  ; only when empty: whatever could not move keeps it
    ${EndIf}
    SetRegView 32
    DeleteRegKey HKLM "${UNINST_KEY}"
    SetRegView 64
    ; With the option on, the new program's entry takes the old one's place at once,
    ; as the program itself would write it at its next start.
    !insertmacro REMOVE_RUN_VALUES "$Folder32"
    ${If} $1 = 1
    ${AndIf} ${SectionIsSelected} ${SecAutoRun}
      WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE}"'
    ${EndIf}
  ${EndIf}
SectionEnd

; Finds an installation of the 32-bit setup. Without a 64-bit installation to upgrade
; and without /D=, one in a folder the user chose is upgraded there; one in the 32-bit
; Program Files moves to the 64-bit one.
Function FindInstallation32
  SetRegView 32
  ReadRegStr $Folder32 HKLM "${UNINST_KEY}" "InstallLocation"
  SetRegView 64
  ${If} $Folder32 == ""
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "Software\Microsoft\Windows\CurrentVersion" "ProgramFilesDir (x86)"
  ${If} $0 == ""
  ${AndIf} $INSTDIR == "$PROGRAMFILES64\Zorvane"
  ${AndIf} $Folder32 != "$1\Zorvane"
    StrCpy $INSTDIR $Folder32
  ${EndIf}
FunctionEnd
!endif

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
  !if ${OWN_VIEW} == 64
    SetRegView 64
    Call FindInstallation32
  !endif
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

!if ${OWN_VIEW} == 64
Function un.onInit
  SetRegView 64
FunctionEnd
!endif

Section "-un.Program"
  Call un.CloseRunning
  !insertmacro ZORVANE_REMOVE_FILES "$INSTDIR"
  Delete "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  Delete "${MENU_FOLDER}\Zorvane.lnk"
  Delete "${MENU_FOLDER}\使用帮助.lnk"
  Delete "${MENU_FOLDER}\卸载 Zorvane.lnk"
  RMDir "${MENU_FOLDER}"

  !insertmacro REMOVE_RUN_VALUES "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
  RMDir "$INSTDIR"  ; only when empty: the user's data keeps the folder
SectionEnd

; Only what the program writes goes (the trust list, its logs and backups, and their
; temporary files), then each folder if nothing else is left in it: a folder given
; with /D= may have held files of its own.
Section /o "un.同时删除日志、信任列表和备份" UnSecData
  Delete "$INSTDIR\Allow.dat"
  Delete "$INSTDIR\log\*.log"
  Delete "$INSTDIR\log\*.log.~tmp"
  RMDir "$INSTDIR\log"
  Delete "$INSTDIR\backup\*.bak"
  Delete "$INSTDIR\backup\*.bak.~tmp"
  RMDir "$INSTDIR\backup"
  RMDir "$INSTDIR"
SectionEnd
