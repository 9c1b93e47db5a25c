; The Windows installer: per user, no administrator rights. makensis is given
;   -DVERSION=1.0.0 -DSTAGE=<folder with the files to install> -DOUTFILE=<setup.exe>
; (scripts/windows.sh package). The program goes to %LOCALAPPDATA%\Programs\Tavlo; the game
; makes its own folder, %LOCALAPPDATA%\Tavlo (the archive, a best score of zero where there is
; none), when it first starts, however it is started.
; The uninstaller removes everything the installer and the game put in the program's folder, and
; leaves the best score and the settings (%APPDATA%\Tavlo) unless the player asks (or /REMOVEDATA
; is given). Neither runs while the game does (the game holds the mutex Local\Tavlo.Running).
; No directory page: the per-user folder is one the user can write without elevation.
;   -DSIGN=<scripts/sign-windows.sh>: signs the installer and its uninstaller (when a key is given)
; The installer speaks English, Japanese, German, French, Spanish or Simplified Chinese: a first
; dialog offers the system's UI language (English for any other), and the uninstaller speaks the
; one chosen (remembered in HKCU\Software\Tavlo). Our own texts are in languages.nsh.
; A 64-bit installer for a 64-bit program (and Wine without 32-bit support runs it); Unicode,
; so that every language's texts show whatever the system's code page.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh

!define NAME "Tavlo"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlo"
!define HOMEPAGE "https://tavlo.org/"

!ifdef SIGN
!uninstfinalize '"${SIGN}" "%1"'
!finalize '"${SIGN}" "%1"'
!endif

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tavlo"
InstallDirRegKey HKCU "Software\Tavlo" "InstallDir"
BrandingText "${NAME} ${VERSION}"

; The version information's texts, one set a language, are in languages.nsh.
VIProductVersion "${VERSION}.0"

; The language dialog offers every language (a Unicode installer shows each whatever the code
; page), not again once one was chosen (a reinstall keeps it).
!define MUI_LANGDLL_ALLLANGUAGES
!define MUI_LANGDLL_REGISTRY_ROOT HKCU
!define MUI_LANGDLL_REGISTRY_KEY "Software\Tavlo"
!define MUI_LANGDLL_REGISTRY_VALUENAME "Installer Language"
!define MUI_LANGDLL_WINDOWTITLE "$(LANGDLL_TITLE)"
!define MUI_LANGDLL_INFO "$(LANGDLL_INFO)"
!define MUI_ICON "${STAGE}\tavlo.ico"
!define MUI_UNICON "${STAGE}\tavlo.ico"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunGame
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first is the language of a system whose language is none of these.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "SimpChinese"
!include /CHARSET=UTF8 "languages.nsh"
!insertmacro MUI_RESERVEFILE_LANGDLL

; Refuses (with a message; cancelled at once when silent) while the game runs: its files are in
; use, and its score would be saved into a folder being removed.
!macro RefuseWhileTheGameRuns un
Function ${un}RefuseWhileTheGameRuns
    retry:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Local\Tavlo.Running") p .r0'
    ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "$(GAME_RUNNING)" /SD IDCANCEL IDRETRY retry
        SetErrorLevel 3
        Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro RefuseWhileTheGameRuns ""
!insertmacro RefuseWhileTheGameRuns "un."

Function .onInit
    Call RefuseWhileTheGameRuns
    !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Function un.onInit
    !insertmacro MUI_UNGETLANGUAGE
    Call un.RefuseWhileTheGameRuns
FunctionEnd

; The port's texts in each language, beside the program (base/catalog.h), and the README in it:
; one line for each of po/LINGUAS (installer_test.sh checks that each is installed and removed).
!macro Catalogue language
    SetOutPath "$INSTDIR"
    File "${STAGE}\README.${language}.txt"
    SetOutPath "$INSTDIR\locale\${language}\LC_MESSAGES"
    File "${STAGE}\locale\${language}\LC_MESSAGES\tavlo.mo"
!macroend
!macro RemoveCatalogue language
    Delete "$INSTDIR\README.${language}.txt"
    Delete "$INSTDIR\locale\${language}\LC_MESSAGES\tavlo.mo"
    RMDir "$INSTDIR\locale\${language}\LC_MESSAGES"
    RMDir "$INSTDIR\locale\${language}"
!macroend

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
    !insertmacro Catalogue ja
    !insertmacro Catalogue de
    !insertmacro Catalogue fr
    !insertmacro Catalogue es
    !insertmacro Catalogue zh_CN
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Tavlo.lnk" "$INSTDIR\tavlo.exe" "" \
        "$INSTDIR\tavlo.ico" 0 SW_SHOWNORMAL "" "$(SHORTCUT_DESCRIPTION)"

    WriteRegStr HKCU "Software\Tavlo" "InstallDir" "$INSTDIR"
    ; The language the uninstaller speaks (a silent install too, which shows no pages).
    WriteRegStr HKCU "${MUI_LANGDLL_REGISTRY_KEY}" "${MUI_LANGDLL_REGISTRY_VALUENAME}" $LANGUAGE
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tavlo developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavlo.ico"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "HelpLink" "${HOMEPAGE}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${HOMEPAGE}"
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
    !insertmacro RemoveCatalogue ja
    !insertmacro RemoveCatalogue de
    !insertmacro RemoveCatalogue fr
    !insertmacro RemoveCatalogue es
    !insertmacro RemoveCatalogue zh_CN
    RMDir "$INSTDIR\locale"
    ; What the game may leave in a folder it played in (a portable copy's folder, a --data-dir):
    ; its lock file, its scratch picture, temporary names of a save cut short.
    Delete "$INSTDIR\tavlo.lock"
    Delete "$INSTDIR\tmp.bmp"
    Delete "$INSTDIR\score.dat.tmp"
    Delete "$INSTDIR\.score.dat.*"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$LOCALAPPDATA\Tavlo\tavlo.rka"
    ; Left by a start cut short while it put the archive in place.
    Delete "$LOCALAPPDATA\Tavlo\tavlo.rka.*"
    ; The game's scratch picture: the game's, not the player's.
    Delete "$LOCALAPPDATA\Tavlo\tmp.bmp"
    ; The data folder's lock file (gone with the game, unless a crash left it).
    Delete "$LOCALAPPDATA\Tavlo\tavlo.lock"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\Tavlo"

    ; The player's best score and settings stay unless asked for (screenshots always stay).
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVEDATA" $1
    ${If} ${Errors}
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
            "$(REMOVE_DATA)" /SD IDNO IDYES remove IDNO keep
    ${EndIf}
    remove:
    Delete "$LOCALAPPDATA\Tavlo\score.dat"
    Delete "$LOCALAPPDATA\Tavlo\score.dat.tmp"
    Delete "$LOCALAPPDATA\Tavlo\.score.dat.*"
    Delete "$APPDATA\Tavlo\settings.conf"
    Delete "$APPDATA\Tavlo\settings.conf.new"
    Delete "$APPDATA\Tavlo\.settings.conf.*"
    RMDir "$APPDATA\Tavlo"
    keep:
    ; Removed only when nothing of the player's is left in it.
    RMDir "$LOCALAPPDATA\Tavlo"
SectionEnd
