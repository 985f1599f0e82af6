// The running processes of one executable name outside Windows, from /proc/*/exe: a stand-in
// for tests and tools (the game client itself is a Windows program). Processes whose link may
// not be read (other users') are not seen.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>

#include "base/files.h"
#include "base/text.h"
#include "gamecfg/game_process.h"

namespace {

bool allDigits(const char* name) {
  if (*name == '\0') return false;
  for (; *name; ++name) {
    if (*name < '0' || *name > '9') return false;
  }
  return true;
}

}  // namespace

std::vector<std::wstring> processPathsNamed(const std::wstring& fileName) {
  std::vector<std::wstring> paths;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return paths;
  std::string target(PATH_MAX, '\0');
  while (const dirent* entry = readdir(proc)) {
    if (!allDigits(entry->d_name)) continue;
    const std::string link = std::string("/proc/") + entry->d_name + "/exe";
    const ssize_t n = readlink(link.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) continue;
    std::string path(target.data(), static_cast<std::size_t>(n));
    // An executable replaced while it runs is still that program.
    constexpr const char* kDeleted = " (deleted)";
    const std::size_t deletedLength = std::strlen(kDeleted);
    if (path.size() > deletedLength &&
        path.compare(path.size() - deletedLength, deletedLength, kDeleted) == 0) {
      path.resize(path.size() - deletedLength);
    }
    const std::wstring wide = utf8ToWide(path);
    if (sameExecutablePath(executableFileName(wide), fileName)) paths.push_back(wide);
  }
  closedir(proc);
  return paths;
}

std::wstring canonicalExecutablePath(const std::wstring& path) {
  char* resolved = realpath(nativePath(path).c_str(), nullptr);
  if (resolved == nullptr) return path;
  const std::wstring out = utf8ToWide(resolved);
  free(resolved);
  return out;
}
