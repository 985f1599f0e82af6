// Self-update platform pieces on Windows: MoveFileExW and the system's error texts.
#include <windows.h>

#include <string>

#include "update/self_update.h"

bool moveReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& errorCode) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    errorCode = 0;
    return true;
  }
  errorCode = GetLastError();
  return false;
}

std::wstring systemErrorText(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer),
      0, nullptr);
  std::wstring out;
  if (length != 0 && buffer != nullptr) out.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' ')) {
    out.pop_back();
  }
  return out;
}
