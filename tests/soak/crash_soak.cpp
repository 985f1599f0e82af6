// The crash soak: quillmark-update killed with SIGKILL at random moments of fresh installs,
// upgrades that change, add and delete files, and repairs of a damaged folder. After each kill
//   - no line of patcher_cache.dat vouches for a wrong file (a line whose size and time match
//     the file on disk has that file's SHA-256), since the next run would trust it;
// and after the normal run that follows (which must succeed)
//   - the folder holds the release byte for byte, no ".ap_tmp" file is left, and every line
//     of the cache holds the release's hash of a file with that size and time;
//   - no chunk that the killed run had put in place in the partial file of a chunked file is
//     fetched again (requests counted at the server).
// The server sends at about 16 MB/s, so that a run lasts long enough to be killed anywhere.
//
// Usage: crash_soak [--kills N] [--seed S] [GoogleTest options]   (default 30 kills; CI)
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "base/files.h"
#include "base/sha256.h"
#include "base/text.h"
#include "child_process_posix.h"
#include "run_support.h"

namespace fs = std::filesystem;

namespace {

int g_kills = 30;
unsigned g_seed = 0;

using Files = std::map<std::string, std::string>;
using Clock = std::chrono::steady_clock;

enum class Scenario { FreshInstall, Upgrade, Repair };

const char* nameOf(Scenario s) {
  switch (s) {
    case Scenario::FreshInstall:
      return "fresh install";
    case Scenario::Upgrade:
      return "upgrade";
    case Scenario::Repair:
      return "repair";
  }
  return "";
}

// The game as published: version 1, and version 2 that changes five files, adds four, deletes
// four and edits a large pack in place (cut into chunks). About 14 MB each, most of it
// incompressible.
Files releaseFiles(int version) {
  Files f;
  f["Play Quillmark.exe"] = noiseBytes(700 * 1024, 1);
  for (int i = 0; i < 12; ++i) {
    f["data/maps/map" + std::to_string(i) + ".bin"] = noiseBytes(300 * 1024 + i * 4099, 10 + i);
  }
  for (int i = 0; i < 6; ++i)
    f["text/readme" + std::to_string(i) + ".txt"] = std::string(50000 + i, 'r');
  f["sound/music.ogg"] = noiseBytes(1500 * 1024, 30);
  f["empty.dat"] = "";
  for (int i = 0; i < 4; ++i)
    f["old/gone" + std::to_string(i) + ".bin"] = noiseBytes(90000, 40 + i);
  std::string world = noiseBytes(6 << 20, 70);
  if (version == 2) world.replace(3 << 20, 300000, noiseBytes(320000, 71));
  f["data/world.pak"] = world;
  if (version == 1) return f;
  for (int i = 0; i < 4; ++i) f.erase("old/gone" + std::to_string(i) + ".bin");
  for (int i = 0; i < 5; ++i)
    f["data/maps/map" + std::to_string(i * 2) + ".bin"] = noiseBytes(310 * 1024, 50 + i);
  for (int i = 0; i < 4; ++i)
    f["new/added" + std::to_string(i) + ".bin"] = noiseBytes(120000, 60 + i);
  return f;
}

void writeFiles(const TempDir& dir, const Files& files) {
  for (const auto& [path, content] : files) dir.write(path, content);
}

// Copies a folder with the files' last-write times, so that its cache stays valid.
void copyFolder(const TempDir& from, const TempDir& to) {
  const fs::path source(wideToUtf8(from.path()));
  const fs::path target(wideToUtf8(to.path()));
  fs::remove_all(target);
  fs::create_directories(target);
  for (const auto& item : fs::recursive_directory_iterator(source)) {
    const fs::path dest = target / item.path().lexically_relative(source);
    if (item.is_directory()) {
      fs::create_directories(dest);
    } else {
      fs::copy_file(item.path(), dest);
      fs::last_write_time(dest, fs::last_write_time(item.path()));
    }
  }
}

struct CacheLine {
  std::string hash;
  std::uint64_t size = 0;
  std::uint64_t writeTime = 0;
  std::string path;
};

std::vector<CacheLine> cacheLines(const TempDir& game) {
  std::vector<CacheLine> lines;
  const std::string text = game.read("patcher_cache.dat");
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    const std::size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1),
                      t3 = line.find('\t', t2 + 1);
    if (t3 == std::string::npos) {
      ADD_FAILURE() << "a cache line that is not a record: " << line;
      continue;
    }
    lines.push_back({line.substr(0, t1), std::stoull(line.substr(t1 + 1, t2 - t1 - 1)),
                     std::stoull(line.substr(t2 + 1, t3 - t2 - 1)), line.substr(t3 + 1)});
  }
  return lines;
}

