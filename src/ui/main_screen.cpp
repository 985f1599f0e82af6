// The status and progress area of the main screen.
//
//   sizeText             number formatting
//   paintStatusArea      background, percentage, title and message, right-hand detail,
//                        progress bar, transfer line, pause control, main button
#include "ui/main_screen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/fit_text.h"
#include "update/launcher_state.h"
#include "update/speed_meter.h"

namespace {
std::wstring widen(const char* ascii) {
  std::wstring out;
  for (const char* p = ascii; *p; ++p) out.push_back(static_cast<wchar_t>(*p));
  return out;
}

StringId statusTitleId(int phase) {
  switch (phase) {
    case kPhaseVerifying:
      return kStrVerifying;
    case kPhaseChecking:
      return kStrChecking;
    case kPhaseDownloading:
      return kStrUpdating;
    case kPhaseApplying:
      return kStrApplying;
    case kPhaseSelfUpdate:
    case kPhaseRestart:
      return kStrUpdatingLauncher;
    case kPhaseReady:
      return kStrReadyToPlay;
    case kPhaseError:
      return kStrError;
    default:
      return kStrConnecting;
  }
}

// The text after the status title's bullet; empty draws neither bullet nor text.
std::wstring statusMessage(const MainScreenView& view) {
  const RunSnapshot& v = view.run;
  if (!view.launchMessage.empty()) return view.launchMessage;
  if (v.phase == kPhaseError) return v.errorText;
  if (isPausedDownload(v)) return uiText(kStrPausedMessage);
  if (v.running && phaseMovesBytes(v.phase) && !v.currentItem.empty()) {
    const StringId verb = v.phase == kPhaseChecking ? kStrCheckingLower : kStrDownloading;
    return std::wstring(uiText(verb)) + L" " + v.currentItem;
  }
  return std::wstring();
}
// The pause control beside the progress bar: two bars while the download runs, the play
// triangle in gold once it is paused; disabled while a paused run is still stopping.
void paintPauseControl(Canvas& c, bool paused, bool enabled) {
  const RectF r = kPauseControlRect;
  const bool hovered = enabled && c.hoverId == kActionPauseResume;
  roundRect(c, colours::Peach, hovered ? 0.12f : 0.04f, hovered ? colours::Gold : colours::Peach,
            hovered ? 0.55f : 0.18f, r, r.width() / 2.0f);
  const std::uint32_t ink = !enabled              ? colours::MutedText
                            : (paused || hovered) ? colours::LightGold
                                                  : colours::Text;
  drawText(c, paused ? L"\uE768" : L"\uE769", TextFormat::Icons10, ink, 1.0f, r);
  addHitRegion(c, kActionPauseResume, r, enabled, -1);
}
}  // namespace

std::wstring sizeText(std::uint64_t bytes, bool decimalComma) {
  const double megabytes = static_cast<double>(bytes) / 1048576.0;
  char buffer[64];
  // The unit is chosen before rounding, so 1023.99 MB stays in megabytes as "1024.0 MB".
  if (megabytes >= 1024.0) {
    std::snprintf(buffer, sizeof buffer, "%.2f GB", megabytes / 1024.0);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.1f MB", megabytes);
  }
  std::wstring out = widen(buffer);
  if (decimalComma) std::replace(out.begin(), out.end(), L'.', L',');
  return out;
}

std::wstring sizeText(std::uint64_t bytes) { return sizeText(bytes, usesDecimalComma()); }

std::wstring speedText(std::uint64_t bytesPerSecond) {
  if (bytesPerSecond >= 1048576) return sizeText(bytesPerSecond) + L"/s";
  return std::to_wstring(bytesPerSecond / 1024) + L" KB/s";
}

