// quillmark-update: the real program against the test server serving releases that the
// publisher's code built from real folders, and its argument and progress texts in-process.
//   CliFixture.*      install, no-op, second release, repair, a pruned release folder, failures
//                     and their texts, usage
//   CliTexts.*        progress line, sizes, time left, speed meter, width, options
// Ctrl+C and the terminal's redrawn line are in cli_test_posix.cpp.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/files.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli_fixture.h"
#include "i18n/strings.h"
#include "quillmark_config.h"
#include "test_release.h"
#include "update/launcher_state.h"
#include "update/speed_meter.h"

namespace {

namespace fs = std::filesystem;

fs::path fsPath(const std::wstring& wide) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(wideToUtf8(wide).c_str())));
}

// True when the texts occur in output in this order.
bool inOrder(const std::string& output, const std::vector<std::string>& texts) {
  std::size_t from = 0;
  for (const std::string& t : texts) {
    const std::size_t found = output.find(t, from);
    if (found == std::string::npos) return false;
    from = found + t.size();
  }
  return true;
}

int languageRow(const char* code) {
  for (int i = 0; i < kUiLanguageCount; ++i) {
    if (std::string(uiLanguageCodeAt(i)) == code) return i;
  }
  return -1;
}

}  // namespace

// ---- the real program ----

TEST_F(CliFixture, InstallsTheReleaseWithItsLauncherAndThenFetchesNothingMore) {
  const std::string map = noiseBytes(300 * 1024, 3);
  const std::string music(1024 * 1024, 'm');
  work.write("src/Play Quillmark.exe", "game executable");
  work.write("src/data/maps/level1.map", map);
  work.write("src/data/text/readme.txt", "read me\n");
  work.write("src/sound/music.ogg", music);
  work.write("src/empty.dat", "");
  work.write("bin/QuillmarkLauncher.exe", "launcher build 4");
  publish(4, work.file("bin/QuillmarkLauncher.exe"));

  ASSERT_EQ(update(), 0) << output;
  EXPECT_TRUE(inOrder(output, {"Connecting to patch server...\n", "Checking\n", "Downloading\n",
                               "Applying changes...\n", "Client up to date - Version 4\n"}))
      << output;
  EXPECT_EQ(output.find('\r'), std::string::npos) << "no redrawn line without a terminal";
  EXPECT_EQ(game.read("data/maps/level1.map"), map);
  EXPECT_EQ(game.read("sound/music.ogg"), music);
  EXPECT_EQ(game.read("data/text/readme.txt"), "read me\n");
  EXPECT_EQ(game.read("Play Quillmark.exe"), "game executable");
  bool emptyExists = false;
  EXPECT_EQ(game.read("empty.dat", &emptyExists), "");
  EXPECT_TRUE(emptyExists);
  // Not the launcher: its entry is one more file of the folder, not a swap of this program.
  EXPECT_EQ(game.read("QuillmarkLauncher.exe"), "launcher build 4");
  EXPECT_FALSE(game.exists("QuillmarkLauncher.exe.new"));
  EXPECT_NE(game.read("patcher.ini").find('4'), std::string::npos);
  EXPECT_TRUE(temporaryFiles(game).empty());

  // The second run trusts the cache: nothing is fetched but the manifest and its signature.
  const int before = fileRequests(server);
  ASSERT_EQ(update(), 0) << output;
  EXPECT_EQ(fileRequests(server), before);
  EXPECT_NE(at(output, "Client up to date - Version 4\n"), std::string::npos) << output;
  EXPECT_EQ(at(output, "Downloading"), std::string::npos) << output;
}

