// The one record shared by the UI (the launcher's window, or quillmark-update's progress
// display) and the update thread: progress counters, phase, texts, the manifest's results,
// the hash cache and the update thread itself.
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
#include "update/patch_state.h"

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
  // The last phase reported; kPhaseNone before the first.
  std::atomic<std::int32_t> phase{kPhaseNone};
  // The manifest's version.
  std::atomic<std::int32_t> version{0};

  std::mutex lock;  // guards the members down to links
  std::wstring currentItem;
  std::wstring errorText;
  std::wstring gameExe;
  std::vector<NewsItem> news;
  std::map<std::string, std::wstring> links;

  // The game folder with a trailing "\" (set by startUpdate).
  std::wstring gameDir;

  std::mutex cacheLock;  // guards cache; never held together with lock
  EntryCache cache;      // slot i for the run's file entry i
};

// The update thread's side. notifyPhase calls the notify hook; postPhase first stores the phase
// into state.phase. setError keeps only the first error of a run, then stores and posts 9.
void notifyPhase(LauncherState& state, int phase, int detail);
void postPhase(LauncherState& state, int phase);
void setError(LauncherState& state, const std::wstring& text);
void setCurrentItem(LauncherState& state, const std::wstring& text);
// Sleeps ms milliseconds in short slices, returning early (false) once cancel is set.
bool pauseUnlessCancelled(LauncherState& state, std::uint32_t ms);

// Short copies for a UI thread, taken under the state's lock.
std::wstring copyErrorText(LauncherState& state);
std::wstring copyCurrentItem(LauncherState& state);
std::wstring copyGameExe(LauncherState& state);
std::vector<NewsItem> copyNews(LauncherState& state);
// The address of a link of the manifest, or "" when it has none of that name.
std::wstring copyLink(LauncherState& state, const std::string& key);
