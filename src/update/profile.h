// The private-profile (INI) format of patcher.ini as text, read and written the way the
// Windows functions do it (profile.cpp); patch_state reads and replaces the file whole.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// patcher.ini holds two values; only this much of a larger file is read, so that a planted
// gigabyte costs no memory and no time.
inline constexpr std::uint64_t kProfileMaxBytes = 1048576;

// The value of key in section of the text, or def; the text with key set; the text without key.
std::wstring profileValue(std::string_view text, const std::wstring& section,
                          const std::wstring& key, const std::wstring& def);
std::string withProfileValue(std::string_view text, const std::wstring& section,
                             const std::wstring& key, const std::wstring& value);
std::string withoutProfileKey(std::string_view text, const std::wstring& section,
                              const std::wstring& key);
