// A stand-in for the game client: records how it was started, in "fake_game_record.txt"
// beside itself, and exits. Lines: "command=" the whole command line, "folder=" the working
// folder, both UTF-8. The record is written to a temporary name and moved into place, so a
// reader never sees half of it.
//
// While a file "fake_game_hold" lies beside it, it keeps running after the record (for at most
// ten minutes), so that a test can find it among the processes; deleting the file ends it.
#include <windows.h>

#include <string>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring ownFolder() {
  wchar_t path[4096];
  const DWORD n = GetModuleFileNameW(nullptr, path, 4096);
  std::wstring full(path, n < 4096 ? n : 0);
  const std::size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t folder[4096];
  const DWORD n = GetCurrentDirectoryW(4096, folder);
  std::string record = "command=" + utf8(GetCommandLineW()) + "\n";
  record += "folder=" + utf8(std::wstring(folder, n < 4096 ? n : 0)) + "\n";

  const std::wstring target = ownFolder() + L"fake_game_record.txt";
  const std::wstring temporary = target + L".tmp";
  const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != record.size() ||
      !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temporary.c_str());
    return 3;
  }
  const std::wstring hold = ownFolder() + L"fake_game_hold";
  for (int i = 0; i < 12000 && GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
    Sleep(50);
  }
  return 0;
}
