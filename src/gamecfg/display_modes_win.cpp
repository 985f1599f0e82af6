// The primary display's modes from EnumDisplaySettingsW.
#include <windows.h>

#include "gamecfg/display_modes.h"

std::vector<SystemDisplayMode> systemDisplayModes() {
  std::vector<SystemDisplayMode> modes;
  // Mode numbers from 0 until the call fails; a driver lists a few hundred at most, the bound
  // only keeps a misbehaving one from growing the list for ever.
  for (DWORD number = 0; number < 100000; ++number) {
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, number, &mode)) break;
    modes.push_back({static_cast<std::int32_t>(mode.dmPelsWidth),
                     static_cast<std::int32_t>(mode.dmPelsHeight),
                     static_cast<std::int32_t>(mode.dmBitsPerPel)});
  }
  return modes;
}
