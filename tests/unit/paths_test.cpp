// The path and whole-file helpers on real files: relative path validation, parent folder
// creation, atomic replacement (also when the move is refused) and bounded reads.
#include "base/paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/files.h"
#include "base/text.h"
#include "test_support.h"

namespace {

// The suffix of the temporary file that writeFileAtomically moves into place.
const std::string kTemporary = wideToUtf8(kTemporarySuffix);

std::wstring accepted(std::string_view path) {
  std::wstring wide = L"unchanged";
  EXPECT_TRUE(isSafeRelativePath(path, wide)) << "rejected: " << path;
  return wide;
}

void expectRejected(std::string_view path) {
  std::wstring wide = L"stale";
  EXPECT_FALSE(isSafeRelativePath(path, wide)) << "accepted: " << path;
  EXPECT_TRUE(wide.empty()) << "output kept after rejecting " << path;
}

}  // namespace

TEST(IsSafeRelativePath, AcceptsOrdinaryPathsAndTurnsSlashesIntoBackslashes) {
  EXPECT_EQ(accepted("game.exe"), L"game.exe");
  EXPECT_EQ(accepted("data/maps/world.pak"), L"data\\maps\\world.pak");
  EXPECT_EQ(accepted("data\\mixed/sep.bin"), L"data\\mixed\\sep.bin");
  EXPECT_EQ(accepted(".hidden/..name/a..b/x.y.z"), L".hidden\\..name\\a..b\\x.y.z");
  EXPECT_EQ(accepted("with blank/inner name.txt"), L"with blank\\inner name.txt");
  // UTF-8 becomes one wide character per code point (two UTF-16 units beyond the BMP).
  const std::wstring wide = accepted(
      "donn\xC3\xA9"
      "es/\xE6\x97\xA5\xF0\x9F\x98\x80.bin");
  std::wstring expected = L"donn";
  expected += static_cast<wchar_t>(0xE9);
  expected += L"es\\";
  expected += static_cast<wchar_t>(0x65E5);
  if constexpr (sizeof(wchar_t) == 2) {
    expected += static_cast<wchar_t>(0xD83D);
    expected += static_cast<wchar_t>(0xDE00);
  } else {
    expected += static_cast<wchar_t>(0x1F600);
  }
  expected += L".bin";
  EXPECT_EQ(wide, expected);
}

TEST(IsSafeRelativePath, LengthIsCountedInBytesUpTo400) {
  EXPECT_EQ(accepted(std::string(400, 'a')).size(), 400u);
  expectRejected(std::string(401, 'a'));
  // 200 two-byte characters are 400 bytes; one more byte is too many, although the
  // converted path is only 201 characters long.
  std::string accented;
  for (int i = 0; i < 200; ++i) accented += "\xC3\xA9";
  EXPECT_EQ(accepted(accented).size(), 200u);
  expectRejected(accented + "a");
  expectRejected("");
}

TEST(IsSafeRelativePath, RejectsAbsolutePathsAndReservedCharacters) {
  for (const char* path : {"/etc/passwd", "\\windows\\system32", "//server/share", "\\\\?\\C:\\x",
                           "C:/Windows/x.dll", "c:x", "a/b:stream", "file.txt::$DATA"}) {
    expectRejected(path);
  }
  for (char c : std::string("\"*<>?|")) {
    expectRejected(std::string("dir/na") + c + "me");
  }
  for (int c = 1; c < 32; ++c) {
    expectRejected(std::string("a") + static_cast<char>(c) + "b");
  }
  expectRejected(std::string("a\0b", 3));
}

TEST(IsSafeRelativePath, RejectsEmptyDotAndBadlyEndingComponents) {
  for (const char* path : {"a//b",  "a\\\\b", "a/\\b",     "a/",     "a\\",  ".",    "..",
                           "./a",   "../a",   "a/./b",     "a/../b", "a/..", "a/.",  "a\\..\\..\\b",
                           "name.", "dir./x", "dir/name ", "dir /x", " ",    "x/..."}) {
    expectRejected(path);
  }
}

