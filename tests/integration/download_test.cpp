// downloadFile against the test server: the streaming pipeline, each result code, retries
// with their pauses, progress that goes back after a failed attempt, and no temporary file
// left on any path; the slots that bound the work on bodies.
#include "update/download.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/text.h"
#include "run_support.h"
#include "update/download_stream.h"
#include "update/fetch.h"

namespace {

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.ok());
    server.serveFolder(release.path());
    settings = testSettings(server, game);
  }
  // Publishes file's ".z" and returns its manifest entry.
  FileEntry serve(const ReleaseFile& file) {
    release.write(compressedPath(file.content), zlibStream(file.content));
    return entryFor(file);
  }
  std::string urlPath(const FileEntry& entry) {
    const std::string hash = entry.hash.hex();
    return "/patch/files/" + hash.substr(0, 2) + "/" + hash + ".z";
  }
  DownloadResult download(const FileEntry& entry, const std::string& target) {
    FileServers servers(settings.patchUrls);
    return downloadFile(state, settings, servers, entry,
                        normalizeGameDir(game.path()) + utf8ToWide(target));
  }

  TempDir release;
  TempDir game;
  TestServer server;
  LauncherState state;
  UpdateSettings settings;
};

TEST_F(DownloadTest, LargeAndEmptyFilesArriveExactly) {
  const ReleaseFile big{"big.bin", noiseBytes(3 * 1024 * 1024 + 17)};
  const ReleaseFile empty{"empty.bin", ""};
  const FileEntry bigEntry = serve(big);
  const FileEntry emptyEntry = serve(empty);
  EXPECT_EQ(emptyEntry.hash.hex(),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(download(bigEntry, "deep/er/big.bin"), DownloadResult::Ok);
  EXPECT_EQ(download(emptyEntry, "empty.bin"), DownloadResult::Ok);
  EXPECT_TRUE(game.read("deep/er/big.bin") == big.content);
  bool exists = false;
  EXPECT_EQ(game.read("empty.bin", &exists), "");
  EXPECT_TRUE(exists);
  EXPECT_EQ(state.bytesDone.load(), bigEntry.compressedSize + emptyEntry.compressedSize);
  EXPECT_TRUE(temporaryFiles(game).empty());
  RecordedRequest request;
  ASSERT_TRUE(server.lastRequest(urlPath(bigEntry), request));
  EXPECT_FALSE(request.hasHeader("Pragma")) << "content is addressed by hash and may be cached";
}

TEST_F(DownloadTest, ReadOnlyTargetIsReplaced) {
  const FileEntry entry = serve({"ro.txt", "new content"});
  const std::wstring target = game.write("ro.txt", "old");
  ASSERT_TRUE(setReadOnly(target, true));
  EXPECT_EQ(download(entry, "ro.txt"), DownloadResult::Ok);
  EXPECT_EQ(game.read("ro.txt"), "new content");
  EXPECT_TRUE(temporaryFiles(game).empty());
}

TEST_F(DownloadTest, StreamInflatingPastItsSizeIsCutOffAtOnce) {
  // The entry says 10 bytes; the stream holds 8 MiB and the server stalls after 2 MiB of it
  // until released. Only a client that stops at the first oversized chunk finishes at all.
  ReleaseFile file{"bomb.bin", noiseBytes(8 * 1024 * 1024)};
  FileEntry entry = serve(file);
  entry.size = 10;
  server.setFault(urlPath(entry),
                  faultWith([](ServerFault& f) { f.stallAfter = 2 * 1024 * 1024; }));
  std::atomic<bool> done{false};
  DownloadResult result = DownloadResult::Ok;
  std::thread t([&] {
    result = download(entry, "bomb.bin");
    done = true;
  });
  const bool finished = pollUntil([&] { return done.load(); }, std::chrono::seconds(20));
  server.releaseStalls();
  t.join();
  EXPECT_TRUE(finished) << "the transfer ran on past the entry's size";
  EXPECT_EQ(result, DownloadResult::NetworkFailed);
  EXPECT_EQ(server.requestCount(urlPath(entry)), 3);
  EXPECT_FALSE(game.exists("bomb.bin"));
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_EQ(state.bytesDone.load(), 0u);
}

TEST_F(DownloadTest, BytesBeyondAnyStreamOfTheFileAreCutOff) {
  // A complete stream followed by endless data (here 8 MiB, stalling after 2 MiB) would keep
  // a download going for ever; a few bytes after the end are harmless and accepted.
  const ReleaseFile file{"tail.bin", noiseBytes(1000)};
  FileEntry entry = entryFor(file);
  const std::string stream = zlibStream(file.content);
  release.write(compressedPath(file.content), stream + std::string(100, 'x'));
  EXPECT_EQ(download(entry, "tail.bin"), DownloadResult::Ok);
  EXPECT_EQ(game.read("tail.bin"), file.content);

  const std::uint64_t before = state.bytesDone.load();
  release.write(compressedPath(file.content), stream + noiseBytes(8 * 1024 * 1024));
  server.setFault(urlPath(entry),
                  faultWith([](ServerFault& f) { f.stallAfter = 2 * 1024 * 1024; }));
  std::atomic<bool> done{false};
  DownloadResult result = DownloadResult::Ok;
  std::thread t([&] {
    result = download(entry, "fresh/tail.bin");
    done = true;
  });
  const bool finished = pollUntil([&] { return done.load(); }, std::chrono::seconds(20));
  server.releaseStalls();
  t.join();
  EXPECT_TRUE(finished) << "the transfer ran on past any stream of the file";
  EXPECT_EQ(result, DownloadResult::NetworkFailed);
  EXPECT_FALSE(game.exists("fresh/tail.bin"));
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_EQ(state.bytesDone.load(), before) << "a stopped attempt takes back what it counted";
}

TEST_F(DownloadTest, StreamsOfEveryDeflateSettingAreAcceptedWithoutACompressedSize) {
  // Incompressible content as stored blocks (large and, with the least memory, tiny ones) and
  // as fixed-code blocks, which spend 9 bits on most bytes: all valid zlib streams, the last
  // about 12 % longer than the content. The entries name no compressed size ("c" missing).
  struct Setting {
    int level, memLevel, strategy;
  };
  const std::string content = noiseBytes(300000, 9);
  int n = 0;
  for (const Setting s : {Setting{0, 8, Z_DEFAULT_STRATEGY}, Setting{0, 1, Z_DEFAULT_STRATEGY},
                          Setting{9, 2, Z_FIXED}, Setting{1, 1, Z_FIXED}}) {
    z_stream zs{};
    ASSERT_EQ(deflateInit2(&zs, s.level, Z_DEFLATED, 15, s.memLevel, s.strategy), Z_OK);
    std::string stream(deflateBound(&zs, content.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    zs.avail_in = static_cast<uInt>(content.size());
    zs.next_out = reinterpret_cast<Bytef*>(stream.data());
    zs.avail_out = static_cast<uInt>(stream.size());
    ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    stream.resize(zs.total_out);
    deflateEnd(&zs);
    EXPECT_LE(stream.size(), maxStreamBytes(content.size()));

    FileEntry entry = entryFor({"f.bin", content});
    entry.compressedSize = 0;
    server.setBody(urlPath(entry), stream);
    const std::string target = "setting" + std::to_string(n++) + ".bin";
    EXPECT_EQ(download(entry, target), DownloadResult::Ok)
        << "level " << s.level << ", memLevel " << s.memLevel << ", " << stream.size();
    EXPECT_TRUE(game.read(target) == content);
  }
  // An empty file as one stored block: header, 5-byte block, trailer.
  EXPECT_EQ(maxStreamBytes(0), 13u);
  EXPECT_EQ(maxStreamBytes(~std::uint64_t{0}), ~std::uint64_t{0}) << "saturates";
}

TEST_F(DownloadTest, TruncatedStreamIsCorruptedAfterThreeAttemptsWithPauses) {
  const ReleaseFile file{"cut.bin", noiseBytes(200000)};
  FileEntry entry = entryFor(file);
  const std::string stream = zlibStream(file.content);
  server.setBody(urlPath(entry), stream.substr(0, stream.size() - 10));  // no Adler-32 trailer
  game.write("cut.bin", "previous");
  state.bytesDone = 1000;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(download(entry, "cut.bin"), DownloadResult::Corrupted);
  // Pauses of 1 and 2 units (20 ms here) before the second and third attempt.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_EQ(server.requestCount(urlPath(entry)), 3);
  EXPECT_EQ(game.read("cut.bin"), "previous");
  EXPECT_EQ(state.bytesDone.load(), 1000u) << "failed attempts are taken off the progress";
  EXPECT_TRUE(temporaryFiles(game).empty());
}

TEST_F(DownloadTest, EachBodyEndsAlikeHeldWholeOrStreamed) {
  // Held whole, a body is inflated by libdeflate once complete; one longer than its entry's
  // compressed size says (here 1 byte: it outgrows its first 16 KiB block) goes to zlib from
  // there on. Both must take and refuse the same bodies. What zlib finds wrong while the body
  // arrives (content past the entry's size, the Adler-32 in the last bytes) stops the transfer,
  // so the attempt failed on the network; held whole, it is found in a complete body.
  const std::string content = noiseBytes(200000, 5);
  const std::string good = zlibStream(content);
  std::string otherContent = content;
  otherContent[100000] ^= 1;
  std::string badAdler = good;
  badAdler.back() ^= 1;
  struct Case {
    const char* what;
    std::string body;
    DownloadResult whole, streamed;
  };
  const Case cases[] = {
      {"good", good, DownloadResult::Ok, DownloadResult::Ok},
      {"bytes after the end", good + "xyz", DownloadResult::Ok, DownloadResult::Ok},
      {"Adler-32 mismatch", badAdler, DownloadResult::Corrupted, DownloadResult::NetworkFailed},
      {"truncated", good.substr(0, good.size() - 5), DownloadResult::Corrupted,
       DownloadResult::Corrupted},
      {"same size, other content", zlibStream(otherContent), DownloadResult::Corrupted,
       DownloadResult::Corrupted},
      {"one byte past the size", zlibStream(content + "!"), DownloadResult::Corrupted,
       DownloadResult::NetworkFailed},
  };
  FileEntry entry = entryFor({"f.bin", content});
  int n = 0;
  for (const Case& c : cases) {
    server.setBody(urlPath(entry), c.body);
    for (const bool streamed : {false, true}) {
      entry.compressedSize = streamed ? 1 : c.body.size();
      const std::string target = "case" + std::to_string(n++) + ".bin";
      EXPECT_EQ(download(entry, target), streamed ? c.streamed : c.whole)
          << c.what << (streamed ? ", streamed" : ", held whole");
      bool exists = false;
      const std::string written = game.read(target, &exists);
      EXPECT_EQ(exists && written == content,
                (streamed ? c.streamed : c.whole) == DownloadResult::Ok)
          << c.what;
    }
  }
  EXPECT_TRUE(temporaryFiles(game).empty());
}

TEST_F(DownloadTest, WrongContentIsCorrupted) {
  const ReleaseFile file{"w.txt", "the right text"};
  const FileEntry entry = entryFor(file);
  server.setBody(urlPath(entry), zlibStream("the wrong text"));  // same size, other hash
  EXPECT_EQ(download(entry, "w.txt"), DownloadResult::Corrupted);
  EXPECT_FALSE(game.exists("w.txt"));
  EXPECT_TRUE(temporaryFiles(game).empty());
}

TEST_F(DownloadTest, NetworkFailuresAfterThreeAttempts) {
  const FileEntry missing = entryFor({"m.txt", "never published"});
  state.bytesDone = 1000;
  EXPECT_EQ(download(missing, "m.txt"), DownloadResult::NetworkFailed);
  EXPECT_EQ(server.requestCount(urlPath(missing)), 3);
  EXPECT_EQ(state.bytesDone.load(), 1000u);

  const FileEntry reset = serve({"r.bin", noiseBytes(300000, 2)});
  server.setFault(urlPath(reset), faultWith([](ServerFault& f) { f.resetAfter = 100000; }));
  EXPECT_EQ(download(reset, "r.bin"), DownloadResult::NetworkFailed);
  EXPECT_EQ(server.requestCount(urlPath(reset)), 3);
  EXPECT_EQ(state.bytesDone.load(), 1000u);
  EXPECT_FALSE(game.exists("m.txt"));
  EXPECT_FALSE(game.exists("r.bin"));
  EXPECT_TRUE(temporaryFiles(game).empty());
}

TEST_F(DownloadTest, TransientFailuresAreRetried) {
  const ReleaseFile file{"t.bin", noiseBytes(100000, 3)};
  const FileEntry entry = serve(file);
  server.setFault(urlPath(entry), faultWith([](ServerFault& f) {
                    f.cutAfter = 5000;
                    f.times = 2;
                  }));
  EXPECT_EQ(download(entry, "t.bin"), DownloadResult::Ok);
  EXPECT_EQ(server.requestCount(urlPath(entry)), 3);
  EXPECT_TRUE(game.read("t.bin") == file.content);
  EXPECT_EQ(state.bytesDone.load(), entry.compressedSize) << "only the good attempt counts";
}

TEST_F(DownloadTest, CancellationMidTransferLeavesNothingBehind) {
  const FileEntry entry = serve({"c.bin", noiseBytes(4 * 1024 * 1024, 4)});
  game.write("c.bin", "old");
  server.setFault(urlPath(entry), faultWith([](ServerFault& f) { f.stallAfter = 1024 * 1024; }));
  DownloadResult result = DownloadResult::Ok;
  std::thread t([&] { result = download(entry, "c.bin"); });
  ASSERT_TRUE(pollUntil([&] { return server.stalledCount() == 1; }));
  state.cancel = true;
  server.releaseStalls();
  t.join();
  EXPECT_EQ(result, DownloadResult::Cancelled);
  EXPECT_EQ(server.requestCount(urlPath(entry)), 1);
  EXPECT_EQ(game.read("c.bin"), "old");
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_EQ(state.bytesDone.load(), 0u);
}

TEST_F(DownloadTest, UnwritableTargetFailsWithoutRetry) {
  const FileEntry entry = serve({"x.txt", "x"});
  game.write("blocker", "a file where a folder should be");
  EXPECT_EQ(download(entry, "blocker/x.txt"), DownloadResult::WriteFailed);
  EXPECT_EQ(server.requestCount(urlPath(entry)), 0);
  EXPECT_EQ(game.read("blocker"), "a file where a folder should be");
}

TEST_F(DownloadTest, TargetHeldOpenIsInUseWithoutRetry) {
#ifndef _WIN32
  GTEST_SKIP() << "an open file does not block a replacement on this system";
#else
  const FileEntry entry = serve({"game.dll", "new library"});
  const std::wstring target = game.write("game.dll", "running library");
  FileHandle held;  // opened the way a running game holds its files: no delete sharing
  ASSERT_TRUE(held.openForRead(target));
  EXPECT_EQ(download(entry, "game.dll"), DownloadResult::FileInUse);
  held.close();
  EXPECT_EQ(server.requestCount(urlPath(entry)), 1);
  EXPECT_EQ(game.read("game.dll"), "running library");
  EXPECT_TRUE(temporaryFiles(game).empty());
#endif
}

TEST(BodySlotTest, AtMostFourBodiesAreWorkedOnAtOnceAndAThrowGivesItsSlotBack) {
  // Sixteen threads as many transfers; each body chunk keeps its slot for 2 ms, so that the
  // holders overlap as much as the slots allow.
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  auto work = [&] {
    const int now = inside.fetch_add(1) + 1;
    for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
    while (std::chrono::steady_clock::now() < until) {
    }
    inside.fetch_sub(1);
    return true;
  };
  for (int i = 0; i < 4; ++i) {
    EXPECT_THROW(withBodySlot([]() -> bool { throw std::runtime_error("sink"); }),
                 std::runtime_error);
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < 16; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i) withBodySlot(work);
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(most.load(), 4) << "the slots are four, and none was lost to a throw";
}

}  // namespace
