// The UI string table: 72 texts in twelve languages, one current UI language, and the game
// client's own language list (code pages for loca.cfg).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum StringId : int {
  kStrConnecting,            // "Connecting to patch server..."
  kStrVerifying,             // "Verifying signature..."
  kStrChecking,              // "CHECKING"
  kStrUpdating,              // "UPDATING" (status title)
  kStrApplying,              // "Applying changes..."
  kStrUpdatingLauncher,      // "Updating launcher..."
  kStrReadyToPlay,           // "READY TO PLAY"
  kStrUpToDate,              // "Client up to date"
  kStrError,                 // "ERROR"
  kStrPlay,                  // "PLAY"
  kStrUpdatingButton,        // "UPDATING" (main button)
  kStrRetry,                 // "RETRY"
  kStrRepair,                // "Repair"
  kStrNewsTitle,             // "NEWS" (panel title)
  kStrNoNews,                // "No news."
  kStrFile,                  // "File"
  kStrTotal,                 // "Total"
  kStrErrConnect,            // "Could not connect to the patch server."
  kStrErrSignature,          // "Invalid patch signature. Download refused."
  kStrErrManifest,           // "Invalid patch manifest."
  kStrErrRollback,           // "The server sent an older version than the installed one."
  kStrErrNoPublicKey,        // "Public key not configured (public_key)."
  kStrErrWrite,              // "Could not write file:"
  kStrErrCorrupted,          // "File corrupted after download:"
  kStrErrNoGameExe,          // "Game executable not found."
  kStrErrFileInUse,          // "File in use - close the game and try again:"
  kStrVersion,               // "Version"
  kStrOffline,               // "Offline mode"
  kStrHome,                  // "Home"
  kStrDiscord,               // "Discord"
  kStrSupport,               // "Support"
  kStrRules,                 // "Rules"
  kStrRegister,              // "Register"
  kStrAllNews,               // "All news"
  kStrAll,                   // "All"
  kStrEvents,                // "Events"
  kStrNews,                  // "News"
  kStrUpdates,               // "Updates"
  kStrTagEvent,              // "EVENT"
  kStrTagNews,               // "NEWS"
  kStrTagUpdate,             // "UPDATE"
  kStrReadMore,              // "Read more"
  kStrBack,                  // "Back"
  kStrViewPost,              // "View post"
  kStrSettings,              // "SETTINGS"
  kStrResolution,            // "Resolution"
  kStrWindowMode,            // "Window mode"
  kStrWindowModeHint,        // "Play in a window instead of fullscreen"
  kStrMusic,                 // "Music"
  kStrEffects,               // "Effects"
  kStrOff,                   // "Off"
  kStrAdvancedSettings,      // "Advanced settings"
  kStrRepairFiles,           // "Repair files"
  kStrWebsite,               // "Website"
  kStrWait,                  // "WAIT"
  kStrFiles,                 // "files"
  kStrLeft,                  // "%1 left" (%1: the time, "12:05" or "1:02:05")
  kStrDownloading,           // "Downloading"
  kStrCheckingLower,         // "Checking"
  kStrTeam,                  // "Quillmark Team"
  kStrStaff,                 // "Staff"
  kStrCloseGameForSettings,  // "Close the game to change settings"
  kStrLanguage,              // "Language"
  kStrErrFolderBusy,         // "Another update of this game folder is running."
  // "The patch server is out of date: the release it offers expired on %1." (%1: the date)
  kStrErrExpired,
  // "Not enough disk space for the update: it needs %1, and %2 is free." (sizes, diskSizeText)
  kStrErrDiskSpace,
  // "The patch server's security certificate is not from a trusted authority."
  kStrErrCertificateUntrusted,
  // "The patch server's security certificate was issued for another server name."
  kStrErrCertificateHost,
  // "The patch server's security certificate has expired or is not yet valid."
  kStrErrCertificateExpired,
  // "The secure connection to the patch server failed: its certificate or encryption was refused."
  kStrErrSecureConnection,
  kStrPaused,         // "PAUSED" (status title of a paused download)
  kStrPausedMessage,  // "Progress is kept; resume at any time."

  kUiStringCount
};

inline constexpr int kUiLanguageCount = 12;

// Makes the first UI language whose code matches (ASCII, any case) current; English otherwise.
void setUiLanguage(std::string_view code);
// The text of id in the current language; "" for an id outside the table.
const wchar_t* uiText(StringId id);
// The text of id with its "%1" replaced by value.
std::wstring uiTextWith(StringId id, std::wstring_view value);
// The text of id with its "%1" and "%2" replaced.
std::wstring uiTextWith(StringId id, std::wstring_view first, std::wstring_view second);
// A size in the largest binary unit that keeps it at 1 or more, with the current language's
// decimal mark: "1.4 GB", "350 MB", "12,5 KB". Rounded up (a size needed) or down (a size
// available) to the digit shown.
std::wstring diskSizeText(std::uint64_t bytes, bool roundUp);
// The current language's code ("en") and whether it writes numbers with a decimal comma.
const char* uiLanguageCode();
bool usesDecimalComma();
// The current language's row in the UI language table (0..11).
int uiLanguageIndex();
// The UI language code for a Windows primary language id (GetUserDefaultUILanguage() & 0x3FF).
const char* uiLanguageForWindowsId(unsigned primaryLanguageId);
// The text of id (0..kUiStringCount - 1) in language row lang (0..11), for tests and tools
// that go through every text; "" when either is out of range.
const wchar_t* uiTextIn(int lang, int id);
const char* uiLanguageCodeAt(int lang);

// The game client's languages, in the client's order (not the UI table's).
struct ClientLanguage {
  const char* code;            // "pt"
  const char* codePage;        // "1252"
  const wchar_t* displayName;  // L"Português"
};
inline constexpr int kClientLanguageCount = 12;
const ClientLanguage& clientLanguage(int index);
// Index of code (any case) in the client list, or -1.
int findClientLanguage(std::string_view code);
