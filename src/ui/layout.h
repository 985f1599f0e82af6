// The fixed rectangles of the launcher window, each named once, in canvas units (96 dpi;
// left, top, right, bottom). Painters draw into them; the shell reads them only for panels
// that do not publish their own geometry yet. What a painter works out while drawing (hit
// regions, slider tracks, scrollable areas) it publishes with the frame (FrameOutput).
//
//   canvas         the window's client area
//   header         the band of its controls
//   news panel     the panel and its scrolling list
//   side panel     the settings card and its resolution box
//   pop-up lists   the resolution list and the language list, by their number of entries
//   status area    the status and progress area and the main button
//   window moving  where the borderless window is moved by a drag on nothing else
//   settings pages the page tabs, the page's card, the footer and its buttons, the option
//                  lists
#pragma once
#include <algorithm>
#include <cstddef>

#include "ui/canvas.h"

inline constexpr float kCanvasWidth = 1130.0f;
inline constexpr float kCanvasHeight = 690.0f;
inline constexpr RectF kCanvasRect = {0.0f, 0.0f, kCanvasWidth, kCanvasHeight};

// Every control of the header lies on this band: the links from the left, the window buttons
// from the right edge inwards. Below the links, the logo, or the drawn title without it.
inline constexpr float kHeaderControlsTop = 16.0f;
inline constexpr float kHeaderControlsBottom = 46.0f;
inline constexpr float kHeaderLinksLeft = 36.0f;
inline constexpr float kWindowButtonsRight = 1090.0f;
inline constexpr RectF kDrawnTitleRect = {36.0f, 70.0f, 600.0f, 140.0f};

inline constexpr RectF kNewsPanelRect = {36.0f, 176.0f, 636.0f, 552.0f};
// The news panel's list, where the wheel scrolls it; its rows as drawn lie a little inside.
inline constexpr RectF kNewsListRect = {406.0f, 270.0f, 618.0f, 540.0f};
inline constexpr RectF kNewsRowsRect = {kNewsPanelRect.left + 370.0f, kNewsPanelRect.top + 98.0f,
                                        kNewsPanelRect.right - 18.0f,
                                        kNewsPanelRect.bottom - 16.0f};
inline constexpr float kNewsRowPitch = 66.0f;
inline constexpr float kNewsRowHeight = 58.0f;

inline constexpr RectF kSidePanelRect = {796.0f, 74.0f, 1098.0f, 552.0f};
// The controls of the side panel lie 20 units inside its edges.
inline constexpr float kSidePanelInset = 20.0f;
// The box that shows the configured resolution; the resolution list hangs from its bottom.
inline constexpr RectF kResolutionBoxRect = {kSidePanelRect.left + kSidePanelInset, 160.0f,
                                             kSidePanelRect.right - kSidePanelInset, 196.0f};

// Pop-up lists hold one row per entry and 8 units of padding in all.
inline constexpr float kPopUpRowHeight = 32.0f;
inline constexpr float kPopUpPadding = 8.0f;
// The resolution list hangs below the side panel's resolution box and is at most 260 high; a
// longer list scrolls inside it.
inline constexpr float kResolutionListMaxHeight = 260.0f;
constexpr RectF resolutionListRect(std::size_t entries) {
  const float height = std::min(static_cast<float>(entries) * kPopUpRowHeight + kPopUpPadding,
                                kResolutionListMaxHeight);
  return {kResolutionBoxRect.left, kResolutionBoxRect.bottom, kResolutionBoxRect.right,
          kResolutionBoxRect.bottom + height};
}
// The language list hangs below the header's language selector, as long as its entries.
constexpr RectF languageListRect(std::size_t entries) {
  return {830.0f, 50.0f, 1018.0f,
          50.0f + static_cast<float>(entries) * kPopUpRowHeight + kPopUpPadding};
}

inline constexpr float kStatusTop = 572.0f;
inline constexpr RectF kStatusArea = {0.0f, kStatusTop, kCanvasWidth, kCanvasHeight};
inline constexpr RectF kMainButtonRect = {800.0f, kStatusTop + 26.0f, 1098.0f, kStatusTop + 88.0f};
// The progress bar's track, from the end of the percentage to the end of the speed line; while
// a download can be paused or resumed, it ends short of the pause control, which is centred on
// the bar's line and ends where the bar does otherwise.
inline constexpr RectF kProgressTrackRect = {160.0f, kStatusTop + 56.0f, 770.0f,
                                             kStatusTop + 62.0f};
inline constexpr RectF kPauseControlRect = {740.0f, kStatusTop + 44.0f, 770.0f, kStatusTop + 74.0f};
inline constexpr float kProgressTrackRightBesidePause = kPauseControlRect.left - 10.0f;

// With the main screen shown: the band at the top, and the gap between the news panel and the
// side panel (without its left and right edges) down to the status area.
inline constexpr RectF kCaptionBand = {0.0f, 0.0f, kCanvasWidth, 170.0f};
inline constexpr RectF kCaptionGap = {640.0f, kCaptionBand.bottom, 790.0f, kStatusTop};
// With the advanced settings pages shown: the band at their top.
inline constexpr RectF kSettingsCaptionBand = {0.0f, 0.0f, kCanvasWidth, 90.0f};

// The advanced settings pages, in place of the main screen: the title in the caption band, the
// page tabs in a card on the left, the page's card beside them (the same height as the main
// screen's panels), and a footer over the status area whose "Save & play" stands where PLAY
// stands.
inline constexpr RectF kSettingsTabsRect = {36.0f, 96.0f, 296.0f, kSidePanelRect.bottom};
inline constexpr RectF kSettingsPageRect = {308.0f, 96.0f, kSidePanelRect.right,
                                            kSidePanelRect.bottom};
inline constexpr float kSettingsTabPitch = 62.0f;
inline constexpr float kSettingsTabHeight = 56.0f;
inline constexpr RectF kSettingsFooterRect = kStatusArea;
inline constexpr RectF kSaveAndPlayRect = kMainButtonRect;
// An option list shows at most this many rows and scrolls the rest.
inline constexpr int kSettingsListRows = 6;
