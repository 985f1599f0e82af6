// The thin file layer on real files: attributes and FILETIME times, directories and their
// listing, replacing moves (read-only and held-open targets), deletion, handles, long and
// non-ASCII paths, and the executable's own path.
#include "base/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "test_support.h"

namespace {

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

std::uint64_t nowAsFileTime() {
  const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
  return kUnixEpochAsFileTime +
         static_cast<std::uint64_t>(
             std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count() / 100);
}

std::filesystem::path fsPath(const std::wstring& wide) {
#ifdef _WIN32
  return std::filesystem::path(wide);
#else
  return std::filesystem::path(wideToUtf8(wide));
#endif
}

std::map<std::wstring, bool> listing(const std::wstring& dir) {
  std::map<std::wstring, bool> entries;
  EXPECT_TRUE(listDirectory(dir, [&](const std::wstring& name, bool isDirectory) {
    entries[name] = isDirectory;
    return true;
  }));
  return entries;
}

}  // namespace

TEST(FileInfo, ReportsSizeKindAndLastWriteTimeInFileTimeUnits) {
  TempDir dir;
  const std::uint64_t before = nowAsFileTime();
  const std::wstring path = dir.write("f.bin", std::string(12345, 'x'));
  FileInfo info;
  ASSERT_TRUE(getFileInfo(path, info));
  EXPECT_EQ(info.size, 12345u);
  EXPECT_FALSE(info.isDirectory);
  EXPECT_FALSE(info.readOnly);
  // Filesystem clocks are coarse; a minute either way still rules out seconds, milliseconds
  // or the wrong epoch.
  const std::uint64_t minute = 60ULL * 10000000ULL;
  EXPECT_GT(info.lastWriteTime, before - minute);
  EXPECT_LT(info.lastWriteTime, nowAsFileTime() + minute);

  ASSERT_TRUE(getFileInfo(dir.path(), info));
  EXPECT_TRUE(info.isDirectory);
  EXPECT_FALSE(getFileInfo(dir.file("missing"), info));
  EXPECT_EQ(lastFileError(), FileError::NotFound);
}

// A scan of a folder's entries by relative path sees what getEntryInfo sees, with either
// separator; a folder that does not exist holds nothing.
TEST(FileInfo, AFolderScanSeesWhatGetEntryInfoSees) {
  TempDir dir;
  dir.write("data/maps/one.bin", "12345");
  dir.write("top.bin", "x");
  std::error_code ec;
  std::filesystem::create_symlink(fsPath(dir.file("top.bin")), fsPath(dir.file("data/link")), ec);
  const FolderScan scan(dir.file(""));
  FileInfo info;
  for (const char* path : {"data/maps/one.bin", "data\\maps\\one.bin"}) {
    ASSERT_TRUE(scan.entryInfo(path, info)) << path;
    EXPECT_EQ(info.size, 5u);
    EXPECT_TRUE(info.isRegularFile());
  }
  FileInfo direct;
  ASSERT_TRUE(getEntryInfo(dir.file("data/maps/one.bin"), direct));
  EXPECT_EQ(info.lastWriteTime, direct.lastWriteTime);
  ASSERT_TRUE(scan.entryInfo("data/maps", info));
  EXPECT_TRUE(info.isDirectory);
  EXPECT_FALSE(scan.entryInfo("data/missing.bin", info));
  EXPECT_EQ(lastFileError(), FileError::NotFound);
  if (!ec) {
    ASSERT_TRUE(scan.entryInfo("data/link", info));
    EXPECT_TRUE(info.isLink) << "a link is reported, not followed";
  }
  const FolderScan none(dir.file("no-such-folder/"));
  EXPECT_FALSE(none.entryInfo("top.bin", info));
  EXPECT_EQ(lastFileError(), FileError::NotFound);
}

