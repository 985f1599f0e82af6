// UTC times: civil dates to day numbers and back (proleptic Gregorian calendar).
#include "formats/utc_time.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// 1970-01-01 and 9999-12-31T23:59:59Z.
constexpr std::int64_t kFirst = 0;
constexpr std::int64_t kLast = 253402300799;

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leapYear(y) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 to y-m-d.
std::int64_t daysFromCivil(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int era = y / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = z / 146097;
  const int doe = static_cast<int>(z - era * 146097);
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yoe + era * 400) + (m <= 2 ? 1 : 0);
}

// digits characters of text from at as a number; false unless they are all digits.
bool number(std::string_view text, std::size_t at, std::size_t digits, int& out) {
  out = 0;
  for (std::size_t i = at; i < at + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    out = out * 10 + (text[i] - '0');
  }
  return true;
}

struct Civil {
  int year, month, day, hour, minute, second;
};

Civil civil(std::int64_t seconds) {
  if (seconds < kFirst) seconds = kFirst;
  if (seconds > kLast) seconds = kLast;
  Civil c{};
  civilFromDays(seconds / kSecondsPerDay, c.year, c.month, c.day);
  const int inDay = static_cast<int>(seconds % kSecondsPerDay);
  c.hour = inDay / 3600;
  c.minute = inDay / 60 % 60;
  c.second = inDay % 60;
  return c;
}

}  // namespace

bool parseUtcTime(std::string_view text, std::int64_t& seconds) {
  // 0123456789012345678 9
  // YYYY-MM-DDTHH:MM:SS Z
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return false;
  }
  int y, mo, d, h, mi, s;
  if (!number(text, 0, 4, y) || !number(text, 5, 2, mo) || !number(text, 8, 2, d) ||
      !number(text, 11, 2, h) || !number(text, 14, 2, mi) || !number(text, 17, 2, s)) {
    return false;
  }
  if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 ||
      s > 59) {
    return false;
  }
  seconds = daysFromCivil(y, mo, d) * kSecondsPerDay + h * 3600 + mi * 60 + s;
  return true;
}

std::string formatUtcTime(std::int64_t seconds) {
  const Civil c = civil(seconds);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", c.year, c.month, c.day,
                c.hour, c.minute, c.second);
  return buffer;
}

std::string displayUtcTime(std::int64_t seconds) {
  const Civil c = civil(seconds);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d UTC", c.year, c.month, c.day,
                c.hour, c.minute);
  return buffer;
}

std::int64_t utcNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

ManifestExpiry readManifestExpiry(const JsonValue& root, std::int64_t& expires) {
  if (!root.hasMember("expires")) return ManifestExpiry::None;
  const JsonValue& value = root.member("expires");
  if (value.kind != JsonKind::String || !parseUtcTime(value.string, expires)) {
    return ManifestExpiry::Malformed;
  }
  return ManifestExpiry::At;
}
