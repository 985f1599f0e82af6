// libFuzzer target for patcher.ini, read and rewritten by the launcher's own reader and writer
// of the private-profile format. Beyond memory errors, it checks that the version written into
// any text reads back as written, whatever else the file held.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "update/profile.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "profile_fuzz: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)profileValue(text, L"patch", L"version", L"");
  const std::string written = withProfileValue(text, L"patch", L"version", L"1234");
  check(profileValue(written, L"patch", L"version", L"") == L"1234",
        "the version written does not read back");
  check(withProfileValue(written, L"patch", L"version", L"1234") == written,
        "writing the same value again changes the file");
  return 0;
}
