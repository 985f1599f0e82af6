// The manifest step of a run against the test server: attempts and pauses, the signature,
// the error text of every failure, rollback, and what is published into the Launcher state.
#include "update/manifest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "base/text.h"
#include "formats/utc_time.h"
#include "i18n/strings.h"
#include "run_support.h"
#include "update/patch_state.h"

namespace {

class ManifestTest : public GameRunTest {
 protected:
  // Runs once and returns the error text ("" when the run succeeded).
  std::wstring run() {
    runToEnd(state, testSettings(server, game, &recorder));
    return copyErrorText(state);
  }

  LauncherState state;
  PhaseRecorder recorder;
};

Release smallRelease(std::int64_t version = 3) {
  Release r;
  r.version = version;
  r.files = {{"data/a.txt", "alpha"}};
  return r;
}

TEST_F(ManifestTest, MissingPublicKeyEndsBeforeAnyRequest) {
  publishRelease(release, smallRelease());
  UpdateSettings settings = testSettings(server, game, &recorder);
  settings.publicKeys = {PublicKey{}};
  runToEnd(state, settings);
  EXPECT_EQ(copyErrorText(state), L"Public key not configured (public_key).");
  EXPECT_EQ(server.totalRequests(), 0);
  EXPECT_EQ(recorder.sequence(), "9 9");
}

TEST_F(ManifestTest, ThreeAttemptsWithPausesThenTheLastStatusIsShown) {
  publishRelease(release, smallRelease());
  server.setStatus("/patch/manifest.json", 503);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run(), L"Could not connect to the patch server. (HTTP 503)");
  // Two pauses of 30 ms lie between the three attempts.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 3);
  EXPECT_EQ(server.requestCount("/patch/manifest.sig"), 3);
  EXPECT_EQ(recorder.sequence(), "1 9 9");
  for (const char* path : {"/patch/manifest.json", "/patch/manifest.sig"}) {
    RecordedRequest request;
    ASSERT_TRUE(server.lastRequest(path, request));
    EXPECT_EQ(request.header("Cache-Control"), "no-cache") << path;
    EXPECT_EQ(request.header("Pragma"), "no-cache") << path;
  }
}

TEST_F(ManifestTest, AFailedAttemptIsRetried) {
  publishRelease(release, smallRelease());
  server.setFault("/patch/manifest.json", faultWith([](ServerFault& f) {
                    f.status = 500;
                    f.times = 1;
                  }));
  server.setFault("/patch/manifest.sig", faultWith([](ServerFault& f) {
                    f.resetBeforeAnswer = true;
                    f.times = 1;
                  }));
  EXPECT_EQ(run(), L"");
  EXPECT_EQ(state.phase.load(), kPhaseReady);
  // The signature first: its reset leaves the manifest unasked on the first attempt.
  EXPECT_EQ(server.requestCount("/patch/manifest.sig"), 3);
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 2);
  EXPECT_EQ(game.read("data/a.txt"), "alpha");
}

TEST_F(ManifestTest, SignatureOfWrongLengthIsNeverVerified) {
  const std::string text = publishRelease(release, smallRelease());
  for (std::size_t length : {63u, 65u}) {
    release.write("manifest.sig",
                  signEd25519(testKey(), text).substr(0, 63) + std::string(length - 63, 'x'));
    LauncherState fresh;
    PhaseRecorder rec;
    runToEnd(fresh, testSettings(server, game, &rec));
    EXPECT_EQ(copyErrorText(fresh), L"Could not connect to the patch server. (HTTP 200)");
    EXPECT_EQ(rec.sequence(), "1 9 9") << "phase 2 is posted only for a 64-byte signature";
  }
}

TEST_F(ManifestTest, MissingSignatureShowsItsStatus) {
  smallRelease();
  release.write("manifest.json", manifestText(smallRelease()));
  EXPECT_EQ(run(), L"Could not connect to the patch server. (HTTP 404)");
  EXPECT_EQ(server.requestCount("/patch/manifest.sig"), 3);
}

TEST_F(ManifestTest, NoServerGivesNoStatus) {
  server.stop();
  EXPECT_EQ(run(), L"Could not connect to the patch server.");
}

