// The pop-up layer, drawn last so that it lies over everything: the resolution list of the
// side panel and the language list of the header.
#pragma once
#include <string>
#include <vector>

#include "ui/canvas.h"

// The pop-up list that is open over the main screen.
enum class PopUp : int { None, ResolutionList, LanguageList };

struct PopUpView {
  PopUp open = PopUp::None;
  float scroll = 0;                          // the resolution list's, clamped by the painter
  std::vector<std::wstring> resolutionRows;  // "1920 × 1080", in the list's order
  int currentResolution = -1;                // marked row, -1 for none
  int currentLanguage = 0;                   // the client language's index
};

// The open pop-up's rectangle for its number of rows; empty for None.
RectF popUpRect(PopUp kind, int rows);
// The resolution list's scroll limit for its number of rows.
float popUpScrollLimit(PopUp kind, int rows);

// Registers the background (22) under the card, so that a click beside the list closes it,
// then the card with one row per entry: 12 (mode) or 13 (client language).
void paintPopUpLayer(Canvas& c, const PopUpView& view);

// A list card as the pop-up lists and the settings pages' option lists draw it: the card, and
// inside it, clipped, one kPopUpRowHeight row per label from 4 units below its top edge moved
// up by scroll, the current one marked; each row that shows registers actionId with its
// position, clipped to where it shows. scroll must lie within listScrollLimit.
void paintListCard(Canvas& c, int actionId, RectF card, const std::vector<std::wstring>& labels,
                   int current, float scroll);
// How far a list card of that height scrolls for rows rows.
float listScrollLimit(int rows, float cardHeight);
