// Times in UTC as the manifest writes them: "2027-01-31T12:00:00Z" (ISO 8601, seconds, "Z"),
// counted in seconds since 1970-01-01T00:00:00Z. Used by the manifest's "expires" member,
// which the publisher writes and the launcher checks.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/json.h"

// Exactly "YYYY-MM-DDTHH:MM:SSZ" with a real date and time of the years 1970 to 9999; no
// other form (no offset, no fraction, no lower-case letters) is read.
bool parseUtcTime(std::string_view text, std::int64_t& seconds);
// The same form; seconds before 1970 or after 9999 are clamped to those years' ends.
std::string formatUtcTime(std::int64_t seconds);
// For people: "2027-01-31 12:00 UTC".
std::string displayUtcTime(std::int64_t seconds);

// The system clock, in seconds since 1970 (UTC).
std::int64_t utcNow();

enum class ManifestExpiry {
  None,       // no "expires" member: the manifest never expires
  At,         // expires at the time given
  Malformed,  // the member is there but is not a time of the form above
};
// The "expires" member of a manifest root.
ManifestExpiry readManifestExpiry(const JsonValue& root, std::int64_t& expires);
