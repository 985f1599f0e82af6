// libFuzzer target for the JSON reader. Beyond memory errors (ASan), it checks that:
//   - a failure carries one of the reader's own messages;
//   - an accepted document builds a tree no deeper than the nesting limit;
//   - the tree written back as JSON reads again into an equal tree (escapes, raw bytes,
//     numbers and member names survive a round trip);
//   - trailing whitespace is accepted and a trailing byte after the value is rejected.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/json.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "json_fuzz: %s\n", what);
    std::abort();
  }
}

bool knownMessage(const std::string& message) {
  static const char* const kMessages[] = {"demasiado aninhado",
                                          "fim inesperado",
                                          "valor invalido",
                                          "numero invalido",
                                          "esperado string",
                                          "string nao terminada",
                                          "caractere de controlo em string",
                                          "escape invalido",
                                          "\\u invalido",
                                          "surrogate invalido",
                                          "array nao terminado",
                                          "esperado , ou ]",
                                          "esperado :",
                                          "objeto nao terminado",
                                          "esperado , ou }",
                                          "lixo depois do JSON"};
  for (const char* m : kMessages) {
    if (message == m) return true;
  }
  return false;
}

int depthOf(const JsonValue& v) {
  int deepest = 0;
  for (const JsonValue& e : v.elements) deepest = std::max(deepest, depthOf(e));
  for (const auto& m : v.members) deepest = std::max(deepest, depthOf(m.value));
  return deepest + 1;
}

void writeString(const std::string& s, std::string& out) {
  out.push_back('"');
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (b < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    } else {
      out.push_back(c);  // raw bytes, valid UTF-8 or not, are read back unchanged
    }
  }
  out.push_back('"');
}

void write(const JsonValue& v, std::string& out) {
  switch (v.kind) {
    case JsonKind::Null:
      out += "null";
      break;
    case JsonKind::Bool:
      out += v.boolean ? "true" : "false";
      break;
    case JsonKind::Number:
      if (std::isinf(v.number)) {
        out += v.number > 0 ? "1e999" : "-1e999";
      } else {
        char buffer[64];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, v.number);
        out.append(buffer, r.ptr);
      }
      break;
    case JsonKind::String:
      writeString(v.string, out);
      break;
    case JsonKind::Array:
      out.push_back('[');
      for (std::size_t i = 0; i < v.elements.size(); ++i) {
        if (i) out.push_back(',');
        write(v.elements[i], out);
      }
      out.push_back(']');
      break;
    case JsonKind::Object: {
      out.push_back('{');
      bool first = true;
      for (const auto& [name, value] : v.members) {
        if (!first) out.push_back(',');
        first = false;
        writeString(name, out);
        out.push_back(':');
        write(value, out);
      }
      out.push_back('}');
      break;
    }
  }
}

bool equal(const JsonValue& a, const JsonValue& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case JsonKind::Null:
      return true;
    case JsonKind::Bool:
      return a.boolean == b.boolean;
    case JsonKind::Number:
      return a.number == b.number && std::signbit(a.number) == std::signbit(b.number);
    case JsonKind::String:
      return a.string == b.string;
    case JsonKind::Array:
      if (a.elements.size() != b.elements.size()) return false;
      for (std::size_t i = 0; i < a.elements.size(); ++i) {
        if (!equal(a.elements[i], b.elements[i])) return false;
      }
      return true;
    case JsonKind::Object: {
      if (a.members.size() != b.members.size()) return false;
      auto i = a.members.begin();
      auto j = b.members.begin();
      for (; i != a.members.end(); ++i, ++j) {
        if (i->name != j->name || !equal(i->value, j->value)) return false;
      }
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  JsonValue value;
  std::string error;
  if (!parseJson(text, value, &error)) {
    check(knownMessage(error), "failure without a known message");
    return 0;
  }
  check(depthOf(value) <= kMaxJsonDepth, "accepted tree deeper than the limit");
  (void)value.asInt64();
  (void)value.member("files").member("path").asString();

  std::string written;
  write(value, written);
  JsonValue again;
  std::string againError;
  check(parseJson(written, again, &againError), "written tree does not read back");
  check(equal(value, again), "written tree reads back differently");

  const std::string padded = std::string(text) + " \t\r\n";
  check(parseJson(padded, again, nullptr), "trailing whitespace rejected");
  const std::string trailing = std::string(text) + "x";
  check(!parseJson(trailing, again, &againError) && againError == "lixo depois do JSON",
        "trailing byte after the value not rejected as garbage");
  return 0;
}
