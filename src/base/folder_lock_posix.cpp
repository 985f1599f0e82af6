// FolderLock on POSIX: flock on the lock file, which the kernel drops with the last descriptor.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/files.h"
#include "base/folder_lock.h"

namespace {

constexpr std::size_t kMaxNote = 64;

// Read and write if we may, else read only: a lock needs no write access (another user's
// lock file in a shared folder).
int openLockFile(const std::string& path) {
  const int noFollow = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | noFollow, 0666);
  if (fd >= 0 || (errno != EACCES && errno != EROFS && errno != EPERM)) return fd;
  return ::open(path.c_str(), O_RDONLY | noFollow);
}

}  // namespace

FolderLock::~FolderLock() { release(); }

FolderLock::Outcome FolderLock::acquire(const std::wstring& path) {
  release();
  const int fd = openLockFile(nativePath(path));
  if (fd < 0) return Outcome::Failed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Outcome::Failed;
  }
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Outcome::Busy : Outcome::Failed;
  }
  fd_ = fd;
  return Outcome::Held;
}

std::string FolderLock::note() const {
  if (fd_ < 0) return std::string();
  char buffer[kMaxNote];
  const ssize_t n = ::pread(fd_, buffer, sizeof buffer, 0);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool FolderLock::setNote(std::string_view text) {
  if (fd_ < 0 || text.size() > kMaxNote || ::ftruncate(fd_, 0) != 0) return false;
  return text.empty() ||
         ::pwrite(fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

void FolderLock::release() {
  if (fd_ >= 0) {
    ::close(fd_);  // drops the lock
    fd_ = -1;
  }
}