// A manifest up to the cap is read (the real cap, 256 MiB, is lowered here); one byte more is
// refused as what it is, so that a studio looks at its release and not at its server, and it
// is asked for once. The cap counts the decoded bytes of a compressed transfer (a megabyte of
// blanks travels as a kilobyte).
TEST_F(ManifestTest, OversizedManifestIsRefusedForItsSize) {
  const std::string text = publishRelease(release, smallRelease());
  UpdateSettings settings = testSettings(server, game, &recorder);
  settings.manifestMaxBytes = text.size();
  runToEnd(state, settings);
  EXPECT_EQ(copyErrorText(state), L"");
  LauncherState refused;
  settings.manifestMaxBytes = text.size() - 1;
  runToEnd(refused, settings);
  EXPECT_EQ(copyErrorText(refused), L"Invalid patch manifest. (size)");
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 2);

  server.setBody("/patch/manifest.sig", std::string(kSignatureBytes, 's'));
  server.setBody("/patch/manifest.json", std::string((1 << 20) + 1, ' '));
  server.setFault("/patch/manifest.json",
                  faultWith([](ServerFault& f) { f.gzipWhenAsked = true; }));
  settings.manifestMaxBytes = 1 << 20;
  LauncherState compressed;
  runToEnd(compressed, settings);
  EXPECT_EQ(copyErrorText(compressed), L"Invalid patch manifest. (size)");
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 3);
#ifndef _WIN32
  // (Wine's WinHTTP refuses to decode, as Windows before 8.1 does: the blanks come as they are.)
  RecordedRequest request;
  ASSERT_TRUE(server.lastRequest("/patch/manifest.json", request));
  EXPECT_NE(request.header("Accept-Encoding").find("gzip"), std::string::npos);
#endif
}

TEST_F(ManifestTest, SignatureUnderAnotherKeyIsRefused) {
  publishRelease(release, smallRelease(), otherTestKey());
  EXPECT_EQ(run(), L"Invalid patch signature. Download refused.");
  std::string verifications;
  for (int i = 0; i < kManifestMismatchAttempts; ++i) verifications += " 2";
  EXPECT_EQ(recorder.sequence(), "1" + verifications + " 9 9");
  EXPECT_FALSE(game.exists("data/a.txt"));
  EXPECT_FALSE(game.exists("patcher_manifest.dat"));
}

TEST_F(ManifestTest, TamperedManifestIsRefused) {
  std::string text = publishRelease(release, smallRelease());
  text[text.find("alpha") == std::string::npos ? 0 : 1] = ' ';  // one byte changed, still JSON
  release.write("manifest.json", text);
  EXPECT_EQ(run(), L"Invalid patch signature. Download refused.");
}

// ---- the manifest kept from the last accepted run ----

std::string keptPair(const std::string& text) { return signEd25519(testKey(), text) + text; }

TEST_F(ManifestTest, AnUnchangedStartAsksForTheSignatureAlone) {
  const std::string v3 = publishRelease(release, smallRelease(3));
  EXPECT_EQ(run(), L"");
  EXPECT_EQ(game.read("patcher_manifest.dat"), keptPair(v3));
  for (int start = 0; start < 2; ++start) {
    const int before = server.totalRequests();
    LauncherState fresh;
    PhaseRecorder rec;
    runToEnd(fresh, testSettings(server, game, &rec));
    EXPECT_EQ(copyErrorText(fresh), L"");
    EXPECT_EQ(rec.sequence(), "1 2 2/1 3 5 8 8");
    EXPECT_EQ(fresh.version.load(), 3);
    EXPECT_EQ(server.totalRequests() - before, 1) << "manifest.sig, nothing else";
  }
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 1);
  // The kept text is given back once its entries are read: a large game's would otherwise
  // stand beside its entries for the whole run.
  LauncherState probe;
  ChosenManifest chosen;
  ASSERT_EQ(
      chooseManifest(probe, testSettings(server, game), normalizeGameDir(game.path()), chosen),
      StepResult::Ok);
  EXPECT_TRUE(chosen.fromKeptFile);
  EXPECT_EQ(chosen.manifest.entries.size(), 1u);
  EXPECT_EQ(chosen.text.capacity(), std::string().capacity());

  // A new release is fetched, installed and kept instead.
  Release next = smallRelease(4);
  next.files = {{"data/a.txt", "beta"}};
  const std::string v4 = publishRelease(release, next);
  EXPECT_EQ(run(), L"");
  EXPECT_EQ(game.read("data/a.txt"), "beta");
  EXPECT_EQ(game.read("patcher_manifest.dat"), keptPair(v4));
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 2);
}

