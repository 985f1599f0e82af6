// Focus order and focus ring.
#include "ui/focus.h"

#include <algorithm>

#include "ui/action_ids.h"

namespace {

bool isBackground(const HitRegion& r) {
  return r.actionId == kActionBackground || r.actionId == kActionListBackground;
}

float middle(const RectF& r) { return (r.top + r.bottom) / 2.0f; }

// The ring stands this far outside the region, so that it does not hide the control's edge.
constexpr float kRingGap = 3.0f;

}  // namespace

bool onOneLine(const RectF& a, const RectF& b) {
  const float ma = middle(a), mb = middle(b);
  return (ma >= b.top && ma < b.bottom) || (mb >= a.top && mb < a.bottom);
}

std::vector<const HitRegion*> focusOrder(const std::vector<HitRegion>& regions) {
  std::size_t first = 0;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    if (isBackground(regions[i])) first = i + 1;
  }
  std::vector<const HitRegion*> order;
  for (std::size_t i = first; i < regions.size(); ++i) {
    if (regions[i].enabled && !isBackground(regions[i])) order.push_back(&regions[i]);
  }
  const auto leftOf = [](const HitRegion* a, const HitRegion* b) {
    return a->rect.left < b->rect.left;
  };
  for (auto run = order.begin(); run != order.end();) {
    auto end = run + 1;
    while (end != order.end() && onOneLine((*run)->rect, (*end)->rect)) ++end;
    std::stable_sort(run, end, leftOf);
    run = end;
  }
  return order;
}

const HitRegion* findRegion(const std::vector<HitRegion>& regions, int actionId, int itemIndex) {
  for (auto it = regions.rbegin(); it != regions.rend(); ++it) {
    if (it->actionId == actionId && it->itemIndex == itemIndex) return &*it;
  }
  return nullptr;
}

void paintFocusRing(Canvas& c, int actionId, int itemIndex) {
  if (actionId == kActionNone || !c.output) return;
  const HitRegion* r = findRegion(c.output->hitRegions, actionId, itemIndex);
  if (!r) return;
  const RectF ring = {r->rect.left - kRingGap, r->rect.top - kRingGap, r->rect.right + kRingGap,
                      r->rect.bottom + kRingGap};
  strokeRect(c, ring, 6.0f, colours::LightGold, 1.0f, 2.0f);
}
