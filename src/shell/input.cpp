// The mouse: hit testing against the last frame's regions, hover, press and capture, the
// caption of the borderless window, cursors, sliders along the tracks the last frame
// published, the wheel over the areas it published (keyboard.cpp has the keys).
#include <algorithm>
#include <cstdio>

#include "gamecfg/config_model.h"
#include "gamecfg/game_config.h"
#include "i18n/strings.h"
#include "shell/shell.h"
#include "ui/action_ids.h"
#include "ui/layout.h"

namespace {

void repaint(Shell& shell) { shell.host.repaint(shell.host.self); }

// The last frame's track of a slider; null when the frame drew none.
const SliderTrack* sliderTrackOf(const Shell& shell, int actionId, int itemIndex) {
  if (!shell.frame) return nullptr;
  const std::vector<SliderTrack>& tracks = shell.frame->sliderTracks;
  for (auto it = tracks.rbegin(); it != tracks.rend(); ++it) {
    if (it->actionId == actionId && it->itemIndex == itemIndex) return &*it;
  }
  return nullptr;
}

// The last area of a kind the last frame published, wherever it lies; null when none.
const ScrollArea* scrollAreaOf(const Shell& shell, ScrollKind kind) {
  if (!shell.frame) return nullptr;
  const std::vector<ScrollArea>& areas = shell.frame->scrollAreas;
  for (auto it = areas.rbegin(); it != areas.rend(); ++it) {
    if (it->kind == kind) return &*it;
  }
  return nullptr;
}

float& scrollOffset(UiState& ui, ScrollKind kind) {
  switch (kind) {
    case ScrollKind::PopUpList:
      return ui.popUp.scroll;
    case ScrollKind::NewsBody:
      return ui.news.bodyScroll;
    case ScrollKind::SettingsPage:
      return ui.settings.pageScroll;
    case ScrollKind::SettingsList:
      return ui.settings.listScroll;
    case ScrollKind::SettingsTabs:
      return ui.settings.tabScroll;
    default:
      return ui.news.scroll;
  }
}

// The settings pages scroll wherever the pointer is: their open option list, else the tab
// column under the pointer when it scrolls, else the page.
const ScrollArea* settingsScrollArea(const Shell& shell, float x, float y) {
  if (shell.ui.settings.openList != kNoSetting) {
    return scrollAreaOf(shell, ScrollKind::SettingsList);
  }
  const ScrollArea* at = scrollAreaAt(shell, x, y);
  if (at && at->kind == ScrollKind::SettingsTabs) return at;
  return scrollAreaOf(shell, ScrollKind::SettingsPage);
}

// Moves the scroll offset under the pointer by amount, within what the last frame showed
// there.
void scrollAt(Shell& shell, float x, float y, float amount) {
  const ScrollArea* area =
      shell.ui.settings.open ? settingsScrollArea(shell, x, y) : scrollAreaAt(shell, x, y);
  if (area) scrollBy(shell, *area, amount);
}

int volumeSliderAction(VolumeSlider slider) {
  return slider == VolumeSlider::Music ? kActionMusicSlider : kActionEffectsSlider;
}

// The dragged volume from the pointer's x along the slider's track as the last frame drew it.
void volumeFromX(Shell& shell, float x) {
  VolumeState& volume = shell.ui.volume;
  const SliderTrack* slider = sliderTrackOf(shell, volumeSliderAction(volume.drag), -1);
  if (!slider) return;
  const float left = slider->track.left;
  const float right = slider->track.right;
  if (!(right > left)) return;
  const float t = std::clamp((x - left) / (right - left), 0.0f, 1.0f);
  if (volume.drag == VolumeSlider::Music) {
    volume.music = t;
  } else {
    volume.effects = static_cast<int>(t * 5.0f + 0.5f);
  }
  repaint(shell);
}

// The dragged setting from the pointer's x along its track as the last frame drew it.
void settingFromX(Shell& shell, float x) {
  const int entry = shell.ui.settings.sliderDrag;
  const SliderTrack* slider = sliderTrackOf(shell, kActionSettingSlider, entry);
  if (!slider) return;
  if (dragSlider(shell.config.pending, entry, x, slider->track.left, slider->track.right)) {
    repaint(shell);
  }
}

void commitVolume(const VolumeState& volume, GameConfigFile& file) {
  char text[32];
  if (volume.drag == VolumeSlider::Music) {
    std::snprintf(text, sizeof text, "%.3f", std::clamp(volume.music, 0.0f, 1.0f));
    setConfigValue(file, "MUSIC_VOLUME", text);
  } else if (volume.drag == VolumeSlider::Effects) {
    std::snprintf(text, sizeof text, "%d", std::clamp(volume.effects, 0, 5));
    setConfigValue(file, "VOICE_VOLUME", text);
  }
}

void setPressed(PointerState& pointer, int id, int index) {
  pointer.pressedId = id;
  pointer.pressedIndex = index;
}

}  // namespace

