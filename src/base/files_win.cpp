// The file layer on Windows.
//
// Sections: path form and error mapping; attributes and directories; moves and deletion;
// FileHandle; the running program's path and arguments.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <algorithm>

#include "base/files.h"
#include "base/paths.h"

namespace {

thread_local FileError tlsLastError = FileError::None;

// Below this length every Windows version takes a plain path; CreateDirectoryW already stops
// at 248 characters (MAX_PATH less room for an 8.3 name).
constexpr std::size_t kPlainPathLimit = 248;

// A relative path may be up to 400 bytes long, so a full path in a deep game folder can pass
// MAX_PATH. Such a path is given to the system in its extended form ("\\?\"), which takes up
// to 32767 characters on every Windows version. The extended form is taken literally, so it
// is used only for full paths and with every "/" turned into "\"; the engine's paths contain
// no "." or ".." components (they are validated before use).
std::wstring systemPath(const std::wstring& path) {
  if (path.size() < kPlainPathLimit) return path;
  std::wstring p = path;
  std::replace(p.begin(), p.end(), L'/', L'\\');
  if (p.rfind(L"\\\\?\\", 0) == 0 || p.rfind(L"\\\\.\\", 0) == 0) return p;
  if (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') return L"\\\\?\\" + p;
  if (p.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + p.substr(2);
  return path;
}

FileError mapError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
      return FileError::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return FileError::InUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FileError::AccessDenied;
    default:
      return FileError::Other;
  }
}

// Records GetLastError as the thread's last file error; returns false for return statements.
bool fail() {
  tlsLastError = mapError(GetLastError());
  return false;
}

bool failWith(FileError error) {
  tlsLastError = error;
  return false;
}

DWORD attributesOf(const std::wstring& path) {
  return GetFileAttributesW(systemPath(path).c_str());
}

bool isReadOnlyFile(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DWORD withoutReadOnly(DWORD attributes) {
  const DWORD cleared = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  return cleared == 0 ? FILE_ATTRIBUTE_NORMAL : cleared;
}

HANDLE asHandle(void* h) { return static_cast<HANDLE>(h); }

// Reparse points that name another place (symbolic links, junctions, mount points) carry this
// bit in their tag; others (cloud placeholders, deduplicated files) hold their own data.
constexpr DWORD kNameSurrogateBit = 0x20000000;

bool isNameSurrogate(DWORD tag) { return (tag & kNameSurrogateBit) != 0; }

// The reparse tag of the entry path names itself; a tag that cannot be read counts as a link.
DWORD reparseTag(const std::wstring& path) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileExW(systemPath(path).c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return kNameSurrogateBit;
  FindClose(find);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? data.dwReserved0 : 0;
}

}  // namespace

FileError lastFileError() { return tlsLastError; }

bool fileNamesAreCaseSensitive() { return false; }

namespace {

// GetFileAttributesExW into out, with the attribute bits it read.
bool readAttributes(const std::wstring& path, FileInfo& out, DWORD& attributes) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(systemPath(path).c_str(), GetFileExInfoStandard, &data)) return fail();
  attributes = data.dwFileAttributes;
  out.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  out.size = out.isDirectory
                 ? 0
                 : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  out.lastWriteTime = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
  out.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  return true;
}

}  // namespace

bool getFileInfo(const std::wstring& path, FileInfo& out) {
  DWORD attributes = 0;
  return readAttributes(path, out, attributes);
}

bool getEntryInfo(const std::wstring& path, FileInfo& out) {
  out = FileInfo();
  // GetFileAttributesExW describes a link itself, never its target; its attribute bits say
  // whether the entry is a reparse point, so a plain file (a whole game's scan) costs one call.
  DWORD attributes = 0;
  if (!readAttributes(path, out, attributes)) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && isNameSurrogate(reparseTag(path))) {
    out.isLink = true;
    out.isDirectory = false;
    out.size = 0;
  }
  return true;
}

FolderScan::FolderScan(const std::wstring& folder) : folder_(folder) {}

FolderScan::~FolderScan() = default;

bool FolderScan::entryInfo(std::string_view relativePath, FileInfo& out) const {
  thread_local std::wstring path;
  path.assign(folder_);
  appendWidePath(path, relativePath);
  return getEntryInfo(path, out);
}

