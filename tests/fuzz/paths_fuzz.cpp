// libFuzzer target for the validation of relative paths from the server and the cache.
// Beyond memory errors (ASan), it checks that:
//   - a rejected path leaves no output;
//   - an accepted path came from 1 to 400 bytes and is exactly the converted input with "/"
//     turned into "\";
//   - an accepted path can never leave the game folder or reach a device: no leading
//     separator, no colon, control or reserved character, no empty, "." or ".." component,
//     no component ending in a blank or a dot, no device name (CON, nul.txt, COM1, ...);
//   - validating the accepted path again (as the cache file stores it) accepts it unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/paths.h"
#include "base/text.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "paths_fuzz: %s\n", what);
    std::abort();
  }
}

std::wstring lowerAscii(std::wstring_view s) {
  std::wstring out(s);
  for (wchar_t& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return out;
}

bool looksLikeDevice(std::wstring_view component) {
  std::wstring base = lowerAscii(component.substr(0, component.find(L'.')));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  if (base == L"con" || base == L"prn" || base == L"aux" || base == L"nul" || base == L"conin$" ||
      base == L"conout$") {
    return true;
  }
  if (base.size() != 4 || (base.compare(0, 3, L"com") != 0 && base.compare(0, 3, L"lpt") != 0)) {
    return false;
  }
  const wchar_t d = base[3];
  return (d >= L'0' && d <= L'9') || d == 0xB9 || d == 0xB2 || d == 0xB3;
}

void checkAccepted(std::string_view input, const std::wstring& wide) {
  check(!input.empty() && input.size() <= 400, "accepted length out of range");
  std::wstring expected = utf8ToWide(input);
  for (wchar_t& c : expected) {
    if (c == L'/') c = L'\\';
  }
  check(wide == expected, "accepted path differs from its conversion");
  check(!wide.empty() && wide.front() != L'\\', "accepted path is absolute");
  for (wchar_t c : wide) {
    check(c >= 32 && c != L':' && c != L'/' && c != L'"' && c != L'*' && c != L'<' && c != L'>' &&
              c != L'?' && c != L'|',
          "accepted path holds a reserved character");
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = wide.find(L'\\', start);
    const std::wstring_view component = std::wstring_view(wide).substr(
        start, end == std::wstring::npos ? std::wstring::npos : end - start);
    check(!component.empty(), "accepted path has an empty component");
    check(component != L"." && component != L"..", "accepted path has a dot component");
    check(component.back() != L' ' && component.back() != L'.', "accepted component ends badly");
    check(!looksLikeDevice(component), "accepted path names a device");
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  const std::string again = wideToUtf8(wide);
  if (again.size() <= 400) {
    std::wstring second;
    check(isSafeRelativePath(again, second), "accepted path rejected on a second reading");
    check(second == wide, "second reading changed the path");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::wstring wide = L"stale";
  if (isSafeRelativePath(input, wide)) {
    checkAccepted(input, wide);
  } else {
    check(wide.empty(), "rejected path left output");
  }
  return 0;
}
