// The launcher's command line: switches found as plain substrings, the settings page of
// "--settings=N", and the pieces of paths and command lines that starting programs needs.
#pragma once
#include <string>
#include <string_view>

inline constexpr std::wstring_view kSwitchElevated = L"--elevated";
inline constexpr std::wstring_view kSwitchUpdated = L"--updated";
inline constexpr std::wstring_view kSwitchIgnoreInstances = L"-ignoreinstances";
inline constexpr std::wstring_view kSwitchSettings = L"--settings";

// True when sw occurs anywhere in the command line.
bool hasSwitch(std::wstring_view commandLine, std::wstring_view sw);

// "--settings" opens the settings at page 0; "--settings=N" at page N (the C library's
// conversion of the rest, so "=abc" is 0) clamped to the pages there are.
struct SettingsSwitch {
  bool open = false;
  int page = 0;
};
SettingsSwitch parseSettingsSwitch(std::wstring_view commandLine);

// The C library's _wtoi: leading white space, an optional sign, decimal digits; 0 when there
// are none; saturated at the limits of int.
int decimalPrefix(std::wstring_view text);

// A path up to and including its last "\" (the working folder a program is started in);
// empty when it has none.
std::wstring folderOfPath(std::wstring_view path);
// The command line of a started program: the executable in double quotes, then one blank and
// the arguments when there are any.
std::wstring processCommandLine(std::wstring_view executable, std::wstring_view arguments);
