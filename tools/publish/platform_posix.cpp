// POSIX side of publish_platform.h.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "publish_platform.h"

namespace {

std::string systemError(int code) { return std::strerror(code); }

bool writeAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void prepareConsole() {}

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool writeNewPrivateFile(const std::wstring& path, std::string_view bytes, std::string& error) {
  const std::string target = nativePath(path);
  const std::string temp = nativePath(path + kTemporarySuffix);
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0) {
    error = target + " already exists; it is not overwritten";
    return false;
  }
  // A temporary file left by an interrupted run may carry other permissions: start afresh.
  ::unlink(temp.c_str());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = "cannot create " + temp + ": " + systemError(errno);
    return false;
  }
  bool ok = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
  const int writeErrno = errno;
  ok = (::close(fd) == 0) && ok;
  if (!ok) {
    ::unlink(temp.c_str());
    error = "cannot write " + temp + ": " + systemError(writeErrno);
    return false;
  }
  // The move must not replace a file that appeared meanwhile.
  int moved = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
  if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without the no-replace rename: a hard link fails just the same when the
    // target exists.
    moved = ::link(temp.c_str(), target.c_str());
    const int linkErrno = errno;
    ::unlink(temp.c_str());
    errno = linkErrno;
  }
  if (moved != 0) {
    const int moveErrno = errno;
    ::unlink(temp.c_str());
    error = moveErrno == EEXIST ? target + " already exists; it is not overwritten"
                                : "cannot create " + target + ": " + systemError(moveErrno);
    return false;
  }
  return true;
}

bool isSameOrInside(const std::wstring& inner, const std::wstring& outer) {
  char* a = ::realpath(nativePath(inner).c_str(), nullptr);
  char* b = ::realpath(nativePath(outer).c_str(), nullptr);
  bool result = false;
  if (a != nullptr && b != nullptr) {
    const std::string in = a;
    std::string out = b;
    if (out.empty() || out.back() != '/') out += '/';
    result = in + '/' == out || in.compare(0, out.size(), out) == 0;
  }
  std::free(a);
  std::free(b);
  return result;
}
