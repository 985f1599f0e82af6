// The part of the HTTP client that is the same on every platform.
#include "base/http.h"

int HttpGetToString(const std::wstring& url, std::uint64_t maxBytes, std::string& out,
                    const std::atomic<bool>* cancel) {
  out.clear();
  return HttpGet(
      url,
      [&](const std::uint8_t* bytes, std::uint32_t count) {
        // Refuse the chunk that would pass the cap: the caller gets -1 and at most maxBytes.
        if (count > maxBytes - out.size()) return false;
        out.append(reinterpret_cast<const char*>(bytes), count);
        return true;
      },
      true, cancel);
}
