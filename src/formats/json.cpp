// JSON reader.
//
// Sections:
//   reader state and error recording
//   values (the dispatcher and the literals)
//   numbers
//   strings
//   arrays and objects
//   parseJson and the accessors
//
// One forward pass over the caller's bytes; nothing is copied except into the values being
// built. Recursion is bounded by kMaxJsonDepth, so a hostile document cannot exhaust the stack,
// and the tree it builds is bounded by the size of the document itself.
#include "formats/json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "formats/utf8.h"

namespace {

// ---- reader state and error recording ----

struct JsonReader {
  const char* pos = nullptr;
  const char* end = nullptr;
  int depth = 0;
  std::string error;
  // Members of the objects being read, one list per depth, reused from one object to the next
  // so that an object's member list is allocated once, at its final size.
  std::vector<std::vector<JsonMember>> pending;
  std::vector<std::uint32_t> order;  // sorting scratch: indexes into a pending list
  const JsonArrayVisitor* visitor = nullptr;

  bool atEnd() const { return pos == end; }
  std::size_t remaining() const { return static_cast<std::size_t>(end - pos); }
  unsigned char peek() const { return static_cast<unsigned char>(*pos); }

  // The first failure's message is the one reported; later ones only propagate.
  bool fail(const char* message) {
    if (error.empty()) error = message;
    return false;
  }

