// The news panel, top to bottom: heading and "All news", the category tabs, then the selected
// entry's card (badge, date, title, author, body, buttons) beside the scrolling list.
#include <algorithm>
#include <cmath>

#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/fit_text.h"
#include "ui/layout.h"
#include "ui/news.h"

namespace {

constexpr std::uint32_t kCardColour = 0x1A0E0C;
constexpr StringId kTabLabels[kNewsCategoryCount] = {kStrAll, kStrEvents, kStrNews, kStrUpdates};

// "All news" at the heading's right end: its glyph, label and arrow.
RectF allNewsArea(Canvas& c, const RectF& p) {
  const float w = measureText(c, uiText(kStrAllNews), TextFormat::Semibold13_5, 10000.0f).width;
  return {p.right - 20.0f - w - 44.0f, p.top + 14.0f, p.right - 16.0f, p.top + 42.0f};
}

void paintAllNewsLink(Canvas& c, const RectF& area) {
  const std::wstring_view label = uiText(kStrAllNews);
  const std::uint32_t colour = c.hoverId == kActionAllNews ? colours::LightGold : colours::Text;
  drawText(c, L"\uE8AB", TextFormat::Icons13, colour, 1.0f,
           {area.left + 14.0f - 9.0f, area.top, area.left + 14.0f + 9.0f, area.bottom});
  drawText(c, label, TextFormat::Semibold13_5, colour, 1.0f,
           {area.left + 24.0f, area.top, area.right - 16.0f, area.bottom}, HAlign::Default,
           VAlign::Centre);
  drawText(c, L"\uE8A7", TextFormat::Icons10, colour, 1.0f,
           {area.right - 16.0f, area.top, area.right, area.bottom});
  addHitRegion(c, kActionAllNews, area, true, -1);
}

void paintTabs(Canvas& c, const RectF& p, const NewsPanelView& v,
               const std::array<int, kNewsCategoryCount>& counts) {
  float x = p.left + 20.0f;
  const float top = p.top + 54.0f, bottom = p.top + 82.0f;
  for (int i = 0; i < kNewsCategoryCount; ++i) {
    const std::wstring_view label = uiText(kTabLabels[i]);
    const float w = measureText(c, label, TextFormat::Semibold13_5, 10000.0f).width;
    const RectF tab = {x, top, x + w + 46.0f, bottom};
    const bool selected = static_cast<int>(v.filter) == i;
    const bool hovered = c.hoverId == kActionNewsTab && c.hoverIndex == i;
    if (selected) {
      roundRect(c, colours::Gold, 0.16f, colours::Gold, 0.65f, tab, 14.0f);
    } else {
      roundRect(c, colours::Peach, hovered ? 0.08f : 0.03f, colours::Peach, 0.14f, tab, 14.0f);
    }
    drawText(c, label, TextFormat::Semibold13_5, selected ? colours::LightGold : colours::Text,
             1.0f, {x + 12.0f, top, x + 12.0f + w + 2.0f, bottom}, HAlign::Default, VAlign::Centre);
    const RectF badge = {tab.right - 28.0f, p.top + 59.0f, tab.right - 8.0f, p.top + 77.0f};
    roundRect(c, colours::Peach, 0.08f, 0, 0.0f, badge, 9.0f);
    drawText(c, std::to_wstring(counts[static_cast<std::size_t>(i)]), TextFormat::Regular11_5,
             colours::SecondaryText, 1.0f, badge, HAlign::Centre, VAlign::Centre);
    addHitRegion(c, kActionNewsTab, tab, true, i);
    x = tab.right + 8.0f;
  }
}

struct BadgeLook {
  StringId label;
  std::uint32_t tint;
};
BadgeLook badgeLook(NewsCategory category) {
  switch (category) {
    case NewsCategory::Event:
      return {kStrTagEvent, colours::Gold};
    case NewsCategory::Update:
      return {kStrTagUpdate, colours::ReadyGreen};
    default:
      return {kStrTagNews, colours::Peach};
  }
}

// The title is kept to two lines, so that the author and the body keep their room; a longer
// one ends in an ellipsis there.
std::wstring twoLineTitle(Canvas& c, const std::wstring& title, float width) {
  const float twoLines = 2.0f * measureText(c, L"A", TextFormat::Bold23, width).height;
  return fitLines(c, title, TextFormat::Bold23, width, twoLines);
}

// The author row at y; returns nothing, draws avatar, name and "Staff".
void paintAuthor(Canvas& c, const NewsItem& item, float x0, float y, float right) {
  const std::wstring& author = item.author.empty() ? std::wstring(uiText(kStrTeam)) : item.author;
  fillEllipse(c, {x0 + 15.0f, y + 15.0f}, 15.0f, 15.0f, colours::Gold, 0.12f);
  strokeEllipse(c, {x0 + 15.0f, y + 15.0f}, 15.0f, 15.0f, colours::Gold, 0.45f, 1.0f);
  drawText(c, author.substr(0, 1), TextFormat::Semibold13_5, colours::LightGold, 1.0f,
           {x0, y, x0 + 30.0f, y + 30.0f}, HAlign::Centre, VAlign::Centre);
  drawText(c, author, TextFormat::Semibold13_5, colours::Text, 1.0f,
           {x0 + 40.0f, y - 1.0f, right, y + 17.0f});
  drawText(c, uiText(kStrStaff), TextFormat::Regular11_5, colours::SecondaryText, 1.0f,
           {x0 + 40.0f, y + 17.0f, right, y + 33.0f});
}

// The body between top and bottom; an expanded card scrolls it, a closed one fades its end.
void paintBody(Canvas& c, const NewsPanelView& v, const std::wstring& text, RectF area) {
  if (!(area.bottom > area.top)) return;
  const float height = measureText(c, text, TextFormat::Regular13_5, area.width()).height;
  const float limit = std::max(height - area.height(), 0.0f);
  const float scroll = v.expanded ? std::clamp(v.bodyScroll, 0.0f, limit) : 0.0f;
  pushClip(c, area);
  drawText(c, text, TextFormat::Regular13_5, colours::MessageText, 1.0f,
           {area.left, area.top - scroll, area.right, area.top - scroll + height});
  popClip(c);
  if (height - scroll > area.height()) {
    gradientRect(c, kCardColour, 0.0f, kCardColour, 1.0f,
                 {area.left, area.bottom - 24.0f, area.right, area.bottom}, 0,
                 {0, area.bottom - 24.0f}, {0, area.bottom});
  }
  if (!v.expanded) return;
  addScrollArea(c, ScrollKind::NewsBody, area, limit);
  // A body longer than its room shows where the wheel has taken it.
  if (limit > 0) {
    const float thumb = std::max(area.height() * area.height() / height, 16.0f);
    const float top = area.top + (area.height() - thumb) * scroll / limit;
    roundRect(c, colours::Peach, 0.08f, 0, 0.0f,
              {area.right + 6.0f, area.top, area.right + 9.0f, area.bottom}, 1.5f);
    roundRect(c, colours::Peach, 0.45f, 0, 0.0f,
              {area.right + 6.0f, top, area.right + 9.0f, top + thumb}, 1.5f);
  }
}

void paintButtons(Canvas& c, const NewsPanelView& v, const NewsItem& item, float x0, float right,
                  float bottom) {
  const RectF band = {x0, bottom - 50.0f, right, bottom - 16.0f};
  const std::wstring_view more = uiText(v.expanded ? kStrBack : kStrReadMore);
  float w1 =
      std::max(measureText(c, more, TextFormat::Semibold13Centred, 10000.0f).width + 40.0f, 150.0f);
  const bool hasPost = !item.url.empty();
  const std::wstring_view post = uiText(kStrViewPost);
  float w2 =
      hasPost
          ? std::max(measureText(c, post, TextFormat::Semibold13Centred, 10000.0f).width + 56.0f,
                     150.0f)
          : 0.0f;
  const float room = band.right - 10.0f - band.left - (hasPost ? 10.0f : 0.0f);
  if (w1 + w2 > room && room > 0) {
    const float factor = room / (w1 + w2);
    w1 *= factor;
    w2 *= factor;
  }
  primaryButton(c, kActionReadMore, more, TextFormat::Semibold13Centred, true,
                {band.left, band.top, band.left + w1, band.bottom});
  if (hasPost) {
    const float x = band.left + w1 + 10.0f;
    chipButton(c, kActionViewPost, post, L'\uE8A7', true, {x, band.top, x + w2, band.bottom});
  }
}

void paintCard(Canvas& c, const RectF& p, const NewsPanelView& v, const NewsItem& item) {
  const float x0 = p.left + 20.0f;
  const float right = v.expanded ? p.right - 20.0f : p.left + 350.0f;
  const BadgeLook look = badgeLook(newsType(item));
  const std::wstring_view tag = uiText(look.label);
  const float tw = measureText(c, tag, TextFormat::Bold11_5, 10000.0f).width;
  const RectF badge = {x0, p.top + 100.0f, x0 + tw + 16.0f, p.top + 120.0f};
  roundRect(c, look.tint, 0.18f, look.tint, 0.5f, badge, 4.0f);
  drawText(c, tag, TextFormat::Bold11_5, colours::Text, 1.0f, badge, HAlign::Centre,
           VAlign::Centre);
  drawText(c, item.date, TextFormat::Regular11_5, colours::SecondaryText, 1.0f,
           {badge.right + 10.0f, badge.top, right, badge.bottom}, HAlign::Default, VAlign::Centre);

  const std::wstring title = twoLineTitle(c, localizedTitle(item), right - x0);
  const float h = measureText(c, title, TextFormat::Bold23, right - x0).height;
  const float titleTop = p.top + 130.0f;
  drawText(c, title, TextFormat::Bold23, colours::Text, 1.0f,
           {x0, titleTop, right, titleTop + h + 2.0f});
  const float y = titleTop + h + 2.0f + 12.0f;
  paintAuthor(c, item, x0, y, right);
  paintBody(c, v, localizedText(item), {x0, y + 44.0f, right, p.bottom - 64.0f});
  paintButtons(c, v, item, x0, right, p.bottom);
}

void paintRow(Canvas& c, const NewsItem& item, RectF row, int position, bool selected) {
  const bool hovered = c.hoverId == kActionNewsItem && c.hoverIndex == position;
  const float fill = selected ? 0.08f : hovered ? 0.05f : 0.02f;
  roundRect(c, colours::Peach, fill, colours::Peach, selected ? 0.14f : 0.07f, row, 6.0f);
  if (selected) {
    fillRect(c, {row.left, row.top + 8.0f, row.left + 3.0f, row.top + 50.0f}, colours::Gold, 1.0f);
  }
  fillEllipse(c, {row.left + 14.0f, row.top + 20.0f}, 3.0f, 3.0f,
              selected ? colours::Gold : colours::SecondaryText, 1.0f);
  drawText(c, localizedTitle(item), TextFormat::Semibold13_5,
           hovered ? colours::LightGold : colours::Text, 1.0f,
           {row.left + 24.0f, row.top + 10.0f, row.right - 10.0f, row.top + 29.0f});
  drawText(c, item.date, TextFormat::Regular11_5, colours::SecondaryText, 1.0f,
           {row.left + 24.0f, row.top + 32.0f, row.right - 10.0f, row.top + 48.0f});
  addHitRegion(c, kActionNewsItem, row, true, position);
}

void paintList(Canvas& c, const NewsPanelView& v, const std::vector<int>& positions, int selected) {
  const RectF area = kNewsRowsRect;
  const int count = static_cast<int>(positions.size());
  const float scroll = std::clamp(v.listScroll, 0.0f, newsListScrollLimit(count));
  pushClip(c, area);
  // Only the rows that meet the area: a list of thousands costs what a screenful costs.
  const int first = static_cast<int>(scroll / kNewsRowPitch);
  const int last = std::min(count - 1, static_cast<int>((scroll + area.height()) / kNewsRowPitch));
  for (int i = std::max(first, 0); i <= last; ++i) {
    const float top = area.top + static_cast<float>(i) * kNewsRowPitch - scroll;
    const RectF row = {area.left, top, area.right, top + kNewsRowHeight};
    if (row.bottom <= area.top || row.top >= area.bottom) continue;
    paintRow(c, (*v.items)[static_cast<std::size_t>(positions[static_cast<std::size_t>(i)])], row,
             i, i == selected);
  }
  popClip(c);
  addScrollArea(c, ScrollKind::NewsList, kNewsListRect, newsListScrollLimit(count));
}

}  // namespace

