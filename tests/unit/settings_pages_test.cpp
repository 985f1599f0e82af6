// The main screen and the advanced settings pages drawn into the recording back end: every text
// fits its rectangle and no two overlap, in all twelve languages, on every page and panel of the
// main screen in each state of a run; the controls
// register the regions, items and slider tracks that input relies on; the option list over a
// page. Natively the texts are measured by the recording rule; in the Windows build (under
// Wine) by DirectWrite with the fonts the renderer found, as the frames measure them. Layouts
// are in canvas units and DirectWrite measures in them whatever the dpi, so one check holds
// for 96 and 144 dpi alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gamecfg/config_model.h"
#include "i18n/settings_texts.h"
#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/frame.h"
#include "ui/layout.h"
#include "ui/recording_canvas.h"
#ifdef _WIN32
#include <objbase.h>

#include "ui/renderer.h"
#endif

namespace {

using Measure = TextSize (*)(std::wstring_view, TextFormat, float);

Measure fontMeasure() {
#ifdef _WIN32
  static const bool ready = [] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    renderer::initialise();
    return !renderer::textFamily().empty();
  }();
  return ready ? renderer::measureText : nullptr;
#else
  return nullptr;
#endif
}

TextSize measured(Measure m, const DrawCall& call, float width) {
  return m ? m(call.text, call.format, width) : recordedTextSize(call.text, call.format, width);
}

std::string narrow(const std::wstring& text) {
  std::string out;
  for (const wchar_t ch : text) out.push_back(ch < 128 ? static_cast<char>(ch) : '?');
  return out;
}

RectF shown(const DrawCall& call) {
  if (!call.clipped) return call.rect;
  return {std::max(call.rect.left, call.clip.left), std::max(call.rect.top, call.clip.top),
          std::min(call.rect.right, call.clip.right), std::min(call.rect.bottom, call.clip.bottom)};
}

bool overlap(RectF a, RectF b) {
  return a.left < b.right - 0.01f && b.left < a.right - 0.01f && a.top < b.bottom - 0.01f &&
         b.top < a.bottom - 0.01f;
}

// Every text fits its rectangle (one line for trimmed formats, wrapped at its width for the
// others), inside the canvas; no two texts that show overlap (unless a list lies over them).
void expectTextsFit(const RecordingCanvas& rec, Measure m, const std::string& where,
                    bool apart = true) {
  std::vector<const DrawCall*> visible;
  for (const DrawCall* call : rec.texts()) {
    const TextFormatStyle& style = textFormatStyle(call->format);
    if (style.icons || call->text.empty()) continue;
    const TextSize size = measured(m, *call, style.trimmed ? 10000.0f : call->rect.width());
    EXPECT_LE(size.width, call->rect.width() + 0.5f) << where << ": " << narrow(call->text);
    EXPECT_LE(size.height, call->rect.height() + 0.5f) << where << ": " << narrow(call->text);
    const RectF r = shown(*call);
    if (r.right <= r.left || r.bottom <= r.top) continue;
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= kCanvasWidth && r.bottom <= kCanvasHeight)
        << where << ": " << narrow(call->text);
    for (const DrawCall* other : apart ? visible : std::vector<const DrawCall*>()) {
      EXPECT_FALSE(overlap(r, shown(*other)))
          << where << ": " << narrow(call->text) << " / " << narrow(other->text);
    }
    visible.push_back(call);
  }
}

std::vector<const HitRegion*> regionsOf(const RecordingCanvas& rec, int actionId) {
  std::vector<const HitRegion*> out;
  for (const HitRegion& r : rec.output.hitRegions) {
    if (r.actionId == actionId) out.push_back(&r);
  }
  return out;
}

ConfigValues defaults() {
  ConfigValues values;
  loadConfigValues(GameConfigFile(), values, true);
  return values;
}

class SettingsPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    rec.measure = fontMeasure();
    view.values = defaults();
  }
  void TearDown() override { setUiLanguage("en"); }
  void paint(int hoverId = 0, int hoverIndex = -1) {
    rec.reset();
    Canvas c = rec.canvas(hoverId, hoverIndex, 0);
    FrameView frame;
    frame.settingsOpen = true;
    frame.settings = view;
    paintFrameContent(c, frame);
  }
  void paintMain(const FrameView& frame) {
    rec.reset();
    Canvas c = rec.canvas();
    paintFrameContent(c, frame);
  }
  const HitRegion* region(int actionId, int item) const {
    for (const HitRegion& r : rec.output.hitRegions) {
      if (r.actionId == actionId && r.itemIndex == item) return &r;
    }
    return nullptr;
  }
  RecordingCanvas rec;
  SettingsPagesView view;
};

