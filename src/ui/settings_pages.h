// The advanced settings pages, drawn in place of the main screen while they are open: every
// entry of the game configuration table on its page, with the control of its kind, and the
// buttons that save, play, restore the defaults or cancel.
#pragma once
#include <vector>

#include "gamecfg/config_model.h"
#include "ui/canvas.h"

// What the footer says after a save, for a while.
enum class SaveNotice : int { None, Saved, Failed };

struct SettingsPagesView {
  int page = 0;                         // 0..configPageCount() - 1
  float tabScroll = 0;                  // of the tab column, clamped by the painter
  float pageScroll = 0;                 // clamped by the painter
  int openList = -1;                    // the entry whose option list is open, -1 for none
  float listScroll = 0;                 // of that list, clamped by the painter
  int sliderDrag = -1;                  // the entry whose slider is dragged, -1 for none
  ConfigValues values;                  // the pending values the controls show
  std::vector<DropDownItem> listItems;  // the open list's items (dropDownItems)
  bool gameRunning = false;             // the warning band shows
  SaveNotice notice = SaveNotice::None;
  bool canPlay = true;  // "Save & play" is enabled: ready to play, and the game not running
};

// The page's rows as laid out for the canvas's fonts: each entry of the page with its row's
// rectangle at scroll 0 and its control's.
struct SettingsRowLayout {
  int entry = -1;
  RectF row;
  RectF control;
};
struct SettingsPageLayout {
  RectF viewport;  // where the rows show; the wheel scrolls them within it
  float contentHeight = 0;
  float scrollLimit = 0;
  std::vector<SettingsRowLayout> rows;
};
SettingsPageLayout layoutSettingsPage(Canvas& c, const SettingsPagesView& view);

// How far the tab column scrolls for pageCount tabs: 0 while they fit its card (seven do).
float settingsTabsScrollLimit(int pageCount);
// The tab column's offset that shows page's tab whole, nearest to the top.
float settingsTabScrollShowing(int page);

// Draws the pages (caption band with the window buttons, tabs, the page's card, the footer)
// and, over them, the open option list. Registers the window buttons (1, 2, 3), the tabs (23,
// item = page), the controls of the page's entries (24 with item entry * 16 + option, 25, 28
// and 29 with item = entry; each slider's track with addSliderTrack(29, entry)), the buttons
// (30 to 33) and, while a list is open, its background (27) and rows (26, item = position).
// The page and the open list publish their scroll areas (SettingsPage, SettingsList), and the
// tab column its own (SettingsTabs) when it holds more tabs than fit. No
// background region: a drag on nothing in the caption band moves the window.
void paintSettingsPages(Canvas& c, const SettingsPagesView& view);