bool fileExists(const std::wstring& path) {
  const DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool directoryExists(const std::wstring& path) {
  const DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool createDirectory(const std::wstring& path) {
  if (CreateDirectoryW(systemPath(path).c_str(), nullptr)) return true;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    if (directoryExists(path)) return true;
    return failWith(FileError::AccessDenied);
  }
  return fail();
}

bool removeEmptyDirectory(const std::wstring& path) {
  if (RemoveDirectoryW(systemPath(path).c_str())) return true;
  if (GetLastError() == ERROR_DIR_NOT_EMPTY) return failWith(FileError::AccessDenied);
  return fail();
}

bool deleteFile(const std::wstring& path) {
  const std::wstring sys = systemPath(path);
  const DWORD attributes = GetFileAttributesW(sys.c_str());
  // A junction or a link to a folder is removed as the folder entry it is; what it points at
  // stays untouched. A real folder is refused.
  const DWORD folderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & folderLink) == folderLink) {
    if (RemoveDirectoryW(sys.c_str())) return true;
    return fail();
  }
  const bool readOnly = isReadOnlyFile(attributes);
  if (readOnly && !SetFileAttributesW(sys.c_str(), withoutReadOnly(attributes))) return fail();
  if (DeleteFileW(sys.c_str())) return true;
  const DWORD error = GetLastError();
  if (readOnly) SetFileAttributesW(sys.c_str(), attributes);
  tlsLastError = mapError(error);
  return false;
}

bool setReadOnly(const std::wstring& path, bool readOnly) {
  const std::wstring sys = systemPath(path);
  const DWORD attributes = GetFileAttributesW(sys.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return fail();
  DWORD wanted = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : withoutReadOnly(attributes);
  if (wanted != FILE_ATTRIBUTE_NORMAL) wanted &= ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
  if (wanted == attributes) return true;
  if (!SetFileAttributesW(sys.c_str(), wanted)) return fail();
  return true;
}

bool moveFileReplace(const std::wstring& from, const std::wstring& to, MoveSync sync) {
  const std::wstring source = systemPath(from);
  const std::wstring target = systemPath(to);
  // MoveFileExW refuses to replace a read-only file; the attribute is cleared first and put
  // back when the move fails, so that a failed move leaves the target as it was.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool readOnly = isReadOnlyFile(attributes);
  if (readOnly && !SetFileAttributesW(target.c_str(), withoutReadOnly(attributes))) return fail();
  const DWORD flags = MOVEFILE_REPLACE_EXISTING |
                      (sync == MoveSync::Now ? static_cast<DWORD>(MOVEFILE_WRITE_THROUGH) : 0);
  if (MoveFileExW(source.c_str(), target.c_str(), flags)) return true;
  const DWORD error = GetLastError();
  if (readOnly) SetFileAttributesW(target.c_str(), attributes);
  tlsLastError = mapError(error);
  return false;
}

std::vector<std::size_t> syncWrittenFiles(const std::wstring& /*folder*/,
                                          const std::vector<std::wstring>& files) {
  // Flushing a whole volume needs administrator rights; each file is flushed instead. A
  // file that cannot be opened for writing (read-only, or open in the game) stays unsynced.
  std::vector<std::size_t> notSynced;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const HANDLE file = CreateFileW(systemPath(files[i]).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool flushed = false;
    if (file != INVALID_HANDLE_VALUE) {
      flushed = FlushFileBuffers(file) != 0;
      CloseHandle(file);
    }
    if (!flushed) notSynced.push_back(i);
  }
  return notSynced;
}

bool freeDiskSpace(const std::wstring& path, std::uint64_t& bytes) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(systemPath(path).c_str(), &available, nullptr, nullptr)) return fail();
  bytes = available.QuadPart;
  return true;
}

bool listDirectory(const std::wstring& dir,
                   const std::function<bool(const std::wstring& name, bool isDirectory)>& visit) {
  std::wstring pattern = dir;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(systemPath(pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // Only a drive's root can be without "." and ".."; an empty answer there is no failure.
    if (GetLastError() == ERROR_FILE_NOT_FOUND && directoryExists(dir)) return true;
    return fail();
  }
  bool ok = true;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (!visit(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
      ok = false;
      tlsLastError = FileError::Other;
      break;
    }
  } while (FindNextFileW(find, &data));
  if (ok && GetLastError() != ERROR_NO_MORE_FILES) ok = fail();
  FindClose(find);
  return ok;
}

// --- FileHandle ---------------------------------------------------------------------------

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces of this size.
constexpr std::size_t kMaxIo = std::size_t{1} << 30;

FileHandle::~FileHandle() { close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept : handle_(other.handle_) {
  other.handle_ = INVALID_HANDLE_VALUE;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    other.handle_ = INVALID_HANDLE_VALUE;
  }
  return *this;
}

bool FileHandle::openForRead(const std::wstring& path, bool followLinks) {
  close();
  const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE h = CreateFileW(systemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail();
  // Only a file on a disk: no pipe or device, and without following, no link itself.
  bool refused = GetFileType(h) != FILE_TYPE_DISK;
  bool holdsItsData = true;
  if (!refused && !followLinks) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    refused = !GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag);
    if (!refused && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      refused = isNameSurrogate(tag.ReparseTag);
      holdsItsData = false;
    }
  }
  if (refused) {
    CloseHandle(h);
    return failWith(FileError::AccessDenied);
  }
  handle_ = h;
  // A cloud placeholder or a deduplicated file, opened as its reparse point, would read as
  // its placeholder bytes: it is opened again the ordinary way, which gives its content.
  return holdsItsData || openForRead(path, true);
}