TEST_F(CliFixture, FollowsASecondReleaseAndRepairsWhatTheCacheCannotSee) {
  work.write("src/Play Quillmark.exe", "game");
  work.write("src/a.txt", "first a");
  work.write("src/old/gone.txt", "to be deleted");
  work.write("src/stay.bin", std::string(4096, 's'));
  publish(1);
  ASSERT_EQ(update({L"--quiet"}), 0) << output;
  // Quiet: the result alone.
  EXPECT_EQ(output, "Client up to date - Version 1\n");
  ASSERT_TRUE(game.exists("old/gone.txt"));

  work.write("src/a.txt", "second a, longer");
  fs::remove_all(fsPath(work.file("src/old")));
  work.write("src/new/b.txt", "added");
  publish(2);
  ASSERT_EQ(update(), 0) << output;
  EXPECT_NE(at(output, "Version 2"), std::string::npos) << output;
  EXPECT_EQ(game.read("a.txt"), "second a, longer");
  EXPECT_EQ(game.read("new/b.txt"), "added");
  EXPECT_FALSE(game.exists("old/gone.txt"));
  EXPECT_FALSE(fs::exists(fsPath(game.file("old")))) << "the emptied folder goes too";

  // Other bytes of the same size, and a cache that vouches for them: only --repair looks
  // inside. (The cache gets the file's new time, as a restored time stamp would give it.)
  game.write("stay.bin", std::string(4096, 'X'));
  FileInfo info;
  ASSERT_TRUE(getFileInfo(game.file("stay.bin"), info));
  std::string cache = game.read("patcher_cache.dat");
  const std::size_t line = cache.find("\tstay.bin");
  ASSERT_NE(line, std::string::npos) << cache;
  const std::size_t timeStart = cache.rfind('\t', line - 1) + 1;
  cache.replace(timeStart, line - timeStart, std::to_string(info.lastWriteTime));
  game.write("patcher_cache.dat", cache);
  ASSERT_EQ(update(), 0) << output;
  EXPECT_EQ(game.read("stay.bin"), std::string(4096, 'X'));
  ASSERT_EQ(update({L"--repair"}), 0) << output;
  EXPECT_EQ(game.read("stay.bin"), std::string(4096, 's'));
  EXPECT_TRUE(inOrder(output, {"Checking\n", "Checking  100%", "Downloading\n"})) << output;
}

// Three releases, then the real publisher prunes the folder with --keep 2: the first release's
// own object is gone, and a player at the second release and a fresh one both reach the third.
TEST_F(CliFixture, APrunedReleaseFolderStillUpdatesFromTheReleasesKeptAndAfresh) {
  work.write("src/Play Quillmark.exe", "game");
  work.write("src/a.txt", "first");
  publish(1);
  work.write("src/a.txt", "second");
  work.write("src/b.txt", "added by the second");
  publish(2);
  ASSERT_EQ(update({L"--quiet"}), 0) << output;
  work.write("src/a.txt", "third");
  publish(3);
  const std::vector<std::wstring> prune{L"prune", L"--release", work.file("release"), L"--keep",
                                        L"2"};
  ASSERT_EQ(runProgram(utf8ToWide(QM_PUBLISH_EXE), prune, work.file("prune.txt")), 0)
      << work.read("prune.txt");
  EXPECT_NE(at(work.read("prune.txt"), "removed 1 file ("), std::string::npos)
      << work.read("prune.txt");
  EXPECT_FALSE(work.exists("release/" + compressedPath("first")));
  EXPECT_TRUE(work.exists("release/" + compressedPath("second")));

  ASSERT_EQ(update(), 0) << output;
  EXPECT_EQ(game.read("a.txt"), "third");
  TempDir fresh;
  ASSERT_EQ(run({L"--dir", fresh.path(), L"--public-key", work.file("key.pub")}), 0) << output;
  EXPECT_EQ(fresh.read("a.txt"), "third");
  EXPECT_EQ(fresh.read("b.txt"), "added by the second");
}

TEST_F(CliFixture, AnyTrustedKeyWillDoAndNoOtherKey) {
  work.write("src/Play Quillmark.exe", "game");
  publish(1);
  std::string otherHex, thirdHex;
  std::string error;
  ASSERT_TRUE(makeKeyFiles(work.file("other"), otherHex, error)) << error;
  ASSERT_TRUE(makeKeyFiles(work.file("third"), thirdHex, error)) << error;
  // Exit status 3: the release was refused.
  ASSERT_EQ(run({L"--dir", game.path(), L"--public-key",
                 utf8ToWide(otherHex) + L"," + work.file("third.pub")}),
            3)
      << output;
  EXPECT_NE(at(output, "ERROR: Invalid patch signature. Download refused.\n"), std::string::npos)
      << output;
  EXPECT_EQ(at(output, "Client up to date"), std::string::npos) << output;
  EXPECT_FALSE(game.exists("Play Quillmark.exe"));
  EXPECT_FALSE(game.exists("patcher.ini"));

  // Signed with the second of two trusted keys (this one as 64 hex digits, not a file).
  ASSERT_EQ(run({L"--dir", game.path(), L"--public-key",
                 work.file("other.pub") + L"," + utf8ToWide(publicHex)}),
            0)
      << output;
  EXPECT_EQ(game.read("Play Quillmark.exe"), "game");
}

