; The Windows installer: a per-user install without administrator rights into
; %LOCALAPPDATA%\Programs\flasher, a Start-menu entry and an uninstaller. The settings file
; Mirvolen.ini lives beside the program there (the folder is the user's own): the installer ships
; none, so an update never overwrites it, and the uninstaller removes only the files it installed.
; makensis -DVERSION=0.1 -DOUTFILE=setup.exe -DICON=flasher.ico -DINSTALL_FILES=install.nsh
;          -DUNINSTALL_FILES=uninstall.nsh flasher.nsi
; (scripts/package-windows writes both file lists from the package's folder).
; A 64-bit installer for the 64-bit programs (and wine64 runs it in the tests).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

Name "flasher ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\flasher"
InstallDirRegKey HKCU "Software\flasher" "InstallDir"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\flasher"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\flasher.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "flasher"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка flasher"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© 2026 The flasher developers"

Section "flasher"
  SetShellVarContext current
  ; The files of this version; a running program would keep its files locked.
  !include "${INSTALL_FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\flasher"
  CreateShortCut "$SMPROGRAMS\flasher\flasher.lnk" "$INSTDIR\flasher.exe" "" "$INSTDIR\flasher.exe" 0
  CreateShortCut "$SMPROGRAMS\flasher\Удалить flasher.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "Software\flasher" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "flasher"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\flasher.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Only what the installer put there: Mirvolen.ini (the settings) stays, and with it the folder.
  !include "${UNINSTALL_FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\flasher\flasher.lnk"
  Delete "$SMPROGRAMS\flasher\Удалить flasher.lnk"
  RMDir "$SMPROGRAMS\flasher"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\flasher"
SectionEnd
