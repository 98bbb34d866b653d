; The Windows installer of Veltrona iOS (makensis; scripts/package passes
; VERSION, STAGE: the zip's folder, and OUTFILE). 64-bit, for Program Files.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include nsDialogs.nsh

!define NAME "Veltrona iOS"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1034 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1034 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1034 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1034 "FileDescription" "Instalador de ${NAME}"
VIAddVersionKey /LANG=1034 "LegalCopyright" "Apache License 2.0"

!define MUI_ICON "${__FILEDIR__}\..\icons\veltrona.ico"
!define MUI_UNICON "${__FILEDIR__}\..\icons\veltrona.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
Page custom LibusbPage
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

; The files of the zip, and the lines that remove them again, listed by
; scripts/package from the same folder.
!include "${STAGE}.files.nsh"

Section "${NAME}"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\veltrona.exe" "--any" \
    "$INSTDIR\veltrona.exe" 0 SW_SHOWNORMAL "" "Muestra el iPhone o iPad conectado por USB"

  ; "Apps and features".
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Veltrona"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\veltrona.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${STAGE_KIB}
SectionEnd

; Said only when the program would not find libusb-win32's DLL: neither beside
; it nor in the system folder (a 64-bit installer sees the real System32).
Function LibusbPage
  IfFileExists "$INSTDIR\libusb0.dll" 0 +2
    Abort
  IfFileExists "$SYSDIR\libusb0.dll" 0 +2
    Abort
  !insertmacro MUI_HEADER_TEXT "Falta libusb-win32" "Sin ella el programa no ve el iPhone ni el iPad."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 100% "Veltrona iOS habla con el dispositivo mediante libusb-win32, que no \
se instala con el programa:$\r$\n$\r$\n\
1. Descargue libusb-win32 (1.2.6 o posterior) de la página de su proyecto.$\r$\n\
2. Copie su bin\amd64\libusb0.dll en $INSTDIR (o instálela en la carpeta del sistema).$\r$\n\
3. Asocie su controlador al dispositivo (fabricante 0x05AC y su producto; veltrona.exe --list lo \
muestra) con install-filter-win.exe o con un INF hecho con inf-wizard.exe.$\r$\n$\r$\n\
README.txt, en la carpeta del programa, lo explica en detalle."
  Pop $0
  nsDialogs::Show
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${NAME}.lnk"
  !insertmacro RemoveStagedFiles
  ; What the user added for the program: libusb-win32's DLL and the name tool.
  Delete "$INSTDIR\libusb0.dll"
  RMDir /r "$INSTDIR\Frameworks"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