TEST(FileInfo, LastWriteTimeIsExactTo100Nanoseconds) {
  TempDir dir;
  const std::wstring path = dir.write("t.bin", "x");
  namespace chr = std::chrono;
  // 2001-09-09 01:46:40.1234567 UTC
  const auto when = chr::sys_seconds(chr::seconds(1000000000)) + chr::nanoseconds(123456700);
  std::filesystem::last_write_time(fsPath(path), chr::file_clock::from_sys(when));
  // Some C runtimes keep whole seconds only; compare with what the file really holds, as the
  // standard library reads it back.
  const auto stored = chr::file_clock::to_sys(std::filesystem::last_write_time(fsPath(path)));
  ASSERT_LT(chr::abs(stored - when), chr::seconds(1));
  const auto stored100ns = chr::duration_cast<chr::duration<std::int64_t, std::ratio<1, 10000000>>>(
      stored.time_since_epoch());
  FileInfo info;
  ASSERT_TRUE(getFileInfo(path, info));
  EXPECT_EQ(info.lastWriteTime,
            kUnixEpochAsFileTime + static_cast<std::uint64_t>(stored100ns.count()));
  EXPECT_GE(info.lastWriteTime, (1000000000ULL + 11644473600ULL) * 10000000ULL);
}

TEST(FileInfo, ExistenceAndReadOnlyFlag) {
  TempDir dir;
  const std::wstring file = dir.write("sub/f.txt", "x");
  EXPECT_TRUE(fileExists(file));
  EXPECT_FALSE(directoryExists(file));
  EXPECT_TRUE(directoryExists(dir.file("sub")));
  EXPECT_FALSE(fileExists(dir.file("sub")));
  EXPECT_FALSE(fileExists(dir.file("nothing")));
  EXPECT_FALSE(directoryExists(dir.file("nothing")));

  FileInfo info;
  ASSERT_TRUE(setReadOnly(file, true));
  ASSERT_TRUE(getFileInfo(file, info));
  EXPECT_TRUE(info.readOnly);
  ASSERT_TRUE(setReadOnly(file, false));
  ASSERT_TRUE(getFileInfo(file, info));
  EXPECT_FALSE(info.readOnly);
  EXPECT_FALSE(setReadOnly(dir.file("nothing"), true));
}

TEST(Directories, CreateRemoveAndList) {
  TempDir dir;
  const std::wstring sub = dir.file("sub");
  EXPECT_TRUE(createDirectory(sub));
  EXPECT_TRUE(createDirectory(sub));  // already there
  dir.write("file", "x");
  EXPECT_FALSE(createDirectory(dir.file("file")));
  EXPECT_FALSE(createDirectory(dir.file("missing/deeper")));

  dir.write("sub/a.txt", "a");
  dir.write("sub/\xC3\xA9t\xC3\xA9.txt", "b");
  dir.write("sub/inner/c.txt", "c");
  const std::map<std::wstring, bool> expected = {
      {L"a.txt", false}, {utf8ToWide("\xC3\xA9t\xC3\xA9.txt"), false}, {L"inner", true}};
  EXPECT_EQ(listing(sub), expected);
  EXPECT_EQ(listing(sub + L"\\"), expected);  // the engine's separator, on every platform

  int visited = 0;
  EXPECT_FALSE(listDirectory(sub, [&](const std::wstring&, bool) { return ++visited < 2; }));
  EXPECT_EQ(visited, 2);
  EXPECT_FALSE(listDirectory(dir.file("missing"), [](const std::wstring&, bool) { return true; }));

  EXPECT_FALSE(removeEmptyDirectory(dir.file("sub/inner")));
  EXPECT_TRUE(dir.exists("sub/inner/c.txt"));
  ASSERT_TRUE(deleteFile(dir.file("sub/inner/c.txt")));
  EXPECT_TRUE(removeEmptyDirectory(dir.file("sub/inner")));
  EXPECT_FALSE(directoryExists(dir.file("sub/inner")));
  EXPECT_FALSE(removeEmptyDirectory(dir.file("file")));
  EXPECT_TRUE(dir.exists("file"));
}

