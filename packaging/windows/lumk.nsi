; The Windows setup program: every program with its DLLs under Program Files,
; for all users; Start-menu shortcuts; an uninstaller registered with Windows.
; Built by scripts/windows-package, which stages the files and defines:
;   VERSION, STAGE (the staged folder), OUTFILE, ICON, LICENSE_FILE,
;   FILES_NSH / UNFILES_NSH (install and removal lists of the staged files).
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define APP_NAME "ЛУМ-К конфигуратор"
!define APP_KEY "lumk-configurator"
!define PUBLISHER "LUM-K configurator maintainers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP_KEY}"

Name "${APP_NAME} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\${APP_NAME}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${APP_NAME}: установка"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT License; Qt: GNU LGPL v3"

LicenseData "${LICENSE_FILE}"
Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  !include "${FILES_NSH}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${APP_NAME}"
  CreateShortcut "$SMPROGRAMS\${APP_NAME}\ЛУМ-К конфигуратор.lnk" "$INSTDIR\lumk-config.exe" "" "$INSTDIR\lumk-config.ico"
  CreateShortcut "$SMPROGRAMS\${APP_NAME}\ЛУМ-К конфигуратор (демонстрация).lnk" "$INSTDIR\lumk-demo.exe" "" "$INSTDIR\lumk-config.ico"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumk-config.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what was installed is removed: a folder the operator chose that holds
; other files keeps them.
Section "Uninstall"
  Delete "$SMPROGRAMS\${APP_NAME}\ЛУМ-К конфигуратор.lnk"
  Delete "$SMPROGRAMS\${APP_NAME}\ЛУМ-К конфигуратор (демонстрация).lnk"
  RMDir "$SMPROGRAMS\${APP_NAME}"
  !include "${UNFILES_NSH}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
