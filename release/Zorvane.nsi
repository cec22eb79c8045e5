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
!include TextFunc.nsh
!include WordFunc.nsh
!include x64.nsh
!include "${FILES}"

!define EXE "Quorrel2006.exe"
!define CAPTION "Zorvane v3.3"
!define MUTEX "Local\Zorvane.Quorrel2006"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Quorrel"
!define MENU_FOLDER "$SMPROGRAMS\Zorvane"
; Exit codes of a silent run: the folder given holds files that are not ours; the
; program still running after the wait; the logon start or the scheduled check could
; not be set; a switch with a value it does not take.
!define EXIT_REFUSED 2
!define EXIT_STILL_RUNNING 3
!define EXIT_NO_LOGON_TASK 4
!define EXIT_BAD_SWITCH 5
; The logon task the setup registers for every user; the program registers its own
; per-user ones as "Quorrel-<SID>".
!define TASK_ALL_USERS "Quorrel-AllUsers"
; The scheduled check /SCHEDULE= registers: the program run with no window, as SYSTEM,
; its findings in a dated JSON Lines report in the log folder and in the event log.
!define TASK_CHECK "Zorvane-Check"
; The program's image carries the messages of its events in the Application log.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Zorvane"

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

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
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
; installation's entry is not ours. key is the Run key's path under root.
!macro REMOVE_RUN_OF root key folder
  ReadRegStr $0 ${root} "${key}" "${RUN_VALUE}"
  ${If} $0 == '"${folder}\${EXE}"'
  ${OrIf} $0 == "${folder}\${EXE}"
    DeleteRegValue ${root} "${key}" "${RUN_VALUE}"
  ${EndIf}
!macroend

; The same in both views on 64-bit Windows, ending in the setup's own view.
!macro REMOVE_RUN_IN_VIEWS root key folder
  !insertmacro REMOVE_RUN_OF ${root} "${key}" "${folder}"
  !if ${OWN_VIEW} == 64
    SetRegView 32
    !insertmacro REMOVE_RUN_OF ${root} "${key}" "${folder}"
    SetRegView 64
  !else
    ${If} ${RunningX64}
      SetRegView 64
      !insertmacro REMOVE_RUN_OF ${root} "${key}" "${folder}"
      SetRegView 32
    ${EndIf}
  !endif
!macroend

; Removes the Run values that start the program in the folder pushed: the machine's
; and those of every user whose hive is loaded (HKCU is one of them), not only the
; account that runs the setup. The classes hives hold no Run key.
!macro REMOVE_RUN_VALUES un
Function ${un}RemoveRunValues
  Exch $R0
  Push $R1
  Push $R2
  !insertmacro REMOVE_RUN_IN_VIEWS HKLM "${RUN_KEY}" "$R0"
  StrCpy $R1 0
  ${Do}
    EnumRegKey $R2 HKU "" $R1
    ${If} $R2 == ""
      ${Break}
    ${EndIf}
    IntOp $R1 $R1 + 1
    StrCpy $0 $R2 "" -8
    ${If} $0 != "_Classes"
      !insertmacro REMOVE_RUN_IN_VIEWS HKU "$R2\${RUN_KEY}" "$R0"
    ${EndIf}
  ${Loop}
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro REMOVE_RUN_VALUES ""
!insertmacro REMOVE_RUN_VALUES "un."

; The scheduler keeps each task of its root folder as a file named as the task, in
; the real System32: the 32-bit setup on 64-bit Windows reaches it as Sysnative (its
; System32 is SysWOW64).
Var TaskFolder
!macro FIND_TASK_FOLDER
  StrCpy $TaskFolder "$SYSDIR\Tasks"
  !if ${OWN_VIEW} == 32
    ${If} ${RunningX64}
      StrCpy $TaskFolder "$WINDIR\Sysnative\Tasks"
    ${EndIf}
  !endif
!macroend

; Runs schtasks with the arguments pushed, hidden; leaves its exit code on the stack
; ("error" when it did not start).
!macro SCHTASKS un
Function ${un}Schtasks
  Exch $0
  nsExec::Exec '"$SYSDIR\schtasks.exe" $0'
  Exch
  Pop $0
FunctionEnd