// The freshness limit by the Date of the signature's answer, and the version floor.
TEST_F(ManifestTest, AKeptManifestPassesTheSameChecks) {
  Release r = smallRelease(3);
  r.extraMembers = "\"expires\":\"" + formatUtcTime(utcNow() + 2 * 86400) + "\"";
  publishRelease(release, r);
  EXPECT_EQ(run(), L"");
  server.setFault("/patch/manifest.sig",
                  faultWith([](ServerFault& f) { f.clockOffsetSeconds = 30 * 86400; }));
  EXPECT_EQ(run().rfind(L"The patch server is out of date", 0), 0u) << copyErrorText(state);
  server.clearFaults();
  game.write("patcher.ini", "[patch]\r\nversion=5\r\n");
  EXPECT_EQ(run(), L"The server sent an older version than the installed one.");
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 1);
}

// What a server shows for a moment while a release is uploaded: the new signature with the old
// manifest, or the other way round.
TEST_F(ManifestTest, APairFromTwoReleasesIsFetchedAgainThenRefused) {
  const std::string v3 = publishRelease(release, smallRelease(3));
  EXPECT_EQ(run(), L"");
  Release next = smallRelease(4);
  next.files = {{"data/a.txt", "beta"}};
  publishRelease(release, next);
  release.write("manifest.json", v3);
  const std::map<std::string, std::string> files = folderFiles(game);
  const std::string ini = game.read("patcher.ini");
  const std::string cache = game.read("patcher_cache.dat");
  const int manifests = server.requestCount("/patch/manifest.json");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run(), L"Invalid patch signature. Download refused.");
  EXPECT_GE(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(30 * (kManifestMismatchAttempts - 1)));
  EXPECT_EQ(server.requestCount("/patch/manifest.json") - manifests, kManifestMismatchAttempts);
  EXPECT_EQ(folderFiles(game), files);
  EXPECT_EQ(game.read("patcher.ini"), ini);
  EXPECT_EQ(game.read("patcher_cache.dat"), cache);
  EXPECT_EQ(game.read("patcher_manifest.dat"), keptPair(v3));
}

TEST_F(ManifestTest, AnUploadInProgressShowsNoSignatureError) {
  const std::string v3 = publishRelease(release, smallRelease(3));
  EXPECT_EQ(run(), L"");
  Release next = smallRelease(4);
  next.files = {{"data/a.txt", "beta"}};
  const std::string v4 = publishRelease(release, next);
  // The old signature still: the kept release is used, and the next start finds the new one.
  server.setFault("/patch/manifest.sig", faultWith([&](ServerFault& f) {
                    f.replacementBody = signEd25519(testKey(), v3);
                    f.times = 1;
                  }));
  EXPECT_EQ(run(), L"");
  EXPECT_EQ(state.version.load(), 3);
  EXPECT_EQ(game.read("data/a.txt"), "alpha");
  // The old manifest still, twice: the third attempt finds the pair whole.
  server.setFault("/patch/manifest.json", faultWith([&](ServerFault& f) {
                    f.replacementBody = v3;
                    f.times = 2;
                  }));
  EXPECT_EQ(run(), L"");
  EXPECT_EQ(state.version.load(), 4);
  EXPECT_EQ(game.read("data/a.txt"), "beta");
  EXPECT_EQ(game.read("patcher_manifest.dat"), keptPair(v4));
}

TEST_F(ManifestTest, ADamagedKeptManifestIsIgnoredAndReplaced) {
  const std::string v3 = publishRelease(release, smallRelease(3));
  EXPECT_EQ(run(), L"");
  std::string flipped = keptPair(v3);
  flipped[flipped.size() - 3] ^= 1;
  for (const std::string& damaged :
       {flipped, keptPair(v3).substr(0, 70), keptPair(v3).substr(0, 63), std::string()}) {
    game.write("patcher_manifest.dat", damaged);
    const int manifests = server.requestCount("/patch/manifest.json");
    EXPECT_EQ(run(), L"") << damaged.size();
    EXPECT_EQ(server.requestCount("/patch/manifest.json"), manifests + 1) << damaged.size();
    EXPECT_EQ(game.read("patcher_manifest.dat"), keptPair(v3)) << damaged.size();
  }
}

