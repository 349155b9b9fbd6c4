; zrmon-setup.exe: installs the Gaming Mouse Monitor for every user of the
; machine, starts it at logon and registers its uninstaller.
;
; The build runs makensis through tools/make_installer.py, which defines:
;   ZR_VERSION    the project's version (x.y.z)
;   ZR_BITS       32: a 32-bit installer of the 32-bit program; 64: the 64-bit ones
;   ZR_DIST       the folder laid out as it ships (everything in it is packed)
;   ZR_FILES      a generated file of ZR_FILE lines, one per file of ZR_DIST but config.ini
;   ZR_ICON ZR_OUT ZR_PRODUCT ZR_PUBLISHER ZR_COPYRIGHT
;
; What the installer leaves: the files in the program folder, uninstall.lst (every file
; an install put there, relative to it, "\" first, one a line; an upgrade appends, so
; the uninstaller also removes what an older version shipped), the start-menu entry,
; the machine's Run value and the uninstall entry. The user's profiles (registry values
; under HKCU, .pfd files in the documents folder) are the monitor's: never touched here.

ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!if ${ZR_BITS} == 64
  Target amd64-unicode
  InstallDir "$PROGRAMFILES64\${ZR_PRODUCT}"
!else
  Target x86-unicode
  InstallDir "$PROGRAMFILES\${ZR_PRODUCT}"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include StrFunc.nsh
!include WinVer.nsh
!include WinMessages.nsh

${UnStrStr}

!define MONITOR_CLASS "ZEDEZAVadi"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zrmon"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "zrmon"
!define FILE_LIST "uninstall.lst"
!define UNINSTALLER "$INSTDIR\uninstall.exe"
!define SYNCHRONIZE 0x00100000
!define WAIT_MS 30000

Name "${ZR_PRODUCT}"
OutFile "${ZR_OUT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${ZR_PRODUCT} ${ZR_VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ZR_ICON}"
!define MUI_UNICON "${ZR_ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_TEXT "${ZR_PRODUCT} is installed and runs in the notification area."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${ZR_VERSION}.0"
VIFileVersion "${ZR_VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${ZR_PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${ZR_PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${ZR_PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${ZR_COPYRIGHT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${ZR_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${ZR_VERSION}"

Var List  ; uninstall.lst, open for appending while files are installed
Var EndedMonitor  ; 1 when this install ended a running monitor

; One file of the shipped folder: DIR is its folder below the program folder
; ("" or "\sub"), SOURCE the file in the build.
!macro ZR_FILE DIR NAME SOURCE
  SetOutPath "$INSTDIR${DIR}"
  File "${SOURCE}"
  FileWrite $List "${DIR}\${NAME}$\r$\n"
!macroend

; Ends a running monitor the orderly way, as its Exit does: WM_CLOSE to its
; window, then a wait for its process to end (so its files are free). One that
; does not end in time is left to the user: retry, or stop here.
!macro END_MONITOR UN
Function ${UN}EndMonitor
  retry:
  FindWindow $0 "${MONITOR_CLASS}"
  ${If} $0 == 0
    Return
  ${EndIf}
  DetailPrint "Ending the running monitor"
  System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
  System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
  SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=${WAIT_MS}
  StrCpy $EndedMonitor 1
  StrCpy $3 0
  ${If} $2 P<> 0
    System::Call "kernel32::WaitForSingleObject(p r2, i ${WAIT_MS}) i .r3"
    System::Call "kernel32::CloseHandle(p r2)"
  ${Else}
    ; Its process cannot be opened: wait for the window to go instead.
    StrCpy $4 0
    ${Do}
      FindWindow $0 "${MONITOR_CLASS}"
      ${If} $0 == 0
      ${OrIf} $4 >= ${WAIT_MS}
        ${ExitDo}
      ${EndIf}
      Sleep 100
      IntOp $4 $4 + 100
    ${Loop}
    ${If} $0 != 0
      StrCpy $3 1
    ${EndIf}
  ${EndIf}
  ${If} $3 != 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${ZR_PRODUCT} does not end. End it with Exit in the menu of its tray icon, then retry." \
      /SD IDCANCEL IDRETRY retry
    Abort "${ZR_PRODUCT} still runs."
  ${EndIf}
FunctionEnd
!macroend
!insertmacro END_MONITOR ""
!insertmacro END_MONITOR "un."

; $R0 = 1 when the files $R0 and $R1 differ (or one cannot be read), else 0.
; Uses $0-$3 and $R2.
Function FilesDiffer
  FileOpen $0 $R0 r
  FileOpen $1 $R1 r
  StrCpy $R2 1
  ${If} $0 != ""
  ${AndIf} $1 != ""
    ${Do}
      ClearErrors
      FileReadByte $0 $2
      ${If} ${Errors}
        ClearErrors
        FileReadByte $1 $3
        ${If} ${Errors}
          StrCpy $R2 0  ; both ended together
        ${EndIf}
        ${ExitDo}
      ${EndIf}
      FileReadByte $1 $3
      ${If} ${Errors}
      ${OrIf} $2 != $3
        ${ExitDo}
      ${EndIf}
    ${Loop}
  ${EndIf}
  ${If} $0 != ""
    FileClose $0
  ${EndIf}
  ${If} $1 != ""
    FileClose $1
  ${EndIf}
  StrCpy $R0 $R2
FunctionEnd