// ---- every text fits, in every language

TEST_F(SettingsPaint, EveryTextOfEveryPageFitsInEveryLanguage) {
#ifdef _WIN32
  ASSERT_NE(rec.measure, nullptr) << "no text family: the renderer found no font";
#endif
  // The longest texts: the warning band, the failed save, a value the launcher does not know
  // before the Choice buttons; each page at its top, scrolled to its end, and with the first
  // option list of its page open.
  view.values["GRAPHICS_LEVEL"] = "7";
  const auto fresh = [this](int page, bool running, SaveNotice notice) {
    SettingsPagesView v;
    v.page = page;
    v.values = view.values;
    v.gameRunning = running;
    v.notice = notice;
    return v;
  };
  for (int lang = 0; lang < kUiLanguageCount; ++lang) {
    setUiLanguage(uiLanguageCodeAt(lang));
    const std::string language = uiLanguageCodeAt(lang);
    for (int page = 0; page < configPageCount(); ++page) {
      view = fresh(page, true, SaveNotice::Failed);
      paint();
      ASSERT_GT(rec.texts().size(), 30u);
      expectTextsFit(rec, rec.measure, language + " page " + std::to_string(page));
      view.pageScroll = 1e6f;
      paint();
      expectTextsFit(rec, rec.measure, language + " page end " + std::to_string(page));
      for (int entry = 0; entry < configEntryCount() && view.openList < 0; ++entry) {
        if (configEntry(entry)->page != page || configEntry(entry)->kind != ConfigEntryKind::List)
          continue;
        view.openList = entry;
        view.listItems = dropDownItems(view.values, entry, {});
        paint();
        expectTextsFit(rec, rec.measure, language + " list " + std::to_string(entry), false);
      }
    }
    view = fresh(0, false, SaveNotice::Saved);
    paint();
    expectTextsFit(rec, rec.measure, language + " saved");
  }
}

TEST_F(SettingsPaint, SidePanelTextsFitInEveryLanguage) {
  SidePanelView side;
  side.hasDiscord = true;
  side.width = 3840;
  side.height = 2160;
  for (int lang = 0; lang < kUiLanguageCount; ++lang) {
    setUiLanguage(uiLanguageCodeAt(lang));
    for (const float music : {0.0f, 1.0f}) {
      rec.reset();
      side.musicVolume = music;  // "Off" is the longer text in some languages
      Canvas c = rec.canvas();
      paintSidePanel(c, side);
      expectTextsFit(rec, rec.measure, uiLanguageCodeAt(lang));
      for (const DrawCall* call : rec.texts()) {
        EXPECT_LE(call->rect.right, kSidePanelRect.right - kSidePanelInset + 0.01f);
      }
      // However the hint wraps, the sliders end above the first button.
      EXPECT_LE(regionsOf(rec, kActionEffectsSlider).at(0)->rect.bottom,
                regionsOf(rec, kActionOpenSettings).at(0)->rect.top - 4.0f);
    }
  }
}