bool FileHandle::openForReadDenyWrite(const std::wstring& path) {
  close();
  HANDLE h = CreateFileW(systemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail();
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return failWith(FileError::AccessDenied);
  }
  handle_ = h;
  return true;
}

bool FileHandle::createNew(const std::wstring& path) {
  close();
  // A stale entry goes first (a link itself, never its target); a file another handle holds
  // open is not deleted, and then the creation fails, as it does when the name reappears.
  deleteFile(path);
  HANDLE h = CreateFileW(
      systemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail();
  handle_ = h;
  return true;
}

bool FileHandle::openForUpdate(const std::wstring& path) {
  close();
  HANDLE h = CreateFileW(systemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail();
  // Opened as itself, a reparse point of any kind is refused: its data is not ours to write.
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      info.nNumberOfLinks != 1) {
    CloseHandle(h);
    return failWith(FileError::AccessDenied);
  }
  handle_ = h;
  return true;
}

bool FileHandle::isOpen() const { return asHandle(handle_) != INVALID_HANDLE_VALUE; }

bool FileHandle::read(void* buffer, std::size_t count, std::size_t& got) {
  got = 0;
  if (!isOpen()) return failWith(FileError::Other);
  DWORD n = 0;
  if (!ReadFile(asHandle(handle_), buffer, static_cast<DWORD>(std::min(count, kMaxIo)), &n,
                nullptr)) {
    return fail();
  }
  got = n;
  return true;
}

bool FileHandle::write(const void* buffer, std::size_t count) {
  if (!isOpen()) return failWith(FileError::Other);
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    DWORD n = 0;
    if (!WriteFile(asHandle(handle_), p, static_cast<DWORD>(std::min(count, kMaxIo)), &n,
                   nullptr)) {
      return fail();
    }
    if (n == 0) return failWith(FileError::Other);
    p += n;
    count -= n;
  }
  return true;
}

bool FileHandle::size(std::uint64_t& out) const {
  if (!isOpen()) return failWith(FileError::Other);
  LARGE_INTEGER s{};
  if (!GetFileSizeEx(asHandle(handle_), &s)) return fail();
  out = static_cast<std::uint64_t>(s.QuadPart);
  return true;
}

bool FileHandle::seek(std::uint64_t offset) {
  if (!isOpen()) return failWith(FileError::Other);
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(asHandle(handle_), to, nullptr, FILE_BEGIN)) return fail();
  return true;
}

namespace {

// An offset for ReadFile and WriteFile on a handle opened for synchronous use: the call still
// waits for its end, but reads or writes there instead of at the file pointer.
OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

}  // namespace

bool FileHandle::readAt(std::uint64_t offset, void* buffer, std::size_t count) {
  if (!isOpen()) return failWith(FileError::Other);
  char* p = static_cast<char*>(buffer);
  while (count > 0) {
    OVERLAPPED o = at(offset);
    DWORD n = 0;
    if (!ReadFile(asHandle(handle_), p, static_cast<DWORD>(std::min(count, kMaxIo)), &n, &o)) {
      return fail();  // ERROR_HANDLE_EOF when the range starts past the end
    }
    if (n == 0) return failWith(FileError::Other);
    p += n;
    offset += n;
    count -= n;
  }
  return true;
}

bool FileHandle::writeAt(std::uint64_t offset, const void* buffer, std::size_t count) {
  if (!isOpen()) return failWith(FileError::Other);
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    OVERLAPPED o = at(offset);
    DWORD n = 0;
    if (!WriteFile(asHandle(handle_), p, static_cast<DWORD>(std::min(count, kMaxIo)), &n, &o)) {
      return fail();
    }
    if (n == 0) return failWith(FileError::Other);
    p += n;
    offset += n;
    count -= n;
  }
  return true;
}

bool FileHandle::allocate(std::uint64_t size) {
  if (!isOpen()) return failWith(FileError::Other);
  // Setting the end of a file that is not sparse takes its clusters on NTFS; nothing is
  // written until the ranges are.
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(asHandle(handle_), end, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(asHandle(handle_))) {
    return fail();
  }
  return true;
}

bool FileHandle::flush() {
  if (!isOpen()) return failWith(FileError::Other);
  if (!FlushFileBuffers(asHandle(handle_))) return fail();
  return true;
}

void FileHandle::close() {
  if (isOpen()) {
    CloseHandle(asHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
  }
}

// --- The running program's path and arguments -----------------------------------------------

std::wstring modulePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  // A result that fills the buffer may have been cut: double it and ask again.
  while (buffer.size() <= 32768) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

std::wstring displayPath(const std::wstring& enginePath) { return enginePath; }

std::vector<std::wstring> commandLineArguments(int, char**) {
  std::vector<std::wstring> out;
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr) return out;
  for (int i = 1; i < count; ++i) out.emplace_back(args[i]);
  LocalFree(args);
  return out;
}
