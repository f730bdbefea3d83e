; The Windows installer of Kistora, built with NSIS 3 (Debian's makensis):
;
;   makensis -V2 -DVERSION=1.0 -DSTAGE=<folder> -DOUTFILE=<path>/Kistora-1.0-setup.exe \
;     packaging/windows/kistora.nsi
;
; STAGE holds kistora.exe, Kistora.data, Kistora.maps, Kistora.languages,
; LiberationSans-Bold.ttf, LICENSE-LiberationSans.txt, README.txt and kistora.ico (the icon of
; the installer and the uninstaller; kistora.exe carries the same icon for the shortcut).
;
; By default it installs for the current user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Kistora. The install mode page, or /AllUsers on the command line,
; installs for every user into Program Files instead; then the installer starts itself again
; with administrator rights (a UAC prompt) when it does not have them. /CurrentUser chooses the
; default mode, /S installs silently, /D=FOLDER (last) chooses the folder.
;
; The uninstaller removes the files it installed, the Start menu shortcut and the uninstall
; entry. It never touches the player's folder, %APPDATA%\brindlewood game studio\Kistora.

!ifndef VERSION | STAGE | OUTFILE
  !error "Call with -DVERSION=1.0 -DSTAGE=<folder> -DOUTFILE=<setup.exe>"
!endif

Unicode true
Target amd64-unicode ; the game is 64-bit only, and a 64-bit installer sees the 64-bit system
ManifestDPIAware true
ManifestSupportedOS all
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define PRODUCT "Kistora"
!define PUBLISHER "brindlewood game studio"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kistora"
!define UNINSTALLER "uninstall.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION} - ${PUBLISHER}"
ShowInstDetails show
ShowUninstDetails show

; Version resource: four numbers, from up to three in VERSION.
!searchparse /noerrors "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "." VERSION_PATCH
!define /ifndef VERSION_MINOR 0
!define /ifndef VERSION_PATCH 0
VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.0"
VIFileVersion "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

; ---------------------------------------------------------------------------------------------
; Install mode: "CurrentUser" or "AllUsers"
; ---------------------------------------------------------------------------------------------

Var Mode
Var IsAdmin       ; 1 when the process has administrator rights
Var Elevated      ; 1 in the copy the installer started with administrator rights
Var FolderGiven   ; 1 when /D= chose the folder
Var ModeRadioAll
Var ModeRadioUser

; Sets the error flag when SWITCH is not among PARAMETERS (case does not matter).
!macro HasSwitch PARAMETERS SWITCH
  ClearErrors
  ${GetOptions} "${PARAMETERS}" "${SWITCH}" $R9
!macroend

!macro ModeFunctions UN
  Function ${UN}CheckAdmin
    StrCpy $IsAdmin 0
    UserInfo::GetAccountType
    Pop $R0
    ${If} $R0 == "Admin"
      StrCpy $IsAdmin 1
    ${EndIf}
  FunctionEnd

  Function ${UN}SetModeCurrentUser
    StrCpy $Mode CurrentUser
    SetShellVarContext current
    !if "${UN}" == ""
      ${If} $FolderGiven != 1
        ReadRegStr $INSTDIR HKCU "${UNINSTALL_KEY}" "InstallLocation"
        ${If} $INSTDIR == ""
          GetKnownFolderPath $INSTDIR {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB} ; UserProgramFiles
          ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
          ${EndIf}
          StrCpy $INSTDIR "$INSTDIR\${PRODUCT}"
        ${EndIf}
      ${EndIf}
    !endif
  FunctionEnd

  Function ${UN}SetModeAllUsers
    StrCpy $Mode AllUsers
    SetShellVarContext all
    !if "${UN}" == ""
      ${If} $FolderGiven != 1
        ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
        ${If} $INSTDIR == ""
          StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
        ${EndIf}
      ${EndIf}
    !endif
  FunctionEnd

  ; Starts this program again with administrator rights (UAC's "runas") and the parameters in
  ; $R0, and waits for it. Returns its exit code in $R1, or "" when it did not start (the user
  ; said no, or the system cannot elevate).
  Function ${UN}RunElevated
    StrCpy $R1 ""
    ; SHELLEXECUTEINFOW, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC, laid out for 64 bits: the
    ; padding after nShow and dwHotKey keeps the handles that follow on 8-byte boundaries.
    System::Call '*(&l4, i 0x140, p $HWNDPARENT, w "runas", w "$EXEPATH", w R0, p 0, i 1, i 0, \
      p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .R2'
    System::Call 'shell32::ShellExecuteExW(p R2) i .R3'
    ${If} $R3 <> 0
      System::Call '*$R2(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .R4)'
      System::Call 'kernel32::WaitForSingleObject(p R4, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p R4, *i .R1)'
      System::Call 'kernel32::CloseHandle(p R4)'
    ${EndIf}
    System::Free $R2
  FunctionEnd
!macroend
!insertmacro ModeFunctions ""
!insertmacro ModeFunctions "un."

; In the installer: for all users without administrator rights, hand over to an elevated copy
; (same folder, silent when this one is) and end with its exit code.
Function HandOverElevated
  StrCpy $R0 "/AllUsers /Elevated"
  ${If} ${Silent}
    StrCpy $R0 "$R0 /S"
  ${EndIf}
  StrCpy $R0 "$R0 /D=$INSTDIR"
  Call RunElevated
  ${If} $R1 == ""
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    ${IfNot} ${Silent}
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(NeedAdminInstall)"
    ${EndIf}
    Return
  ${EndIf}
  SetErrorLevel $R1
  Quit
FunctionEnd

; ---------------------------------------------------------------------------------------------
; Pages
; ---------------------------------------------------------------------------------------------

!define MUI_ICON "${STAGE}\kistora.ico"
!define MUI_UNICON "${STAGE}\kistora.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipInElevatedCopy
!insertmacro MUI_PAGE_WELCOME
Page custom ModePageShow ModePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_SHOW NoBackInElevatedCopy
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartGameText)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartGame
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(ShowReadmeText)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The game's five languages; the installer takes the one of Windows' display language (else
; English, the first).
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "Italian"

!macro Texts LANG WELCOME MODE_TITLE MODE_SUBTITLE MODE_TEXT MODE_ME MODE_ALL ADMIN_INSTALL \
  ADMIN_UNINSTALL START README
  LangString WelcomeText ${LANG_${LANG}} "${WELCOME}$\r$\n$\r$\n$_CLICK"
  LangString ModeTitle ${LANG_${LANG}} "${MODE_TITLE}"
  LangString ModeSubtitle ${LANG_${LANG}} "${MODE_SUBTITLE}"
  LangString ModeText ${LANG_${LANG}} "${MODE_TEXT}"
  LangString ModeMe ${LANG_${LANG}} "${MODE_ME}"
  LangString ModeAll ${LANG_${LANG}} "${MODE_ALL}"
  LangString NeedAdminInstall ${LANG_${LANG}} "${ADMIN_INSTALL}"
  LangString NeedAdminUninstall ${LANG_${LANG}} "${ADMIN_UNINSTALL}"
  LangString StartGameText ${LANG_${LANG}} "${START}"
  LangString ShowReadmeText ${LANG_${LANG}} "${README}"
!macroend

!insertmacro Texts ENGLISH \
  "This installs ${PRODUCT} ${VERSION}, a box-pushing puzzle game by ${PUBLISHER}.$\r$\n$\r$\nInstalled for you alone it needs no administrator rights." \
  "Choose Users" "Choose for whom to install ${PRODUCT}." \
  "Install ${PRODUCT} for you alone, or for everyone who uses this computer. Every player keeps their own settings and progress either way." \
  "Only for &me (no administrator rights needed)" \
  "For &all users of this computer (needs administrator rights)" \
  "Installing ${PRODUCT} for all users needs administrator rights." \
  "Uninstalling ${PRODUCT} for all users needs administrator rights." \
  "Start ${PRODUCT}" "Show the README"
!insertmacro Texts GERMAN \
  "Dieses Programm installiert ${PRODUCT} ${VERSION}, ein Kistenschiebe-Rätselspiel von ${PUBLISHER}.$\r$\n$\r$\nNur für Sie installiert, braucht es keine Administratorrechte." \
  "Benutzer wählen" "Wählen Sie, für wen ${PRODUCT} installiert wird." \
  "Installieren Sie ${PRODUCT} nur für sich oder für alle, die diesen Computer benutzen. Jeder Spieler behält in beiden Fällen seine eigenen Einstellungen und Fortschritte." \
  "Nur für &mich (keine Administratorrechte nötig)" \
  "Für &alle Benutzer dieses Computers (braucht Administratorrechte)" \
  "Die Installation von ${PRODUCT} für alle Benutzer braucht Administratorrechte." \
  "Die Deinstallation von ${PRODUCT} für alle Benutzer braucht Administratorrechte." \
  "${PRODUCT} starten" "README anzeigen"
!insertmacro Texts FRENCH \
  "Ce programme installe ${PRODUCT} ${VERSION}, un jeu de réflexion où l'on pousse des caisses, par ${PUBLISHER}.$\r$\n$\r$\nInstallé pour vous seul, il ne demande aucun droit d'administrateur." \
  "Choix des utilisateurs" "Choisissez pour qui installer ${PRODUCT}." \
  "Installez ${PRODUCT} pour vous seul, ou pour toutes les personnes qui utilisent cet ordinateur. Dans les deux cas, chaque joueur garde ses propres réglages et sa progression." \
  "Pour &moi seulement (aucun droit d'administrateur nécessaire)" \
  "Pour &tous les utilisateurs de cet ordinateur (droits d'administrateur nécessaires)" \
  "Installer ${PRODUCT} pour tous les utilisateurs demande des droits d'administrateur." \
  "Désinstaller ${PRODUCT} pour tous les utilisateurs demande des droits d'administrateur." \
  "Lancer ${PRODUCT}" "Afficher le README"
!insertmacro Texts SPANISH \
  "Este programa instala ${PRODUCT} ${VERSION}, un juego de ingenio de empujar cajas de ${PUBLISHER}.$\r$\n$\r$\nInstalado solo para usted, no necesita derechos de administrador." \
  "Elegir usuarios" "Elija para quién instalar ${PRODUCT}." \
  "Instale ${PRODUCT} solo para usted o para todas las personas que usan este equipo. En ambos casos, cada jugador conserva sus propios ajustes y su progreso." \
  "Solo para &mí (no necesita derechos de administrador)" \
  "Para &todos los usuarios de este equipo (necesita derechos de administrador)" \
  "Instalar ${PRODUCT} para todos los usuarios necesita derechos de administrador." \
  "Desinstalar ${PRODUCT} para todos los usuarios necesita derechos de administrador." \
  "Iniciar ${PRODUCT}" "Mostrar el README"
!insertmacro Texts ITALIAN \
  "Questo programma installa ${PRODUCT} ${VERSION}, un rompicapo in cui si spingono casse, di ${PUBLISHER}.$\r$\n$\r$\nInstallato solo per te, non richiede diritti di amministratore." \
  "Scelta degli utenti" "Scegli per chi installare ${PRODUCT}." \
  "Installa ${PRODUCT} solo per te o per tutti coloro che usano questo computer. In entrambi i casi ogni giocatore conserva le proprie impostazioni e i propri progressi." \
  "Solo per &me (non servono diritti di amministratore)" \
  "Per &tutti gli utenti di questo computer (servono diritti di amministratore)" \
  "Installare ${PRODUCT} per tutti gli utenti richiede diritti di amministratore." \
  "Disinstallare ${PRODUCT} per tutti gli utenti richiede diritti di amministratore." \
  "Avvia ${PRODUCT}" "Mostra il README"

Function SkipInElevatedCopy
  ${If} $Elevated == 1
    Abort
  ${EndIf}
FunctionEnd

; The elevated copy starts at the folder page; the pages before it were the first copy's.
Function NoBackInElevatedCopy
  ${If} $Elevated == 1
    GetDlgItem $R0 $HWNDPARENT 3
    EnableWindow $R0 0
  ${EndIf}
FunctionEnd

Function ModePageShow
  ${If} $Elevated == 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeSubtitle)"
  nsDialogs::Create 1018
  Pop $R0
  ${If} $R0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 24u "$(ModeText)"
  Pop $R0
  ${NSD_CreateRadioButton} 10u 34u -10u 12u "$(ModeMe)"
  Pop $ModeRadioUser
  ${NSD_CreateRadioButton} 10u 52u -10u 12u "$(ModeAll)"
  Pop $ModeRadioAll
  ${If} $Mode == AllUsers
    ${NSD_Check} $ModeRadioAll
  ${Else}
    ${NSD_Check} $ModeRadioUser
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeRadioAll $R0
  ${If} $R0 == ${BST_CHECKED}
    Call SetModeAllUsers
    ${If} $IsAdmin != 1
      HideWindow
      Call HandOverElevated ; ends the installer when the elevated copy ran
      BringToFront
      Abort
    ${EndIf}
  ${Else}
    Call SetModeCurrentUser
  ${EndIf}
