// The signed manifest: fetched with up to three attempts, checked against the run's public
// key, read into FileEntry records, and its version, game executable, news and links
// published into the Launcher state.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "formats/json.h"
#include "update/launcher_state.h"
#include "update/manifest_types.h"
#include "update/update_settings.h"

// The manifest is capped so that a hostile server cannot exhaust memory.
inline constexpr std::uint64_t kManifestMaxBytes = 33554432;  // 32 MiB
inline constexpr std::uint64_t kSignatureBytes = 64;

enum class StepResult { Ok, Failed, Cancelled };

// Fetches "manifest.json" and "manifest.sig" until the signature holds (3 attempts). On
// failure the run's error is set; cancellation returns quietly.
StepResult fetchManifest(LauncherState& state, const UpdateSettings& settings, std::string& text);

// Parses the text and checks its shape ("format" 1, "files" an array). The error text on
// failure is what setError would be given; nothing is reported here.
bool parseManifest(const std::string& text, JsonValue& root, std::wstring& error);

// Reads a "files" element or the "launcher" object; false when it is invalid.
bool readFileEntry(const JsonValue& value, FileEntry& out);
// The "files" array in manifest order; false when an entry is invalid or two name the same
// file. The entries' strings are moved out of the tree and the array is emptied.
bool takeFileEntries(JsonValue& root, std::vector<FileEntry>& out);

// The news list of a manifest root (nothing when "news" is not an array).
std::vector<NewsItem> readNews(const JsonValue& root);

// Parse, version (stored at once, older than installed refused), publication of game
// executable, news and links (then code 2 with lParam 1), and the file entries (taken out of
// root's "files"). Errors are set on the state.
bool acceptManifest(LauncherState& state, const std::wstring& gameDir, const std::string& text,
                    JsonValue& root, std::vector<FileEntry>& entries);

// Game executable, news and links into the state, in one locked section.
void publishManifest(const JsonValue& root, LauncherState& state);