TEST(MoveFileReplace, ReplacesTargetsReadOnlyOrNot) {
  TempDir dir;
  const std::wstring from = dir.write("new.bin", "new content");
  const std::wstring to = dir.write("old.bin", "old content that is longer");
  ASSERT_TRUE(moveFileReplace(from, to));
  EXPECT_EQ(dir.read("old.bin"), "new content");
  EXPECT_FALSE(dir.exists("new.bin"));

  // A game file marked read-only is still updated.
  ASSERT_TRUE(setReadOnly(to, true));
  dir.write("newer.bin", "newer");
  ASSERT_TRUE(moveFileReplace(dir.file("newer.bin"), to));
  EXPECT_EQ(dir.read("old.bin"), "newer");
  EXPECT_FALSE(dir.exists("newer.bin"));

  // Into a folder that does not exist yet, or onto a missing target.
  ASSERT_TRUE(moveFileReplace(to, dir.file("fresh.bin")));
  EXPECT_EQ(dir.read("fresh.bin"), "newer");
  EXPECT_FALSE(moveFileReplace(dir.file("gone.bin"), dir.file("x.bin")));
  EXPECT_EQ(lastFileError(), FileError::NotFound);
  EXPECT_FALSE(dir.exists("x.bin"));
}

TEST(MoveFileReplace, AFolderTargetIsRefusedAndKept) {
  TempDir dir;
  const std::wstring from = dir.write("new.bin", "new");
  dir.write("target/inner.txt", "inner");
  EXPECT_FALSE(moveFileReplace(from, dir.file("target")));
  EXPECT_EQ(dir.read("target/inner.txt"), "inner");
  EXPECT_EQ(dir.read("new.bin"), "new");
}

#ifdef _WIN32
TEST(MoveFileReplace, HeldOpenTargetIsInUseAndKeepsContentAndReadOnlyFlag) {
  TempDir dir;
  const std::wstring from = dir.write("new.bin", "new");
  const std::wstring to = dir.write("game.exe", "running");
  ASSERT_TRUE(setReadOnly(to, true));
  {
    FileHandle game;
    ASSERT_TRUE(game.openForRead(to));
    EXPECT_FALSE(moveFileReplace(from, to));
    const FileError error = lastFileError();
    EXPECT_TRUE(error == FileError::InUse || error == FileError::AccessDenied)
        << static_cast<int>(error);
  }
  EXPECT_EQ(dir.read("game.exe"), "running");
  EXPECT_EQ(dir.read("new.bin"), "new");
  FileInfo info;
  ASSERT_TRUE(getFileInfo(to, info));
  EXPECT_TRUE(info.readOnly);
}

TEST(FileHandle, AFileHeldWithoutSharingIsInUse) {
  TempDir dir;
  const std::wstring path = dir.write("locked.bin", "data");
  FileHandle writer;
  ASSERT_TRUE(writer.createNew(path));
  FileHandle reader;
  EXPECT_FALSE(reader.openForRead(path));
  EXPECT_EQ(lastFileError(), FileError::InUse);
  std::string out = "junk";
  EXPECT_FALSE(readWholeFile(path, 100, out));
  EXPECT_EQ(lastFileError(), FileError::InUse);
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(deleteFile(path));
  EXPECT_EQ(lastFileError(), FileError::InUse);
}

TEST(FileHandle, ReadingThatRefusesWritersFailsWhileAWriterIsOpen) {
  TempDir dir;
  const std::wstring path = dir.write("cfg.txt", "data");
  FileHandle sharedReader;
  ASSERT_TRUE(sharedReader.openForRead(path));
  FileHandle strict;
  EXPECT_TRUE(strict.openForReadDenyWrite(path));  // readers do not disturb each other
  strict.close();
  sharedReader.close();
  // Another program writing the file (the C runtime shares reading and writing) keeps strict
  // readers out, and readWholeFile with them.
  std::ofstream writer(fsPath(path), std::ios::binary | std::ios::app);
  ASSERT_TRUE(writer.is_open());
  EXPECT_FALSE(strict.openForReadDenyWrite(path));
  EXPECT_EQ(lastFileError(), FileError::InUse);
  std::string out;
  EXPECT_FALSE(readWholeFile(path, 100, out));
  EXPECT_TRUE(strict.openForRead(path));
}
#endif

TEST(DeleteFile, RemovesReadOnlyFilesButNotFolders) {
  TempDir dir;
  const std::wstring file = dir.write("ro.bin", "x");
  ASSERT_TRUE(setReadOnly(file, true));
  EXPECT_TRUE(deleteFile(file));
  EXPECT_FALSE(dir.exists("ro.bin"));
  EXPECT_FALSE(deleteFile(file));
  EXPECT_EQ(lastFileError(), FileError::NotFound);
  dir.write("folder/x", "x");
  EXPECT_FALSE(deleteFile(dir.file("folder")));
  EXPECT_TRUE(dir.exists("folder/x"));
}

