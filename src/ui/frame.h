// One whole frame of the launcher window, drawn through any back end: the backdrop, the
// screens in their order, and the window border.
#pragma once

#include "ui/canvas.h"
#include "ui/layout.h"
#include "ui/main_screen.h"

// Everything a frame shows, copied by the window before painting.
struct FrameView {
  MainScreenView main;
  // Input state of the previous frame (hover and press feedback).
  int hoverId = 0;
  int hoverIndex = -1;
  int pressedId = 0;
};

// Empties the canvas's frame output, clears to Backdrop, draws the background picture (or
// two ember glows without one), the screens and the border. The header, news panel and side
// panel keep their rectangles empty until they are drawn here.
void paintFrameContent(Canvas& c, const FrameView& view);

// The backdrop alone: the picture scaled to cover the canvas, centred and cropped, under a
// veil; or two ember glows when there is no picture.
void paintBackdrop(Canvas& c);
