// The private-profile (INI) format of patcher.ini: the text as the Windows functions read and
// write it (profile.cpp, used where they are missing), and the file's reader and writer
// (profile_win.cpp: GetPrivateProfileStringW and WritePrivateProfileStringW; profile_posix.cpp:
// the same format on whole files, replaced atomically).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// patcher.ini holds one value; a larger file is neither read (as if it were missing) nor
// rewritten, so that a planted gigabyte costs no memory and no time.
inline constexpr std::uint64_t kProfileMaxBytes = 1048576;

// The value of key in section of the text, or def; and the text with key set.
std::wstring profileValue(std::string_view text, const std::wstring& section,
                          const std::wstring& key, const std::wstring& def);
std::string withProfileValue(std::string_view text, const std::wstring& section,
                             const std::wstring& key, const std::wstring& value);

// The value of key in section of the file at path; def when the file, section or key is
// missing. And the file with key set; false when it cannot be written.
std::wstring readProfileString(const std::wstring& path, const std::wstring& section,
                               const std::wstring& key, const std::wstring& def);
bool writeProfileString(const std::wstring& path, const std::wstring& section,
                        const std::wstring& key, const std::wstring& value);
