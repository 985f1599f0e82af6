// Chunked files end to end: releases built by the publisher's own code, served by the test
// server, installed and updated by whole runs of the engine. Requests are counted at the
// server, so that reuse, resumption and refusals show up as what was fetched; the partial file
// an interrupted run keeps is read back range by range.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include "formats/json.h"
#include "i18n/strings.h"
#include "run_support.h"
#include "update/chunked_download.h"
#include "update/fetch.h"

namespace {

// (The base's game folder goes unused: these tests compare several.)
class ChunkedUpdateTest : public GameRunTest {
 protected:
  // Publishes source as version; the entries of its manifest by path, with the chunks their
  // lists name.
  std::map<std::string, FileEntry> publish(std::int64_t version, BuildOptions options = {}) {
    EXPECT_TRUE(publishFolder(source, release, version, options));
    ParsedManifest parsed;
    std::wstring error;
    EXPECT_TRUE(parseManifest(release.read("manifest.json"), parsed, error));
    EXPECT_TRUE(parsed.entriesValid);
    std::map<std::string, FileEntry> byPath;
    for (FileEntry& e : parsed.entries) {
      if (e.chunkList) e.chunkList->chunks = releaseChunks(release, e);
      byPath[e.path] = std::move(e);
    }
    return byPath;
  }

  std::wstring run(const TempDir& game, bool useChunks = true, std::int64_t pretendFree = -1) {
    LauncherState state;
    UpdateSettings settings = testSettings(server, game);
    settings.useChunks = useChunks;
    settings.pretendFreeBytes = pretendFree;
    runToEnd(state, settings);
    const std::wstring error = copyErrorText(state);
    // Chunks fetched, chunks found and whole files each count once: the progress ends at its
    // total.
    if (error.empty()) {
      EXPECT_EQ(state.bytesDone.load(), state.bytesTotal.load());
    }
    return error;
  }

  static std::string objectUrl(const std::string& hash) {
    return "/patch/files/" + hash.substr(0, 2) + "/" + hash + ".z";
  }
  static std::string listUrl(const FileEntry& entry) {
    return objectUrl(entry.chunkList->hash.hex());
  }

  // The chunks of entry that game's partial file of it holds at their offsets.
  static std::vector<bool> chunksInPartial(const TempDir& game, const FileEntry& entry,
                                           const std::string& content) {
    const std::string partial = game.read(temporaryOf(entry.path));
    std::vector<bool> held;
    std::uint64_t offset = 0;
    for (const ChunkRef& chunk : entryChunks(entry)) {
      held.push_back(partial.size() == content.size() &&
                     partial.compare(offset, chunk.size, content, offset, chunk.size) == 0);
      offset += chunk.size;
    }
    return held;
  }