FunctionEnd

Function StartGame
  ${If} $Elevated == 1
    ; Not with this copy's administrator rights: the shell starts the game as the player.
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\kistora.exe"'
  ${Else}
    ExecShell "" "$INSTDIR\kistora.exe"
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------------------------
; Installer
; ---------------------------------------------------------------------------------------------

Function .onInit
  SetRegView 64
  StrCpy $FolderGiven 0
  ${If} $INSTDIR != ""
    StrCpy $FolderGiven 1
  ${EndIf}
  Call CheckAdmin
  ${GetParameters} $0
  StrCpy $Elevated 0
  !insertmacro HasSwitch $0 "/Elevated"
  ${IfNot} ${Errors}
    StrCpy $Elevated 1
  ${EndIf}

  Call SetModeCurrentUser
  !insertmacro HasSwitch $0 "/AllUsers"
  ${IfNot} ${Errors}
    Call SetModeAllUsers
    ${If} $IsAdmin != 1
      ${If} $Elevated == 1
        ; Started to be elevated but still without the rights: do not go round in circles.
        SetErrorLevel 740
        MessageBox MB_OK|MB_ICONSTOP "$(NeedAdminInstall)" /SD IDOK
        Quit
      ${EndIf}
      Call HandOverElevated
      Quit
    ${EndIf}
  ${EndIf}
  !insertmacro HasSwitch $0 "/CurrentUser"
  ${IfNot} ${Errors}
    Call SetModeCurrentUser
  ${EndIf}
