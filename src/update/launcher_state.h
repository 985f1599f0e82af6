// The one record shared by the UI (the launcher's window, or quillmark-update's progress
// display) and the update thread: progress counters, phase, texts, the manifest's results
// and the update thread itself; and the one snapshot of it that both displays draw from.
// What the run keeps for itself (the hash cache, the entries) stays in the run.
//
// The engine never touches a window. It reports every phase through `notify`, which the
// launcher turns into PostMessageW(window, WM_APP + 1, phase, detail) and quillmark-update into
// a redraw of its progress line. The hook must not block: it is called from the update thread
// while the run goes on.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "update/manifest_types.h"

// The phases of the update run, in the order a run goes through them, down to how it ended.
enum RunPhase : int {
  kPhaseNone = 0,         // no phase reported yet
  kPhaseConnecting = 1,   // fetching the manifest
  kPhaseVerifying = 2,    // checking the signature; with detail 1: manifest accepted, news ready
  kPhaseChecking = 3,     // checking the game folder
  kPhaseDownloading = 4,  // downloading what differs
  kPhaseApplying = 5,     // deleting, saving the cache and version
  kPhaseSelfUpdate = 6,   // downloading the new launcher
  kPhaseRestart = 7,      // new launcher in place; restart once running is false
  kPhaseReady = 8,        // run completed
  kPhaseError = 9,        // errorText is set
};

// The phases whose counters move (bytes hashed in 3, received in 4 and 6): the ones that show
// a percentage, the current item and a speed.
bool phaseMovesBytes(int phase);

// What ended a run in phase 9, beside its text: the terminal program turns it into its exit
// status, so the kinds are few and stable.
enum class ErrorKind : int {
  None = 0,     // no error (yet)
  Other,        // anything below, e.g. no public key configured
  Refused,      // the release was refused: signature, manifest, an older version than the
                // installed one, expired, or a file that did not match its hash
  Unreachable,  // no patch server answered, or none delivered what was asked
  DiskFull,     // the update does not fit on the game folder's volume
  FolderBusy,   // another update of the game folder is running
  WriteFailed,  // a file of the game folder could not be written, moved or recorded
};

// The detail of phase 2 when the manifest was accepted and gameExe, news and links were
// replaced; every other phase is reported with detail 0.
inline constexpr int kManifestAccepted = 1;

using PhaseNotify = void (*)(void* context, int phase, int detail);

struct LauncherState {
  LauncherState() = default;
  // Sets cancel and joins a running update thread.
  ~LauncherState();
  LauncherState(const LauncherState&) = delete;
  LauncherState& operator=(const LauncherState&) = delete;

  std::atomic<std::uint64_t> bytesDone{0};
  std::atomic<std::uint64_t> bytesTotal{0};
  std::atomic<std::int32_t> filesDone{0};
  std::atomic<std::int32_t> filesTotal{0};
  // Where phases go (set by startUpdate); null drops them.
  PhaseNotify notify = nullptr;
  void* notifyContext = nullptr;
  std::thread worker;
  std::atomic<bool> running{false};
  std::atomic<bool> cancel{false};
  // The player paused the download (pauseUpdate): the run stops, or has stopped, as a cancelled
  // one does, and the displays say paused rather than stopped. Cleared by the next run.
  std::atomic<bool> paused{false};
  // The last phase reported; kPhaseNone before the first.
  std::atomic<std::int32_t> phase{kPhaseNone};
  // The manifest's version.
  std::atomic<std::int32_t> version{0};

  std::mutex lock;  // guards the members down to links
  std::wstring currentItem;
  std::wstring errorText;
  ErrorKind errorKind = ErrorKind::None;
  std::wstring gameExe;
  std::vector<NewsItem> news;
  std::map<std::string, std::wstring> links;

  // The game folder with a trailing "\" (set by startUpdate).
  std::wstring gameDir;
};

// One moment of a run as a display shows it.
struct RunSnapshot {
  int phase = kPhaseNone;
  bool running = false;
  bool paused = false;
  std::uint64_t bytesDone = 0;
  std::uint64_t bytesTotal = 0;
  std::int32_t filesDone = 0;
  std::int32_t filesTotal = 0;
  std::int32_t version = 0;
  std::wstring currentItem;
  std::wstring errorText;
  ErrorKind errorKind = ErrorKind::None;
};

// Whether a snapshot shows a paused download, stopping (still running) or stopped. A pause that
// came as the last download ended lets the run finish, and the run's end is shown instead.
bool isPausedDownload(const RunSnapshot& run);

// Phase, flags, counters and version by atomic loads, without the texts: cheap enough for
// the notify hook, which must not block the run.
RunSnapshot readRunCounters(const LauncherState& state);
// The same with the texts and the error kind, copied in one short hold of the state's lock.
RunSnapshot takeRunSnapshot(LauncherState& state);

// The update thread's side. notifyPhase calls the notify hook; postPhase first stores the phase
// into state.phase. setError keeps only the first error of a run (its kind and text), then
// stores and posts 9.
void notifyPhase(LauncherState& state, int phase, int detail);
void postPhase(LauncherState& state, int phase);
void setError(LauncherState& state, ErrorKind kind, const std::wstring& text);
void setCurrentItem(LauncherState& state, const std::wstring& text);
// Sleeps ms milliseconds in short slices, returning early (false) once cancel is set.
bool pauseUnlessCancelled(LauncherState& state, std::uint32_t ms);

// Short copies for a UI thread, taken under the state's lock.
std::wstring copyErrorText(LauncherState& state);
std::wstring copyGameExe(LauncherState& state);
std::vector<NewsItem> copyNews(LauncherState& state);
// The address of a link of the manifest, or "" when it has none of that name.
std::wstring copyLink(LauncherState& state, const std::string& key);
