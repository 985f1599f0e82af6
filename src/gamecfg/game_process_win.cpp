// The running processes of one executable name: the Toolhelp snapshot for the names, then each
// match's full path from QueryFullProcessImageNameW.
#include <windows.h>
// tlhelp32.h needs the types of windows.h.
#include <tlhelp32.h>

#include "gamecfg/game_process.h"

namespace {

// The process's executable as a full Win32 path, or "" when the process may not be queried.
std::wstring imagePath(DWORD processId) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return {};
  std::wstring path(32768, L'\0');
  DWORD size = static_cast<DWORD>(path.size());
  const BOOL ok = QueryFullProcessImageNameW(process, 0, path.data(), &size);
  CloseHandle(process);
  if (!ok) return {};
  path.resize(size);
  return path;
}

}  // namespace

std::vector<std::wstring> processPathsNamed(const std::wstring& fileName) {
  std::vector<std::wstring> paths;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return paths;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (CompareStringOrdinal(entry.szExeFile, -1, fileName.c_str(),
                             static_cast<int>(fileName.size()), TRUE) == CSTR_EQUAL) {
      paths.push_back(imagePath(entry.th32ProcessID));
    }
  }
  CloseHandle(snapshot);
  return paths;
}

std::wstring canonicalExecutablePath(const std::wstring& path) {
  // Full path first ("/" and ".." resolved), then the long names of any 8.3 components, which
  // is how the process list spells an image path.
  std::wstring full(32768, L'\0');
  DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  std::wstring longPath(32768, L'\0');
  n = GetLongPathNameW(full.c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
  if (n == 0 || n >= longPath.size()) return full;
  longPath.resize(n);
  return longPath;
}
