// The one record shared by the UI (the launcher's window, or quillmark-update's progress
// display) and the update thread: progress counters, phase, texts, the manifest's results,
// the hash cache and the update thread itself.
//
// The engine never touches a window. It reports every status code through `notify`, which
// the launcher turns into PostMessageW(window, WM_APP + 1, code, lParam) and quillmark-update
// into a redraw of its progress line. The hook must not block: it is called from the update
// thread while the run goes on.
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

// Status codes of the update run, in the order a run goes through them.
enum StatusCode : int {
  kStatusNone = 0,         // no status reported yet
  kStatusConnecting = 1,   // fetching the manifest
  kStatusVerifying = 2,    // checking the signature; with lParam 1: manifest accepted, news ready
  kStatusChecking = 3,     // checking the game folder
  kStatusDownloading = 4,  // downloading what differs
  kStatusApplying = 5,     // deleting, saving the cache and version
  kStatusSelfUpdate = 6,   // downloading the new launcher
  kStatusRestart = 7,      // new launcher in place; restart once running is false
  kStatusReady = 8,        // run completed
  kStatusError = 9,        // errorText is set
};

// lParam of code 2 when the manifest was accepted and gameExe, news and links were replaced.
inline constexpr std::intptr_t kManifestAccepted = 1;

using StatusNotify = void (*)(void* context, int code, std::intptr_t lParam);

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
  // Where status codes go (set by startUpdate); null drops them.
  StatusNotify notify = nullptr;
  void* notifyContext = nullptr;
  std::thread worker;
  std::atomic<bool> running{false};
  std::atomic<bool> cancel{false};
  // The last status code reported; kStatusNone before the first.
  std::atomic<std::int32_t> phase{kStatusNone};
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

// The update thread's side. postStatus calls the notify hook; postPhase first stores code into
// phase. setError keeps only the first error of a run, then stores and posts 9.
void postStatus(LauncherState& state, int code, std::intptr_t lParam);
void postPhase(LauncherState& state, int code);
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
