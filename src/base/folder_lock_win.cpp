// FolderLock on Windows: a named event in the global namespace, named by the folder's volume
// serial number and file index, so that every path to one folder (another drive letter, a
// junction, another case) names one lock. The event exists while a handle to it is open: the
// run that created it holds the lock, and the system closes its handle when its process ends.
#include <windows.h>

#include <cwchar>

#include "base/folder_lock.h"

FolderLock::~FolderLock() { release(); }

FolderLock::Outcome FolderLock::acquire(const std::wstring& folder) {
  release();
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE dir = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (dir == INVALID_HANDLE_VALUE) return Outcome::Failed;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(dir, &info) != 0;
  CloseHandle(dir);
  if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Outcome::Failed;
  wchar_t name[80];
  std::swprintf(name, sizeof name / sizeof name[0],
                L"Global\\Quillmark.GameFolder.%08lX.%08lX%08lX", info.dwVolumeSerialNumber,
                info.nFileIndexHigh, info.nFileIndexLow);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name);
  // Another user's holder (an elevated launcher, say) may deny us its event: busy all the same.
  if (event == nullptr)
    return GetLastError() == ERROR_ACCESS_DENIED ? Outcome::Busy : Outcome::Failed;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(event);
    return Outcome::Busy;
  }
  handle_ = event;
  return Outcome::Held;
}

void FolderLock::release() {
  if (handle_ != nullptr) {
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
  }
}
