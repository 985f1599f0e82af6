// Whole runs over a game folder that a local user has tampered with: links planted where the
// run writes or deletes, and what a run that was killed left.
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

  // The lock file of an older launcher, as a link or as a second name of a file outside: the
  // lock is held on the folder and never written; a completed run removes the name alone.
  fs::remove(fsPath(game.file("data")));
  ASSERT_TRUE(plantLink(outside.file("victim.txt"), "patcher.lock", false));
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_FALSE(isLink("patcher.lock"));
  std::error_code ec;
  fs::create_hard_link(fsPath(outside.file("victim.txt")), fsPath(game.file("patcher.lock")), ec);
  r.version = 3;
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 5 8 8");
  EXPECT_FALSE(game.exists("patcher.lock"));
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

TEST_F(LocalStateTest, WhatAKilledRunLeftGoesWithTheNextCompletedRun) {
  Release r;
  r.version = 1;
  r.files = {{"a.bin", "A"}, {"gone.txt", "G"}};
  publishRelease(release, r);
  ASSERT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  // What a run of version 2 killed while writing leaves: the version it began to apply, its
  // temporary files, also of files that the release it ends up with no longer names; and the
  // staging folder of an older launcher, with a folder and a link to a folder planted in it.
  game.write("patcher.ini", "[patch]\r\nversion=1\r\napplying=2\r\n");
  for (const char* left : {"a.bin.ap_tmp", "gone.txt.ap_tmp", "patcher_cache.dat.ap_tmp",
                           "dropped/old.pak.ap_tmp", "patcher_chunks/sub/ab.chunk"}) {
    game.write(left, "half");
  }
  outside.write("kept/x.bin", "outside");
  plantLink(outside.file("kept"), "patcher_chunks/sub/link", true);

  r.version = 2;
  r.files = {{"a.bin", "A"}, {"new.bin", "N"}, {"listed.ap_tmp", "L"}};
  r.deletes = {"gone.txt"};
  publishRelease(release, r);
  EXPECT_EQ(run(), "1 2 2/1 3 4 5 8 8");
  EXPECT_EQ(error, L"");
  EXPECT_EQ(folderFiles(game), (std::map<std::string, std::string>{
                                   {"a.bin", "A"}, {"new.bin", "N"}, {"listed.ap_tmp", "L"}}));
  EXPECT_FALSE(fs::exists(fsPath(game.file("patcher_chunks"))));
  EXPECT_EQ(outside.read("kept/x.bin"), "outside");
  EXPECT_EQ(game.read("patcher.ini"), "[patch]\r\nversion=2\r\n");
}

}  // namespace