const ScrollArea* scrollAreaAt(const Shell& shell, float x, float y) {
  if (!shell.frame) return nullptr;
  const std::vector<ScrollArea>& areas = shell.frame->scrollAreas;
  for (auto it = areas.rbegin(); it != areas.rend(); ++it) {
    if (contains(it->rect, x, y)) return &*it;
  }
  return nullptr;
}

bool scrollBy(Shell& shell, const ScrollArea& area, float amount) {
  float& offset = scrollOffset(shell.ui, area.kind);
  const float moved = std::clamp(offset + amount, 0.0f, std::max(area.limit, 0.0f));
  if (moved == offset) return false;
  offset = moved;
  return true;
}

const HitRegion* hitTest(const Shell& shell, float x, float y) {
  return shell.frame ? findHitRegion(shell.frame->hitRegions, x, y) : nullptr;
}

RectF popUpRect(const UiState& ui) {
  const int rows = ui.popUp.open == PopUp::LanguageList
                       ? kClientLanguageCount
                       : static_cast<int>(ui.popUp.displayModes.size());
  return popUpRect(ui.popUp.open, rows);
}

bool isCaption(const Shell& shell, float x, float y) {
  const UiState& ui = shell.ui;
  const HitRegion* r = hitTest(shell, x, y);
  if (ui.settings.open) {
    return ui.settings.openList == kNoSetting && !r && y < kSettingsCaptionBand.bottom;
  }
  if (ui.popUp.open != PopUp::None || (r && r->actionId != kActionBackground)) return false;
  if (y < kCaptionBand.bottom) return true;
  return x > kCaptionGap.left && x < kCaptionGap.right && y < kCaptionGap.bottom;
}

bool showsHandCursor(const Shell& shell, float x, float y) {
  const HitRegion* r = hitTest(shell, x, y);
  return r && r->enabled && r->actionId != kActionBackground &&
         r->actionId != kActionListBackground;
}

void onMouseMove(Shell& shell, float x, float y) {
  UiState& ui = shell.ui;
  if (!ui.pointer.tracking) {
    shell.host.trackMouseLeave(shell.host.self);
    ui.pointer.tracking = true;
  }
  if (ui.volume.drag != VolumeSlider::None) {
    volumeFromX(shell, x);
    return;
  }
  if (ui.settings.sliderDrag != kNoSetting) {
    settingFromX(shell, x);
    return;
  }
  const HitRegion* r = hitTest(shell, x, y);
  const int id = r ? r->actionId : kActionNone;
  const int index = r ? r->itemIndex : -1;
  if (id != ui.pointer.hoverId || index != ui.pointer.hoverIndex) {
    ui.pointer.hoverId = id;
    ui.pointer.hoverIndex = index;
    repaint(shell);
  }
}

void onMouseLeave(Shell& shell) {
  PointerState& pointer = shell.ui.pointer;
  pointer.tracking = false;
  pointer.hoverId = kActionNone;
  pointer.hoverIndex = -1;
  repaint(shell);
}

