// UTC times of the manifest's "expires": the one form read, real dates only, and the way back.
#include "formats/utc_time.h"

#include <gtest/gtest.h>

TEST(UtcTime, ReadsTheOneFormAndWritesItBack) {
  const std::pair<const char*, std::int64_t> good[] = {
      {"1970-01-01T00:00:00Z", 0},
      {"2000-02-29T12:34:56Z", 951827696},   // a leap day of a year divisible by 400
      {"2038-01-19T03:14:08Z", 2147483648},  // past 32-bit seconds
      {"2024-12-31T23:59:59Z", 1735689599},
      {"9999-12-31T23:59:59Z", 253402300799},
  };
  for (const auto& [text, seconds] : good) {
    std::int64_t parsed = -1;
    EXPECT_TRUE(parseUtcTime(text, parsed)) << text;
    EXPECT_EQ(parsed, seconds) << text;
    EXPECT_EQ(formatUtcTime(seconds), text);
  }
  EXPECT_EQ(displayUtcTime(951827696), "2000-02-29 12:34 UTC");

  for (const char* bad : {"1900-02-29T00:00:00Z", "2023-02-29T00:00:00Z", "2024-04-31T00:00:00Z",
                          "2024-13-01T00:00:00Z", "2024-00-10T00:00:00Z", "2024-01-01T24:00:00Z",
                          "2024-01-01T00:60:00Z", "2024-01-01T00:00:60Z", "1969-12-31T23:59:59Z",
                          "2024-01-01T00:00:00", "2024-01-01t00:00:00z", "2024-01-01 00:00:00Z",
                          "2024-01-01T00:00:00+00:00", "2024-01-01T00:00:00.5Z",
                          "2024-1-01T00:00:00Z", "+024-01-01T00:00:00Z", ""}) {
    std::int64_t parsed = 0;
    EXPECT_FALSE(parseUtcTime(bad, parsed)) << bad;
  }
}

TEST(UtcTime, ManifestExpiryMemberIsOptionalButNeverGuessed) {
  const std::pair<const char*, ManifestExpiry> cases[] = {
      {R"({"format":1})", ManifestExpiry::None},
      {R"({"format":1,"expires":"2030-06-01T00:00:00Z"})", ManifestExpiry::At},
      {R"({"format":1,"expires":"2030-06-01"})", ManifestExpiry::Malformed},
      {R"({"format":1,"expires":1906502400})", ManifestExpiry::Malformed},
      {R"({"format":1,"expires":null})", ManifestExpiry::Malformed},
  };
  for (const auto& [text, expected] : cases) {
    JsonValue root;
    ASSERT_TRUE(parseJson(text, root)) << text;
    std::int64_t at = 0;
    EXPECT_EQ(readManifestExpiry(root, at), expected) << text;
    if (expected == ManifestExpiry::At) {
      EXPECT_EQ(at, 1906502400);
    }
  }
}