float newsListScrollLimit(int count) {
  const float limit = static_cast<float>(count) * kNewsRowPitch - 8.0f - kNewsRowsRect.height();
  return std::max(limit, 0.0f);
}

void paintNewsPanel(Canvas& c, const NewsPanelView& v) {
  const RectF p = kNewsPanelRect;
  static const std::vector<NewsItem> none;
  const std::vector<NewsItem>& items = v.items ? *v.items : none;
  roundRect(c, kCardColour, 0.9f, colours::DeepEmber, 0.95f, p, 10.0f);
  // The heading ends where "All news" begins, so that a long one never runs under it.
  const RectF allNews = allNewsArea(c, p);
  sectionHeading(c, p.left + 20.0f, p.top + 18.0f, uiText(kStrNewsTitle),
                 v.hasNewsPage ? allNews.left - 8.0f : p.right - 20.0f);
  if (v.hasNewsPage) paintAllNewsLink(c, allNews);
  paintTabs(c, p, v, newsCounts(items));

  const std::vector<int> positions = filteredNews(items, v.filter);
  if (positions.empty()) {
    drawText(c, uiText(kStrNoNews), TextFormat::Regular13_5, colours::SecondaryText, 1.0f,
             {p.left + 20.0f, p.top + 100.0f, p.right - 20.0f, p.top + 124.0f});
    return;
  }
  const int count = static_cast<int>(positions.size());
  const int selected = v.selected >= 0 && v.selected < count ? v.selected : 0;
  NewsPanelView shown = v;
  shown.items = &items;
  paintCard(c, p, shown,
            items[static_cast<std::size_t>(positions[static_cast<std::size_t>(selected)])]);
  if (!v.expanded) paintList(c, shown, positions, selected);
}
