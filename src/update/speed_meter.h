// The transfer speed both displays show (the launcher's window and quillmark-update's line):
// the byte counter sampled at most every 500 ms, smoothed so that the figure does not jump
// with every chunk.
#pragma once
#include <cstdint>
#include <string>

struct SpeedMeter {
  float speed = 0;  // bytes per second
  std::uint64_t lastBytes = 0;
  std::uint64_t lastTick = 0;  // milliseconds
  int phase = -1;              // the phase of the last sample; -1 before the first
};

// Speed 0, last byte count 0, last tick now, no phase seen (a run begins).
void resetSpeedMeter(SpeedMeter& meter, std::uint64_t now);

// One tick of a display. Entering a phase that moves bytes (phaseMovesBytes) starts the meter
// afresh: speed 0, last byte count 0 (each such phase counts from 0), last tick now. In such a
// phase, once 500 ms have passed since the last sample, the new sample ((bytes - lastBytes)
// per second, 0 when the counter went backwards: a failed attempt's bytes taken back) becomes
// the speed when there is none yet, else 0.3 of it joins 0.7 of the old speed. Other phases
// only follow the counter and keep the speed.
void sampleSpeed(SpeedMeter& meter, int phase, std::uint64_t bytes, std::uint64_t now);

// The time left at a speed as the UI language says it: "12:05 left", "noch 1:02:05" (hours,
// minutes and seconds, the hours only when there are some); a negative time is 0:00.
std::wstring timeLeftText(double seconds);
