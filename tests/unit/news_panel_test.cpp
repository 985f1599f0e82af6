// The front page drawn into the recording back end: how news entries are classified,
// translated and filtered; the news panel, the header and the pop-up lists with their regions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/header.h"
#include "ui/layout.h"
#include "ui/news.h"
#include "ui/popups.h"
#include "ui/recording_canvas.h"

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

// ---- painters

std::vector<const HitRegion*> regionsOf(const RecordingCanvas& rec, int actionId) {
  std::vector<const HitRegion*> out;
  for (const HitRegion& r : rec.output.hitRegions) {
    if (r.actionId == actionId) out.push_back(&r);
  }
  return out;
}

class FrontPage : public ::testing::Test {
 protected:
  void SetUp() override { setUiLanguage("en"); }
  void paintNews(const NewsPanelView& v, int hoverId = 0, int hoverIndex = -1) {
    rec.reset();
    Canvas c = rec.canvas(hoverId, hoverIndex, 0);
    paintNewsPanel(c, v);
  }
  NewsPanelView view(const std::vector<NewsItem>& items) {
    NewsPanelView v;
    v.items = &items;
    return v;
  }
  RecordingCanvas rec;
};

TEST_F(FrontPage, LinksWithoutAddressCloseUpAndKeepTheirIndex) {
  HeaderView h;
  h.linkAddresses = {L"https://site/", L"https://discord/", L"", L"https://rules/", L""};
  h.languageCode = "pt";
  Canvas c = rec.canvas(kActionHeaderLink, 3, 0);
  paintHeader(c, h);
  const auto links = regionsOf(rec, kActionHeaderLink);
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(links[0]->itemIndex, 0);
  EXPECT_EQ(links[1]->itemIndex, 1);
  EXPECT_EQ(links[2]->itemIndex, 3) << "Rules keeps its place in the table";
  // Closed up: 24 units between labels, the region 6 beyond each side of its label.
  const DrawCall* rules = rec.findText(L"Rules");
  ASSERT_NE(rules, nullptr);
  EXPECT_FLOAT_EQ(rules->rect.left, links[1]->rect.right - 6.0f + 24.0f);
  EXPECT_FLOAT_EQ(links[2]->rect.left, rules->rect.left - 6.0f);
  EXPECT_EQ(rules->rgb, colours::LightGold) << "hovered";
  EXPECT_EQ(rec.findText(L"Support"), nullptr);
  // The hovered link's underline: 2 high, 3 above the band's bottom.
  bool underline = false;
  for (const DrawCall* f : rec.callsOf(DrawKind::FillRect)) {
    underline |= f->rgb == colours::Gold && f->rect.top == 43.0f && f->rect.bottom == 45.0f &&
                 f->rect.left == rules->rect.left;
  }
  EXPECT_TRUE(underline);
  // The window buttons from the right edge inwards, then the selector with the code in capitals.
  const struct {
    int id;
    float left;
  } buttons[] = {{kActionClose, 1060},
                 {kActionMinimise, 1024},
                 {kActionOpenGameFolder, 988},
                 {kActionLanguageList, 898}};
  for (const auto& b : buttons) {
    const auto r = regionsOf(rec, b.id);
    ASSERT_EQ(r.size(), 1u) << b.id;
    EXPECT_FLOAT_EQ(r[0]->rect.left, b.left) << b.id;
  }
  EXPECT_NE(rec.findText(L"PT"), nullptr);
}

TEST_F(FrontPage, LogoOrTheDrawnTitle) {
  HeaderView h;
  rec.setImage(ImageId::Logo, 400, 200);  // twice as wide as tall
  Canvas c = rec.canvas();
  paintHeader(c, h);
  const DrawCall* logo = rec.callsOf(DrawKind::Image).at(0);
  EXPECT_FLOAT_EQ(logo->rect.width(), 248.0f);
  EXPECT_NEAR(rec.callsOf(DrawKind::Glow).at(0)->rect.width(), 446.4f, 0.01f);
  EXPECT_FLOAT_EQ(rec.callsOf(DrawKind::Glow).at(0)->rect.left + 223.2f, 56.0f + 124.0f);

  RecordingCanvas bare;
  Canvas b = bare.canvas();
  paintHeader(b, h);
  const DrawCall* title = bare.findText(L"QUILLMARK");
  ASSERT_NE(title, nullptr);
  ASSERT_EQ(title->stops.size(), 3u);
  EXPECT_EQ(title->stops[1].rgb, colours::Gold);
  EXPECT_FLOAT_EQ(title->stops[1].position, 0.6f);
  EXPECT_TRUE(bare.callsOf(DrawKind::Image).empty());
}

