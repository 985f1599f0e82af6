// The signed manifest: fetched from the first patch server that offers an acceptable one (up
// to three attempts each), checked against the run's public keys, its freshness limit and the
// installed version, read into FileEntry records, and its version, game executable, news and
// links published into the Launcher state.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "formats/json.h"
#include "update/launcher_state.h"
#include "update/manifest_types.h"
#include "update/update_settings.h"

inline constexpr std::uint64_t kSignatureBytes = 64;

enum class StepResult { Ok, Failed, Cancelled };

// One server's manifest, its signature verified.
struct ManifestAnswer {
  std::string text;
  // The server's clock when it answered (its Date header), 0 when it gave none.
  std::int64_t serverTime = 0;
};

// Fetches baseUrl's "manifest.json" and "manifest.sig" until the signature holds under one of
// the settings' keys (3 attempts). On failure error is the message for it; nothing is set on
// the state. Cancellation returns quietly.
StepResult fetchManifest(LauncherState& state, const UpdateSettings& settings,
                         const std::wstring& baseUrl, ManifestAnswer& answer, std::wstring& error);

// Whether a manifest that expires at `expires` is past that time. Players' clocks are often
// wrong, by hours or by years; servers keep theirs synchronised. So the server's clock
// (serverNow, the Date of its answer) decides, and a player's clock that is wrong never locks
// them out of a fresh release nor lets a server that is out of date pass. Only an answer
// without a Date (serverNow 0) leaves the player's clock (localNow) to decide.
bool manifestExpired(std::int64_t expires, std::int64_t localNow, std::int64_t serverNow);

// A manifest as read: the document's tree without its "files" array (left empty), and the
// file entries read from it one at a time, so that no tree of 100,000 entries is ever built.
struct ParsedManifest {
  JsonValue root;
  // In manifest order; empty when an entry was invalid (a path that is not safe or names a
  // file of the launcher, a hash that is not 64 hex digits).
  std::vector<FileEntry> entries;
  bool entriesValid = true;
};

// The manifest a run acts on: the first server's, in the settings' order, that verifies,
// reads, has not expired and is not older than the installed version.
struct ChosenManifest {
  std::size_t server = 0;  // index into settings.patchUrls
  ParsedManifest manifest;
  std::int32_t version = 0;
  // Per server: it showed a verified manifest older than the chosen one, so it is not trusted
  // to serve this run's files.
  std::vector<bool> older;
};
// Asks the servers in turn. When none offers an acceptable manifest, the run's error is the
// last server's failure (nothing else is shown while another server is left to ask);
// cancellation returns quietly.
StepResult chooseManifest(LauncherState& state, const UpdateSettings& settings,
                          const std::wstring& gameDir, ChosenManifest& out);

// Parses the text and checks its shape ("format" 1, "files" an array). The error text on
// failure is what setError would be given; nothing is reported here. An invalid file entry
// does not fail the parse: it is refused once the manifest is accepted.
bool parseManifest(const std::string& text, ParsedManifest& out, std::wstring& error);

// Reads a "files" element or the "launcher" object; false when it is invalid. The one reader
// of an entry's members.
bool readFileEntry(const JsonValue& value, FileEntry& out);
// False when two entries name the same file (also by letter case alone), or one names
// another's temporary file.
bool fileEntriesAreDistinct(const std::vector<FileEntry>& entries);

// The news list of a manifest root (nothing when "news" is not an array).
std::vector<NewsItem> readNews(const JsonValue& root);

// The chosen manifest's version into the state, publication of game executable, news and
// links (then code 2 with lParam 1), and its file entries (moved out of it).
// Errors are set on the state.
bool acceptManifest(LauncherState& state, ChosenManifest& chosen, std::vector<FileEntry>& entries);

// Game executable, news and links into the state, in one locked section.
void publishManifest(const JsonValue& root, LauncherState& state);