TEST(FileHandle, WritesReadsAndTruncates) {
  TempDir dir;
  const std::wstring path = dir.write("h.bin", std::string(5000, 'o'));
  {
    FileHandle out;
    ASSERT_TRUE(out.createNew(path));  // truncates the 5000 bytes
    ASSERT_TRUE(out.write("abc", 3));
    ASSERT_TRUE(out.write("", 0));
    ASSERT_TRUE(out.write("defgh", 5));
    ASSERT_TRUE(out.flush());
    std::uint64_t size = 0;
    ASSERT_TRUE(out.size(size));
    EXPECT_EQ(size, 8u);
    FileHandle moved(std::move(out));
    EXPECT_FALSE(out.isOpen());
    EXPECT_TRUE(moved.isOpen());
    ASSERT_TRUE(moved.write("!", 1));
  }
  EXPECT_EQ(dir.read("h.bin"), "abcdefgh!");

  FileHandle in;
  ASSERT_TRUE(in.openForRead(path));
  char buffer[4];
  std::string got;
  std::size_t n = 0;
  do {
    ASSERT_TRUE(in.read(buffer, sizeof buffer, n));
    got.append(buffer, n);
  } while (n > 0);
  EXPECT_EQ(got, "abcdefgh!");
  in.close();
  EXPECT_FALSE(in.isOpen());
  EXPECT_FALSE(in.read(buffer, sizeof buffer, n));

  EXPECT_FALSE(in.openForRead(dir.file("missing")));
  EXPECT_EQ(lastFileError(), FileError::NotFound);
  EXPECT_FALSE(in.openForRead(dir.path()));  // a folder is not a file
  EXPECT_FALSE(in.isOpen());
}

TEST(FileHandle, NewFilesReplaceWhatAnEarlierCrashLeftButNeverWriteThroughALink) {
  TempDir dir;
  TempDir outside;
  const std::wstring stale = dir.write("a.ap_tmp", "stale, from a run that was killed");
  FileHandle out;
  ASSERT_TRUE(out.createNew(stale));
  ASSERT_TRUE(out.write("new", 3));
  out.close();
  EXPECT_EQ(dir.read("a.ap_tmp"), "new");

  dir.write("folder/x", "x");
  EXPECT_FALSE(out.createNew(dir.file("folder")));
  EXPECT_EQ(dir.read("folder/x"), "x");

  const std::wstring victim = outside.write("victim.txt", "outside");
  std::error_code ec;
  std::filesystem::create_symlink(fsPath(victim), fsPath(dir.file("l.ap_tmp")), ec);
  if (ec) GTEST_SKIP() << "no symbolic links here";
  FileInfo info;
  ASSERT_TRUE(getEntryInfo(dir.file("l.ap_tmp"), info));
  EXPECT_TRUE(info.isLink);
  EXPECT_EQ(HashFile(dir.file("l.ap_tmp")), "") << "a link is never hashed";
  ASSERT_TRUE(out.createNew(dir.file("l.ap_tmp")));
  ASSERT_TRUE(out.write("mine", 4));
  out.close();
  EXPECT_EQ(outside.read("victim.txt"), "outside");
  ASSERT_TRUE(getEntryInfo(dir.file("l.ap_tmp"), info));
  EXPECT_TRUE(info.isRegularFile());
  EXPECT_EQ(dir.read("l.ap_tmp"), "mine");
}

