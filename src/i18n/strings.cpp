// The UI string table and the client language list.
//
//   1. Texts: one table per UI language, a row per StringId in the enum's order.
//   2. The UI language table (code, texts, decimal comma, Windows primary language id).
//   3. The current UI language and its accessors.
//   4. The game client's language list.
//
// This file is UTF-8; the wide literals come out as UTF-16 on Windows and UTF-32 elsewhere.
#include "i18n/strings.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "i18n/text_table.h"

namespace {

// ---------------------------------------------------------------------------------------------
// 1. Texts
// ---------------------------------------------------------------------------------------------

// Each row names its id, and each table is checked below (isCompleteTextTable): a missing, extra
// or misplaced row fails the build.

constexpr TextRow<StringId> kTextsPt[] = {
    {kStrConnecting, L"A ligar ao servidor de patch..."},
    {kStrVerifying, L"A verificar a assinatura..."},
    {kStrChecking, L"A VERIFICAR"},
    {kStrUpdating, L"A ATUALIZAR"},
    {kStrApplying, L"A aplicar alterações..."},
    {kStrUpdatingLauncher, L"A atualizar o launcher..."},
    {kStrReadyToPlay, L"PRONTO A JOGAR"},
    {kStrUpToDate, L"Cliente atualizado"},
    {kStrError, L"ERRO"},
    {kStrPlay, L"JOGAR"},
    {kStrUpdatingButton, L"A ATUALIZAR"},
    {kStrRetry, L"TENTAR DE NOVO"},
    {kStrRepair, L"Reparar"},
    {kStrNewsTitle, L"NOTÍCIAS"},
    {kStrNoNews, L"Sem notícias."},
    {kStrFile, L"Ficheiro"},
    {kStrTotal, L"Total"},
    {kStrErrConnect, L"Não foi possível ligar ao servidor de patch."},
    {kStrErrSignature, L"Assinatura do patch inválida. Transferência recusada."},
    {kStrErrManifest, L"Manifesto do patch inválido."},
    {kStrErrRollback, L"O servidor enviou uma versão mais antiga do que a instalada."},
    {kStrErrNoPublicKey, L"Chave pública não configurada (public_key)."},
    {kStrErrWrite, L"Não foi possível escrever o ficheiro:"},
    {kStrErrCorrupted, L"Ficheiro corrompido após a transferência:"},
    {kStrErrNoGameExe, L"Executável do jogo não encontrado."},
    {kStrErrFileInUse, L"Ficheiro em uso - feche o jogo e tente novamente:"},
    {kStrVersion, L"Versão"},
    {kStrOffline, L"Modo offline"},
    {kStrHome, L"Início"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Suporte"},
    {kStrRules, L"Regras"},
    {kStrRegister, L"Registar"},
    {kStrAllNews, L"Todas as notícias"},
    {kStrAll, L"Todas"},
    {kStrEvents, L"Eventos"},
    {kStrNews, L"Notícias"},
    {kStrUpdates, L"Atualizações"},
    {kStrTagEvent, L"EVENTO"},
    {kStrTagNews, L"NOTÍCIA"},
    {kStrTagUpdate, L"ATUALIZAÇÃO"},
    {kStrReadMore, L"Ler mais"},
    {kStrBack, L"Voltar"},
    {kStrViewPost, L"Ver publicação"},
    {kStrSettings, L"DEFINIÇÕES"},
    {kStrResolution, L"Resolução"},
    {kStrWindowMode, L"Modo janela"},
    {kStrWindowModeHint, L"Jogar numa janela em vez de ecrã inteiro"},
    {kStrMusic, L"Música"},
    {kStrEffects, L"Efeitos"},
    {kStrOff, L"Desligado"},
    {kStrAdvancedSettings, L"Definições avançadas"},
    {kStrRepairFiles, L"Reparar ficheiros"},
    {kStrWebsite, L"Site"},
    {kStrWait, L"AGUARDE"},
    {kStrFiles, L"ficheiros"},
    {kStrLeft, L"faltam %1"},
    {kStrDownloading, L"A transferir"},
    {kStrCheckingLower, L"A verificar"},
    {kStrTeam, L"Equipa Quillmark"},
    {kStrStaff, L"Equipa"},
    {kStrCloseGameForSettings, L"Feche o jogo para alterar as definições"},
    {kStrLanguage, L"Idioma"},
    {kStrErrFolderBusy, L"Já está em curso outra atualização desta pasta do jogo."},
    {kStrErrExpired,
     L"O servidor de patch está desatualizado: a versão que oferece expirou em %1."},
    {kStrErrDiskSpace,
     L"Espaço em disco insuficiente para a atualização: são necessários %1 e há %2 livres."},
    {kStrErrCertificateUntrusted,
     L"O certificado de segurança do servidor de patch não vem de uma autoridade de confiança."},
    {kStrErrCertificateHost,
     L"O certificado de segurança do servidor de patch foi emitido para outro nome de servidor."},
    {kStrErrCertificateExpired,
     L"O certificado de segurança do servidor de patch expirou ou ainda não é válido."},
    {kStrErrSecureConnection,
     L"A ligação segura ao servidor de patch falhou: o seu certificado ou a sua encriptação foi "
     L"recusado."},
    {kStrPaused, L"EM PAUSA"},
    {kStrPausedMessage, L"O progresso é mantido; retome quando quiser."},
};

constexpr TextRow<StringId> kTextsEn[] = {
    {kStrConnecting, L"Connecting to patch server..."},
    {kStrVerifying, L"Verifying signature..."},
    {kStrChecking, L"CHECKING"},
    {kStrUpdating, L"UPDATING"},
    {kStrApplying, L"Applying changes..."},
    {kStrUpdatingLauncher, L"Updating launcher..."},
    {kStrReadyToPlay, L"READY TO PLAY"},
    {kStrUpToDate, L"Client up to date"},
    {kStrError, L"ERROR"},
    {kStrPlay, L"PLAY"},
    {kStrUpdatingButton, L"UPDATING"},
    {kStrRetry, L"RETRY"},
    {kStrRepair, L"Repair"},
    {kStrNewsTitle, L"NEWS"},
    {kStrNoNews, L"No news."},
    {kStrFile, L"File"},
    {kStrTotal, L"Total"},
    {kStrErrConnect, L"Could not connect to the patch server."},
    {kStrErrSignature, L"Invalid patch signature. Download refused."},
    {kStrErrManifest, L"Invalid patch manifest."},
    {kStrErrRollback, L"The server sent an older version than the installed one."},
    {kStrErrNoPublicKey, L"Public key not configured (public_key)."},
    {kStrErrWrite, L"Could not write file:"},
    {kStrErrCorrupted, L"File corrupted after download:"},
    {kStrErrNoGameExe, L"Game executable not found."},
    {kStrErrFileInUse, L"File in use - close the game and try again:"},
    {kStrVersion, L"Version"},
    {kStrOffline, L"Offline mode"},
    {kStrHome, L"Home"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Support"},
    {kStrRules, L"Rules"},
    {kStrRegister, L"Register"},
    {kStrAllNews, L"All news"},
    {kStrAll, L"All"},
    {kStrEvents, L"Events"},
    {kStrNews, L"News"},
    {kStrUpdates, L"Updates"},
    {kStrTagEvent, L"EVENT"},
    {kStrTagNews, L"NEWS"},
    {kStrTagUpdate, L"UPDATE"},
    {kStrReadMore, L"Read more"},
    {kStrBack, L"Back"},
    {kStrViewPost, L"View post"},
    {kStrSettings, L"SETTINGS"},
    {kStrResolution, L"Resolution"},
    {kStrWindowMode, L"Window mode"},
    {kStrWindowModeHint, L"Play in a window instead of fullscreen"},
    {kStrMusic, L"Music"},
    {kStrEffects, L"Effects"},
    {kStrOff, L"Off"},
    {kStrAdvancedSettings, L"Advanced settings"},
    {kStrRepairFiles, L"Repair files"},
    {kStrWebsite, L"Website"},
    {kStrWait, L"WAIT"},
    {kStrFiles, L"files"},
    {kStrLeft, L"%1 left"},
    {kStrDownloading, L"Downloading"},
    {kStrCheckingLower, L"Checking"},
    {kStrTeam, L"Quillmark Team"},
    {kStrStaff, L"Staff"},
    {kStrCloseGameForSettings, L"Close the game to change settings"},
    {kStrLanguage, L"Language"},
    {kStrErrFolderBusy, L"Another update of this game folder is running."},
    {kStrErrExpired, L"The patch server is out of date: the release it offers expired on %1."},
    {kStrErrDiskSpace, L"Not enough disk space for the update: it needs %1, and %2 is free."},
    {kStrErrCertificateUntrusted,
     L"The patch server's security certificate is not from a trusted authority."},
    {kStrErrCertificateHost,
     L"The patch server's security certificate was issued for another server name."},
    {kStrErrCertificateExpired,
     L"The patch server's security certificate has expired or is not yet valid."},
    {kStrErrSecureConnection,
     L"The secure connection to the patch server failed: its certificate or encryption was "
     L"refused."},
    {kStrPaused, L"PAUSED"},
    {kStrPausedMessage, L"Progress is kept; resume at any time."},
};

constexpr TextRow<StringId> kTextsEs[] = {
    {kStrConnecting, L"Conectando con el servidor de parches..."},
    {kStrVerifying, L"Verificando la firma..."},
    {kStrChecking, L"COMPROBANDO"},
    {kStrUpdating, L"ACTUALIZANDO"},
    {kStrApplying, L"Aplicando cambios..."},
    {kStrUpdatingLauncher, L"Actualizando el lanzador..."},
    {kStrReadyToPlay, L"LISTO PARA JUGAR"},
    {kStrUpToDate, L"Cliente actualizado"},
    {kStrError, L"ERROR"},
    {kStrPlay, L"JUGAR"},
    {kStrUpdatingButton, L"ACTUALIZANDO"},
    {kStrRetry, L"REINTENTAR"},
    {kStrRepair, L"Reparar"},
    {kStrNewsTitle, L"NOTICIAS"},
    {kStrNoNews, L"No hay noticias."},
    {kStrFile, L"Archivo"},
    {kStrTotal, L"Total"},
    {kStrErrConnect, L"No se pudo conectar con el servidor de parches."},
    {kStrErrSignature, L"Firma del parche no válida. Descarga rechazada."},
    {kStrErrManifest, L"Manifiesto del parche no válido."},
    {kStrErrRollback, L"El servidor envió una versión más antigua que la instalada."},
    {kStrErrNoPublicKey, L"Clave pública no configurada (public_key)."},
    {kStrErrWrite, L"No se pudo escribir el archivo:"},
    {kStrErrCorrupted, L"Archivo dañado tras la descarga:"},
    {kStrErrNoGameExe, L"No se encontró el ejecutable del juego."},
    {kStrErrFileInUse, L"Archivo en uso - cierra el juego e inténtalo de nuevo:"},
    {kStrVersion, L"Versión"},
    {kStrOffline, L"Modo sin conexión"},
    {kStrHome, L"Inicio"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Soporte"},
    {kStrRules, L"Normas"},
    {kStrRegister, L"Registrarse"},
    {kStrAllNews, L"Todas las noticias"},
    {kStrAll, L"Todas"},
    {kStrEvents, L"Eventos"},
    {kStrNews, L"Noticias"},
    {kStrUpdates, L"Actualizaciones"},
    {kStrTagEvent, L"EVENTO"},
    {kStrTagNews, L"NOTICIA"},
    {kStrTagUpdate, L"ACTUALIZACIÓN"},
    {kStrReadMore, L"Leer más"},
    {kStrBack, L"Volver"},
    {kStrViewPost, L"Ver publicación"},
    {kStrSettings, L"AJUSTES"},
    {kStrResolution, L"Resolución"},
    {kStrWindowMode, L"Modo ventana"},
    {kStrWindowModeHint, L"Jugar en una ventana en lugar de pantalla completa"},
    {kStrMusic, L"Música"},
    {kStrEffects, L"Efectos"},
    {kStrOff, L"Desactivado"},
    {kStrAdvancedSettings, L"Ajustes avanzados"},
    {kStrRepairFiles, L"Reparar archivos"},
    {kStrWebsite, L"Sitio web"},
    {kStrWait, L"ESPERA"},
    {kStrFiles, L"archivos"},
    {kStrLeft, L"quedan %1"},
    {kStrDownloading, L"Descargando"},
    {kStrCheckingLower, L"Comprobando"},
    {kStrTeam, L"Equipo Quillmark"},
    {kStrStaff, L"Equipo"},
    {kStrCloseGameForSettings, L"Cierra el juego para cambiar los ajustes"},
    {kStrLanguage, L"Idioma"},
    {kStrErrFolderBusy, L"Ya se está ejecutando otra actualización de esta carpeta del juego."},
    {kStrErrExpired,
     L"El servidor de parches está desactualizado: la versión que ofrece caducó el %1."},
    {kStrErrDiskSpace,
     (L"No hay espacio suficiente en el disco para la actualización: se necesitan %1 y hay %2 "
      L"libres.")},
    {kStrErrCertificateUntrusted,
     L"El certificado de seguridad del servidor de parches no procede de una autoridad de "
     L"confianza."},
    {kStrErrCertificateHost,
     L"El certificado de seguridad del servidor de parches se emitió para otro nombre de "
     L"servidor."},
    {kStrErrCertificateExpired,
     L"El certificado de seguridad del servidor de parches ha caducado o aún no es válido."},
    {kStrErrSecureConnection,
     L"La conexión segura con el servidor de parches falló: se rechazó su certificado o su "
     L"cifrado."},
    {kStrPaused, L"EN PAUSA"},
    {kStrPausedMessage, L"El progreso se conserva; reanude cuando quiera."},
};

// French puts a no-break space before a colon, so the colon never starts a line of its own.
constexpr TextRow<StringId> kTextsFr[] = {
    {kStrConnecting, L"Connexion au serveur de mise à jour..."},
    {kStrVerifying, L"Vérification de la signature..."},
    {kStrChecking, L"VÉRIFICATION"},
    {kStrUpdating, L"MISE À JOUR"},
    {kStrApplying, L"Application des modifications..."},
    {kStrUpdatingLauncher, L"Mise à jour du lanceur..."},
    {kStrReadyToPlay, L"PRÊT À JOUER"},
    {kStrUpToDate, L"Client à jour"},
    {kStrError, L"ERREUR"},
    {kStrPlay, L"JOUER"},
    {kStrUpdatingButton, L"MISE À JOUR"},
    {kStrRetry, L"RÉESSAYER"},
    {kStrRepair, L"Réparer"},
    {kStrNewsTitle, L"ACTUALITÉS"},
    {kStrNoNews, L"Aucune actualité."},
    {kStrFile, L"Fichier"},
    {kStrTotal, L"Total"},
    {kStrErrConnect, L"Impossible de se connecter au serveur de mise à jour."},
    {kStrErrSignature, L"Signature du patch invalide. Téléchargement refusé."},
    {kStrErrManifest, L"Manifeste du patch invalide."},
    {kStrErrRollback, L"Le serveur a envoyé une version plus ancienne que celle installée."},
    {kStrErrNoPublicKey, L"Clé publique non configurée (public_key)."},
    {kStrErrWrite, L"Impossible d'écrire le fichier\u00A0:"},
    {kStrErrCorrupted, L"Fichier corrompu après le téléchargement\u00A0:"},
    {kStrErrNoGameExe, L"Exécutable du jeu introuvable."},
    {kStrErrFileInUse, L"Fichier en cours d'utilisation - fermez le jeu et réessayez\u00A0:"},
    {kStrVersion, L"Version"},
    {kStrOffline, L"Mode hors ligne"},
    {kStrHome, L"Accueil"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Assistance"},
    {kStrRules, L"Règles"},
    {kStrRegister, L"Inscription"},
    {kStrAllNews, L"Toutes les actualités"},
    {kStrAll, L"Toutes"},
    {kStrEvents, L"Événements"},
    {kStrNews, L"Actualités"},
    {kStrUpdates, L"Mises à jour"},
    {kStrTagEvent, L"ÉVÉNEMENT"},
    {kStrTagNews, L"ACTUALITÉ"},
    {kStrTagUpdate, L"MISE À JOUR"},
    {kStrReadMore, L"Lire la suite"},
    {kStrBack, L"Retour"},
    {kStrViewPost, L"Voir l'article"},
    {kStrSettings, L"PARAMÈTRES"},
    {kStrResolution, L"Résolution"},
    {kStrWindowMode, L"Mode fenêtré"},
    {kStrWindowModeHint, L"Jouer dans une fenêtre plutôt qu'en plein écran"},
    {kStrMusic, L"Musique"},
    {kStrEffects, L"Effets"},
    {kStrOff, L"Désactivé"},
    {kStrAdvancedSettings, L"Paramètres avancés"},
    {kStrRepairFiles, L"Réparer les fichiers"},
    {kStrWebsite, L"Site web"},
    {kStrWait, L"PATIENTEZ"},
    {kStrFiles, L"fichiers"},
    {kStrLeft, L"reste %1"},
    {kStrDownloading, L"Téléchargement"},
    {kStrCheckingLower, L"Vérification"},
    {kStrTeam, L"Équipe Quillmark"},
    {kStrStaff, L"Équipe"},
    {kStrCloseGameForSettings, L"Fermez le jeu pour modifier les paramètres"},
    {kStrLanguage, L"Langue"},
    {kStrErrFolderBusy, L"Une autre mise à jour de ce dossier de jeu est en cours."},
    {kStrErrExpired,
     L"Le serveur de mise à jour n'est plus à jour\u00A0: la version qu'il propose a expiré le "
     L"%1."},
    {kStrErrDiskSpace,
     L"Espace disque insuffisant pour la mise à jour\u00A0: %1 nécessaires, %2 disponibles."},
    {kStrErrCertificateUntrusted,
     L"Le certificat de sécurité du serveur de mise à jour ne provient pas d'une autorité de "
     L"confiance."},
    {kStrErrCertificateHost,
     L"Le certificat de sécurité du serveur de mise à jour a été émis pour un autre nom de "
     L"serveur."},
    {kStrErrCertificateExpired,
     L"Le certificat de sécurité du serveur de mise à jour a expiré ou n'est pas encore valide."},
    {kStrErrSecureConnection,
     L"La connexion sécurisée au serveur de mise à jour a échoué\u00A0: son certificat ou son "
     L"chiffrement a été refusé."},
    {kStrPaused, L"EN PAUSE"},
    {kStrPausedMessage, L"Progression conservée ; reprise à tout moment."},
};

constexpr TextRow<StringId> kTextsDe[] = {
    {kStrConnecting, L"Verbinde mit dem Patch-Server..."},
    {kStrVerifying, L"Prüfe Signatur..."},
    {kStrChecking, L"PRÜFUNG"},
    {kStrUpdating, L"AKTUALISIERUNG"},
    {kStrApplying, L"Wende Änderungen an..."},
    {kStrUpdatingLauncher, L"Aktualisiere Launcher..."},
    {kStrReadyToPlay, L"BEREIT ZUM SPIELEN"},
    {kStrUpToDate, L"Client ist aktuell"},
    {kStrError, L"FEHLER"},
    {kStrPlay, L"SPIELEN"},
    {kStrUpdatingButton, L"AKTUALISIERUNG"},
    {kStrRetry, L"ERNEUT VERSUCHEN"},
    {kStrRepair, L"Reparieren"},
    {kStrNewsTitle, L"NEUIGKEITEN"},
    {kStrNoNews, L"Keine Neuigkeiten."},
    {kStrFile, L"Datei"},
    {kStrTotal, L"Gesamt"},
    {kStrErrConnect, L"Verbindung zum Patch-Server fehlgeschlagen."},
    {kStrErrSignature, L"Ungültige Patch-Signatur. Download abgelehnt."},
    {kStrErrManifest, L"Ungültiges Patch-Manifest."},
    {kStrErrRollback, L"Der Server hat eine ältere Version als die installierte gesendet."},
    {kStrErrNoPublicKey, L"Öffentlicher Schlüssel nicht konfiguriert (public_key)."},
    {kStrErrWrite, L"Datei konnte nicht geschrieben werden:"},
    {kStrErrCorrupted, L"Datei nach dem Download beschädigt:"},
    {kStrErrNoGameExe, L"Spieldatei nicht gefunden."},
    {kStrErrFileInUse, L"Datei in Benutzung - schließe das Spiel und versuche es erneut:"},
    {kStrVersion, L"Version"},
    {kStrOffline, L"Offline-Modus"},
    {kStrHome, L"Startseite"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Hilfe"},
    {kStrRules, L"Regeln"},
    {kStrRegister, L"Registrieren"},
    {kStrAllNews, L"Alle Neuigkeiten"},
    {kStrAll, L"Alle"},
    {kStrEvents, L"Ereignisse"},
    {kStrNews, L"Neuigkeiten"},
    {kStrUpdates, L"Updates"},
    {kStrTagEvent, L"EREIGNIS"},
    {kStrTagNews, L"NEUIGKEIT"},
    {kStrTagUpdate, L"UPDATE"},
    {kStrReadMore, L"Weiterlesen"},
    {kStrBack, L"Zurück"},
    {kStrViewPost, L"Zum Beitrag"},
    {kStrSettings, L"EINSTELLUNGEN"},
    {kStrResolution, L"Auflösung"},
    {kStrWindowMode, L"Fenstermodus"},
    {kStrWindowModeHint, L"Im Fenster statt im Vollbild spielen"},
    {kStrMusic, L"Musik"},
    {kStrEffects, L"Effekte"},
    {kStrOff, L"Aus"},
    {kStrAdvancedSettings, L"Erweiterte Einstellungen"},
    {kStrRepairFiles, L"Dateien reparieren"},
    {kStrWebsite, L"Webseite"},
    {kStrWait, L"WARTEN"},
    {kStrFiles, L"Dateien"},
    {kStrLeft, L"noch %1"},
    {kStrDownloading, L"Lade"},
    {kStrCheckingLower, L"Prüfe"},
    {kStrTeam, L"Quillmark-Team"},
    {kStrStaff, L"Team"},
    {kStrCloseGameForSettings, L"Schließe das Spiel, um Einstellungen zu ändern"},
    {kStrLanguage, L"Sprache"},
    {kStrErrFolderBusy, L"Eine andere Aktualisierung dieses Spielordners läuft bereits."},
    {kStrErrExpired,
     L"Der Patch-Server ist veraltet: Die angebotene Version ist am %1 abgelaufen."},
    {kStrErrDiskSpace,
     L"Nicht genug Speicherplatz für das Update: Benötigt werden %1, frei sind %2."},
    {kStrErrCertificateUntrusted,
     L"Das Sicherheitszertifikat des Update-Servers stammt nicht von einer vertrauenswürdigen "
     L"Stelle."},
    {kStrErrCertificateHost,
     L"Das Sicherheitszertifikat des Update-Servers wurde für einen anderen Servernamen "
     L"ausgestellt."},
    {kStrErrCertificateExpired,
     L"Das Sicherheitszertifikat des Update-Servers ist abgelaufen oder noch nicht gültig."},
    {kStrErrSecureConnection,
     L"Die sichere Verbindung zum Update-Server ist fehlgeschlagen: Sein Zertifikat oder seine "
     L"Verschlüsselung wurde abgelehnt."},
    {kStrPaused, L"PAUSIERT"},
    {kStrPausedMessage, L"Der Fortschritt bleibt; jederzeit fortsetzen."},
};

constexpr TextRow<StringId> kTextsIt[] = {
    {kStrConnecting, L"Connessione al server delle patch..."},
    {kStrVerifying, L"Verifica della firma..."},
    {kStrChecking, L"VERIFICA"},
    {kStrUpdating, L"AGGIORNAMENTO"},
    {kStrApplying, L"Applicazione delle modifiche..."},
    {kStrUpdatingLauncher, L"Aggiornamento del launcher..."},
    {kStrReadyToPlay, L"PRONTO PER GIOCARE"},
    {kStrUpToDate, L"Client aggiornato"},
    {kStrError, L"ERRORE"},
    {kStrPlay, L"GIOCA"},
    {kStrUpdatingButton, L"AGGIORNAMENTO"},
    {kStrRetry, L"RIPROVA"},
    {kStrRepair, L"Ripara"},
    {kStrNewsTitle, L"NOTIZIE"},
    {kStrNoNews, L"Nessuna notizia."},
    {kStrFile, L"File"},
    {kStrTotal, L"Totale"},
    {kStrErrConnect, L"Impossibile connettersi al server delle patch."},
    {kStrErrSignature, L"Firma della patch non valida. Download rifiutato."},
    {kStrErrManifest, L"Manifesto della patch non valido."},
    {kStrErrRollback, L"Il server ha inviato una versione più vecchia di quella installata."},
    {kStrErrNoPublicKey, L"Chiave pubblica non configurata (public_key)."},
    {kStrErrWrite, L"Impossibile scrivere il file:"},
    {kStrErrCorrupted, L"File danneggiato dopo il download:"},
    {kStrErrNoGameExe, L"Eseguibile del gioco non trovato."},
    {kStrErrFileInUse, L"File in uso - chiudi il gioco e riprova:"},
    {kStrVersion, L"Versione"},
    {kStrOffline, L"Modalità offline"},
    {kStrHome, L"Home"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Assistenza"},
    {kStrRules, L"Regole"},
    {kStrRegister, L"Registrati"},
    {kStrAllNews, L"Tutte le notizie"},
    {kStrAll, L"Tutte"},
    {kStrEvents, L"Eventi"},
    {kStrNews, L"Notizie"},
    {kStrUpdates, L"Aggiornamenti"},
    {kStrTagEvent, L"EVENTO"},
    {kStrTagNews, L"NOTIZIA"},
    {kStrTagUpdate, L"AGGIORNAMENTO"},
    {kStrReadMore, L"Leggi di più"},
    {kStrBack, L"Indietro"},
    {kStrViewPost, L"Vedi articolo"},
    {kStrSettings, L"IMPOSTAZIONI"},
    {kStrResolution, L"Risoluzione"},
    {kStrWindowMode, L"Modalità finestra"},
    {kStrWindowModeHint, L"Gioca in una finestra invece che a schermo intero"},
    {kStrMusic, L"Musica"},
    {kStrEffects, L"Effetti"},
    {kStrOff, L"Disattivato"},
    {kStrAdvancedSettings, L"Impostazioni avanzate"},
    {kStrRepairFiles, L"Ripara file"},
    {kStrWebsite, L"Sito web"},
    {kStrWait, L"ATTENDI"},
    {kStrFiles, L"file"},
    {kStrLeft, L"mancano %1"},
    {kStrDownloading, L"Scaricamento"},
    {kStrCheckingLower, L"Verifica"},
    {kStrTeam, L"Team Quillmark"},
    {kStrStaff, L"Staff"},
    {kStrCloseGameForSettings, L"Chiudi il gioco per modificare le impostazioni"},
    {kStrLanguage, L"Lingua"},
    {kStrErrFolderBusy, L"È già in corso un altro aggiornamento di questa cartella di gioco."},
    {kStrErrExpired,
     L"Il server delle patch non è aggiornato: la versione offerta è scaduta il %1."},
    {kStrErrDiskSpace,
     L"Spazio su disco insufficiente per l'aggiornamento: servono %1 e ne sono liberi %2."},
    {kStrErrCertificateUntrusted,
     L"Il certificato di sicurezza del server di aggiornamento non proviene da un'autorità "
     L"attendibile."},
    {kStrErrCertificateHost,
     L"Il certificato di sicurezza del server di aggiornamento è stato emesso per un altro nome di "
     L"server."},
    {kStrErrCertificateExpired,
     L"Il certificato di sicurezza del server di aggiornamento è scaduto o non è ancora valido."},
    {kStrErrSecureConnection,
     L"La connessione sicura al server di aggiornamento non è riuscita: il suo certificato o la "
     L"sua cifratura è stato rifiutato."},
    {kStrPaused, L"IN PAUSA"},
    {kStrPausedMessage, L"I progressi restano; riprendi quando vuoi."},
};

// Romanian with the comma-below letters (U+0218..U+021B), not the cedilla look-alikes.
constexpr TextRow<StringId> kTextsRo[] = {
    {kStrConnecting, L"Se conectează la serverul de patch..."},
    {kStrVerifying, L"Se verifică semnătura..."},
    {kStrChecking, L"VERIFICARE"},
    {kStrUpdating, L"ACTUALIZARE"},
    {kStrApplying, L"Se aplică modificările..."},
    {kStrUpdatingLauncher, L"Se actualizează launcherul..."},
    {kStrReadyToPlay, L"GATA DE JOC"},
    {kStrUpToDate, L"Client actualizat"},
    {kStrError, L"EROARE"},
    {kStrPlay, L"JOACĂ"},
    {kStrUpdatingButton, L"ACTUALIZARE"},
    {kStrRetry, L"REÎNCEARCĂ"},
    {kStrRepair, L"Repară"},
    {kStrNewsTitle, L"NOUTĂȚI"},
    {kStrNoNews, L"Nicio noutate."},
    {kStrFile, L"Fișier"},
    {kStrTotal, L"Total"},
    {kStrErrConnect, L"Nu s-a putut realiza conexiunea la serverul de patch."},
    {kStrErrSignature, L"Semnătura patch-ului este invalidă. Descărcare refuzată."},
    {kStrErrManifest, L"Manifestul patch-ului este invalid."},
    {kStrErrRollback, L"Serverul a trimis o versiune mai veche decât cea instalată."},
    {kStrErrNoPublicKey, L"Cheia publică nu este configurată (public_key)."},
    {kStrErrWrite, L"Nu s-a putut scrie fișierul:"},
    {kStrErrCorrupted, L"Fișier corupt după descărcare:"},
    {kStrErrNoGameExe, L"Executabilul jocului nu a fost găsit."},
    {kStrErrFileInUse, L"Fișier în uz - închide jocul și încearcă din nou:"},
    {kStrVersion, L"Versiune"},
    {kStrOffline, L"Mod offline"},
    {kStrHome, L"Acasă"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Asistență"},
    {kStrRules, L"Reguli"},
    {kStrRegister, L"Înregistrare"},
    {kStrAllNews, L"Toate noutățile"},
    {kStrAll, L"Toate"},
    {kStrEvents, L"Evenimente"},
    {kStrNews, L"Noutăți"},
    {kStrUpdates, L"Actualizări"},
    {kStrTagEvent, L"EVENIMENT"},
    {kStrTagNews, L"NOUTATE"},
    {kStrTagUpdate, L"ACTUALIZARE"},
    {kStrReadMore, L"Citește mai mult"},
    {kStrBack, L"Înapoi"},
    {kStrViewPost, L"Vezi articolul"},
    {kStrSettings, L"SETĂRI"},
    {kStrResolution, L"Rezoluție"},
    {kStrWindowMode, L"Mod fereastră"},
    {kStrWindowModeHint, L"Joacă într-o fereastră în loc de ecran complet"},
    {kStrMusic, L"Muzică"},
    {kStrEffects, L"Efecte"},
    {kStrOff, L"Oprit"},
    {kStrAdvancedSettings, L"Setări avansate"},
    {kStrRepairFiles, L"Repară fișierele"},
    {kStrWebsite, L"Site web"},
    {kStrWait, L"AȘTEAPTĂ"},
    {kStrFiles, L"fișiere"},
    {kStrLeft, L"mai rămân %1"},
    {kStrDownloading, L"Se descarcă"},
    {kStrCheckingLower, L"Se verifică"},
    {kStrTeam, L"Echipa Quillmark"},
    {kStrStaff, L"Echipă"},
    {kStrCloseGameForSettings, L"Închide jocul pentru a schimba setările"},
    {kStrLanguage, L"Limbă"},
    {kStrErrFolderBusy, L"O altă actualizare a acestui dosar al jocului este în curs."},
    {kStrErrExpired, L"Serverul de patch nu este actualizat: versiunea oferită a expirat la %1."},
    {kStrErrDiskSpace,
     (L"Nu există suficient spațiu pe disc pentru actualizare: sunt necesari %1, iar liberi sunt "
      L"doar %2.")},
    {kStrErrCertificateUntrusted,
     L"Certificatul de securitate al serverului de patch nu provine de la o autoritate de "
     L"încredere."},
    {kStrErrCertificateHost,
     L"Certificatul de securitate al serverului de patch a fost emis pentru alt nume de server."},
    {kStrErrCertificateExpired,
     L"Certificatul de securitate al serverului de patch a expirat sau nu este încă valabil."},
    {kStrErrSecureConnection,
     L"Conexiunea securizată la serverul de patch a eșuat: certificatul sau criptarea acestuia a "
     L"fost refuzată."},
    {kStrPaused, L"ÎN PAUZĂ"},
    {kStrPausedMessage, L"Progresul se păstrează; reluați oricând."},
};

constexpr TextRow<StringId> kTextsPl[] = {
    {kStrConnecting, L"Łączenie z serwerem aktualizacji..."},
    {kStrVerifying, L"Weryfikowanie podpisu..."},
    {kStrChecking, L"SPRAWDZANIE"},
    {kStrUpdating, L"AKTUALIZACJA"},
    {kStrApplying, L"Wprowadzanie zmian..."},
    {kStrUpdatingLauncher, L"Aktualizowanie launchera..."},
    {kStrReadyToPlay, L"GOTOWE DO GRY"},
    {kStrUpToDate, L"Klient jest aktualny"},
    {kStrError, L"BŁĄD"},
    {kStrPlay, L"GRAJ"},
    {kStrUpdatingButton, L"AKTUALIZACJA"},
    {kStrRetry, L"SPRÓBUJ PONOWNIE"},
    {kStrRepair, L"Napraw"},
    {kStrNewsTitle, L"AKTUALNOŚCI"},
    {kStrNoNews, L"Brak aktualności."},
    {kStrFile, L"Plik"},
    {kStrTotal, L"Łącznie"},
    {kStrErrConnect, L"Nie można połączyć się z serwerem aktualizacji."},
    {kStrErrSignature, L"Nieprawidłowy podpis łatki. Pobieranie odrzucone."},
    {kStrErrManifest, L"Nieprawidłowy manifest łatki."},
    {kStrErrRollback, L"Serwer wysłał starszą wersję niż zainstalowana."},
    {kStrErrNoPublicKey, L"Nie skonfigurowano klucza publicznego (public_key)."},
    {kStrErrWrite, L"Nie można zapisać pliku:"},
    {kStrErrCorrupted, L"Plik uszkodzony po pobraniu:"},
    {kStrErrNoGameExe, L"Nie znaleziono pliku gry."},
    {kStrErrFileInUse, L"Plik w użyciu - zamknij grę i spróbuj ponownie:"},
    {kStrVersion, L"Wersja"},
    {kStrOffline, L"Tryb offline"},
    {kStrHome, L"Strona główna"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Pomoc"},
    {kStrRules, L"Zasady"},
    {kStrRegister, L"Rejestracja"},
    {kStrAllNews, L"Wszystkie aktualności"},
    {kStrAll, L"Wszystkie"},
    {kStrEvents, L"Wydarzenia"},
    {kStrNews, L"Aktualności"},
    {kStrUpdates, L"Aktualizacje"},
    {kStrTagEvent, L"WYDARZENIE"},
    {kStrTagNews, L"AKTUALNOŚCI"},
    {kStrTagUpdate, L"AKTUALIZACJA"},
    {kStrReadMore, L"Czytaj więcej"},
    {kStrBack, L"Wróć"},
    {kStrViewPost, L"Zobacz wpis"},
    {kStrSettings, L"USTAWIENIA"},
    {kStrResolution, L"Rozdzielczość"},
    {kStrWindowMode, L"Tryb okienkowy"},
    {kStrWindowModeHint, L"Graj w oknie zamiast na pełnym ekranie"},
    {kStrMusic, L"Muzyka"},
    {kStrEffects, L"Efekty"},
    {kStrOff, L"Wyłączone"},
    {kStrAdvancedSettings, L"Ustawienia zaawansowane"},
    {kStrRepairFiles, L"Napraw pliki"},
    {kStrWebsite, L"Strona WWW"},
    {kStrWait, L"CZEKAJ"},
    {kStrFiles, L"plików"},
    {kStrLeft, L"pozostało %1"},
    {kStrDownloading, L"Pobieranie"},
    {kStrCheckingLower, L"Sprawdzanie"},
    {kStrTeam, L"Zespół Quillmark"},
    {kStrStaff, L"Ekipa"},
    {kStrCloseGameForSettings, L"Zamknij grę, aby zmienić ustawienia"},
    {kStrLanguage, L"Język"},
    {kStrErrFolderBusy, L"Trwa już inna aktualizacja tego folderu gry."},
    {kStrErrExpired, L"Serwer aktualizacji jest nieaktualny: oferowana wersja wygasła %1."},
    {kStrErrDiskSpace,
     L"Za mało miejsca na dysku, aby przeprowadzić aktualizację: potrzeba %1, wolne jest %2."},
    {kStrErrCertificateUntrusted,
     L"Certyfikat bezpieczeństwa serwera aktualizacji nie pochodzi od zaufanego urzędu."},
    {kStrErrCertificateHost,
     L"Certyfikat bezpieczeństwa serwera aktualizacji wystawiono dla innej nazwy serwera."},
    {kStrErrCertificateExpired,
     L"Certyfikat bezpieczeństwa serwera aktualizacji wygasł lub nie jest jeszcze ważny."},
    {kStrErrSecureConnection,
     L"Bezpieczne połączenie z serwerem aktualizacji nie powiodło się: jego certyfikat lub "
     L"szyfrowanie zostały odrzucone."},
    {kStrPaused, L"WSTRZYMANO"},
    {kStrPausedMessage, L"Postęp zostaje zachowany; wznów w każdej chwili."},
};

constexpr TextRow<StringId> kTextsCz[] = {
    {kStrConnecting, L"Připojování k aktualizačnímu serveru..."},
    {kStrVerifying, L"Ověřování podpisu..."},
    {kStrChecking, L"KONTROLA"},
    {kStrUpdating, L"AKTUALIZACE"},
    {kStrApplying, L"Provádění změn..."},
    {kStrUpdatingLauncher, L"Aktualizace launcheru..."},
    {kStrReadyToPlay, L"PŘIPRAVENO KE HŘE"},
    {kStrUpToDate, L"Klient je aktuální"},
    {kStrError, L"CHYBA"},
    {kStrPlay, L"HRÁT"},
    {kStrUpdatingButton, L"AKTUALIZACE"},
    {kStrRetry, L"ZKUSIT ZNOVU"},
    {kStrRepair, L"Opravit"},
    {kStrNewsTitle, L"NOVINKY"},
    {kStrNoNews, L"Žádné novinky."},
    {kStrFile, L"Soubor"},
    {kStrTotal, L"Celkem"},
    {kStrErrConnect, L"Nelze se připojit k aktualizačnímu serveru."},
    {kStrErrSignature, L"Neplatný podpis aktualizace. Stahování odmítnuto."},
    {kStrErrManifest, L"Neplatný manifest aktualizace."},
    {kStrErrRollback, L"Server poslal starší verzi, než je nainstalovaná."},
    {kStrErrNoPublicKey, L"Veřejný klíč není nastaven (public_key)."},
    {kStrErrWrite, L"Nelze zapsat soubor:"},
    {kStrErrCorrupted, L"Soubor je po stažení poškozen:"},
    {kStrErrNoGameExe, L"Spustitelný soubor hry nebyl nalezen."},
    {kStrErrFileInUse, L"Soubor se používá - zavřete hru a zkuste to znovu:"},
    {kStrVersion, L"Verze"},
    {kStrOffline, L"Režim offline"},
    {kStrHome, L"Domů"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Podpora"},
    {kStrRules, L"Pravidla"},
    {kStrRegister, L"Registrace"},
    {kStrAllNews, L"Všechny novinky"},
    {kStrAll, L"Vše"},
    {kStrEvents, L"Události"},
    {kStrNews, L"Novinky"},
    {kStrUpdates, L"Aktualizace"},
    {kStrTagEvent, L"UDÁLOST"},
    {kStrTagNews, L"NOVINKA"},
    {kStrTagUpdate, L"AKTUALIZACE"},
    {kStrReadMore, L"Číst dále"},
    {kStrBack, L"Zpět"},
    {kStrViewPost, L"Zobrazit"},
    {kStrSettings, L"NASTAVENÍ"},
    {kStrResolution, L"Rozlišení"},
    {kStrWindowMode, L"Režim okna"},
    {kStrWindowModeHint, L"Hrát v okně místo celé obrazovky"},
    {kStrMusic, L"Hudba"},
    {kStrEffects, L"Efekty"},
    {kStrOff, L"Vypnuto"},
    {kStrAdvancedSettings, L"Pokročilá nastavení"},
    {kStrRepairFiles, L"Opravit soubory"},
    {kStrWebsite, L"Web"},
    {kStrWait, L"ČEKEJTE"},
    {kStrFiles, L"souborů"},
    {kStrLeft, L"zbývá %1"},
    {kStrDownloading, L"Stahování"},
    {kStrCheckingLower, L"Kontrola"},
    {kStrTeam, L"Tým Quillmark"},
    {kStrStaff, L"Tým"},
    {kStrCloseGameForSettings, L"Pro změnu nastavení zavřete hru"},
    {kStrLanguage, L"Jazyk"},
    {kStrErrFolderBusy, L"Již probíhá jiná aktualizace této složky hry."},
    {kStrErrExpired, L"Aktualizační server je zastaralý: nabízená verze vypršela %1."},
    {kStrErrDiskSpace, L"Na disku není dost místa pro aktualizaci: je potřeba %1, volných je %2."},
    {kStrErrCertificateUntrusted,
     L"Bezpečnostní certifikát aktualizačního serveru nepochází od důvěryhodné autority."},
    {kStrErrCertificateHost,
     L"Bezpečnostní certifikát aktualizačního serveru byl vydán pro jiný název serveru."},
    {kStrErrCertificateExpired,
     L"Bezpečnostní certifikát aktualizačního serveru vypršel nebo ještě není platný."},
    {kStrErrSecureConnection,
     L"Zabezpečené připojení k aktualizačnímu serveru selhalo: jeho certifikát nebo šifrování bylo "
     L"odmítnuto."},
    {kStrPaused, L"POZASTAVENO"},
    {kStrPausedMessage, L"Průběh zůstává uložen; pokračujte kdykoli."},
};

constexpr TextRow<StringId> kTextsHu[] = {
    {kStrConnecting, L"Csatlakozás a frissítési szerverhez..."},
    {kStrVerifying, L"Aláírás ellenőrzése..."},
    {kStrChecking, L"ELLENŐRZÉS"},
    {kStrUpdating, L"FRISSÍTÉS"},
    {kStrApplying, L"Változások alkalmazása..."},
    {kStrUpdatingLauncher, L"Indító frissítése..."},
    {kStrReadyToPlay, L"JÁTÉKRA KÉSZ"},
    {kStrUpToDate, L"A kliens naprakész"},
    {kStrError, L"HIBA"},
    {kStrPlay, L"JÁTÉK"},
    {kStrUpdatingButton, L"FRISSÍTÉS"},
    {kStrRetry, L"ÚJRA"},
    {kStrRepair, L"Javítás"},
    {kStrNewsTitle, L"HÍREK"},
    {kStrNoNews, L"Nincsenek hírek."},
    {kStrFile, L"Fájl"},
    {kStrTotal, L"Összesen"},
    {kStrErrConnect, L"Nem sikerült csatlakozni a frissítési szerverhez."},
    {kStrErrSignature, L"Érvénytelen frissítési aláírás. Letöltés elutasítva."},
    {kStrErrManifest, L"Érvénytelen frissítési jegyzék."},
    {kStrErrRollback, L"A szerver a telepítettnél régebbi verziót küldött."},
    {kStrErrNoPublicKey, L"Nincs beállítva nyilvános kulcs (public_key)."},
    {kStrErrWrite, L"Nem sikerült írni a fájlt:"},
    {kStrErrCorrupted, L"A fájl sérült a letöltés után:"},
    {kStrErrNoGameExe, L"A játék futtatható fájlja nem található."},
    {kStrErrFileInUse, L"A fájl használatban van - zárd be a játékot, és próbáld újra:"},
    {kStrVersion, L"Verzió"},
    {kStrOffline, L"Offline mód"},
    {kStrHome, L"Kezdőlap"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Támogatás"},
    {kStrRules, L"Szabályok"},
    {kStrRegister, L"Regisztráció"},
    {kStrAllNews, L"Összes hír"},
    {kStrAll, L"Összes"},
    {kStrEvents, L"Események"},
    {kStrNews, L"Hírek"},
    {kStrUpdates, L"Frissítések"},
    {kStrTagEvent, L"ESEMÉNY"},
    {kStrTagNews, L"HÍR"},
    {kStrTagUpdate, L"FRISSÍTÉS"},
    {kStrReadMore, L"Bővebben"},
    {kStrBack, L"Vissza"},
    {kStrViewPost, L"Megtekintés"},
    {kStrSettings, L"BEÁLLÍTÁSOK"},
    {kStrResolution, L"Felbontás"},
    {kStrWindowMode, L"Ablakos mód"},
    {kStrWindowModeHint, L"Játék ablakban teljes képernyő helyett"},
    {kStrMusic, L"Zene"},
    {kStrEffects, L"Effektek"},
    {kStrOff, L"Ki"},
    {kStrAdvancedSettings, L"Speciális beállítások"},
    {kStrRepairFiles, L"Fájlok javítása"},
    {kStrWebsite, L"Weboldal"},
    {kStrWait, L"VÁRJ"},
    {kStrFiles, L"fájl"},
    {kStrLeft, L"még %1"},
    {kStrDownloading, L"Letöltés"},
    {kStrCheckingLower, L"Ellenőrzés"},
    {kStrTeam, L"Quillmark csapat"},
    {kStrStaff, L"Stáb"},
    {kStrCloseGameForSettings, L"A beállítások módosításához zárd be a játékot"},
    {kStrLanguage, L"Nyelv"},
    {kStrErrFolderBusy, L"A játékmappa egy másik frissítése már folyamatban van."},
    {kStrErrExpired, L"A frissítési szerver elavult: a felkínált verzió lejárati ideje %1."},
    {kStrErrDiskSpace,
     L"Nincs elég szabad hely a lemezen a frissítéshez: %1 szükséges, de csak %2 szabad."},
    {kStrErrCertificateUntrusted,
     L"A frissítési szerver biztonsági tanúsítványa nem megbízható hitelesítésszolgáltatótól "
     L"származik."},
    {kStrErrCertificateHost,
     L"A frissítési szerver biztonsági tanúsítványát egy másik szervernévre állították ki."},
    {kStrErrCertificateExpired,
     L"A frissítési szerver biztonsági tanúsítványa lejárt, vagy még nem érvényes."},
    {kStrErrSecureConnection,
     L"A biztonságos kapcsolat a frissítési szerverrel nem jött létre: a tanúsítványát vagy a "
     L"titkosítását elutasítottuk."},
    {kStrPaused, L"SZÜNETEL"},
    {kStrPausedMessage, L"A haladás megmarad; bármikor folytathatja."},
};

constexpr TextRow<StringId> kTextsTr[] = {
    {kStrConnecting, L"Yama sunucusuna bağlanılıyor..."},
    {kStrVerifying, L"İmza doğrulanıyor..."},
    {kStrChecking, L"KONTROL EDİLİYOR"},
    {kStrUpdating, L"GÜNCELLENİYOR"},
    {kStrApplying, L"Değişiklikler uygulanıyor..."},
    {kStrUpdatingLauncher, L"Başlatıcı güncelleniyor..."},
    {kStrReadyToPlay, L"OYNAMAYA HAZIR"},
    {kStrUpToDate, L"İstemci güncel"},
    {kStrError, L"HATA"},
    {kStrPlay, L"OYNA"},
    {kStrUpdatingButton, L"GÜNCELLENİYOR"},
    {kStrRetry, L"TEKRAR DENE"},
    {kStrRepair, L"Onar"},
    {kStrNewsTitle, L"HABERLER"},
    {kStrNoNews, L"Haber yok."},
    {kStrFile, L"Dosya"},
    {kStrTotal, L"Toplam"},
    {kStrErrConnect, L"Yama sunucusuna bağlanılamadı."},
    {kStrErrSignature, L"Geçersiz yama imzası. İndirme reddedildi."},
    {kStrErrManifest, L"Geçersiz yama manifesti."},
    {kStrErrRollback, L"Sunucu yüklü olandan daha eski bir sürüm gönderdi."},
    {kStrErrNoPublicKey, L"Genel anahtar yapılandırılmamış (public_key)."},
    {kStrErrWrite, L"Dosya yazılamadı:"},
    {kStrErrCorrupted, L"İndirme sonrası dosya bozuk:"},
    {kStrErrNoGameExe, L"Oyun dosyası bulunamadı."},
    {kStrErrFileInUse, L"Dosya kullanımda - oyunu kapatıp tekrar deneyin:"},
    {kStrVersion, L"Sürüm"},
    {kStrOffline, L"Çevrimdışı mod"},
    {kStrHome, L"Ana Sayfa"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Destek"},
    {kStrRules, L"Kurallar"},
    {kStrRegister, L"Kayıt Ol"},
    {kStrAllNews, L"Tüm haberler"},
    {kStrAll, L"Tümü"},
    {kStrEvents, L"Etkinlikler"},
    {kStrNews, L"Haberler"},
    {kStrUpdates, L"Güncellemeler"},
    {kStrTagEvent, L"ETKİNLİK"},
    {kStrTagNews, L"HABER"},
    {kStrTagUpdate, L"GÜNCELLEME"},
    {kStrReadMore, L"Devamını oku"},
    {kStrBack, L"Geri"},
    {kStrViewPost, L"Gönderiyi gör"},
    {kStrSettings, L"AYARLAR"},
    {kStrResolution, L"Çözünürlük"},
    {kStrWindowMode, L"Pencere modu"},
    {kStrWindowModeHint, L"Tam ekran yerine pencerede oyna"},
    {kStrMusic, L"Müzik"},
    {kStrEffects, L"Efektler"},
    {kStrOff, L"Kapalı"},
    {kStrAdvancedSettings, L"Gelişmiş ayarlar"},
    {kStrRepairFiles, L"Dosyaları onar"},
    {kStrWebsite, L"Web sitesi"},
    {kStrWait, L"BEKLEYİN"},
    {kStrFiles, L"dosya"},
    {kStrLeft, L"%1 kaldı"},
    {kStrDownloading, L"İndiriliyor"},
    {kStrCheckingLower, L"Kontrol ediliyor"},
    {kStrTeam, L"Quillmark Ekibi"},
    {kStrStaff, L"Ekip"},
    {kStrCloseGameForSettings, L"Ayarları değiştirmek için oyunu kapatın"},
    {kStrLanguage, L"Dil"},
    {kStrErrFolderBusy, L"Bu oyun klasörünün başka bir güncellemesi zaten çalışıyor."},
    {kStrErrExpired, L"Yama sunucusu güncel değil: sunduğu sürümün süresi %1 tarihinde doldu."},
    {kStrErrDiskSpace, L"Güncelleme için diskte yeterli alan yok: %1 gerekiyor, boş alan %2."},
    {kStrErrCertificateUntrusted,
     L"Yama sunucusunun güvenlik sertifikası güvenilir bir yetkiliden gelmiyor."},
    {kStrErrCertificateHost,
     L"Yama sunucusunun güvenlik sertifikası başka bir sunucu adı için verilmiş."},
    {kStrErrCertificateExpired,
     L"Yama sunucusunun güvenlik sertifikasının süresi dolmuş veya henüz geçerli değil."},
    {kStrErrSecureConnection,
     L"Yama sunucusuyla güvenli bağlantı kurulamadı: sertifikası veya şifrelemesi reddedildi."},
    {kStrPaused, L"DURAKLATILDI"},
    {kStrPausedMessage, L"İlerleme korunur; istediğiniz zaman sürdürün."},
};

// Greek capitals without accents, as Greek typesetting writes all-capital text.
constexpr TextRow<StringId> kTextsGr[] = {
    {kStrConnecting, L"Σύνδεση στον διακομιστή ενημερώσεων..."},
    {kStrVerifying, L"Επαλήθευση υπογραφής..."},
    {kStrChecking, L"ΕΛΕΓΧΟΣ"},
    {kStrUpdating, L"ΕΝΗΜΕΡΩΣΗ"},
    {kStrApplying, L"Εφαρμογή αλλαγών..."},
    {kStrUpdatingLauncher, L"Ενημέρωση προγράμματος εκκίνησης..."},
    {kStrReadyToPlay, L"ΕΤΟΙΜΟ ΓΙΑ ΠΑΙΧΝΙΔΙ"},
    {kStrUpToDate, L"Το παιχνίδι είναι ενημερωμένο"},
    {kStrError, L"ΣΦΑΛΜΑ"},
    {kStrPlay, L"ΠΑΙΞΕ"},
    {kStrUpdatingButton, L"ΕΝΗΜΕΡΩΣΗ"},
    {kStrRetry, L"ΞΑΝΑ"},
    {kStrRepair, L"Επιδιόρθωση"},
    {kStrNewsTitle, L"ΝΕΑ"},
    {kStrNoNews, L"Δεν υπάρχουν νέα."},
    {kStrFile, L"Αρχείο"},
    {kStrTotal, L"Σύνολο"},
    {kStrErrConnect, L"Αδυναμία σύνδεσης στον διακομιστή ενημερώσεων."},
    {kStrErrSignature, L"Μη έγκυρη υπογραφή ενημέρωσης. Η λήψη απορρίφθηκε."},
    {kStrErrManifest, L"Μη έγκυρο μανιφέστο ενημέρωσης."},
    {kStrErrRollback, L"Ο διακομιστής έστειλε παλαιότερη έκδοση από την εγκατεστημένη."},
    {kStrErrNoPublicKey, L"Το δημόσιο κλειδί δεν έχει ρυθμιστεί (public_key)."},
    {kStrErrWrite, L"Αδυναμία εγγραφής αρχείου:"},
    {kStrErrCorrupted, L"Το αρχείο είναι κατεστραμμένο μετά τη λήψη:"},
    {kStrErrNoGameExe, L"Το εκτελέσιμο του παιχνιδιού δεν βρέθηκε."},
    {kStrErrFileInUse, L"Το αρχείο χρησιμοποιείται - κλείστε το παιχνίδι και δοκιμάστε ξανά:"},
    {kStrVersion, L"Έκδοση"},
    {kStrOffline, L"Λειτουργία εκτός σύνδεσης"},
    {kStrHome, L"Αρχική"},
    {kStrDiscord, L"Discord"},
    {kStrSupport, L"Υποστήριξη"},
    {kStrRules, L"Κανόνες"},
    {kStrRegister, L"Εγγραφή"},
    {kStrAllNews, L"Όλα τα νέα"},
    {kStrAll, L"Όλα"},
    {kStrEvents, L"Εκδηλώσεις"},
    {kStrNews, L"Νέα"},
    {kStrUpdates, L"Ενημερώσεις"},
    {kStrTagEvent, L"ΕΚΔΗΛΩΣΗ"},
    {kStrTagNews, L"ΝΕΑ"},
    {kStrTagUpdate, L"ΕΝΗΜΕΡΩΣΗ"},
    {kStrReadMore, L"Περισσότερα"},
    {kStrBack, L"Πίσω"},
    {kStrViewPost, L"Προβολή"},
    {kStrSettings, L"ΡΥΘΜΙΣΕΙΣ"},
    {kStrResolution, L"Ανάλυση"},
    {kStrWindowMode, L"Λειτουργία παραθύρου"},
    {kStrWindowModeHint, L"Παιχνίδι σε παράθυρο αντί για πλήρη οθόνη"},
    {kStrMusic, L"Μουσική"},
    {kStrEffects, L"Εφέ"},
    {kStrOff, L"Ανενεργό"},
    {kStrAdvancedSettings, L"Ρυθμίσεις για προχωρημένους"},
    {kStrRepairFiles, L"Επιδιόρθωση αρχείων"},
    {kStrWebsite, L"Ιστότοπος"},
    {kStrWait, L"ΠΕΡΙΜΕΝΕΤΕ"},
    {kStrFiles, L"αρχεία"},
    {kStrLeft, L"απομένουν %1"},
    {kStrDownloading, L"Λήψη"},
    {kStrCheckingLower, L"Έλεγχος"},
    {kStrTeam, L"Ομάδα Quillmark"},
    {kStrStaff, L"Προσωπικό"},
    {kStrCloseGameForSettings, L"Κλείστε το παιχνίδι για να αλλάξετε ρυθμίσεις"},
    {kStrLanguage, L"Γλώσσα"},
    {kStrErrFolderBusy, L"Εκτελείται ήδη άλλη ενημέρωση αυτού του φακέλου του παιχνιδιού."},
    {kStrErrExpired,
     L"Ο διακομιστής ενημερώσεων δεν είναι ενημερωμένος: η έκδοση που προσφέρει έληξε στις %1."},
    {kStrErrDiskSpace,
     (L"Δεν υπάρχει αρκετός χώρος στον δίσκο για την ενημέρωση: απαιτούνται %1, ενώ ελεύθερα είναι "
      L"%2.")},
    {kStrErrCertificateUntrusted,
     L"Το πιστοποιητικό ασφαλείας του διακομιστή ενημερώσεων δεν προέρχεται από αξιόπιστη αρχή."},
    {kStrErrCertificateHost,
     L"Το πιστοποιητικό ασφαλείας του διακομιστή ενημερώσεων εκδόθηκε για άλλο όνομα διακομιστή."},
    {kStrErrCertificateExpired,
     L"Το πιστοποιητικό ασφαλείας του διακομιστή ενημερώσεων έχει λήξει ή δεν ισχύει ακόμη."},
    {kStrErrSecureConnection,
     L"Η ασφαλής σύνδεση με τον διακομιστή ενημερώσεων απέτυχε: το πιστοποιητικό ή η κρυπτογράφησή "
     L"του απορρίφθηκε."},
    {kStrPaused, L"ΣΕ ΠΑΥΣΗ"},
    {kStrPausedMessage, L"Η πρόοδος διατηρείται· συνεχίστε όποτε θέλετε."},
};

static_assert(isCompleteTextTable(kTextsPt, kUiStringCount));
static_assert(isCompleteTextTable(kTextsEn, kUiStringCount));
static_assert(isCompleteTextTable(kTextsEs, kUiStringCount));
static_assert(isCompleteTextTable(kTextsFr, kUiStringCount));
static_assert(isCompleteTextTable(kTextsDe, kUiStringCount));
static_assert(isCompleteTextTable(kTextsIt, kUiStringCount));
static_assert(isCompleteTextTable(kTextsRo, kUiStringCount));
static_assert(isCompleteTextTable(kTextsPl, kUiStringCount));
static_assert(isCompleteTextTable(kTextsCz, kUiStringCount));
static_assert(isCompleteTextTable(kTextsHu, kUiStringCount));
static_assert(isCompleteTextTable(kTextsTr, kUiStringCount));
static_assert(isCompleteTextTable(kTextsGr, kUiStringCount));

// ---------------------------------------------------------------------------------------------
// 2. UI language table
// ---------------------------------------------------------------------------------------------

struct UiLanguage {
  const char* code;  // two lower-case ASCII letters ("cz", "gr" as the client has them)
  const TextRow<StringId>* texts;  // a complete table
  bool decimalComma;               // numbers shown with "," instead of "."
  unsigned windowsId;              // Windows primary language id
};

constexpr int kEnglish = 1;

// English carries its own primary id (9); every id not listed here also falls back to it.
const UiLanguage kUiLanguages[] = {
    {"pt", kTextsPt, true, 0x16}, {"en", kTextsEn, false, 0x09}, {"es", kTextsEs, true, 0x0A},
    {"fr", kTextsFr, true, 0x0C}, {"de", kTextsDe, true, 0x07},  {"it", kTextsIt, true, 0x10},
    {"ro", kTextsRo, true, 0x18}, {"pl", kTextsPl, true, 0x15},  {"cz", kTextsCz, true, 0x05},
    {"hu", kTextsHu, true, 0x0E}, {"tr", kTextsTr, true, 0x1F},  {"gr", kTextsGr, true, 0x08},
};
static_assert(std::size(kUiLanguages) == kUiLanguageCount);

// ---------------------------------------------------------------------------------------------
// 3. Current UI language
// ---------------------------------------------------------------------------------------------

// Written only by the UI thread; the update thread reads it when it makes an error text. The
// texts themselves are constant, so a relaxed atomic index is all the two threads share.
std::atomic<int> g_uiLanguage{kEnglish};

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// code is compared with a lower-case ASCII code; other bytes compare exactly.
bool sameCode(std::string_view code, const char* lowerCode) {
  std::string_view want(lowerCode);
  if (code.size() != want.size()) return false;
  for (size_t i = 0; i < code.size(); ++i) {
    if (asciiLower(code[i]) != want[i]) return false;
  }
  return true;
}

const UiLanguage& currentLanguage() {
  return kUiLanguages[g_uiLanguage.load(std::memory_order_relaxed)];
}

// ---------------------------------------------------------------------------------------------
// 4. Client language list
// ---------------------------------------------------------------------------------------------

const ClientLanguage kClientLanguages[] = {
    {"pt", "1252", L"Português"}, {"en", "1252", L"English"}, {"es", "1252", L"Español"},
    {"fr", "1252", L"Français"},  {"de", "1252", L"Deutsch"}, {"it", "1252", L"Italiano"},
    {"ro", "1250", L"Română"},    {"pl", "1250", L"Polski"},  {"cz", "1250", L"Čeština"},
    {"hu", "1250", L"Magyar"},    {"tr", "1254", L"Türkçe"},  {"gr", "1253", L"Ελληνικά"},
};
static_assert(std::size(kClientLanguages) == kClientLanguageCount);

}  // namespace

void setUiLanguage(std::string_view code) {
  int chosen = kEnglish;
  for (int row = 0; row < kUiLanguageCount; ++row) {
    if (sameCode(code, kUiLanguages[row].code)) {
      chosen = row;
      break;
    }
  }
  g_uiLanguage.store(chosen, std::memory_order_relaxed);
}

const wchar_t* uiText(StringId id) {
  if (id < 0 || id >= kUiStringCount) return L"";
  return currentLanguage().texts[id].text;
}

const char* uiLanguageCode() { return currentLanguage().code; }

bool usesDecimalComma() { return currentLanguage().decimalComma; }

int uiLanguageIndex() { return g_uiLanguage.load(std::memory_order_relaxed); }

const char* uiLanguageForWindowsId(unsigned primaryLanguageId) {
  // A full LANGID (sub-language in the upper bits) is reduced to its primary id, so that
  // Portuguese (Brazil) and Portuguese (Portugal) both give "pt".
  const unsigned primary = primaryLanguageId & 0x3FF;
  for (const UiLanguage& row : kUiLanguages) {
    if (row.windowsId == primary) return row.code;
  }
  return kUiLanguages[kEnglish].code;
}

std::wstring uiTextWith(StringId id, std::wstring_view value) {
  std::wstring text = uiText(id);
  const std::size_t at = text.find(L"%1");
  if (at != std::wstring::npos) text.replace(at, 2, value);
  return text;
}

std::wstring uiTextWith(StringId id, std::wstring_view first, std::wstring_view second) {
  std::wstring text = uiTextWith(id, first);
  const std::size_t at = text.find(L"%2");
  if (at != std::wstring::npos) text.replace(at, 2, second);
  return text;
}

std::wstring diskSizeText(std::uint64_t bytes, bool roundUp) {
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024.0;
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
    value /= 1024.0;
    ++unit;
  }
  // One decimal below 100 units; rounded the given way, so that a size needed and a smaller
  // size free never print alike.
  const double scale = value < 100.0 ? 10.0 : 1.0;
  value = roundUp ? std::ceil(value * scale - 1e-9) / scale : std::floor(value * scale) / scale;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, scale > 1.0 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  std::wstring out;
  for (const char* c = buffer; *c != '\0'; ++c) {
    out += *c == '.' && usesDecimalComma() ? L',' : static_cast<wchar_t>(*c);
  }
  return out;
}

const wchar_t* uiTextIn(int lang, int id) {
  if (lang < 0 || lang >= kUiLanguageCount || id < 0 || id >= kUiStringCount) return L"";
  return kUiLanguages[lang].texts[id].text;
}

const char* uiLanguageCodeAt(int lang) {
  if (lang < 0 || lang >= kUiLanguageCount) return "";
  return kUiLanguages[lang].code;
}

const ClientLanguage& clientLanguage(int index) {
  // An index from outside the list (a caller's mistake) reads as the default row rather than
  // past the end of the array.
  if (index < 0 || index >= kClientLanguageCount) return kClientLanguages[0];
  return kClientLanguages[index];
}

int findClientLanguage(std::string_view code) {
  for (int i = 0; i < kClientLanguageCount; ++i) {
    if (sameCode(code, kClientLanguages[i].code)) return i;
  }
  return -1;
}