// Errors of a verified manifest: its shape, its file entries, its version.
TEST_F(ManifestTest, ManifestErrors) {
  const std::string hash(64, 'a');
  const std::string okEntry = R"({"p":"a.txt","h":")" + hash + R"(","s":1})";
  // A 10-byte file naming the chunk list given.
  const auto chunked = [&hash](const std::string& list) {
    return R"({"format":1,"version":7,"files":[{"p":"a.txt","h":")" + hash +
           R"(","s":10,"chunk_list":)" + list + "}]}";
  };
  const auto list = [](const std::string& h, const std::string& size) {
    return R"({"h":")" + h + R"(","s":)" + size + R"(,"c":9})";
  };
  const std::pair<std::string, std::wstring> cases[] = {
      {R"({"format":2,"version":1,"files":[]})", L"Invalid patch manifest. "},
      {R"({"format":1,"version":1,"files":{}})", L"Invalid patch manifest. "},
      {R"({"version":1,"files":[]})", L"Invalid patch manifest. "},
      {R"([1,2])", L"Invalid patch manifest. "},
      {R"({"format":1,"files":[)", L"Invalid patch manifest. "},  // + the parser's message
      {R"({"format":1,"version":7,"files":[)" + okEntry + R"(,{"p":"b/../c","h":")" + hash +
           R"("}]})",
       L"Invalid patch manifest. (path)"},
      {R"({"format":1,"version":7,"files":[{"p":"a.txt","h":")" + hash.substr(1) + R"("}]})",
       L"Invalid patch manifest. (path)"},
      {R"({"format":1,"version":7,"files":[)" + okEntry + "," + okEntry + "]}",
       L"Invalid patch manifest. (path)"},
      {R"({"format":1,"version":7,"files":[)" + okEntry + R"(,"a.txt"]})",
       L"Invalid patch manifest. (path)"},
      // One file named twice: in other capitals, with the other separator, in non-ASCII
      // capitals, with the duplicate far from the first.
      {R"({"format":1,"version":7,"files":[)" + okEntry + R"(,{"p":"A.TXT","h":")" + hash +
           R"("}]})",
       L"Invalid patch manifest. (path)"},
      {R"({"format":1,"version":7,"files":[{"p":"d/x","h":")" + hash + R"("},)" + okEntry +
           R"(,{"p":"d\\x","h":")" + hash + R"("}]})",
       L"Invalid patch manifest. (path)"},
      {R"({"format":1,"version":7,"files":[{"p":"Éa","h":")" + hash + R"("},)" + okEntry +
           R"(,{"p":"ÉA","h":")" + hash + R"("}]})",
       L"Invalid patch manifest. (path)"},
      // A file and its temporary file (whose download would overwrite the other's), and the
      // launcher's own files, in any case.
      {R"({"format":1,"version":7,"files":[{"p":"d/a.bin","h":")" + hash + R"("},)" + okEntry +
           R"(,{"p":"d/A.BIN.ap_tmp","h":")" + hash + R"("}]})",
       L"Invalid patch manifest. (path)"},
      {R"({"format":1,"version":7,"files":[)" + okEntry + R"(,{"p":"Patcher.Lock","h":")" + hash +
           R"("}]})",
       L"Invalid patch manifest. (path)"},
      {R"({"format":1,"version":7,"files":[{"p":"patcher_cache.dat.ap_tmp","h":")" + hash +
           R"("}]})",
       L"Invalid patch manifest. (path)"},
      // ... and in capitals beyond ASCII, which NTFS folds as well.
      {R"({"format":1,"version":7,"files":[{"p":"É.txt","h":")" + hash + R"("},)" + okEntry +
           R"(,{"p":"é.txt","h":")" + hash + R"("}]})",
       L"Invalid patch manifest. (path)"},
      // Chunk lists: a bad hash, an empty list, one longer than a 10-byte file's list can be (one
      // line), a length that is no whole number, a member that is no object.
      {chunked(list(hash.substr(1), "81")), L"Invalid patch manifest. (path)"},
      {chunked(list(hash, "0")), L"Invalid patch manifest. (path)"},
      {chunked(list(hash, "82")), L"Invalid patch manifest. (path)"},
      {chunked(list(hash, "80.5")), L"Invalid patch manifest. (path)"},
      {chunked("[]"), L"Invalid patch manifest. (path)"},
  };
  for (const auto& [text, error] : cases) {
    writeSignedManifest(release, text);
    LauncherState fresh;
    PhaseRecorder rec;
    runToEnd(fresh, testSettings(server, game, &rec));
    const std::wstring got = copyErrorText(fresh);
    if (text.back() == '[') {
      EXPECT_EQ(got.substr(0, error.size()), error);
      EXPECT_GT(got.size(), error.size()) << "the parser's message follows";
    } else {
      EXPECT_EQ(got, error) << text;
    }
    EXPECT_EQ(fresh.phase.load(), kPhaseError);
    if (error.find(L"(path)") != std::wstring::npos) {
      // The news was published and the version kept before the entries were read.
      EXPECT_EQ(fresh.version.load(), 7);
      EXPECT_EQ(rec.sequence(), "1 2 2/1 9 9");
    }
  }
  EXPECT_EQ(fileRequests(server), 0);
}

