// The check phase on folders large enough to be scanned in several batches by the workers,
// and the cache file left alone by a run that changed nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "base/files.h"
#include "base/text.h"
#include "i18n/strings.h"
#include "run_support.h"
#include "update/patch_state.h"

namespace {

namespace fs = std::filesystem;

std::string name(int i) {
  std::string out = "f/";
  out += std::to_string(1000 + i);
  out += ".txt";
  return out;
}

// Counts what a run hashed: filesTotal as the download phase begins still holds the check
// phase's number of hash jobs.
struct HashJobCounter {
  LauncherState* state = nullptr;
  std::atomic<int> hashJobs{-1};
  static void notify(void* context, int phase, int detail) {
    auto* self = static_cast<HashJobCounter*>(context);
    if (phase == kPhaseDownloading && detail == 0) self->hashJobs = self->state->filesTotal.load();
  }
};

}  // namespace

TEST(CheckPhaseTest, ABigFolderIsDecidedAsOneScanInManifestOrderWould) {
  setUiLanguage("en");
  constexpr int kFiles = 700;  // three batches of the scan, the last one short
  TempDir release;
  TempDir game;
  TestServer server;
  ASSERT_TRUE(server.ok());
  server.serveFolder(release.path());
  Release r;
  for (int i = 0; i < kFiles; ++i)
    r.files.push_back({name(i), "content of file " + std::to_string(i)});
  publishRelease(release, r);
  {
    LauncherState state;
    runToEnd(state, testSettings(server, game));
    ASSERT_EQ(state.phase.load(), kPhaseReady) << wideToUtf8(copyErrorText(state));
  }

  // Missing ones at the batch edges, resized ones, same-size changes with a new time (hashed),
  // and same-size changes that the cache vouches for (trusted, left alone).
  const std::set<int> missing = {0, 255, 256, 511, 512, 699};
  const std::set<int> resized = {100, 300, 650};
  const std::set<int> rewritten = {50, 600};
  const std::set<int> vouched = {20, 400};
  for (int i : missing) fs::remove(fs::path(game.file(name(i))));
  for (int i : resized) game.write(name(i), r.files[i].content + "!");
  for (int i : rewritten) {
    std::string other = r.files[i].content;
    other[0] = 'C';
    game.write(name(i), other);
  }
  std::string cache = game.read("patcher_cache.dat");
  for (int i : vouched) {
    std::string other = r.files[i].content;
    other[0] = 'V';
    game.write(name(i), other);
    FileInfo info;
    ASSERT_TRUE(getFileInfo(game.file(name(i)), info));
    const std::size_t at = cache.find("\t" + name(i) + "\n");
    ASSERT_NE(at, std::string::npos);
    const std::size_t timeStart = cache.rfind('\t', at - 1) + 1;
    cache.replace(timeStart, at - timeStart, std::to_string(info.lastWriteTime));
  }
  game.write("patcher_cache.dat", cache);

  const int before = fileRequests(server);
  LauncherState state;
  HashJobCounter counter;
  counter.state = &state;
  UpdateSettings settings = testSettings(server, game);
  settings.notify = &HashJobCounter::notify;
  settings.notifyContext = &counter;
  runToEnd(state, settings);
  ASSERT_EQ(state.phase.load(), kPhaseReady) << wideToUtf8(copyErrorText(state));

  EXPECT_EQ(counter.hashJobs.load(), 2) << "only the rewritten files are read";
  EXPECT_EQ(fileRequests(server) - before,
            static_cast<int>(missing.size() + resized.size() + rewritten.size()));
  for (int i = 0; i < kFiles; ++i) {
    const std::string got = game.read(name(i));
    if (vouched.count(i) != 0) {
      EXPECT_EQ(got[0], 'V') << name(i) << ": the cache vouched for it";
    } else {
      EXPECT_EQ(got, r.files[i].content) << name(i);
    }
  }
}

TEST(CheckPhaseTest, ACacheFileThatWouldNotChangeIsNotRewritten) {
  TempDir game;
  std::vector<FileEntry> entries(2);
  entries[0].path = "a.bin";
  entries[1].path = "Data/B.bin";
  EntryCache cache = {knownSlot(1, 2, std::string(64, 'a')), knownSlot(3, 4, std::string(64, 'b'))};
  saveEntryCache(game.path(), entries, cache);
  const std::string first = game.read("patcher_cache.dat");
  ASSERT_FALSE(first.empty());

  // An old time stamp shows whether the file was written again.
  const fs::path file(game.file("patcher_cache.dat"));
  const auto old = fs::last_write_time(file) - std::chrono::hours(24);
  fs::last_write_time(file, old);
  saveEntryCache(game.path(), entries, cache);
  EXPECT_EQ(fs::last_write_time(file), old);
  EXPECT_EQ(game.read("patcher_cache.dat"), first);

  // The same length with one digit changed is a change.
  cache[0].writeTime = 7;
  saveEntryCache(game.path(), entries, cache);
  EXPECT_NE(fs::last_write_time(file), old);
  const std::string second = game.read("patcher_cache.dat");
  EXPECT_EQ(second.size(), first.size());
  EXPECT_NE(second.find("\t1\t7\ta.bin\n"), std::string::npos) << second;
  EXPECT_TRUE(temporaryFiles(game).empty());

  // Keys: ASCII letters in lower case, separators and other characters as they are.
  EXPECT_EQ(cacheKey(L"Data\\MAPS\\Level_1.BIN"), L"data\\maps\\level_1.bin");
  EXPECT_EQ(cacheKey(L"A-Z[]@`{}"), L"a-z[]@`{}");
}
