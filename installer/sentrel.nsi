; SentrelSetup.exe: installs the monitor (Sentrel.exe), the explorer
; (SentrelEx.exe) and the helper library for every user of the machine, and
; the uninstaller that puts the user's startup back before Sentrel goes.
;
;   makensis -DBIN_DIR=<folder of the programs> -DVERSION=12.5.2007.0
;            -DOUTFILE=<path of SentrelSetup.exe> [-DICON=<icon>] sentrel.nsi
;
; The programs are 64-bit, and so is the setup: it needs no 32-bit Windows
; layer (a 64-bit-only Wine runs it too).

Unicode true
Target amd64-unicode

!ifndef BIN_DIR
  !error "BIN_DIR (the folder of Sentrel.exe, SentrelEx.exe and sentrelaux.dll) is not defined"
!endif
!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "SentrelSetup.exe"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Sentrel"
!define PUBLISHER "Orvendale"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Where the programs keep their settings, baselines and disabled entries.
!define STORE_KEY "Software\Orvendale\Sentrel"
!define DETECTED_KEY "Software\Orvendale\Detected"
!define VENDOR_KEY "Software\Orvendale"
; Window classes of the running monitor and explorer.
!define MONITOR_CLASS "Sentrel"
!define EXPLORER_CLASS "SentrelEx"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; A new version goes where the last one is (a /D= on the command line still wins).
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Sentrel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the Sentrel monitor now"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The machine's data folder, "%ProgramData%\Sentrel": where the programs
; write when their own folder cannot be written.
Var DataFolder
; 1 when SentrelEx.exe -EnableAll could not put every disabled or delayed
; entry back: then Sentrel's store holds the only copy of them.
Var KeepStore

; The help pages the explorer opens (kbase\<key>.html holds the rest).
!macro HELP_PAGES _action
  !insertmacro ${_action} "features.html"
  !insertmacro ${_action} "startup.html"
  !insertmacro ${_action} "cookies.html"
  !insertmacro ${_action} "tasks.html"
  !insertmacro ${_action} "options.html"
  !insertmacro ${_action} "services.html"
  !insertmacro ${_action} "scheduler.html"
  !insertmacro ${_action} "bho.html"
  !insertmacro ${_action} "filetype.html"
  !insertmacro ${_action} "helpme.html"
  !insertmacro ${_action} "hidden.html"
  !insertmacro ${_action} "delay.html"
!macroend
!macro INSTALL_HELP_PAGE _name
  !if /FileExists "${BIN_DIR}/${_name}"
    File "${BIN_DIR}/${_name}"
  !endif
!macroend
!macro REMOVE_HELP_PAGE _name
  Delete "$INSTDIR\${_name}"
!macroend

; Ends the running program whose window class is _class with its own
; switch (_program -Q), and waits up to 10 s for its process to end, so
; that its files can be replaced or deleted and it writes nothing more.
!macro STOP_PROGRAM _class _program
  FindWindow $0 "${_class}"
  ${If} $0 <> 0
  ${AndIf} ${FileExists} "${_program}"
    DetailPrint "Stopping ${_program}"
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    ; SYNCHRONIZE: enough to wait for it.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    ExecWait '"${_program}" -Q'
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i .r1'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${Else}
      ; Not allowed to wait for the process: wait for its window.
      StrCpy $1 0
      ${Do}
        FindWindow $0 "${_class}"
        ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
        IntOp $1 $1 + 1
        ${IfThen} $1 >= 100 ${|} ${ExitDo} ${|}
        Sleep 100
      ${Loop}
    ${EndIf}
  ${EndIf}
!macroend

; Functions both the setup and the uninstaller use ("un." for the latter).
!macro SHARED_FUNCTIONS _un
  ; Ends a running monitor and explorer.
  Function ${_un}StopPrograms
    Push $0
    Push $1
    Push $2
    !insertmacro STOP_PROGRAM "${MONITOR_CLASS}" "$INSTDIR\Sentrel.exe"
    !insertmacro STOP_PROGRAM "${EXPLORER_CLASS}" "$INSTDIR\SentrelEx.exe"
    Pop $2
    Pop $1
    Pop $0
  FunctionEnd

  ; "%ProgramData%\Sentrel" into $DataFolder (the all-users application data
  ; folder, as the programs find it).
  Function ${_un}FindDataFolder
    SetShellVarContext all
    StrCpy $DataFolder "$APPDATA\${PRODUCT}"
  FunctionEnd
