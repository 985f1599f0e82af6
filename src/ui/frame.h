// One whole frame of the launcher window, drawn through any back end: the backdrop, the
// screens in their order, and the window border.
#pragma once

#include "ui/canvas.h"
#include "ui/header.h"
#include "ui/layout.h"
#include "ui/main_screen.h"
#include "ui/news.h"
#include "ui/popups.h"
#include "ui/settings_pages.h"
#include "ui/side_panel.h"

// Everything a frame shows, copied by the window before painting (the news entries are the
// window's own list, pointed to).
struct FrameView {
  HeaderView header;
  NewsPanelView news;
  SidePanelView side;
  MainScreenView main;
  PopUpView popUp;
  // The advanced settings pages cover the main screen while open.
  bool settingsOpen = false;
  SettingsPagesView settings;
  // Input state of the previous frame (hover and press feedback).
  int hoverId = 0;
  int hoverIndex = -1;
  int pressedId = 0;
  // The region with the keyboard focus (kActionNone: none), ringed over everything.
  int focusId = 0;
  int focusIndex = -1;
};

// Empties the canvas's frame output, clears to Backdrop, draws the background picture (or
// two ember glows without one), then either the advanced settings pages or the main screen
// (the background region, the header, the news panel, the side panel, the status area and the
// pop-up layer over everything), the focus ring and the border.
void paintFrameContent(Canvas& c, const FrameView& view);

// The backdrop alone: the picture scaled to cover the canvas, centred and cropped, under a
// veil; or two ember glows when there is no picture.
void paintBackdrop(Canvas& c);