// The main screen as a player meets it, in every language: the header with every link and the
// language list open, the news panel closed and expanded, the side panel, and the status area
// in each phase and with its longest texts (a long path in an error, hours left at a high
// speed, a failed game start).
TEST_F(SettingsPaint, MainScreenTextsFitInEveryLanguage) {
  std::vector<NewsItem> news(3);
  const wchar_t* types[] = {L"event", L"update", L"news"};
  for (std::size_t i = 0; i < news.size(); ++i) {
    news[i].type = types[i];
    news[i].title = L"Harbour festival " + std::to_wstring(i + 1);
    news[i].date = L"2026-12-0" + std::to_wstring(i + 1);
    news[i].url = L"https://quillmark.example/news";
    for (int line = 0; line < 30; ++line) news[i].text += L"The harbour opens at dawn. ";
  }
  FrameView frame;
  frame.header.linkAddresses = {L"https://a/", L"https://b/", L"https://c/", L"https://d/",
                                L"https://e/"};
  frame.news.items = &news;
  frame.news.hasNewsPage = true;
  frame.side.hasDiscord = true;
  frame.side.width = 3840;
  frame.side.height = 2160;
  frame.side.musicVolume = 0.0f;

  std::vector<MainScreenView> states;
  for (int phase = kPhaseNone; phase <= kPhaseError; ++phase) {
    MainScreenView v;
    v.run.phase = phase;
    v.run.running = phase != kPhaseReady && phase != kPhaseError;
    v.run.version = 1204;
    v.run.bytesDone = 1023 * 1048576ull;
    v.run.bytesTotal = 150ull * 1024 * 1048576;
    v.run.filesDone = 299999;
    v.run.filesTotal = 300000;
    v.run.currentItem = L"data/levels/harbour/level_07.pak";
    v.speed = 1000.0f * 1048576;
    states.push_back(v);
  }
  states.back().speed = 2000.0f;  // hours left
  MainScreenView launch = states[kPhaseReady];
  launch.launchMessage = L"Game executable not found: C:\\Games\\Quillmark\\bin\\quillmark.exe";
  states.push_back(launch);

  for (int lang = 0; lang < kUiLanguageCount; ++lang) {
    setUiLanguage(uiLanguageCodeAt(lang));
    const std::string language = uiLanguageCodeAt(lang);
    frame.header.languageCode = language;
    MainScreenView& error = states[kPhaseError];
    error.run.errorText =
        std::wstring(uiText(kStrErrFileInUse)) + L" data/levels/harbour/level_07.pak";
    for (std::size_t i = 0; i < states.size(); ++i) {
      frame.main = states[i];
      frame.news.expanded = i % 2 == 1;
      paintMain(frame);
      expectTextsFit(rec, rec.measure, language + " state " + std::to_string(i));
      // Both card buttons keep their full width beside each other.
      for (const int id : {kActionReadMore, kActionViewPost}) {
        EXPECT_GE(regionsOf(rec, id).at(0)->rect.width(), 150.0f) << language << " " << id;
      }
    }
    for (const PopUp open : {PopUp::LanguageList, PopUp::ResolutionList}) {
      frame.popUp.open = open;
      frame.popUp.resolutionRows = {L"3840 \u00D7 2160", L"1024 \u00D7 768"};
      paintMain(frame);
      expectTextsFit(rec, rec.measure, language + " list", false);
      rec.reset();
      Canvas c = rec.canvas();
      paintPopUpLayer(c, frame.popUp);
      expectTextsFit(rec, rec.measure, language + " list alone");
    }
    frame.popUp.open = PopUp::None;
  }
}

// ---- regions, items and tracks

