// FolderLock on Windows: LockFileEx on the lock file, which the system drops when the handle
// is closed or its process ends.
#include <windows.h>

#include "base/files.h"
#include "base/folder_lock.h"

namespace {

constexpr DWORD kMaxNote = 64;
// The locked byte lies beyond the note, so that the note is read and written through the
// holder's handle without ever touching it (and within what FAT32 can address).
constexpr DWORD kLockOffset = 1u << 20;

HANDLE asHandle(void* h) { return static_cast<HANDLE>(h); }

HANDLE openLockFile(const std::wstring& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                         flags, nullptr);
  if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) return h;
  // A lock needs no write access (a read-only folder or file).
  return CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr);
}

OVERLAPPED lockRange() {
  OVERLAPPED range{};
  range.Offset = kLockOffset;
  return range;
}

}  // namespace

FolderLock::~FolderLock() { release(); }

FolderLock::Outcome FolderLock::acquire(const std::wstring& path) {
  release();
  HANDLE h = openLockFile(path);
  if (h == INVALID_HANDLE_VALUE) return Outcome::Failed;
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD notAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & notAFile) != 0) {
    CloseHandle(h);
    return Outcome::Failed;
  }
  OVERLAPPED range = lockRange();
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) {
    const bool busy = GetLastError() == ERROR_LOCK_VIOLATION || GetLastError() == ERROR_IO_PENDING;
    CloseHandle(h);
    return busy ? Outcome::Busy : Outcome::Failed;
  }
  handle_ = h;
  return Outcome::Held;
}

std::string FolderLock::note() const {
  if (asHandle(handle_) == INVALID_HANDLE_VALUE) return std::string();
  char buffer[kMaxNote];
  DWORD got = 0;
  OVERLAPPED at{};
  if (!ReadFile(asHandle(handle_), buffer, sizeof buffer, &got, &at)) return std::string();
  return std::string(buffer, got);
}

bool FolderLock::setNote(std::string_view text) {
  const HANDLE h = asHandle(handle_);
  if (h == INVALID_HANDLE_VALUE || text.size() > kMaxNote) return false;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN) || !SetEndOfFile(h)) return false;
  DWORD written = 0;
  return text.empty() ||
         (WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
          written == text.size());
}

void FolderLock::release() {
  if (asHandle(handle_) != INVALID_HANDLE_VALUE) {
    OVERLAPPED range = lockRange();
    UnlockFileEx(asHandle(handle_), 0, 1, 0, &range);
    CloseHandle(asHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
  }
}
