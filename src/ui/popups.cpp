// The pop-up lists: a card over a background region, 32-unit rows, the current entry marked.
#include "ui/popups.h"

#include <algorithm>

#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/layout.h"

namespace {

int rowCount(const PopUpView& v) {
  return v.open == PopUp::LanguageList ? kClientLanguageCount
                                       : static_cast<int>(v.resolutionRows.size());
}

void paintRow(Canvas& c, int actionId, RectF row, RectF clip, int index, const std::wstring& label,
              bool current) {
  const bool hovered = c.hoverId == actionId && c.hoverIndex == index;
  if (hovered || current) {
    roundRect(c, current ? colours::Gold : colours::Peach, current ? 0.12f : 0.08f, 0, 0.0f, row,
              4.0f);
  }
  drawText(c, label, TextFormat::Semibold13_5,
           current   ? colours::LightGold
           : hovered ? colours::LightGold
                     : colours::Text,
           1.0f, {row.left + 12.0f, row.top, row.right - 30.0f, row.bottom}, HAlign::Default,
           VAlign::Centre);
  if (current) {
    drawText(c, L"\uE73E", TextFormat::Icons10, colours::Gold, 1.0f,
             {row.right - 26.0f, row.top, row.right - 10.0f, row.bottom});
  }
  // A row half scrolled out is clickable only where it shows.
  const RectF visible = {row.left, std::max(row.top, clip.top), row.right,
                         std::min(row.bottom, clip.bottom)};
  addHitRegion(c, actionId, visible, true, index);
}

}  // namespace

RectF popUpRect(PopUp kind, int rows) {
  const std::size_t n = static_cast<std::size_t>(std::max(rows, 0));
  switch (kind) {
    case PopUp::ResolutionList:
      return resolutionListRect(n);
    case PopUp::LanguageList:
      return languageListRect(n);
    default:
      return {};
  }
}

float popUpScrollLimit(PopUp kind, int rows) {
  const float content = static_cast<float>(rows) * kPopUpRowHeight + kPopUpPadding;
  return std::max(content - popUpRect(kind, rows).height(), 0.0f);
}

void paintPopUpLayer(Canvas& c, const PopUpView& v) {
  if (v.open == PopUp::None) return;
  const int rows = rowCount(v);
  const RectF card = popUpRect(v.open, rows);
  addHitRegion(c, kActionBackground, kCanvasRect, true, -1);
  roundRect(c, 0x1A0E0C, 0.98f, colours::Gold, 0.35f, card, 8.0f);
  const float scroll = std::clamp(v.scroll, 0.0f, popUpScrollLimit(v.open, rows));
  const RectF clip = {card.left, card.top + 4.0f, card.right, card.bottom - 4.0f};
  pushClip(c, clip);
  for (int i = 0; i < rows; ++i) {
    const float top = card.top + 4.0f + static_cast<float>(i) * kPopUpRowHeight - scroll;
    if (top + kPopUpRowHeight <= card.top || top >= card.bottom) continue;
    const RectF row = {card.left + 4.0f, top, card.right - 4.0f, top + kPopUpRowHeight};
    if (v.open == PopUp::LanguageList) {
      paintRow(c, kActionChooseLanguage, row, clip, i, clientLanguage(i).displayName,
               i == v.currentLanguage);
    } else {
      paintRow(c, kActionChooseResolution, row, clip, i,
               v.resolutionRows[static_cast<std::size_t>(i)], i == v.currentResolution);
    }
  }
  popClip(c);
  if (v.open == PopUp::ResolutionList)
    addScrollArea(c, ScrollKind::PopUpList, card, popUpScrollLimit(v.open, rows));
}
