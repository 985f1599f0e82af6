// Whether the game client runs, so that the settings pages can warn before a save that the
// client would overwrite when it exits. A process counts when its executable is the game's
// executable, compared by full path without case: a client of another game folder does not.
//
// The platform lists the processes (game_process_win.cpp: the Toolhelp snapshot and
// QueryFullProcessImageNameW; game_process_posix.cpp: /proc/*/exe); the rest is portable.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ---- Platform

// The full executable paths of the running processes whose executable file name is fileName
// (compared without case). A process whose path the system will not give (another user's, an
// elevated one) is listed with an empty path.
std::vector<std::wstring> processPathsNamed(const std::wstring& fileName);
// The path spelled as the process list spells its paths (full, long names on Windows; links
// resolved on POSIX); the path itself when it cannot be resolved.
std::wstring canonicalExecutablePath(const std::wstring& path);

// ---- Portable

// The part of a path after its last "\" or "/".
std::wstring executableFileName(const std::wstring& path);
// Equal without case (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters), with "\"
// and "/" the same separator.
bool sameExecutablePath(std::wstring_view a, std::wstring_view b);
// True when one of the paths is gameExePath, or one is empty: a process of the game's file name
// whose path is unknown may be the game, and a needless warning costs less than a lost save.
bool gameAmongProcesses(const std::wstring& gameExePath,
                        const std::vector<std::wstring>& processPaths);

// The last answer and when (milliseconds of a monotonic clock) it was computed, for which path.
struct GameRunningCheck {
  bool computed = false;
  bool running = false;
  std::uint64_t at = 0;
  std::wstring path;
};
// Asked again within this many milliseconds for the same path, the check gives its last answer.
inline constexpr std::uint64_t kGameRunningCheckInterval = 1500;

// Whether the game executable at gameExePath (the game folder + the manifest's executable)
// runs, now being milliseconds of a steady clock; listProcesses is processPathsNamed but in
// tests. Cheap to call on every frame: the processes are listed at most once per
// kGameRunningCheckInterval, and the caller keeps check between calls.
bool isGameRunning(GameRunningCheck& check, std::uint64_t now, const std::wstring& gameExePath,
                   std::vector<std::wstring> (*listProcesses)(const std::wstring& fileName));
