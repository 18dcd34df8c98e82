; The program's installer and uninstaller: Russian, per user, without administrator rights.
; scripts/package builds it:
;   makensis /INPUTCHARSET UTF8 /DVS_PRODUCT_NSH=<build>/product/product.nsh
;            /DVS_STAGE=<folder with the exe and icon> /DVS_OUTFILE=<setup.exe>
;            [/DVS_SIGN_UNINSTALLER=<command that signs the file %1 in place>] installer.nsi
;
; The program keeps its login (Registration.ini) in its current folder. The Start-menu
; shortcut starts it in a data folder of the user's own (%APPDATA%\<name>), which stays
; writable wherever the program is installed and which upgrades and uninstalls leave alone,
; unless the user asks the uninstaller to remove the login.

; 64-bit, as the program: it installs and runs where the program can.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include /CHARSET=UTF8 "${VS_PRODUCT_NSH}"
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${VS_PRODUCT_NAME}"
!define DATA_DIR "$APPDATA\${VS_PRODUCT_NAME}"
!define SHORTCUT "$SMPROGRAMS\${VS_PRODUCT_NAME}.lnk"
!define LOGIN_FILE "Registration.ini"
; The named mutex a running copy of the program holds (app/single_instance.cpp).
!define RUNNING_MUTEX "Local\VideoSearchZQ.Running"

Name "${VS_PRODUCT_NAME} ${VS_VERSION}"
OutFile "${VS_OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${VS_PRODUCT_NAME}"
; An upgrade goes where the installed version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${VS_PRODUCT_NAME} ${VS_VERSION}"
!ifdef VS_SIGN_UNINSTALLER
  !uninstfinalize '${VS_SIGN_UNINSTALLER} "%1"'
!endif

!define MUI_ICON "${VS_STAGE}/icon.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "Программа, её ярлык и запись в списке программ будут удалены. \
Сохранённые логин и пароль останутся для следующей установки, если не отметить пункт ниже."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"

; The setup program's own version resource.
VIProductVersion "${VS_VERSION_DOTS}"
VIFileVersion "${VS_VERSION_DOTS}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${VS_PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка ${VS_PRODUCT_NAME} (${VS_PRODUCT_DESCRIPTION_RU})"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${VS_PUBLISHER_RU}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "${VS_COPYRIGHT_RU}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VS_VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VS_VERSION}"

; A running copy keeps its exe open: files could not be replaced or removed. The user closes
; it and retries; a silent run gives up with exit code 2.
!macro REFUSE_WHILE_RUNNING
  retry:
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Программа ${VS_PRODUCT_NAME} запущена. Закройте её и нажмите «Повтор»." \
      /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Function un.onInit
  !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${VS_STAGE}/${VS_EXE_NAME}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut's working folder is the folder current at its creation.
  SetOutPath "${DATA_DIR}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${VS_EXE_NAME}" "" "$INSTDIR\${VS_EXE_NAME}" 0 \
    SW_SHOWNORMAL "" "${VS_PRODUCT_DESCRIPTION_RU}"

  ; Apps & Features
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${VS_PRODUCT_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VS_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${VS_PUBLISHER_RU}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${VS_EXE_NAME},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; As the shortcut would: in the data folder.
Function RunProgram
  SetOutPath "${DATA_DIR}"
  Exec '"$INSTDIR\${VS_EXE_NAME}"'
FunctionEnd

Section "-un.Program"
  Delete "$INSTDIR\${VS_EXE_NAME}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Only when empty: a kept login keeps its folder.
  RMDir "${DATA_DIR}"
SectionEnd

; Off unless ticked, and so off in a silent uninstall.
Section /o "un.Удалить сохранённый логин и пароль"
  Delete "${DATA_DIR}\${LOGIN_FILE}"
  RMDir "${DATA_DIR}"
SectionEnd