TEST_F(SettingsPaint, ControlsRegisterTheirEntriesAndOptions) {
  view.page = 1;  // Graphics: Choice, List, Toggle and Slider entries, taller than its viewport
  paint();
  // No background: a drag on nothing in the caption band moves the window.
  EXPECT_TRUE(regionsOf(rec, kActionBackground).empty());
  for (int id : {kActionClose, kActionMinimise}) EXPECT_EQ(regionsOf(rec, id).size(), 1u);
  ASSERT_EQ(regionsOf(rec, kActionSettingsPage).size(), 7u);
  EXPECT_EQ(regionsOf(rec, kActionSettingsPage)[6]->itemIndex, 6);
  // GRAPHICS_LEVEL (entry 5): one button per option, entry * 16 + option; "High" is current.
  for (int option = 0; option < 3; ++option) {
    EXPECT_NE(region(kActionSettingOption, 5 * 16 + option), nullptr) << option;
  }
  EXPECT_EQ(region(kActionSettingOption, 5 * 16 + 3), nullptr);
  EXPECT_EQ(rec.findText(L"High")->rgb, colours::LightGold);
  EXPECT_EQ(rec.findText(L"Low")->rgb, colours::Text);
  EXPECT_NE(region(kActionSettingList, 6), nullptr);  // VISIBILITY
  EXPECT_NE(rec.findText(L"Long"), nullptr) << "its value in the box";
  EXPECT_NE(region(kActionSettingSwitch, 9), nullptr);  // TERRAIN_SHADOW
  // Rows below the viewport register nothing until scrolled in.
  const HitRegion* fromTop = region(kActionSettingSwitch, 14);  // OBJECT_CULLING, the last
  EXPECT_EQ(fromTop, nullptr);
  ASSERT_EQ(rec.output.scrollAreas.size(), 1u);
  const ScrollArea page = rec.output.scrollAreas[0];
  EXPECT_EQ(page.kind, ScrollKind::SettingsPage);
  EXPECT_GT(page.limit, 0.0f);

  view.pageScroll = 1e6f;         // clamped to the end
  view.values["SPECULAR"] = "0";  // reflections on: the inverted switch's knob at its right
  view.values["SHARPNESS"] = "2.50";
  paint();
  const HitRegion* last = region(kActionSettingSwitch, 14);
  ASSERT_NE(last, nullptr);
  EXPECT_LE(last->rect.bottom, page.rect.bottom);
  EXPECT_EQ(region(kActionSettingOption, 5 * 16), nullptr) << "scrolled out";
  // SHARPNESS (entry 13): its band reaches 10 beyond the track, which is published for the
  // drag with the entry as its item.
  ASSERT_EQ(rec.output.sliderTracks.size(), 1u);
  const SliderTrack track = rec.output.sliderTracks[0];
  EXPECT_EQ(track.actionId, kActionSettingSlider);
  EXPECT_EQ(track.itemIndex, 13);
  const HitRegion* band = region(kActionSettingSlider, 13);
  ASSERT_NE(band, nullptr);
  EXPECT_FLOAT_EQ(band->rect.left, track.track.left - 10.0f);
  EXPECT_FLOAT_EQ(band->rect.right, track.track.right + 10.0f);
  const auto knobAt = [&](RectF r) {
    for (const DrawCall* e : rec.callsOf(DrawKind::FillEllipse)) {
      const float x = (e->rect.left + e->rect.right) / 2, y = (e->rect.top + e->rect.bottom) / 2;
      if (e->rgb == colours::Knob && contains(r, x, y)) return x;
    }
    return -1.0f;
  };
  EXPECT_FLOAT_EQ(knobAt(band->rect), track.track.left + track.track.width() * 0.5f);
  EXPECT_NE(rec.findText(L"2.50"), nullptr);
  const RectF reflections = region(kActionSettingSwitch, 12)->rect;
  EXPECT_FLOAT_EQ(knobAt(reflections), reflections.right - 12.0f);
}

TEST_F(SettingsPaint, AnOpenListLiesOverItsBackgroundAndScrollsWithinItsRows) {
  view.page = 0;
  view.openList = 1;  // FREQUENCY: seven rates and a configured 59 Hz
  view.values["FREQUENCY"] = "59";
  view.listItems = dropDownItems(view.values, 1, {});
  ASSERT_EQ(view.listItems.size(), 8u);
  view.listScroll = 1e6f;
  paint();
  const std::vector<HitRegion>& regions = rec.output.hitRegions;
  const auto background = std::find_if(regions.begin(), regions.end(), [](const HitRegion& r) {
    return r.actionId == kActionListBackground;
  });
  ASSERT_NE(background, regions.end());
  // Above the background only the list's rows: every other control lies under it.
  for (auto it = background + 1; it != regions.end(); ++it) {
    EXPECT_EQ(it->actionId, kActionListOption);
  }
  const RectF box = region(kActionSettingList, 1)->rect;
  const ScrollArea list = rec.output.scrollAreas.back();
  EXPECT_EQ(list.kind, ScrollKind::SettingsList);
  EXPECT_FLOAT_EQ(list.rect.top, box.bottom + 4.0f);
  EXPECT_FLOAT_EQ(list.rect.height(), kSettingsListRows * kPopUpRowHeight + kPopUpPadding);
  EXPECT_FLOAT_EQ(list.limit, 2 * kPopUpRowHeight);
  // Scrolled to its end: the last rate's row shows, whole, at the bottom.
  EXPECT_EQ(regions.back().itemIndex, 7);
  EXPECT_FLOAT_EQ(regions.back().rect.bottom, list.rect.bottom - 4.0f);
  EXPECT_NE(rec.findText(L"240 Hz"), nullptr);
  // At the top, the first row is the current rate, which the box shows too and the list marks.
  view.listScroll = 0;
  paint();
  const std::vector<const DrawCall*> texts = rec.texts();
  const auto rate = std::find_if(texts.rbegin(), texts.rend(),
                                 [](const DrawCall* t) { return t->text == L"59 Hz"; });
  ASSERT_NE(rate, texts.rend());
  EXPECT_TRUE((*rate)->clipped);
  EXPECT_EQ((*rate)->rgb, colours::LightGold);
}

