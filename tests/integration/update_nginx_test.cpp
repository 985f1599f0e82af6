// The engine against nginx serving releases made by the publisher: a first install over a link
// with a round trip (its connections reused), a no-change run that fetches no file, and a
// second release that changes, adds and deletes files.
#include <gtest/gtest.h>

#include <filesystem>

#include "delay_proxy.h"
#include "nginx_fixture.h"
#include "run_support.h"
#include "update/fetch.h"
#include "update/patch_state.h"

namespace {

int countOccurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(UpdateNginxTest, InstallNoChangeAndASecondRelease) {
  ASSERT_TRUE(NginxServer::available()) << "nginx is not installed (scripts/deps.sh)";
  TempDir source, release, game, previous;
  for (int i = 0; i < 60; ++i) {
    std::string path = "assets/set";
    path += std::to_string(i % 6);
    path += "/item";
    path += std::to_string(i);
    path += ".dat";
    source.write(path, noiseBytes(1000 + 997 * static_cast<std::size_t>(i), i));
  }
  source.write("maps/world.map", noiseBytes(3 * 1024 * 1024, 99));
  source.write("maps/compressible.txt", std::string(2 * 1024 * 1024, 'z'));
  source.write("old/only/file.txt", "goes in version 2");
  source.write("Play Quillmark.exe", "game");
  ASSERT_TRUE(publishFolder(source, release, 1));

  NginxServer nginx;
  ASSERT_TRUE(nginx.start(release.path())) << nginx.error();
  const UpdateSettings settings = testSettings(nginx.patchUrl(), game);

  {
    // The first install crosses a link with a round trip, and keeps its connections: the
    // manifest's two requests and the transfers in flight need no more than one connection each,
    // whatever the number of files (64).
    DelayProxy proxy(nginx.port(), {.roundTripMs = 20, .bitsPerSecond = 0});
    ASSERT_TRUE(proxy.ok());
    LauncherState first;
    runToEnd(first, testSettings(proxy.url("/patch/"), game));
    EXPECT_EQ(copyErrorText(first), L"");
    EXPECT_EQ(folderFiles(game), folderFiles(source));
    EXPECT_EQ(first.bytesDone.load(), first.bytesTotal.load());
    EXPECT_EQ(first.filesTotal.load(), 64);
    EXPECT_LE(proxy.connectionsAccepted(), static_cast<int>(kRequestsInFlight) + 2);
  }

  const int fetchedBefore = countOccurrences(nginx.accessLog(), "/patch/files/");
  LauncherState second;
  runToEnd(second, settings);
  EXPECT_EQ(second.phase.load(), kPhaseReady);
  EXPECT_EQ(countOccurrences(nginx.accessLog(), "/patch/files/"), fetchedBefore);

  // Version 2: one file changed, one added, a folder's only file removed.
  previous.write("manifest.json", release.read("manifest.json"));
  source.write("maps/world.map", noiseBytes(3 * 1024 * 1024, 100));
  source.write("assets/new/added.bin", noiseBytes(5000, 7));
  std::filesystem::remove_all(std::filesystem::path(source.file("old")));
  BuildOptions options;
  options.previousManifest = previous.file("manifest.json");
  ASSERT_TRUE(publishFolder(source, release, 2, options));
  LauncherState third;
  runToEnd(third, settings);
  EXPECT_EQ(copyErrorText(third), L"");
  EXPECT_EQ(third.filesTotal.load(), 2) << "only the changed and the added file are fetched";
  EXPECT_EQ(folderFiles(game), folderFiles(source));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(game.file("old"))));
  EXPECT_EQ(installedVersion(normalizeGameDir(game.path())).value, 2);
  EXPECT_TRUE(temporaryFiles(game).empty());
}

}  // namespace
