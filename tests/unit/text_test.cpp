#include "base/text.h"

#include <gtest/gtest.h>

TEST(Text, RoundTripsEveryPlane) {
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  const std::wstring wide = utf8ToWide(utf8);
  EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 6u : 5u);
  EXPECT_EQ(wide[1], static_cast<wchar_t>(0xE9));
  EXPECT_EQ(wideToUtf8(wide), utf8);
}

TEST(Text, InvalidSequencesBecomeReplacementCharacters) {
  // A lone continuation byte, an overlong "/", an encoded surrogate and a cut-off sequence.
  EXPECT_EQ(utf8ToWide("\x80"), std::wstring(1, static_cast<wchar_t>(0xFFFD)));
  EXPECT_EQ(utf8ToWide("\xC0\xAF").find(L'/'), std::wstring::npos);
  EXPECT_EQ(utf8ToWide("\xED\xA0\x80").find(static_cast<wchar_t>(0xD800)), std::wstring::npos);
  const std::wstring cut = utf8ToWide("ab\xE2\x82");
  EXPECT_EQ(cut.substr(0, 2), L"ab");
  EXPECT_EQ(cut[2], static_cast<wchar_t>(0xFFFD));
  // A replaced sequence never swallows the valid character after it.
  EXPECT_EQ(utf8ToWide("\xE2\x82z").back(), L'z');
  // Lead bytes F5 to FF start no sequence: each is one U+FFFD, and so is each byte after it.
  for (const char* bad : {"\xF8\x80\x80", "\xF5\x80\x80\x80", "\xFF\x80\x80", "\xFE"}) {
    const std::wstring wide = utf8ToWide(bad);
    EXPECT_EQ(wide, std::wstring(std::char_traits<char>::length(bad), static_cast<wchar_t>(0xFFFD)))
        << static_cast<unsigned>(static_cast<unsigned char>(bad[0]));
  }
}
