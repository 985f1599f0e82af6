// The Direct2D renderer drawing real frames of the main screen into memory (Windows build, run
// under Wine with an X display). Each frame is also saved as a PNG under
// <build>/screenshots/ so that a person can look at it; the checks below look for the colours
// that prove each element was drawn where it belongs, in whichever fonts this system has.
#include "ui/renderer.h"

#include <windows.h>
#include <gtest/gtest.h>
// After windows.h:
#include <objbase.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "gamecfg/config_model.h"
#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/layout.h"
#include "update/launcher_state.h"

namespace {
constexpr std::uint64_t kMB = 1048576;

struct Rgb {
  int r, g, b;
};

class Renderer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    setUiLanguage("en");
    renderer::initialise();
    CreateDirectoryW(screenshotDir().c_str(), nullptr);
  }
  static void TearDownTestSuite() {
    renderer::releaseDeviceResources();
    renderer::shutdown();
    CoUninitialize();
  }
  static std::wstring screenshotDir() {
    return utf8ToWide(std::string(QM_TEST_BINARY_DIR) + "/screenshots/");
  }

  // Paints view at dpi and saves it as name.png; fails the test when either step fails.
  bool paint(const FrameView& view, const char* name, float dpi = 96.0f) {
    scale = dpi / 96.0f;
    width = static_cast<unsigned>(kCanvasWidth * scale + 0.5f);
    height = static_cast<unsigned>(kCanvasHeight * scale + 0.5f);
    if (!renderer::paintFrameToPixels(view, width, height, dpi, pixels)) {
      ADD_FAILURE() << "no frame; is there an X display for Wine?";
      return false;
    }
    const std::wstring path = screenshotDir() + utf8ToWide(name) + L".png";
    EXPECT_TRUE(renderer::writePng(path, width, height, pixels));
    return true;
  }
  // The pixel at canvas position (x, y).
  Rgb at(float x, float y) const {
    const unsigned px = static_cast<unsigned>(x * scale), py = static_cast<unsigned>(y * scale);
    const std::uint32_t p = pixels[static_cast<size_t>(py) * width + px];
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
  }
  // Whether any pixel of the canvas rectangle satisfies test.
  template <typename Test>
  bool any(RectF r, Test test) const {
    for (float y = r.top; y < r.bottom; y += 0.5f) {
      for (float x = r.left; x < r.right; x += 0.5f) {
        if (test(at(x, y))) return true;
      }
    }
    return false;
  }

  float scale = 1.0f;
  unsigned width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

bool greenText(Rgb c) { return c.g > 140 && c.g > c.r + 40 && c.g > c.b + 30; }
bool brightText(Rgb c) { return c.r > 170 && c.g > 170 && c.b > 160; }
bool redText(Rgb c) { return c.r > 170 && c.g < 140 && c.b < 140; }
bool goldInk(Rgb c) { return c.r > 160 && c.g > 110 && c.b < 110 && c.r - c.b > 90; }
// The progress bar's gold runs from LightGold (255, 217, 138) to DarkGold (168, 112, 31).
bool barGold(Rgb c) { return c.r > 150 && c.g > 100 && c.r - c.b > 60 && c.g > c.b; }
RectF inset(RectF r, float by) { return {r.left + by, r.top + by, r.right - by, r.bottom - by}; }

bool darkInk(Rgb c) { return c.r < 110 && c.g < 90 && c.b < 60; }

// Every frame has the header a player sees: the links of a release and the selector's code.
FrameView withHeader() {
  FrameView f;
  f.header.linkAddresses = {L"https://a/", L"https://b/", L"https://c/", L"https://d/",
                            L"https://e/"};
  f.header.languageCode = "en";
  return f;
}

FrameView readyView() {
  FrameView f = withHeader();
  f.main.run.phase = kPhaseReady;
  f.main.run.version = 1204;
  return f;
}

FrameView downloadView() {
  FrameView f = withHeader();
  f.main.run.phase = kPhaseDownloading;
  f.main.run.running = true;
  f.main.run.bytesDone = 1536 * kMB;
  f.main.run.bytesTotal = 5261 * kMB;
  f.main.run.filesDone = 312;
  f.main.run.filesTotal = 1048;
  f.main.run.currentItem = L"data/maps/harbour.pak";
  f.main.speed = 1.0f * kMB;
  f.main.clock = 0.7f;
  return f;
}
}  // namespace

