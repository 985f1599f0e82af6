// Self-update platform pieces on POSIX systems: rename() and strerror.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/files.h"
#include "base/text.h"
#include "update/self_update.h"

bool moveReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& errorCode) {
  if (std::rename(nativePath(from).c_str(), nativePath(to).c_str()) == 0) {
    errorCode = 0;
    return true;
  }
  errorCode = static_cast<std::uint32_t>(errno);
  return false;
}

std::wstring systemErrorText(std::uint32_t code) {
  char buffer[256] = {};
  // The GNU variant may return a static string instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
#else
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer) == 0 ? buffer : "";
#endif
  std::wstring out = utf8ToWide(text != nullptr ? text : "");
  while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' ')) {
    out.pop_back();
  }
  return out;
}
