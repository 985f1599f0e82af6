// The side panel of the main screen: the game client's most used settings (resolution, window
// mode, music and effects volume) and the buttons to the advanced settings pages, the repair
// run, the community and the web site. The resolution list it opens is drawn by the pop-up
// layer (popups.h).
#pragma once
#include <string>

#include "ui/canvas.h"

// A volume slider of the panel (the one being dragged).
enum class VolumeSlider : int { None, Music, Effects };

struct SidePanelView {
  // The client's configured resolution as numbers ("WIDTH" and "HEIGHT", 1024 and 768 when
  // absent) and window mode ("WINDOWED", on when absent).
  long width = 1024;
  long height = 768;
  bool windowed = true;
  // The window's volumes, which follow a drag before the file does.
  float musicVolume = 1.0f;  // 0..1
  int effectsVolume = 5;     // 0..5
  VolumeSlider dragging = VolumeSlider::None;
  bool resolutionListOpen = false;
  bool runActive = false;   // an update run is going on: "Repair files" is dimmed
  bool hasDiscord = false;  // the "discord" link has an address
};

// Draws the card into kSidePanelRect and registers the resolution box (11), the window-mode
// switch (14), the music and effects sliders (15, 16) with their tracks (addSliderTrack, item
// -1), "Advanced settings" (17), "Repair files" (18, disabled while a run is active),
// "Discord" (19, only with an address) and "Website" (20).
void paintSidePanel(Canvas& c, const SidePanelView& view);
