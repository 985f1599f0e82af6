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
  const auto twoDigits = [](std::uint64_t n) { return (n < 10 ? L"0" : L"") + std::to_wstring(n); };
  const std::uint64_t hours = whole / 3600, minutes = whole / 60 % 60;
  std::wstring clock =
      hours > 0 ? std::to_wstring(hours) + L":" + twoDigits(minutes) : std::to_wstring(minutes);
  clock += L":" + twoDigits(whole % 60);
  return uiTextWith(kStrLeft, clock);
}
