#include "manifest_writer.h"

#include <cmath>
#include <cstdio>

namespace {

void appendEntry(std::string& out, const ManifestFile& f) {
  out += "{\"p\":";
  appendJsonString(out, f.path);
  out += ",\"h\":";
  appendJsonString(out, f.hash);
  out += ",\"s\":" + std::to_string(f.size);
  out += ",\"c\":" + std::to_string(f.compressedSize);
  if (f.keep) out += ",\"k\":1";
  // After the members every launcher reads: one that knows no chunk lists skips it and fetches
  // the whole-file object.
  if (!f.chunkList.hash.empty()) {
    out += ",\"chunk_list\":{\"h\":\"" + f.chunkList.hash +
           "\",\"s\":" + std::to_string(f.chunkList.size) +
           ",\"c\":" + std::to_string(f.chunkList.compressedSize) + '}';
  }
  out += '}';
}

}  // namespace

void appendJsonString(std::string& out, std::string_view s) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

bool appendJsonValue(std::string& out, const JsonValue& value, std::string& error) {
  switch (value.kind) {
    case JsonKind::Null:
      out += "null";
      return true;
    case JsonKind::Bool:
      out += value.boolean ? "true" : "false";
      return true;
    case JsonKind::String:
      appendJsonString(out, value.string);
      return true;
    case JsonKind::Number: {
      const double x = value.number;
      if (!std::isfinite(x)) {
        error = "a number too large for JSON";
        return false;
      }
      // Whole numbers as integers (exact up to 2^53); others with enough digits to read back
      // the same double.
      if (std::trunc(x) == x && std::fabs(x) <= 9007199254740992.0) {
        out += std::to_string(static_cast<long long>(x));
      } else {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", x);
        out += buffer;
      }
      return true;
    }
    case JsonKind::Array: {
      out += '[';
      bool first = true;
      for (const JsonValue& e : value.elements) {
        if (!first) out += ',';
        first = false;
        if (!appendJsonValue(out, e, error)) return false;
      }
      out += ']';
      return true;
    }
    case JsonKind::Object: {
      out += '{';
      bool first = true;
      for (const auto& [name, member] : value.members) {
        if (!first) out += ',';
        first = false;
        appendJsonString(out, name);
        out += ':';
        if (!appendJsonValue(out, member, error)) return false;
      }
      out += '}';
      return true;
    }
  }
  return true;
}

bool writeManifestText(const ManifestData& data, std::string& out, std::string& error) {
  out.clear();
  out += "{\"format\":1,\"version\":" + std::to_string(data.version);
  if (!data.expires.empty()) {
    out += ",\"expires\":";
    appendJsonString(out, data.expires);
  }
  out += ",\"game_exe\":";
  appendJsonString(out, data.gameExe);
  out += ",\n";
  if (data.hasLauncher) {
    out += "\"launcher\":";
    appendEntry(out, data.launcher);
    out += ",\n";
  }
  out += "\"links\":";
  if (data.links.kind == JsonKind::Object) {
    if (!appendJsonValue(out, data.links, error)) return false;
  } else {
    out += "{}";
  }
  out += ",\n\"news\":[";
  if (data.news.kind == JsonKind::Array) {
    for (std::size_t i = 0; i < data.news.elements.size(); ++i) {
      out += i == 0 ? "\n" : ",\n";
      if (!appendJsonValue(out, data.news.elements[i], error)) return false;
    }
  }
  out += "],\n\"files\":[";
  for (std::size_t i = 0; i < data.files.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    appendEntry(out, data.files[i]);
  }
  out += "],\n\"delete\":[";
  for (std::size_t i = 0; i < data.deletes.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    appendJsonString(out, data.deletes[i]);
  }
  out += "]}\n";
  return true;
}
