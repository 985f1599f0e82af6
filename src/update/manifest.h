// The signed manifest: taken from the first patch server that offers an acceptable one,
// checked against the run's public keys, its freshness limit and the installed version, read
// into FileEntry records, and its version, game executable, news and links published into the
// Launcher state. Each server is asked for the 64-byte signature first: when it is the one of
// the manifest kept from an earlier run, that manifest is used and the server sends nothing more.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/json.h"
#include "update/launcher_state.h"
#include "update/manifest_types.h"
#include "update/update_settings.h"

inline constexpr std::uint64_t kSignatureBytes = 64;

// Empties a manifest's text and gives its buffer back. Assigning an empty string would not:
// the string keeps its capacity, and a large game's manifest would stay beside its entries.
inline void releaseText(std::string& text) { std::string().swap(text); }

enum class StepResult { Ok, Failed, Cancelled };

// Attempts at one server's manifest: as many when its answers fail; as many in all once a
// manifest and a signature did not verify together, which is what a server shows for a moment
// while a release is uploaded (the new manifest.json with the old manifest.sig, or the other
// way round). Over its pauses, about nine seconds, the upload of the pair completes.
inline constexpr int kManifestAttempts = 3;
inline constexpr int kManifestMismatchAttempts = 7;

// The manifest kept from an earlier run, as far as this run has looked at it.
struct KeptManifestState {
  std::string signature;  // empty: nothing kept
  bool refused = false;   // its text was read and did not verify
};

// A manifest as read: the document's tree without its "files" array (left empty), and the
// file entries read from it one at a time, so that no tree of 100,000 entries is ever built.
struct ParsedManifest {
  JsonValue root;
  // In manifest order; empty when an entry was invalid (a path that is not safe or names a
  // file of the launcher, a hash that is not 64 hex digits).
  std::vector<FileEntry> entries;
  bool entriesValid = true;
};

// One server's manifest, its signature verified.
struct ManifestAnswer {
  std::string text;
  std::string signature;
  // The server's clock when it answered (the Date header of the manifest's answer, or of the
  // signature's when the kept manifest was used), 0 when it gave none.
  std::int64_t serverTime = 0;
  // The text is the kept manifest's: the server sent only the signature.
  bool kept = false;
  // Whether the text read as a manifest (parseManifest) into manifest, with parseError when
  // not: read by fetchManifest for the kept manifest, while it checked the signature; by
  // chooseManifest for a fetched one.
  bool parsed = false;
  ParsedManifest manifest;
  std::wstring parseError;
};

// True when signature (64 bytes) is valid for text under one of keys.
bool manifestVerifies(const std::vector<PublicKey>& keys, std::string_view signature,
                      std::string_view text);

// Why a server's manifest was not taken: the kind and message the run ends with when no
// server offers one.
struct ManifestError {
  ErrorKind kind = ErrorKind::Unreachable;
  std::wstring text;
};

// Fetches baseUrl's "manifest.sig", then, unless it is the kept manifest's, "manifest.json",
// until the pair verifies under one of the settings' keys (kManifestAttempts, or
// kManifestMismatchAttempts once a pair did not verify). On failure error says why; nothing
// is set on the state and nothing is written. Cancellation returns quietly.
StepResult fetchManifest(LauncherState& state, const UpdateSettings& settings,
                         const std::wstring& baseUrl, const std::wstring& gameDir,
                         KeptManifestState& kept, ManifestAnswer& answer, ManifestError& error);

// Whether a manifest that expires at `expires` is past that time. Players' clocks are often
// wrong, by hours or by years; servers keep theirs synchronised. So the server's clock
// (serverNow, the Date of its answer) decides, and a player's clock that is wrong never locks
// them out of a fresh release nor lets a server that is out of date pass. Only an answer
// without a Date (serverNow 0) leaves the player's clock (localNow) to decide.
bool manifestExpired(std::int64_t expires, std::int64_t localNow, std::int64_t serverNow);

// The manifest a run acts on: the first server's, in the settings' order, that verifies,
// reads, has not expired and is not older than the installed version (nor than one that a run
// began to apply: PatchRecord).
struct ChosenManifest {
  std::size_t server = 0;  // index into settings.patchUrls
  ParsedManifest manifest;
  std::int32_t version = 0;
  // Per server: it showed a verified manifest older than the chosen one, so it is not trusted
  // to serve this run's files.
  std::vector<bool> older;
  // The exact bytes and the signature, until keepChosenManifest has kept them.
  std::string text;
  std::string signature;
  bool fromKeptFile = false;
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
// links (then phase 2 with detail 1), and its file entries (moved out of it). The entries are
// still to be checked: chosen.manifest.entriesValid, then fileEntriesAreDistinct.
void acceptManifest(LauncherState& state, ChosenManifest& chosen, std::vector<FileEntry>& entries);

// Keeps the accepted manifest in the game folder for the next start (unless it came from
// there), then frees its text.
void keepChosenManifest(const std::wstring& gameDir, ChosenManifest& chosen);

// Game executable, news and links into the state, in one locked section.
void publishManifest(const JsonValue& root, LauncherState& state);
