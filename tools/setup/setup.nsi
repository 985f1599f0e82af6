; QuillmarkSetup.exe: puts the launcher in a folder the player picks (the game folder, which
; the launcher fills), with Start menu and desktop shortcuts and an uninstall entry for the
; current user, then starts it. No administrator rights: the default folder is under the
; user's local application data, because the launcher writes the game folder on every update.
;
; makensis -INPUTCHARSET UTF8 -WX -DLAUNCHER=FILE -DOUTFILE=FILE -DICON=FILE [-DSIGN_TOOL=FILE]
;   LAUNCHER   the QuillmarkLauncher.exe to install
;   SIGN_TOOL  a script that signs the file it is given in place; with it the uninstaller
;              and the setup program are signed as they are made
;
; Silent use: QuillmarkSetup.exe /S [/D=FOLDER] installs without a question and does not start
; the launcher. "uninstall.exe /S" removes the launcher, the shortcuts and the entry and keeps
; the game files (a reinstall into the folder then downloads nothing it already holds);
; "uninstall.exe /S /REMOVEGAME" removes the game folder too.
;
; Sections: 1 settings and pages, 2 texts, 3 the folder check, 4 install, 5 uninstall.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

; ---- 1. settings and pages ---------------------------------------------------------------------

!define PRODUCT "Quillmark"
!define LAUNCHER_EXE "QuillmarkLauncher.exe"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT "${PRODUCT}.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT}"

!ifdef SIGN_TOOL
  !uninstfinalize 'bash "${SIGN_TOOL}" "%1"'
  !finalize 'bash "${SIGN_TOOL}" "%1"'
!endif

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The language chosen at the first start is remembered in the uninstall entry, so the
; uninstaller speaks it too, and goes with the entry.
!define MUI_LANGDLL_REGISTRY_ROOT HKCU
!define MUI_LANGDLL_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "Installer Language"

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${LAUNCHER_EXE}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The launcher's twelve languages; the first is the one used when Windows speaks none of them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Portuguese"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "Romanian"
!insertmacro MUI_LANGUAGE "Polish"
!insertmacro MUI_LANGUAGE "Czech"
!insertmacro MUI_LANGUAGE "Hungarian"
!insertmacro MUI_LANGUAGE "Turkish"
!insertmacro MUI_LANGUAGE "Greek"

; ---- 2. texts ----------------------------------------------------------------------------------
; Our own texts, one row per language (makensis -WX fails when a language lacks one). The
; standard pages take theirs from NSIS's language files.
;   FolderTaken      the chosen folder holds files that are not an earlier installation's
;   RemoveGame       the uninstaller's question; $INSTDIR is put in after the first line
;   LauncherRunning  the launcher cannot be removed while it runs

!macro TEXTS LANGUAGE FOLDER_TAKEN REMOVE_GAME KEEP_HINT LAUNCHER_RUNNING
  LangString FolderTaken ${LANG_${LANGUAGE}} "${FOLDER_TAKEN}"
  LangString RemoveGame ${LANG_${LANGUAGE}} "${REMOVE_GAME}$\r$\n$\r$\n$INSTDIR$\r$\n$\r$\n${KEEP_HINT}"
  LangString LauncherRunning ${LANG_${LANGUAGE}} "${LAUNCHER_RUNNING}"
!macroend

!insertmacro TEXTS ENGLISH \
  "This folder already holds other files. Choose an empty folder or the folder of an earlier ${PRODUCT} installation." \
  "Remove the game files too?" \
  "Keep them to install again without downloading the game again." \
  "${PRODUCT} is running. Close it and try again."
!insertmacro TEXTS PORTUGUESE \
  "Esta pasta já contém outros ficheiros. Escolha uma pasta vazia ou a pasta de uma instalação anterior do ${PRODUCT}." \
  "Remover também os ficheiros do jogo?" \
  "Mantenha-os para voltar a instalar sem transferir o jogo de novo." \
  "O ${PRODUCT} está em execução. Feche-o e tente novamente."
!insertmacro TEXTS SPANISH \
  "Esta carpeta ya contiene otros archivos. Elige una carpeta vacía o la carpeta de una instalación anterior de ${PRODUCT}." \
  "¿Eliminar también los archivos del juego?" \
  "Consérvalos para volver a instalar sin descargar el juego de nuevo." \
  "${PRODUCT} se está ejecutando. Ciérralo e inténtalo de nuevo."
