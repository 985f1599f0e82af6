// The file layer on POSIX systems.
//
// Sections: path conversion and error mapping; attributes and directories; moves and
// deletion; FileHandle; the executable's own path.
//
// The engine builds paths with "\" separators; here every "\" becomes "/" and the text
// becomes UTF-8 just before the system call. A last-write time is reported in FILETIME
// units so that the hash cache means the same on every platform.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "base/files.h"
#include "base/text.h"

namespace {

thread_local FileError tlsLastError = FileError::None;

FileError mapErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
      return FileError::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileError::AccessDenied;
    case EBUSY:
    case ETXTBSY:
      return FileError::InUse;
    default:
      return FileError::Other;
  }
}

// Records errno as the thread's last file error; returns false for use in return statements.
bool fail() {
  tlsLastError = mapErrno(errno);
  return false;
}

bool failWith(FileError error) {
  tlsLastError = error;
  return false;
}

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kEpochDifference = 11644473600ULL;

std::uint64_t toFileTime(const struct timespec& t) {
  if (t.tv_sec < 0) return 0;
  return (static_cast<std::uint64_t>(t.tv_sec) + kEpochDifference) * 10000000ULL +
         static_cast<std::uint64_t>(t.tv_nsec) / 100;
}

std::string parentOf(const std::string& native) {
  const auto slash = native.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return native.substr(0, slash);
}

// Makes a folder's entries durable; a rename is on disk only once its folder is synced.
void syncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Makes a file's data durable before it is moved into place, so that a crash cannot leave
// the new name pointing at content that never reached the disk.
void syncFile(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) ::fsync(fd);
  ::close(fd);
}

}  // namespace

FileError lastFileError() { return tlsLastError; }

bool fileNamesAreCaseSensitive() { return true; }

namespace {

void describe(const struct stat& st, FileInfo& out) {
  out = FileInfo();
  out.isDirectory = S_ISDIR(st.st_mode);
  out.isLink = S_ISLNK(st.st_mode);
  out.isSpecial = !S_ISREG(st.st_mode) && !out.isDirectory && !out.isLink;
  out.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  out.lastWriteTime = toFileTime(st.st_mtim);
  out.readOnly = (st.st_mode & S_IWUSR) == 0;
}

}  // namespace

bool getFileInfo(const std::wstring& path, FileInfo& out) {
  struct stat st {};
  if (::stat(nativePath(path).c_str(), &st) != 0) return fail();
  describe(st, out);
  return true;
}

bool getEntryInfo(const std::wstring& path, FileInfo& out) {
  struct stat st {};
  if (::lstat(nativePath(path).c_str(), &st) != 0) return fail();
  describe(st, out);
  return true;
}

