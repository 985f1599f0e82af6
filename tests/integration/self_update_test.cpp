// The launcher step of a run: the ".new"/".old" swap, the clean-up of ".old" by the next run,
// the developer key file, and the mode of a program that is not the launcher, where the
// "launcher" entry is one more file of the game folder.
#include "update/self_update.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "i18n/strings.h"
#include "run_support.h"

namespace fs = std::filesystem;

namespace {

class SelfUpdateTest : public GameRunTest {
 protected:
  void SetUp() override {
    GameRunTest::SetUp();
    r.version = 5;
    r.files = {{"Play Quillmark.exe", "game"}, {"data/d.txt", "d"}};
    r.hasLauncher = true;
    r.launcher = {"QuillmarkLauncher.exe", "launcher version 2"};
  }
  std::string run(LauncherMode mode = LauncherMode::ReplaceOwnExecutable) {
    PhaseRecorder recorder;
    UpdateSettings settings = testSettings(server, game, &recorder);
    settings.launcherMode = mode;
    LauncherState state;
    runToEnd(state, settings);
    error = copyErrorText(state);
    return recorder.sequence();
  }

  Release r;
};

TEST_F(SelfUpdateTest, SwapsTheExecutableAndTheNextRunRemovesTheOldOne) {
  publishRelease(release, r);
  game.write("QuillmarkLauncher.exe", "launcher version 1");
  EXPECT_EQ(run(), "1 2 2/1 6 7 7");
  EXPECT_EQ(error, L"");
  EXPECT_EQ(game.read("QuillmarkLauncher.exe"), "launcher version 2");
  EXPECT_EQ(game.read("QuillmarkLauncher.exe.old"), "launcher version 1");
  EXPECT_FALSE(game.exists("QuillmarkLauncher.exe.new"));
  EXPECT_EQ(fileRequests(server), 1) << "no file of the game folder is checked in this run";
  EXPECT_FALSE(game.exists("data/d.txt"));
  EXPECT_TRUE(temporaryFiles(game).empty());

  // The restarted launcher: ".old" goes first, then the folder is brought up to date.
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_FALSE(game.exists("QuillmarkLauncher.exe.old"));
  EXPECT_EQ(game.read("data/d.txt"), "d");
  EXPECT_EQ(fileRequests(server), 3);
}

TEST_F(SelfUpdateTest, CasesWhereTheExecutableStays) {
  publishRelease(release, r);
  // No executable to hash: nothing is replaced and the run goes on.
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_FALSE(game.exists("QuillmarkLauncher.exe"));

  // The developer key file switches the self-update off.
  game.write("QuillmarkLauncher.exe", "developer build");
  game.write("quillmark_dev.key", "");
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8");
  EXPECT_EQ(game.read("QuillmarkLauncher.exe"), "developer build");
}

TEST_F(SelfUpdateTest, UnsafeLauncherPathIsRefusedEvenWhenTheHashMatches) {
  r.launcher.path = "../QuillmarkLauncher.exe";
  publishRelease(release, r);
  game.write("QuillmarkLauncher.exe", r.launcher.content);
  EXPECT_EQ(run(), "1 2 2/1 9 9");
  EXPECT_EQ(error, L"Invalid patch manifest.");
}

TEST_F(SelfUpdateTest, FailedDownloadLeavesTheExecutable) {
  publishRelease(release, r);
  fs::remove(fs::path(release.file(compressedPath(r.launcher.content))));
  game.write("QuillmarkLauncher.exe", "launcher version 1");
  EXPECT_EQ(run(), "1 2 2/1 6 9 9");
  EXPECT_EQ(error, L"Could not connect to the patch server. QuillmarkLauncher.exe");
  EXPECT_EQ(game.read("QuillmarkLauncher.exe"), "launcher version 1");
  EXPECT_FALSE(game.exists("QuillmarkLauncher.exe.new"));
  EXPECT_TRUE(temporaryFiles(game).empty());
}

TEST_F(SelfUpdateTest, ExecutableThatCannotBeMovedAsideStays) {
  publishRelease(release, r);
  game.write("QuillmarkLauncher.exe", "launcher version 1");
  game.write("QuillmarkLauncher.exe.old/occupied", "a folder in the way");
  EXPECT_EQ(run(), "1 2 2/1 6 9 9");
  const std::wstring prefix = L"Could not write file: ";
  EXPECT_EQ(error.substr(0, prefix.size()), prefix);
  EXPECT_GT(error.size(), prefix.size()) << "the system's reason follows";
  EXPECT_EQ(game.read("QuillmarkLauncher.exe"), "launcher version 1");
}

TEST_F(SelfUpdateTest, NotTheLauncherInstallsTheLauncherEntryAsAGameFile) {
  publishRelease(release, r);
  game.write("QuillmarkLauncher.exe", "launcher version 1");
  EXPECT_EQ(run(LauncherMode::GameFolderFile), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(game.read("QuillmarkLauncher.exe"), "launcher version 2");
  EXPECT_FALSE(game.exists("QuillmarkLauncher.exe.old"));
  EXPECT_NE(game.read("patcher_cache.dat").find("\tQuillmarkLauncher.exe\n"), std::string::npos);
  EXPECT_EQ(run(LauncherMode::GameFolderFile), "1 2 2/1 3 5 8 8");

  // With the developer key file it is left alone.
  game.write("QuillmarkLauncher.exe", "developer build");
  game.write("quillmark_dev.key", "");
  EXPECT_EQ(run(LauncherMode::GameFolderFile), "1 2 2/1 3 5 8 8");
  EXPECT_EQ(game.read("QuillmarkLauncher.exe"), "developer build");
}

TEST_F(SelfUpdateTest, NotTheLauncherRefusesAnInvalidLauncherEntry) {
  r.launcher.path = "a//b.exe";
  publishRelease(release, r);
  EXPECT_EQ(run(LauncherMode::GameFolderFile), "1 2 2/1 9 9");
  EXPECT_EQ(error, L"Invalid patch manifest.");
}

}  // namespace
