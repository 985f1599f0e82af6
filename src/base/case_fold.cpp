// Unicode's simple upper-case mappings of U+0080 to U+FFFF, as runs, searched by their first
// character.
#include "base/case_fold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct CaseRun {
  std::uint16_t first;
  std::uint16_t last;
  std::int32_t delta;  // upper case minus the character
  std::uint16_t step;  // 2: only every other character of the run (Latin pairs)
};

constexpr CaseRun kCaseRuns[] = {
#include "base/case_table.inc"
};

wchar_t upperOfNonAscii(wchar_t c) {
  const auto code = static_cast<std::uint32_t>(c);
  if (code > 0xFFFF) return c;
  // The last run that starts at or before c.
  const CaseRun* run =
      std::upper_bound(std::begin(kCaseRuns), std::end(kCaseRuns), code,
                       [](std::uint32_t v, const CaseRun& r) { return v < r.first; });
  if (run == std::begin(kCaseRuns)) return c;
  --run;
  if (code > run->last || (code - run->first) % run->step != 0) return c;
  return static_cast<wchar_t>(static_cast<std::int32_t>(code) + run->delta);
}

wchar_t keyOf(wchar_t c) {
  if (c < 0x80) return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  const wchar_t upper = upperOfNonAscii(c);
  // "ı" and "ſ" are upper-cased to "I" and "S": lowered like every ASCII capital.
  return upper >= L'A' && upper <= L'Z' ? static_cast<wchar_t>(upper - L'A' + L'a') : upper;
}

}  // namespace

std::wstring nameKey(std::wstring_view name) {
  std::wstring key(name);
  for (wchar_t& c : key) c = keyOf(c);
  return key;
}

bool isOwnNameKey(std::wstring_view name) {
  return std::all_of(name.begin(), name.end(), [](wchar_t c) { return keyOf(c) == c; });
}
