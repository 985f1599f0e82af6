// Whole update runs against the test server: phases, the hash cache (a no-change run reads no
// file), repair, keep files, the delete phase, a failing download among several, cancellation,
// the requests kept in flight and the error text of each download failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "base/files.h"
#include "base/text.h"
#include "i18n/strings.h"
#include "run_support.h"
#include "update/fetch.h"
#include "update/patch_state.h"
#include "update/profile.h"

namespace fs = std::filesystem;

namespace {

struct CacheLine {
  std::string hash;
  std::uint64_t size = 0;
  std::uint64_t time = 0;
};

// patcher_cache.dat as path -> record, in the order written.
std::map<std::string, CacheLine> readCacheFile(const TempDir& game,
                                               std::vector<std::string>* order = nullptr) {
  std::map<std::string, CacheLine> out;
  std::istringstream in(game.read("patcher_cache.dat"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    CacheLine c;
    std::string size, time, path;
    std::getline(fields, c.hash, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, time, '\t');
    std::getline(fields, path);
    c.size = std::stoull(size);
    c.time = std::stoull(time);
    out[path] = c;
    if (order != nullptr) order->push_back(path);
  }
  return out;
}

// prefix + i + suffix, built by appending (gcc 12 warns falsely about "x" + std::string).
std::string numbered(const char* prefix, int i, const char* suffix = "") {
  std::string out(prefix);
  out += std::to_string(i);
  out += suffix;
  return out;
}

// A file time rounded down to a whole second.
fs::file_time_type wholeSecond(fs::file_time_type t) {
  return std::chrono::time_point_cast<fs::file_time_type::duration>(
      std::chrono::floor<std::chrono::seconds>(t));
}

fs::path fsPath(const TempDir& dir, const std::string& relative) {
  return fs::path(dir.file(relative));
}

class UpdateRunTest : public GameRunTest {
 protected:
  // One run to its end; returns the posted sequence.
  std::string run(bool repair = false) {
    PhaseRecorder recorder;
    runToEnd(state, testSettings(server, game, &recorder), repair);
    return recorder.sequence();
  }
  std::string urlPath(const std::string& content) { return "/patch/" + compressedPath(content); }

  LauncherState state;
};

Release firstRelease() {
  Release r;
  r.version = 1;
  r.files = {{"Play Quillmark.exe", "game binary"},
             {"data/a.bin", noiseBytes(300000, 7)},
             {"data/sub/b.txt", "bee"},
             {"empty.dat", ""},
             {"keep.cfg", "defaults=1", true}};
  for (int i = 0; i < 8; ++i)
    r.files.push_back({numbered("many/f", i, ".txt"), numbered("file ", i)});
  return r;
}

TEST_F(UpdateRunTest, InstallThenNoChangeRunReadsNoFileThenRepairRestores) {
  const Release r = firstRelease();
  TempDir source;
  for (const ReleaseFile& f : r.files) source.write(f.path, f.content);
  BuildOptions options;
  options.keep = {"keep.cfg"};
  ASSERT_TRUE(publishFolder(source, release, 1, options));

  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_EQ(state.filesTotal.load(), static_cast<int>(r.files.size()));
  EXPECT_EQ(state.filesDone.load(), static_cast<int>(r.files.size()));
  EXPECT_EQ(installedVersion(normalizeGameDir(game.path())).value, 1);
  // The cache holds one record per file, in the manifest's order and with its path text.
  JsonValue manifest;
  ASSERT_TRUE(parseJson(release.read("manifest.json"), manifest));
  std::vector<std::string> order;
  auto cache = readCacheFile(game, &order);
  ASSERT_EQ(order.size(), manifest.member("files").elements.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    const JsonValue& entry = manifest.member("files").elements[i];
    EXPECT_EQ(order[i], entry.member("p").asString());
    EXPECT_EQ(cache[order[i]].hash, entry.member("h").asString());
    EXPECT_EQ(cache[order[i]].size, static_cast<std::uint64_t>(entry.member("s").asInt64()));
  }

  // Same size, same last-write time, other bytes: a run that trusts the cache cannot notice.
  // The time is first moved to a whole second, which every system's setter keeps exactly, and
  // a run records it.
  const auto time = wholeSecond(fs::last_write_time(fsPath(game, "data/a.bin")));
  fs::last_write_time(fsPath(game, "data/a.bin"), time);
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8");
  EXPECT_EQ(state.filesTotal.load(), 1);
  const std::string swapped = noiseBytes(300000, 8);
  game.write("data/a.bin", swapped);
  fs::last_write_time(fsPath(game, "data/a.bin"), time);
  const int requestsBefore = fileRequests(server);
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8");
  EXPECT_EQ(state.filesTotal.load(), 0) << "nothing was hashed";
  EXPECT_EQ(fileRequests(server), requestsBefore);
  EXPECT_TRUE(game.read("data/a.bin") == swapped) << "the file was read or replaced";

  // Repair ignores the cache, hashes every file and brings the swapped one back.
  EXPECT_EQ(run(true), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(state.filesTotal.load(), 1);
  EXPECT_EQ(fileRequests(server), requestsBefore + 1);
  EXPECT_EQ(server.requestCount(urlPath(r.files[1].content)), 2);
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  // Only what this run hashed or downloaded is recorded: the existing keep file was neither.
  cache = readCacheFile(game);
  EXPECT_EQ(cache.size(), r.files.size() - 1);
  EXPECT_EQ(cache.count("keep.cfg"), 0u);
}

TEST_F(UpdateRunTest, NewTimeSameContentIsHashedAndRecorded) {
  const Release r = firstRelease();
  publishRelease(release, r);
  const fs::path file = fsPath(game, "data/sub/b.txt");
  run();
  fs::last_write_time(file, wholeSecond(fs::last_write_time(file)));
  run();
  const auto before = readCacheFile(game)["data/sub/b.txt"].time;
  fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(30));
  const int requestsBefore = fileRequests(server);
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8");
  EXPECT_EQ(state.filesTotal.load(), 1);
  EXPECT_EQ(state.bytesDone.load(), 3u);
  EXPECT_EQ(fileRequests(server), requestsBefore);
  const auto after = readCacheFile(game)["data/sub/b.txt"].time;
  EXPECT_EQ(before - after, 30ull * 3600 * 10000000) << "the new time in FILETIME units";
}

TEST_F(UpdateRunTest, KeepFileIsOnlyDownloadedWhenMissing) {
  const Release r = firstRelease();
  publishRelease(release, r);
  run();
  game.write("keep.cfg", "player's own settings, longer than the defaults");
  EXPECT_EQ(run(true), "1 2 2/1 3 5 8 8");
  EXPECT_EQ(game.read("keep.cfg"), "player's own settings, longer than the defaults");
  fs::remove(fsPath(game, "keep.cfg"));
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(game.read("keep.cfg"), "defaults=1");
}

TEST_F(UpdateRunTest, DeletePhaseRemovesFilesAndEmptiedFolders) {
  TempDir outer;
  outer.write("victim.txt", "outside the game folder");
  Release r;
  r.version = 1;
  r.files = {{"old/deep/er/x.txt", "x"}, {"old/stays.txt", "s"}, {"kept.txt", "k"}};
  publishRelease(release, r);
  UpdateSettings settings = testSettings(server, game);
  settings.gameDir = outer.file("game");
  runToEnd(state, settings);
  ASSERT_EQ(state.phase.load(), kPhaseReady);
  outer.write("game/loose.txt", "not in any manifest");

  r.version = 2;
  r.files = {{"old/stays.txt", "s"}, {"kept.txt", "k"}};
  r.deletes = {"old/deep/er/x.txt", "loose.txt", "kept.txt", "../victim.txt", "old/stays.txt/"};
  publishRelease(release, r);
  LauncherState second;
  runToEnd(second, settings);
  EXPECT_EQ(copyErrorText(second), L"");
  EXPECT_FALSE(outer.exists("game/old/deep/er/x.txt"));
  EXPECT_FALSE(fs::exists(fs::path(outer.file("game/old/deep"))))
      << "emptied folders go, up to the first that is not empty";
  EXPECT_TRUE(outer.exists("game/old/stays.txt"));
  EXPECT_FALSE(outer.exists("game/loose.txt"));
  EXPECT_TRUE(outer.exists("victim.txt")) << "an unsafe path is never deleted";
  EXPECT_EQ(outer.read("game/kept.txt"), "k") << "a file the manifest lists is not deleted";
  EXPECT_EQ(installedVersion(normalizeGameDir(settings.gameDir)).value, 2);
  EXPECT_EQ(outer.read("game/patcher_cache.dat").find("x.txt"), std::string::npos);
}

TEST_F(UpdateRunTest, OneFailingDownloadStopsTheOthersAndFinishedOnesAreCached) {
  // A full set of transfers: f0 and f1 finish and their threads move on to the next two; f2
  // fails while all the others wait in stalls; then they are let go. The files after those
  // are never asked for.
  const int inFlight = static_cast<int>(kRequestsInFlight);
  const int files = inFlight + 8;
  Release r;
  for (int i = 0; i < files; ++i)
    r.files.push_back({numbered("f", i, ".bin"), noiseBytes(1000, 100 + i)});
  publishRelease(release, r);
  fs::remove(fs::path(release.file(compressedPath(r.files[2].content))));  // f2 answers 404
  for (int i = 3; i < files; ++i) {
    server.setFault(urlPath(r.files[i].content),
                    faultWith([](ServerFault& f) { f.stallBeforeAnswer = true; }));
  }
  UpdateSettings settings = testSettings(server, game);
  settings.downloadRetryPauseMs = 200;  // f0 and f1 finish long before f2 gives up
  ASSERT_TRUE(startUpdate(state, false, settings));
  ASSERT_TRUE(
      pollUntil([&] { return state.cancel.load() && server.stalledCount() == inFlight - 1; }));
  server.releaseStalls();
  joinUpdate(state);

  EXPECT_EQ(copyErrorText(state), L"Could not connect to the patch server. f2.bin");
  EXPECT_EQ(takeRunSnapshot(state).errorKind, ErrorKind::Unreachable);
  EXPECT_EQ(state.phase.load(), kPhaseError);
  const auto cache = readCacheFile(game);
  EXPECT_EQ(cache.size(), 2u);
  for (int i = 0; i < files; ++i) {
    const std::string name = r.files[i].path;
    EXPECT_EQ(game.exists(name), i < 2) << name;
    EXPECT_EQ(cache.count(name), i < 2 ? 1u : 0u) << name;
    if (i >= inFlight + 2) {
      EXPECT_EQ(server.requestCount(urlPath(r.files[i].content)), 0) << name;
    }
  }
  EXPECT_EQ(game.read("patcher.ini"), "[patch]\r\napplying=1\r\n")
      << "the version is written only by a completed run, the one it applies before its first "
         "write";
  EXPECT_TRUE(temporaryFiles(game).empty());
}

// What the folder's files were at a moment: path -> size and last-write time.
std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> folderAttributes(
    const TempDir& dir) {
  std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> out;
  for (const auto& [path, content] : folderFiles(dir)) {
    FileInfo info;
    if (getEntryInfo(dir.file(path), info)) {
      out[path] = {info.size, info.lastWriteTime};
    }
  }
  return out;
}

// Every record of the cache file as it stands names a file as it was at the last sync before:
// a record written before its file's sync would let a power cut leave a file that the cache
// vouches for without its bytes. Checked at each sync (the cache then on disk was written
// before it) and after each run, over a run that ends in a failed download and one that
// completes.
TEST_F(UpdateRunTest, TheCacheNamesOnlyFilesAsTheyWereAtTheLastSync) {
  Release r = firstRelease();
  publishRelease(release, r);
  std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> synced;
  int syncs = 0;
  const auto checkCache = [&](const char* when) {
    if (!game.exists("patcher_cache.dat")) return;
    for (const auto& [path, line] : readCacheFile(game)) {
      const auto it = synced.find(path);
      ASSERT_TRUE(it != synced.end()) << path << " recorded before any sync, " << when;
      EXPECT_EQ(it->second, std::make_pair(line.size, line.time)) << path << ", " << when;
    }
  };
  UpdateSettings settings = testSettings(server, game);
  settings.afterSync = [&] {
    checkCache("seen at a sync");
    synced = folderAttributes(game);
    ++syncs;
  };
  fs::remove(fs::path(release.file(compressedPath(r.files[3].content))));  // a 404 ends the run
  runToEnd(state, settings);
  EXPECT_EQ(state.phase.load(), kPhaseError);
  EXPECT_EQ(syncs, 1);
  EXPECT_FALSE(readCacheFile(game).empty()) << "the files that did arrive are recorded";
  checkCache("after the failed run");

  r.version = 2;
  r.files[1].content = noiseBytes(300000, 9);
  r.files.push_back({"added.bin", "new in version 2"});
  publishRelease(release, r);
  game.write("many/f0.txt", "changed by the player");
  runToEnd(state, settings);
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_EQ(syncs, 2);
  checkCache("after the completed run");
  EXPECT_EQ(readCacheFile(game).count("added.bin"), 1u);

  // Nothing written, nothing unknown hashed: nothing to sync.
  runToEnd(state, settings);
  EXPECT_EQ(syncs, 2);
}

// An update that does not fit on the volume stops before its first write: the message names
// both sizes (needed rounded up, free rounded down, in the player's language), and the
// folder, its version and its cache are as they were. Enough room lets the same run through.
TEST_F(UpdateRunTest, AnUpdateThatDoesNotFitChangesNothing) {
  Release r = firstRelease();
  publishRelease(release, r);
  run();
  const auto before = everyFile(game);

  r.version = 2;
  r.files[1].content = noiseBytes(1500000, 11);  // 1,500,000 bytes, replacing data/a.bin
  r.files.push_back({"added.bin", std::string(100000, 'a')});
  publishRelease(release, r);
  const int requestsBefore = fileRequests(server);
  UpdateSettings settings = testSettings(server, game);
  settings.pretendFreeBytes = 1000000;
  for (const char* language : {"en", "fr"}) {
    setUiLanguage(language);
    runToEnd(state, settings);
    EXPECT_EQ(copyErrorText(state), std::string(language) == "en"
                                        ? L"Not enough disk space for the update: it needs 1.6 MB, "
                                          L"and 976 KB is free."
                                        : L"Espace disque insuffisant pour la mise à jour\u00A0: "
                                          L"1,6 MB nécessaires, 976 KB disponibles.");
  }
  setUiLanguage("en");
  EXPECT_EQ(state.phase.load(), kPhaseError);
  EXPECT_EQ(fileRequests(server), requestsBefore);
  EXPECT_TRUE(everyFile(game) == before) << "not one file, not the launcher's own, was touched";

  settings.pretendFreeBytes = 1600000;  // 1,500,000 + 100,000 bytes exactly
  runToEnd(state, settings);
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_EQ(installedVersion(normalizeGameDir(game.path())).value, 2);
}

// A manifest refused for any reason leaves every file of the folder as it was, the launcher's
// own ones included, in a fresh folder as in one with a version: below the installed version,
// below one that an interrupted run began to apply, below the one an oversized patcher.ini
// names, expired, or signed by another key.
TEST_F(UpdateRunTest, ARefusedManifestChangesNoFile) {
  Release r = firstRelease();
  publishRelease(release, r, otherTestKey());
  run();
  EXPECT_EQ(state.phase.load(), kPhaseError);
  EXPECT_TRUE(everyFile(game).empty());
  publishRelease(release, r);
  ASSERT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  struct Refusal {
    const char* name;
    std::int64_t version;
    const char* patcherIni;  // replaces patcher.ini when not null
    const char* expires;     // an "expires" member when not null
    const char* error;       // the start of the run's error
  };
  const std::string padding(kProfileMaxBytes, ';');
  const Refusal refusals[] = {
      {"older", 0, nullptr, nullptr, "The server sent an older version"},
      {"below applying", 2, "[patch]\r\nversion=1\r\napplying=3\r\n", nullptr,
       "The server sent an older version"},
      {"expired", 3, "[patch]\r\nversion=1\r\n", "2020-01-01T00:00:00Z",
       "The patch server is out of date"},
      {"below an oversized record", 4, nullptr, nullptr, "The server sent an older version"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.name);
    if (refusal.patcherIni != nullptr) game.write("patcher.ini", refusal.patcherIni);
    if (std::string(refusal.name) == "below an oversized record") {
      game.write("patcher.ini", "[patch]\r\nversion=5\r\n" + padding);
    }
    r.version = refusal.version;
    r.extraMembers =
        refusal.expires == nullptr ? "" : std::string("\"expires\":\"") + refusal.expires + "\"";
    publishRelease(release, r);
    const auto before = everyFile(game);
    const int requests = fileRequests(server);
    run();
    EXPECT_EQ(wideToUtf8(copyErrorText(state)).rfind(refusal.error, 0), 0u)
        << wideToUtf8(copyErrorText(state));
    EXPECT_EQ(takeRunSnapshot(state).errorKind, ErrorKind::Refused);
    EXPECT_TRUE(everyFile(game) == before);
    EXPECT_EQ(fileRequests(server), requests);
  }
  // The oversized record is replaced once a run completes, keeping no more than the version.
  r.version = 5;
  r.extraMembers.clear();
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8");
  EXPECT_EQ(game.read("patcher.ini"), "[patch]\r\nversion=5\r\n");
}

// A run that cannot record the version it completed (a volume that filled up) says so and is
// not up to date; the version it began to apply stays the floor.
TEST_F(UpdateRunTest, AVersionThatCannotBeRecordedIsAnError) {
  Release r = firstRelease();
  publishRelease(release, r);
  UpdateSettings settings = testSettings(server, game);
  // What stands in for the full volume: the record's temporary file cannot be made.
  settings.afterSync = [this] { game.write("patcher.ini.ap_tmp/full", ""); };
  runToEnd(state, settings);
  EXPECT_EQ(state.phase.load(), kPhaseError);
  EXPECT_EQ(copyErrorText(state), L"Could not write file: " +
                                      displayPath(normalizeGameDir(game.path())) + L"patcher.ini");
  EXPECT_EQ(game.read("patcher.ini"), "[patch]\r\napplying=1\r\n");
  EXPECT_TRUE(game.read("data/a.bin") == r.files[1].content);
}

TEST_F(UpdateRunTest, CancellingDuringADownloadEndsQuietly) {
  Release r;
  r.files = {{"big.bin", noiseBytes(2 * 1024 * 1024, 9)}, {"small.txt", "s"}};
  publishRelease(release, r);
  server.setFault(urlPath(r.files[0].content),
                  faultWith([](ServerFault& f) { f.stallAfter = 300000; }));
  PhaseRecorder recorder;
  ASSERT_TRUE(startUpdate(state, false, testSettings(server, game, &recorder)));
  ASSERT_TRUE(pollUntil([&] { return server.stalledCount() == 1 && game.exists("small.txt"); }));
  state.cancel = true;  // what closing the window does
  server.releaseStalls();
  joinUpdate(state);
  EXPECT_EQ(recorder.sequence(), "1 2 2/1 3 4 4");
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_FALSE(game.exists("big.bin"));
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_EQ(readCacheFile(game).count("small.txt"), 1u) << "finished downloads are remembered";
  EXPECT_FALSE(installedVersion(normalizeGameDir(game.path())).present);
}

// Closing the window while a large game's files are read keeps the hashes already taken: the
// next start does not read those files again. (The pack's hash, cut short, is not kept.)
TEST_F(UpdateRunTest, CancellingDuringTheCheckKeepsTheHashesItTook) {
  Release r;
  for (int i = 0; i < 6; ++i) r.files.push_back({numbered("f", i), numbered("file ", i)});
  for (const ReleaseFile& f : r.files) game.write(f.path, f.content);
  const ReleaseFile pack = {"pack.pak", "x"};
  r.files.push_back(pack);
  publishRelease(release, r);
  // The pack as the manifest and the folder have it: 64 GiB, sparse, whose hash takes minutes.
  const std::uint64_t size = 64ull << 30;
  std::string text = manifestText(r);
  const std::string small = fileEntryJson(pack);
  text.replace(text.find(small), small.size(),
               "{\"p\":\"pack.pak\",\"h\":\"" + std::string(64, '0') +
                   "\",\"s\":" + std::to_string(size) + ",\"c\":1}");
  writeSignedManifest(release, text);
  game.write(pack.path, "");
  std::error_code ec;
  fs::resize_file(fsPath(game, pack.path), size, ec);
  if (ec) GTEST_SKIP() << "no sparse files here";

  ASSERT_TRUE(startUpdate(state, false, testSettings(server, game)));
  ASSERT_TRUE(pollUntil([&] { return state.filesDone.load() == 6; }));
  state.cancel = true;  // what closing the window does
  joinUpdate(state);
  const std::map<std::string, CacheLine> cache = readCacheFile(game);
  EXPECT_EQ(cache.size(), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(cache.count(numbered("f", i)), 1u) << i;
  EXPECT_EQ(fileRequests(server), 0);
  EXPECT_FALSE(game.exists("patcher.ini")) << "nothing else is written";
}

TEST_F(UpdateRunTest, RequestsInFlightStayWithinTheCap) {
  for (int files : {3, 40}) {
    Release r;
    for (int i = 0; i < files; ++i) r.files.push_back({numbered("w", i), numbered("worker ", i)});
    TempDir folder;
    publishRelease(folder, r);
    TestServer s;
    s.serveFolder(folder.path());
    s.setFault("*", faultWith([](ServerFault& f) { f.stallBeforeAnswer = true; }));
    s.setFault("/patch/manifest.json", ServerFault());
    s.setFault("/patch/manifest.sig", ServerFault());
    TempDir target;
    LauncherState st;
    ASSERT_TRUE(startUpdate(st, false, testSettings(s, target)));
    // While every answer is held back, the requests the server has are all there are.
    const int expected = std::min(files, static_cast<int>(kRequestsInFlight));
    EXPECT_TRUE(pollUntil([&] { return s.stalledCount() == expected; })) << files;
    EXPECT_EQ(fileRequests(s), expected) << files;
    s.clearFaults();
    s.releaseStalls();
    joinUpdate(st);
    EXPECT_EQ(st.phase.load(), kPhaseReady);
    EXPECT_EQ(fileRequests(s), files);
  }
}

TEST_F(UpdateRunTest, ManyFilesOverASlowRoundTripKeepRequestsInFlight) {
  // Every file is answered 60 ms late. Four at a time, 96 files would wait 24 such delays in
  // a row; the server sees far more at once, and every byte lands. (The cap itself is
  // RequestsInFlightStayWithinTheCap's: here a request whose answer the client has read whole may
  // still count at the server for a moment while its successor arrives.)
  Release r;
  for (int i = 0; i < 96; ++i) {
    r.files.push_back({numbered("slow/f", i, ".bin"), noiseBytes(3000 + 500 * i, 300 + i)});
  }
  publishRelease(release, r);
  server.setFault("*", faultWith([](ServerFault& f) {
                    f.stallBeforeAnswer = true;
                    f.stallMs = 60;
                  }));
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(state.phase.load(), kPhaseReady);
  EXPECT_GT(server.maxInFlight(), 8);
  for (const ReleaseFile& f : r.files) EXPECT_TRUE(game.read(f.path) == f.content) << f.path;
  EXPECT_EQ(state.filesDone.load(), 96);
}

TEST_F(UpdateRunTest, CancellingWithManyRequestsInFlightLeavesNoTemporaryFile) {
  Release r;
  for (int i = 0; i < 40; ++i)
    r.files.push_back({numbered("c/f", i, ".bin"), noiseBytes(200000, 500 + i)});
  publishRelease(release, r);
  for (const ReleaseFile& f : r.files) {
    server.setFault(urlPath(f.content),
                    faultWith([](ServerFault& fault) { fault.stallAfter = 70000; }));
  }
  ASSERT_TRUE(startUpdate(state, false, testSettings(server, game)));
  // A partial file on the disk for each transfer, each waiting for its next byte.
  const int inFlight = static_cast<int>(kRequestsInFlight);
  ASSERT_TRUE(pollUntil([&] { return server.stalledCount() == inFlight; }));
  EXPECT_EQ(temporaryFiles(game).size(), kRequestsInFlight);
#ifdef _WIN32
  // WinHTTP notices the cancel between its calls: the stalled reads must return first.
  state.cancel = true;
  server.releaseStalls();
#endif
  cancelUpdate(state);
  server.releaseStalls();
  EXPECT_FALSE(state.running.load());
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_FALSE(installedVersion(normalizeGameDir(game.path())).present);
  EXPECT_EQ(fileRequests(server), inFlight) << "no file is asked for after the cancel";
}

TEST_F(UpdateRunTest, EachDownloadFailureHasItsText) {
  // The path as the system writes it.
#ifdef _WIN32
  const std::wstring shown = L"data\\c.bin";
#else
  const std::wstring shown = L"data/c.bin";
#endif
  Release r;
  r.files = {{"data/c.bin", "content"}};
  publishRelease(release, r);
  server.setBody(urlPath("content"), zlibStream("CONTENT"));
  run();
  EXPECT_EQ(copyErrorText(state), L"File corrupted after download: " + shown);
  EXPECT_EQ(takeRunSnapshot(state).errorKind, ErrorKind::Refused);

  server.removeBody(urlPath("content"));
  fs::remove_all(fsPath(game, "data"));
  game.write("data", "a file where the folder should be");
  run();
  EXPECT_EQ(copyErrorText(state), L"Could not write file: " + shown);
  EXPECT_EQ(takeRunSnapshot(state).errorKind, ErrorKind::WriteFailed);
  fs::remove(fsPath(game, "data"));

#ifdef _WIN32
  game.write("data/c.bin", "in use");
  FileHandle held;
  ASSERT_TRUE(held.openForRead(game.file("data/c.bin")));
  run();
  held.close();
  EXPECT_EQ(copyErrorText(state), L"File in use - close the game and try again: " + shown);
  EXPECT_EQ(takeRunSnapshot(state).errorKind, ErrorKind::WriteFailed);
  EXPECT_EQ(game.read("data/c.bin"), "in use");
#endif
  EXPECT_TRUE(temporaryFiles(game).empty());
}

TEST_F(UpdateRunTest, ASecondRunOfTheSameFolderFailsAtOnce) {
  // Two Launcher states, as two programs would have: the folder's lock, not the state, keeps
  // the second out while the first waits for its manifest. Once the first has ended, the lock
  // is free again.
  Release r;
  r.files = {{"a.txt", "a"}};
  publishRelease(release, r);
  server.setFault("/patch/manifest.json", faultWith([](ServerFault& f) {
                    f.stallBeforeAnswer = true;
                    f.times = 1;
                  }));
  ASSERT_TRUE(startUpdate(state, false, testSettings(server, game)));
  ASSERT_TRUE(pollUntil([&] { return server.stalledCount() == 1; }));
  LauncherState second;
  PhaseRecorder recorder;
  runToEnd(second, testSettings(server, game, &recorder));
  EXPECT_EQ(copyErrorText(second), L"Another update of this game folder is running.");
  EXPECT_EQ(recorder.sequence(), "9 9");
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 1) << "the second run fetched nothing";
  server.releaseStalls();
  joinUpdate(state);
  EXPECT_EQ(state.phase.load(), kPhaseReady);
  LauncherState third;
  runToEnd(third, testSettings(server, game));
  EXPECT_EQ(third.phase.load(), kPhaseReady);
}

TEST_F(UpdateRunTest, StartIsRefusedWhileARunIsGoing) {
  Release r;
  r.files = {{"a.txt", "a"}};
  publishRelease(release, r);
  server.setFault("/patch/manifest.json",
                  faultWith([](ServerFault& f) { f.stallBeforeAnswer = true; }));
  ASSERT_TRUE(startUpdate(state, false, testSettings(server, game)));
  ASSERT_TRUE(pollUntil([&] { return server.stalledCount() == 1; }));
  EXPECT_FALSE(startUpdate(state, true, testSettings(server, game)));
  server.clearFaults();
  server.releaseStalls();
  joinUpdate(state);
  EXPECT_EQ(state.phase.load(), kPhaseReady);
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 1);
}

}  // namespace
