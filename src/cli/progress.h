// What quillmark-update shows while a run goes on: the phase text from the UI string table,
// percentage, files, bytes, speed and time left, as one line. The speed is measured the way
// the launcher's window measures it: a sample every 500 ms, smoothed.
#pragma once
#include <cstdint>
#include <string>

struct LauncherState;

struct ProgressSnapshot {
  int phase = 0;
  std::uint64_t bytesDone = 0;
  std::uint64_t bytesTotal = 0;
  std::int32_t filesDone = 0;
  std::int32_t filesTotal = 0;
  std::wstring currentItem;
};

// Counters by atomic loads and the current item in one short hold of the state's lock.
ProgressSnapshot takeSnapshot(LauncherState& state);

// Bytes per second over the phases that move bytes (checking, downloading, the launcher's
// download). Samples closer than 500 ms are skipped; the first sample of a phase is taken as
// it is, later ones are smoothed (0.3 new, 0.7 old). A counter that went backwards (a failed
// attempt's bytes taken back) gives a sample of 0.
struct SpeedMeter {
  double speed = 0;  // bytes per second
  std::uint64_t lastBytes = 0;
  std::uint64_t lastMs = 0;
  int phase = -1;

  void update(int phase, std::uint64_t bytes, std::uint64_t nowMs);
};

// The text of a phase: "Connecting to patch server...", "Checking", "Downloading", ...
std::wstring phaseText(int phase);
// Whether a phase has counters worth a progress line.
bool phaseHasProgress(int phase);

// "512 B", "12.5 KB", "412.3 MB", "1.50 GB" (units of 1024), with the UI language's
// decimal separator.
std::wstring byteText(std::uint64_t bytes);
// The launcher's wording: "left 1:05 min" (whole minutes, not wrapped into hours).
std::wstring timeLeft(double seconds);

// "Downloading  42%  120/300 files  412.3 MB / 980.0 MB  35.2 MB/s  left 0:16 min", with the
// current item at the end when withItem. Parts without data are left out: no percentage
// while nothing is to be counted, no speed or time before the first sample.
std::wstring progressLine(const ProgressSnapshot& s, double speed, bool withItem);

// The line cut to columns - 1 characters (so that the cursor never wraps onto a new row);
// columns 0 means unknown width, and the line is left whole.
std::wstring fitToWidth(const std::wstring& line, std::size_t columns);