; Unregisters the task named on the stack, when it is registered; a task it cannot
; remove is named in the details.
Function ${un}DeleteTask
  Exch $R0
  ${If} ${FileExists} "$TaskFolder\$R0"
    Push '/delete /tn "$R0" /f'
    Call ${un}Schtasks
    Pop $0
    ${If} $0 != 0
      DetailPrint "无法删除计划任务 $R0（schtasks 返回 $0）。"
    ${EndIf}
  ${EndIf}
  Pop $R0
FunctionEnd
!macroend
!insertmacro SCHTASKS ""
!insertmacro SCHTASKS "un."

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
    ; With the option on, the all-users logon task starts the new program instead.
    Push "$Folder32"
    Call RemoveRunValues
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

; A task's definition in the form Windows keeps: the XML goes to the scheduler as
; UTF-16 with its byte-order mark. "&" is the one character of a folder's name that
; XML escapes: $1 is the program's path escaped, $0 the open file.
!macro TASK_XML_HEAD name
  InitPluginsDir
  ${WordReplace} "$INSTDIR\${EXE}" "&" "&amp;" "+" $1
  FileOpen $0 "$PLUGINSDIR\${name}.xml" w
  FileWriteUTF16LE /BOM $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $0 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
!macroend

; Hands the definition to the scheduler; a failure is said and ends a silent setup
; with EXIT_NO_LOGON_TASK.
!macro TASK_XML_REGISTER name failure
  Push '/create /tn "${name}" /xml "$PLUGINSDIR\${name}.xml" /f'
  Call Schtasks
  Pop $0
  ${If} $0 != 0
    SetErrorLevel ${EXIT_NO_LOGON_TASK}
    MessageBox MB_OK|MB_ICONEXCLAMATION "${failure}（schtasks 返回 $0）。" /SD IDOK
  ${EndIf}
!macroend

; Runs whether or not on batteries, one copy at a time.
!define TASK_XML_SETTINGS '    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>$\r$\n    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>$\r$\n    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>$\r$\n'

; The all-users logon task.
Function CreateAllUsersTask
  !insertmacro TASK_XML_HEAD "${TASK_ALL_USERS}"
  FileWriteUTF16LE $0 '  <Triggers>$\r$\n    <LogonTrigger>$\r$\n      <Enabled>true</Enabled>$\r$\n    </LogonTrigger>$\r$\n  </Triggers>$\r$\n'
  FileWriteUTF16LE $0 '  <Principals>$\r$\n    <Principal id="Users">$\r$\n      <GroupId>S-1-5-32-545</GroupId>$\r$\n'
  FileWriteUTF16LE $0 '      <RunLevel>HighestAvailable</RunLevel>$\r$\n    </Principal>$\r$\n  </Principals>$\r$\n'
  FileWriteUTF16LE $0 '  <Settings>$\r$\n${TASK_XML_SETTINGS}'
  FileWriteUTF16LE $0 '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>$\r$\n  </Settings>$\r$\n'
  FileWriteUTF16LE $0 '  <Actions Context="Users">$\r$\n    <Exec>$\r$\n      <Command>"$1"</Command>$\r$\n'
  FileWriteUTF16LE $0 '      <Arguments>/logon</Arguments>$\r$\n    </Exec>$\r$\n  </Actions>$\r$\n</Task>$\r$\n'
  FileClose $0
  !insertmacro TASK_XML_REGISTER "${TASK_ALL_USERS}" "无法设置开机时自动运行"
FunctionEnd

; "DAILY" or "WEEKLY" from /SCHEDULE=, "0" to remove the scheduled check; empty:
; the machine keeps what it has.
Var Schedule