// "expires" is judged by the server's clock (its Date header), the player's only without one.
// A refused manifest publishes nothing and fetches nothing more.
TEST_F(ManifestTest, ExpiryFollowsTheServersClock) {
  constexpr std::int64_t kDay = 86400;
  struct Case {
    std::int64_t expiresIn;    // from now
    std::int64_t playerClock;  // the player's clock, off by this much
    std::int64_t serverClock;  // the server's clock, off by this much
    bool noDate;
    bool refused;
  };
  const Case cases[] = {
      {-3600, 0, 0, false, true},
      {2 * kDay, 400 * kDay, 0, false, false},  // a player a year ahead: a fresh release installs
      {-3600, -30 * kDay, 0, false, true},      // a player behind does not let an old one pass
      {2 * kDay, 0, 30 * kDay, false, true},    // the server's clock is what counts
      {2 * kDay, 400 * kDay, 0, true, true},    // no Date: the player's clock alone
      {2 * kDay, 0, 0, true, false},
  };
  for (const Case& c : cases) {
    const std::int64_t expires = utcNow() + c.expiresIn;
    Release r = smallRelease();
    r.extraMembers = "\"expires\":\"" + formatUtcTime(expires) + "\"";
    publishRelease(release, r);
    server.setFault("*", faultWith([&](ServerFault& f) {
                      f.clockOffsetSeconds = c.serverClock;
                      f.noDate = c.noDate;
                    }));
    TempDir player;
    LauncherState fresh;
    PhaseRecorder rec;
    UpdateSettings settings = testSettings(server, player, &rec);
    settings.clockOffsetSeconds = c.playerClock;
    runToEnd(fresh, settings);
    const std::string row = std::to_string(c.expiresIn) + "/" + std::to_string(c.playerClock) +
                            "/" + std::to_string(c.serverClock) + (c.noDate ? "/no Date" : "");
    if (!c.refused) {
      EXPECT_EQ(copyErrorText(fresh), L"") << row;
      EXPECT_EQ(player.read("data/a.txt"), "alpha") << row;
      continue;
    }
    EXPECT_EQ(copyErrorText(fresh),
              L"The patch server is out of date: the release it offers expired on " +
                  utf8ToWide(displayUtcTime(expires)) + L".")
        << row;
    EXPECT_EQ(rec.sequence(), "1 2 9 9") << row;
    EXPECT_EQ(fresh.version.load(), 0) << row;
    EXPECT_TRUE(folderFiles(player).empty()) << row;
  }
  EXPECT_EQ(fileRequests(server), 2) << "only the two accepted releases fetched their file";

  // In the player's language; and a limit that cannot be read is no limit at all.
  server.clearFaults();
  Release r = smallRelease();
  r.extraMembers = R"("expires":"2020-01-01T00:00:00Z")";
  publishRelease(release, r);
  setUiLanguage("de");
  EXPECT_EQ(run(), uiTextWith(kStrErrExpired, L"2020-01-01 00:00 UTC"));
  setUiLanguage("en");
  r.extraMembers = R"("expires":"2999-01-01")";
  publishRelease(release, r);
  EXPECT_EQ(run(), L"Invalid patch manifest. ");
}

TEST_F(ManifestTest, FormatIsTruncatedToAnInteger) {
  writeSignedManifest(release, R"({"format":1.9,"version":2,"files":[]})");
  EXPECT_EQ(run(), L"");
  EXPECT_EQ(state.phase.load(), kPhaseReady);
}

