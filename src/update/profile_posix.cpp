// patcher.ini on POSIX systems: the private-profile format (profile.cpp) on whole files,
// replaced atomically.
#include <string>

#include "base/files.h"
#include "base/paths.h"
#include "update/profile.h"

std::wstring readProfileString(const std::wstring& path, const std::wstring& section,
                               const std::wstring& key, const std::wstring& def) {
  std::string text;
  if (!readWholeFile(path, kProfileMaxBytes, text)) return def;
  return profileValue(text, section, key, def);
}

bool writeProfileString(const std::wstring& path, const std::wstring& section,
                        const std::wstring& key, const std::wstring& value) {
  std::string text;
  if (!readWholeFile(path, kProfileMaxBytes, text)) {
    // An unreadable or oversized file is left as it is.
    FileInfo info;
    if (getEntryInfo(path, info) && info.isRegularFile()) return false;
    text.clear();
  }
  return writeFileAtomically(path, withProfileValue(text, section, key, value));
}
