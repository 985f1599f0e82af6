// The path and whole-file helpers of the update engine, on top of the file layer.
//
// Sections: relative path validation (with Windows device names); parent folders;
// atomic replacement; bounded reads.
#include "base/paths.h"

#include <algorithm>
#include <vector>

#include "base/case_fold.h"
#include "base/files.h"
#include "base/text.h"

namespace {

// A path from the server longer than this is refused before it is even converted.
constexpr std::size_t kMaxRelativePathBytes = 400;

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t asciiUpper(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool equalsUpper(std::wstring_view name, std::wstring_view upper) {
  if (name.size() != upper.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (asciiUpper(name[i]) != upper[i]) return false;
  }
  return true;
}

// Windows opens a device, not a file, for these names in any folder, with any extension
// ("nul.txt") and with blanks before the extension ("nul .txt"); a manifest naming one could
// make the launcher write to a printer port or read from the console. The digits include the
// superscripts that Windows also accepts (COM¹, LPT³).
bool isDeviceName(std::wstring_view component) {
  std::wstring_view base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (equalsUpper(base, device)) return true;
  }
  if (base.size() == 4 &&
      (equalsUpper(base.substr(0, 3), L"COM") || equalsUpper(base.substr(0, 3), L"LPT"))) {
    const wchar_t digit = base[3];
    return (digit >= L'0' && digit <= L'9') || digit == static_cast<wchar_t>(0xB9) ||
           digit == static_cast<wchar_t>(0xB2) || digit == static_cast<wchar_t>(0xB3);
  }
  return false;
}

bool isSafeComponent(std::wstring_view component) {
  if (component.empty() || component == L"." || component == L"..") return false;
  if (component.back() == L' ' || component.back() == L'.') return false;
  return !isDeviceName(component);
}

}  // namespace

bool isTemporaryPath(std::wstring_view path) {
  const std::wstring_view suffix(kTemporarySuffix);
  return path.size() >= suffix.size() &&
         nameKey(path.substr(path.size() - suffix.size())) == suffix;
}

bool isLauncherOwnPath(std::wstring_view widePath) {
  const std::wstring key = nameKey(widePath);
  std::wstring_view name(key);
  if (isTemporaryPath(name)) name.remove_suffix(std::wstring_view(kTemporarySuffix).size());
  for (const wchar_t* own : {kProfileFileName, kCacheFileName, kLockFileName, kKeptManifestFileName,
                             kWriteTestFileName}) {
    if (name == own) return true;
  }
  const std::wstring_view staging(kChunkStagingFolder);
  return std::wstring_view(key).substr(0, staging.size()) == staging &&
         (key.size() == staging.size() || key[staging.size()] == L'\\');
}

bool isSafeRelativePath(std::string_view utf8Path, std::wstring& widePath) {
  widePath.clear();
  if (utf8Path.empty() || utf8Path.size() > kMaxRelativePathBytes) return false;
  std::wstring wide = utf8ToWide(utf8Path);
  if (wide.empty() || isSeparator(wide.front())) return false;
  for (wchar_t& c : wide) {
    if (c < 32 || c == L':' || c == L'"' || c == L'*' || c == L'<' || c == L'>' || c == L'?' ||
        c == L'|') {
      return false;
    }
    if (c == L'/') c = L'\\';
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = wide.find(L'\\', start);
    const std::wstring_view component = std::wstring_view(wide).substr(
        start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!isSafeComponent(component)) return false;
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  widePath = std::move(wide);
  return true;
}

std::wstring widePathOf(std::string_view utf8Path) {
  std::wstring out;
  appendWidePath(out, utf8Path);
  return out;
}

void appendWidePath(std::wstring& out, std::string_view utf8Path) {
  const std::size_t start = out.size();
  appendUtf8AsWide(out, utf8Path);
  std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), L'/', L'\\');
}

std::wstring linkInPath(const std::wstring& root, const std::wstring& relative) {
  for (std::size_t sep = relative.find(L'\\'); sep != std::wstring::npos;
       sep = relative.find(L'\\', sep + 1)) {
    FileInfo info;
    if (!getEntryInfo(root + relative.substr(0, sep), info)) return std::wstring();
    if (info.isLink) return relative.substr(0, sep);
  }
  return std::wstring();
}