; The scheduled check: every day, or every Monday, at noon, when more machines are on
; than at night; a start missed while the machine was off comes when it is on again.
; The report goes into the log folder itself (named without a last backslash, which
; a command line would read as an escaped quote): the program names a dated file there.
Function CreateCheckTask
  !insertmacro TASK_XML_HEAD "${TASK_CHECK}"
  FileWriteUTF16LE $0 '  <Triggers>$\r$\n    <CalendarTrigger>$\r$\n      <StartBoundary>2026-01-01T12:00:00</StartBoundary>$\r$\n'
  ${If} $Schedule == "WEEKLY"
    FileWriteUTF16LE $0 '      <ScheduleByWeek>$\r$\n        <WeeksInterval>1</WeeksInterval>$\r$\n'
    FileWriteUTF16LE $0 '        <DaysOfWeek>$\r$\n          <Monday />$\r$\n        </DaysOfWeek>$\r$\n      </ScheduleByWeek>$\r$\n'
  ${Else}
    FileWriteUTF16LE $0 '      <ScheduleByDay>$\r$\n        <DaysInterval>1</DaysInterval>$\r$\n      </ScheduleByDay>$\r$\n'
  ${EndIf}
  FileWriteUTF16LE $0 '    </CalendarTrigger>$\r$\n  </Triggers>$\r$\n'
  FileWriteUTF16LE $0 '  <Principals>$\r$\n    <Principal id="System">$\r$\n      <UserId>S-1-5-18</UserId>$\r$\n'
  FileWriteUTF16LE $0 '      <RunLevel>HighestAvailable</RunLevel>$\r$\n    </Principal>$\r$\n  </Principals>$\r$\n'
  FileWriteUTF16LE $0 '  <Settings>$\r$\n${TASK_XML_SETTINGS}'
  FileWriteUTF16LE $0 '    <StartWhenAvailable>true</StartWhenAvailable>$\r$\n'
  FileWriteUTF16LE $0 '    <ExecutionTimeLimit>PT2H</ExecutionTimeLimit>$\r$\n  </Settings>$\r$\n'
  ${WordReplace} "$INSTDIR\log" "&" "&amp;" "+" $2
  FileWriteUTF16LE $0 '  <Actions Context="System">$\r$\n    <Exec>$\r$\n      <Command>"$1"</Command>$\r$\n'
  FileWriteUTF16LE $0 '      <Arguments>/check /report "$2"</Arguments>$\r$\n    </Exec>$\r$\n  </Actions>$\r$\n</Task>$\r$\n'
  FileClose $0
  !insertmacro TASK_XML_REGISTER "${TASK_CHECK}" "无法设置定时检查"
FunctionEnd

; The box starts every user's program at logon through the all-users task; each user
; may turn their own start off in the program. Nothing is written to the settings of
; the account running the setup: the program seeds each user's at that user's first start.
Section "-Logon start and programs list"
  ; The program's earlier start-with-Windows entries: the logon task replaces them.
  Push "$INSTDIR"
  Call RemoveRunValues
  ${If} ${SectionIsSelected} ${SecAutoRun}
    Call CreateAllUsersTask
  ${Else}
    Push "${TASK_ALL_USERS}"
    Call DeleteTask
  ${EndIf}
  ${If} $Schedule == "0"
    Push "${TASK_CHECK}"
    Call DeleteTask
  ${ElseIf} $Schedule != ""
    Call CreateCheckTask
  ${EndIf}
  ; The event viewer and the collectors read the events' texts from the program.
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\${EXE}"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7

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

; Whether a folder's entries are all files of the program's kind (".log" in log\,
; ".bak" in backup\, or such a file half written). Call with the folder and the
; extension pushed; sets $0 to 1 or 0.
Function HoldsOnlyFilesOf
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  Push $R4
  StrLen $R4 "$R1.~tmp"
  StrCpy $0 1
  FindFirst $R2 $R3 "$R0\*.*"
  ${DoWhile} $R3 != ""
    ${If} $R3 != "."
    ${AndIf} $R3 != ".."
      ${If} ${FileExists} "$R0\$R3\*.*"
        StrCpy $0 0
      ${Else}
        StrCpy $1 $R3 "" -$R4
        StrLen $2 $R1
        StrCpy $2 $R3 "" -$2
        ${If} $1 != "$R1.~tmp"
        ${AndIf} $2 != $R1
          StrCpy $0 0
        ${EndIf}
      ${EndIf}
    ${EndIf}
    FindNext $R2 $R3
  ${Loop}
  FindClose $R2
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

