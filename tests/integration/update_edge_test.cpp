// Whole runs across two releases that reshape the game folder: a file that becomes a folder
// and a folder that becomes a file. The old form is in the new release's delete list; it must
// not keep the new one from being downloaded on every run.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/files.h"
#include "i18n/strings.h"
#include "run_support.h"
#include "update/patch_state.h"

namespace fs = std::filesystem;

namespace {

class UpdateEdgeTest : public GameRunTest {};

TEST_F(UpdateEdgeTest, AFileThatBecomesAFolder) {
  Release r;
  r.version = 1;
  r.files = {{"maps", "the old single map file"}, {"a.txt", "a"}};
  publishRelease(release, r);
  ASSERT_EQ(run(), "1 2 2/1 3 4 5 8 8");

  r.version = 2;
  r.files = {{"maps/north.map", "north"}, {"maps/deep/south.map", "south"}, {"a.txt", "a"}};
  r.deletes = {"maps"};
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(error, L"");
  EXPECT_EQ(game.read("maps/north.map"), "north");
  EXPECT_EQ(game.read("maps/deep/south.map"), "south");
  EXPECT_EQ(installedVersion(normalizeGameDir(game.path())).value, 2);
  EXPECT_EQ(game.read("patcher_cache.dat").find("\tmaps\n"), std::string::npos);
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8") << "the folder is as the manifest says";
}

TEST_F(UpdateEdgeTest, AFolderThatBecomesAFile) {
  Release r;
  r.version = 1;
  r.files = {{"sound/deep/a.ogg", "a"}, {"sound/b.ogg", "b"}, {"keep.txt", "k"}};
  publishRelease(release, r);
  ASSERT_EQ(run(), "1 2 2/1 3 4 5 8 8");

  r.version = 2;
  r.files = {{"sound", "one packed sound file"}, {"keep.txt", "k"}};
  r.deletes = {"sound/deep/a.ogg", "sound/b.ogg"};
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(error, L"");
  EXPECT_EQ(game.read("sound"), "one packed sound file");
  EXPECT_EQ(game.read("keep.txt"), "k");
  EXPECT_TRUE(temporaryFiles(game).empty());
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8");
}

TEST_F(UpdateEdgeTest, ADeleteThatIsNotInTheWayStillWaitsForTheDownloads) {
  // Only what blocks a download goes early: when a download fails, every other file the new
  // release deletes is still there, with the installed version unchanged.
  Release r;
  r.version = 1;
  r.files = {{"maps", "old maps"}, {"old.txt", "old"}};
  publishRelease(release, r);
  ASSERT_EQ(run(), "1 2 2/1 3 4 5 8 8");

  r.version = 2;
  r.files = {{"maps/north.map", "north"}, {"new.txt", "new"}};
  r.deletes = {"maps", "old.txt"};
  publishRelease(release, r);
  fs::remove(fs::path(release.file(compressedPath("new"))));
  EXPECT_EQ(run(), "1 2 2/1 3 4 9 9");
  EXPECT_EQ(error, L"Could not connect to the patch server. new.txt");
  EXPECT_EQ(game.read("old.txt"), "old");
  EXPECT_EQ(installedVersion(normalizeGameDir(game.path())).value, 1);
}

TEST_F(UpdateEdgeTest, ADeleteThatDiffersFromAListedFileOnlyInCase) {
  // On Windows "Readme.txt" and "readme.txt" are one file, which the release keeps; elsewhere
  // they are two, and the one the release deletes must go.
  game.write("Readme.txt", "the old name");
  Release r;
  r.version = 2;
  r.files = {{"readme.txt", "the new name"}};
  r.deletes = {"Readme.txt"};
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(error, L"");
  EXPECT_EQ(game.read("readme.txt"), "the new name");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(fs::path(game.path()))) {
    const std::string name = e.path().filename().string();
    if (name.rfind("patcher", 0) != 0) names.push_back(name);
  }
  ASSERT_EQ(names.size(), 1u);
  if (fileNamesAreCaseSensitive()) {
    EXPECT_EQ(names[0], "readme.txt");
  }
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8") << "the cache still vouches for the listed file";
}

}  // namespace
