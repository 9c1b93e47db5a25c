; The Windows installer: per user, no administrator rights. makensis is given
;   -DVERSION=1.0.0 -DSTAGE=<folder with the files to install> -DOUTFILE=<setup.exe>
; (scripts/windows.sh package). The program goes to %LOCALAPPDATA%\Programs\Tavlo; the game
; makes its own folder, %LOCALAPPDATA%\Tavlo (the archive, a best score of zero where there is
; none), when it first starts, however it is started.
; The uninstaller removes everything the installer put anywhere, and leaves the best score and
; the settings (%APPDATA%\Tavlo) unless the player asks (or /REMOVEDATA is given).
; A 64-bit installer for a 64-bit program (and Wine without 32-bit support runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh

!define NAME "Tavlo"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlo"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tavlo"
InstallDirRegKey HKCU "Software\Tavlo" "InstallDir"
BrandingText "${NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${NAME} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "Tavlo developers"

!define MUI_ICON "${STAGE}\tavlo.ico"
!define MUI_UNICON "${STAGE}\tavlo.ico"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunGame
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function RunGame
    Exec '"$INSTDIR\tavlo.exe"'
FunctionEnd

Section "Tavlo"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${STAGE}\tavlo.exe"
    File "${STAGE}\SDL2.dll"
    File "${STAGE}\tavlo.rka"
    File "${STAGE}\tavlo.ico"
    File "${STAGE}\README.txt"
    File "${STAGE}\COPYING.txt"
    ; A Japanese face for systems without one (IPAGothic, under the IPA Font License).
    SetOutPath "$INSTDIR\fonts"
    File "${STAGE}\fonts\ipag.ttf"
    File "${STAGE}\fonts\ipag-license.txt"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Tavlo.lnk" "$INSTDIR\tavlo.exe" "" \
        "$INSTDIR\tavlo.ico" 0 SW_SHOWNORMAL "" "A small reaction game"

    WriteRegStr HKCU "Software\Tavlo" "InstallDir" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tavlo developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavlo.ico"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\Tavlo.lnk"
    Delete "$INSTDIR\tavlo.exe"
    Delete "$INSTDIR\SDL2.dll"
    Delete "$INSTDIR\tavlo.rka"
    Delete "$INSTDIR\tavlo.ico"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\COPYING.txt"
    Delete "$INSTDIR\fonts\ipag.ttf"
    Delete "$INSTDIR\fonts\ipag-license.txt"
    RMDir "$INSTDIR\fonts"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$LOCALAPPDATA\Tavlo\tavlo.rka"
    ; The game's scratch picture: the game's, not the player's.
    Delete "$LOCALAPPDATA\Tavlo\tmp.bmp"
    ; The data folder's lock file (empty; the game's lock lives in the handle, not the file).
    Delete "$LOCALAPPDATA\Tavlo\tavlo.lock"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\Tavlo"

    ; The player's best score and settings stay unless asked for (screenshots always stay).
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVEDATA" $1
    ${If} ${Errors}
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
            "Also remove your best score and settings?" /SD IDNO IDYES remove IDNO keep
    ${EndIf}
    remove:
    Delete "$LOCALAPPDATA\Tavlo\score.dat"
    Delete "$APPDATA\Tavlo\settings.conf"
    Delete "$APPDATA\Tavlo\settings.conf.new"
    RMDir "$APPDATA\Tavlo"
    keep:
    ; Removed only when nothing of the player's is left in it.
    RMDir "$LOCALAPPDATA\Tavlo"
SectionEnd
