// quillmark-update's run. Sections: the phase posts (what the engine's notify hook hands
// over), the display (redrawn line or plain lines), runUpdateCommand.
#include "cli/update_command.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "base/files.h"
#include "base/http.h"
#include "base/paths.h"
#include "base/text.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "i18n/strings.h"
#include "update/launcher_state.h"
#include "update/speed_meter.h"
#include "update/update_run.h"
#include "update/update_settings.h"

namespace {

constexpr auto kTick = std::chrono::milliseconds(100);
// Without a terminal, a progress line at most this often: enough for a log, not a flood.
constexpr std::uint64_t kPlainProgressMs = 5000;

std::uint64_t nowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// ---- the phase posts ----

// One phase with the counters as they were when it was posted: the engine resets them
// right after posting a new phase, so this is the only exact record of how a phase ended.
// (counters.phase is the phase stored then, which a post of kManifestAccepted leaves alone.)
struct Post {
  int phase = 0;
  int detail = 0;
  RunSnapshot counters;
  std::uint64_t atMs = 0;
};

// Filled by the engine's notify hook on the update thread. The hook only appends under a mutex
// held for a moment, so it never makes the run wait for the console.
struct PostQueue {
  LauncherState* state = nullptr;
  std::mutex mutex;
  std::condition_variable wake;
  std::vector<Post> posts;

  static void notify(void* context, int phase, int detail) {
    auto* self = static_cast<PostQueue*>(context);
    Post p;
    p.phase = phase;
    p.detail = detail;
    p.counters = readRunCounters(*self->state);
    p.atMs = nowMs();
    {
      std::lock_guard<std::mutex> guard(self->mutex);
      self->posts.push_back(p);
    }
    self->wake.notify_one();
  }

  // Waits up to one tick for posts and takes them all.
  std::vector<Post> take() {
    std::vector<Post> out;
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait_for(lock, kTick, [this] { return !posts.empty(); });
    out.swap(posts);
    return out;
  }
};

// ---- the display ----

class Display {
 public:
  Display(bool terminal, bool quiet) : terminal_(terminal), quiet_(quiet) {}

  // A phase change: the phase that ends gets its closing line when it counted anything, the
  // new one its heading (plain output).
  void phaseChanged(const Post& post) {
    if (post.phase == phase_ || post.detail != 0) return;
    if (phaseMovesBytes(phase_) && post.counters.bytesTotal > 0) {
      RunSnapshot last = post.counters;
      last.phase = phase_;
      const std::uint64_t ms = post.atMs > phaseStartMs_ ? post.atMs - phaseStartMs_ : 0;
      const double average =
          ms > 0 ? static_cast<double>(last.bytesDone) * 1000.0 / static_cast<double>(ms) : 0.0;
      printLine(progressLine(last, average, false));
    }
    phase_ = post.phase;
    phaseStartMs_ = post.atMs;
    lastPlainMs_ = post.atMs;
    // The end of a run is reported by its result, not by a heading.
    if (!terminal_ && post.phase != kPhaseReady && post.phase != kPhaseError) {
      printLine(phaseText(post.phase));
    }
  }

  // Every tick: the redrawn line on a terminal, an occasional progress line otherwise.
  void tick(LauncherState& state) {
    if (quiet_) return;
    RunSnapshot s = takeRunSnapshot(state);
    // A phase whose post has not been handled yet waits for it; the end of a run is shown by
    // its result.
    if (s.phase != phase_ || s.phase == kPhaseReady || s.phase == kPhaseError) return;
    s.currentItem = displayPath(s.currentItem);
    const std::uint64_t now = nowMs();
    sampleSpeed(meter_, s.phase, s.bytesDone, now);
    if (terminal_) {
      redraw(fitToWidth(progressLine(s, meter_.speed, true), terminalColumns()));
    } else if (phaseMovesBytes(s.phase) && s.bytesTotal > 0 &&
               now - lastPlainMs_ >= kPlainProgressMs) {
      lastPlainMs_ = now;
      printLine(progressLine(s, meter_.speed, false));
    }
  }

  // Clears the redrawn line so that what follows starts on a clean row.
  void clear() { redraw(std::wstring()); }

  void printLine(const std::wstring& text) {
    if (quiet_) return;
    clear();
    writeOut(text + L"\n");
  }

 private:
  void redraw(const std::wstring& line) {
    if (!terminal_ || line == shown_) return;
    std::wstring text = L"\r" + line;
    // Blanks cover what a longer previous line left behind.
    if (line.size() < shown_.size()) text.append(shown_.size() - line.size(), L' ');
    if (line.empty()) text += L"\r";
    shown_ = line;
    writeOut(text);
  }

