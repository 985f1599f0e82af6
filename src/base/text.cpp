#include "base/text.h"

#include <cstdint>

#include "formats/utf8.h"

namespace {

void appendCodePoint(std::wstring& out, char32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(c));
}

}  // namespace

std::wstring utf8ToWide(std::string_view in) {
  std::wstring out;
  appendUtf8AsWide(out, in);
  return out;
}

void appendUtf8AsWide(std::wstring& out, std::string_view in) {
  out.reserve(out.size() + in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<std::uint8_t>(in[i]);
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    // Lead bytes C0, C1 (always overlong) and F5 to FF (beyond U+10FFFF, or no UTF-8 at all)
    // start no sequence.
    const int extra = b >= 0xF0 && b <= 0xF4   ? 3
                      : b >= 0xE0 && b <= 0xEF ? 2
                      : b >= 0xC2 && b <= 0xDF ? 1
                                               : -1;
    char32_t c = extra == 3 ? (b & 0x07) : extra == 2 ? (b & 0x0F) : (b & 0x1F);
    std::size_t j = i + 1;
    bool ok = extra > 0;
    for (int k = 0; ok && k < extra; ++k, ++j) {
      if (j >= in.size()) {
        ok = false;
        break;
      }
      const auto cb = static_cast<std::uint8_t>(in[j]);
      if ((cb & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (cb & 0x3F);
    }
    // Overlong forms, surrogates and values above U+10FFFF are not valid UTF-8.
    if (ok && ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
               (c >= 0xD800 && c <= 0xDFFF))) {
      ok = false;
    }
    if (!ok) {
      out.push_back(static_cast<wchar_t>(0xFFFD));
      i = j > i + 1 ? j : i + 1;
      continue;
    }
    appendCodePoint(out, c);
    i = j;
  }
}

std::string wideToUtf8(std::wstring_view in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t c = static_cast<char32_t>(in[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
          in[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(in[i + 1]) - 0xDC00);
        ++i;
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        c = 0xFFFD;
      }
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}