!insertmacro TEXTS FRENCH \
  "Ce dossier contient déjà d'autres fichiers. Choisissez un dossier vide ou le dossier d'une installation précédente de ${PRODUCT}." \
  "Supprimer aussi les fichiers du jeu ?" \
  "Conservez-les pour réinstaller sans télécharger à nouveau le jeu." \
  "${PRODUCT} est en cours d'exécution. Fermez-le et réessayez."
!insertmacro TEXTS GERMAN \
  "Dieser Ordner enthält bereits andere Dateien. Wählen Sie einen leeren Ordner oder den Ordner einer früheren ${PRODUCT}-Installation." \
  "Auch die Spieldateien entfernen?" \
  "Behalten Sie sie, um neu zu installieren, ohne das Spiel erneut herunterzuladen." \
  "${PRODUCT} läuft noch. Schließen Sie es und versuchen Sie es erneut."
!insertmacro TEXTS ITALIAN \
  "Questa cartella contiene già altri file. Scegli una cartella vuota o la cartella di un'installazione precedente di ${PRODUCT}." \
  "Rimuovere anche i file del gioco?" \
  "Conservali per reinstallare senza scaricare di nuovo il gioco." \
  "${PRODUCT} è in esecuzione. Chiudilo e riprova."
!insertmacro TEXTS ROMANIAN \
  "Acest dosar conține deja alte fișiere. Alegeți un dosar gol sau dosarul unei instalări anterioare ${PRODUCT}." \
  "Eliminați și fișierele jocului?" \
  "Păstrați-le pentru a reinstala fără a descărca din nou jocul." \
  "${PRODUCT} rulează. Închideți-l și încercați din nou."
!insertmacro TEXTS POLISH \
  "Ten folder zawiera już inne pliki. Wybierz pusty folder lub folder wcześniejszej instalacji ${PRODUCT}." \
  "Usunąć także pliki gry?" \
  "Zachowaj je, aby zainstalować ponownie bez ponownego pobierania gry." \
  "${PRODUCT} jest uruchomiony. Zamknij go i spróbuj ponownie."
!insertmacro TEXTS CZECH \
  "Tato složka již obsahuje jiné soubory. Vyberte prázdnou složku nebo složku dřívější instalace ${PRODUCT}." \
  "Odebrat také soubory hry?" \
  "Ponechte je, chcete-li hru znovu nainstalovat bez nového stahování." \
  "${PRODUCT} je spuštěn. Zavřete jej a zkuste to znovu."
!insertmacro TEXTS HUNGARIAN \
  "Ez a mappa már más fájlokat tartalmaz. Válasszon egy üres mappát vagy egy korábbi ${PRODUCT}-telepítés mappáját." \
  "A játék fájljait is eltávolítja?" \
  "Tartsa meg őket, hogy a játék újbóli letöltése nélkül telepíthesse újra." \
  "A ${PRODUCT} fut. Zárja be, és próbálja újra."
!insertmacro TEXTS TURKISH \
  "Bu klasörde zaten başka dosyalar var. Boş bir klasör ya da önceki bir ${PRODUCT} kurulumunun klasörünü seçin." \
  "Oyun dosyaları da kaldırılsın mı?" \
  "Oyunu yeniden indirmeden tekrar kurmak için bunları saklayın." \
  "${PRODUCT} çalışıyor. Kapatıp yeniden deneyin."
!insertmacro TEXTS GREEK \
  "Αυτός ο φάκελος περιέχει ήδη άλλα αρχεία. Επιλέξτε έναν κενό φάκελο ή τον φάκελο μιας προηγούμενης εγκατάστασης του ${PRODUCT}." \
  "Να αφαιρεθούν και τα αρχεία του παιχνιδιού;" \
  "Κρατήστε τα για να το εγκαταστήσετε ξανά χωρίς νέα λήψη του παιχνιδιού." \
  "Το ${PRODUCT} εκτελείται. Κλείστε το και δοκιμάστε ξανά."

