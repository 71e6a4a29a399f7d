; The Windows installer of Tarnwick, made by tools/package-windows.sh with NSIS:
;   makensis -DVERSION=4.3 -DPROGRAM_DIR=<staged program folder> -DOUTFILE=<setup.exe> tarnwick.nsi
;
; It installs the program's folder under Program Files\Tarnwick, a Start menu entry and an
; uninstaller in Programs and Features; optionally "Start with Windows" (the desktop program's
; own Run entry, written by `tarnwick.exe --autostart on`) and the service (registered by
; `tarnwickd.exe --install-service`). For fleets it runs silently with the same choices:
;   Tarnwick-4.3-setup.exe /S [/AUTOSTART=yes|no] [/SERVICE=yes|no] [/D=C:\Path]
; Without a switch, a new install starts with Windows and has no service; an upgrade keeps what
; is there. The uninstaller keeps the settings and logs unless asked to remove them:
;   uninstall.exe /S [/PURGE]

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include StrFunc.nsh
${StrStr}

!ifndef VERSION | PROGRAM_DIR | OUTFILE
  !error "VERSION, PROGRAM_DIR and OUTFILE must be defined"
!endif

!define PRODUCT "Tarnwick"
!define PUBLISHER "Tarnwick"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SERVICE "Tarnwick"
; How long an upgrade waits for the running service to stop, in half seconds.
!define STOP_WAIT_STEPS 60

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} system-load monitor setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${PROGRAM_DIR}/eyerun.ico"
!define MUI_UNICON "${PROGRAM_DIR}/eyerun.ico"
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The service's state before this run: "absent", "stopped" or "running".
Var ServiceBefore

; The state of the service from `sc query` (its STATE line; the state names are not translated).
!macro ServiceState result
  nsExec::ExecToStack '"$SYSDIR\sc.exe" query ${SERVICE}'
  Pop $0
  Pop $1
  StrCpy ${result} "absent"
  ${If} $0 == 0
    StrCpy ${result} "stopped"
    ${StrStr} $2 $1 "RUNNING"
    ${If} $2 != ""
      StrCpy ${result} "running"
    ${EndIf}
    ${StrStr} $2 $1 "PENDING"
    ${If} $2 != ""
      StrCpy ${result} "running"
    ${EndIf}
  ${EndIf}
!macroend

; A yes/no switch of the command line selects or clears a section; no switch leaves it.
!macro Switch name section
  ${GetOptions} $R0 "/${name}=" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == "yes"
    ${OrIf} $R1 == "1"
      !insertmacro SelectSection ${section}
    ${ElseIf} $R1 == "no"
    ${OrIf} $R1 == "0"
      !insertmacro UnselectSection ${section}
    ${EndIf}
  ${EndIf}
!macroend

Section "Tarnwick" SecProgram
  SectionIn RO
  ; An upgrade replaces tarnwickd.exe, which the running service holds open.
  ${If} $ServiceBefore == "running"
    DetailPrint "Stopping the service ${SERVICE}"
    nsExec::ExecToLog '"$SYSDIR\sc.exe" stop ${SERVICE}'
    Pop $0
    StrCpy $3 0
    ${Do}
      !insertmacro ServiceState $4
      ${IfThen} $4 != "running" ${|} ${ExitDo} ${|}
      ${If} $3 >= ${STOP_WAIT_STEPS}
        DetailPrint "The service ${SERVICE} did not stop"
        ${ExitDo}
      ${EndIf}
      Sleep 500
      IntOp $3 $3 + 1
    ${Loop}
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${PROGRAM_DIR}/tarnwick.exe"
  File "${PROGRAM_DIR}/tarnwickd.exe"
  File "${PROGRAM_DIR}/mailcmdssl.exe"
  File "${PROGRAM_DIR}/eyestop.ico"
  File "${PROGRAM_DIR}/eyerun.ico"
  File "${PROGRAM_DIR}/alert.wav"
  File "${PROGRAM_DIR}/alert1.wav"
  File "${PROGRAM_DIR}/Hand-m.cur"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\tarnwick.exe" "" "$INSTDIR\tarnwick.exe" 0 \
    SW_SHOWNORMAL "" "Tarnwick system-load monitor"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnwick.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start with Windows" SecAutostart
  ; The same entry as the desktop program's File menu item writes, by the program's own rule.
  nsExec::ExecToLog '"$INSTDIR\tarnwick.exe" --autostart on'
  Pop $0
  ${If} $0 != 0
    DetailPrint "Start with Windows could not be set up"
    SetErrorLevel 2
  ${EndIf}
SectionEnd

Section "Install the Tarnwick service" SecService
  nsExec::ExecToLog '"$INSTDIR\tarnwickd.exe" --install-service'
  Pop $0
  ${If} $0 != 0
    DetailPrint "The service could not be installed"
    SetErrorLevel 2
  ${ElseIf} $ServiceBefore != "stopped"
    ; A new service starts now; one that ran before this upgrade runs again.
    nsExec::ExecToLog '"$SYSDIR\sc.exe" start ${SERVICE}'
    Pop $0
  ${EndIf}
SectionEnd

; What an upgrade switched off goes away.
Section "-Switched off"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} $0 != ""
      nsExec::ExecToLog '"$INSTDIR\tarnwick.exe" --autostart off'
      Pop $0
    ${EndIf}
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${SecService}
  ${AndIf} $ServiceBefore != "absent"
    nsExec::ExecToLog '"$INSTDIR\tarnwickd.exe" --uninstall-service'
    Pop $0
  ${EndIf}
SectionEnd

Function .onInit
  SetRegView 64
  !insertmacro ServiceState $ServiceBefore
  ; A new install starts with Windows and has no service; an upgrade keeps what it finds.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    ReadRegStr $1 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} $1 == ""
      !insertmacro UnselectSection ${SecAutostart}
    ${EndIf}
  ${EndIf}
  ${If} $ServiceBefore == "absent"
    !insertmacro UnselectSection ${SecService}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  !insertmacro Switch "AUTOSTART" ${SecAutostart}
  ClearErrors
  !insertmacro Switch "SERVICE" ${SecService}
FunctionEnd

Section "un.Tarnwick" UnSecProgram
  SectionIn RO
  SetRegView 64
  ; The service stops and goes, and the user's Run entry with it.
  nsExec::ExecToLog '"$INSTDIR\tarnwickd.exe" --uninstall-service'
  Pop $0
  nsExec::ExecToLog '"$INSTDIR\tarnwick.exe" --autostart off'
  Pop $0
  Delete "$INSTDIR\tarnwick.exe"
  Delete "$INSTDIR\tarnwickd.exe"
  Delete "$INSTDIR\mailcmdssl.exe"
  Delete "$INSTDIR\eyestop.ico"
  Delete "$INSTDIR\eyerun.ico"
  Delete "$INSTDIR\alert.wav"
  Delete "$INSTDIR\alert1.wav"
  Delete "$INSTDIR\Hand-m.cur"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; The settings and logs: the service's under ProgramData, the desktop program's of the user who
; uninstalls, and the daily logs and usage history in c:\monitor_log.
Section /o "un.Settings and logs" UnSecPurge
  SetShellVarContext all
  RMDir /r "$APPDATA\${PRODUCT}"
  SetShellVarContext current
  RMDir /r "$APPDATA\${PRODUCT}"
  Delete "C:\monitor_log\Tarnwick_log_*.txt"
  Delete "C:\monitor_log\Tarnwick_history.sqlite*"
  RMDir "C:\monitor_log"
SectionEnd

Function un.onInit
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecPurge}
  ${EndIf}
FunctionEnd
