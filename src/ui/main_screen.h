// The main screen's status and progress area: percentage, status title and message, speed and
// time left or the version, the progress bar, the transfer line and the main button.
#pragma once
#include <cstdint>
#include <string>

#include "ui/canvas.h"
#include "ui/layout.h"
#include "update/launcher_state.h"

// What one frame of the main screen shows. The counters and texts come from the Launcher state
// (readMainScreenView); launchMessage, speed and clock belong to the window.
struct MainScreenView {
  int phase = kPhaseNone;
  bool running = false;
  std::uint64_t bytesDone = 0;
  std::uint64_t bytesTotal = 0;
  std::int32_t filesDone = 0;
  std::int32_t filesTotal = 0;
  std::int32_t version = 0;
  std::wstring currentItem;
  std::wstring errorText;
  std::wstring launchMessage;  // the shell's own message (a failed game start)
  float speed = 0;             // smoothed bytes per second
  float clock = 0;             // animation clock in seconds
};

// Counters and flags by atomic loads, the two texts in one short hold of the state's lock.
// launchMessage, speed and clock are left for the caller to fill.
MainScreenView readMainScreenView(LauncherState& state);

// Bytes as "%.1f MB" below 1024 MB, else "%.2f GB"; with a decimal comma every "." is ",".
std::wstring sizeText(std::uint64_t bytes, bool decimalComma);
// The same with the current UI language's decimal separator.
std::wstring sizeText(std::uint64_t bytes);
// "left 62:05 min": whole minutes (not wrapped into hours) and seconds of the time left.
std::wstring timeLeftText(double seconds);

// Draws the status and progress area (kStatusArea) and registers the main button (kActionPlay,
// kMainButtonRect).
void paintStatusArea(Canvas& c, const MainScreenView& view);
