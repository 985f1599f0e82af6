// The screen resolutions offered for the game client: the primary display's modes of at least
// 800 x 600 and 32 bits, each size once, with the configured size added when it is missing,
// largest first.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gamecfg/game_config.h"

struct DisplayMode {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const DisplayMode&) const = default;
};

// One mode as the system lists it (its refresh rate and the rest do not matter here).
struct SystemDisplayMode {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t bitsPerPixel = 0;
};

// The system's modes of the primary display (display_modes_win.cpp: EnumDisplaySettingsW;
// display_modes_posix.cpp: none, so the list is the configured size alone).
std::vector<SystemDisplayMode> systemDisplayModes();

// Filters, removes repeats, adds the configured size (when both are above 0) and sorts by
// width, then height, both descending.
std::vector<DisplayMode> buildDisplayModeList(const std::vector<SystemDisplayMode>& modes,
                                              std::int32_t configuredWidth,
                                              std::int32_t configuredHeight);

// The list for the configured "WIDTH" (default "1024") and "HEIGHT" (default "768").
std::vector<DisplayMode> listDisplayModes(const GameConfigFile& config);

// A size as every part of the window shows it: "1920 × 1080" (the files write "1920x1080" or
// two keys, each in its own format).
std::wstring resolutionText(std::wstring_view width, std::wstring_view height);