void onButtonDown(Shell& shell, float x, float y) {
  UiState& ui = shell.ui;
  ui.focus = FocusState{};
  const HitRegion* r = hitTest(shell, x, y);
  if (!r) {
    setPressed(ui.pointer, kActionNone, -1);
    repaint(shell);
    return;
  }
  if (!r->enabled) {
    setPressed(ui.pointer, kActionNone, r->itemIndex);
    repaint(shell);
    return;
  }
  if (r->actionId == kActionMusicSlider || r->actionId == kActionEffectsSlider) {
    ui.volume.drag =
        r->actionId == kActionMusicSlider ? VolumeSlider::Music : VolumeSlider::Effects;
    shell.host.setCapture(shell.host.self);
    volumeFromX(shell, x);
    return;
  }
  if (r->actionId == kActionSettingSlider) {
    ui.settings.sliderDrag = r->itemIndex;
    shell.host.setCapture(shell.host.self);
    settingFromX(shell, x);
    repaint(shell);
    return;
  }
  setPressed(ui.pointer, r->actionId, r->itemIndex);
  shell.host.setCapture(shell.host.self);
  repaint(shell);
}

void onButtonUp(Shell& shell, float x, float y) {
  UiState& ui = shell.ui;
  if (ui.volume.drag != VolumeSlider::None) {
    commitVolume(ui.volume, shell.config.file);
    ui.volume.drag = VolumeSlider::None;
    shell.host.releaseCapture(shell.host.self);
    repaint(shell);
    return;
  }
  if (ui.settings.sliderDrag != kNoSetting) {
    ui.settings.sliderDrag = kNoSetting;
    shell.host.releaseCapture(shell.host.self);
    repaint(shell);
    return;
  }
  const int id = ui.pointer.pressedId;
  const int index = ui.pointer.pressedIndex;
  setPressed(ui.pointer, kActionNone, -1);
  shell.host.releaseCapture(shell.host.self);
  // A click is a press and a release on the same region and item, and that region enabled.
  const HitRegion* r = hitTest(shell, x, y);
  if (id != kActionNone && r && r->actionId == id && r->itemIndex == index && r->enabled) {
    dispatchAction(shell, id, index);
  } else {
    repaint(shell);
  }
}

void onMouseWheel(Shell& shell, float x, float y, int delta) {
  // One notch (120) scrolls 40 units; finer wheels scroll in proportion.
  const float amount = -static_cast<float>(delta) / 120.0f * 40.0f;
  scrollAt(shell, x, y, amount);
  repaint(shell);
}

namespace {

// Where a slider's knob stands (0..1) and how far one key press moves it: a step of the
// value for the sliders that take whole numbers, a twentieth of the track for the others.
struct SliderPlace {
  float fraction = 0;
  float step = 0;
};
SliderPlace sliderPlace(const Shell& shell, const HitRegion& slider) {
  const VolumeState& volume = shell.ui.volume;
  if (slider.actionId == kActionMusicSlider) return {volume.music, 0.05f};
  if (slider.actionId == kActionEffectsSlider) {
    return {static_cast<float>(volume.effects) / 5.0f, 0.2f};
  }
  const ConfigEntry* e = configEntry(slider.itemIndex);
  if (!e || !(e->maximum > e->minimum)) return {};
  const float step = e->decimals > 0 ? 0.05f : 1.0f / (e->maximum - e->minimum);
  return {sliderFraction(shell.config.pending, slider.itemIndex), step};
}

}  // namespace

bool isSlider(int actionId) {
  return actionId == kActionMusicSlider || actionId == kActionEffectsSlider ||
         actionId == kActionSettingSlider;
}

void stepSlider(Shell& shell, const HitRegion& slider, int steps) {
  const SliderTrack* track = sliderTrackOf(shell, slider.actionId, slider.itemIndex);
  const SliderPlace place = sliderPlace(shell, slider);
  if (!track || place.step == 0) return;
  const float t = std::clamp(place.fraction + place.step * static_cast<float>(steps), 0.0f, 1.0f);
  const float x = track->track.left + track->track.width() * t;
  UiState& ui = shell.ui;
  if (slider.actionId == kActionSettingSlider) {
    ui.settings.sliderDrag = slider.itemIndex;
    settingFromX(shell, x);
    ui.settings.sliderDrag = kNoSetting;
    return;
  }
  // A volume is written at once, as at the end of a drag.
  ui.volume.drag =
      slider.actionId == kActionMusicSlider ? VolumeSlider::Music : VolumeSlider::Effects;
  volumeFromX(shell, x);
  commitVolume(ui.volume, shell.config.file);
  ui.volume.drag = VolumeSlider::None;
}
