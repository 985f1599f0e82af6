// Keyboard focus over what a frame published: the order in which Tab visits the hit regions,
// and the ring that shows which one has the focus. Nothing here keeps a list of controls of
// its own: a painter's new region joins the order by where it is drawn.
#pragma once
#include <vector>

#include "ui/canvas.h"

// Whether two regions lie on one line: either holds the other's vertical middle.
bool onOneLine(const RectF& a, const RectF& b);

// The regions Tab visits, in reading order: the enabled regions drawn after the last
// background region (kActionBackground, kActionListBackground; an open list's background
// covers what lies under it from the mouse, so from the keyboard too), in drawing order,
// with each run of consecutive regions on one line taken from left to right (a header row
// drawn from its right edge inwards reads from the left).
std::vector<const HitRegion*> focusOrder(const std::vector<HitRegion>& regions);

// The topmost region with that action id and item; null when the frame has none.
const HitRegion* findRegion(const std::vector<HitRegion>& regions, int actionId, int itemIndex);

// A ring drawn outside the focused region of the canvas's frame output, over everything;
// nothing when actionId is kActionNone or the frame has no such region.
void paintFocusRing(Canvas& c, int actionId, int itemIndex);