; Whether $INSTDIR may take the installation: a missing or empty folder, an earlier
; installation of this program, or what an uninstall that kept the user's data left
; (Allow.dat, log\*.log, backup\*.bak). Any other file may be someone else's, and the
; uninstaller's data box would later delete in log\ and backup\. Sets $0 to 1 or 0.
Function FolderIsOurs
  StrCpy $0 1
  ${If} ${FileExists} "$INSTDIR\${EXE}"
  ${AndIf} ${FileExists} "$INSTDIR\Uninstall.exe"
    Return
  ${EndIf}
  ReadRegStr $1 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $1 == $INSTDIR
    Return
  ${EndIf}
  !if ${OWN_VIEW} == 64
    ${If} $Folder32 == $INSTDIR
      Return
    ${EndIf}
  !endif
  Push $R0
  Push $R1
  FindFirst $R0 $R1 "$INSTDIR\*.*"
  ${DoWhile} $R1 != ""
    ${If} $R1 == "."
    ${OrIf} $R1 == ".."
    ${OrIf} $R1 == "Allow.dat"
      ; the folder itself, its parent, the trust list
    ${ElseIf} $R1 == "log"
      Push "$INSTDIR\log"
      Push ".log"
      Call HoldsOnlyFilesOf
    ${ElseIf} $R1 == "backup"
      Push "$INSTDIR\backup"
      Push ".bak"
      Call HoldsOnlyFilesOf
    ${Else}
      StrCpy $0 0
    ${EndIf}
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    FindNext $R0 $R1
  ${Loop}
  FindClose $R0
  Pop $R1
  Pop $R0
FunctionEnd

Function DirectoryLeave
  Call FolderIsOurs
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "所选文件夹中已有其他文件，请选择一个空文件夹：$INSTDIR"
    Abort
  ${EndIf}
FunctionEnd

; The box starts ticked when the all-users logon task is there; /AUTORUN=1 or
; /AUTORUN=0 decides it for a deployment. A silent setup refuses a folder that is not
; ours before it changes anything; the wizard asks for another on its folder page.
Function .onInit
  !if ${OWN_VIEW} == 64
    SetRegView 64
    Call FindInstallation32
  !endif
  !insertmacro FIND_TASK_FOLDER
  ${If} ${FileExists} "$TaskFolder\${TASK_ALL_USERS}"
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
  ; /SCHEDULE=0 removes the scheduled check; without /SCHEDULE= an upgrade keeps what an
  ; administrator set up. A value it does not know changes nothing.
  ClearErrors
  ${GetOptions} $1 "/SCHEDULE=" $2
  ${IfNot} ${Errors}
    ${If} $2 == "DAILY"
      StrCpy $Schedule "DAILY"
    ${ElseIf} $2 == "WEEKLY"
      StrCpy $Schedule "WEEKLY"
    ${ElseIf} $2 == "0"
      StrCpy $Schedule "0"
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "/SCHEDULE=$2 无效：只能是 DAILY、WEEKLY 或 0。" /SD IDOK
      SetErrorLevel ${EXIT_BAD_SWITCH}
      Quit
    ${EndIf}
  ${EndIf}
  ${If} ${Silent}
    Call FolderIsOurs
    ${If} $0 = 0
      SetErrorLevel ${EXIT_REFUSED}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  !if ${OWN_VIEW} == 64
    SetRegView 64
  !endif
  !insertmacro FIND_TASK_FOLDER
FunctionEnd