FunctionEnd

Section "Kistora" SecGame
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\kistora.exe"
  File "${STAGE}\Kistora.data"
  File "${STAGE}\Kistora.maps"
  File "${STAGE}\Kistora.languages"
  File "${STAGE}\LiberationSans-Bold.ttf"
  File "${STAGE}\LICENSE-LiberationSans.txt"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; $SMPROGRAMS is the user's or all users' Start menu, after SetShellVarContext.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\kistora.exe" "" "$INSTDIR\kistora.exe" 0 \
    SW_SHOWNORMAL "" "${PRODUCT} - a box-pushing puzzle game"

  ; SHCTX is HKCU or HKLM, after SetShellVarContext.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\kistora.exe$\",0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\${UNINSTALLER}$\" /$Mode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\${UNINSTALLER}$\" /$Mode /S"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; ---------------------------------------------------------------------------------------------
; Uninstaller
; ---------------------------------------------------------------------------------------------

Function un.onInit
  SetRegView 64
  Call un.CheckAdmin
  ${GetParameters} $0
  StrCpy $Elevated 0
  !insertmacro HasSwitch $0 "/Elevated"
  ${IfNot} ${Errors}
    StrCpy $Elevated 1
  ${EndIf}

  ; The mode of the install this uninstaller belongs to: the switch its uninstall entry passes,
  ; else whichever entry names this folder.
  Call un.SetModeCurrentUser
  !insertmacro HasSwitch $0 "/AllUsers"
  ${If} ${Errors}
    !insertmacro HasSwitch $0 "/CurrentUser"
    ${If} ${Errors}
      ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
      ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
      ${If} $1 != $INSTDIR
      ${AndIf} $2 == $INSTDIR
        Call un.SetModeAllUsers
      ${EndIf}
    ${EndIf}
  ${Else}
    Call un.SetModeAllUsers
  ${EndIf}

  ${If} $Mode == AllUsers
  ${AndIf} $IsAdmin != 1
    ${If} $Elevated == 1
      SetErrorLevel 740
      MessageBox MB_OK|MB_ICONSTOP "$(NeedAdminUninstall)" /SD IDOK
      Quit
    ${EndIf}
    ; _?= (last) keeps the elevated copy from copying itself away once more.
    StrCpy $R0 "/AllUsers /Elevated"
    ${If} ${Silent}
      StrCpy $R0 "$R0 /S"
    ${EndIf}
    StrCpy $R0 "$R0 _?=$INSTDIR"
    Call un.RunElevated
    ${If} $R1 == ""
      SetErrorLevel 740
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(NeedAdminUninstall)" /SD IDOK
    ${Else}
      SetErrorLevel $R1
    ${EndIf}
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Only what the installer put there: a Kistora.prefs beside the game (a portable copy), or
  ; anything else the player keeps in the folder, stays, and so does the folder then.
  Delete "$INSTDIR\kistora.exe"
  Delete "$INSTDIR\Kistora.data"
  Delete "$INSTDIR\Kistora.maps"
  Delete "$INSTDIR\Kistora.languages"
  Delete "$INSTDIR\LiberationSans-Bold.ttf"
  Delete "$INSTDIR\LICENSE-LiberationSans.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ; %APPDATA%\brindlewood game studio\Kistora, the player's settings, progress and
  ; screenshots, is left as it is.
SectionEnd
