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

void paintRow(Canvas& c, int actionId, RectF row, RectF clip, int index, std::wstring_view label,
              bool current) {
  const bool hovered = c.hoverId == actionId && c.hoverIndex == index;
  if (hovered || current) {
    roundRect(c, current ? colours::Gold : colours::Peach, current ? 0.12f : 0.08f, 0, 0.0f, row,
              4.0f);
  }
  drawText(c, label, TextFormat::Semibold13_5,
           current || hovered ? colours::LightGold : colours::Text, 1.0f,
           {row.left + 12.0f, row.top, row.right - 30.0f, row.bottom}, HAlign::Default,
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

float listScrollLimit(int rows, float cardHeight) {
  const float content = static_cast<float>(std::max(rows, 0)) * kPopUpRowHeight + kPopUpPadding;
  return std::max(content - cardHeight, 0.0f);
}

void paintListCard(Canvas& c, int actionId, RectF card, const std::vector<std::wstring>& labels,
                   int current, float scroll) {
  // Opaque, so that nothing of what lies under the list shows through its rows.
  roundRect(c, colours::Card, 1.0f, colours::Gold, 0.35f, card, 8.0f);
  const RectF clip = {card.left, card.top + 4.0f, card.right, card.bottom - 4.0f};
  pushClip(c, clip);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const float top = card.top + 4.0f + static_cast<float>(i) * kPopUpRowHeight - scroll;
    if (top + kPopUpRowHeight <= card.top || top >= card.bottom) continue;
    const RectF row = {card.left + 4.0f, top, card.right - 4.0f, top + kPopUpRowHeight};
    paintRow(c, actionId, row, clip, static_cast<int>(i), labels[i],
             static_cast<int>(i) == current);
  }
  popClip(c);
}

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
  return listScrollLimit(rows, popUpRect(kind, rows).height());
}

void paintPopUpLayer(Canvas& c, const PopUpView& v) {
  if (v.open == PopUp::None) return;
  const int rows = rowCount(v);
  const RectF card = popUpRect(v.open, rows);
  addHitRegion(c, kActionBackground, kCanvasRect, true, -1);
  const float scroll = std::clamp(v.scroll, 0.0f, popUpScrollLimit(v.open, rows));
  if (v.open == PopUp::LanguageList) {
    std::vector<std::wstring> names;
    for (int i = 0; i < kClientLanguageCount; ++i)
      names.emplace_back(clientLanguage(i).displayName);
    paintListCard(c, kActionChooseLanguage, card, names, v.currentLanguage, scroll);
  } else {
    paintListCard(c, kActionChooseResolution, card, v.resolutionRows, v.currentResolution, scroll);
    addScrollArea(c, ScrollKind::PopUpList, card, popUpScrollLimit(v.open, rows));
  }
}