TEST_F(FrontPage, TabsCountAndAnEmptyCategorySaysSo) {
  const std::vector<NewsItem> items = {item(L"event"), item(L"news"), item(L"Event")};
  NewsPanelView v = view(items);
  paintNews(v);
  const auto tabs = regionsOf(rec, kActionNewsTab);
  ASSERT_EQ(tabs.size(), 4u);
  for (const wchar_t* count : {L"3", L"2", L"1", L"0"}) EXPECT_NE(rec.findText(count), nullptr);
  EXPECT_EQ(rec.findText(L"No news."), nullptr);
  v.filter = NewsCategory::Update;
  paintNews(v);
  EXPECT_NE(rec.findText(L"No news."), nullptr);
  EXPECT_TRUE(regionsOf(rec, kActionNewsItem).empty());
  EXPECT_TRUE(regionsOf(rec, kActionReadMore).empty());
}

TEST_F(FrontPage, CardButtonsAndExpansion) {
  std::vector<NewsItem> items = {item(L"news", L"First"), item(L"news", L"Second")};
  NewsPanelView v = view(items);
  v.selected = 5;  // out of range after a shorter list: the first entry shows
  paintNews(v);
  const DrawCall* title = rec.findText(L"First");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->format, TextFormat::Bold23);
  const auto more = regionsOf(rec, kActionReadMore);
  ASSERT_EQ(more.size(), 1u);
  EXPECT_GE(more[0]->rect.width(), 150.0f);
  EXPECT_TRUE(regionsOf(rec, kActionViewPost).empty()) << "no address, no View post";
  EXPECT_EQ(regionsOf(rec, kActionNewsItem).size(), 2u);
  EXPECT_FLOAT_EQ(title->rect.right, kNewsPanelRect.left + 350.0f);

  items[0].url = L"https://post/";
  v.expanded = true;
  paintNews(v);
  EXPECT_TRUE(regionsOf(rec, kActionNewsItem).empty()) << "the list is hidden";
  EXPECT_FLOAT_EQ(rec.findText(L"First")->rect.right, kNewsPanelRect.right - 20.0f);
  EXPECT_NE(rec.findText(L"Back"), nullptr);
  ASSERT_EQ(regionsOf(rec, kActionViewPost).size(), 1u);
  EXPECT_LE(regionsOf(rec, kActionViewPost)[0]->rect.right, kNewsPanelRect.right - 20.0f);
}

TEST_F(FrontPage, ALongListDrawsOnlyTheRowsInViewAndClampsItsScroll) {
  std::vector<NewsItem> items(5000, item(L"news"));
  NewsPanelView v = view(items);
  v.listScroll = 1e9f;
  paintNews(v);
  const auto rows = regionsOf(rec, kActionNewsItem);
  ASSERT_FALSE(rows.empty());
  EXPECT_LE(rows.size(), 6u);
  EXPECT_EQ(rows.back()->itemIndex, 4999);
  // Clamped: the last row ends 8 above the list's bottom edge... within its last pitch.
  EXPECT_FLOAT_EQ(rows.back()->rect.bottom, kNewsRowsRect.bottom);
  ASSERT_EQ(rec.output.scrollAreas.size(), 1u);
  EXPECT_FLOAT_EQ(rec.output.scrollAreas[0].limit, newsListScrollLimit(5000));
  EXPECT_FLOAT_EQ(newsListScrollLimit(3), 0.0f) << "a short list does not scroll";
}

TEST_F(FrontPage, LanguageListHasARowPerLanguageWithTheCurrentOneMarked) {
  PopUpView v;
  v.open = PopUp::LanguageList;
  v.currentLanguage = 2;
  Canvas c = rec.canvas();
  paintPopUpLayer(c, v);
  const RectF card = popUpRect(PopUp::LanguageList, kClientLanguageCount);
  EXPECT_FLOAT_EQ(card.top, 50.0f);
  EXPECT_FLOAT_EQ(card.height(), 392.0f);
  EXPECT_EQ(rec.output.hitRegions.front().actionId, kActionBackground);
  const auto rows = regionsOf(rec, kActionChooseLanguage);
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kClientLanguageCount));
  EXPECT_LE(rows.back()->rect.bottom, card.bottom);
  EXPECT_EQ(rec.findText(clientLanguage(2).displayName)->rgb, colours::LightGold);
  EXPECT_EQ(rec.findText(clientLanguage(3).displayName)->rgb, colours::Text);
}

}  // namespace