  bool terminal_;
  bool quiet_;
  int phase_ = 0;
  std::uint64_t phaseStartMs_ = 0;
  std::uint64_t lastPlainMs_ = 0;
  SpeedMeter meter_;
  std::wstring shown_;
};

std::wstring programError(const std::string& text) {
  return L"quillmark-update: " + utf8ToWide(text) + L"\n";
}

}  // namespace

// ---- runUpdateCommand ----

int exitStatusOf(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Refused:
      return kExitRefused;
    case ErrorKind::Unreachable:
      return kExitUnreachable;
    case ErrorKind::DiskFull:
      return kExitDiskFull;
    case ErrorKind::FolderBusy:
      return kExitFolderBusy;
    case ErrorKind::WriteFailed:
      return kExitWriteFailed;
    default:
      return kExitFailed;
  }
}

int runUpdateCommand(const std::vector<std::wstring>& args) {
  CliOptions options;
  std::string usage;
  switch (parseArguments(args, options, usage)) {
    case ParseOutcome::Help:
      writeOut(std::wstring(kCliHelp, kCliHelp + std::char_traits<char>::length(kCliHelp)));
      return kExitUpToDate;
    case ParseOutcome::BadUsage:
      writeErr(programError(usage + " (see quillmark-update --help)"));
      return kExitUsage;
    case ParseOutcome::Run:
      break;
  }
  setUiLanguage(options.language.empty() ? systemLanguage() : options.language);
  if (!httpSetCaFile(options.caFile)) {
    writeErr(programError("cannot use --ca-file " + wideToUtf8(options.caFile) +
                          ": it cannot be read, or this system's HTTP client trusts only the "
                          "system's certificate store"));
    return kExitUsage;
  }

  // A fresh machine installs into a folder that does not exist yet.
  const std::wstring gameDir = normalizeGameDir(options.gameDir);
  if (!ensureParentDirectory(gameDir)) {
    writeErr(uiText(kStrError) + std::wstring(L": ") + uiText(kStrErrWrite) + L" " +
             displayPath(options.gameDir) + L"\n");
    return kExitWriteFailed;
  }
  if (!httpOpenSession()) {
    writeErr(uiText(kStrError) + std::wstring(L": ") + uiText(kStrErrConnect) + L"\n");
    return kExitFailed;
  }

  LauncherState state;
  PostQueue queue;
  queue.state = &state;
  UpdateSettings settings;
  settings.patchUrls = options.patchUrls;
  settings.publicKeys = options.publicKeys;
  settings.gameDir = gameDir;
  settings.launcherMode = LauncherMode::GameFolderFile;
  settings.syncWrites = !options.noSync;
  settings.notify = &PostQueue::notify;
  settings.notifyContext = &queue;

  Display display(stdoutIsTerminal(), options.quiet);
  installInterruptHandler();
  if (!startUpdate(state, options.repair, settings)) {
    httpCloseSession();
    writeErr(uiText(kStrError) + std::wstring(L"\n"));
    return kExitFailed;
  }

  bool cancelled = false;
  for (;;) {
    const std::vector<Post> posts = queue.take();
    if (!cancelled && interruptStatus() != 0) {
      // The engine stops at its next chunk; files are only ever moved in whole, so the folder
      // keeps every file either old or new.
      state.cancel.store(true);
      cancelled = true;
    }
    for (const Post& p : posts) display.phaseChanged(p);
    if (!state.running.load()) break;
    display.tick(state);
  }
  joinUpdate(state);
  // The thread's last post (the final phase once more) comes after running turned false.
  {
    std::lock_guard<std::mutex> guard(queue.mutex);
    for (const Post& p : queue.posts) display.phaseChanged(p);
    queue.posts.clear();
  }
  display.clear();
  runFinished();
  httpCloseSession();

  const RunSnapshot end = takeRunSnapshot(state);
  if (end.phase == kPhaseReady) {
    writeOut(uiText(kStrUpToDate) + std::wstring(L" - ") + uiText(kStrVersion) + L" " +
             std::to_wstring(end.version) + L"\n");
    return kExitUpToDate;
  }
  if (end.phase == kPhaseError) {
    writeErr(uiText(kStrError) + std::wstring(L": ") + end.errorText + L"\n");
    return exitStatusOf(end.errorKind);
  }
  if (interruptStatus() != 0) {
    writeErr(
        L"quillmark-update: cancelled; no file was left half-written, and a new run keeps what "
        L"this one finished\n");
    return interruptStatus();
  }
  // A run ends in phase 8 or 9 unless it was cancelled.
  writeErr(uiText(kStrError) + std::wstring(L"\n"));
  return kExitFailed;
}
