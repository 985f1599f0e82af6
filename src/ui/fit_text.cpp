// One line shortened around a path's file name, and wrapped text cut at a height.
#include "ui/fit_text.h"

#include <vector>

namespace {

constexpr wchar_t kEllipsis = L'\u2026';
// Half a unit to spare, so that rounding in the back end's layout never wraps a text that was
// measured to fit.
constexpr float kSlack = 0.5f;

bool isSeparator(wchar_t ch) { return ch == L'/' || ch == L'\\'; }
bool isDash(wchar_t ch) { return ch == L'-' || ch == L'\u2013' || ch == L'\u2014'; }

bool fitsLine(Canvas& c, const std::wstring& text, TextFormat format, float width) {
  return measureText(c, text, format, 10000.0f).width <= width - kSlack;
}

// The largest n in 0..count for which fits(n) holds, fits being true up to some n and false
// after it; -1 when it does not hold even for 0.
template <typename Fits>
long longestThatFits(std::size_t count, Fits fits) {
  if (!fits(0)) return -1;
  std::size_t low = 0, high = count;
  while (low < high) {
    const std::size_t mid = low + (high - low + 1) / 2;
    if (fits(mid)) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return static_cast<long>(low);
}

// Where the path at the end of text begins: the start of the first word holding a separator.
std::size_t pathStart(std::wstring_view text) {
  std::size_t at = 0;
  while (at < text.size() && !isSeparator(text[at])) ++at;
  if (at == text.size()) return std::wstring_view::npos;
  const std::size_t blank = text.find_last_of(L' ', at);
  return blank == std::wstring_view::npos ? 0 : blank + 1;
}

// The path with the directories between its first part and its last keep parts replaced by an
// ellipsis; the path itself when nothing lies between them.
std::wstring withoutMiddle(std::wstring_view path, std::size_t keep) {
  std::vector<std::size_t> separators;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (isSeparator(path[i])) separators.push_back(i);
  }
  if (separators.size() < keep + 1) return std::wstring(path);
  const std::size_t first = separators.front();
  const std::size_t last = separators[separators.size() - keep];
  if (last <= first) return std::wstring(path);
  std::wstring out(path.substr(0, first + 1));
  out += kEllipsis;
  out += path.substr(last);
  return out;
}

// The text's start and an ellipsis, as long as fits; the ellipsis alone at worst.
std::wstring keepStart(Canvas& c, std::wstring_view text, TextFormat format, float width) {
  const long n = longestThatFits(text.size(), [&](std::size_t k) {
    return fitsLine(c, std::wstring(text.substr(0, k)) + kEllipsis, format, width);
  });
  return std::wstring(text.substr(0, n > 0 ? static_cast<std::size_t>(n) : 0)) + kEllipsis;
}

}  // namespace

std::wstring fitLine(Canvas& c, std::wstring_view text, TextFormat format, float width) {
  const std::wstring whole(text);
  if (fitsLine(c, whole, format, width)) return whole;
  const std::size_t start = pathStart(text);
  if (start == std::wstring_view::npos) return keepStart(c, text, format, width);

  const std::wstring_view head = text.substr(0, start), path = text.substr(start);
  std::size_t parts = 0;
  for (const wchar_t ch : path) parts += isSeparator(ch) ? 1 : 0;
  // Directories go from the middle, the ones nearest the file name last.
  std::wstring shortPath(path);
  for (std::size_t keep = parts > 1 ? parts - 1 : 1; keep >= 1; --keep) {
    shortPath = withoutMiddle(path, keep);
    const std::wstring line = std::wstring(head) + shortPath;
    if (fitsLine(c, line, format, width)) return line;
  }
  // Then the words before the path, from the start (a line never starts with a dash).
  for (std::size_t at = 1; at <= head.size(); ++at) {
    if (at < head.size() && (head[at - 1] != L' ' || isDash(head[at]))) continue;
    std::wstring line(1, kEllipsis);
    line += head.substr(at);
    line += shortPath;
    if (fitsLine(c, line, format, width)) return line;
  }
  // At worst the file name alone.
  std::wstring name(1, kEllipsis);
  name += path.substr(path.find_last_of(L"/\\"));
  return fitsLine(c, name, format, width) ? name : keepStart(c, name, format, width);
}

std::wstring fitLines(Canvas& c, std::wstring_view text, TextFormat format, float width,
                      float height) {
  const std::wstring whole(text);
  const auto fits = [&](const std::wstring& t) {
    return measureText(c, t, format, width).height <= height + kSlack;
  };
  if (fits(whole)) return whole;
  const long n = longestThatFits(text.size(), [&](std::size_t k) {
    return fits(std::wstring(text.substr(0, k)) + kEllipsis);
  });
  std::size_t cut = n > 0 ? static_cast<std::size_t>(n) : 0;
  // After a whole word where the cut leaves one; a single long word is cut where it must be.
  const std::size_t blank = text.substr(0, cut + 1).find_last_of(L' ');
  if (cut < text.size() && text[cut] != L' ' && blank != std::wstring_view::npos && blank > 0) {
    cut = blank;
  }
  while (cut > 0 && text[cut - 1] == L' ') --cut;
  return std::wstring(text.substr(0, cut)) + kEllipsis;
}