  void skipWhitespace() {
    while (pos != end && (*pos == ' ' || *pos == '\t' || *pos == '\n' || *pos == '\r')) ++pos;
  }
};

bool parseValue(JsonReader& r, JsonValue& out);

// ---- values ----

bool startsWith(const JsonReader& r, std::string_view literal) {
  return r.remaining() >= literal.size() && std::string_view(r.pos, literal.size()) == literal;
}

bool parseNumber(JsonReader& r, JsonValue& out);
bool parseString(JsonReader& r, std::string& out);
bool parseArray(JsonReader& r, JsonValue& out);
bool parseObject(JsonReader& r, JsonValue& out);

bool dispatchValue(JsonReader& r, JsonValue& out) {
  r.skipWhitespace();
  if (r.atEnd()) return r.fail("fim inesperado");
  switch (*r.pos) {
    case '{':
      return parseObject(r, out);
    case '[':
      return parseArray(r, out);
    case '"':
      out.kind = JsonKind::String;
      return parseString(r, out.string);
    case 't':
      if (startsWith(r, "true")) {
        r.pos += 4;
        out.kind = JsonKind::Bool;
        out.boolean = true;
        return true;
      }
      break;
    case 'f':
      if (startsWith(r, "false")) {
        r.pos += 5;
        out.kind = JsonKind::Bool;
        out.boolean = false;
        return true;
      }
      break;
    case 'n':
      if (startsWith(r, "null")) {
        r.pos += 4;
        out.kind = JsonKind::Null;
        return true;
      }
      break;
    default:
      break;
  }
  return parseNumber(r, out);
}

// Every value counts as one level, scalars included: the top-level value is level 1.
bool parseValue(JsonReader& r, JsonValue& out) {
  if (++r.depth > kMaxJsonDepth) {
    --r.depth;
    return r.fail("demasiado aninhado");
  }
  const bool ok = dispatchValue(r, out);
  --r.depth;
  return ok;
}

// ---- numbers ----

bool isNumberByte(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

// For a token the conversion found out of range: whether its magnitude is large (overflow, so
// infinity) rather than tiny (underflow, so zero). The decimal exponent of the first non-zero
// digit decides. The explicit exponent saturates far above any digit count a buffer can hold,
// so an absurd exponent can neither overflow the sum nor flip the answer.
bool magnitudeIsLarge(std::string_view token) {
  constexpr long long kExponentCap = 100000000000000000LL;
  std::size_t i = 0;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
  const std::size_t intStart = i;
  while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
  const std::size_t intEnd = i;
  bool found = false;
  long long leading = 0;  // decimal exponent of the first non-zero digit
  for (std::size_t k = intStart; k < intEnd && !found; ++k) {
    if (token[k] != '0') {
      leading = static_cast<long long>(intEnd - k) - 1;
      found = true;
    }
  }
  if (i < token.size() && token[i] == '.') {
    const std::size_t fracStart = ++i;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') {
      if (!found && token[i] != '0') {
        leading = -static_cast<long long>(i - fracStart) - 1;
        found = true;
      }
      ++i;
    }
  }
  long long exponent = 0;
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
      if (exponent < kExponentCap) exponent = exponent * 10 + (token[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return found && leading + exponent >= 0;
}

// Lenient number syntax: the token is the longest run of digits, signs, points and exponent
// letters, and it must convert completely as a decimal number. The conversion is the
// locale-independent one, so a user locale with a decimal comma cannot change the result.
bool parseNumber(JsonReader& r, JsonValue& out) {
  const char* start = r.pos;
  if (r.pos != r.end && *r.pos == '-') ++r.pos;
  while (r.pos != r.end && isNumberByte(*r.pos)) ++r.pos;
  if (r.pos == start) return r.fail("valor invalido");

  const std::string_view token(start, static_cast<std::size_t>(r.pos - start));
  // from_chars takes only a minus sign; a single leading plus is accepted as well.
  std::string_view digits = token;
  if (digits.front() == '+') {
    digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+' || digits.front() == '-')
      return r.fail("numero invalido");
  }
  double value = 0.0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                      std::chars_format::general);
  if (result.ptr != digits.data() + digits.size()) return r.fail("numero invalido");
  if (result.ec == std::errc::result_out_of_range) {
    // Out of the double range: the nearest double is infinity for huge magnitudes and zero
    // for tiny ones; neither is an error.
    const bool negative = digits.front() == '-';
    value = magnitudeIsLarge(digits) ? std::numeric_limits<double>::infinity() : 0.0;
    if (negative) value = -value;
  } else if (result.ec != std::errc()) {
    return r.fail("numero invalido");
  }
  out.kind = JsonKind::Number;
  out.number = value;
  return true;
}

// ---- strings ----

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Four hex digits at p (the caller has checked that four bytes exist); -1 when one is not hex.
long readHex4(const char* p) {
  long unit = 0;
  for (int i = 0; i < 4; ++i) {
    const int d = hexDigit(p[i]);
    if (d < 0) return -1;
    unit = unit * 16 + d;
  }
  return unit;
}

// At the backslash-u of an escape (pos after the 'u').
bool parseUnicodeEscape(JsonReader& r, std::string& out) {
  if (r.remaining() < 4) return r.fail("\\u invalido");
  const long unit = readHex4(r.pos);
  if (unit < 0) return r.fail("\\u invalido");
  r.pos += 4;
  if (unit < 0xD800 || unit > 0xDBFF) {
    // A lone low surrogate is kept as its three-byte form, like any other unit.
    appendUtf8(out, static_cast<char32_t>(unit));
    return true;
  }
  if (r.remaining() < 6 || r.pos[0] != '\\' || r.pos[1] != 'u') return r.fail("surrogate invalido");
  const long low = readHex4(r.pos + 2);
  if (low < 0xDC00 || low > 0xDFFF) return r.fail("surrogate invalido");
  r.pos += 6;
  appendUtf8(out, 0x10000u + (static_cast<char32_t>(unit - 0xD800) << 10) +
                      static_cast<char32_t>(low - 0xDC00));
  return true;
}

// Raw bytes pass through unchanged (UTF-8 is not validated); escapes are decoded.
bool parseString(JsonReader& r, std::string& out) {
  if (r.atEnd() || *r.pos != '"') return r.fail("esperado string");
  ++r.pos;
  for (;;) {
    // Copy the run of plain bytes in one append.
    const char* run = r.pos;
    while (r.pos != r.end && *r.pos != '"' && *r.pos != '\\' &&
           static_cast<unsigned char>(*r.pos) >= 0x20)
      ++r.pos;
    if (r.pos != run) out.append(run, static_cast<std::size_t>(r.pos - run));

    if (r.atEnd()) return r.fail("string nao terminada");
    const char c = *r.pos;
    if (c == '"') {
      ++r.pos;
      return true;
    }
    if (c != '\\') return r.fail("caractere de controlo em string");
    ++r.pos;
    if (r.atEnd()) return r.fail("string nao terminada");
    const char escape = *r.pos++;
    switch (escape) {
      case '"':
        out.push_back('"');
        break;
      case '\\':
        out.push_back('\\');
        break;
      case '/':
        out.push_back('/');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'u':
        if (!parseUnicodeEscape(r, out)) return false;
        break;
      default:
        return r.fail("escape invalido");
    }
  }
}

// ---- arrays and objects ----

// The elements of an array, at its "[": each is read into slot() and then given to done().
template <typename Slot, typename Done>
bool readElements(JsonReader& r, Slot slot, Done done) {
  ++r.pos;
  r.skipWhitespace();
  if (!r.atEnd() && *r.pos == ']') {
    ++r.pos;
    return true;
  }
  for (;;) {
    JsonValue& element = slot();
    if (!parseValue(r, element)) return false;
    done(element);
    r.skipWhitespace();
    if (r.atEnd()) return r.fail("array nao terminado");
    if (*r.pos == ',') {
      ++r.pos;
      continue;
    }
    if (*r.pos == ']') {
      ++r.pos;
      return true;
    }
    return r.fail("esperado , ou ]");
  }
}

bool parseArray(JsonReader& r, JsonValue& out) {
  out.kind = JsonKind::Array;
  return readElements(
      r, [&out]() -> JsonValue& { return out.elements.emplace_back(); }, [](JsonValue&) {});
}

// The visitor's array: one element at a time, none kept. Counted as one level, like any value.
bool parseVisitedArray(JsonReader& r, JsonValue& out) {
  if (++r.depth > kMaxJsonDepth) {
    --r.depth;
    return r.fail("demasiado aninhado");
  }
  out = JsonValue();
  out.kind = JsonKind::Array;
  if (r.visitor->begin) r.visitor->begin();
  JsonValue element;
  const bool ok = readElements(
      r,
      [&element]() -> JsonValue& {
        element = JsonValue();
        return element;
      },
      [&r](JsonValue& read) { r.visitor->element(read); });
  --r.depth;
  return ok;
}

// Whether the member just named is the visitor's array (a member of the top-level object).
bool isVisitedMember(JsonReader& r, const std::string& name) {
  if (r.visitor == nullptr || r.depth != 1 || name != r.visitor->member) return false;
  r.skipWhitespace();
  return !r.atEnd() && *r.pos == '[';
}

// The members read, in document order, become the object's sorted list. The indexes are
// sorted rather than the members, by name and then by position, so the last of a repeated name
// is found at the end of its run; the sort is O(n log n) however hostile the object.
void finishObject(JsonReader& r, std::vector<JsonMember>& read, JsonValue& out) {
  std::vector<std::uint32_t>& order = r.order;
  order.resize(read.size());
  for (std::size_t i = 0; i < read.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  std::sort(order.begin(), order.end(), [&read](std::uint32_t a, std::uint32_t b) {
    const int c = read[a].name.compare(read[b].name);
    return c < 0 || (c == 0 && a < b);
  });
  std::size_t unique = 0;
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k + 1 == order.size() || read[order[k]].name != read[order[k + 1]].name) ++unique;
  }
  out.members.reserve(unique);
  for (std::size_t k = 0; k < order.size(); ++k) {
    // A repeated name keeps one member, and the later value replaces the earlier one whole.
    if (k + 1 != order.size() && read[order[k]].name == read[order[k + 1]].name) continue;
    out.members.push_back(std::move(read[order[k]]));
  }
  read.clear();
}

bool parseObject(JsonReader& r, JsonValue& out) {
  out.kind = JsonKind::Object;
  ++r.pos;
  r.skipWhitespace();
  if (!r.atEnd() && *r.pos == '}') {
    ++r.pos;
    return true;
  }
  std::vector<JsonMember>& read = r.pending[static_cast<std::size_t>(r.depth)];
  for (;;) {
    r.skipWhitespace();
    read.emplace_back();
    if (!parseString(r, read.back().name)) return false;
    r.skipWhitespace();
    if (r.atEnd() || *r.pos != ':') return r.fail("esperado :");
    ++r.pos;
    JsonMember& member = read.back();
    const bool ok = isVisitedMember(r, member.name) ? parseVisitedArray(r, member.value)
                                                    : parseValue(r, member.value);
    if (!ok) return false;
    r.skipWhitespace();
    if (r.atEnd()) return r.fail("objeto nao terminado");
    if (*r.pos == ',') {
      ++r.pos;
      continue;
    }
    if (*r.pos == '}') {
      ++r.pos;
      finishObject(r, read, out);
      return true;
    }
    return r.fail("esperado , ou }");
  }
}

}  // namespace