TEST_F(Renderer, FindsItsPicturesAndAFontThatExists) {
  EXPECT_TRUE(renderer::hasImage(ImageId::Background));
  EXPECT_TRUE(renderer::hasImage(ImageId::Logo));
  const std::wstring family = renderer::textFamily();
  EXPECT_FALSE(family.empty());
  std::printf("text family: %s, icon font: %s\n", wideToUtf8(family).c_str(),
              renderer::hasIconFont() ? "yes" : "no (drawn icons)");
}

// The executable's resources come from resources/launcher.rc, linked into this test too.
TEST(LauncherResources, IconVersionAndManifestAreEmbedded) {
  HMODULE self = GetModuleHandleW(nullptr);
  EXPECT_NE(LoadImageW(self, MAKEINTRESOURCEW(101), IMAGE_ICON, 32, 32, 0), nullptr);
  EXPECT_NE(FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */),
            nullptr);
  HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
  ASSERT_NE(found, nullptr);
  const char* data = static_cast<const char*>(LockResource(LoadResource(self, found)));
  ASSERT_NE(data, nullptr);
  const std::string manifest(data, SizeofResource(self, found));
  for (const char* needle :
       {"level=\"asInvoker\"", "PerMonitorV2", "true/pm", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
  }
}

TEST_F(Renderer, ReadyFrameShowsEveryElementOfTheStatusArea) {
  if (!paint(readyView(), "main_ready")) return;
  // "100%" in the percentage box, "READY TO PLAY" in green, "Version 1204" at the right.
  EXPECT_TRUE(any({36, 592, 160, 664}, brightText));
  EXPECT_TRUE(any({160, 598, 300, 616}, greenText));
  EXPECT_TRUE(any({600, 600, 770, 616}, [](Rgb c) { return c.r > 120 && c.g > 110; }));
  // The full bar: gold at both ends of the track.
  EXPECT_TRUE(barGold(at(165, 631)));
  EXPECT_TRUE(barGold(at(760, 631)));
  // The enabled button: a gold face with dark "PLAY" in the middle.
  EXPECT_TRUE(goldInk(at(810, 610)));
  EXPECT_TRUE(any({900, 615, 1000, 645}, darkInk));
  // The side panel: its heading in gold, its texts, the music track filled in gold.
  EXPECT_TRUE(any({816, 92, 1000, 114}, goldInk));
  EXPECT_TRUE(any(inset(kSidePanelRect, 4), brightText));
  // The hit region of the main button, as painted, above the background's.
  const std::vector<HitRegion>& regions = renderer::frameOutput().hitRegions;
  ASSERT_GE(regions.size(), 2u);
  EXPECT_EQ(regions.front().actionId, kActionBackground);
  EXPECT_EQ(regions.back().actionId, kActionPlay);
  EXPECT_TRUE(regions.back().enabled);
}

TEST_F(Renderer, DownloadFrameShowsSpeedIconBarAndTransferLine) {
  if (!paint(downloadView(), "main_downloading")) return;
  EXPECT_TRUE(any({36, 592, 160, 664}, brightText));   // "29%"
  EXPECT_TRUE(any({160, 598, 260, 616}, goldInk));     // "UPDATING"
  EXPECT_TRUE(any({260, 596, 570, 616}, brightText));  // "Downloading data/..."
  // The right-hand line: the download icon is the only gold right of the message.
  EXPECT_TRUE(any({571, 598, 770, 616}, goldInk));
  EXPECT_TRUE(any({571, 598, 770, 616}, brightText));  // "1.0 MB/s"
  // The bar is filled up to 29 % and empty after it.
  EXPECT_TRUE(barGold(at(200, 631)));
  EXPECT_FALSE(barGold(at(500, 631)));
  EXPECT_TRUE(any({160, 642, 500, 660}, [](Rgb c) { return c.r > 130 && c.g > 120; }));
  // The disabled button: no gold face.
  EXPECT_FALSE(goldInk(at(810, 610)));
}