TEST(IsSafeRelativePath, RejectsWindowsDeviceNamesInAnyComponent) {
  for (const char* path : {"CON", "con", "Prn", "aux", "NUL", "nul.txt", "data/NUL.tar.gz",
                           "nul .txt", "COM1", "com9.log", "LPT1", "lpt5/x", "COM0", "conin$",
                           "CONOUT$.x", "com\xC2\xB9", "LPT\xC2\xB3.dat"}) {
    expectRejected(path);
  }
  // Names that merely begin with or contain a device name are ordinary files.
  for (const char* path : {"console.txt", "nullify", "com10", "lpt", "COM", "auxiliary/x", "con_x",
                           "mycon", "data.nul", "x/prn1", "coma.txt"}) {
    accepted(path);
  }
}

TEST(IsSafeRelativePath, InvalidUtf8NeverBecomesASeparator) {
  // An overlong "/" (C0 AF) must not split the path into ".." components.
  std::wstring wide;
  if (isSafeRelativePath("a\xC0\xAF..\xC0\xAF"
                         "b",
                         wide)) {
    EXPECT_EQ(wide.find(L'\\'), std::wstring::npos);
    EXPECT_EQ(wide.find(L'/'), std::wstring::npos);
  }
  expectRejected("\xC0\xAF..");
}

TEST(EnsureParentDirectory, CreatesEveryMissingFolderFromBackslashPaths) {
  TempDir dir;
  // The engine builds paths with "\" on every platform.
  EXPECT_TRUE(ensureParentDirectory(dir.path() + L"a\\b\\c\\file.bin"));
  EXPECT_TRUE(directoryExists(dir.file("a/b/c")));
  EXPECT_FALSE(dir.exists("a/b/c/file.bin"));
  // Existing parents are fine, and so is a path without any separator.
  EXPECT_TRUE(ensureParentDirectory(dir.path() + L"a\\b\\other.bin"));
  EXPECT_TRUE(ensureParentDirectory(L"no-separator.bin"));
  // Non-ASCII folder names are created under their real names.
  EXPECT_TRUE(ensureParentDirectory(dir.file("d\xC3\xA9j\xC3\xA0/\xE6\x97\xA5/f")));
  EXPECT_TRUE(directoryExists(dir.file("d\xC3\xA9j\xC3\xA0/\xE6\x97\xA5")));
}

TEST(EnsureParentDirectory, FailsWhenAFileIsInTheWay) {
  TempDir dir;
  dir.write("blocker", "x");
  EXPECT_FALSE(ensureParentDirectory(dir.path() + L"blocker\\sub\\file.bin"));
  EXPECT_FALSE(ensureParentDirectory(dir.path() + L"blocker\\file.bin"));
  EXPECT_EQ(dir.read("blocker"), "x");
}

TEST(WriteFileAtomically, WritesExactBytesAndReplacesWholeFiles) {
  TempDir dir;
  const std::wstring target = dir.file("out.dat");
  const std::string binary("line\r\nnext\n\0\xFF\x1A tail", 17);
  ASSERT_TRUE(writeFileAtomically(target, binary));
  EXPECT_EQ(dir.read("out.dat"), binary);
  EXPECT_FALSE(dir.exists("out.dat" + kTemporary));

  // A shorter content leaves nothing of the longer one behind.
  dir.write("out.dat", std::string(100000, 'z'));
  ASSERT_TRUE(writeFileAtomically(target, "short"));
  EXPECT_EQ(dir.read("out.dat"), "short");

  ASSERT_TRUE(writeFileAtomically(target, ""));
  bool exists = false;
  EXPECT_EQ(dir.read("out.dat", &exists), "");
  EXPECT_TRUE(exists);
}

TEST(WriteFileAtomically, ReplacesAReadOnlyTargetAndAStaleTemporaryFile) {
  TempDir dir;
  const std::wstring target = dir.write("cfg.txt", "old");
  ASSERT_TRUE(setReadOnly(target, true));
  dir.write("cfg.txt" + kTemporary, "left over from a crash, longer than the new content");
  ASSERT_TRUE(writeFileAtomically(target, "new"));
  EXPECT_EQ(dir.read("cfg.txt"), "new");
  EXPECT_FALSE(dir.exists("cfg.txt" + kTemporary));
}

