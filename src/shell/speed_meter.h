// The download speed the main screen shows: the byte counter sampled at most every 500 ms
// while downloading, smoothed so that the figure does not jump with every chunk.
#pragma once
#include <cstdint>

struct SpeedMeter {
  float speed = 0;  // bytes per second
  std::uint64_t lastBytes = 0;
  std::uint64_t lastTick = 0;  // milliseconds
};

// Speed 0, last byte count 0, last tick now (a run or its download phase begins).
void resetSpeedMeter(SpeedMeter& meter, std::uint64_t now);

// One frame tick. Downloading (kPhaseDownloading): once 500 ms have passed since the last sample,
// the new sample ((bytes - lastBytes) per second, 0 when the counter went backwards) becomes the
// speed when there is none yet, else 0.3 of it joins 0.7 of the old speed. Other phases only
// follow the counter and keep the speed.
void sampleSpeed(SpeedMeter& meter, int phase, std::uint64_t bytes, std::uint64_t now);