// Three servers: the first behind the release (it offers version 1 while version 2 is
// installed, though it holds every file), the second with the manifest but without the files,
// the third with everything. The manifest comes from the second, the files from the third, and
// none from the first, even when no other server has them. Then a first server that is down,
// or has nothing: the second serves all.
TEST_F(CliFixture, FallsOverToTheNextServerAndNeverToOneBehindTheRelease) {
  work.write("src/Play Quillmark.exe", "game 1");
  work.write("src/data/a.bin", noiseBytes(40000, 1));
  publish(1);
  const std::string oldManifest = work.read("release/manifest.json");
  const std::string oldSignature = work.read("release/manifest.sig");
  work.write("src/data/a.bin", noiseBytes(40000, 2));
  publish(2);
  ASSERT_EQ(update({L"--quiet"}), 0) << output;
  work.write("src/data/a.bin", noiseBytes(40000, 3));
  work.write("src/data/b.bin", noiseBytes(50000, 4));
  work.write("src/Play Quillmark.exe", "game 3");
  publish(3);

  TestServer behind, third;
  ASSERT_TRUE(behind.ok() && third.ok());
  behind.serveFolder(work.file("release"));
  behind.setBody("/patch/manifest.json", oldManifest);
  behind.setBody("/patch/manifest.sig", oldSignature);
  third.serveFolder(work.file("release"));
  server.setStatus("*", 404);
  server.setFault("/patch/manifest.json", ServerFault());
  server.setFault("/patch/manifest.sig", ServerFault());
  auto servers = [&](std::vector<const TestServer*> list) {
    std::vector<std::wstring> args{L"--dir",  game.path(), L"--public-key", work.file("key.pub"),
                                   L"--lang", L"en"};
    for (const TestServer* s : list) args.insert(args.end(), {L"--patch-url", s->patchUrl()});
    return args;
  };
  const std::map<std::string, std::string> release3 = {
      {"Play Quillmark.exe", "game 3"},
      {"data/a.bin", noiseBytes(40000, 3)},
      {"data/b.bin", noiseBytes(50000, 4)},
  };
  // Only the server behind is left with the files: it is not asked for them (exit status 4: no
  // server delivered the release).
  ASSERT_EQ(run(servers({&behind, &server}), false), 4) << output;
  EXPECT_NE(at(output, "ERROR: Could not connect to the patch server. "), std::string::npos)
      << output;
  EXPECT_EQ(fileRequests(behind), 0);
  EXPECT_EQ(game.read("Play Quillmark.exe"), "game 1");

  ASSERT_EQ(run(servers({&behind, &server, &third}), false), 0) << output;
  EXPECT_NE(at(output, "Client up to date - Version 3\n"), std::string::npos) << output;
  EXPECT_EQ(at(output, "ERROR"), std::string::npos) << output;
  EXPECT_EQ(folderFiles(game), release3);
  // Which server served each file: the third, each once, and nobody else.
  EXPECT_EQ(fileRequests(behind), 0);
  EXPECT_EQ(third.requestCount("/patch/manifest.json"), 0);
  for (const auto& [path, content] : release3) {
    EXPECT_EQ(third.requestCount("/patch/" + compressedPath(content)), 1) << path;
  }
  EXPECT_EQ(fileRequests(third), 3);

  server.clearFaults();
  behind.stop();
  TestServer empty;
  for (TestServer* first : {&behind, &empty}) {
    TempDir player;
    const int filesBefore = fileRequests(server);
    std::vector<std::wstring> args = servers({first, &server});
    args[1] = player.path();
    ASSERT_EQ(run(args, false), 0) << output;
    EXPECT_EQ(at(output, "ERROR"), std::string::npos) << output;
    EXPECT_EQ(folderFiles(player), release3);
    EXPECT_EQ(fileRequests(server) - filesBefore, 3);
  }
  EXPECT_EQ(empty.requestCount("/patch/manifest.sig"), 3);
}

