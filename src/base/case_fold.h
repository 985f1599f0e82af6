// File names compared as NTFS compares them, on every platform: each character of the Basic
// Multilingual Plane upper-cased by Unicode's simple mapping ("é" and "É" are one name, "ß" and
// "SS" two), characters beyond it (surrogate pairs on Windows) as they are. A release must
// install on Windows, so two of its names that Windows takes for one are one name everywhere.
#pragma once
#include <string>
#include <string_view>

// A key under which two names are equal exactly when NTFS takes them for one name: the simple
// upper case of every character, with A to Z then lowered, so that a name in lower-case ASCII
// (nearly every path of a game) is its own key.
std::wstring nameKey(std::wstring_view name);
// Whether name is its own key.
bool isOwnNameKey(std::wstring_view name);