// No line vouches for a file it does not describe: where size and time match, the hash must.
// Returns the lines that match their file.
int checkCacheVouchesTruly(const TempDir& game, const std::string& when) {
  int matching = 0;
  for (const CacheLine& line : cacheLines(game)) {
    FileInfo info;
    if (!getEntryInfo(game.file(line.path), info) || !info.isRegularFile()) continue;
    if (info.size != line.size || info.lastWriteTime != line.writeTime) continue;
    ++matching;
    EXPECT_EQ(HashFile(game.file(line.path)), line.hash)
        << when << ": the cache vouches for a wrong " << line.path;
  }
  return matching;
}

class CrashSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.ok());
    files1 = releaseFiles(1);
    files2 = releaseFiles(2);
    writeFiles(source, files1);
    ASSERT_TRUE(publishFolder(source, release1, 1));
    source.write("previous.json", release1.read("manifest.json"));
    for (const auto& [path, content] : files1) {
      if (files2.count(path) == 0) fs::remove(fs::path(wideToUtf8(source.file(path))));
    }
    writeFiles(source, files2);
    BuildOptions o;
    o.previousManifest = source.file("previous.json");
    o.exclude = {"previous.json"};
    ASSERT_TRUE(publishFolder(source, release2, 2, o));
    server.serveFolder(release1.path(), "/one/");
    server.serveFolder(release2.path(), "/two/");
    // About 16 MB/s: a run of 14 MB lasts about a second.
    server.setFault("*", faultWith([](ServerFault& f) {
                      f.dripBytes = 65536;
                      f.dripEveryMs = 4;
                    }));
  }

  // The chunks a killed run put in place in the partial files it left, by the address of
  // their object: the ranges of a partial file of the full size that hold their chunk.
  std::vector<std::string> keptChunkUrls(const TempDir& game, int version) const {
    ParsedManifest parsed;
    std::wstring error;
    EXPECT_TRUE(
        parseManifest((version == 1 ? release1 : release2).read("manifest.json"), parsed, error));
    std::vector<std::string> urls;
    for (const FileEntry& entry : parsed.entries) {
      const std::string partialPath = temporaryOf(entry.path);
      if (entryChunks(entry).empty() || !game.exists(partialPath)) continue;
      const std::string partial = game.read(partialPath);
      if (partial.size() != entry.size) continue;  // not kept: made anew
      std::uint64_t offset = 0;
      for (const ChunkRef& chunk : entryChunks(entry)) {
        if (sha256Hex(partial.substr(offset, chunk.size)) == chunk.hash) {
          urls.push_back((version == 1 ? "/one/files/" : "/two/files/") + chunk.hash.substr(0, 2) +
                         "/" + chunk.hash + ".z");
        }
        offset += chunk.size;
      }
    }
    return urls;
  }

  std::vector<std::wstring> args(const TempDir& game, int version, bool repair) const {
    std::vector<std::wstring> a{L"--dir",        game.path(),
                                L"--patch-url",  server.url(version == 1 ? "/one/" : "/two/"),
                                L"--public-key", utf8ToWide(toHex(testKey().publicKey.data(), 32)),
                                L"--quiet"};
    if (repair) a.push_back(L"--repair");
    return a;
  }

  // Runs to its end; the exit status.
  int runToEnd(const TempDir& game, int version, bool repair = false) {
    const pid_t pid =
        startProgram(QM_UPDATE_EXE, args(game, version, repair), output.file("out.txt"));
    return waitForExit(pid, std::chrono::seconds(120));
  }

  // The folder a scenario starts from.
  void prepare(Scenario s, const TempDir& game) {
    switch (s) {
      case Scenario::FreshInstall:
        copyFolder(empty, game);
        break;
      case Scenario::Upgrade:
        copyFolder(installed1, game);
        break;
      case Scenario::Repair:
        // Damage as a player's disk or a careless tool would: a changed file of the same size,
        // one cut short, one gone.
        copyFolder(installed2, game);
        game.write("data/maps/map3.bin", noiseBytes(files2.at("data/maps/map3.bin").size(), 99));
        game.write("sound/music.ogg", files2.at("sound/music.ogg").substr(0, 1000));
        fs::remove(fs::path(wideToUtf8(game.file("text/readme2.txt"))));
        break;
    }
  }

  int versionOf(Scenario s) const { return s == Scenario::FreshInstall ? 1 : 2; }

  TempDir source, release1, release2, output, empty, installed1, installed2;
  TestServer server;
  Files files1, files2;
};

