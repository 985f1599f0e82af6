// The news panel: how entries are classified, translated and filtered, and what the panel
// draws of them into the recording back end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/strings.h"
#include "ui/news.h"

namespace {

NewsItem item(const wchar_t* type, const wchar_t* title = L"t") {
  NewsItem n;
  n.type = type;
  n.title = title;
  return n;
}

TEST(NewsModel, TypesAreClassifiedWholeAndInAnyCase) {
  const struct {
    const wchar_t* type;
    NewsCategory category;
  } cases[] = {
      {L"EVENTO", NewsCategory::Event},
      {L"Event", NewsCategory::Event},
      {L"event", NewsCategory::Event},
      {L"ATUALIZA\u00C7\u00C3O", NewsCategory::Update},
      {L"Atualiza\u00E7\u00E3o", NewsCategory::Update},
      {L"atualizacao", NewsCategory::Update},
      {L"UPDATE", NewsCategory::Update},
      {L"patch", NewsCategory::News},
      {L"", NewsCategory::News},
      {L"events", NewsCategory::News},
      {L" update", NewsCategory::News},
      {L"noticia", NewsCategory::News},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(newsType(item(c.type)), c.category) << std::string(c.type, c.type + wcslen(c.type));
  }
}

TEST(NewsModel, CountsAddUpAndFiltersKeepTheListsOrder) {
  const std::vector<NewsItem> items = {item(L"event"),  item(L"update"), item(L"x"),
                                       item(L"Evento"), item(L""),       item(L"UPDATE")};
  const auto counts = newsCounts(items);
  EXPECT_EQ(counts[0], 6);
  EXPECT_EQ(counts[1] + counts[2] + counts[3], counts[0]);
  EXPECT_EQ(filteredNews(items, NewsCategory::Event), (std::vector<int>{0, 3}));
  EXPECT_EQ(filteredNews(items, NewsCategory::News), (std::vector<int>{2, 4}));
  EXPECT_EQ(filteredNews(items, NewsCategory::Update), (std::vector<int>{1, 5}));
  EXPECT_EQ(filteredNews(items, NewsCategory::All).size(), 6u);
  EXPECT_TRUE(filteredNews({}, NewsCategory::All).empty());
}

TEST(NewsModel, TranslationsFollowTheUiLanguageAndFallBackWhenEmpty) {
  NewsItem n = item(L"news", L"Plain title");
  n.text = L"Plain text";
  n.titles["de"] = L"Deutscher Titel";
  n.texts["de"] = L"";  // present but empty: the plain text stands
  n.titles["fr"] = L"Titre";
  setUiLanguage("de");
  EXPECT_EQ(localizedTitle(n), L"Deutscher Titel");
  EXPECT_EQ(localizedText(n), L"Plain text");
  setUiLanguage("en");
  EXPECT_EQ(localizedTitle(n), L"Plain title");
}

}  // namespace