TEST_F(ManifestTest, OlderVersionThanInstalledIsRefused) {
  publishRelease(release, smallRelease(4));
  game.write("patcher.ini", "[patch]\r\nversion=5\r\n");
  EXPECT_EQ(run(), L"The server sent an older version than the installed one.");
  EXPECT_EQ(state.version.load(), 4) << "the version is shown even when refused";
  EXPECT_EQ(recorder.sequence(), "1 2 9 9");
  EXPECT_FALSE(game.exists("data/a.txt"));
  EXPECT_EQ(installedVersion(normalizeGameDir(game.path())).value, 5);
}

TEST_F(ManifestTest, EqualVersionMissingOrNegativeInstalledVersionRunNormally) {
  publishRelease(release, smallRelease(4));
  for (const char* ini : {"[patch]\r\nversion=4\r\n", "", "[patch]\nversion=-5\n"}) {
    if (*ini != '\0') game.write("patcher.ini", ini);
    LauncherState fresh;
    runToEnd(fresh, testSettings(server, game));
    EXPECT_EQ(copyErrorText(fresh), L"") << ini;
    EXPECT_EQ(fresh.phase.load(), kPhaseReady);
    EXPECT_EQ(installedVersion(normalizeGameDir(game.path())).value, 4);
    std::filesystem::remove(std::filesystem::path(game.file("patcher.ini")));
  }
}

TEST_F(ManifestTest, AcceptedManifestPublishesNewsLinksAndGameExecutable) {
  Release r = smallRelease();
  r.extraMembers = R"("news":[{"title":"Hello","title_en":"Hi","title_pt":"Olá","title_":"x",)"
                   R"("text_en":"Body","date":"2024-05-01","type":"evento","url":7},3],)"
                   R"("links":{"home":"https://example.test/","bad":5})";
  publishRelease(release, r);
  {
    std::lock_guard<std::mutex> guard(state.lock);
    state.gameExe = L"old.exe";
    state.links["stale"] = L"http://old/";
  }
  EXPECT_EQ(run(), L"");
  EXPECT_EQ(recorder.sequence(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(copyGameExe(state), L"Play Quillmark.exe");
  const std::vector<NewsItem> news = copyNews(state);
  ASSERT_EQ(news.size(), 2u);
  EXPECT_EQ(news[0].title, L"Hello");
  EXPECT_EQ(news[0].date, L"2024-05-01");
  EXPECT_EQ(news[0].type, L"evento");
  EXPECT_EQ(news[0].url, L"") << "a value that is not a string gives the default";
  EXPECT_EQ(news[0].titles.size(), 3u);
  EXPECT_EQ(news[0].titles.at("en"), L"Hi");
  EXPECT_EQ(news[0].titles.at("pt"), L"Olá");
  EXPECT_EQ(news[0].titles.at(""), L"x");
  EXPECT_EQ(news[0].texts.at("en"), L"Body");
  EXPECT_EQ(news[1].type, L"noticia") << "an element that is not an object gives a default item";
  EXPECT_EQ(news[1].title, L"");
  EXPECT_EQ(copyLink(state, "home"), L"https://example.test/");
  EXPECT_EQ(copyLink(state, "bad"), L"");
  EXPECT_EQ(copyLink(state, "stale"), L"") << "the links are replaced, not merged";

  r.extraMembers.clear();
  publishRelease(release, r);
  runToEnd(state, testSettings(server, game));
  EXPECT_EQ(copyLink(state, "home"), L"") << "a manifest without links empties the table";
  EXPECT_TRUE(copyNews(state).empty());
}

TEST_F(ManifestTest, UnsafeGameExecutableKeepsThePreviousOne) {
  Release r = smallRelease();
  r.extraMembers = R"("game_exe":"bin/Game.exe")";
  publishRelease(release, r);
  EXPECT_EQ(run(), L"");
  EXPECT_EQ(copyGameExe(state), L"bin\\Game.exe");
  r.extraMembers = R"("game_exe":"C:\\Windows\\evil.exe")";
  publishRelease(release, r);
  LauncherState& same = state;
  runToEnd(same, testSettings(server, game));
  EXPECT_EQ(copyGameExe(same), L"bin\\Game.exe");
}

}  // namespace