TEST_F(SettingsPaint, TheWarningBandPushesTheRowsDown) {
  paint();
  const float viewportTop = rec.output.scrollAreas.at(0).rect.top;
  EXPECT_EQ(rec.findText(settingsText(kSetGameRunning)), nullptr);
  EXPECT_TRUE(regionsOf(rec, kActionSaveAndPlay).at(0)->enabled);
  view.gameRunning = true;
  view.canPlay = false;
  paint();
  const DrawCall* warning = rec.findText(settingsText(kSetGameRunning));
  ASSERT_NE(warning, nullptr);
  EXPECT_GT(rec.output.scrollAreas.at(0).rect.top, warning->rect.bottom);
  EXPECT_GT(rec.output.scrollAreas.at(0).rect.top, viewportTop);
  EXPECT_FALSE(regionsOf(rec, kActionSaveAndPlay).at(0)->enabled);
}

TEST_F(SettingsPaint, SidePanelShowsTheConfigurationAndItsButtons) {
  SidePanelView side;
  side.width = 1920;
  side.height = 1080;
  side.musicVolume = 0.0005f;
  side.effectsVolume = 3;
  side.runActive = true;
  Canvas c = rec.canvas(kActionRepair, -1, 0);
  paintSidePanel(c, side);
  EXPECT_NE(rec.findText(L"1920 \u00D7 1080"), nullptr);
  EXPECT_NE(rec.findText(L"Off"), nullptr);
  EXPECT_NE(rec.findText(L"60%"), nullptr);
  // Repair is dimmed while a run goes on, and no hover lights it.
  ASSERT_EQ(regionsOf(rec, kActionRepair).size(), 1u);
  EXPECT_FALSE(regionsOf(rec, kActionRepair)[0]->enabled);
  EXPECT_EQ(rec.findText(L"Repair files")->rgb, colours::MutedText);
  // Without a Discord address "Website" spans the width.
  EXPECT_TRUE(regionsOf(rec, kActionDiscord).empty());
  EXPECT_FLOAT_EQ(regionsOf(rec, kActionWebsite)[0]->rect.width(), 262.0f);
  // The list hangs from the box's bottom edge.
  EXPECT_FLOAT_EQ(regionsOf(rec, kActionResolutionList)[0]->rect.bottom, resolutionListRect(3).top);
  // The tracks: the clickable band reaches 10 beyond each end.
  ASSERT_EQ(rec.output.sliderTracks.size(), 2u);
  const RectF effects = rec.output.sliderTracks[1].track;
  const HitRegion* band = regionsOf(rec, kActionEffectsSlider).at(0);
  EXPECT_FLOAT_EQ(band->rect.left, effects.left - 10.0f);
  EXPECT_FLOAT_EQ(band->rect.height(), 22.0f);

  rec.reset();
  side.hasDiscord = true;
  Canvas d = rec.canvas();
  paintSidePanel(d, side);
  ASSERT_EQ(regionsOf(rec, kActionDiscord).size(), 1u);
  EXPECT_FLOAT_EQ(regionsOf(rec, kActionWebsite)[0]->rect.left,
                  regionsOf(rec, kActionDiscord)[0]->rect.right + 8.0f);
}

// Seven tabs fit the column as they are; an eighth makes it scroll just far enough to show
// that page's tab whole, and a page opened there is scrolled into view.
TEST(SettingsTabs, SevenFitAndMoreScrollJustFarEnough) {
  EXPECT_FLOAT_EQ(settingsTabsScrollLimit(7), 0.0f);
  const float eighth = settingsTabsScrollLimit(8);
  EXPECT_GT(eighth, 0.0f);
  EXPECT_LT(eighth, kSettingsTabPitch);
  EXPECT_FLOAT_EQ(settingsTabsScrollLimit(9), eighth + kSettingsTabPitch);
  EXPECT_FLOAT_EQ(settingsTabScrollShowing(7), eighth);
  for (int page = 0; page < 7; ++page) EXPECT_FLOAT_EQ(settingsTabScrollShowing(page), 0.0f);
}

}  // namespace