// Partial files: ranges written and read at offsets through several handles at once, the
// space taken in one step, and a kept file opened only when it is a plain file of ours.
TEST(FileHandle, PartialFilesAreWrittenAtOffsetsAndOpenedOnlyWhenPlain) {
  TempDir dir;
  const std::wstring path = dir.file("big.pak.ap_tmp");
  {
    FileHandle made;
    ASSERT_TRUE(made.createNew(path));
    ASSERT_TRUE(made.allocate(100000));
  }
  FileHandle a;
  FileHandle b;
  ASSERT_TRUE(a.openForUpdate(path));
  ASSERT_TRUE(b.openForUpdate(path));  // transfers share the file
  ASSERT_TRUE(b.writeAt(99990, "0123456789", 10));
  ASSERT_TRUE(a.writeAt(5, "hello", 5));
  char got[10] = {};
  ASSERT_TRUE(b.readAt(5, got, 5));
  EXPECT_EQ(std::string(got, 5), "hello");
  EXPECT_FALSE(a.readAt(99995, got, 10)) << "a range past the end";
  std::uint64_t size = 0;
  ASSERT_TRUE(a.size(size));
  EXPECT_EQ(size, 100000u);
  a.close();
  b.close();
  const std::string content = dir.read("big.pak.ap_tmp");
  EXPECT_EQ(content.substr(0, 10), std::string(5, '\0') + "hello");
  EXPECT_EQ(content.substr(99990), "0123456789");

  EXPECT_FALSE(a.openForUpdate(dir.file("missing")));
  EXPECT_EQ(lastFileError(), FileError::NotFound);
  dir.write("folder/x", "x");
  EXPECT_FALSE(a.openForUpdate(dir.file("folder")));
  TempDir outside;
  const std::wstring victim = outside.write("victim.txt", "outside");
  std::error_code ec;
  std::filesystem::create_hard_link(fsPath(victim), fsPath(dir.file("hard.ap_tmp")), ec);
  if (!ec) {
    EXPECT_FALSE(a.openForUpdate(dir.file("hard.ap_tmp"))) << "a second name";
  }
  std::filesystem::create_symlink(fsPath(victim), fsPath(dir.file("soft.ap_tmp")), ec);
  if (!ec) {
    EXPECT_FALSE(a.openForUpdate(dir.file("soft.ap_tmp"))) << "a link";
  }
  EXPECT_FALSE(a.isOpen());
  EXPECT_EQ(outside.read("victim.txt"), "outside");
}

TEST(LongPaths, DeepFoldersBeyond260CharactersWork) {
  TempDir dir;
  std::wstring relative;
  for (int i = 0; i < 12; ++i)
    relative += L"folder-number-" + std::to_wstring(i) + L"-abcdefghij\\";
  relative += L"file.bin";
  const std::wstring path = dir.path() + relative;
  ASSERT_GT(path.size(), 300u);
  ASSERT_TRUE(ensureParentDirectory(path));
  ASSERT_TRUE(writeFileAtomically(path, "deep"));
  EXPECT_TRUE(fileExists(path));
  std::string out;
  ASSERT_TRUE(readWholeFile(path, 10, out));
  EXPECT_EQ(out, "deep");
  ASSERT_TRUE(setReadOnly(path, true));
  dir.write("src.bin", "deeper");
  ASSERT_TRUE(moveFileReplace(dir.file("src.bin"), path));
  ASSERT_TRUE(readWholeFile(path, 10, out));
  EXPECT_EQ(out, "deeper");

  // Taken down with the file layer itself, innermost first.
  ASSERT_TRUE(deleteFile(path));
  std::wstring folders = relative.substr(0, relative.find_last_of(L'\\'));
  for (;;) {
    ASSERT_TRUE(removeEmptyDirectory(dir.path() + folders)) << wideToUtf8(folders);
    const std::size_t separator = folders.find_last_of(L'\\');
    if (separator == std::wstring::npos) break;
    folders.resize(separator);
  }
  EXPECT_TRUE(listing(dir.path()).empty());
}

TEST(ModulePath, NamesThisTestExecutableAndItsFolder) {
  const std::wstring path = modulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(fileExists(path));
  EXPECT_NE(path.find(L"files_test"), std::wstring::npos);
  const std::wstring folder = moduleDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.back() == L'\\' || folder.back() == L'/');
  EXPECT_EQ(path.compare(0, folder.size(), folder), 0);
  EXPECT_EQ(path.substr(folder.size()).find_first_of(L"\\/"), std::wstring::npos);
  EXPECT_TRUE(directoryExists(folder));
  EXPECT_EQ(moduleDirectoryOf(L"C:\\Games\\QuillmarkLauncher.exe"), L"C:\\Games\\");
  EXPECT_EQ(moduleDirectoryOf(L"/opt/games/launcher"), L"/opt/games/");
  EXPECT_EQ(moduleDirectoryOf(L"launcher.exe"), L".\\");
}