  TempDir source;
};

// A release with a chunked file is installed exactly by the launcher that rebuilds it from
// chunks, and by one that knows nothing of chunks and takes the whole-file object.
TEST_F(ChunkedUpdateTest, BothPathsInstallAChunkedRelease) {
  source.write("big.pak", noiseBytes(6 << 20, 1));
  source.write("small.txt", "a file under the threshold");
  std::map<std::string, FileEntry> entries = publish(1);
  const FileEntry& big = entries["big.pak"];
  ASSERT_GE(entryChunks(big).size(), 3u);
  EXPECT_FALSE(entries["small.txt"].chunkList);

  TempDir chunked;
  EXPECT_EQ(run(chunked), L"");
  EXPECT_EQ(folderFiles(chunked), folderFiles(source));
  EXPECT_EQ(server.requestCount(objectUrl(big.hash.hex())), 0);
  // Fetched for the install; a run that finds the file good needs no list.
  EXPECT_EQ(run(chunked), L"");
  EXPECT_EQ(server.requestCount(listUrl(big)), 1);
  for (const ChunkRef& chunk : entryChunks(big))
    EXPECT_EQ(server.requestCount(objectUrl(chunk.hash)), 1);
  EXPECT_TRUE(temporaryFiles(chunked).empty());

  TempDir whole;
  EXPECT_EQ(run(whole, false), L"");
  EXPECT_EQ(folderFiles(whole), folderFiles(source));
  EXPECT_EQ(server.requestCount(objectUrl(big.hash.hex())), 1);
  EXPECT_EQ(server.requestCount(listUrl(big)), 1);
  for (const ChunkRef& chunk : entryChunks(big))
    EXPECT_EQ(server.requestCount(objectUrl(chunk.hash)), 1);
}

// The next release edits a pack in place and moves another pack with an edit (deleting the old
// one): only the chunks that neither old pack holds are fetched, besides the lists of the two
// files to rebuild.
TEST_F(ChunkedUpdateTest, AnUpdateFetchesOnlyTheChunksTheFolderLacks) {
  const std::string a = noiseBytes(6 << 20, 2);
  const std::string b = noiseBytes(6 << 20, 3);
  source.write("a.pak", a);
  source.write("b.pak", b);
  std::map<std::string, FileEntry> v1 = publish(1);
  TempDir game;
  ASSERT_EQ(run(game), L"");

  std::string a2 = a;
  a2.replace(3 << 20, 1000, noiseBytes(1000, 4));
  a2.insert(1 << 20, noiseBytes(5000, 5));
  std::string c = b;
  c.replace(4 << 20, 2000, noiseBytes(2000, 6));
  source.write("a.pak", a2);
  source.write("data/c.pak", c);
  std::filesystem::remove(std::filesystem::path(source.file("b.pak")));
  TempDir previous;
  previous.write("v1.json", release.read("manifest.json"));
  BuildOptions options;
  options.previousManifest = previous.file("v1.json");
  std::map<std::string, FileEntry> v2 = publish(2, options);

  std::set<std::string> held;
  for (const auto& [path, entry] : v1) {
    for (const ChunkRef& chunk : entryChunks(entry)) held.insert(chunk.hash);
  }
  std::set<std::string> lacking;
  std::size_t total = 0;
  for (const std::string path : {"a.pak", "data/c.pak"}) {
    for (const ChunkRef& chunk : entryChunks(v2[path])) {
      ++total;
      if (held.count(chunk.hash) == 0) lacking.insert(chunk.hash);
    }
  }
  ASSERT_GE(total, 8u);
  ASSERT_LE(lacking.size(), 4u);
  ASSERT_GE(lacking.size(), 2u);

  const int before = fileRequests(server);
  EXPECT_EQ(run(game), L"");
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  EXPECT_EQ(fileRequests(server) - before, static_cast<int>(lacking.size()) + 2);
  for (const std::string& hash : lacking) EXPECT_EQ(server.requestCount(objectUrl(hash)), 1);
}

// A connection lost in the middle of a chunked download (every server attempt at one chunk,
// and at the whole file, fails): the partial file stays with every other chunk in place, and
// the next run fetches only the missing one.
TEST_F(ChunkedUpdateTest, ALostConnectionResumesWithoutFetchingTheDoneChunks) {
  const std::string content = noiseBytes(8 << 20, 7);
  source.write("big.pak", content);
  const FileEntry big = std::move(publish(1)["big.pak"]);
  ASSERT_GE(entryChunks(big).size(), 5u);
  const std::size_t lost = 3;
  server.setStatus(objectUrl(entryChunks(big)[lost].hash), 503);
  server.setStatus(objectUrl(big.hash.hex()), 503);
  TempDir game;
  EXPECT_EQ(run(game).rfind(uiText(kStrErrConnect), 0), 0u);
  EXPECT_FALSE(game.exists("big.pak"));
  const std::vector<bool> held = chunksInPartial(game, big, content);
  for (std::size_t i = 0; i < held.size(); ++i) EXPECT_EQ(held[i], i != lost) << i;

  server.clearFaults();
  EXPECT_EQ(run(game), L"");
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  for (std::size_t i = 0; i < entryChunks(big).size(); ++i) {
    EXPECT_EQ(server.requestCount(objectUrl(entryChunks(big)[i].hash)), i == lost ? 4 : 1) << i;
  }
  EXPECT_EQ(server.requestCount(objectUrl(big.hash.hex())), 3);
  EXPECT_TRUE(temporaryFiles(game).empty());
}

// A run cancelled while one transfer of a large file hangs moves nothing. The next run keeps
// the partial file: it fetches no chunk the file already holds, and needs no more free space,
// since the kept file already has its full size.
TEST_F(ChunkedUpdateTest, ACancelledRunKeepsItsPartialFileForTheNext) {
  const std::string content = noiseBytes(10 << 20, 12);
  source.write("big.pak", content);
  const FileEntry big = std::move(publish(1)["big.pak"]);
  const std::size_t hung = entryChunks(big).size() - 2;
  server.setFault(objectUrl(entryChunks(big)[hung].hash),
                  faultWith([](ServerFault& f) { f.stallBeforeAnswer = true; }));
  TempDir game;
  LauncherState state;
  UpdateSettings settings = testSettings(server, game);
  ASSERT_TRUE(startUpdate(state, false, settings));
  std::uint64_t allButHung = 0;
  for (const ChunkRef& chunk : entryChunks(big)) allButHung += chunk.compressedSize;
  allButHung -= entryChunks(big)[hung].compressedSize;
  ASSERT_TRUE(pollUntil(
      [&] { return server.stalledCount() == 1 && state.bytesDone.load() == allButHung; }));
  state.cancel = true;  // what closing the window does
  server.releaseStalls();
  cancelUpdate(state);
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_FALSE(game.exists("big.pak"));
  const std::vector<bool> held = chunksInPartial(game, big, content);
  ASSERT_EQ(std::count(held.begin(), held.end(), true), static_cast<long>(held.size()) - 1);

  server.clearFaults();
  EXPECT_EQ(run(game, true, 0), L"");
  EXPECT_EQ(game.read("big.pak"), content);
  for (std::size_t i = 0; i < entryChunks(big).size(); ++i) {
    EXPECT_EQ(server.requestCount(objectUrl(entryChunks(big)[i].hash)), held[i] ? 1 : 2) << i;
  }
  EXPECT_TRUE(temporaryFiles(game).empty());
}

// A partial file that has a second name elsewhere (planted by someone with access to the
// folder) is not kept: it would have every chunk written into the other file too.
TEST_F(ChunkedUpdateTest, APartialFileWithASecondNameIsStartedAnew) {
  source.write("big.pak", noiseBytes(6 << 20, 15));
  const FileEntry big = std::move(publish(1)["big.pak"]);
  TempDir game;
  TempDir outside;
  const std::string theirs(big.size, 'x');
  outside.write("theirs.bin", theirs);
  std::error_code ec;
  std::filesystem::create_hard_link(std::filesystem::path(outside.file("theirs.bin")),
                                    std::filesystem::path(game.file(temporaryOf("big.pak"))), ec);
  if (ec) GTEST_SKIP() << "no hard links here";
  EXPECT_EQ(run(game), L"");
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  EXPECT_TRUE(outside.read("theirs.bin") == theirs);
}

// A fresh install needs the room of the release once: it fits a volume that could not hold its
// large file twice, and the folder never holds more than the release while it runs.
TEST_F(ChunkedUpdateTest, AFreshInstallTakesTheReleasesSpaceOnce) {
  source.write("big.pak", noiseBytes(8 << 20, 13));
  source.write("small.bin", noiseBytes(300000, 14));
  publish(1);
  const std::uint64_t releaseBytes = (8 << 20) + 300000;
  server.setFault("*", faultWith([](ServerFault& f) {
                    f.dripBytes = 65536;
                    f.dripEveryMs = 8;
                  }));
  TempDir game;
  LauncherState state;
  UpdateSettings settings = testSettings(server, game);
  settings.pretendFreeBytes = static_cast<std::int64_t>(releaseBytes);
  ASSERT_TRUE(startUpdate(state, false, settings));
  std::uint64_t peak = 0;
  while (state.running.load()) {
    std::uint64_t bytes = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(game.path(), ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      const std::uintmax_t size = it->file_size(ec);
      if (!ec && it->is_regular_file(ec)) bytes += size;
    }
    peak = std::max(peak, bytes);
    std::this_thread::yield();
  }
  joinUpdate(state);
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  EXPECT_GE(peak, 8u << 20);
  EXPECT_LE(peak, releaseBytes + 65536) << "the launcher's own files are all that may be added";
}

// A server that sends another chunk's bytes once: refused by its hash and fetched again.
TEST_F(ChunkedUpdateTest, AWrongChunkIsRefusedAndFetchedAgain) {
  source.write("big.pak", noiseBytes(6 << 20, 8));
  const FileEntry big = std::move(publish(1)["big.pak"]);
  ASSERT_GE(entryChunks(big).size(), 2u);
  const std::string wrong = zlibStream(noiseBytes(entryChunks(big)[1].size, 9));
  server.setFault(objectUrl(entryChunks(big)[1].hash), faultWith([&](ServerFault& f) {
                    f.replacementBody = wrong;
                    f.times = 1;
                  }));
  TempDir game;
  EXPECT_EQ(run(game), L"");
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  EXPECT_EQ(server.requestCount(objectUrl(entryChunks(big)[1].hash)), 2);
  EXPECT_EQ(server.requestCount(objectUrl(big.hash.hex())), 0);
}

// A list that no server gives: its file comes whole.
TEST_F(ChunkedUpdateTest, AFileWhoseListIsMissingComesWhole) {
  source.write("big.pak", noiseBytes(6 << 20, 10));
  const FileEntry big = std::move(publish(1)["big.pak"]);
  server.setStatus(listUrl(big), 404);
  TempDir game;
  EXPECT_EQ(run(game), L"");
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  EXPECT_EQ(server.requestCount(objectUrl(big.hash.hex())), 1);
  for (const ChunkRef& chunk : entryChunks(big))
    EXPECT_EQ(server.requestCount(objectUrl(chunk.hash)), 0);
}

// A list that holds what its hash says but whose chunks do not add up to its file (a fault of
// the publisher's) refuses the release before anything is written.
TEST_F(ChunkedUpdateTest, AListThatIsNoListOfItsFileRefusesTheRelease) {
  source.write("big.pak", noiseBytes(6 << 20, 11));
  source.write("small.txt", "a file under the threshold");
  const FileEntry big = std::move(publish(1)["big.pak"]);
  std::vector<ChunkRef> chunks = entryChunks(big);
  chunks.back().size += 1;
  const std::string text = chunkListText(chunks);
  release.write(compressedPath(text), zlibStream(text));
  const auto member = [](const std::string& hash, std::size_t size, std::size_t compressed) {
    return "\"chunk_list\":{\"h\":\"" + hash + "\",\"s\":" + std::to_string(size) +
           ",\"c\":" + std::to_string(compressed) + "}";
  };
  std::string manifest = release.read("manifest.json");
  const std::string old =
      member(big.chunkList->hash.hex(), big.chunkList->size, big.chunkList->compressedSize);
  ASSERT_NE(manifest.find(old), std::string::npos);
  manifest.replace(manifest.find(old), old.size(),
                   member(sha256Hex(text), text.size(), zlibStream(text).size()));
  writeSignedManifest(release, manifest);

  TempDir game;
  EXPECT_EQ(run(game), L"Invalid patch manifest. (chunk list)");
  EXPECT_TRUE(folderFiles(game).empty());
  EXPECT_FALSE(game.exists("patcher_chunks"));
  EXPECT_EQ(fileRequests(server), 1);
}

// A server without the chunk objects (a mirror that copies whole files only): after a few
// chunks that no server gives, the others are not asked for and the file comes whole.
TEST_F(ChunkedUpdateTest, AServerWithoutChunksCostsAFewAttemptsThenTheWholeFile) {
  source.write("big.pak", noiseBytes(16 << 20, 16));
  const FileEntry big = std::move(publish(1)["big.pak"]);
  const int chunks = static_cast<int>(entryChunks(big).size());
  for (const ChunkRef& chunk : entryChunks(big)) server.setStatus(objectUrl(chunk.hash), 404);
  TempDir game;
  EXPECT_EQ(run(game), L"");
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  EXPECT_EQ(server.requestCount(objectUrl(big.hash.hex())), 1);
  // Each chunk asked for costs three attempts; those in flight when the fourth failed finish.
  // (The other two requests: the chunk list and the whole file.)
  const int limit = 3 * (static_cast<int>(kRequestsInFlight) + kMissingChunksBeforeWhole);
  ASSERT_GT(3 * chunks, limit) << "too few chunks to tell";
  EXPECT_LE(fileRequests(server) - 2, limit);
}

// Cancelled while the file is rebuilt from the chunks the folder holds: nothing is moved, the
// old file stands, and the next run finds the fetched chunk in the partial file.
TEST_F(ChunkedUpdateTest, ACancelledRebuildMovesNothing) {
  const std::string v1 = noiseBytes(32 << 20, 17);
  source.write("big.pak", v1);
  std::set<std::string> held;
  const FileEntry old = std::move(publish(1)["big.pak"]);
  for (const ChunkRef& chunk : entryChunks(old)) held.insert(chunk.hash);
  TempDir game;
  ASSERT_EQ(run(game), L"");
  std::string v2 = v1;
  v2.replace(20 << 20, 1000, noiseBytes(1000, 18));
  source.write("big.pak", v2);
  std::uint64_t fetched = 0;
  const FileEntry edited = std::move(publish(2)["big.pak"]);
  for (const ChunkRef& chunk : entryChunks(edited)) {
    if (held.count(chunk.hash) == 0) fetched += chunk.compressedSize;
  }
  ASSERT_GT(fetched, 0u);
  LauncherState state;
  ASSERT_TRUE(startUpdate(state, false, testSettings(server, game)));
  // Past the fetched chunks the progress counts the copied ones: the rebuild has begun, and
  // copying the other 32 MiB, then checking them, leaves time to cancel it.
  ASSERT_TRUE(pollUntil([&] { return state.bytesDone.load() > fetched; }));
  cancelUpdate(state);
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_TRUE(game.read("big.pak") == v1);
  const int before = fileRequests(server);
  EXPECT_EQ(run(game), L"");
  EXPECT_TRUE(game.read("big.pak") == v2);
  EXPECT_EQ(fileRequests(server), before + 1) << "the chunk list again, and no chunk";
}

// A paused download stops its transfers within a second, counted at the server, and ends without
// an error, keeping its partial file. The resumed run (a new one) completes the folder and fetches
// nothing again that the paused run finished: no file in place, no chunk its partial file holds.
TEST_F(ChunkedUpdateTest, APausedDownloadStopsAtOnceAndItsResumeFetchesNothingTwice) {
  const std::string content = noiseBytes(12 << 20, 21);
  source.write("big.pak", content);
  for (int i = 0; i < 8; ++i) source.write("small" + std::to_string(i), noiseBytes(150000, 30 + i));
  std::map<std::string, FileEntry> entries = publish(1);
  const FileEntry& big = entries["big.pak"];
  // About 200 KiB/s a transfer: the download lasts seconds.
  server.setFault("*", faultWith([](ServerFault& f) {
                    f.dripBytes = 4096;
                    f.dripEveryMs = 20;
                  }));
  const auto objectsReceived = [&] {
    int n = 0;
    for (const ChunkRef& chunk : entryChunks(big))
      n += server.completedCount(objectUrl(chunk.hash));
    return n;
  };
  TempDir game;
  LauncherState state;
  const UpdateSettings settings = testSettings(server, game);
  ASSERT_TRUE(startUpdate(state, false, settings));
  ASSERT_TRUE(pollUntil([&] { return objectsReceived() >= 12; }, std::chrono::seconds(60)));
  ASSERT_EQ(state.phase.load(), kPhaseDownloading);
  const auto pausedAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(pauseUpdate(state));
  ASSERT_TRUE(pollUntil([&] { return server.openConnections() == 0; }));
  EXPECT_LT(std::chrono::steady_clock::now() - pausedAt, std::chrono::seconds(1));
  joinUpdate(state);
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_TRUE(canResumeUpdate(takeRunSnapshot(state)));

  // What the paused run finished: files in place, chunks in the partial file.
  std::map<std::string, int> finished;
  for (const auto& [path, entry] : entries) {
    if (game.exists(path)) finished[objectUrl(entry.hash.hex())] = 0;
  }
  const std::vector<bool> held = chunksInPartial(game, big, content);
  for (std::size_t i = 0; i < held.size(); ++i) {
    if (held[i]) finished[objectUrl(entryChunks(big)[i].hash)] = 0;
  }
  // (The server may have sent an object whole that the run then dropped at the pause.)
  ASSERT_GE(finished.size(), 6u);
  for (auto& [path, requests] : finished) requests = server.requestCount(path);

  ASSERT_TRUE(startUpdate(state, false, settings));  // resume
  EXPECT_FALSE(state.paused.load());
  joinUpdate(state);
  EXPECT_EQ(copyErrorText(state), L"");
  EXPECT_EQ(state.phase.load(), kPhaseReady);
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  for (const auto& [path, requests] : finished) {
    EXPECT_EQ(server.requestCount(path), requests) << path;
  }
}

}  // namespace
