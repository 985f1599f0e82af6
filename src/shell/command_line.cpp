#include "shell/command_line.h"

#include <algorithm>
#include <climits>

#include "gamecfg/config_model.h"

bool hasSwitch(std::wstring_view commandLine, std::wstring_view sw) {
  return commandLine.find(sw) != std::wstring_view::npos;
}

int decimalPrefix(std::wstring_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

SettingsSwitch parseSettingsSwitch(std::wstring_view commandLine) {
  SettingsSwitch out;
  const std::size_t at = commandLine.find(kSwitchSettings);
  if (at == std::wstring_view::npos) return out;
  out.open = true;
  const std::size_t after = at + kSwitchSettings.size();
  if (after < commandLine.size() && commandLine[after] == L'=') {
    out.page = std::clamp(decimalPrefix(commandLine.substr(after + 1)), 0, configPageCount() - 1);
  }
  return out;
}

std::wstring folderOfPath(std::wstring_view path) {
  const std::size_t at = path.find_last_of(L'\\');
  return at == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, at + 1));
}

std::wstring processCommandLine(std::wstring_view executable, std::wstring_view arguments) {
  std::wstring line = L"\"";
  line += executable;
  line += L"\"";
  if (!arguments.empty()) {
    line += L' ';
    line += arguments;
  }
  return line;
}
