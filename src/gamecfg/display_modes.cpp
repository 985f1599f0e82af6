#include "gamecfg/display_modes.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

std::int32_t configuredInt(const GameConfigFile& config, const char* key, const char* fallback) {
  const std::string text = getConfigValue(config, key, fallback);
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::vector<DisplayMode> buildDisplayModeList(const std::vector<SystemDisplayMode>& modes,
                                              std::int32_t configuredWidth,
                                              std::int32_t configuredHeight) {
  std::vector<DisplayMode> list;
  const auto has = [&list](DisplayMode m) {
    return std::find(list.begin(), list.end(), m) != list.end();
  };
  for (const SystemDisplayMode& mode : modes) {
    if (mode.width < 800 || mode.height < 600 || mode.bitsPerPixel < 32) continue;
    const DisplayMode m{mode.width, mode.height};
    if (!has(m)) list.push_back(m);
  }
  const DisplayMode configured{configuredWidth, configuredHeight};
  if (configuredWidth > 0 && configuredHeight > 0 && !has(configured)) list.push_back(configured);
  std::sort(list.begin(), list.end(), [](DisplayMode a, DisplayMode b) {
    return a.width != b.width ? a.width > b.width : a.height > b.height;
  });
  return list;
}

std::vector<DisplayMode> listDisplayModes(const GameConfigFile& config) {
  return buildDisplayModeList(systemDisplayModes(), configuredInt(config, "WIDTH", "1024"),
                              configuredInt(config, "HEIGHT", "768"));
}

std::wstring resolutionText(std::wstring_view width, std::wstring_view height) {
  std::wstring out(width);
  out += L" \u00D7 ";
  out += height;
  return out;
}