// A manifest past its "expires" is refused with the date, and the folder stays as it was; one
// that has not expired installs.
TEST_F(CliFixture, AnExpiredManifestIsRefusedAndChangesNothing) {
  work.write("src/Play Quillmark.exe", "game");
  work.write("src/a.txt", "first");
  publish(1, std::wstring(), 30);
  ASSERT_EQ(update({L"--quiet"}), 0) << output;
  EXPECT_EQ(output, "Client up to date - Version 1\n");

  work.write("src/a.txt", "second");
  publish(2, std::wstring(), 30);
  std::string text = work.read("release/manifest.json");
  const std::size_t stamp = text.find("\"expires\":\"") + 11;
  text.replace(stamp, 20, "2020-01-01T00:00:00Z");
  SecretKey key;
  std::string error;
  ASSERT_TRUE(parseSecretKeyFile(work.read("key.key"), key, error)) << error;
  std::uint8_t signature[kSignatureSize];
  ASSERT_TRUE(signMessage(key, text, signature, error)) << error;
  work.write("release/manifest.json", text);
  work.write("release/manifest.sig", std::string(reinterpret_cast<char*>(signature), 64));

  const std::map<std::string, std::string> before = folderFiles(game);
  const std::string ini = game.read("patcher.ini");
  const std::string cache = game.read("patcher_cache.dat");
  const int filesBefore = fileRequests(server);
  ASSERT_EQ(update(), 3) << output;
  EXPECT_NE(at(output,
               "ERROR: The patch server is out of date: the release it offers expired "
               "on 2020-01-01 00:00 UTC.\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(folderFiles(game), before);
  EXPECT_EQ(game.read("patcher.ini"), ini);
  EXPECT_EQ(game.read("patcher_cache.dat"), cache);
  EXPECT_EQ(fileRequests(server), filesBefore);
}

TEST_F(CliFixture, FailuresSpeakTheChosenLanguage) {
  // Nothing is published: the signature is answered with 404, three times.
  const int de = languageRow("de");
  ASSERT_GE(de, 0);
  ASSERT_EQ(run({L"--dir", game.path(), L"--patch-url", server.patchUrl(), L"--public-key",
                 utf8ToWide(publicHex), L"--lang", L"DE"},
                false),
            4)
      << output;
  const std::string expected = wideToUtf8(std::wstring(uiTextIn(de, kStrError)) + L": " +
                                          uiTextIn(de, kStrErrConnect) + L" (HTTP 404)\n");
  EXPECT_NE(at(output, expected), std::string::npos) << output;
  EXPECT_EQ(server.requestCount("/patch/manifest.sig"), 3);
}

TEST_F(CliFixture, BadUsageExitsWithTwoAndTouchesNothing) {
  const std::vector<std::vector<std::wstring>> bad = {
      {L"--bogus"},
      {L"stray"},
      {L"--dir"},
      {L"--dir="},
      {L"--repair", L"--repair"},
      {L"--quiet=yes"},
      {L"--patch-url", L"ftp://example.com/patch/"},
      {L"--patch-url", L"http://"},
      {L"--patch-url", L"http://exa mple.com/"},
      {L"--public-key", L"abcdef"},
      {L"--public-key", std::wstring(63, L'a') + L"g"},
      {L"--public-key", work.file("no such key.pub")},
      {L"--public-key", utf8ToWide(publicHex) + L",,"},
      {L"--public-key", utf8ToWide(publicHex + "," + publicHex + "," + publicHex + "," + publicHex +
                                   "," + publicHex)},
      {L"--patch-url", L"http://a/", L"--patch-url", L"http://b/", L"--patch-url", L"http://c/",
       L"--patch-url", L"http://d/", L"--patch-url", L"http://e/"},
      {L"--lang", L"xx"},
  };
  for (const auto& args : bad) {
    std::vector<std::wstring> withDir = args;
    if (args[0].rfind(L"--dir", 0) != 0)
      withDir.insert(withDir.end(), {L"--dir", game.file("never")});
    EXPECT_EQ(run(withDir, false), 2) << wideToUtf8(args[0]) << "\n" << output;
    EXPECT_NE(at(output, "quillmark-update --help"), std::string::npos) << output;
  }
  EXPECT_FALSE(game.exists("never")) << "bad usage must not create the game folder";
  EXPECT_EQ(server.totalRequests(), 0);

  // A file that holds no key is refused the same way.
  work.write("bad.pub", "not a key\n");
  EXPECT_EQ(run({L"--public-key", work.file("bad.pub")}, false), 2) << output;

  // --help wins over mistakes next to it.
  ASSERT_EQ(run({L"--bogus", L"--help"}, false), 0) << output;
  EXPECT_EQ(output.rfind("Usage: quillmark-update", 0), 0u) << output;
  EXPECT_NE(at(output, "--public-key KEYS"), std::string::npos);
  EXPECT_NE(at(output, "\n  6    another update of this game folder is running\n"),
            std::string::npos)
      << output;
}

// ---- texts, in-process ----

class CliTexts : public ::testing::Test {
 protected:
  void SetUp() override { setUiLanguage("en"); }
  void TearDown() override { setUiLanguage("en"); }
};

TEST_F(CliTexts, ProgressLineShowsWhatIsKnownAndNothingElse) {
  RunSnapshot s;
  s.phase = kPhaseDownloading;
  s.bytesDone = 512 * 1024;
  s.bytesTotal = 2 * 1024 * 1024;
  s.filesDone = 1;
  s.filesTotal = 4;
  s.currentItem = L"data/a.bin";
  EXPECT_EQ(progressLine(s, 1024.0 * 1024.0, true),
            L"Downloading  25%  1/4 files  512.0 KB / 2.0 MB  1.0 MB/s  0:01 left  data/a.bin");
  // Before the first speed sample: no speed, no time left; the item only when asked for.
  EXPECT_EQ(progressLine(s, 0.0, false), L"Downloading  25%  1/4 files  512.0 KB / 2.0 MB");
  // Everything received: no time left; counters that ran past the total show 100 %.
  s.bytesDone = s.bytesTotal + 10;
  EXPECT_EQ(progressLine(s, 3000.0, false),
            L"Downloading  100%  1/4 files  2.0 MB / 2.0 MB  2.9 KB/s");
  // A no-change check hashes nothing: no counters to show.
  s = RunSnapshot();
  s.phase = kPhaseChecking;
  EXPECT_EQ(progressLine(s, 0.0, true), L"Checking");
  // Truncated, never rounded up: 99.99 % is 99 %.
  s.bytesDone = 9999;
  s.bytesTotal = 10000;
  EXPECT_EQ(progressLine(s, 0.0, false), L"Checking  99%  9.8 KB / 9.8 KB");
  s.phase = kPhaseApplying;
  EXPECT_EQ(progressLine(s, 5e6, true), L"Applying changes...");
}

TEST_F(CliTexts, SizesAndTimesFollowTheLanguage) {
  EXPECT_EQ(byteText(0), L"0 B");
  EXPECT_EQ(byteText(1023), L"1023 B");
  EXPECT_EQ(byteText(1536), L"1.5 KB");
  EXPECT_EQ(byteText(1024ull * 1024 * 1024 - 1), L"1024.0 MB");
  EXPECT_EQ(byteText(3ull * 1024 * 1024 * 1024 / 2), L"1.50 GB");
  EXPECT_EQ(timeLeftText(3725.9), L"1:02:05 left");
  EXPECT_EQ(timeLeftText(-4), L"0:00 left");
  setUiLanguage("de");
  EXPECT_EQ(byteText(3ull * 1024 * 1024 * 1024 / 2), L"1,50 GB");
  EXPECT_EQ(timeLeftText(61), L"noch 1:01");
  EXPECT_EQ(phaseText(kPhaseDownloading), uiText(kStrDownloading));
  EXPECT_NE(phaseText(kPhaseDownloading), L"Downloading");
}

// The window's meter (its smoothing is in shell_test), over every phase the line shows.
TEST_F(CliTexts, EachPhaseThatMovesBytesHasASpeedOfItsOwn) {
  SpeedMeter m;
  sampleSpeed(m, kPhaseChecking, 0, 1000);
  sampleSpeed(m, kPhaseChecking, 400, 1400);  // too early: no sample
  EXPECT_EQ(m.speed, 0.0f);
  sampleSpeed(m, kPhaseChecking, 1000, 2000);  // hashing, the first sample as it is
  EXPECT_FLOAT_EQ(m.speed, 1000.0f);
  // Downloading counts from 0 again, at its own speed.
  sampleSpeed(m, kPhaseDownloading, 1000, 2100);
  EXPECT_EQ(m.speed, 0.0f);
  sampleSpeed(m, kPhaseDownloading, 3000, 3100);
  EXPECT_FLOAT_EQ(m.speed, 3000.0f);
}

TEST_F(CliTexts, TheRedrawnLineNeverReachesTheLastColumn) {
  const std::wstring line = L"Downloading  25%  1/4 files  512.0 KB / 2.0 MB";
  EXPECT_EQ(fitToWidth(line, 0), line);
  EXPECT_EQ(fitToWidth(line, line.size() + 1), line);
  const std::wstring cut = fitToWidth(line, line.size());
  EXPECT_EQ(cut.size(), line.size() - 1);
  EXPECT_EQ(cut.substr(cut.size() - 3), L"...");
  EXPECT_EQ(fitToWidth(line, 3), L"Do");
  EXPECT_EQ(fitToWidth(line, 1), L"");
}

TEST_F(CliTexts, OptionsDefaultToTheBuildAndAcceptBothForms) {
  CliOptions o;
  std::string error;
  ASSERT_EQ(parseArguments({}, o, error), ParseOutcome::Run);
  EXPECT_EQ(o.patchUrls, std::vector<std::wstring>(std::begin(quillmark::config::kPatchUrls),
                                                   std::end(quillmark::config::kPatchUrls)));
  EXPECT_EQ(o.publicKeys, builtInPublicKeys());
  EXPECT_TRUE(o.gameDir.empty());
  EXPECT_FALSE(o.repair || o.quiet);

  const std::string hex = "00112233445566778899aabbccddeeffFFEEDDCCBBAA99887766554433221100";
  ASSERT_EQ(parseArguments({L"--patch-url=HTTPS://cdn.example/patch", L"--dir=games/q", L"--repair",
                            L"--lang=Pt", L"--public-key", utf8ToWide(hex), L"--quiet"},
                           o, error),
            ParseOutcome::Run)
      << error;
  EXPECT_EQ(o.patchUrls, std::vector<std::wstring>{L"HTTPS://cdn.example/patch/"});
  EXPECT_EQ(o.gameDir, L"games/q");
  EXPECT_EQ(o.language, "pt");
  ASSERT_EQ(o.publicKeys.size(), 1u);
  EXPECT_EQ(o.publicKeys[0][0], 0x00);
  EXPECT_EQ(o.publicKeys[0][1], 0x11);
  EXPECT_EQ(o.publicKeys[0][16], 0xFF);
  EXPECT_EQ(o.publicKeys[0][31], 0x00);
  EXPECT_TRUE(o.repair && o.quiet);

  // Several servers in the order given, replacing the built-in ones; several keys.
  const std::string hex2(64, 'b');
  ASSERT_EQ(parseArguments(
                {L"--patch-url", L"http://a.example/patch/", L"--patch-url=https://b.example/p",
                 L"--public-key", utf8ToWide(hex2 + "," + hex)},
                o, error),
            ParseOutcome::Run)
      << error;
  EXPECT_EQ(o.patchUrls,
            (std::vector<std::wstring>{L"http://a.example/patch/", L"https://b.example/p/"}));
  ASSERT_EQ(o.publicKeys.size(), 2u);
  EXPECT_EQ(o.publicKeys[0][0], 0xBB);
  EXPECT_EQ(o.publicKeys[1][1], 0x11);

  EXPECT_EQ(languageFromLocale("de_DE.UTF-8"), "de");
  EXPECT_EQ(languageFromLocale("cs_CZ"), "cz");
  EXPECT_EQ(languageFromLocale("el_GR.UTF-8@euro"), "gr");
  EXPECT_EQ(languageFromLocale("C"), "");
  EXPECT_EQ(languageFromLocale("ja_JP"), "");
}