TEST(WriteFileAtomically, RefusedMoveKeepsTheTargetAndLeavesNoTemporaryFile) {
  TempDir dir;
  // A folder cannot be replaced by a file on any platform.
  dir.write("target/inner.txt", "inner");
  EXPECT_FALSE(writeFileAtomically(dir.file("target"), "new"));
  EXPECT_EQ(dir.read("target/inner.txt"), "inner");
  EXPECT_FALSE(dir.exists("target" + kTemporary));

  // The temporary file cannot be created in a missing folder: nothing appears.
  EXPECT_FALSE(writeFileAtomically(dir.file("missing/x.txt"), "new"));
  EXPECT_FALSE(dir.exists("missing"));
}

#ifdef _WIN32
TEST(WriteFileAtomically, TargetHeldOpenByAnotherProgramKeepsItsContent) {
  TempDir dir;
  const std::wstring target = dir.write("game.pak", "old content");
  {
    // A running game holds its files without delete sharing, so nothing may replace them.
    FileHandle game;
    ASSERT_TRUE(game.openForRead(target));
    EXPECT_FALSE(writeFileAtomically(target, "new"));
    EXPECT_FALSE(dir.exists("game.pak" + kTemporary));
  }
  EXPECT_EQ(dir.read("game.pak"), "old content");
  EXPECT_TRUE(writeFileAtomically(target, "new"));
  EXPECT_EQ(dir.read("game.pak"), "new");
}
#endif

TEST(ReadWholeFile, ReadsUpToTheLimitAndNotOneByteMore) {
  TempDir dir;
  std::string content(70000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 + 7);
  const std::wstring path = dir.write("blob.bin", content);

  std::string out = "junk";
  ASSERT_TRUE(readWholeFile(path, content.size(), out));
  EXPECT_EQ(out, content);

  out = "junk";
  EXPECT_FALSE(readWholeFile(path, content.size() - 1, out));
  EXPECT_TRUE(out.empty());

  const std::wstring empty = dir.write("empty.bin", "");
  out = "junk";
  EXPECT_TRUE(readWholeFile(empty, 0, out));
  EXPECT_TRUE(out.empty());
}

TEST(ReadWholeFile, MissingFilesAndFoldersGiveNothing) {
  TempDir dir;
  std::string out = "junk";
  EXPECT_FALSE(readWholeFile(dir.file("missing.bin"), 100, out));
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(lastFileError(), FileError::NotFound);
  dir.write("folder/x", "x");
  out = "junk";
  EXPECT_FALSE(readWholeFile(dir.file("folder"), 100, out));
  EXPECT_TRUE(out.empty());
}

TEST(WriteFileAtomically, NonAsciiNamesReachTheDiskUnderTheirRealName) {
  TempDir dir;
  const std::string name =
      "donn\xC3\xA9"
      "es-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x98\x80.cfg";
  std::wstring relative;
  ASSERT_TRUE(isSafeRelativePath("sub/" + name, relative));
  const std::wstring path = dir.path() + relative;
  ASSERT_TRUE(ensureParentDirectory(path));
  ASSERT_TRUE(writeFileAtomically(path, "payload"));
  // Read back through the standard library, which knows nothing of our conversion.
  EXPECT_EQ(dir.read("sub/" + name), "payload");
  std::string out;
  ASSERT_TRUE(readWholeFile(path, 100, out));
  EXPECT_EQ(out, "payload");
}

TEST(WriteFileAtomically, ReadersSeeEitherTheOldOrTheNewContentNeverAMix) {
  TempDir dir;
  const std::size_t size = 64 * 1024;
  const std::wstring path = dir.file("state.dat");
  ASSERT_TRUE(writeFileAtomically(path, std::string(size, 'A')));

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    std::string out;
    while (!done.load()) {
      // While the writer moves, a read may fail (Windows sharing); it must never be partial.
      if (!readWholeFile(path, size, out)) continue;
      ++reads;
      if (out.size() != size || out.find_first_not_of(out[0]) != std::string::npos) ++torn;
    }
  });
  int written = 0;
  for (int i = 0; i < 200; ++i) {
    if (writeFileAtomically(path, std::string(size, i % 2 ? 'B' : 'A'))) ++written;
  }
  // Keep going until the reader has seen the file at least once, so the check is not empty.
  while (reads.load() == 0) writeFileAtomically(path, std::string(size, 'C'));
  done = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(written, 0);
  EXPECT_FALSE(dir.exists("state.dat" + kTemporary));
}
