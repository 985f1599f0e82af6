// The side panel, top to bottom: heading, resolution box, window-mode switch with its hint, the
// music and effects sliders, then from the bottom up the buttons.
#include "ui/side_panel.h"

#include <algorithm>

#include "gamecfg/config_model.h"
#include "gamecfg/display_modes.h"
#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/layout.h"

namespace {

constexpr float kX0 = kSidePanelRect.left + kSidePanelInset;
constexpr float kX1 = kSidePanelRect.right - kSidePanelInset;
// A label line of the panel: Semibold13_5 is about 18 units high.
constexpr float kLabelHeight = 20.0f;
// The slider's clickable box is 22 high and starts 22 below its label line; the track lies
// 8 units inside the card's inner edges so that its knob stays on the card.
constexpr float kSliderBoxOffset = 22.0f;
constexpr float kSliderBoxHeight = 22.0f;
constexpr float kTrackInset = 8.0f;

void paintResolutionBox(Canvas& c, const SidePanelView& v) {
  const RectF box = kResolutionBoxRect;
  drawText(c, uiText(kStrResolution), TextFormat::Semibold13_5, colours::Text, 1.0f,
           {kX0, box.top - 26.0f, kX1, box.top - 26.0f + kLabelHeight});
  const bool highlighted = c.hoverId == kActionResolutionList || v.resolutionListOpen;
  roundRect(c, colours::Peach, highlighted ? 0.08f : 0.04f,
            highlighted ? colours::Gold : colours::Peach, highlighted ? 0.55f : 0.16f, box, 6.0f);
  const std::wstring size = resolutionText(std::to_wstring(v.width), std::to_wstring(v.height));
  drawText(c, size, TextFormat::Regular11_5, colours::Text, 1.0f,
           {box.left + 14.0f, box.top, box.right - 32.0f, box.bottom}, HAlign::Default,
           VAlign::Centre);
  drawText(c, v.resolutionListOpen ? L"\uE70E" : L"\uE70D", TextFormat::Icons10,
           highlighted ? colours::LightGold : colours::SecondaryText, 1.0f,
           {box.right - 28.0f, box.top, box.right - 12.0f, box.bottom});
  addHitRegion(c, kActionResolutionList, box, true, -1);
}

// The window-mode row at y: label and switch on one line, the hint below over the full width.
// Returns the bottom of the hint.
float paintWindowMode(Canvas& c, const SidePanelView& v, float y) {
  const RectF toggle = {kX1 - 46.0f, y + 4.0f, kX1, y + 28.0f};
  drawText(c, uiText(kStrWindowMode), TextFormat::Semibold13_5, colours::Text, 1.0f,
           {kX0, y + 4.0f, toggle.left - 12.0f, y + 28.0f}, HAlign::Default, VAlign::Centre);
  toggleSwitch(c, toggle, v.windowed, c.hoverId == kActionWindowMode);
  addHitRegion(c, kActionWindowMode, toggle, true, -1);
  const std::wstring_view hint = uiText(kStrWindowModeHint);
  const float top = y + 32.0f;
  const float height = measureText(c, hint, TextFormat::Regular13, kX1 - kX0).height;
  drawText(c, hint, TextFormat::Regular13, colours::SecondaryText, 1.0f,
           {kX0, top, kX1, top + height});
  return top + height;
}

// A volume row at y: label, value text at the right end, and the slider 22 units below.
// Returns the bottom of the slider's box.
float paintVolume(Canvas& c, int actionId, std::wstring_view label, float volume, bool dragged,
                  float y) {
  const std::wstring value = volumeText(volume);
  const float w = measureText(c, value, TextFormat::Semibold13_5, 10000.0f).width;
  drawText(c, value, TextFormat::Semibold13_5, colours::LightGold, 1.0f,
           {kX1 - w - 2.0f, y, kX1, y + kLabelHeight}, HAlign::Trailing);
  drawText(c, label, TextFormat::Semibold13_5, colours::Text, 1.0f,
           {kX0, y, kX1 - w - 12.0f, y + kLabelHeight});
  const float top = y + kSliderBoxOffset, bottom = top + kSliderBoxHeight;
  const float middle = (top + bottom) / 2.0f;
  const RectF track = {kX0 + kTrackInset, middle - 2.0f, kX1 - kTrackInset, middle + 2.0f};
  sliderBar(c, track, volume, dragged || c.hoverId == actionId);
  addHitRegion(c, actionId, {track.left - 10.0f, top, track.right + 10.0f, bottom}, true, -1);
  addSliderTrack(c, actionId, -1, track);
  return bottom;
}

void paintButtons(Canvas& c, const SidePanelView& v) {
  const float b = kSidePanelRect.bottom;
  chipButton(c, kActionOpenSettings, uiText(kStrAdvancedSettings), L'\uE713', true,
             {kX0, b - 148.0f, kX1, b - 110.0f});
  chipButton(c, kActionRepair, uiText(kStrRepairFiles), L'\uE72C', !v.runActive,
             {kX0, b - 102.0f, kX1, b - 64.0f});
  const float top = b - 56.0f, bottom = b - 18.0f;
  if (!v.hasDiscord) {
    chipButton(c, kActionWebsite, uiText(kStrWebsite), L'\uE774', true, {kX0, top, kX1, bottom});
    return;
  }
  const float middle = (kX0 + kX1) / 2.0f;
  chipButton(c, kActionDiscord, uiText(kStrDiscord), L'\uE8BD', true,
             {kX0, top, middle - 4.0f, bottom});
  chipButton(c, kActionWebsite, uiText(kStrWebsite), L'\uE774', true,
             {middle + 4.0f, top, kX1, bottom});
}

}  // namespace

void paintSidePanel(Canvas& c, const SidePanelView& v) {
  const RectF p = kSidePanelRect;
  roundRect(c, colours::Card, 0.9f, colours::DeepEmber, 0.95f, p, 10.0f);
  sectionHeading(c, kX0, p.top + 18.0f, uiText(kStrSettings), kX1);
  paintResolutionBox(c, v);
  const float hintBottom = paintWindowMode(c, v, kResolutionBoxRect.bottom + 12.0f);
  const float musicBottom =
      paintVolume(c, kActionMusicSlider, uiText(kStrMusic), std::clamp(v.musicVolume, 0.0f, 1.0f),
                  v.dragging == VolumeSlider::Music, hintBottom + 12.0f);
  const float effects = static_cast<float>(std::clamp(v.effectsVolume, 0, 5)) / 5.0f;
  paintVolume(c, kActionEffectsSlider, uiText(kStrEffects), effects,
              v.dragging == VolumeSlider::Effects, musicBottom + 10.0f);
  paintButtons(c, v);
}