FolderScan::FolderScan(const std::wstring& folder)
    : folder_(folder),
      fd_(::open(nativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

FolderScan::~FolderScan() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderScan::entryInfo(std::string_view relativePath, FileInfo& out) const {
  if (fd_ < 0) return getEntryInfo(folder_ + utf8ToWide(relativePath), out);
  thread_local std::string native;
  native.assign(relativePath);
  std::replace(native.begin(), native.end(), '\\', '/');
  struct stat st {};
  if (::fstatat(fd_, native.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return fail();
  describe(st, out);
  return true;
}

bool fileExists(const std::wstring& path) {
  struct stat st {};
  return ::stat(nativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool directoryExists(const std::wstring& path) {
  struct stat st {};
  return ::stat(nativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createDirectory(const std::wstring& path) {
  const std::string native = nativePath(path);
  if (::mkdir(native.c_str(), 0777) == 0) return true;
  if (errno == EEXIST) {
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    return failWith(FileError::AccessDenied);
  }
  return fail();
}

bool removeEmptyDirectory(const std::wstring& path) {
  if (::rmdir(nativePath(path).c_str()) == 0) return true;
  if (errno == ENOTEMPTY || errno == EEXIST) return failWith(FileError::AccessDenied);
  return fail();
}

bool deleteFile(const std::wstring& path) {
  const std::string native = nativePath(path);
  struct stat st {};
  // unlink would not remove a folder on Linux either, but say so plainly.
  if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return failWith(FileError::AccessDenied);
  }
  if (::unlink(native.c_str()) != 0) return fail();
  return true;
}

bool setReadOnly(const std::wstring& path, bool readOnly) {
  const std::string native = nativePath(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) return fail();
  mode_t mode = st.st_mode & 07777;
  if (readOnly) {
    mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
  } else {
    mode |= S_IWUSR;
  }
  if (::chmod(native.c_str(), mode) != 0) return fail();
  return true;
}

bool moveFileReplace(const std::wstring& from, const std::wstring& to, MoveSync sync) {
  const std::string source = nativePath(from);
  const std::string target = nativePath(to);
  if (sync == MoveSync::Now) syncFile(source);
  // rename replaces a read-only target as well: only the folder's permissions matter.
  if (::rename(source.c_str(), target.c_str()) != 0) {
    if (errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST) {
      return failWith(FileError::AccessDenied);
    }
    return fail();
  }
  if (sync == MoveSync::Later) return true;
  const std::string targetDir = parentOf(target);
  syncDirectory(targetDir);
  const std::string sourceDir = parentOf(source);
  if (sourceDir != targetDir) syncDirectory(sourceDir);
  return true;
}

std::vector<std::size_t> syncWrittenFiles(const std::wstring& folder,
                                          const std::vector<std::wstring>& files) {
  std::vector<std::size_t> notSynced;
  if (files.empty()) return notSynced;
  const int fd = ::open(nativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  bool synced = false;
  if (fd >= 0) {
#ifdef __linux__
    // Every file and folder entry of the file system, in one call: the kernel writes the
    // run's dirty pages in the order it likes instead of one journal commit per file.
    synced = ::syncfs(fd) == 0;
#else
    ::sync();
    synced = true;
#endif
    ::close(fd);
  }
  if (!synced) {
    for (std::size_t i = 0; i < files.size(); ++i) notSynced.push_back(i);
  }
  return notSynced;
}

bool freeDiskSpace(const std::wstring& path, std::uint64_t& bytes) {
  struct statvfs st {};
  if (::statvfs(nativePath(path).c_str(), &st) != 0) return fail();
  bytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}

bool listDirectory(const std::wstring& dir,
                   const std::function<bool(const std::wstring& name, bool isDirectory)>& visit) {
  std::string native = nativePath(dir);
  DIR* handle = ::opendir(native.c_str());
  if (handle == nullptr) return fail();
  if (native.empty() || native.back() != '/') native.push_back('/');
  bool ok = true;
  errno = 0;
  while (struct dirent* entry = ::readdir(handle)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      isDirectory = ::stat((native + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (!visit(utf8ToWide(name), isDirectory)) {
      ok = false;
      tlsLastError = FileError::Other;
      break;
    }
    errno = 0;
  }
  if (ok && errno != 0) ok = fail();
  ::closedir(handle);
  return ok;
}

// --- FileHandle ---------------------------------------------------------------------------

FileHandle::~FileHandle() { close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool FileHandle::openForRead(const std::wstring& path, bool followLinks) {
  close();
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, for ever.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
  const int fd = ::open(nativePath(path).c_str(), flags);
  if (fd < 0) return errno == ELOOP ? failWith(FileError::AccessDenied) : fail();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    // A folder is not a file to read, as on Windows; a FIFO or a device (/dev/zero would
    // never end) is no file of ours either.
    const bool folder = S_ISDIR(st.st_mode);
    ::close(fd);
    return failWith(folder ? FileError::AccessDenied : FileError::NotFound);
  }
  // Reads of a regular file never wait; the flag is dropped all the same.
  ::fcntl(fd, F_SETFL, O_RDONLY);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  return true;
}

bool FileHandle::openForReadDenyWrite(const std::wstring& path) {
  // POSIX has no share modes; the content is still read as one snapshot by the callers.
  return openForRead(path);
}

bool FileHandle::createNew(const std::wstring& path) {
  close();
  const std::string native = nativePath(path);
  // unlink removes a link itself, and refuses a folder (then the creation fails below).
  if (::unlink(native.c_str()) != 0 && errno != ENOENT && errno != EISDIR) return fail();
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return fail();
  fd_ = fd;
  return true;
}

bool FileHandle::openForUpdate(const std::wstring& path) {
  close();
  // O_NONBLOCK: a FIFO is refused below, never waited on.
  const int fd = ::open(nativePath(path).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return errno == ELOOP ? failWith(FileError::AccessDenied) : fail();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
    ::close(fd);
    return failWith(FileError::AccessDenied);
  }
  ::fcntl(fd, F_SETFL, O_RDWR);
  fd_ = fd;
  return true;
}

bool FileHandle::isOpen() const { return fd_ >= 0; }

bool FileHandle::read(void* buffer, std::size_t count, std::size_t& got) {
  got = 0;
  if (fd_ < 0) return failWith(FileError::Other);
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0) {
      got = static_cast<std::size_t>(n);
      return true;
    }
    if (errno != EINTR) return fail();
  }
}

bool FileHandle::write(const void* buffer, std::size_t count) {
  if (fd_ < 0) return failWith(FileError::Other);
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(fd_, p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail();
    }
    if (n == 0) return failWith(FileError::Other);
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FileHandle::size(std::uint64_t& out) const {
  struct stat st {};
  if (fd_ < 0) return failWith(FileError::Other);
  if (::fstat(fd_, &st) != 0) return fail();
  out = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool FileHandle::seek(std::uint64_t offset) {
  if (fd_ < 0) return failWith(FileError::Other);
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return fail();
  return true;
}

bool FileHandle::readAt(std::uint64_t offset, void* buffer, std::size_t count) {
  if (fd_ < 0) return failWith(FileError::Other);
  char* p = static_cast<char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::pread(fd_, p, count, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail();
    }
    if (n == 0) return failWith(FileError::Other);  // the file ends before the range does
    p += n;
    offset += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FileHandle::writeAt(std::uint64_t offset, const void* buffer, std::size_t count) {
  if (fd_ < 0) return failWith(FileError::Other);
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::pwrite(fd_, p, count, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail();
    }
    if (n == 0) return failWith(FileError::Other);
    p += n;
    offset += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FileHandle::allocate(std::uint64_t size) {
  if (fd_ < 0) return failWith(FileError::Other);
#ifdef __linux__
  // Blocks marked taken but unwritten: nothing is written, and ENOSPC comes now.
  if (::fallocate(fd_, 0, 0, static_cast<off_t>(size)) == 0) return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return fail();
#endif
  // A file system without it gets a sparse file: the space is then taken as it is written.
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return fail();
  return true;
}

bool FileHandle::flush() {
  if (fd_ < 0) return failWith(FileError::Other);
  if (::fsync(fd_) != 0) return fail();
  return true;
}

void FileHandle::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

// --- The running program's path and arguments -----------------------------------------------

std::wstring modulePath() {
  std::vector<char> buffer(PATH_MAX);
  // A path that fills the buffer may have been cut: grow and ask again.
  while (buffer.size() <= 1u << 20) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      return utf8ToWide(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

std::wstring displayPath(const std::wstring& enginePath) {
  std::wstring out = enginePath;
  std::replace(out.begin(), out.end(), L'\\', L'/');
  return out;
}

std::string nativePath(const std::wstring& path) {
  std::wstring converted = path;
  for (wchar_t& c : converted) {
    if (c == L'\\') c = L'/';
  }
  return wideToUtf8(converted);
}

std::vector<std::wstring> commandLineArguments(int argc, char** argv) {
  std::vector<std::wstring> out;
  for (int i = 1; i < argc; ++i) out.push_back(utf8ToWide(argv[i]));
  return out;
}
