#include "update/launcher_state.h"

#include <algorithm>
#include <chrono>

LauncherState::~LauncherState() {
  cancel.exchange(true);
  if (worker.joinable() && worker.get_id() != std::this_thread::get_id()) worker.join();
}

void notifyPhase(LauncherState& state, int phase, int detail) {
  if (state.notify != nullptr) state.notify(state.notifyContext, phase, detail);
}

void postPhase(LauncherState& state, int phase) {
  state.phase.exchange(phase);
  notifyPhase(state, phase, 0);
}

bool phaseMovesBytes(int phase) {
  return phase == kPhaseChecking || phase == kPhaseDownloading || phase == kPhaseSelfUpdate;
}

void setError(LauncherState& state, ErrorKind kind, const std::wstring& text) {
  {
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.errorKind == ErrorKind::None) {
      state.errorKind = kind;
      state.errorText = text;
    }
  }
  postPhase(state, kPhaseError);
}

void setCurrentItem(LauncherState& state, const std::wstring& text) {
  std::lock_guard<std::mutex> guard(state.lock);
  state.currentItem = text;
}

std::wstring copyErrorText(LauncherState& state) {
  std::lock_guard<std::mutex> guard(state.lock);
  return state.errorText;
}

bool isPausedDownload(const RunSnapshot& run) {
  return run.paused && run.phase == kPhaseDownloading;
}

RunSnapshot readRunCounters(const LauncherState& state) {
  RunSnapshot s;
  s.phase = state.phase.load();
  s.running = state.running.load();
  s.paused = state.paused.load();
  s.bytesDone = state.bytesDone.load();
  s.bytesTotal = state.bytesTotal.load();
  s.filesDone = state.filesDone.load();
  s.filesTotal = state.filesTotal.load();
  s.version = state.version.load();
  return s;
}

RunSnapshot takeRunSnapshot(LauncherState& state) {
  RunSnapshot s = readRunCounters(state);
  std::lock_guard<std::mutex> guard(state.lock);
  s.currentItem = state.currentItem;
  s.errorText = state.errorText;
  s.errorKind = state.errorKind;
  return s;
}

std::wstring copyGameExe(LauncherState& state) {
  std::lock_guard<std::mutex> guard(state.lock);
  return state.gameExe;
}

std::vector<NewsItem> copyNews(LauncherState& state) {
  std::lock_guard<std::mutex> guard(state.lock);
  return state.news;
}

std::wstring copyLink(LauncherState& state, const std::string& key) {
  std::lock_guard<std::mutex> guard(state.lock);
  auto it = state.links.find(key);
  return it == state.links.end() ? std::wstring() : it->second;
}

bool pauseUnlessCancelled(LauncherState& state, std::uint32_t ms) {
  // Slices keep a cancelled run (a closed window, Ctrl+C) from waiting out a whole pause.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!state.cancel.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return true;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(20)));
  }
  return false;
}
