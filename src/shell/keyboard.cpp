// The keyboard: the focus moves through the regions the last frame published (focusOrder),
// Enter and Space act on the focused one as a click does, arrows move within a list, a row of
// tabs or options, or step a slider, and Escape closes what is open.
//
//   moves      the focused region's place in the order, Tab and arrows, revealing what a
//              scrolled list or page hides
//   keys       onKeyDown, onFramePainted
#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

#include "shell/shell.h"
#include "ui/action_ids.h"
#include "ui/focus.h"

namespace {

void repaint(Shell& shell) { shell.host.repaint(shell.host.self); }

PointF centre(const RectF& r) { return {(r.left + r.right) / 2.0f, (r.top + r.bottom) / 2.0f}; }

const ScrollArea* areaOf(const Shell& shell, const HitRegion* r) {
  if (!r) return nullptr;
  const PointF c = centre(r->rect);
  return scrollAreaAt(shell, c.x, c.y);
}

struct Order {
  std::vector<const HitRegion*> regions;
  int focused = -1;  // the focused region's place, -1 when the frame does not show it
};

Order focusOrderOf(const Shell& shell) {
  Order order;
  if (!shell.frame) return order;
  order.regions = focusOrder(shell.frame->hitRegions);
  const FocusState& focus = shell.ui.focus;
  for (std::size_t i = 0; i < order.regions.size(); ++i) {
    const HitRegion& r = *order.regions[i];
    if (focus.id != kActionNone && r.actionId == focus.id && r.itemIndex == focus.index) {
      order.focused = static_cast<int>(i);
    }
  }
  return order;
}

void focusOn(Shell& shell, const HitRegion& r) {
  shell.ui.focus.id = r.actionId;
  shell.ui.focus.index = r.itemIndex;
  repaint(shell);
}

// Scrolls the area holding the focused region by amount to show what lies beyond it; the
// move is made again once the next frame shows it. False when the area is at that end (or
// the region in none).
bool reveal(Shell& shell, const HitRegion& from, float amount, Key key) {
  const ScrollArea* area = areaOf(shell, &from);
  if (!area || !scrollBy(shell, *area, amount)) return false;
  shell.ui.focus.pendingKey = static_cast<int>(key);
  repaint(shell);
  return true;
}

// Tab leaving a scrolled area takes the focused region to the area's top (backwards: its
// bottom), so that what followed it shows; one that is there already moves by its height.
float pageAmount(const Shell& shell, const HitRegion& from, int step) {
  const ScrollArea* area = areaOf(shell, &from);
  if (!area) return 0;
  const float amount =
      step > 0 ? from.rect.top - area->rect.top : from.rect.bottom - area->rect.bottom;
  return std::fabs(amount) < 1.0f ? static_cast<float>(step) * from.rect.height() : amount;
}

// Tab (step 1) and Shift+Tab (-1): the next region of the order, round at its ends; leaving a
// list or page that scrolls on first reveals the rest of it.
void moveInOrder(Shell& shell, const Order& order, int step, Key key, bool mayReveal) {
  const int n = static_cast<int>(order.regions.size());
  if (n == 0) return;
  if (order.focused < 0) {
    focusOn(shell, *order.regions[static_cast<std::size_t>(step > 0 ? 0 : n - 1)]);
    return;
  }
  const HitRegion* from = order.regions[static_cast<std::size_t>(order.focused)];
  const int next = order.focused + step;
  const HitRegion* to =
      next >= 0 && next < n ? order.regions[static_cast<std::size_t>(next)] : nullptr;
  const ScrollArea* area = areaOf(shell, from);
  if (mayReveal && area && areaOf(shell, to) != area &&
      reveal(shell, *from, pageAmount(shell, *from, step), key)) {
    return;
  }
  focusOn(shell, *order.regions[static_cast<std::size_t>((next + n) % n)]);
}

// Arrows: the nearest region of the focused one's action id in the order's direction, along
// its line (Left, Right) or on another line (Up, Down); at the visible end of a list that
// scrolls on, the list scrolls first. Without a focus shown, the first or last of the order.
void moveAmongItems(Shell& shell, const Order& order, Key key, bool mayReveal) {
  const int step = key == Key::Left || key == Key::Up ? -1 : 1;
  if (order.focused < 0) {
    moveInOrder(shell, order, step, key, false);
    return;
  }
  const HitRegion& from = *order.regions[static_cast<std::size_t>(order.focused)];
  const bool alongLine = key == Key::Left || key == Key::Right;
  const auto sameGroup = [&](const HitRegion& r) {
    return r.actionId == from.actionId && onOneLine(r.rect, from.rect) == alongLine;
  };
  const int n = static_cast<int>(order.regions.size());
  for (int i = order.focused + step; i >= 0 && i < n; i += step) {
    const HitRegion& r = *order.regions[static_cast<std::size_t>(i)];
    if (sameGroup(r)) {
      focusOn(shell, r);
      return;
    }
  }
  if (!mayReveal || alongLine) return;
  // One row on: the distance to the row before it, or its own height when it is alone.
  float pitch = from.rect.height();
  for (int i = order.focused - step; i >= 0 && i < n; i -= step) {
    const HitRegion& r = *order.regions[static_cast<std::size_t>(i)];
    if (sameGroup(r)) {
      pitch = std::fabs(from.rect.top - r.rect.top);
      break;
    }
  }
  reveal(shell, from, static_cast<float>(step) * pitch, key);
}

void moveFocus(Shell& shell, Key key, bool mayReveal) {
  const Order order = focusOrderOf(shell);
  if (key == Key::Tab || key == Key::BackTab) {
    moveInOrder(shell, order, key == Key::Tab ? 1 : -1, key, mayReveal);
    return;
  }
  if (order.focused >= 0) {
    const HitRegion& focused = *order.regions[static_cast<std::size_t>(order.focused)];
    if (isSlider(focused.actionId)) {
      stepSlider(shell, focused, key == Key::Left || key == Key::Down ? -1 : 1);
      return;
    }
  }
  moveAmongItems(shell, order, key, mayReveal);
}

// The layer the keyboard is in: 0 the main screen, 1 the settings pages, 2 a pop-up or an
// option list over either.
int layerOf(const UiState& ui) {
  if (ui.popUp.open != PopUp::None || (ui.settings.open && ui.settings.openList != kNoSetting)) {
    return 2;
  }
  return ui.settings.open ? 1 : 0;
}

// Runs what a key does; a layer it opens remembers the focused region, and one it closes gives
// the focus back to the region that opened it.
void keepingFocus(Shell& shell, const std::function<void()>& act) {
  const int before = layerOf(shell.ui);
  const std::pair<int, int> focused = {shell.ui.focus.id, shell.ui.focus.index};
  act();
  FocusState& focus = shell.ui.focus;
  const int after = layerOf(shell.ui);
  if (after > before) focus.openers[after] = focused;
  if (after < before) std::tie(focus.id, focus.index) = focus.openers[before];
}

// Escape: the innermost open thing first.
void escape(Shell& shell) {
  UiState& ui = shell.ui;
  if (ui.settings.open) {
    if (ui.settings.openList != kNoSetting) {
      ui.settings.openList = kNoSetting;
    } else {
      closeSettingsPages(ui);
    }
    repaint(shell);
  } else if (ui.popUp.open != PopUp::None) {
    ui.popUp.open = PopUp::None;
    repaint(shell);
  } else {
    dispatchAction(shell, kActionMinimise, -1);
  }
}

// Enter and Space on the focused region: what a click on it does (a slider takes arrows).
// Without one shown, Enter plays.
void activate(Shell& shell, Key key) {
  const Order order = focusOrderOf(shell);
  if (order.focused >= 0) {
    const HitRegion& r = *order.regions[static_cast<std::size_t>(order.focused)];
    if (!isSlider(r.actionId)) dispatchAction(shell, r.actionId, r.itemIndex);
    return;
  }
  if (key == Key::Enter) dispatchAction(shell, kActionPlay, -1);
}

}  // namespace

void onKeyDown(Shell& shell, Key key) {
  shell.ui.focus.pendingKey = 0;
  switch (key) {
    case Key::Enter:
    case Key::Space:
      keepingFocus(shell, [&] { activate(shell, key); });
      break;
    case Key::Escape:
      keepingFocus(shell, [&] { escape(shell); });
      break;
    case Key::Tab:
    case Key::BackTab:
    case Key::Left:
    case Key::Right:
    case Key::Up:
    case Key::Down:
      moveFocus(shell, key, true);
      break;
    case Key::Other:
      break;
  }
}

void onFramePainted(Shell& shell) {
  const int pending = shell.ui.focus.pendingKey;
  if (pending == 0) return;
  shell.ui.focus.pendingKey = 0;
  moveFocus(shell, static_cast<Key>(pending), false);
}