TEST_F(Renderer, ErrorAndHoverFrames) {
  FrameView error = withHeader();
  error.main.run.phase = kPhaseError;
  error.main.run.bytesDone = 40;
  error.main.run.bytesTotal = 100;
  error.main.run.errorText = L"Could not connect to the patch server.";
  if (!paint(error, "main_error")) return;
  EXPECT_TRUE(any({36, 592, 160, 664}, redText));   // "!"
  EXPECT_TRUE(any({160, 598, 220, 616}, redText));  // "ERROR"
  EXPECT_TRUE(any({230, 596, 570, 616}, redText));  // the error text
  EXPECT_TRUE(redText(at(200, 631)));               // red bar
  EXPECT_TRUE(goldInk(at(810, 610)));               // "RETRY" is enabled

  if (!paint(readyView(), "main_ready")) return;
  const Rgb atRest = at(795, 629);
  FrameView hovered = readyView();
  hovered.hoverId = kActionPlay;
  hovered.pressedId = kActionPlay;
  if (!paint(hovered, "main_ready_pressed")) return;
  // The pressed button moved down one unit: its hit region follows.
  EXPECT_FLOAT_EQ(renderer::frameOutput().hitRegions.back().rect.top, kMainButtonRect.top + 1);
  // The gold glow of the hovered button lights the panel beside it.
  EXPECT_GT(at(795, 629).r, atRest.r + 2);
  EXPECT_GT(at(795, 629).g, atRest.g + 1);
}

TEST_F(Renderer, ALongMessageStaysInsideItsLineAboveTheBar) {
  // Too long for the room between the title and x 570: whatever does not fit is cut off at
  // the message's rectangle (bottom at y 616), never drawn as a second line over the bar.
  FrameView error = withHeader();
  error.main.run.phase = kPhaseError;
  error.main.run.errorText =
      L"File in use - close the game and try again: data/levels/harbour/level_07.pak";
  if (!paint(error, "main_error_long")) return;
  EXPECT_TRUE(any({230, 596, 570, 616}, redText));
  EXPECT_FALSE(any({225, 617, 570, 627}, redText));
}

std::vector<NewsItem> sevenNews() {
  std::vector<NewsItem> news(7);
  for (std::size_t i = 0; i < news.size(); ++i) {
    news[i].title = L"Patch notes " + std::to_wstring(i + 1) + L": the harbour opens at dawn";
    news[i].date = L"0" + std::to_wstring(i + 1) + L"/12/2026";
    news[i].type = i % 3 == 0 ? L"event" : i % 3 == 1 ? L"update" : L"news";
    news[i].url = L"https://quillmark.example/news";
  }
  news[0].author = L"Ilse Varga";
  for (int i = 0; i < 40; ++i) news[0].text += L"The harbour town opens its gates at dawn. ";
  return news;
}

// The front page as a player sees it: links, window buttons, the logo, the news card and list.
TEST_F(Renderer, HeaderAndNewsWithTheLanguageListOpen) {
  const std::vector<NewsItem> news = sevenNews();
  FrameView view = readyView();
  view.header.linkAddresses = {L"https://a/", L"https://b/", L"", L"https://d/", L"https://e/"};
  view.news.items = &news;
  view.news.hasNewsPage = true;
  view.hoverId = kActionClose;
  if (!paint(view, "main_news")) return;
  EXPECT_TRUE(redText(at(1075, 20)));               // the hovered close button
  EXPECT_TRUE(any({36, 16, 300, 46}, brightText));  // the links
  EXPECT_TRUE(any({kNewsRowsRect.left, kNewsRowsRect.top, kNewsRowsRect.right, 400}, brightText));
  EXPECT_TRUE(any({56, 306, 380, 340}, brightText));  // the card's title
  EXPECT_TRUE(goldInk(at(60, 520)));                  // "Read more"

  view.hoverId = 0;
  view.news.expanded = true;
  if (!paint(view, "main_news_expanded")) return;
  EXPECT_TRUE(any({420, 400, 600, 480}, [](Rgb c) { return c.r > 170 && c.g > 160; }));

  view.news.expanded = false;
  view.popUp.open = PopUp::LanguageList;
  view.popUp.currentLanguage = findClientLanguage("en");
  view.header.languageListOpen = true;
  if (!paint(view, "main_language_list")) return;
  const RectF list = languageListRect(kClientLanguageCount);
  EXPECT_TRUE(any({list.left, list.top, list.right, list.top + 80}, brightText));
  EXPECT_TRUE(any({list.left, list.bottom - 40, list.right, list.bottom - 4}, brightText));
  if (!paint(view, "main_language_list_144dpi", 144.0f)) return;
  EXPECT_TRUE(any({list.left, list.bottom - 40, list.right, list.bottom - 4}, brightText));
}