void paintStatusArea(Canvas& c, const MainScreenView& view) {
  const RunSnapshot& v = view.run;
  const float top = kStatusTop;
  float fraction = 0.0f;
  if (v.phase == kPhaseReady) {
    fraction = 1.0f;
  } else if (v.bytesTotal > 0) {
    fraction = std::min(static_cast<float>(v.bytesDone) / static_cast<float>(v.bytesTotal), 1.0f);
  }
  const bool error = v.phase == kPhaseError || !view.launchMessage.empty();
  const bool ready = !v.running && (v.phase == kPhaseReady || v.phase == kPhaseError);
  const bool paused = isPausedDownload(v);
  // A download can be paused while it runs, and resumed once paused.
  const bool pausable = v.phase == kPhaseDownloading && (v.running || paused);

  fillRect(c, kStatusArea, colours::Panel, 0.92f);
  fillRect(c, {kStatusArea.left, top, kStatusArea.right, top + 1.0f}, colours::Peach, 0.08f);

  const std::wstring percent =
      error ? std::wstring(L"!") : std::to_wstring(static_cast<int>(fraction * 100.0f)) + L"%";
  drawText(c, percent, TextFormat::Light44, error ? colours::ErrorRed : colours::BrightText, 1.0f,
           {36.0f, top + 20.0f, 160.0f, top + 92.0f});

  const std::wstring title = uiText(paused ? kStrPaused : statusTitleId(v.phase));
  const std::uint32_t titleColour = error                    ? colours::ErrorRed
                                    : v.phase == kPhaseReady ? colours::ReadyGreen
                                                             : colours::Gold;
  const float titleWidth = measureText(c, title, TextFormat::Bold11_5, 10000.0f).width;
  drawText(c, title, TextFormat::Bold11_5, titleColour, 1.0f,
           {160.0f, top + 26.0f, 160.0f + titleWidth + 4.0f, top + 44.0f});
  const float xEnd = 160.0f + titleWidth;

  const std::wstring message = statusMessage(view);
  if (!message.empty()) {
    drawText(c, L"\u2022", TextFormat::Regular13_5, colours::MutedText, 1.0f,
             {xEnd + 8.0f, top + 23.0f, xEnd + 20.0f, top + 44.0f});
    // One line: a long path gives up its middle directories, so that the file name shows.
    const RectF line = {xEnd + 22.0f, top + 24.0f, 570.0f, top + 44.0f};
    drawText(c, fitLine(c, message, TextFormat::Regular13_5, line.width()), TextFormat::Regular13_5,
             error ? colours::ErrorRed : colours::MessageText, 1.0f, line);
  }

  // Speed and time left only while they mean something: no division by a speed of zero and no
  // negative time once the counters meet.
  if (v.running && !paused && v.phase == kPhaseDownloading && view.speed > 1.0f &&
      v.bytesDone < v.bytesTotal) {
    const double seconds = static_cast<double>(v.bytesTotal - v.bytesDone) / view.speed;
    const std::wstring timeText = timeLeftText(seconds);
    const float wt = measureText(c, timeText, TextFormat::Regular11_5, 10000.0f).width;
    drawText(c, timeText, TextFormat::Regular11_5, colours::SecondaryText, 1.0f,
             {770.0f - wt - 2.0f, top + 28.0f, 770.0f, top + 44.0f}, HAlign::Trailing);
    const std::wstring speed = speedText(static_cast<std::uint64_t>(view.speed));
    const float ws = measureText(c, speed, TextFormat::Bold11_5, 10000.0f).width;
    const float x = 770.0f - wt - 14.0f - ws;
    drawText(c, speed, TextFormat::Bold11_5, colours::Text, 1.0f,
             {x, top + 27.0f, x + ws + 2.0f, top + 44.0f});
    drawText(c, L"\uE896", TextFormat::Icons10, colours::Gold, 1.0f,
             {x - 18.0f, top + 26.0f, x - 4.0f, top + 44.0f});
  } else if (v.phase == kPhaseReady && v.version > 0) {
    // As wide as it is, so that it never lies under the message of a failed game start.
    const std::wstring version =
        std::wstring(uiText(kStrVersion)) + L" " + std::to_wstring(v.version);
    const float w = measureText(c, version, TextFormat::Regular11_5, 10000.0f).width;
    drawText(c, version, TextFormat::Regular11_5, colours::SecondaryText, 1.0f,
             {770.0f - w - 2.0f, top + 28.0f, 770.0f, top + 44.0f}, HAlign::Trailing);
  }

  const float barTop = kProgressTrackRect.top, barBottom = kProgressTrackRect.bottom;
  const float middle = (barTop + barBottom) / 2.0f;
  const float barRight = pausable ? kProgressTrackRightBesidePause : kProgressTrackRect.right;
  roundRect(c, colours::Track, 1.0f, 0, 0.0f, {160.0f, barTop, barRight, barBottom}, 3.0f);
  if (fraction > 0.0f) {
    // A bar is never thinner than 6 units, so the first bytes are visible.
    const float r = std::max(160.0f + fraction * (barRight - 160.0f), 166.0f);
    const RectF filled = {160.0f, barTop, r, barBottom};
    const std::uint32_t from = error ? colours::ErrorRed : colours::LightGold;
    const std::uint32_t to = error ? colours::ErrorRed : colours::DarkGold;
    gradientRect(c, from, 1.0f, to, 1.0f, filled, 3.0f, {160.0f, middle}, {r, middle});
    if (v.running && !paused) {
      pushClip(c, filled);
      const float centre = 160.0f - 60.0f + std::fmod(view.clock * 260.0f, (r - 160.0f) + 120.0f);
      drawGlow(c, colours::White, {centre - 60.0f, middle - 14.0f, centre + 60.0f, middle + 14.0f},
               0.55f);
      popClip(c);
    }
    fillEllipse(c, {r - 1.0f, middle}, 5.0f, 5.0f, colours::LightGold, 1.0f);
  }

  if ((v.running || paused) && v.bytesTotal > 0) {
    const std::wstring line = sizeText(v.bytesDone) + L" / " + sizeText(v.bytesTotal) +
                              L"  \u00B7  " + std::to_wstring(v.filesDone) + L" / " +
                              std::to_wstring(v.filesTotal) + L" " + uiText(kStrFiles);
    drawText(c, line, TextFormat::Regular11_5, colours::SecondaryText, 1.0f,
             {160.0f, top + 70.0f, 770.0f, top + 88.0f});
  }

  if (pausable) paintPauseControl(c, paused, !paused || !v.running);

  const wchar_t* label = (v.phase == kPhaseError && !v.running) ? uiText(kStrRetry)
                         : ready                                ? uiText(kStrPlay)
                                                                : uiText(kStrWait);
  primaryButton(c, kActionPlay, label, TextFormat::Bold22Centred, ready, kMainButtonRect);
}
