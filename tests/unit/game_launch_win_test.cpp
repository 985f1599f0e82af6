// Starting programs for real (Windows, under Wine in CI): the shell start of the game and the
// direct start of the launcher, with blanks in the folder, their working folders and command
// lines as the started program sees them, failures as error codes, and the single-instance
// mutex.
#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "shell/command_line.h"
#include "shell/game_launch.h"
#include "shell/single_instance.h"
#include "test_support.h"

namespace {

// Copies the fake game into dir + relative and returns its full path.
std::wstring placeFakeGame(const TempDir& dir, const std::string& relative) {
  const std::wstring path = dir.file(relative);
  EXPECT_TRUE(ensureParentDirectory(path));
  EXPECT_TRUE(CopyFileW(utf8ToWide(QM_FAKE_GAME).c_str(), path.c_str(), FALSE));
  return path;
}

// The fake game's record once it has written it (polled for up to a minute), or "".
std::string waitForRecord(const std::wstring& folder) {
  const std::wstring record = folder + L"fake_game_record.txt";
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::string content;
  while (std::chrono::steady_clock::now() < end) {
    if (fileExists(record)) {
      const HANDLE f = CreateFileW(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
      if (f != INVALID_HANDLE_VALUE) {
        char buffer[8192];
        DWORD got = 0;
        ReadFile(f, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(f);
        return std::string(buffer, got);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return content;
}

std::string line(const std::string& record, const std::string& name) {
  const std::size_t at = record.find(name + "=");
  if (at == std::string::npos) return "<missing>";
  const std::size_t end = record.find('\n', at);
  return record.substr(at + name.size() + 1, end - at - name.size() - 1);
}

std::string withoutTrailingSlash(const std::string& path) {
  const std::size_t last = path.find_last_not_of("\\/");
  return last == std::string::npos ? path : path.substr(0, last + 1);
}

}  // namespace

TEST(LaunchProcess, QuotesTheExecutableAndStartsItInItsFolder) {
  TempDir dir;
  const std::wstring exe = placeFakeGame(dir, "My Launcher Folder/QuillmarkLauncher.exe");
  ASSERT_TRUE(launchProcess(exe, L"--updated"));
  const std::string record = waitForRecord(folderOfPath(exe));
  // (Built by appending: GCC 12 warns wrongly about a literal + string here.)
  std::string expected = wideToUtf8(exe);
  expected.insert(expected.begin(), '"');
  expected.append("\" --updated");
  EXPECT_EQ(line(record, "command"), expected);
  EXPECT_EQ(withoutTrailingSlash(line(record, "folder")),
            withoutTrailingSlash(wideToUtf8(folderOfPath(exe))));

  EXPECT_FALSE(launchProcess(dir.file("missing/nothing.exe"), L""));
}

TEST(LaunchGame, ShellStartsTheClientWithTheTicketInItsFolder) {
  TempDir dir;
  const std::wstring exe = placeFakeGame(dir, "Game Folder/bin/Play Quillmark.exe");
  EXPECT_EQ(launchGame(nullptr, exe, L"/launcher:quillmark"), 0u);
  const std::string record = waitForRecord(folderOfPath(exe));
  const std::string command = line(record, "command");
  EXPECT_NE(command.find("Play Quillmark.exe"), std::string::npos) << command;
  EXPECT_EQ(command.substr(command.size() - 20), " /launcher:quillmark") << command;
  EXPECT_EQ(withoutTrailingSlash(line(record, "folder")),
            withoutTrailingSlash(wideToUtf8(folderOfPath(exe))));
  // (A start that fails is not tried here: the shell reports it with a dialog of its own,
  // which would wait for a click.)
}

TEST(SingleInstance, AMutexThatExistsOrMayNotBeOpenedMeansAnotherLauncher) {
  const wchar_t* name = L"Quillmark.ResselLauncher.test-single-instance";
  void* first = nullptr;
  ASSERT_TRUE(claimSingleInstanceMutex(name, &first));
  ASSERT_NE(first, nullptr);
  void* second = nullptr;
  EXPECT_FALSE(claimSingleInstanceMutex(name, &second));
  if (second) CloseHandle(second);
  CloseHandle(first);

  // An elevated launcher's mutex cannot be opened by an unelevated one: a mutex whose
  // empty access list refuses everyone stands in for it.
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  ACL emptyList;
  InitializeAcl(&emptyList, sizeof emptyList, ACL_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyList, FALSE);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  const wchar_t* guarded = L"Quillmark.ResselLauncher.test-single-instance-elevated";
  const HANDLE elevated = CreateMutexW(&attributes, TRUE, guarded);
  ASSERT_NE(elevated, nullptr);
  void* refused = nullptr;
  EXPECT_FALSE(claimSingleInstanceMutex(guarded, &refused));
  EXPECT_EQ(refused, nullptr);
  if (refused) CloseHandle(refused);
  CloseHandle(elevated);
}
