#include <windows.h>

#include "shell/single_instance.h"

bool claimSingleInstanceMutex(const wchar_t* name, void** mutex) {
  const HANDLE handle = CreateMutexW(nullptr, TRUE, name);
  const DWORD error = GetLastError();
  *mutex = handle;
  if (handle) return error != ERROR_ALREADY_EXISTS;
  // Refused: it exists, made by a launcher with more rights than this one. Any other failure
  // (no mutex could be made at all) does not keep the launcher from starting.
  return error != ERROR_ACCESS_DENIED;
}
