#include "update/speed_meter.h"

#include "i18n/strings.h"
#include "update/launcher_state.h"

void resetSpeedMeter(SpeedMeter& meter, std::uint64_t now) {
  meter = SpeedMeter();
  meter.lastTick = now;
}

void sampleSpeed(SpeedMeter& meter, int phase, std::uint64_t bytes, std::uint64_t now) {
  const bool entered = phase != meter.phase;
  meter.phase = phase;
  if (!phaseMovesBytes(phase)) {
    meter.lastBytes = bytes;
    meter.lastTick = now;
    return;
  }
  if (entered) {
    // Hashing speed says nothing about download speed.
    meter.speed = 0;
    meter.lastBytes = 0;
    meter.lastTick = now;
    return;
  }
  // A clock that went backwards (it never should) counts as no time passed.
  const std::uint64_t elapsed = now > meter.lastTick ? now - meter.lastTick : 0;
  if (elapsed < 500) return;
  const float sample = bytes < meter.lastBytes
                           ? 0.0f
                           : static_cast<float>(static_cast<double>(bytes - meter.lastBytes) *
                                                1000.0 / static_cast<double>(elapsed));
  meter.speed = meter.speed <= 0 ? sample : sample * 0.3f + meter.speed * 0.7f;
  meter.lastBytes = bytes;
  meter.lastTick = now;
}

std::wstring timeLeftText(double seconds) {
  const std::uint64_t whole = seconds > 0 ? static_cast<std::uint64_t>(seconds) : 0;
  const std::uint64_t s = whole % 60;
  std::wstring out = uiText(kStrLeft);
  out += L' ';
  out += std::to_wstring(whole / 60);
  out += L':';
  if (s < 10) out += L'0';
  out += std::to_wstring(s);
  out += L" min";
  return out;
}