!macroend
!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

; Deletes a file, waiting up to 5 s for a program that is ending to let go
; of it; else at the next restart.
!macro DELETE_WAITING _file
  Push $0
  StrCpy $0 0
  ${Do}
    Delete "${_file}"
    ${IfNot} ${FileExists} "${_file}"
      ${ExitDo}
    ${EndIf}
    IntOp $0 $0 + 1
    ${If} $0 >= 50
      Delete /REBOOTOK "${_file}"
      ${ExitDo}
    ${EndIf}
    Sleep 100
  ${Loop}
  Pop $0
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Sentrel" SecMain
  SectionIn RO
  SetRegView 64
  SetShellVarContext all
  Call StopPrograms

  SetOutPath "$INSTDIR"
  File "${BIN_DIR}/Sentrel.exe"
  File "${BIN_DIR}/SentrelEx.exe"
  File "${BIN_DIR}/sentrelaux.dll"
  !insertmacro HELP_PAGES INSTALL_HELP_PAGE
  !if /FileExists "${BIN_DIR}/kbase/*"
    File /r "${BIN_DIR}/kbase"
  !endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The machine's data folder, writable by every user: the monitor of a
  ; user who cannot write the program folder keeps its history there.
  Call FindDataFolder
  CreateDirectory "$DataFolder"
  nsExec::Exec 'icacls "$DataFolder" /grant *S-1-5-32-545:(OI)(CI)M'
  Pop $0
  DetailPrint "Users may change $DataFolder: icacls $0"

  ; The monitor starts with Windows; the value is the one the monitor
  ; itself writes (Options, "Start Sentrel with Windows").
  WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" "$INSTDIR\sentrel.exe -expressboot"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\SentrelEx.exe" "" "$INSTDIR\SentrelEx.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Sentrel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; ---------------------------------------------------------------- uninstall

; 1 in $R9 when the command starts the program $R1 (the program quoted or
; not, with or without parameters), compared without regard to case; the
; command is in $R0.
Function un.StartsProgram
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R9 0
  StrLen $R2 $R1
  StrCpy $R3 $R0 1
  ${If} $R3 == '"'
    StrCpy $R3 $R0 $R2 1
    IntOp $R4 $R2 + 1
    StrCpy $R4 $R0 1 $R4
    ${If} $R3 == $R1
    ${AndIf} $R4 == '"'
      StrCpy $R9 1
    ${EndIf}
  ${Else}
    StrCpy $R3 $R0 $R2
    StrCpy $R4 $R0 1 $R2
    ${If} $R3 == $R1
      ${If} $R4 == ""
      ${OrIf} $R4 == " "
        StrCpy $R9 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Pop $R4
  Pop $R3
  Pop $R2
FunctionEnd

; 1 in $R9 when the command $R0 starts this copy's Sentrel.exe, by its long
; or its short path.
Function un.IsOwnCommand
  Push $R1
  StrCpy $R1 "$INSTDIR\Sentrel.exe"
  Call un.StartsProgram
  ${If} $R9 = 0
    GetFullPathName /SHORT $R1 "$INSTDIR"
    ${If} $R1 != ""
      StrCpy $R1 "$R1\Sentrel.exe"
      Call un.StartsProgram
    ${EndIf}
  ${EndIf}
  Pop $R1
FunctionEnd

; Deletes the Run value _name of _root when it starts this copy of the
; monitor; a value of that name that starts anything else stays.
!macro REMOVE_OWN_RUN_VALUE _root _name
  ClearErrors
  ReadRegStr $R0 ${_root} "${RUN_KEY}" "${_name}"
  ${IfNot} ${Errors}
    Call un.IsOwnCommand
    ${If} $R9 = 1
      DeleteRegValue ${_root} "${RUN_KEY}" "${_name}"
      DetailPrint "Removed the start with Windows: ${_root} ${_name}"
    ${EndIf}
  ${EndIf}
!macroend

