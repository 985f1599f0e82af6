// The frame: backdrop, screens, border.
#include "ui/frame.h"

#include <algorithm>

#include "ui/action_ids.h"
#include "ui/focus.h"

void paintBackdrop(Canvas& c) {
  float w = 0, h = 0;
  if (imageSize(c, ImageId::Background, &w, &h) && w > 0 && h > 0) {
    // Cover: the larger of the two scales, so neither side leaves an empty band.
    const float s = std::max(kCanvasHeight / h, kCanvasWidth / w);
    drawImage(c, ImageId::Background,
              {(kCanvasWidth - w * s) / 2.0f, (kCanvasHeight - h * s) / 2.0f,
               (kCanvasWidth + w * s) / 2.0f, (kCanvasHeight + h * s) / 2.0f},
              1.0f);
    fillRect(c, kCanvasRect, colours::Shade, 0.45f);
    gradientRect(c, colours::Shade, 0.8f, colours::Shade, 0.0f, {0, 0, 700.6f, kCanvasHeight}, 0,
                 {0, 0}, {700.6f, 0});
    gradientRect(c, colours::Shade, 0.75f, colours::Shade, 0.0f, {0, 0, kCanvasWidth, 90.0f}, 0,
                 {0, 0}, {0, 90.0f});
    gradientRect(c, colours::Shade, 0.0f, colours::Shade, 0.85f,
                 {0, 430.0f, kCanvasWidth, kCanvasHeight}, 0, {0, 430.0f}, {0, kCanvasHeight});
  } else {
    drawGlow(c, colours::Ember, {-120.0f, -100.0f, 720.0f, 620.0f}, 0.45f);
    drawGlow(c, colours::DeepEmber, {590.0f, -140.0f, 1230.0f, 380.0f}, 0.45f);
  }
}

void paintFrameContent(Canvas& c, const FrameView& view) {
  if (c.output) clearFrameOutput(*c.output);
  c.ops->clear(c.self, colours::Backdrop);
  paintBackdrop(c);
  if (view.settingsOpen) {
    paintSettingsPages(c, view.settings);
  } else {
    // Under everything: a click on nothing closes a pop-up list, and a drag there moves the
    // window.
    addHitRegion(c, kActionBackground, kCanvasRect, true, -1);
    paintHeader(c, view.header);
    paintNewsPanel(c, view.news);
    paintSidePanel(c, view.side);
    paintStatusArea(c, view.main);
    paintPopUpLayer(c, view.popUp);
  }
  paintFocusRing(c, view.focusId, view.focusIndex);
  strokeRect(c, {0.5f, 0.5f, kCanvasWidth - 0.5f, kCanvasHeight - 0.5f}, 0, colours::Peach, 0.1f,
             1.0f);
}
