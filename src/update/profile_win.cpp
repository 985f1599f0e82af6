// patcher.ini through the Windows private-profile functions.
#include <windows.h>

#include <string>
#include <vector>

#include "base/files.h"
#include "update/profile.h"

namespace {

// The profile functions look for a relative name in the Windows folder; give them the full path.
std::wstring fullPath(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring out(needed, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), needed, out.data(), nullptr);
  if (got == 0 || got >= needed) return path;
  out.resize(got);
  return out;
}

// The profile functions read a whole file into memory; only a regular file of a sensible size
// is given to them.
bool fitsTheProfileFunctions(const std::wstring& path) {
  FileInfo info;
  return !getEntryInfo(path, info) || (info.isRegularFile() && info.size <= kProfileMaxBytes);
}

}  // namespace

std::wstring readProfileString(const std::wstring& path, const std::wstring& section,
                               const std::wstring& key, const std::wstring& def) {
  if (!fitsTheProfileFunctions(path)) return def;
  const std::wstring file = fullPath(path);
  // Grown by doubling until the value fits; a value this long is not a version.
  for (DWORD size = 256; size <= 65536; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD got = GetPrivateProfileStringW(section.c_str(), key.c_str(), def.c_str(),
                                               buffer.data(), size, file.c_str());
    if (got < size - 1) return std::wstring(buffer.data(), got);
  }
  return def;
}

bool writeProfileString(const std::wstring& path, const std::wstring& section,
                        const std::wstring& key, const std::wstring& value) {
  if (!fitsTheProfileFunctions(path)) return false;
  const std::wstring file = fullPath(path);
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}
