// The news entries as the news panel and its input see them: category of an entry, its title
// and text in the UI language, the positions of one category, and the tabs' counts.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "ui/canvas.h"
#include "update/manifest_types.h"

// The panel's category tabs; a filter of All shows every entry.
enum class NewsCategory : int { All = 0, Event = 1, News = 2, Update = 3 };
inline constexpr int kNewsCategoryCount = 4;

// Event for "event"/"evento", Update for "update"/"atualizacao"/"atualização" (any case);
// News for anything else, the empty type included.
NewsCategory newsType(const NewsItem& item);
// The translation for the current UI language when it is there and not empty; the plain one
// otherwise.
const std::wstring& localizedTitle(const NewsItem& item);
const std::wstring& localizedText(const NewsItem& item);
// Positions in items whose category is filter (every position for All), in the list's order.
std::vector<int> filteredNews(const std::vector<NewsItem>& items, NewsCategory filter);
// Entries per tab: [All] is every entry, the others add up to it.
std::array<int, kNewsCategoryCount> newsCounts(const std::vector<NewsItem>& items);

// ---- the panel

struct NewsPanelView {
  const std::vector<NewsItem>* items = nullptr;  // the window's copy of the manifest's news
  NewsCategory filter = NewsCategory::All;
  int selected = 0;          // position in the filtered list; out of range shows the first
  bool expanded = false;     // the card widened over the list
  float listScroll = 0;      // clamped by the painter
  float bodyScroll = 0;      // the expanded card's body, clamped by the painter
  bool hasNewsPage = false;  // "All news" has an address
};

// The list's scroll limit for count rows in the list area (0 when they fit).
float newsListScrollLimit(int count);

// Draws the panel into its rectangle and registers 6 (all news), 7 (tab, item = category),
// 8 (row, item = position in the filtered list), 9 (read more / back) and 10 (view post).
// Only the rows that meet the list area are drawn.
void paintNewsPanel(Canvas& c, const NewsPanelView& view);
