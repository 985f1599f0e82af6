#include "glob.h"

namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool globMatch(std::string_view pattern, std::string_view text) {
  // reach[j]: the pattern read so far can match the first j characters of text. Paths are at
  // most a few hundred bytes, so one pass per pattern character is cheap.
  const std::size_t n = text.size();
  std::vector<char> reach(n + 1, 0), next(n + 1, 0);
  reach[0] = 1;
  std::size_t p = 0;
  while (p < pattern.size()) {
    if (pattern.compare(p, 3, "**/") == 0) {
      // Nothing, or any run of names with their "/": "**/x" matches "x" and "a/b/x".
      char anyBefore = 0;
      for (std::size_t j = 0; j <= n; ++j) {
        next[j] = reach[j] || (j > 0 && text[j - 1] == '/' && anyBefore);
        if (reach[j]) anyBefore = 1;
      }
      p += 3;
    } else if (pattern.compare(p, 2, "**") == 0) {
      for (std::size_t j = 0; j <= n; ++j) next[j] = reach[j] || (j > 0 && next[j - 1]);
      while (p < pattern.size() && pattern[p] == '*') ++p;
    } else if (pattern[p] == '*') {
      for (std::size_t j = 0; j <= n; ++j) {
        next[j] = reach[j] || (j > 0 && next[j - 1] && text[j - 1] != '/');
      }
      ++p;
    } else {
      const char c = pattern[p];
      next[0] = 0;
      for (std::size_t j = 1; j <= n; ++j) {
        next[j] = reach[j - 1] && (c == '?' ? text[j - 1] != '/' : fold(c) == fold(text[j - 1]));
      }
      ++p;
    }
    reach.swap(next);
  }
  return reach[n] != 0;
}

bool pathMatches(std::string_view pattern, std::string_view relativePath) {
  if (pattern.empty()) return false;
  if (pattern.find('/') == std::string_view::npos) {
    std::size_t start = 0;
    while (start <= relativePath.size()) {
      std::size_t end = relativePath.find('/', start);
      if (end == std::string_view::npos) end = relativePath.size();
      if (globMatch(pattern, relativePath.substr(start, end - start))) return true;
      start = end + 1;
    }
    return false;
  }
  if (pattern.front() == '/') pattern.remove_prefix(1);
  while (!pattern.empty() && pattern.back() == '/') pattern.remove_suffix(1);
  // The whole path, or a folder above it.
  for (std::size_t end = relativePath.find('/');; end = relativePath.find('/', end + 1)) {
    if (end == std::string_view::npos) return globMatch(pattern, relativePath);
    if (globMatch(pattern, relativePath.substr(0, end))) return true;
  }
}

bool pathMatchesAny(const std::vector<std::string>& patterns, std::string_view relativePath) {
  for (const std::string& p : patterns) {
    if (pathMatches(p, relativePath)) return true;
  }
  return false;
}
