// The UI string table: 66 texts in twelve languages, one current UI language, and the game
// client's own language list (code pages for loca.cfg).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum StringId : int {
  kStrConnecting = 0,             // "Connecting to patch server..."
  kStrVerifying = 1,              // "Verifying signature..."
  kStrChecking = 2,               // "CHECKING"
  kStrUpdating = 3,               // "UPDATING" (status title)
  kStrApplying = 4,               // "Applying changes..."
  kStrUpdatingLauncher = 5,       // "Updating launcher..."
  kStrReadyToPlay = 6,            // "READY TO PLAY"
  kStrUpToDate = 7,               // "Client up to date"
  kStrError = 8,                  // "ERROR"
  kStrPlay = 9,                   // "PLAY"
  kStrUpdatingButton = 10,        // "UPDATING" (main button)
  kStrRetry = 11,                 // "RETRY"
  kStrRepair = 12,                // "Repair"
  kStrNewsTitle = 13,             // "NEWS" (panel title)
  kStrNoNews = 14,                // "No news."
  kStrFile = 15,                  // "File"
  kStrTotal = 16,                 // "Total"
  kStrErrConnect = 17,            // "Could not connect to the patch server."
  kStrErrSignature = 18,          // "Invalid patch signature. Download refused."
  kStrErrManifest = 19,           // "Invalid patch manifest."
  kStrErrRollback = 20,           // "The server sent an older version than the installed one."
  kStrErrNoPublicKey = 21,        // "Public key not configured (public_key)."
  kStrErrWrite = 22,              // "Could not write file:"
  kStrErrCorrupted = 23,          // "File corrupted after download:"
  kStrErrNoGameExe = 24,          // "Game executable not found."
  kStrErrFileInUse = 25,          // "File in use - close the game and try again:"
  kStrVersion = 26,               // "Version"
  kStrOffline = 27,               // "Offline mode"
  kStrHome = 28,                  // "Home"
  kStrDiscord = 29,               // "Discord"
  kStrSupport = 30,               // "Support"
  kStrRules = 31,                 // "Rules"
  kStrRegister = 32,              // "Register"
  kStrAllNews = 33,               // "All news"
  kStrAll = 34,                   // "All"
  kStrEvents = 35,                // "Events"
  kStrNews = 36,                  // "News"
  kStrUpdates = 37,               // "Updates"
  kStrTagEvent = 38,              // "EVENT"
  kStrTagNews = 39,               // "NEWS"
  kStrTagUpdate = 40,             // "UPDATE"
  kStrReadMore = 41,              // "Read more"
  kStrBack = 42,                  // "Back"
  kStrViewPost = 43,              // "View post"
  kStrSettings = 44,              // "SETTINGS"
  kStrResolution = 45,            // "Resolution"
  kStrWindowMode = 46,            // "Window mode"
  kStrWindowModeHint = 47,        // "Play in a window instead of fullscreen"
  kStrMusic = 48,                 // "Music"
  kStrEffects = 49,               // "Effects"
  kStrOff = 50,                   // "Off"
  kStrAdvancedSettings = 51,      // "Advanced settings"
  kStrRepairFiles = 52,           // "Repair files"
  kStrWebsite = 53,               // "Website"
  kStrWait = 54,                  // "WAIT"
  kStrFiles = 55,                 // "files"
  kStrLeft = 56,                  // "left"
  kStrDownloading = 57,           // "Downloading"
  kStrCheckingLower = 58,         // "Checking"
  kStrTeam = 59,                  // "Quillmark Team"
  kStrStaff = 60,                 // "Staff"
  kStrCloseGameForSettings = 61,  // "Close the game to change settings"
  kStrLanguage = 62,              // "Language"
  kStrErrFolderBusy = 63,         // "Another update of this game folder is running."
  // "The patch server is out of date: the release it offers expired on %1." (%1: the date)
  kStrErrExpired = 64,
  // "Not enough disk space for the update: it needs %1, and %2 is free." (sizes, diskSizeText)
  kStrErrDiskSpace = 65,
};

inline constexpr int kUiStringCount = 66;
inline constexpr int kUiLanguageCount = 12;

// Makes the first UI language whose code matches (ASCII, any case) current; English otherwise.
void setUiLanguage(std::string_view code);
// The text of id in the current language; "" for an id outside 0..65.
const wchar_t* uiText(int id);
// The text of id with its "%1" replaced by value.
std::wstring uiTextWith(int id, std::wstring_view value);
// The text of id with its "%1" and "%2" replaced.
std::wstring uiTextWith(int id, std::wstring_view first, std::wstring_view second);
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
// The text of id in language row lang (0..11), for tests and tools; "" when out of range.
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
