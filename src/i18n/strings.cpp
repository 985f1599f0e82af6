// The UI string table and the client language list.
//
//   1. Texts: one array of 66 texts per UI language, in StringId order.
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

namespace {

// ---------------------------------------------------------------------------------------------
// 1. Texts
// ---------------------------------------------------------------------------------------------

// Arrays are sized by their initialisers and checked below, so a missing or extra text fails
// the build instead of shifting every later id.

const wchar_t* const kTextsPt[] = {
    L"A ligar ao servidor de patch...",
    L"A verificar a assinatura...",
    L"A VERIFICAR",
    L"A ATUALIZAR",
    L"A aplicar alterações...",
    L"A atualizar o launcher...",
    L"PRONTO A JOGAR",
    L"Cliente atualizado",
    L"ERRO",
    L"JOGAR",
    L"A ATUALIZAR",
    L"TENTAR DE NOVO",
    L"Reparar",
    L"NOTÍCIAS",
    L"Sem notícias.",
    L"Ficheiro",
    L"Total",
    L"Não foi possível ligar ao servidor de patch.",
    L"Assinatura do patch inválida. Transferência recusada.",
    L"Manifesto do patch inválido.",
    L"O servidor enviou uma versão mais antiga do que a instalada.",
    L"Chave pública não configurada (public_key).",
    L"Não foi possível escrever o ficheiro:",
    L"Ficheiro corrompido após a transferência:",
    L"Executável do jogo não encontrado.",
    L"Ficheiro em uso - feche o jogo e tente novamente:",
    L"Versão",
    L"Modo offline",
    L"Início",
    L"Discord",
    L"Suporte",
    L"Regras",
    L"Registar",
    L"Todas as notícias",
    L"Todas",
    L"Eventos",
    L"Notícias",
    L"Atualizações",
    L"EVENTO",
    L"NOTÍCIA",
    L"ATUALIZAÇÃO",
    L"Ler mais",
    L"Voltar",
    L"Ver publicação",
    L"DEFINIÇÕES",
    L"Resolução",
    L"Modo janela",
    L"Jogar numa janela em vez de ecrã inteiro",
    L"Música",
    L"Efeitos",
    L"Desligado",
    L"Definições avançadas",
    L"Reparar ficheiros",
    L"Site",
    L"AGUARDE",
    L"ficheiros",
    L"faltam",
    L"A transferir",
    L"A verificar",
    L"Equipa Quillmark",
    L"Equipa",
    L"Feche o jogo para alterar as definições",
    L"Idioma",
    L"Já está em curso outra atualização desta pasta do jogo.",
    L"O servidor de patch está desatualizado: a versão que oferece expirou em %1.",
    L"Espaço em disco insuficiente para a atualização: são necessários %1 e há %2 livres.",
};

const wchar_t* const kTextsEn[] = {
    L"Connecting to patch server...",
    L"Verifying signature...",
    L"CHECKING",
    L"UPDATING",
    L"Applying changes...",
    L"Updating launcher...",
    L"READY TO PLAY",
    L"Client up to date",
    L"ERROR",
    L"PLAY",
    L"UPDATING",
    L"RETRY",
    L"Repair",
    L"NEWS",
    L"No news.",
    L"File",
    L"Total",
    L"Could not connect to the patch server.",
    L"Invalid patch signature. Download refused.",
    L"Invalid patch manifest.",
    L"The server sent an older version than the installed one.",
    L"Public key not configured (public_key).",
    L"Could not write file:",
    L"File corrupted after download:",
    L"Game executable not found.",
    L"File in use - close the game and try again:",
    L"Version",
    L"Offline mode",
    L"Home",
    L"Discord",
    L"Support",
    L"Rules",
    L"Register",
    L"All news",
    L"All",
    L"Events",
    L"News",
    L"Updates",
    L"EVENT",
    L"NEWS",
    L"UPDATE",
    L"Read more",
    L"Back",
    L"View post",
    L"SETTINGS",
    L"Resolution",
    L"Window mode",
    L"Play in a window instead of fullscreen",
    L"Music",
    L"Effects",
    L"Off",
    L"Advanced settings",
    L"Repair files",
    L"Website",
    L"WAIT",
    L"files",
    L"left",
    L"Downloading",
    L"Checking",
    L"Quillmark Team",
    L"Staff",
    L"Close the game to change settings",
    L"Language",
    L"Another update of this game folder is running.",
    L"The patch server is out of date: the release it offers expired on %1.",
    L"Not enough disk space for the update: it needs %1, and %2 is free.",
};

const wchar_t* const kTextsEs[] = {
    L"Conectando con el servidor de parches...",
    L"Verificando la firma...",
    L"COMPROBANDO",
    L"ACTUALIZANDO",
    L"Aplicando cambios...",
    L"Actualizando el lanzador...",
    L"LISTO PARA JUGAR",
    L"Cliente actualizado",
    L"ERROR",
    L"JUGAR",
    L"ACTUALIZANDO",
    L"REINTENTAR",
    L"Reparar",
    L"NOTICIAS",
    L"No hay noticias.",
    L"Archivo",
    L"Total",
    L"No se pudo conectar con el servidor de parches.",
    L"Firma del parche no válida. Descarga rechazada.",
    L"Manifiesto del parche no válido.",
    L"El servidor envió una versión más antigua que la instalada.",
    L"Clave pública no configurada (public_key).",
    L"No se pudo escribir el archivo:",
    L"Archivo dañado tras la descarga:",
    L"No se encontró el ejecutable del juego.",
    L"Archivo en uso - cierra el juego e inténtalo de nuevo:",
    L"Versión",
    L"Modo sin conexión",
    L"Inicio",
    L"Discord",
    L"Soporte",
    L"Normas",
    L"Registrarse",
    L"Todas las noticias",
    L"Todas",
    L"Eventos",
    L"Noticias",
    L"Actualizaciones",
    L"EVENTO",
    L"NOTICIA",
    L"ACTUALIZACIÓN",
    L"Leer más",
    L"Volver",
    L"Ver publicación",
    L"AJUSTES",
    L"Resolución",
    L"Modo ventana",
    L"Jugar en una ventana en lugar de pantalla completa",
    L"Música",
    L"Efectos",
    L"Desactivado",
    L"Ajustes avanzados",
    L"Reparar archivos",
    L"Sitio web",
    L"ESPERA",
    L"archivos",
    L"quedan",
    L"Descargando",
    L"Comprobando",
    L"Equipo Quillmark",
    L"Equipo",
    L"Cierra el juego para cambiar los ajustes",
    L"Idioma",
    L"Ya se está ejecutando otra actualización de esta carpeta del juego.",
    L"El servidor de parches está desactualizado: la versión que ofrece caducó el %1.",
    (L"No hay espacio suficiente en el disco para la actualización: se necesitan %1 y hay %2 "
     L"libres."),
};

// French puts a no-break space before a colon, so the colon never starts a line of its own.
const wchar_t* const kTextsFr[] = {
    L"Connexion au serveur de mise à jour...",
    L"Vérification de la signature...",
    L"VÉRIFICATION",
    L"MISE À JOUR",
    L"Application des modifications...",
    L"Mise à jour du lanceur...",
    L"PRÊT À JOUER",
    L"Client à jour",
    L"ERREUR",
    L"JOUER",
    L"MISE À JOUR",
    L"RÉESSAYER",
    L"Réparer",
    L"ACTUALITÉS",
    L"Aucune actualité.",
    L"Fichier",
    L"Total",
    L"Impossible de se connecter au serveur de mise à jour.",
    L"Signature du patch invalide. Téléchargement refusé.",
    L"Manifeste du patch invalide.",
    L"Le serveur a envoyé une version plus ancienne que celle installée.",
    L"Clé publique non configurée (public_key).",
    L"Impossible d'écrire le fichier\u00A0:",
    L"Fichier corrompu après le téléchargement\u00A0:",
    L"Exécutable du jeu introuvable.",
    L"Fichier en cours d'utilisation - fermez le jeu et réessayez\u00A0:",
    L"Version",
    L"Mode hors ligne",
    L"Accueil",
    L"Discord",
    L"Assistance",
    L"Règles",
    L"Inscription",
    L"Toutes les actualités",
    L"Toutes",
    L"Événements",
    L"Actualités",
    L"Mises à jour",
    L"ÉVÉNEMENT",
    L"ACTUALITÉ",
    L"MISE À JOUR",
    L"Lire la suite",
    L"Retour",
    L"Voir l'article",
    L"PARAMÈTRES",
    L"Résolution",
    L"Mode fenêtré",
    L"Jouer dans une fenêtre plutôt qu'en plein écran",
    L"Musique",
    L"Effets",
    L"Désactivé",
    L"Paramètres avancés",
    L"Réparer les fichiers",
    L"Site web",
    L"PATIENTEZ",
    L"fichiers",
    L"reste",
    L"Téléchargement",
    L"Vérification",
    L"Équipe Quillmark",
    L"Équipe",
    L"Fermez le jeu pour modifier les paramètres",
    L"Langue",
    L"Une autre mise à jour de ce dossier de jeu est en cours.",
    L"Le serveur de mise à jour n'est plus à jour\u00A0: la version qu'il propose a expiré le %1.",
    L"Espace disque insuffisant pour la mise à jour\u00A0: %1 nécessaires, %2 disponibles.",
};

const wchar_t* const kTextsDe[] = {
    L"Verbinde mit dem Patch-Server...",
    L"Prüfe Signatur...",
    L"PRÜFUNG",
    L"AKTUALISIERUNG",
    L"Wende Änderungen an...",
    L"Aktualisiere Launcher...",
    L"BEREIT ZUM SPIELEN",
    L"Client ist aktuell",
    L"FEHLER",
    L"SPIELEN",
    L"AKTUALISIERUNG",
    L"ERNEUT VERSUCHEN",
    L"Reparieren",
    L"NEUIGKEITEN",
    L"Keine Neuigkeiten.",
    L"Datei",
    L"Gesamt",
    L"Verbindung zum Patch-Server fehlgeschlagen.",
    L"Ungültige Patch-Signatur. Download abgelehnt.",
    L"Ungültiges Patch-Manifest.",
    L"Der Server hat eine ältere Version als die installierte gesendet.",
    L"Öffentlicher Schlüssel nicht konfiguriert (public_key).",
    L"Datei konnte nicht geschrieben werden:",
    L"Datei nach dem Download beschädigt:",
    L"Spieldatei nicht gefunden.",
    L"Datei in Benutzung - schließe das Spiel und versuche es erneut:",
    L"Version",
    L"Offline-Modus",
    L"Startseite",
    L"Discord",
    L"Hilfe",
    L"Regeln",
    L"Registrieren",
    L"Alle Neuigkeiten",
    L"Alle",
    L"Ereignisse",
    L"Neuigkeiten",
    L"Updates",
    L"EREIGNIS",
    L"NEUIGKEIT",
    L"UPDATE",
    L"Weiterlesen",
    L"Zurück",
    L"Beitrag ansehen",
    L"EINSTELLUNGEN",
    L"Auflösung",
    L"Fenstermodus",
    L"Im Fenster statt im Vollbild spielen",
    L"Musik",
    L"Effekte",
    L"Aus",
    L"Erweiterte Einstellungen",
    L"Dateien reparieren",
    L"Webseite",
    L"WARTEN",
    L"Dateien",
    L"noch",
    L"Lade",
    L"Prüfe",
    L"Quillmark-Team",
    L"Team",
    L"Schließe das Spiel, um Einstellungen zu ändern",
    L"Sprache",
    L"Eine andere Aktualisierung dieses Spielordners läuft bereits.",
    L"Der Patch-Server ist veraltet: Die angebotene Version ist am %1 abgelaufen.",
    L"Nicht genug Speicherplatz für das Update: Benötigt werden %1, frei sind %2.",
};

const wchar_t* const kTextsIt[] = {
    L"Connessione al server delle patch...",
    L"Verifica della firma...",
    L"VERIFICA",
    L"AGGIORNAMENTO",
    L"Applicazione delle modifiche...",
    L"Aggiornamento del launcher...",
    L"PRONTO PER GIOCARE",
    L"Client aggiornato",
    L"ERRORE",
    L"GIOCA",
    L"AGGIORNAMENTO",
    L"RIPROVA",
    L"Ripara",
    L"NOTIZIE",
    L"Nessuna notizia.",
    L"File",
    L"Totale",
    L"Impossibile connettersi al server delle patch.",
    L"Firma della patch non valida. Download rifiutato.",
    L"Manifesto della patch non valido.",
    L"Il server ha inviato una versione più vecchia di quella installata.",
    L"Chiave pubblica non configurata (public_key).",
    L"Impossibile scrivere il file:",
    L"File danneggiato dopo il download:",
    L"Eseguibile del gioco non trovato.",
    L"File in uso - chiudi il gioco e riprova:",
    L"Versione",
    L"Modalità offline",
    L"Home",
    L"Discord",
    L"Assistenza",
    L"Regole",
    L"Registrati",
    L"Tutte le notizie",
    L"Tutte",
    L"Eventi",
    L"Notizie",
    L"Aggiornamenti",
    L"EVENTO",
    L"NOTIZIA",
    L"AGGIORNAMENTO",
    L"Leggi di più",
    L"Indietro",
    L"Vedi articolo",
    L"IMPOSTAZIONI",
    L"Risoluzione",
    L"Modalità finestra",
    L"Gioca in una finestra invece che a schermo intero",
    L"Musica",
    L"Effetti",
    L"Disattivato",
    L"Impostazioni avanzate",
    L"Ripara file",
    L"Sito web",
    L"ATTENDI",
    L"file",
    L"mancano",
    L"Scaricamento",
    L"Verifica",
    L"Team Quillmark",
    L"Staff",
    L"Chiudi il gioco per modificare le impostazioni",
    L"Lingua",
    L"È già in corso un altro aggiornamento di questa cartella di gioco.",
    L"Il server delle patch non è aggiornato: la versione offerta è scaduta il %1.",
    L"Spazio su disco insufficiente per l'aggiornamento: servono %1 e ne sono liberi %2.",
};

// Romanian with the comma-below letters (U+0218..U+021B), not the cedilla look-alikes.
const wchar_t* const kTextsRo[] = {
    L"Se conectează la serverul de patch...",
    L"Se verifică semnătura...",
    L"VERIFICARE",
    L"ACTUALIZARE",
    L"Se aplică modificările...",
    L"Se actualizează launcherul...",
    L"GATA DE JOC",
    L"Client actualizat",
    L"EROARE",
    L"JOACĂ",
    L"ACTUALIZARE",
    L"REÎNCEARCĂ",
    L"Repară",
    L"NOUTĂȚI",
    L"Nicio noutate.",
    L"Fișier",
    L"Total",
    L"Nu s-a putut realiza conexiunea la serverul de patch.",
    L"Semnătura patch-ului este invalidă. Descărcare refuzată.",
    L"Manifestul patch-ului este invalid.",
    L"Serverul a trimis o versiune mai veche decât cea instalată.",
    L"Cheia publică nu este configurată (public_key).",
    L"Nu s-a putut scrie fișierul:",
    L"Fișier corupt după descărcare:",
    L"Executabilul jocului nu a fost găsit.",
    L"Fișier în uz - închide jocul și încearcă din nou:",
    L"Versiune",
    L"Mod offline",
    L"Acasă",
    L"Discord",
    L"Asistență",
    L"Reguli",
    L"Înregistrare",
    L"Toate noutățile",
    L"Toate",
    L"Evenimente",
    L"Noutăți",
    L"Actualizări",
    L"EVENIMENT",
    L"NOUTATE",
    L"ACTUALIZARE",
    L"Citește mai mult",
    L"Înapoi",
    L"Vezi articolul",
    L"SETĂRI",
    L"Rezoluție",
    L"Mod fereastră",
    L"Joacă într-o fereastră în loc de ecran complet",
    L"Muzică",
    L"Efecte",
    L"Oprit",
    L"Setări avansate",
    L"Repară fișierele",
    L"Site web",
    L"AȘTEAPTĂ",
    L"fișiere",
    L"rămân",
    L"Se descarcă",
    L"Se verifică",
    L"Echipa Quillmark",
    L"Echipă",
    L"Închide jocul pentru a schimba setările",
    L"Limbă",
    L"O altă actualizare a acestui dosar al jocului este în curs.",
    L"Serverul de patch nu este actualizat: versiunea oferită a expirat la %1.",
    (L"Nu există suficient spațiu pe disc pentru actualizare: sunt necesari %1, iar liberi sunt "
     L"doar %2."),
};

const wchar_t* const kTextsPl[] = {
    L"Łączenie z serwerem aktualizacji...",
    L"Weryfikowanie podpisu...",
    L"SPRAWDZANIE",
    L"AKTUALIZACJA",
    L"Wprowadzanie zmian...",
    L"Aktualizowanie launchera...",
    L"GOTOWE DO GRY",
    L"Klient jest aktualny",
    L"BŁĄD",
    L"GRAJ",
    L"AKTUALIZACJA",
    L"SPRÓBUJ PONOWNIE",
    L"Napraw",
    L"AKTUALNOŚCI",
    L"Brak aktualności.",
    L"Plik",
    L"Łącznie",
    L"Nie można połączyć się z serwerem aktualizacji.",
    L"Nieprawidłowy podpis łatki. Pobieranie odrzucone.",
    L"Nieprawidłowy manifest łatki.",
    L"Serwer wysłał starszą wersję niż zainstalowana.",
    L"Nie skonfigurowano klucza publicznego (public_key).",
    L"Nie można zapisać pliku:",
    L"Plik uszkodzony po pobraniu:",
    L"Nie znaleziono pliku gry.",
    L"Plik w użyciu - zamknij grę i spróbuj ponownie:",
    L"Wersja",
    L"Tryb offline",
    L"Strona główna",
    L"Discord",
    L"Pomoc",
    L"Zasady",
    L"Rejestracja",
    L"Wszystkie aktualności",
    L"Wszystkie",
    L"Wydarzenia",
    L"Aktualności",
    L"Aktualizacje",
    L"WYDARZENIE",
    L"AKTUALNOŚCI",
    L"AKTUALIZACJA",
    L"Czytaj więcej",
    L"Wróć",
    L"Zobacz wpis",
    L"USTAWIENIA",
    L"Rozdzielczość",
    L"Tryb okienkowy",
    L"Graj w oknie zamiast na pełnym ekranie",
    L"Muzyka",
    L"Efekty",
    L"Wyłączone",
    L"Ustawienia zaawansowane",
    L"Napraw pliki",
    L"Strona WWW",
    L"CZEKAJ",
    L"plików",
    L"pozostało",
    L"Pobieranie",
    L"Sprawdzanie",
    L"Zespół Quillmark",
    L"Ekipa",
    L"Zamknij grę, aby zmienić ustawienia",
    L"Język",
    L"Trwa już inna aktualizacja tego folderu gry.",
    L"Serwer aktualizacji jest nieaktualny: oferowana wersja wygasła %1.",
    L"Za mało miejsca na dysku, aby przeprowadzić aktualizację: potrzeba %1, wolne jest %2.",
};

const wchar_t* const kTextsCz[] = {
    L"Připojování k aktualizačnímu serveru...",
    L"Ověřování podpisu...",
    L"KONTROLA",
    L"AKTUALIZACE",
    L"Provádění změn...",
    L"Aktualizace launcheru...",
    L"PŘIPRAVENO KE HŘE",
    L"Klient je aktuální",
    L"CHYBA",
    L"HRÁT",
    L"AKTUALIZACE",
    L"ZKUSIT ZNOVU",
    L"Opravit",
    L"NOVINKY",
    L"Žádné novinky.",
    L"Soubor",
    L"Celkem",
    L"Nelze se připojit k aktualizačnímu serveru.",
    L"Neplatný podpis aktualizace. Stahování odmítnuto.",
    L"Neplatný manifest aktualizace.",
    L"Server poslal starší verzi, než je nainstalovaná.",
    L"Veřejný klíč není nastaven (public_key).",
    L"Nelze zapsat soubor:",
    L"Soubor je po stažení poškozen:",
    L"Spustitelný soubor hry nebyl nalezen.",
    L"Soubor se používá - zavřete hru a zkuste to znovu:",
    L"Verze",
    L"Režim offline",
    L"Domů",
    L"Discord",
    L"Podpora",
    L"Pravidla",
    L"Registrace",
    L"Všechny novinky",
    L"Vše",
    L"Události",
    L"Novinky",
    L"Aktualizace",
    L"UDÁLOST",
    L"NOVINKA",
    L"AKTUALIZACE",
    L"Číst dále",
    L"Zpět",
    L"Zobrazit příspěvek",
    L"NASTAVENÍ",
    L"Rozlišení",
    L"Režim okna",
    L"Hrát v okně místo celé obrazovky",
    L"Hudba",
    L"Efekty",
    L"Vypnuto",
    L"Pokročilá nastavení",
    L"Opravit soubory",
    L"Web",
    L"ČEKEJTE",
    L"souborů",
    L"zbývá",
    L"Stahování",
    L"Kontrola",
    L"Tým Quillmark",
    L"Tým",
    L"Pro změnu nastavení zavřete hru",
    L"Jazyk",
    L"Již probíhá jiná aktualizace této složky hry.",
    L"Aktualizační server je zastaralý: nabízená verze vypršela %1.",
    L"Na disku není dost místa pro aktualizaci: je potřeba %1, volných je %2.",
};

const wchar_t* const kTextsHu[] = {
    L"Csatlakozás a frissítési szerverhez...",
    L"Aláírás ellenőrzése...",
    L"ELLENŐRZÉS",
    L"FRISSÍTÉS",
    L"Változások alkalmazása...",
    L"Indító frissítése...",
    L"JÁTÉKRA KÉSZ",
    L"A kliens naprakész",
    L"HIBA",
    L"JÁTÉK",
    L"FRISSÍTÉS",
    L"ÚJRA",
    L"Javítás",
    L"HÍREK",
    L"Nincsenek hírek.",
    L"Fájl",
    L"Összesen",
    L"Nem sikerült csatlakozni a frissítési szerverhez.",
    L"Érvénytelen frissítési aláírás. Letöltés elutasítva.",
    L"Érvénytelen frissítési jegyzék.",
    L"A szerver a telepítettnél régebbi verziót küldött.",
    L"Nincs beállítva nyilvános kulcs (public_key).",
    L"Nem sikerült írni a fájlt:",
    L"A fájl sérült a letöltés után:",
    L"A játék futtatható fájlja nem található.",
    L"A fájl használatban van - zárd be a játékot, és próbáld újra:",
    L"Verzió",
    L"Offline mód",
    L"Kezdőlap",
    L"Discord",
    L"Támogatás",
    L"Szabályok",
    L"Regisztráció",
    L"Összes hír",
    L"Összes",
    L"Események",
    L"Hírek",
    L"Frissítések",
    L"ESEMÉNY",
    L"HÍR",
    L"FRISSÍTÉS",
    L"Bővebben",
    L"Vissza",
    L"Bejegyzés megtekintése",
    L"BEÁLLÍTÁSOK",
    L"Felbontás",
    L"Ablakos mód",
    L"Játék ablakban teljes képernyő helyett",
    L"Zene",
    L"Effektek",
    L"Ki",
    L"Speciális beállítások",
    L"Fájlok javítása",
    L"Weboldal",
    L"VÁRJ",
    L"fájl",
    L"még",
    L"Letöltés",
    L"Ellenőrzés",
    L"Quillmark csapat",
    L"Stáb",
    L"A beállítások módosításához zárd be a játékot",
    L"Nyelv",
    L"A játékmappa egy másik frissítése már folyamatban van.",
    L"A frissítési szerver elavult: a felkínált verzió lejárati ideje %1.",
    L"Nincs elég szabad hely a lemezen a frissítéshez: %1 szükséges, de csak %2 szabad.",
};

const wchar_t* const kTextsTr[] = {
    L"Yama sunucusuna bağlanılıyor...",
    L"İmza doğrulanıyor...",
    L"KONTROL EDİLİYOR",
    L"GÜNCELLENİYOR",
    L"Değişiklikler uygulanıyor...",
    L"Başlatıcı güncelleniyor...",
    L"OYNAMAYA HAZIR",
    L"İstemci güncel",
    L"HATA",
    L"OYNA",
    L"GÜNCELLENİYOR",
    L"TEKRAR DENE",
    L"Onar",
    L"HABERLER",
    L"Haber yok.",
    L"Dosya",
    L"Toplam",
    L"Yama sunucusuna bağlanılamadı.",
    L"Geçersiz yama imzası. İndirme reddedildi.",
    L"Geçersiz yama manifesti.",
    L"Sunucu yüklü olandan daha eski bir sürüm gönderdi.",
    L"Genel anahtar yapılandırılmamış (public_key).",
    L"Dosya yazılamadı:",
    L"İndirme sonrası dosya bozuk:",
    L"Oyun dosyası bulunamadı.",
    L"Dosya kullanımda - oyunu kapatıp tekrar deneyin:",
    L"Sürüm",
    L"Çevrimdışı mod",
    L"Ana Sayfa",
    L"Discord",
    L"Destek",
    L"Kurallar",
    L"Kayıt Ol",
    L"Tüm haberler",
    L"Tümü",
    L"Etkinlikler",
    L"Haberler",
    L"Güncellemeler",
    L"ETKİNLİK",
    L"HABER",
    L"GÜNCELLEME",
    L"Devamını oku",
    L"Geri",
    L"Gönderiyi gör",
    L"AYARLAR",
    L"Çözünürlük",
    L"Pencere modu",
    L"Tam ekran yerine pencerede oyna",
    L"Müzik",
    L"Efektler",
    L"Kapalı",
    L"Gelişmiş ayarlar",
    L"Dosyaları onar",
    L"Web sitesi",
    L"BEKLEYİN",
    L"dosya",
    L"kalan",
    L"İndiriliyor",
    L"Kontrol ediliyor",
    L"Quillmark Ekibi",
    L"Ekip",
    L"Ayarları değiştirmek için oyunu kapatın",
    L"Dil",
    L"Bu oyun klasörünün başka bir güncellemesi zaten çalışıyor.",
    L"Yama sunucusu güncel değil: sunduğu sürümün süresi %1 tarihinde doldu.",
    L"Güncelleme için diskte yeterli alan yok: %1 gerekiyor, boş alan %2.",
};

// Greek capitals without accents, as Greek typesetting writes all-capital text.
const wchar_t* const kTextsGr[] = {
    L"Σύνδεση στον διακομιστή ενημερώσεων...",
    L"Επαλήθευση υπογραφής...",
    L"ΕΛΕΓΧΟΣ",
    L"ΕΝΗΜΕΡΩΣΗ",
    L"Εφαρμογή αλλαγών...",
    L"Ενημέρωση προγράμματος εκκίνησης...",
    L"ΕΤΟΙΜΟ ΓΙΑ ΠΑΙΧΝΙΔΙ",
    L"Το παιχνίδι είναι ενημερωμένο",
    L"ΣΦΑΛΜΑ",
    L"ΠΑΙΞΕ",
    L"ΕΝΗΜΕΡΩΣΗ",
    L"ΞΑΝΑ",
    L"Επιδιόρθωση",
    L"ΝΕΑ",
    L"Δεν υπάρχουν νέα.",
    L"Αρχείο",
    L"Σύνολο",
    L"Αδυναμία σύνδεσης στον διακομιστή ενημερώσεων.",
    L"Μη έγκυρη υπογραφή ενημέρωσης. Η λήψη απορρίφθηκε.",
    L"Μη έγκυρο μανιφέστο ενημέρωσης.",
    L"Ο διακομιστής έστειλε παλαιότερη έκδοση από την εγκατεστημένη.",
    L"Το δημόσιο κλειδί δεν έχει ρυθμιστεί (public_key).",
    L"Αδυναμία εγγραφής αρχείου:",
    L"Το αρχείο είναι κατεστραμμένο μετά τη λήψη:",
    L"Το εκτελέσιμο του παιχνιδιού δεν βρέθηκε.",
    L"Το αρχείο χρησιμοποιείται - κλείστε το παιχνίδι και δοκιμάστε ξανά:",
    L"Έκδοση",
    L"Λειτουργία εκτός σύνδεσης",
    L"Αρχική",
    L"Discord",
    L"Υποστήριξη",
    L"Κανόνες",
    L"Εγγραφή",
    L"Όλα τα νέα",
    L"Όλα",
    L"Εκδηλώσεις",
    L"Νέα",
    L"Ενημερώσεις",
    L"ΕΚΔΗΛΩΣΗ",
    L"ΝΕΑ",
    L"ΕΝΗΜΕΡΩΣΗ",
    L"Περισσότερα",
    L"Πίσω",
    L"Προβολή άρθρου",
    L"ΡΥΘΜΙΣΕΙΣ",
    L"Ανάλυση",
    L"Λειτουργία παραθύρου",
    L"Παιχνίδι σε παράθυρο αντί για πλήρη οθόνη",
    L"Μουσική",
    L"Εφέ",
    L"Ανενεργό",
    L"Ρυθμίσεις για προχωρημένους",
    L"Επιδιόρθωση αρχείων",
    L"Ιστότοπος",
    L"ΠΕΡΙΜΕΝΕΤΕ",
    L"αρχεία",
    L"απομένουν",
    L"Λήψη",
    L"Έλεγχος",
    L"Ομάδα Quillmark",
    L"Προσωπικό",
    L"Κλείστε το παιχνίδι για να αλλάξετε ρυθμίσεις",
    L"Γλώσσα",
    L"Εκτελείται ήδη άλλη ενημέρωση αυτού του φακέλου του παιχνιδιού.",
    L"Ο διακομιστής ενημερώσεων δεν είναι ενημερωμένος: η έκδοση που προσφέρει έληξε στις %1.",
    (L"Δεν υπάρχει αρκετός χώρος στον δίσκο για την ενημέρωση: απαιτούνται %1, ενώ ελεύθερα είναι "
     L"%2."),
};

static_assert(std::size(kTextsPt) == kUiStringCount);
static_assert(std::size(kTextsEn) == kUiStringCount);
static_assert(std::size(kTextsEs) == kUiStringCount);
static_assert(std::size(kTextsFr) == kUiStringCount);
static_assert(std::size(kTextsDe) == kUiStringCount);
static_assert(std::size(kTextsIt) == kUiStringCount);
static_assert(std::size(kTextsRo) == kUiStringCount);
static_assert(std::size(kTextsPl) == kUiStringCount);
static_assert(std::size(kTextsCz) == kUiStringCount);
static_assert(std::size(kTextsHu) == kUiStringCount);
static_assert(std::size(kTextsTr) == kUiStringCount);
static_assert(std::size(kTextsGr) == kUiStringCount);

// ---------------------------------------------------------------------------------------------
// 2. UI language table
// ---------------------------------------------------------------------------------------------

struct UiLanguage {
  const char* code;             // two lower-case ASCII letters ("cz", "gr" as the client has them)
  const wchar_t* const* texts;  // kUiStringCount texts
  bool decimalComma;            // numbers shown with "," instead of "."
  unsigned windowsId;           // Windows primary language id
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

const wchar_t* uiText(int id) {
  if (id < 0 || id >= kUiStringCount) return L"";
  return currentLanguage().texts[id];
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

std::wstring uiTextWith(int id, std::wstring_view value) {
  std::wstring text = uiText(id);
  const std::size_t at = text.find(L"%1");
  if (at != std::wstring::npos) text.replace(at, 2, value);
  return text;
}

std::wstring uiTextWith(int id, std::wstring_view first, std::wstring_view second) {
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
  return kUiLanguages[lang].texts[id];
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
