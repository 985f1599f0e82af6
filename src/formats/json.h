// JSON reader: a small recursive-descent reader over a byte buffer, strict about structure
// and lenient about number syntax. Strings are kept as the bytes received (UTF-8 is not
// validated); objects keep their members ordered by name, byte-wise, one per name.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class JsonKind : std::int32_t {
  Null = 0,
  Bool = 1,
  Number = 2,
  String = 3,
  Array = 4,
  Object = 5
};

inline constexpr int kMaxJsonDepth = 64;

struct JsonMember;

struct JsonValue {
  JsonKind kind = JsonKind::Null;
  bool boolean = false;
  double number = 0.0;
  std::string string;
  std::vector<JsonValue> elements;
  // Sorted by name (unsigned byte order), one per name: a repeated name keeps the later value.
  // A flat vector rather than a tree of nodes: a manifest holds a small object per file, and
  // 100,000 of them must not cost a dozen allocations each.
  std::vector<JsonMember> members;

  // The member called name, or the shared null value when absent or when this is not an object.
  const JsonValue& member(const char* name) const;
  // Whether this is an object with a member called name (of any kind, null included).
  bool hasMember(const char* name) const;
  // The string, or def when this is not a string.
  std::string asString(const std::string& def = std::string()) const;
  // The number truncated toward zero; INT64_MIN when out of range or not finite; 0 for other kinds.
  std::int64_t asInt64() const;
};

struct JsonMember {
  std::string name;
  JsonValue value;
};

// Hands out the elements of one array member of the top-level object one at a time, as they
// are read, instead of keeping them in the tree (where that member is left an empty array):
// a manifest's 100,000 file entries then never stand as a tree all at once (about 700 bytes
// an entry).
struct JsonArrayVisitor {
  const char* member = nullptr;
  // An array of that name begins: a repeated name replaces the earlier one's elements.
  std::function<void()> begin;
  // One element, in document order; it may be moved from.
  std::function<void(JsonValue&)> element;
};

// Parses one JSON document. On failure returns false and, when error is given, stores the
// first failure's message (e.g. "fim inesperado"); elements already handed to a visitor are
// then to be discarded.
bool parseJson(std::string_view text, JsonValue& out, std::string* error = nullptr,
               const JsonArrayVisitor* visitor = nullptr);
