// FolderLock on POSIX: flock on a descriptor of the folder, which the kernel drops with the
// last descriptor. A folder opens for reading whatever its write permission.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "base/files.h"
#include "base/folder_lock.h"

FolderLock::~FolderLock() { release(); }

FolderLock::Outcome FolderLock::acquire(const std::wstring& folder) {
  release();
  const int fd = ::open(nativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Outcome::Failed;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Outcome::Busy : Outcome::Failed;
  }
  fd_ = fd;
  return Outcome::Held;
}

void FolderLock::release() {
  if (fd_ >= 0) {
    ::close(fd_);  // drops the lock
    fd_ = -1;
  }
}
