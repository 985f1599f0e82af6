// Mouse and keyboard: hit testing against the last frame's regions, hover, press and capture,
// the caption of the borderless window, cursors, sliders, the wheel, Enter and Escape.
#include <algorithm>
#include <cstdio>

#include "gamecfg/game_config.h"
#include "i18n/strings.h"
#include "shell/shell.h"
#include "ui/action_ids.h"

namespace {

void repaint(Shell& shell) { shell.host.repaint(shell.host.self); }

// The news panel's scrolling list.
constexpr RectF kNewsList = {406.0f, 270.0f, 618.0f, 540.0f};

bool inside(RectF r, float x, float y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

const HitRegion* regionOf(const Shell& shell, int actionId) {
  if (!shell.regions) return nullptr;
  for (auto it = shell.regions->rbegin(); it != shell.regions->rend(); ++it) {
    if (it->actionId == actionId) return &*it;
  }
  return nullptr;
}

// The volume sliders' clickable band reaches 10 units beyond both ends of the track, so the
// last frame's region of the slider gives its track.
void volumeFromX(Shell& shell, float x) {
  const HitRegion* slider =
      regionOf(shell, shell.ui.volumeDrag == 1 ? kActionMusicSlider : kActionEffectsSlider);
  if (!slider) return;
  const float left = slider->rect.left + 10.0f;
  const float right = slider->rect.right - 10.0f;
  if (!(right > left)) return;
  const float t = std::clamp((x - left) / (right - left), 0.0f, 1.0f);
  if (shell.ui.volumeDrag == 1) {
    shell.ui.musicVolume = t;
  } else {
    shell.ui.effectsVolume = static_cast<int>(t * 5.0f + 0.5f);
  }
  repaint(shell);
}

void commitVolume(Shell& shell) {
  char text[32];
  if (shell.ui.volumeDrag == 1) {
    std::snprintf(text, sizeof text, "%.3f", std::clamp(shell.ui.musicVolume, 0.0f, 1.0f));
    setConfigValue("MUSIC_VOLUME", text);
  } else if (shell.ui.volumeDrag == 2) {
    std::snprintf(text, sizeof text, "%d", std::clamp(shell.ui.effectsVolume, 0, 5));
    setConfigValue("VOICE_VOLUME", text);
  }
}

}  // namespace

const HitRegion* hitTest(const Shell& shell, float x, float y) {
  return shell.regions ? findHitRegion(*shell.regions, x, y) : nullptr;
}

RectF openListRect(const UiState& ui) {
  if (ui.openList == 1) {
    const float n = static_cast<float>(ui.displayModes.size());
    return {816.0f, 196.0f, 1078.0f, 196.0f + std::min(n * 32.0f + 8.0f, 260.0f)};
  }
  if (ui.openList == 2) {
    return {830.0f, 50.0f, 1018.0f, 50.0f + kClientLanguageCount * 32.0f + 8.0f};
  }
  return {};
}

bool isCaption(const Shell& shell, float x, float y) {
  const HitRegion* r = hitTest(shell, x, y);
  if (shell.ui.settingsOpen) return shell.ui.settingsList < 0 && !r && y < 90.0f;
  if (shell.ui.openList != 0 || (r && r->actionId != kActionBackground)) return false;
  if (y < 170.0f) return true;
  // The gap between the news and the side panel moves the window down to the status area.
  if (x > 640.0f && x < 790.0f) return y < 572.0f;
  return false;
}

bool showsHandCursor(const Shell& shell, float x, float y) {
  const HitRegion* r = hitTest(shell, x, y);
  return r && r->enabled && r->actionId != kActionBackground &&
         r->actionId != kActionListBackground;
}

void onMouseMove(Shell& shell, float x, float y) {
  UiState& ui = shell.ui;
  if (!ui.mouseTracking) {
    shell.host.trackMouseLeave(shell.host.self);
    ui.mouseTracking = true;
  }
  if (ui.volumeDrag != 0) {
    volumeFromX(shell, x);
    return;
  }
  // A settings slider is moved by the advanced settings pages' model; the drag holds the
  // mouse meanwhile and leaves the hover alone.
  if (ui.settingSliderDrag >= 0) return;
  const HitRegion* r = hitTest(shell, x, y);
  const int id = r ? r->actionId : 0;
  const int index = r ? r->itemIndex : -1;
  if (id != ui.hoverId || index != ui.hoverIndex) {
    ui.hoverId = id;
    ui.hoverIndex = index;
    repaint(shell);
  }
}

void onMouseLeave(Shell& shell) {
  shell.ui.mouseTracking = false;
  shell.ui.hoverId = 0;
  shell.ui.hoverIndex = -1;
  repaint(shell);
}

void onButtonDown(Shell& shell, float x, float y) {
  UiState& ui = shell.ui;
  const HitRegion* r = hitTest(shell, x, y);
  if (!r) {
    ui.pressedId = 0;
    ui.pressedIndex = -1;
    repaint(shell);
    return;
  }
  if (!r->enabled) {
    ui.pressedId = 0;
    ui.pressedIndex = r->itemIndex;
    repaint(shell);
    return;
  }
  if (r->actionId == kActionMusicSlider || r->actionId == kActionEffectsSlider) {
    ui.volumeDrag = r->actionId == kActionMusicSlider ? 1 : 2;
    shell.host.setCapture(shell.host.self);
    volumeFromX(shell, x);
    return;
  }
  if (r->actionId == kActionSettingSlider) {
    ui.settingSliderDrag = r->itemIndex;
    shell.host.setCapture(shell.host.self);
    return;
  }
  ui.pressedId = r->actionId;
  ui.pressedIndex = r->itemIndex;
  shell.host.setCapture(shell.host.self);
  repaint(shell);
}

void onButtonUp(Shell& shell, float x, float y) {
  UiState& ui = shell.ui;
  if (ui.volumeDrag != 0) {
    commitVolume(shell);
    ui.volumeDrag = 0;
    shell.host.releaseCapture(shell.host.self);
    repaint(shell);
    return;
  }
  if (ui.settingSliderDrag >= 0) {
    ui.settingSliderDrag = -1;
    shell.host.releaseCapture(shell.host.self);
    repaint(shell);
    return;
  }
  const int id = ui.pressedId;
  const int index = ui.pressedIndex;
  ui.pressedId = 0;
  ui.pressedIndex = -1;
  shell.host.releaseCapture(shell.host.self);
  // A click is a press and a release on the same region and item, and that region enabled.
  const HitRegion* r = hitTest(shell, x, y);
  if (id != 0 && r && r->actionId == id && r->itemIndex == index && r->enabled) {
    dispatchAction(shell, id, index);
  } else {
    repaint(shell);
  }
}

void onMouseWheel(Shell& shell, float x, float y, int delta) {
  UiState& ui = shell.ui;
  // One notch (120) scrolls 40 units; finer wheels scroll in proportion.
  const float amount = -static_cast<float>(delta) / 120.0f * 40.0f;
  if (ui.settingsOpen) {
    if (ui.settingsList >= 0) {
      ui.settingsListScroll += amount;
    } else {
      ui.pageScroll += amount;
    }
  } else if (ui.openList != 0 && inside(openListRect(ui), x, y)) {
    ui.listScroll += amount;
  } else if (inside(kNewsList, x, y)) {
    ui.newsScroll += amount;
  }
  repaint(shell);
}

void onKeyDown(Shell& shell, Key key) {
  UiState& ui = shell.ui;
  if (key == Key::Enter) {
    dispatchAction(shell, kActionPlay, -1);
  } else if (key == Key::Escape) {
    if (ui.settingsOpen) {
      if (ui.settingsList < 0) {
        ui.settingsOpen = false;
        ui.settingSliderDrag = -1;
      }
      ui.settingsList = -1;
      repaint(shell);
    } else if (ui.openList != 0) {
      ui.openList = 0;
      repaint(shell);
    } else {
      dispatchAction(shell, kActionMinimise, -1);
    }
  }
}