; config.ini holds the user's settings of the monitor (the mouse's hardware IDs,
; where profiles are kept). config.default.ini beside it is the copy as the
; installed version shipped it. An upgrade replaces config.ini only when it still
; equals that copy; one the user changed is kept (the new version's own comes as
; config.default.ini). Without the copy there is nothing to tell a change by, so
; an existing config.ini is kept.
Function InstallConfig
  StrCpy $R3 0
  ${If} ${FileExists} "$INSTDIR\config.ini"
    StrCpy $R3 1
    ${If} ${FileExists} "$INSTDIR\config.default.ini"
      StrCpy $R0 "$INSTDIR\config.ini"
      StrCpy $R1 "$INSTDIR\config.default.ini"
      Call FilesDiffer
      StrCpy $R3 $R0
    ${EndIf}
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=config.default.ini" "${ZR_DIST}/config.ini"
  ${If} $R3 == 0
    File "${ZR_DIST}/config.ini"
  ${Else}
    DetailPrint "Kept the changed config.ini"
  ${EndIf}
  FileWrite $List "\config.ini$\r$\n\config.default.ini$\r$\n"
FunctionEnd

; The monitor starts unless one runs already (its single instance would end a
; second one anyway). The installer runs elevated; the monitor must run as the
; user (it stores in the user's registry, the configuration program talks to
; it), so from Vista on the user's shell starts it, as a start from the desktop
; would. Without a shell in the session (an install by a deployment service)
; nothing starts: the Run value starts the monitor at the next logon.
Function StartMonitor
  FindWindow $0 "${MONITOR_CLASS}"
  ${If} $0 != 0
  ${OrIfNot} ${FileExists} "$INSTDIR\zrmon.exe"
    Return
  ${EndIf}
  SetOutPath "$INSTDIR"
  ${If} ${AtLeastWinVista}
    FindWindow $0 "Shell_TrayWnd"
    ${If} $0 == 0
      DetailPrint "No desktop shell runs: the monitor starts at the next logon"
      Return
    ${EndIf}
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\zrmon.exe"'
  ${Else}
    Exec '"$INSTDIR\zrmon.exe"'
  ${EndIf}
FunctionEnd

Section "${ZR_PRODUCT}" SecProgram
  SectionIn RO
  Call EndMonitor  ; an upgrade: the running monitor lets go of its files first
  CreateDirectory "$INSTDIR"
  FileOpen $List "$INSTDIR\${FILE_LIST}" a
  ${If} $List == ""
    Abort "Cannot write $INSTDIR\${FILE_LIST}."
  ${EndIf}
  FileSeek $List 0 END
  Call InstallConfig
  !include "${ZR_FILES}"
  FileClose $List
  SetOutPath "$INSTDIR"
  WriteUninstaller "${UNINSTALLER}"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${ZR_PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${ZR_PRODUCT}\${ZR_PRODUCT}.lnk" "$INSTDIR\zrmon.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${ZR_PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${ZR_VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${ZR_PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\zrmon.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=1" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start the monitor at logon" SecAutostart
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\zrmon.exe"'
SectionEnd

Section "-StartMonitor"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
  Call StartMonitor
SectionEnd

; Installing for the machine needs an administrator (on XP, or with UAC off,
; the request for elevation is not enough): refused before anything changes.
!macro REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP "${ZR_PRODUCT} is installed for every user of this computer: run this as an administrator." \
      /SD IDOK
    SetErrorLevel 740  ; the elevation that is needed
    Quit
  ${EndIf}
!macroend

; An install that stops after it ended the user's monitor starts it again.
Function .onInstFailed
  ${If} $EndedMonitor == 1
    Call StartMonitor
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro REQUIRE_ADMIN
  !if ${ZR_BITS} == 64
    SetRegView 64
  !endif
  ; An upgrade keeps the user's choice: no logon start when the earlier install had none.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "UninstallString"
  ReadRegStr $1 HKLM "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 != ""
  ${AndIf} $1 == ""
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro REQUIRE_ADMIN
  !if ${ZR_BITS} == 64
    SetRegView 64
  !endif
FunctionEnd

Section "Uninstall"
  Call un.EndMonitor

  ; Every file an install recorded, then each of its folders that is left empty.
  ClearErrors
  FileOpen $0 "$INSTDIR\${FILE_LIST}" r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileRead $0 $1
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      ${Do}  ; the line's end
        StrCpy $2 $1 1 -1
        ${If} $2 != "$\r"
        ${AndIf} $2 != "$\n"
          ${ExitDo}
        ${EndIf}
        StrCpy $1 $1 -1
      ${Loop}
      ; Only names inside the program folder.
      StrCpy $2 $1 1
      ${UnStrStr} $3 $1 ".."
      ${UnStrStr} $4 $1 ":"
      ${If} $2 != "\"
      ${OrIf} $3 != ""
      ${OrIf} $4 != ""
        ${Continue}
      ${EndIf}
      Delete "$INSTDIR$1"
      StrCpy $5 "$INSTDIR$1"
      ${Do}
        ${GetParent} $5 $5
        ${If} $5 == "$INSTDIR"
        ${OrIf} $5 == ""
          ${ExitDo}
        ${EndIf}
        RMDir $5
      ${Loop}
    ${Loop}
    FileClose $0
  ${EndIf}
  Delete "$INSTDIR\${FILE_LIST}"
  Delete "${UNINSTALLER}"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${ZR_PRODUCT}\${ZR_PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${ZR_PRODUCT}"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
