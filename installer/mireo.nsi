; The Windows installer of Mireo, built on Linux with NSIS (makensis):
;   makensis -DBIN_DIR=<folder of Mireo.dll> -DVERSION=1.0.0 -DOUT_FILE=<setup.exe> mireo.nsi
; It puts the add-in into Program Files, registers its COM server and enters it in the
; host's list of add-ins for the user who installs it; the uninstaller takes all of
; that away again. The key of the add-in list is named by the server's
; version-independent ProgID (installer/check_script.py holds this file to it).
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef BIN_DIR
  !error "BIN_DIR: the folder of Mireo.dll, LibKelvo.dll, supportedEncodings.txt and help\"
!endif
!ifndef VERSION
  !define VERSION "1.0.0"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "Mireo-Setup-${VERSION}.exe"
!endif

!define PRODUCT "Mireo"
!define MAKER "Kelvo"
!define PROG_ID "Mireo.Connect"
!define ADDIN_KEY "Software\Microsoft\Office\Outlook\Addins\${PROG_ID}"
!define FRIENDLY_NAME "Mireo"
!define DESCRIPTION "Import and export of contacts (vCard) and calendar events (vCalendar, iCalendar)"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\${MAKER}\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${MAKER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${MAKER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Mireo"
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}\Mireo.dll"
  File "${BIN_DIR}\LibKelvo.dll"
  File "${BIN_DIR}\supportedEncodings.txt"
  SetOutPath "$INSTDIR\help"
  File "${BIN_DIR}\help\*.htm"
  SetOutPath "$INSTDIR"

  ; The COM server: Mireo.dll writes its own keys (DllRegisterServer).
  ClearErrors
  RegDLL "$INSTDIR\Mireo.dll"
  IfErrors 0 +2
    MessageBox MB_OK|MB_ICONEXCLAMATION "Mireo.dll could not be registered."

  ; The host's list of add-ins, for this user: loaded at start-up (3).
  WriteRegDWORD HKCU "${ADDIN_KEY}" "LoadBehavior" 3
  WriteRegStr HKCU "${ADDIN_KEY}" "FriendlyName" "${FRIENDLY_NAME}"
  WriteRegStr HKCU "${ADDIN_KEY}" "Description" "${DESCRIPTION}"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Out of the host's list first, so that a running host does not load it again.
  DeleteRegKey HKCU "${ADDIN_KEY}"
  UnRegDLL "$INSTDIR\Mireo.dll"

  Delete "$INSTDIR\Mireo.dll"
  Delete "$INSTDIR\LibKelvo.dll"
  Delete "$INSTDIR\supportedEncodings.txt"
  Delete "$INSTDIR\help\*.htm"
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES\${MAKER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
