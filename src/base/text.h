// UTF-8 <-> wide text. Wide strings are UTF-16 on Windows and UTF-32 on Linux; invalid
// UTF-8 sequences become U+FFFD, as the Windows conversion does.
#pragma once
#include <string>
#include <string_view>

std::wstring utf8ToWide(std::string_view utf8);
// The same appended to out, whose buffer can then serve one conversion after another.
void appendUtf8AsWide(std::wstring& out, std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);
