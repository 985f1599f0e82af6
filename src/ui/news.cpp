#include "ui/news.h"

#include <cwctype>

#include "i18n/strings.h"

namespace {
const std::wstring& translated(const std::map<std::string, std::wstring>& translations,
                               const std::wstring& plain) {
  const auto it = translations.find(uiLanguageCode());
  return it != translations.end() && !it->second.empty() ? it->second : plain;
}
}  // namespace

NewsCategory newsType(const NewsItem& item) {
  std::wstring type = item.type;
  for (wchar_t& ch : type) ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
  if (type == L"event" || type == L"evento") return NewsCategory::Event;
  // towlower depends on the C library's locale for letters beyond ASCII, so the upper-case
  // "Ç" and "Ã" are folded here as well.
  for (wchar_t& ch : type) {
    if (ch == L'\u00C7') ch = L'\u00E7';
    if (ch == L'\u00C3') ch = L'\u00E3';
  }
  if (type == L"update" || type == L"atualizacao" || type == L"atualiza\u00E7\u00E3o") {
    return NewsCategory::Update;
  }
  return NewsCategory::News;
}

const std::wstring& localizedTitle(const NewsItem& item) {
  return translated(item.titles, item.title);
}

const std::wstring& localizedText(const NewsItem& item) {
  return translated(item.texts, item.text);
}

std::vector<int> filteredNews(const std::vector<NewsItem>& items, NewsCategory filter) {
  std::vector<int> positions;
  positions.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (filter == NewsCategory::All || newsType(items[i]) == filter) {
      positions.push_back(static_cast<int>(i));
    }
  }
  return positions;
}

std::array<int, kNewsCategoryCount> newsCounts(const std::vector<NewsItem>& items) {
  std::array<int, kNewsCategoryCount> counts{};
  counts[0] = static_cast<int>(items.size());
  for (const NewsItem& item : items) ++counts[static_cast<int>(newsType(item))];
  return counts;
}
