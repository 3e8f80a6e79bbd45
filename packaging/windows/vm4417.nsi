; Installer of vm4417.exe for one user: no administrator rights needed.
; makensis -DVERSION=x.y -DEXE=path\vm4417.exe -DREADME=path\CTIMNE.txt
;          -DOUTFILE=path\setup.exe vm4417.nsi
; A 64-bit installer for a 64-bit program (and Wine without its 32-bit half).
Target amd64-unicode

Name "VM4417 ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\VM4417"
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VM4417"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

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
SectionEnd
