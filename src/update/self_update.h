// The launcher's own update: when the manifest's "launcher" entry differs from the running
// executable, the new one is downloaded beside it as ".new", the running one is moved aside
// to ".old" and the new one moved in; the next start removes the ".old" file.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/json.h"
#include "update/download.h"
#include "update/launcher_state.h"
#include "update/manifest_types.h"
#include "update/update_settings.h"

enum class LauncherStep { NotNeeded, Replaced, Failed, Cancelled };

// The file whose presence in the game folder switches the self-update off.
inline constexpr const wchar_t* kDeveloperKeyFile = L"quillmark_dev.key";
bool developerKeyPresent(const std::wstring& gameDir);

// Compares exePath with the manifest's "launcher" entry and swaps it when they differ
// (phase 6, then 7), calling beforeWriting first: when that returns false (it has set the
// error), nothing is written. Errors are set on the state.
LauncherStep updateLauncher(LauncherState& state, const UpdateSettings& settings,
                            FileServers& servers, const std::wstring& gameDir,
                            const std::wstring& exePath, const JsonValue& root,
                            const std::function<bool()>& beforeWriting);

// For a program that is not the launcher: the "launcher" entry joins the game folder's files
// (unless the developer key file is there or a file entry already names that path). False,
// with the error set, when the entry is invalid.
bool addLauncherAsGameFile(LauncherState& state, const std::wstring& gameDir, const JsonValue& root,
                           std::vector<FileEntry>& entries);

// Deletes exePath + ".old", trying up to 20 times while the previous process lets go of it.
void removeOldLauncher(LauncherState& state, const std::wstring& exePath, std::uint32_t pauseMs);

// Platform pieces (self_update_win.cpp, self_update_posix.cpp).
// Moves from onto to, replacing it; on failure errorCode holds the system's error code.
bool moveReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& errorCode);
// The system's text for an error code, without trailing line breaks and blanks; "" if none.
std::wstring systemErrorText(std::uint32_t code);