namespace {

void walkBelow(const std::wstring& root, const std::wstring& relative,
               const std::function<void(const std::wstring&, bool)>& visit) {
  // Files are handed out as they are listed; folders once the listing is done, since the walk
  // goes into each before handing it out.
  std::vector<std::wstring> folders;
  listDirectory(root + relative, [&](const std::wstring& name, bool isDirectory) {
    std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    FileInfo info;
    if (isDirectory && getEntryInfo(root + path, info) && info.isDirectory && !info.isLink) {
      folders.push_back(std::move(path));
    } else {
      visit(path, false);
    }
    return true;
  });
  for (const std::wstring& folder : folders) {
    walkBelow(root, folder, visit);
    visit(folder, true);
  }
}

}  // namespace

void walkFolder(const std::wstring& root,
                const std::function<void(const std::wstring& relative, bool isFolder)>& visit) {
  walkBelow(root.empty() || isSeparator(root.back()) ? root : root + L"\\", std::wstring(), visit);
}

bool removeTree(const std::wstring& path) {
  FileInfo info;
  if (!getEntryInfo(path, info)) return lastFileError() == FileError::NotFound;
  if (!info.isDirectory || info.isLink) return deleteFile(path);
  const std::wstring base = isSeparator(path.back()) ? path : path + L"\\";
  walkFolder(base, [&base](const std::wstring& relative, bool isFolder) {
    const std::wstring full = base + relative;
    if (isFolder) {
      removeEmptyDirectory(full);
    } else {
      deleteFile(full);
    }
  });
  return removeEmptyDirectory(path);
}

bool ensureParentDirectory(const std::wstring& path) {
  std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return true;
  // Walk outwards to the first folder that exists, then create the missing ones outermost
  // first. Folders that exist are never created, so a drive or share root is never attempted.
  std::vector<std::wstring> missing;
  for (;;) {
    std::wstring parent = path.substr(0, separator);
    while (!parent.empty() && isSeparator(parent.back())) parent.pop_back();
    if (parent.empty() || directoryExists(parent)) break;
    missing.push_back(std::move(parent));
    separator = missing.back().find_last_of(L"\\/");
    if (separator == std::wstring::npos) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!createDirectory(*it)) return false;
  }
  return true;
}

bool writeFileAtomically(const std::wstring& path, std::string_view bytes) {
  return writeFileAtomically(path, {bytes});
}

bool writeFileAtomically(const std::wstring& path, std::initializer_list<std::string_view> pieces) {
  const std::wstring temporary = path + kTemporarySuffix;
  FileHandle file;
  if (!file.createNew(temporary)) return false;
  bool written = true;
  for (const std::string_view piece : pieces)
    written = written && file.write(piece.data(), piece.size());
  // The data reaches the disk before the move, so that the new name never points at content
  // that a power cut could lose.
  if (!written || !file.flush()) {
    file.close();
    deleteFile(temporary);
    return false;
  }
  file.close();
  if (!moveFileReplace(temporary, path)) {
    deleteFile(temporary);
    return false;
  }
  return true;
}

namespace {

// Fills bytes from the file's read position; false when the file ends first or a read fails.
bool readInto(FileHandle& file, std::string& bytes) {
  std::size_t total = 0;
  while (total < bytes.size()) {
    std::size_t got = 0;
    if (!file.read(bytes.data() + total, bytes.size() - total, got) || got == 0) return false;
    total += got;
  }
  return true;
}

}  // namespace

bool readWholeFile(const std::wstring& path, std::uint64_t limit, std::string& out) {
  out.clear();
  FileHandle file;
  // Nobody may write the file while it is read, so the content is one consistent version.
  if (!file.openForReadDenyWrite(path)) return false;
  std::uint64_t size = 0;
  if (!file.size(size) || (size >> 32) != 0 || size > limit) return false;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!readInto(file, bytes)) return false;
  out = std::move(bytes);
  return true;
}

bool readFileStart(const std::wstring& path, std::uint64_t limit, std::string& out, bool& more) {
  out.clear();
  more = false;
  FileHandle file;
  std::uint64_t size = 0;
  if (!file.openForRead(path, false) || !file.size(size)) return false;
  more = size > limit;
  std::string bytes(static_cast<std::size_t>(std::min(size, limit)), '\0');
  if (!readInto(file, bytes)) return false;
  out = std::move(bytes);
  return true;
}

std::wstring moduleDirectoryOf(std::wstring_view modulePath) {
  const std::size_t at = modulePath.find_last_of(L"\\/");
  return at == std::wstring_view::npos ? std::wstring(L".\\")
                                       : std::wstring(modulePath.substr(0, at + 1));
}

std::wstring moduleDirectory() { return moduleDirectoryOf(modulePath()); }