; ---- 3. the folder check -----------------------------------------------------------------------
; The uninstaller may remove the whole game folder, so the launcher goes only into a folder
; that is empty (or not there yet) or that an earlier installation made: one holding the
; launcher or its patcher.ini. A player who types "C:\Games" or a desktop by mistake is asked
; for another folder instead of having it removed with the game one day.

; $0 = 1 when $INSTDIR may take the launcher, else 0.
Function CheckFolder
  Push $1
  Push $2
  StrCpy $0 1
  ${IfNot} ${FileExists} "$INSTDIR\${LAUNCHER_EXE}"
  ${AndIfNot} ${FileExists} "$INSTDIR\patcher.ini"
    ClearErrors
    FindFirst $1 $2 "$INSTDIR\*"
    ${DoUntil} ${Errors}
      ${If} $2 != "."
      ${AndIf} $2 != ".."
        StrCpy $0 0
        ${Break}
      ${EndIf}
      FindNext $1 $2
    ${Loop}
    FindClose $1
  ${EndIf}
  Pop $2
  Pop $1
FunctionEnd

Function DirectoryLeave
  Call CheckFolder
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(FolderTaken)"
    Abort
  ${EndIf}
FunctionEnd

; ---- 4. install --------------------------------------------------------------------------------

Function .onInit
  ; A silent install skips the directory page and so its check: /D=FOLDER is checked here,
  ; and a refused folder ends the setup with exit code 2 before anything is written.
  ${If} ${Silent}
    Call CheckFolder
    ${If} $0 == 0
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "/oname=${LAUNCHER_EXE}" "${LAUNCHER}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ; Shortcuts start in $OUTDIR, the game folder.
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\${LAUNCHER_EXE}"
  CreateShortcut "$DESKTOP\${SHORTCUT}" "$INSTDIR\${LAUNCHER_EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${LAUNCHER_EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; ---- 5. uninstall ------------------------------------------------------------------------------

Function un.onInit
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

; Removes the folder on the stack and everything in it. A junction or symbolic link inside is
; removed itself and never entered: whatever it points to is not the game's.
Function un.RemoveTree
  Exch $0
  Push $1
  Push $2
  Push $3
  ClearErrors
  FindFirst $1 $2 "$0\*"
  ${DoUntil} ${Errors}
    ${If} $2 != "."
    ${AndIf} $2 != ".."
      System::Call 'kernel32::GetFileAttributesW(w "$0\$2") i .r3'
      ${If} $3 = -1
        ; gone meanwhile
      ${ElseIf} $3 & 0x400  ; FILE_ATTRIBUTE_REPARSE_POINT
        ${If} $3 & 0x10     ; FILE_ATTRIBUTE_DIRECTORY
          RMDir "$0\$2"
        ${Else}
          Delete "$0\$2"
        ${EndIf}
      ${ElseIf} $3 & 0x10
        Push "$0\$2"
        Call un.RemoveTree
      ${Else}
        Delete "$0\$2"
      ${EndIf}
    ${EndIf}
    ClearErrors
    FindNext $1 $2
  ${Loop}
  FindClose $1
  RMDir "$0"
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Section "Uninstall"
  ; A running launcher holds its executable; nothing is removed until it is closed.
  retry:
  ClearErrors
  Delete "$INSTDIR\${LAUNCHER_EXE}"
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(LauncherRunning)" /SD IDCANCEL IDRETRY retry
    Abort
  ${EndIf}
  ; The self-update's side files.
  Delete "$INSTDIR\${LAUNCHER_EXE}.old"
  Delete "$INSTDIR\${LAUNCHER_EXE}.new"
  Delete "$INSTDIR\${LAUNCHER_EXE}.ap_tmp"
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$DESKTOP\${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; The game files: asked, and kept when silent unless /REMOVEGAME is given.
  StrCpy $0 0
  ${If} ${Silent}
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/REMOVEGAME" $2
    ${IfNot} ${Errors}
      StrCpy $0 1
    ${EndIf}
  ${Else}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveGame)" IDNO keepGame
    StrCpy $0 1
    keepGame:
  ${EndIf}
  ${If} $0 == 1
    Push "$INSTDIR"
    Call un.RemoveTree
  ${Else}
    ; A folder the launcher never filled goes; one with the game stays.
    RMDir "$INSTDIR"
  ${EndIf}
SectionEnd
