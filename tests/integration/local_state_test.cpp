// Whole runs over a game folder that a local user has tampered with: links planted where the
// run writes, deletes or keeps its lock, and the temporary files of a run that was killed.
// (FIFOs, a read-only folder, a huge patcher.ini and two programs at once are in
// cli_test_posix.cpp, where a hung run can be killed.)
#include <gtest/gtest.h>

#include <filesystem>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "i18n/strings.h"
#include "run_support.h"

namespace fs = std::filesystem;

namespace {

fs::path fsPath(const std::wstring& wide) {
#ifdef _WIN32
  return fs::path(wide);
#else
  return fs::path(wideToUtf8(wide));
#endif
}

class LocalStateTest : public GameRunTest {
 protected:
  // A link at game/relative to target; false where this system (or Wine) makes none.
  bool plantLink(const std::wstring& target, const std::string& relative, bool folder) {
    std::error_code ec;
    if (folder) {
      fs::create_directory_symlink(fsPath(target), fsPath(game.file(relative)), ec);
    } else {
      fs::create_symlink(fsPath(target), fsPath(game.file(relative)), ec);
    }
    return !ec && fs::is_symlink(fsPath(game.file(relative)), ec);
  }
  bool isLink(const std::string& relative) {
    std::error_code ec;
    return fs::is_symlink(fsPath(game.file(relative)), ec);
  }

  TempDir outside;
};

TEST_F(LocalStateTest, LinksNeverLeadOutOfTheFolder) {
  outside.write("data/a.bin", "outside a");
  outside.write("data/old.bin", "outside old");
  outside.write("b.txt", "B");  // the release's content: hashed through the link, it would pass
  outside.write("victim.txt", "victim");
  outside.write("gone.txt", "outside gone");
  if (!plantLink(outside.file("data"), "data", true) ||
      !plantLink(outside.file("b.txt"), "b.bin", false)) {
    GTEST_SKIP() << "no symbolic links here";
  }
  ASSERT_TRUE(plantLink(outside.file("victim.txt"), "c.bin.ap_tmp", false));
  ASSERT_TRUE(plantLink(outside.file("gone.txt"), "gone", false));

  // A link where a file must go is replaced, a temporary file is never written through one,
  // a deletion removes a link itself and deletes nothing through a linked folder.
  Release r;
  r.version = 1;
  r.files = {{"b.bin", "B"}, {"c.bin", "C"}};
  r.deletes = {"data/old.bin", "gone"};
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(error, L"");
  EXPECT_FALSE(isLink("b.bin"));
  EXPECT_EQ(game.read("b.bin"), "B");
  EXPECT_EQ(game.read("c.bin"), "C");
  EXPECT_FALSE(game.exists("gone"));
  EXPECT_FALSE(isLink("gone"));
  EXPECT_EQ(outside.read("victim.txt"), "victim");
  EXPECT_EQ(outside.read("gone.txt"), "outside gone");
  EXPECT_EQ(outside.read("data/old.bin"), "outside old");
  EXPECT_EQ(outside.read("b.txt"), "B");

  // A file below a linked folder is refused, naming the file.
  r.version = 2;
  r.files.push_back({"data/a.bin", "new a"});
  r.deletes.clear();
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 4 9 9");
  EXPECT_EQ(error, L"Could not write file: " + displayPath(L"data\\a.bin"));
  EXPECT_EQ(outside.read("data/a.bin"), "outside a");
  EXPECT_TRUE(temporaryFiles(outside).empty());

  // The lock file itself as a link: no run at all.
  fs::remove(fsPath(game.file("data")));
  fs::remove(fsPath(game.file("patcher.lock")));
  ASSERT_TRUE(plantLink(outside.file("victim.txt"), "patcher.lock", false));
  EXPECT_EQ(run(), "9 9");
  EXPECT_EQ(error, L"Could not write file: " + displayPath(normalizeGameDir(game.path())) +
                       L"patcher.lock");
  EXPECT_EQ(outside.read("victim.txt"), "victim");
}

// A kept manifest behind a link is neither read (it would spare the manifest's download) nor
// written through: the link itself is replaced.
TEST_F(LocalStateTest, AKeptManifestBehindALinkIsNotUsed) {
  Release r;
  r.files = {{"a.bin", "A"}};
  const std::string text = publishRelease(release, r);
  const std::string pair = signEd25519(testKey(), text) + text;
  outside.write("kept.dat", pair);
  if (!plantLink(outside.file("kept.dat"), "patcher_manifest.dat", false)) {
    GTEST_SKIP() << "no symbolic links here";
  }
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(error, L"");
  EXPECT_EQ(server.requestCount("/patch/manifest.json"), 1);
  EXPECT_FALSE(isLink("patcher_manifest.dat"));
  EXPECT_EQ(game.read("patcher_manifest.dat"), pair);
}

TEST_F(LocalStateTest, TemporaryFilesOfAKilledRunGoWithTheNextCompletedRun) {
  Release r;
  r.version = 1;
  r.files = {{"a.bin", "A"}, {"gone.txt", "G"}};
  publishRelease(release, r);
  ASSERT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  // What a run killed while writing leaves: its temporary files, and a lock file whose note
  // does not say that the run completed.
  for (const char* left :
       {"a.bin.ap_tmp", "gone.txt.ap_tmp", "patcher_cache.dat.ap_tmp", "not-ours.bin.ap_tmp"}) {
    game.write(left, "half");
  }
  game.write("patcher.lock", "");

  r.version = 2;
  r.files = {{"a.bin", "A"}, {"new.bin", "N"}};
  r.deletes = {"gone.txt"};
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(error, L"");
  // Only what the release names (and the launcher's own files) is the run's to remove.
  EXPECT_EQ(temporaryFiles(game).size(), 1u);
  EXPECT_EQ(folderFiles(game),
            (std::map<std::string, std::string>{
                {"a.bin", "A"}, {"new.bin", "N"}, {"not-ours.bin.ap_tmp", "half"}}));
}

}  // namespace