; Whether the task file pushed starts the program in $INSTDIR: a line of it is that
; program's <Command>, quoted or not. Windows writes task files in UTF-16 LE, Wine in
; UTF-8. A task that names no program at all counts as ours. Sets $0 to 1 or 0.
Function un.TaskStartsThisProgram
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R4 0  ; a <Command> seen
  ${WordReplace} "$INSTDIR\${EXE}" "&" "&amp;" "+" $R3
  StrCpy $0 0
  FileOpen $R1 $R0 r
  ${If} $R1 != ""
    FileReadWord $R1 $R2
    ${If} $R2 <> 0xFEFF
      FileSeek $R1 0
    ${EndIf}
    ${Do}
      ClearErrors
      ${If} $R2 = 0xFEFF
        FileReadUTF16LE $R1 $R0
      ${Else}
        FileRead $R1 $R0
      ${EndIf}
      ${If} ${Errors}
        ${Break}
      ${EndIf}
      ${TrimNewLines} $R0 $R0
      ClearErrors
      ${WordFind} $R0 "<Command>" "E+1}" $R0
      ${IfNot} ${Errors}
        StrCpy $R4 1
        ${If} $R0 == "$R3</Command>"
        ${OrIf} $R0 == '"$R3"</Command>'
          StrCpy $0 1
          ${Break}
        ${EndIf}
      ${EndIf}
    ${Loop}
    FileClose $R1
    ; A task of ours that names no program starts nothing: Wine's scheduler keeps
    ; no action of what the program registered.
    ${If} $R4 = 0
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; Every logon start this installation made: the all-users task, the per-user tasks the
; program made for each user that start this program, and the program's earlier Run
; values in every loaded user hive and the machine's.
Function un.RemoveLogonStarts
  Push "${TASK_ALL_USERS}"
  Call un.DeleteTask
  FindFirst $R0 $R1 "$TaskFolder\Quorrel-S-*"
  ${DoWhile} $R1 != ""
    ${IfNot} ${FileExists} "$TaskFolder\$R1\*.*"
      Push "$TaskFolder\$R1"
      Call un.TaskStartsThisProgram
      ${If} $0 = 1
        Push $R1
        Call un.DeleteTask
      ${EndIf}
    ${EndIf}
    FindNext $R0 $R1
  ${Loop}
  FindClose $R0
  Push "$INSTDIR"
  Call un.RemoveRunValues
FunctionEnd

; The scheduled check and the event source, when they are this installation's.
Function un.RemoveCheckAndSource
  ${If} ${FileExists} "$TaskFolder\${TASK_CHECK}"
    Push "$TaskFolder\${TASK_CHECK}"
    Call un.TaskStartsThisProgram
    ${If} $0 = 1
      Push "${TASK_CHECK}"
      Call un.DeleteTask
    ${EndIf}
  ${EndIf}
  ReadRegStr $0 HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile"
  ${If} $0 == "$INSTDIR\${EXE}"
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
  ${EndIf}
FunctionEnd

Section "-un.Program"
  Call un.CloseRunning
  !insertmacro ZORVANE_REMOVE_FILES "$INSTDIR"
  Delete "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  Delete "${MENU_FOLDER}\Zorvane.lnk"
  Delete "${MENU_FOLDER}\使用帮助.lnk"
  Delete "${MENU_FOLDER}\卸载 Zorvane.lnk"
  RMDir "${MENU_FOLDER}"

  Call un.RemoveLogonStarts
  Call un.RemoveCheckAndSource
  DeleteRegKey HKLM "${UNINST_KEY}"
  RMDir "$INSTDIR"  ; only when empty: the user's data keeps the folder
SectionEnd

; Only what the program writes goes (the trust list, its logs and backups, and their
; temporary files), then each folder if nothing else is left in it: a folder given
; with /D= may have held files of its own.
Function un.RemoveDataIn
  Exch $R0
  Delete "$R0\Allow.dat"
  Delete "$R0\log\*.log"
  Delete "$R0\log\*.log.~tmp"
  RMDir "$R0\log"
  Delete "$R0\backup\*.bak"
  Delete "$R0\backup\*.bak.~tmp"
  RMDir "$R0\backup"
  RMDir "$R0"
  Pop $R0
FunctionEnd

Section /o "un.同时删除日志、信任列表和备份" UnSecData
  Push "$INSTDIR"
  Call un.RemoveDataIn
  ; A user who could not write beside the program kept theirs in their own
  ; %LOCALAPPDATA%\Zorvane: this user's, and every profile's under the profiles folder.
  SetShellVarContext current
  Push "$LOCALAPPDATA\Zorvane"
  Call un.RemoveDataIn
  ReadRegStr $R1 HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList" "ProfilesDirectory"
  ExpandEnvStrings $R1 $R1
  ${If} $R1 != ""
    FindFirst $R2 $R3 "$R1\*"
    ${DoWhile} $R3 != ""
      ${If} $R3 != "."
      ${AndIf} $R3 != ".."
      ${AndIf} ${FileExists} "$R1\$R3\AppData\Local\Zorvane\*.*"
        Push "$R1\$R3\AppData\Local\Zorvane"
        Call un.RemoveDataIn
      ${EndIf}
      FindNext $R2 $R3
    ${Loop}
    FindClose $R2
  ${EndIf}
SectionEnd