TEST_F(CrashSoak, KilledRunsNeverLeaveADamagedFolder) {
  ASSERT_EQ(runToEnd(installed1, 1), 0) << output.read("out.txt");
  copyFolder(installed1, installed2);
  ASSERT_EQ(runToEnd(installed2, 2), 0) << output.read("out.txt");
  ASSERT_EQ(folderFiles(installed2), files2);

  // How long each scenario runs uninterrupted: kills fall anywhere within that.
  std::map<Scenario, double> seconds;
  for (const Scenario s : {Scenario::FreshInstall, Scenario::Upgrade, Scenario::Repair}) {
    TempDir game;
    prepare(s, game);
    const auto start = Clock::now();
    ASSERT_EQ(runToEnd(game, versionOf(s), s == Scenario::Repair), 0) << output.read("out.txt");
    seconds[s] = std::chrono::duration<double>(Clock::now() - start).count();
    ASSERT_EQ(folderFiles(game), s == Scenario::FreshInstall ? files1 : files2) << nameOf(s);
  }

  std::mt19937 random(g_seed);
  int killed = 0, finishedFirst = 0, vouching = 0, kept = 0;
  std::map<Scenario, int> perScenario;
  // Until as many runs have really been killed as asked (a run may finish before its moment).
  for (int i = 0; killed < g_kills && i < 3 * g_kills; ++i) {
    const Scenario s = static_cast<Scenario>(i % 3);
    const int version = versionOf(s);
    SCOPED_TRACE(std::string(nameOf(s)) + ", kill " + std::to_string(i));
    TempDir game;
    prepare(s, game);
    std::uniform_real_distribution<double> moment(0.0, seconds[s]);
    const pid_t pid = startProgram(QM_UPDATE_EXE, args(game, version, s == Scenario::Repair),
                                   output.file("out.txt"));
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
    ::kill(pid, SIGKILL);
    const int status = waitForExit(pid, std::chrono::seconds(60));
    if (status == -1) {
      ++killed;
      ++perScenario[s];
    } else {
      ASSERT_EQ(status, 0) << output.read("out.txt");
      ++finishedFirst;
    }
    vouching += checkCacheVouchesTruly(game, "after the kill");
    std::map<std::string, int> requestsBefore;
    for (const std::string& url : keptChunkUrls(game, version))
      requestsBefore[url] = server.requestCount(url);
    kept += static_cast<int>(requestsBefore.size());

    ASSERT_EQ(runToEnd(game, version), 0) << output.read("out.txt");
    for (const auto& [url, count] : requestsBefore)
      EXPECT_EQ(server.requestCount(url), count) << "a kept chunk was fetched again: " << url;
    EXPECT_EQ(folderFiles(game), version == 1 ? files1 : files2);
    EXPECT_TRUE(temporaryFiles(game).empty());
    const std::vector<CacheLine> lines = cacheLines(game);
    EXPECT_EQ(checkCacheVouchesTruly(game, "after the next run"), static_cast<int>(lines.size()));
    for (const CacheLine& line : lines) {
      const Files& expected = version == 1 ? files1 : files2;
      ASSERT_EQ(expected.count(line.path), 1u) << line.path;
      EXPECT_EQ(line.hash, sha256Hex(expected.at(line.path))) << line.path;
    }
    if (HasFailure()) break;
  }
  std::printf(
      "crash soak (seed %u): %d runs killed (fresh install %d, upgrade %d, repair %d), %d finished "
      "before their kill; %d cache lines matched their file after a kill, none wrongly; %d chunks "
      "in place in partial files of killed runs, none fetched again\n",
      g_seed, killed, perScenario[Scenario::FreshInstall], perScenario[Scenario::Upgrade],
      perScenario[Scenario::Repair], finishedFirst, vouching, kept);
  EXPECT_EQ(killed, g_kills) << "runs that finished before their moment came too often";
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_seed = static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--kills") g_kills = std::atoi(argv[i + 1]);
    if (arg == "--seed") g_seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
  }
  ensureHttpSession();
  return RUN_ALL_TESTS();
}
