// The main screen's status and progress area: percentage, status title and message, speed and
// time left or the version, the progress bar with the pause control of a download, the transfer
// line and the main button.
#pragma once
#include <cstdint>
#include <string>

#include "ui/canvas.h"
#include "ui/layout.h"
#include "update/launcher_state.h"

// What one frame of the main screen shows: the run as a snapshot of the Launcher state
// (takeRunSnapshot), and the window's own message, speed and clock.
struct MainScreenView {
  RunSnapshot run;
  std::wstring launchMessage;  // the shell's own message (a failed game start)
  float speed = 0;             // smoothed bytes per second
  float clock = 0;             // animation clock in seconds
};

// Bytes as "%.1f MB" below 1024 MB, else "%.2f GB"; with a decimal comma every "." is ",".
std::wstring sizeText(std::uint64_t bytes, bool decimalComma);
// The same with the current UI language's decimal separator.
std::wstring sizeText(std::uint64_t bytes);
// A download speed: "512 KB/s" below a megabyte a second (where sizeText would read "0.0 MB"
// on a slow link), "12.3 MB/s" from there on.
std::wstring speedText(std::uint64_t bytesPerSecond);

// Draws the status and progress area (kStatusArea) and registers the main button (kActionPlay,
// kMainButtonRect) and, while a download can be paused or resumed, the pause control
// (kActionPauseResume, kPauseControlRect).
void paintStatusArea(Canvas& c, const MainScreenView& view);
