// What the engine's integration tests share: the HTTP session, settings aimed at a test
// server and a game folder, and a recorder of the phases a run posts.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/http.h"
#include "base/paths.h"
#include "base/text.h"
#include "i18n/strings.h"
#include "test_release.h"
#include "test_server.h"
#include "test_support.h"
#include "update/launcher_state.h"
#include "update/manifest.h"
#include "update/update_run.h"
#include "update/update_settings.h"

inline void ensureHttpSession() {
  static const bool opened = httpOpenSession();
  (void)opened;
}

// Every phase a run posts, in order, as text (a detail after a slash): "1 2 2/1 3 4 5 8 8".
struct PhaseRecorder {
  std::mutex mutex;
  std::vector<std::string> posts;

  static void notify(void* context, int phase, int detail) {
    auto* self = static_cast<PhaseRecorder*>(context);
    std::lock_guard<std::mutex> guard(self->mutex);
    self->posts.push_back(detail == 0 ? std::to_string(phase)
                                      : std::to_string(phase) + "/" + std::to_string(detail));
  }
  std::string sequence() {
    std::lock_guard<std::mutex> guard(mutex);
    std::string out;
    for (const std::string& p : posts) out += (out.empty() ? "" : " ") + p;
    return out;
  }
};

// Settings for a run against patchUrl into game, with short pauses.
inline UpdateSettings testSettings(const std::wstring& patchUrl, const TempDir& game,
                                   PhaseRecorder* recorder = nullptr) {
  ensureHttpSession();
  UpdateSettings s;
  s.patchUrls = {patchUrl};
  s.publicKeys = {testKey().publicKey};
  s.gameDir = game.path();
  // No launcher executable in the game folder unless a test puts one there.
  s.executablePath = game.file("QuillmarkLauncher.exe");
  s.manifestRetryPauseMs = 30;
  s.downloadRetryPauseMs = 20;
  s.oldLauncherPauseMs = 5;
  if (recorder != nullptr) {
    s.notify = &PhaseRecorder::notify;
    s.notifyContext = recorder;
  }
  return s;
}

inline UpdateSettings testSettings(const TestServer& server, const TempDir& game,
                                   PhaseRecorder* recorder = nullptr) {
  return testSettings(server.patchUrl(), game, recorder);
}

// Runs one update on its own thread and waits for it to end.
inline void runToEnd(LauncherState& state, const UpdateSettings& settings, bool repair = false) {
  ASSERT_TRUE(startUpdate(state, repair, settings));
  joinUpdate(state);
  ASSERT_FALSE(state.running.load());
}

// A fault with some of its fields set: faultWith([](ServerFault& f) { f.status = 503; }).
template <class Set>
ServerFault faultWith(Set set) {
  ServerFault fault;
  set(fault);
  return fault;
}

// Requests for the content files ("/patch/files/...").
inline int fileRequests(const TestServer& server) {
  int n = 0;
  for (const RecordedRequest& r : server.requests()) {
    if (r.path.rfind("/patch/files/", 0) == 0) ++n;
  }
  return n;
}

// The manifest entry of a release file.
inline FileEntry entryFor(const ReleaseFile& file) {
  JsonValue value;
  FileEntry entry;
  EXPECT_TRUE(parseJson(fileEntryJson(file), value));
  EXPECT_TRUE(readFileEntry(value, entry));
  return entry;
}

// The temporary sibling of a file, as the tests' UTF-8 paths write it.
inline std::string temporaryOf(const std::string& path) {
  return path + wideToUtf8(kTemporarySuffix);
}

// Every temporary file below a folder.
inline std::vector<std::string> temporaryFiles(const TempDir& dir) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it =
           std::filesystem::recursive_directory_iterator(std::filesystem::path(dir.path()), ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->path().extension() == std::filesystem::path(kTemporarySuffix))
      found.push_back(it->path().string());
  }
  return found;
}

// Every entry below a folder, the launcher's own files and temporary files too, as its relative
// path -> its content and last-write time ("<folder>" for a folder): what "changes nothing"
// compares.
inline std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> everyFile(
    const TempDir& dir) {
  namespace fs = std::filesystem;
  std::map<std::string, std::pair<std::string, fs::file_time_type>> out;
  const fs::path root(dir.path());
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string relative = it->path().lexically_relative(root).generic_string();
    const bool file = it->is_regular_file(ec);
    out[relative] = {file ? dir.read(relative) : "<folder>", fs::last_write_time(it->path(), ec)};
  }
  return out;
}

// A release folder served by a test server and a game folder, for whole runs in English: run()
// updates the game to what the release holds and returns the status sequence; error holds the
// run's error text.
class GameRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setUiLanguage("en");
    ASSERT_TRUE(server.ok());
    server.serveFolder(release.path());
  }
  std::string run() {
    PhaseRecorder recorder;
    LauncherState state;
    runToEnd(state, testSettings(server, game, &recorder));
    error = copyErrorText(state);
    return recorder.sequence();
  }

  TempDir release;
  TempDir game;
  TestServer server;
  std::wstring error;
};