// The front page in languages with long words and other letters, for a person to look at: a
// download with a long path and a title cut at two lines, the card expanded, a failed update.
TEST_F(Renderer, FrontPageInHungarianGermanAndGreek) {
  std::vector<NewsItem> news = sevenNews();
  news[0].title =
      L"Patch notes: the harbour opens at dawn, the lighthouse is lit again and the "
      L"fishing fleet sails out";
  for (const char* language : {"hu", "de", "gr"}) {
    setUiLanguage(language);
    SCOPED_TRACE(language);
    FrameView view = downloadView();
    view.header.languageCode = language;
    view.news.items = &news;
    view.news.hasNewsPage = true;
    view.main.run.currentItem = L"data/levels/harbour/lighthouse/level_07.pak";
    view.main.speed = 2000.0f;
    if (!paint(view, (std::string("front_") + language).c_str())) return;
    EXPECT_TRUE(any({56, 306, 380, 340}, brightText));  // the card's title
    EXPECT_TRUE(goldInk(at(60, 520)));                  // "Read more"
    view.news.expanded = true;
    view.main.run = FrameView().main.run;
    view.main.run.phase = kPhaseError;
    view.main.run.errorText =
        std::wstring(uiText(kStrErrFileInUse)) + L" data/levels/harbour/level_07.pak";
    if (!paint(view, (std::string("front_") + language + "_expanded_error").c_str())) return;
    EXPECT_TRUE(any({230, 596, 570, 616}, redText));
    EXPECT_FALSE(any({225, 617, 570, 627}, redText));
  }
  setUiLanguage("en");
}

TEST_F(Renderer, HighDpiFrameKeepsTheLayoutInCanvasUnits) {
  if (!paint(downloadView(), "main_downloading_144dpi", 144.0f)) return;
  EXPECT_EQ(width, 1695u);
  EXPECT_EQ(height, 1035u);
  // Same canvas positions as at 96 dpi, read through the 1.5 scale.
  EXPECT_TRUE(barGold(at(200, 631)));
  EXPECT_FALSE(barGold(at(500, 631)));
  EXPECT_TRUE(any({571, 598, 770, 616}, goldInk));
}

namespace {
FrameView settingsView(int page) {
  FrameView f;
  f.settingsOpen = true;
  f.settings.page = page;
  loadConfigValues(GameConfigFile(), f.settings.values, true);
  return f;
}
}  // namespace

// The advanced settings pages in English and in Greek (the longest texts), at 96 and 144 dpi:
// every page, the warning band and the saved notice on the first, an open option list.
TEST_F(Renderer, SettingsPagesInEnglishAndGreek) {
  for (const char* language : {"en", "gr"}) {
    setUiLanguage(language);
    for (const float dpi : {96.0f, 144.0f}) {
      for (int page = 0; page < configPageCount(); ++page) {
        SCOPED_TRACE(std::string(language) + " page " + std::to_string(page));
        FrameView view = settingsView(page);
        view.settings.gameRunning = page == 0;
        view.settings.notice = page == 0 ? SaveNotice::Saved : SaveNotice::None;
        const std::string name = std::string("settings_") + language + "_page" +
                                 std::to_string(page) + (dpi > 96.0f ? "_144dpi" : "");
        if (!paint(view, name.c_str(), dpi)) return;
        const float tab = kSettingsTabsRect.top + 12 + page * kSettingsTabPitch;
        EXPECT_TRUE(goldInk(at(kSettingsTabsRect.left + 11, tab + 20)));  // the selected tab
        EXPECT_TRUE(any({kSettingsPageRect.left + 20, 200, 700, 300}, brightText));  // labels
        EXPECT_TRUE(goldInk(at(810, 610)));  // "Save & play"
        if (page == 0) {
          EXPECT_TRUE(any({330, 150, 400, 180}, redText));   // the warning band
          EXPECT_TRUE(any({36, 600, 300, 660}, greenText));  // "Settings saved."
        }
      }
    }
  }
  setUiLanguage("en");
  FrameView list = settingsView(1);
  list.settings.openList = 6;  // VISIBILITY
  list.settings.listItems = dropDownItems(list.settings.values, 6, {});
  if (!paint(list, "settings_en_list")) return;
  const RectF area = renderer::frameOutput().scrollAreas.back().rect;
  EXPECT_TRUE(any({area.left, area.top, area.right, area.top + 40}, brightText));
}
