// The advanced settings pages.
//
//   caption band   title, introduction, the window buttons
//   tabs           one per page: title and subtitle, in a column that scrolls when the pages
//                  outnumber what its card holds
//   row layout     label and wrapped description on the left, the control on the right; each
//                  row as tall as its text or its control needs
//   controls       Choice buttons, drop-down box, switch, slider with its value
//   page card      heading, warning band while the game runs, the rows scrolled in their
//                  viewport, scroll bar
//   footer         where the file is saved or how the save went, Defaults, Cancel, Save and
//                  Save & play
//   option list    the open drop-down's list over everything
//
// Every width that holds a text is measured with the canvas's fonts, so that the texts of all
// twelve languages fit: labels stay on one line, descriptions and longer messages wrap.
#include "ui/settings_pages.h"

#include <algorithm>
#include <string>

#include "i18n/settings_texts.h"
#include "ui/action_ids.h"
#include "ui/header.h"
#include "ui/layout.h"
#include "ui/popups.h"

namespace {

// The page card's inner edges and its heading.
constexpr float kX0 = kSettingsPageRect.left + 20.0f;
constexpr float kX1 = kSettingsPageRect.right - 20.0f;
constexpr float kHeadingTop = kSettingsPageRect.top + 18.0f;
constexpr float kBodyTop = kSettingsPageRect.top + 50.0f;
constexpr float kViewportBottom = kSettingsPageRect.bottom - 12.0f;

// Rows: padding above and below, the label line, the gap between the text and the control.
constexpr float kRowPadding = 12.0f;
constexpr float kLabelLine = 20.0f;
constexpr float kControlGap = 24.0f;

constexpr float kChoiceHeight = 30.0f;
constexpr float kChoiceGap = 6.0f;
constexpr float kChoiceMaxWidth = 420.0f;
constexpr float kDropDownWidth = 230.0f;
constexpr float kDropDownHeight = 32.0f;
constexpr float kSwitchWidth = 46.0f;
constexpr float kSwitchHeight = 24.0f;
constexpr float kSliderTrackWidth = 200.0f;
constexpr float kSliderValueWidth = 64.0f;
constexpr float kSliderHeight = 22.0f;

// The footer's chips lie between these lines, right of the status text and left of
// "Save & play".
constexpr float kFooterChipTop = kSaveAndPlayRect.top + 12.0f;
constexpr float kFooterChipBottom = kSaveAndPlayRect.bottom - 12.0f;
constexpr float kFooterChipMinWidth = 112.0f;

bool hovered(const Canvas& c, int actionId, int index) {
  return c.hoverId == actionId && c.hoverIndex == index;
}

RectF intersect(RectF a, RectF b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

bool isEmpty(RectF r) { return !(r.right > r.left && r.bottom > r.top); }

RectF moved(RectF r, float dy) { return {r.left, r.top + dy, r.right, r.bottom + dy}; }

// A region only where its control shows inside the viewport.
void addVisibleRegion(Canvas& c, int actionId, RectF r, RectF viewport, int index) {
  const RectF visible = intersect(r, viewport);
  if (!isEmpty(visible)) addHitRegion(c, actionId, visible, true, index);
}

// ---- caption band and tabs

void paintCaption(Canvas& c) {
  fillRect(c, {36.0f, 22.0f, 39.0f, 44.0f}, colours::Gold, 1.0f);
  drawText(c, settingsText(kSetTitle), TextFormat::Bold23, colours::Text, 1.0f,
           {48.0f, 14.0f, 980.0f, 46.0f});
  const std::wstring_view intro = settingsText(kSetIntro);
  const float width = kSettingsPageRect.right - 36.0f;
  const float height = measureText(c, intro, TextFormat::Regular13_5, width).height;
  drawText(c, intro, TextFormat::Regular13_5, colours::SecondaryText, 1.0f,
           {36.0f, 54.0f, 36.0f + width, 54.0f + height});
  paintWindowButtons(c);
}

// The tabs lie this far inside their card's top and bottom.
constexpr float kTabsPadding = 12.0f;
// Where the tabs show while the column scrolls.
constexpr RectF kTabsViewport = {kSettingsTabsRect.left, kSettingsTabsRect.top + 6.0f,
                                 kSettingsTabsRect.right, kSettingsTabsRect.bottom - 6.0f};

// The top of tab i at scroll 0.
float tabTop(int i) {
  return kSettingsTabsRect.top + kTabsPadding + static_cast<float>(i) * kSettingsTabPitch;
}

// The offset that brings tab i's bottom and the padding under it onto the card.
float scrollToShowTab(int i) {
  return std::max(tabTop(i) + kSettingsTabHeight + kTabsPadding - kSettingsTabsRect.bottom, 0.0f);
}

void paintTabs(Canvas& c, int page, float tabScroll) {
  const RectF card = kSettingsTabsRect;
  roundRect(c, colours::Card, 0.9f, colours::DeepEmber, 0.95f, card, 10.0f);
  const float limit = settingsTabsScrollLimit(configPageCount());
  const float scroll = std::clamp(tabScroll, 0.0f, limit);
  if (limit > 0) pushClip(c, kTabsViewport);
  for (int i = 0; i < configPageCount(); ++i) {
    const float top = tabTop(i) - scroll;
    if (top + kSettingsTabHeight <= kTabsViewport.top || top >= kTabsViewport.bottom) continue;
    const RectF tab = {card.left + 10.0f, top, card.right - 10.0f, top + kSettingsTabHeight};
    const bool selected = i == page;
    if (selected) {
      roundRect(c, colours::Gold, 0.12f, colours::Gold, 0.5f, tab, 8.0f);
      fillRect(c, {tab.left, top + 12.0f, tab.left + 3.0f, top + 44.0f}, colours::Gold, 1.0f);
    } else if (hovered(c, kActionSettingsPage, i)) {
      roundRect(c, colours::Peach, 0.06f, colours::Peach, 0.12f, tab, 8.0f);
    }
    const float x = tab.left + 14.0f, right = tab.right - 10.0f;
    drawText(c, settingsText(configPage(i).title), TextFormat::Semibold14,
             selected ? colours::LightGold : colours::Text, 1.0f,
             {x, top + 8.0f, right, top + 28.0f});
    drawText(c, settingsText(configPage(i).subtitle), TextFormat::Regular11_5,
             colours::SecondaryText, 1.0f, {x, top + 30.0f, right, top + 46.0f});
    addVisibleRegion(c, kActionSettingsPage, tab, kTabsViewport, i);
  }
  if (limit > 0) {
    popClip(c);
    addScrollArea(c, ScrollKind::SettingsTabs, kTabsViewport, limit);
  }
}

// ---- row layout

std::span<const ConfigOption> optionsOf(int entry) { return configEntry(entry)->options; }

// The widths of a Choice entry's buttons (label and 14 units either side), shrunk alike when
// they would take more than kChoiceMaxWidth with their gaps.
std::vector<float> choiceWidths(Canvas& c, int entry) {
  std::vector<float> widths;
  float total = 0;
  for (const ConfigOption& option : optionsOf(entry)) {
    const float w = std::max(
        measureText(c, settingsText(option.label), TextFormat::Semibold13Centred, 10000.0f).width +
            28.0f,
        56.0f);
    widths.push_back(w);
    total += w;
  }
  const float gaps = kChoiceGap * static_cast<float>(std::max<std::size_t>(widths.size(), 1) - 1);
  if (total + gaps > kChoiceMaxWidth) {
    for (float& w : widths) w *= (kChoiceMaxWidth - gaps) / total;
  }
  return widths;
}

// A Choice entry whose value is none of its options shows that value before its buttons.
std::wstring unknownChoiceText(const SettingsPagesView& v, int entry) {
  return currentOption(v.values, entry) < 0 ? valueText(v.values, entry) : std::wstring();
}

float choiceWidth(Canvas& c, const SettingsPagesView& v, int entry) {
  float total = 0;
  for (float w : choiceWidths(c, entry)) total += w + kChoiceGap;
  total -= kChoiceGap;
  const std::wstring unknown = unknownChoiceText(v, entry);
  if (!unknown.empty()) {
    total += measureText(c, unknown, TextFormat::Semibold13_5, 10000.0f).width + 14.0f;
  }
  return total;
}

struct ControlSize {
  float width, height;
};

ControlSize controlSize(Canvas& c, const SettingsPagesView& v, int entry) {
  switch (configEntry(entry)->kind) {
    case ConfigEntryKind::Choice:
      return {choiceWidth(c, v, entry), kChoiceHeight};
    case ConfigEntryKind::Toggle:
      return {kSwitchWidth, kSwitchHeight};
    case ConfigEntryKind::Slider:
      return {kSliderTrackWidth + 14.0f + kSliderValueWidth, kSliderHeight};
    default:
      return {kDropDownWidth, kDropDownHeight};
  }
}

float textRight(RectF control) { return control.left - kControlGap; }

float descriptionHeight(Canvas& c, int entry, float width) {
  return measureText(c, settingsText(configEntry(entry)->description), TextFormat::Regular13, width)
      .height;
}

// The row of entry from top: as tall as its label and description or its control, whichever
// is taller, with the control centred on the row's right.
SettingsRowLayout layoutRow(Canvas& c, const SettingsPagesView& v, int entry, float top) {
  const ControlSize size = controlSize(c, v, entry);
  const float textWidth = kX1 - size.width - kControlGap - kX0;
  const float textHeight = kLabelLine + 1.0f + descriptionHeight(c, entry, textWidth);
  const float height = kRowPadding * 2.0f + std::max(textHeight, size.height);
  const float middle = top + height / 2.0f;
  SettingsRowLayout row;
  row.entry = entry;
  row.row = {kX0, top, kX1, top + height};
  row.control = {kX1 - size.width, middle - size.height / 2.0f, kX1, middle + size.height / 2.0f};
  return row;
}

// ---- warning band

float warningTextWidth() { return kX1 - 16.0f - (kX0 + 40.0f); }

float warningBandHeight(Canvas& c) {
  const float text =
      measureText(c, settingsText(kSetGameRunning), TextFormat::Regular13_5, warningTextWidth())
          .height;
  return std::max(text + 16.0f, 36.0f);
}

RectF warningBand(Canvas& c) { return {kX0, kBodyTop, kX1, kBodyTop + warningBandHeight(c)}; }

void paintWarningBand(Canvas& c, RectF band) {
  roundRect(c, colours::ErrorRed, 0.12f, colours::ErrorRed, 0.5f, band, 6.0f);
  drawText(c, L"\uE7BA", TextFormat::Icons13, colours::ErrorRed, 1.0f,
           {band.left + 12.0f, band.top, band.left + 30.0f, band.bottom});
  drawText(c, settingsText(kSetGameRunning), TextFormat::Regular13_5, colours::Text, 1.0f,
           {band.left + 40.0f, band.top + 8.0f, band.left + 40.0f + warningTextWidth(),
            band.bottom - 8.0f});
}

// ---- controls (rectangles already scrolled into place)

void paintChoice(Canvas& c, const SettingsPagesView& v, int entry, RectF control, RectF viewport) {
  const int current = currentOption(v.values, entry);
  float x = control.left;
  const std::wstring unknown = unknownChoiceText(v, entry);
  if (!unknown.empty()) {
    const float w = measureText(c, unknown, TextFormat::Semibold13_5, 10000.0f).width;
    drawText(c, unknown, TextFormat::Semibold13_5, colours::SecondaryText, 1.0f,
             {x, control.top, x + w + 2.0f, control.bottom}, HAlign::Default, VAlign::Centre);
    x += w + 14.0f;
  }
  const std::vector<float> widths = choiceWidths(c, entry);
  for (std::size_t o = 0; o < widths.size(); ++o) {
    const int item = entry * kConfigMaxOptions + static_cast<int>(o);
    const RectF button = {x, control.top, x + widths[o], control.bottom};
    const bool selected = current == static_cast<int>(o);
    if (selected) {
      roundRect(c, colours::Gold, 0.16f, colours::Gold, 0.65f, button, kChoiceHeight / 2.0f);
    } else {
      roundRect(c, colours::Peach, hovered(c, kActionSettingOption, item) ? 0.08f : 0.03f,
                colours::Peach, 0.14f, button, kChoiceHeight / 2.0f);
    }
    drawText(c, settingsText(optionsOf(entry)[o].label), TextFormat::Semibold13Centred,
             selected ? colours::LightGold : colours::Text, 1.0f, button);
    addVisibleRegion(c, kActionSettingOption, button, viewport, item);
    x = button.right + kChoiceGap;
  }
}

void paintDropDown(Canvas& c, const SettingsPagesView& v, int entry, RectF box, RectF viewport) {
  const bool open = v.openList == entry;
  const bool highlighted = open || hovered(c, kActionSettingList, entry);
  roundRect(c, colours::Peach, highlighted ? 0.08f : 0.04f,
            highlighted ? colours::Gold : colours::Peach, highlighted ? 0.55f : 0.16f, box, 6.0f);
  drawText(c, valueText(v.values, entry), TextFormat::Semibold13_5, colours::Text, 1.0f,
           {box.left + 12.0f, box.top, box.right - 30.0f, box.bottom}, HAlign::Default,
           VAlign::Centre);
  drawText(c, open ? L"\uE70E" : L"\uE70D", TextFormat::Icons10,
           highlighted ? colours::LightGold : colours::SecondaryText, 1.0f,
           {box.right - 26.0f, box.top, box.right - 12.0f, box.bottom});
  addVisibleRegion(c, kActionSettingList, box, viewport, entry);
}

void paintSwitch(Canvas& c, const SettingsPagesView& v, int entry, RectF r, RectF viewport) {
  toggleSwitch(c, r, isToggleOn(v.values, entry), hovered(c, kActionSettingSwitch, entry));
  addVisibleRegion(c, kActionSettingSwitch, r, viewport, entry);
}

void paintSlider(Canvas& c, const SettingsPagesView& v, int entry, RectF control, RectF viewport) {
  const float middle = (control.top + control.bottom) / 2.0f;
  const RectF track = {control.left, middle - 2.0f, control.left + kSliderTrackWidth,
                       middle + 2.0f};
  const bool active = v.sliderDrag == entry || hovered(c, kActionSettingSlider, entry);
  sliderBar(c, track, sliderFraction(v.values, entry), active);
  drawText(c, valueText(v.values, entry), TextFormat::Semibold13_5, colours::LightGold, 1.0f,
           {control.right - kSliderValueWidth, middle - 10.0f, control.right, middle + 10.0f},
           HAlign::Trailing, VAlign::Centre);
  const RectF band = {track.left - 10.0f, control.top, track.right + 10.0f, control.bottom};
  if (isEmpty(intersect(band, viewport))) return;
  addVisibleRegion(c, kActionSettingSlider, band, viewport, entry);
  addSliderTrack(c, kActionSettingSlider, entry, track);
}

void paintControl(Canvas& c, const SettingsPagesView& v, int entry, RectF control, RectF viewport) {
  switch (configEntry(entry)->kind) {
    case ConfigEntryKind::Choice:
      paintChoice(c, v, entry, control, viewport);
      break;
    case ConfigEntryKind::Toggle:
      paintSwitch(c, v, entry, control, viewport);
      break;
    case ConfigEntryKind::Slider:
      paintSlider(c, v, entry, control, viewport);
      break;
    default:
      paintDropDown(c, v, entry, control, viewport);
      break;
  }
}

void paintRow(Canvas& c, const SettingsPagesView& v, const SettingsRowLayout& row, float dy,
              RectF viewport, bool last) {
  const RectF r = moved(row.row, dy);
  if (r.bottom <= viewport.top || r.top >= viewport.bottom) return;
  const RectF control = moved(row.control, dy);
  const ConfigEntry& e = *configEntry(row.entry);
  const float right = textRight(control);
  const float top = r.top + kRowPadding;
  drawText(c, settingsText(e.label), TextFormat::Semibold13_5, colours::Text, 1.0f,
           {r.left, top, right, top + kLabelLine});
  const float height = descriptionHeight(c, row.entry, right - r.left);
  drawText(c, settingsText(e.description), TextFormat::Regular13, colours::SecondaryText, 1.0f,
           {r.left, top + kLabelLine + 1.0f, right, top + kLabelLine + 1.0f + height});
  paintControl(c, v, row.entry, control, viewport);
  if (!last) fillRect(c, {r.left, r.bottom - 1.0f, r.right, r.bottom}, colours::Peach, 0.07f);
}

// ---- page card

void paintScrollBar(Canvas& c, RectF viewport, float scroll, float limit, float content) {
  const float x = kSettingsPageRect.right - 12.0f;
  const float thumb = std::max(viewport.height() * viewport.height() / content, 24.0f);
  const float top = viewport.top + (viewport.height() - thumb) * scroll / limit;
  roundRect(c, colours::Peach, 0.08f, 0, 0.0f, {x, viewport.top, x + 3.0f, viewport.bottom}, 1.5f);
  roundRect(c, colours::Peach, 0.45f, 0, 0.0f, {x, top, x + 3.0f, top + thumb}, 1.5f);
}

// Soft edges where rows run on beyond the viewport.
void paintFades(Canvas& c, RectF viewport, float scroll, float limit) {
  if (scroll > 0) {
    gradientRect(c, colours::Card, 1.0f, colours::Card, 0.0f,
                 {viewport.left, viewport.top, viewport.right, viewport.top + 16.0f}, 0,
                 {0, viewport.top}, {0, viewport.top + 16.0f});
  }
  if (scroll < limit) {
    gradientRect(c, colours::Card, 0.0f, colours::Card, 1.0f,
                 {viewport.left, viewport.bottom - 16.0f, viewport.right, viewport.bottom}, 0,
                 {0, viewport.bottom - 16.0f}, {0, viewport.bottom});
  }
}

void paintHeading(Canvas& c, int page) {
  const std::wstring_view title = settingsText(configPage(page).title);
  const float w = measureText(c, title, TextFormat::Bold15, 10000.0f).width;
  const float titleRight = std::min(kX0 + 12.0f + w + 2.0f, kX1);
  sectionHeading(c, kX0, kHeadingTop, title, titleRight);
  drawText(c, settingsText(configPage(page).subtitle), TextFormat::Regular13_5,
           colours::SecondaryText, 1.0f,
           {titleRight + 12.0f, kHeadingTop, kX1, kHeadingTop + 22.0f}, HAlign::Default,
           VAlign::Centre);
}

void paintPageCard(Canvas& c, const SettingsPagesView& v, const SettingsPageLayout& layout) {
  roundRect(c, colours::Card, 0.9f, colours::DeepEmber, 0.95f, kSettingsPageRect, 10.0f);
  paintHeading(c, v.page);
  if (v.gameRunning) paintWarningBand(c, warningBand(c));
  const RectF viewport = layout.viewport;
  const float scroll = std::clamp(v.pageScroll, 0.0f, layout.scrollLimit);
  pushClip(c, viewport);
  for (std::size_t i = 0; i < layout.rows.size(); ++i) {
    paintRow(c, v, layout.rows[i], -scroll, viewport, i + 1 == layout.rows.size());
  }
  popClip(c);
  addScrollArea(c, ScrollKind::SettingsPage, viewport, layout.scrollLimit);
  if (layout.scrollLimit > 0) {
    paintFades(c, viewport, scroll, layout.scrollLimit);
    paintScrollBar(c, viewport, scroll, layout.scrollLimit, layout.contentHeight);
  }
}

// ---- footer

float chipWidth(Canvas& c, SettingsTextId label) {
  return std::max(
      measureText(c, settingsText(label), TextFormat::Semibold13Centred, 10000.0f).width + 40.0f,
      kFooterChipMinWidth);
}

// The footer's status text: where the file goes, or for a while how the save went.
void paintNotice(Canvas& c, SaveNotice notice, float right) {
  const RectF line = {36.0f, kSaveAndPlayRect.top, right, kSaveAndPlayRect.bottom};
  if (notice == SaveNotice::None) {
    drawText(c, settingsText(kSetSavesTo), TextFormat::Regular13_5, colours::SecondaryText, 1.0f,
             line, HAlign::Default, VAlign::Centre);
    return;
  }
  const bool saved = notice == SaveNotice::Saved;
  const std::uint32_t colour = saved ? colours::ReadyGreen : colours::ErrorRed;
  drawText(c, saved ? L"\uE73E" : L"\uE7BA", TextFormat::Icons13, colour, 1.0f,
           {line.left, line.top, line.left + 16.0f, line.bottom});
  drawText(c, settingsText(saved ? kSetSaved : kSetSaveFailed), TextFormat::Regular13_5, colour,
           1.0f, {line.left + 24.0f, line.top, line.right, line.bottom}, HAlign::Default,
           VAlign::Centre);
}

// "Save & play" in the main button's large type when it fits, else in Bold15.
TextFormat saveAndPlayFormat(Canvas& c) {
  const float w =
      measureText(c, settingsText(kSetSaveAndPlay), TextFormat::Bold22Centred, 10000.0f).width;
  return w <= kSaveAndPlayRect.width() - 32.0f ? TextFormat::Bold22Centred : TextFormat::Bold15;
}

void paintFooter(Canvas& c, const SettingsPagesView& v) {
  const RectF f = kSettingsFooterRect;
  fillRect(c, f, colours::Panel, 0.92f);
  fillRect(c, {f.left, f.top, f.right, f.top + 1.0f}, colours::Peach, 0.08f);
  primaryButton(c, kActionSaveAndPlay, settingsText(kSetSaveAndPlay), saveAndPlayFormat(c),
                v.canPlay, kSaveAndPlayRect);
  float right = kSaveAndPlayRect.left - 16.0f;
  const struct {
    int action;
    SettingsTextId label;
  } chips[] = {{kActionSaveSettings, kSetSave},
               {kActionCloseSettings, kSetCancel},
               {kActionRestoreDefaults, kSetDefaults}};
  for (const auto& chip : chips) {
    const float w = chipWidth(c, chip.label);
    chipButton(c, chip.action, settingsText(chip.label), 0, true,
               {right - w, kFooterChipTop, right, kFooterChipBottom});
    right -= w + 10.0f;
  }
  paintNotice(c, v.notice, right - 10.0f);
}

// ---- option list

std::vector<std::wstring> itemTexts(const std::vector<DropDownItem>& items, int* current) {
  std::vector<std::wstring> texts;
  for (std::size_t i = 0; i < items.size(); ++i) {
    texts.push_back(items[i].text);
    if (items[i].current) *current = static_cast<int>(i);
  }
  return texts;
}

// Below the box, or above it when there is no room below within the window.
RectF listCardRect(RectF box, int rows) {
  const float height =
      static_cast<float>(std::min(rows, kSettingsListRows)) * kPopUpRowHeight + kPopUpPadding;
  if (box.bottom + 4.0f + height <= kCanvasHeight - 8.0f) {
    return {box.left, box.bottom + 4.0f, box.right, box.bottom + 4.0f + height};
  }
  return {box.left, box.top - 4.0f - height, box.right, box.top - 4.0f};
}

void paintOptionList(Canvas& c, const SettingsPagesView& v, const SettingsPageLayout& layout) {
  const float scroll = std::clamp(v.pageScroll, 0.0f, layout.scrollLimit);
  for (const SettingsRowLayout& row : layout.rows) {
    if (row.entry != v.openList) continue;
    int current = -1;
    const std::vector<std::wstring> texts = itemTexts(v.listItems, &current);
    const RectF card = listCardRect(moved(row.control, -scroll), static_cast<int>(texts.size()));
    const float limit = listScrollLimit(static_cast<int>(texts.size()), card.height());
    addHitRegion(c, kActionListBackground, kCanvasRect, true, -1);
    paintListCard(c, kActionListOption, card, texts, current,
                  std::clamp(v.listScroll, 0.0f, limit));
    addScrollArea(c, ScrollKind::SettingsList, card, limit);
  }
}

}  // namespace

float settingsTabsScrollLimit(int pageCount) {
  return pageCount > 0 ? scrollToShowTab(pageCount - 1) : 0.0f;
}

float settingsTabScrollShowing(int page) { return scrollToShowTab(std::max(page, 0)); }

SettingsPageLayout layoutSettingsPage(Canvas& c, const SettingsPagesView& v) {
  SettingsPageLayout layout;
  const float top = v.gameRunning ? warningBand(c).bottom + 10.0f : kBodyTop;
  layout.viewport = {kX0, top, kX1, kViewportBottom};
  float y = top;
  for (int entry = 0; entry < configEntryCount(); ++entry) {
    if (configEntry(entry)->page != v.page) continue;
    layout.rows.push_back(layoutRow(c, v, entry, y));
    y = layout.rows.back().row.bottom;
  }
  layout.contentHeight = y - top;
  layout.scrollLimit = std::max(layout.contentHeight - layout.viewport.height(), 0.0f);
  return layout;
}

void paintSettingsPages(Canvas& c, const SettingsPagesView& v) {
  paintCaption(c);
  paintTabs(c, v.page, v.tabScroll);
  const SettingsPageLayout layout = layoutSettingsPage(c, v);
  paintPageCard(c, v, layout);
  paintFooter(c, v);
  if (v.openList >= 0) paintOptionList(c, v, layout);
}