// ---- parseJson and the accessors ----

bool parseJson(std::string_view text, JsonValue& out, std::string* error,
               const JsonArrayVisitor* visitor) {
  out = JsonValue();
  JsonReader r;
  r.visitor =
      visitor != nullptr && visitor->member != nullptr && visitor->element ? visitor : nullptr;
  r.pos = text.data();
  r.end = text.data() + text.size();
  // One list per level an object can sit at (1 to kMaxJsonDepth), made before reading so that
  // none moves while a deeper value is read.
  r.pending.resize(kMaxJsonDepth + 1);
  bool ok = parseValue(r, out);
  if (ok) {
    r.skipWhitespace();
    if (!r.atEnd()) ok = r.fail("lixo depois do JSON");
  }
  if (!ok && error) *error = r.error;
  return ok;
}

namespace {

// The member called name, found by binary search over the sorted list; null when absent.
const JsonValue* findMember(const JsonValue& object, const char* name) {
  if (object.kind != JsonKind::Object || name == nullptr) return nullptr;
  const std::string_view wanted(name);
  const auto it = std::lower_bound(
      object.members.begin(), object.members.end(), wanted,
      [](const JsonMember& m, std::string_view n) { return std::string_view(m.name) < n; });
  return it != object.members.end() && it->name == wanted ? &it->value : nullptr;
}

}  // namespace

const JsonValue& JsonValue::member(const char* name) const {
  // Built once, thread-safely, and never handed out as modifiable.
  static const JsonValue sharedNull;
  const JsonValue* found = findMember(*this, name);
  return found ? *found : sharedNull;
}

bool JsonValue::hasMember(const char* name) const { return findMember(*this, name) != nullptr; }

std::string JsonValue::asString(const std::string& def) const {
  return kind == JsonKind::String ? string : def;
}

std::int64_t JsonValue::asInt64() const {
  if (kind != JsonKind::Number) return 0;
  // The 64-bit range is [-2^63, 2^63); both bounds are exact doubles. NaN fails both tests.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(number >= -kLimit && number < kLimit)) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(number);
}