Function un.RemoveOwnRunValues
  Push $R0
  Push $R9
  !insertmacro REMOVE_OWN_RUN_VALUE HKLM "Sentrel"
  !insertmacro REMOVE_OWN_RUN_VALUE HKLM "Sentrel Zenta"
  !insertmacro REMOVE_OWN_RUN_VALUE HKCU "Sentrel"
  !insertmacro REMOVE_OWN_RUN_VALUE HKCU "Sentrel Zenta"
  Pop $R9
  Pop $R0
FunctionEnd

; The Disabled folder the programs use: beside them while their folder was
; writable, else in the machine's or the user's data folder.
Function un.DisabledFolder
  ${If} ${FileExists} "$INSTDIR\Disabled\*.*"
    Push "$INSTDIR\Disabled"
  ${ElseIf} ${FileExists} "$DataFolder\Disabled\*.*"
    Push "$DataFolder\Disabled"
  ${Else}
    SetShellVarContext current
    ${If} ${FileExists} "$LOCALAPPDATA\${PRODUCT}\Disabled\*.*"
      Push "$LOCALAPPDATA\${PRODUCT}\Disabled"
    ${Else}
      Push "$DataFolder\Disabled"
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Call un.FindDataFolder
  Call un.StopPrograms

  ; Every startup entry the user disabled and every delayed program goes
  ; back where it was; what cannot be put back stays in Sentrel's store.
  StrCpy $KeepStore 0
  ${If} ${FileExists} "$INSTDIR\SentrelEx.exe"
    DetailPrint "Putting disabled and delayed startup entries back"
    ClearErrors
    ExecWait '"$INSTDIR\SentrelEx.exe" -EnableAll' $0
    ${If} ${Errors}
    ${OrIf} $0 <> 0
      StrCpy $KeepStore 1
    ${EndIf}
  ${Else}
    ; Without the explorer nothing can be put back: keep what is stored.
    StrCpy $KeepStore 1
  ${EndIf}
  ${If} $KeepStore = 1
    Call un.DisabledFolder
    Pop $1
    DetailPrint "Some disabled startup entries could not be put back; Sentrel's store is kept"
    MessageBox MB_OK|MB_ICONEXCLAMATION "Some startup entries you disabled or delayed with Sentrel could not be put back.$\r$\n$\r$\nThey are kept in Sentrel's store, in the registry keys$\r$\n  HKEY_CURRENT_USER\${STORE_KEY}$\r$\n  HKEY_LOCAL_MACHINE\${STORE_KEY}$\r$\nand in the folder$\r$\n  $1$\r$\n$\r$\nThese are not removed." /SD IDOK
  ${EndIf}

  !insertmacro DELETE_WAITING "$INSTDIR\Sentrel.exe"
  !insertmacro DELETE_WAITING "$INSTDIR\SentrelEx.exe"
  !insertmacro DELETE_WAITING "$INSTDIR\sentrelaux.dll"
  !insertmacro HELP_PAGES REMOVE_HELP_PAGE
  RMDir /r "$INSTDIR\kbase"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  ; The monitor's start with Windows, in both registry views.
  Call un.RemoveOwnRunValues
  SetRegView 32
  Call un.RemoveOwnRunValues
  SetRegView 64

  ; Settings and history go only when the user says so, and never while
  ; the store holds entries that could not be put back.
  ${If} $KeepStore = 0
    SetShellVarContext current
    StrCpy $2 "$LOCALAPPDATA"
    SetShellVarContext all
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also remove Sentrel's settings and history?$\r$\n$\r$\nThis removes its registry keys, the history in$\r$\n  $INSTDIR$\r$\nand its data folders, with the reports and notes written there:$\r$\n  $DataFolder$\r$\n  $2\${PRODUCT}" /SD IDNO IDNO keep
      DeleteRegKey HKCU "${STORE_KEY}"
      DeleteRegKey HKCU "${DETECTED_KEY}"
      DeleteRegKey HKLM "${STORE_KEY}"
      DeleteRegKey /ifempty HKCU "${VENDOR_KEY}"
      DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
      Delete "$INSTDIR\history.txt"
      Delete "$INSTDIR\history-pending.txt"
      RMDir "$INSTDIR\Disabled"
      RMDir /r "$DataFolder"
      ${If} $2 != ""
        RMDir /r "$2\${PRODUCT}"
      ${EndIf}
    keep:
  ${EndIf}

  ; The folder goes only when nothing of the user's is left in it.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
