; Installer of vm4417.exe for one user: no administrator rights needed.
; makensis -DVERSION=x.y -DEXE=path\vm4417.exe -DREADME=path\CTIMNE.txt
;          -DOUTFILE=path\setup.exe vm4417.nsi
; Start at login: a page of its own with a check box, or /AUTOSTART=1 for a
; silent install (setup.exe /S /AUTOSTART=1). It writes the Run value the
; program itself writes, starting it in Documents\VM4417.
; A 64-bit installer for a 64-bit program (and Wine without its 32-bit half).
Target amd64-unicode

Name "VM4417 ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\VM4417"
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VM4417"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"

; The check box's text is the program's own menu item, from its texts
; (makensis works in the folder of this script).
!searchparse /file "../../src/core/Texts.h" `kStartAtLoginItem = "` AUTOSTART_LABEL `"`

!include nsDialogs.nsh
!include FileFunc.nsh
!include LogicLib.nsh

Var AutostartBox
Var Autostart

Page directory
Page custom AutostartPage AutostartPageLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  StrCpy $Autostart 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $1
  ${IfNot} ${Errors}
    StrCpy $Autostart $1
  ${EndIf}
FunctionEnd

Function AutostartPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 12u "${AUTOSTART_LABEL}"
  Pop $AutostartBox
  ${If} $Autostart == 1
    ${NSD_Check} $AutostartBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function AutostartPageLeave
  ${NSD_GetState} $AutostartBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Autostart 1
  ${Else}
    StrCpy $Autostart 0
  ${EndIf}
FunctionEnd

Section "VM4417"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=vm4417.exe" "${EXE}"
  File "/oname=CTIMNE.txt" "${README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The program keeps its settings and daily logs in its working folder:
  ; a folder of the operator's documents, which the shortcut starts in.
  CreateDirectory "$DOCUMENTS\VM4417"
  CreateDirectory "$SMPROGRAMS\VM4417"
  SetOutPath "$DOCUMENTS\VM4417"
  CreateShortcut "$SMPROGRAMS\VM4417\VM4417.lnk" "$INSTDIR\vm4417.exe"
  CreateShortcut "$SMPROGRAMS\VM4417\Odinstalovat VM4417.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "VM4417"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vm4417.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ${If} $Autostart == 1
    WriteRegStr HKCU "${RUN_KEY}" "VM4417" '"$INSTDIR\vm4417.exe" --at-login --folder "$DOCUMENTS\VM4417"'
  ${EndIf}
SectionEnd

; The operator's settings and logs in Documents\VM4417 stay.
Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\VM4417\VM4417.lnk"
  Delete "$SMPROGRAMS\VM4417\Odinstalovat VM4417.lnk"
  RMDir "$SMPROGRAMS\VM4417"
  Delete "$INSTDIR\vm4417.exe"
  Delete "$INSTDIR\CTIMNE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${RUN_KEY}" "VM4417"
  DeleteRegValue HKCU "${APPROVED_KEY}" "VM4417"
SectionEnd
