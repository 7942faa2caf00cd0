; The Windows setup program: every program with its DLLs under Program Files,
; for all users; Start-menu shortcuts; the .lmk file type; an uninstaller
; registered with Windows. Its pages are Russian (English on a Windows whose
; interface language is English).
; Built by scripts/windows-package, which stages the files and defines:
;   VERSION, STAGE (the staged folder), OUTFILE, ICON, LICENSE_FILE,
;   FILES_NSH / UNFILES_NSH (install and removal lists of the staged files),
;   and GUIDE_FILE when the operator's guide is staged (see below).
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define APP_NAME "ЛУМ-К конфигуратор"
!define APP_KEY "lumk-configurator"
!define PUBLISHER "Проект «ЛУМ-К конфигуратор»"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP_KEY}"
; The configuration file type, for all users.
!define FILE_EXT ".lmk"
!define PROGID "LUMK.Configuration"
!define PROGID_KEY "Software\Classes\${PROGID}"
!define EXT_KEY "Software\Classes\${FILE_EXT}"
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${APP_NAME} ${VERSION}"
BrandingText "${APP_NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP_NAME}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${APP_NAME}: установка"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT License; Qt: GNU LGPL v3"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunProgramText)"
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

; The first language is the one used unless Windows' interface is English.
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString RunProgramText ${LANG_RUSSIAN} "Запустить ${APP_NAME}"
LangString RunProgramText ${LANG_ENGLISH} "Run ${APP_NAME}"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; From its own folder, as the Start-menu shortcut starts it.
Function RunProgram
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\lumk-config.exe"'
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  !include "${FILES_NSH}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcuts start the programs in their folder.
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\${APP_NAME}"
  CreateShortcut "$SMPROGRAMS\${APP_NAME}\ЛУМ-К конфигуратор.lnk" "$INSTDIR\lumk-config.exe" "" "$INSTDIR\lumk-config.ico"
  CreateShortcut "$SMPROGRAMS\${APP_NAME}\ЛУМ-К конфигуратор (демонстрация).lnk" "$INSTDIR\lumk-demo.exe" "" "$INSTDIR\lumk-config.ico"

  ; ---- Operator's guide (reserved) ----
  ; When scripts/windows-package stages the guide (as docs\ in the staged
  ; folder), FILES_NSH and UNFILES_NSH install and remove it with every other
  ; file; GUIDE_FILE names its start page under $INSTDIR for the shortcut.
  !ifdef GUIDE_FILE
    CreateShortcut "$SMPROGRAMS\${APP_NAME}\Руководство оператора.lnk" "$INSTDIR\${GUIDE_FILE}"
  !endif
  ; ---- end of the operator's guide ----

  ; .lmk files open in the window, as `lumk-config FILE`. The extension's
  ; default is taken only when no other program's type holds it; our type is
  ; offered in "Open with" in any case.
  WriteRegStr HKLM "${PROGID_KEY}" "" "Конфигурация ЛУМ-К"
  WriteRegStr HKLM "${PROGID_KEY}\DefaultIcon" "" '"$INSTDIR\lumk-config.exe",0'
  WriteRegStr HKLM "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\lumk-config.exe" "%1"'
  ReadRegStr $0 HKLM "${EXT_KEY}" ""
  ${If} $0 != ""
  ${AndIf} $0 != "${PROGID}"
    ClearErrors
    EnumRegKey $1 HKLM "Software\Classes\$0" 0
    ${If} ${Errors}
      StrCpy $0 "" ; a type no longer there holds nothing
    ${EndIf}
  ${EndIf}
  ${If} $0 == ""
    WriteRegStr HKLM "${EXT_KEY}" "" "${PROGID}"
  ${EndIf}
  WriteRegStr HKLM "${EXT_KEY}\OpenWithProgids" "${PROGID}" ""
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'

  ; Apps and Features: the size of what was installed, in KB.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumk-config.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes KEY when nothing is left in it: no subkey, no value, and no default
; (the default value's name is empty, as is the end of the list).
!macro DeleteKeyIfEmpty KEY
  ReadRegStr $1 HKLM "${KEY}" ""
  EnumRegValue $2 HKLM "${KEY}" 0
  EnumRegValue $3 HKLM "${KEY}" 1
  EnumRegKey $4 HKLM "${KEY}" 0
  ${If} "$1$2$3$4" == ""
    DeleteRegKey HKLM "${KEY}"
  ${EndIf}
!macroend

; Only what was installed is removed: a folder the operator chose that holds
; other files keeps them, and the .lmk extension keeps what other programs
; registered for it.
Section "Uninstall"
  Delete "$SMPROGRAMS\${APP_NAME}\ЛУМ-К конфигуратор.lnk"
  Delete "$SMPROGRAMS\${APP_NAME}\ЛУМ-К конфигуратор (демонстрация).lnk"
  !ifdef GUIDE_FILE
    Delete "$SMPROGRAMS\${APP_NAME}\Руководство оператора.lnk"
  !endif
  RMDir "$SMPROGRAMS\${APP_NAME}"
  !include "${UNFILES_NSH}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${PROGID_KEY}"
  DeleteRegValue HKLM "${EXT_KEY}\OpenWithProgids" "${PROGID}"
  !insertmacro DeleteKeyIfEmpty "${EXT_KEY}\OpenWithProgids"
  ReadRegStr $0 HKLM "${EXT_KEY}" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKLM "${EXT_KEY}" ""
  ${EndIf}
  !insertmacro DeleteKeyIfEmpty "${EXT_KEY}"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
