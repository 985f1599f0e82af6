// The private-profile (INI) format of patcher.ini as text, read and written as Windows does it:
// "[section]" lines, "key=value" lines, names compared without regard to ASCII case, blanks
// around names and values ignored, one pair of surrounding quotes removed from a value.
#include "update/profile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The section name of a "[name]" line.
bool sectionName(std::string_view line, std::string_view& name) {
  line = trim(line);
  if (line.size() < 2 || line.front() != '[') return false;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = trim(line.substr(1, close - 1));
  return true;
}

bool keyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = trim(line.substr(0, eq));
  value = trim(line.substr(eq + 1));
  return true;
}

}  // namespace

std::wstring profileValue(std::string_view text, const std::wstring& section,
                          const std::wstring& key, const std::wstring& def) {
  const std::string wantSection = wideToUtf8(section);
  const std::string wantKey = wideToUtf8(key);
  bool inSection = false;
  for (std::string_view line : splitLines(text)) {
    std::string_view name, k, v;
    if (sectionName(line, name)) {
      inSection = sameName(name, wantSection);
    } else if (inSection && keyValue(line, k, v) && sameName(k, wantKey)) {
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
      }
      return utf8ToWide(v);
    }
  }
  return def;
}

std::string withProfileValue(std::string_view text, const std::wstring& section,
                             const std::wstring& key, const std::wstring& value) {
  const std::string wantSection = wideToUtf8(section);
  const std::string wantKey = wideToUtf8(key);
  const std::string newLine = wantKey + "=" + wideToUtf8(value);
  std::vector<std::string_view> lines = splitLines(text);
  std::vector<std::string> out;
  out.reserve(lines.size() + 2);
  bool inSection = false;
  bool written = false;
  std::size_t insertAt = std::string::npos;  // after the last line of the wanted section
  for (std::string_view line : lines) {
    std::string_view name, k, v;
    std::string_view bare = line;
    if (!bare.empty() && bare.back() == '\r') bare.remove_suffix(1);
    if (sectionName(bare, name)) {
      inSection = !written && sameName(name, wantSection);
      out.emplace_back(bare);
      if (inSection) insertAt = out.size();
      continue;
    }
    if (inSection && !written && keyValue(bare, k, v) && sameName(k, wantKey)) {
      out.push_back(newLine);
      written = true;
      continue;
    }
    out.emplace_back(bare);
    if (inSection && !trim(bare).empty()) insertAt = out.size();
  }
  if (!written) {
    if (insertAt != std::string::npos) {
      out.insert(out.begin() + static_cast<std::ptrdiff_t>(insertAt), newLine);
    } else {
      out.push_back("[" + wantSection + "]");
      out.push_back(newLine);
    }
  }
  std::string result;
  for (const std::string& line : out) {
    result += line;
    result += "\r\n";
  }
  return result;
}

std::string withoutProfileKey(std::string_view text, const std::wstring& section,
                              const std::wstring& key) {
  const std::string wantSection = wideToUtf8(section);
  const std::string wantKey = wideToUtf8(key);
  std::string result;
  bool inSection = false;
  for (std::string_view line : splitLines(text)) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view name, k, v;
    if (sectionName(line, name)) {
      inSection = sameName(name, wantSection);
    } else if (inSection && keyValue(line, k, v) && sameName(k, wantKey)) {
      continue;
    }
    result += line;
    result += "\r\n";
  }
  return result;
}
