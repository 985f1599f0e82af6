// The main screen's status area drawn into the recording back end: texts, colours, bar
// geometry and the main button for each phase of an update run.
#include "ui/main_screen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "i18n/strings.h"
#include "ui/action_ids.h"
#include "ui/frame.h"
#include "ui/recording_canvas.h"
#include "update/launcher_state.h"
#include "update/speed_meter.h"

namespace {
constexpr std::uint64_t kMB = 1048576;
// A phase that the run never posts.
constexpr int kNotAStatus = 42;

class MainScreen : public ::testing::Test {
 protected:
  void SetUp() override { setUiLanguage("en"); }
  void TearDown() override { setUiLanguage("en"); }

  void paint(const MainScreenView& view, int hoverId = 0, int pressedId = 0) {
    rec.reset();
    Canvas c = rec.canvas(hoverId, -1, pressedId);
    paintStatusArea(c, view);
  }
  const DrawCall& text(const std::wstring& t) {
    const DrawCall* call = rec.findText(t);
    if (!call) {
      ADD_FAILURE() << "no text \"" << std::string(t.begin(), t.end()) << "\"";
      static const DrawCall none;
      return none;
    }
    return *call;
  }
  // The text call drawn with format f, when exactly one is.
  const DrawCall* onlyTextIn(TextFormat f) {
    const DrawCall* found = nullptr;
    for (const DrawCall* t : rec.texts()) {
      if (t->format != f) continue;
      if (found) return nullptr;
      found = t;
    }
    return found;
  }
  // The progress gradient (the only two-stop gradient of the area).
  const DrawCall* barFill() {
    for (const DrawCall* g : rec.callsOf(DrawKind::Gradient)) {
      if (g->stops.size() == 2) return g;
    }
    return nullptr;
  }
  const DrawCall* knob() {
    const auto knobs = rec.callsOf(DrawKind::FillEllipse);
    return knobs.size() == 1 ? knobs[0] : nullptr;
  }

  RecordingCanvas rec;
};

void expectRect(const RectF& r, float l, float t, float rt, float b) {
  EXPECT_FLOAT_EQ(r.left, l);
  EXPECT_FLOAT_EQ(r.top, t);
  EXPECT_FLOAT_EQ(r.right, rt);
  EXPECT_FLOAT_EQ(r.bottom, b);
}
void expectRect(const RectF& r, const RectF& expected, float down = 0) {
  expectRect(r, expected.left, expected.top + down, expected.right, expected.bottom + down);
}

MainScreenView downloading() {
  MainScreenView v;
  v.run.phase = kPhaseDownloading;
  v.run.running = true;
  v.run.bytesDone = 1536 * kMB;
  v.run.bytesTotal = (1536 + 3725) * kMB;
  v.run.filesDone = 3;
  v.run.filesTotal = 10;
  v.run.currentItem = L"data/maps.pak";
  v.speed = static_cast<float>(kMB);  // 3725 MB left at 1 MB/s: 3725 s
  v.clock = 0.5f;
  return v;
}
}  // namespace

TEST(SizeText, ChoosesTheUnitBeforeRoundingAndHonoursTheDecimalComma) {
  EXPECT_EQ(sizeText(1536 * kMB, false), L"1.50 GB");
  EXPECT_EQ(sizeText(1536 * kMB, true), L"1,50 GB");
  // 1023.99 MB is below the gigabyte line and rounds up within megabytes.
  EXPECT_EQ(sizeText(static_cast<std::uint64_t>(1023.99 * kMB), false), L"1024.0 MB");
  EXPECT_EQ(sizeText(1024 * kMB, false), L"1.00 GB");
  EXPECT_EQ(sizeText(500, false), L"0.0 MB");
  EXPECT_EQ(sizeText(0, true), L"0,0 MB");
  EXPECT_EQ(sizeText(5 * kMB / 2, true), L"2,5 MB");
  // The largest counter still formats (no overflow, no truncated buffer).
  EXPECT_EQ(sizeText(UINT64_MAX, false), L"17179869184.00 GB");

  setUiLanguage("de");
  EXPECT_EQ(sizeText(1536 * kMB), L"1,50 GB");
  // A slow link reads in kilobytes, not "0,0 MB/s".
  EXPECT_EQ(speedText(40 * 1024 + 1000), L"40 KB/s");
  EXPECT_EQ(speedText(kMB - 1), L"1023 KB/s");
  EXPECT_EQ(speedText(5 * kMB / 2), L"2,5 MB/s");
  setUiLanguage("en");
  EXPECT_EQ(sizeText(1536 * kMB), L"1.50 GB");
}

TEST(TimeLeftText, HoursMinutesAndSecondsInTheLanguagesOrder) {
  setUiLanguage("en");
  EXPECT_EQ(timeLeftText(3725.99), L"1:02:05 left");
  EXPECT_EQ(timeLeftText(59.9), L"0:59 left");
  EXPECT_EQ(timeLeftText(600.0), L"10:00 left");
  EXPECT_EQ(timeLeftText(100 * 3600.0), L"100:00:00 left");
  setUiLanguage("de");
  EXPECT_EQ(timeLeftText(61), L"noch 1:01");
  setUiLanguage("tr");
  EXPECT_EQ(timeLeftText(36005), L"10:00:05 kald\u0131");
  setUiLanguage("en");
}

TEST_F(MainScreen, StatusTitleAndColourFollowThePhase) {
  struct Case {
    int phase;
    bool running;
    const wchar_t* title;
    std::uint32_t colour;
  };
  const Case cases[] = {
      {kPhaseNone, true, L"Connecting to patch server...", colours::Gold},
      {kPhaseConnecting, true, L"Connecting to patch server...", colours::Gold},
      {kPhaseVerifying, true, L"Verifying signature...", colours::Gold},
      {kPhaseChecking, true, L"CHECKING", colours::Gold},
      {kPhaseDownloading, true, L"UPDATING", colours::Gold},
      {kPhaseApplying, true, L"Applying changes...", colours::Gold},
      {kPhaseSelfUpdate, true, L"Updating launcher...", colours::Gold},
      {kPhaseRestart, false, L"Updating launcher...", colours::Gold},
      {kPhaseReady, false, L"READY TO PLAY", colours::ReadyGreen},
      {kPhaseError, false, L"ERROR", colours::ErrorRed},
      {kNotAStatus, true, L"Connecting to patch server...", colours::Gold},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.phase);
    MainScreenView v;
    v.run.phase = k.phase;
    v.run.running = k.running;
    paint(v);
    const DrawCall& title = text(k.title);
    EXPECT_EQ(title.format, TextFormat::Bold11_5);
    EXPECT_EQ(title.rgb, k.colour);
    // Measured with the maximum width 10000 and drawn 4 units wider than measured.
    const float w = recordedTextSize(k.title, TextFormat::Bold11_5).width;
    expectRect(title.rect, 160, kStatusTop + 26, 160 + w + 4, kStatusTop + 44);
  }
}

TEST_F(MainScreen, ReadyShowsFullBarVersionAndEnabledPlay) {
  MainScreenView v;
  v.run.phase = kPhaseReady;
  v.run.version = 42;
  v.run.bytesTotal = 0;  // nothing was downloaded: still a full bar
  paint(v);

  const DrawCall& percent = text(L"100%");
  EXPECT_EQ(percent.format, TextFormat::Light44);
  EXPECT_EQ(percent.rgb, colours::BrightText);
  expectRect(percent.rect, 36, kStatusTop + 20, 160, kStatusTop + 92);

  const DrawCall& version = text(L"Version 42");
  EXPECT_EQ(version.format, TextFormat::Regular11_5);
  EXPECT_EQ(version.rgb, colours::SecondaryText);
  EXPECT_EQ(version.horizontal, HAlign::Trailing);
  // As wide as its text (ten characters of 5.75), right-aligned at 770.
  expectRect(version.rect, 770 - 57.5f - 2, kStatusTop + 28, 770, kStatusTop + 44);

  const DrawCall* fill = barFill();
  ASSERT_NE(fill, nullptr);
  expectRect(fill->rect, 160, kStatusTop + 56, 770, kStatusTop + 62);
  EXPECT_EQ(fill->stops[0].rgb, colours::LightGold);
  EXPECT_EQ(fill->stops[1].rgb, colours::DarkGold);
  EXPECT_FLOAT_EQ(fill->start.x, 160);
  EXPECT_FLOAT_EQ(fill->end.x, 770);
  ASSERT_NE(knob(), nullptr);
  EXPECT_FLOAT_EQ((knob()->rect.left + knob()->rect.right) / 2, 769);
  EXPECT_FLOAT_EQ((knob()->rect.top + knob()->rect.bottom) / 2, kStatusTop + 59);
  // No shimmer and no transfer line once the run has ended; no bullet without a message.
  EXPECT_TRUE(rec.callsOf(DrawKind::PushClip).empty());
  EXPECT_EQ(rec.findText(L"\u2022"), nullptr);
  EXPECT_EQ(onlyTextIn(TextFormat::Regular11_5), &version);

  const DrawCall& play = text(L"PLAY");
  EXPECT_EQ(play.format, TextFormat::Bold22Centred);
  EXPECT_EQ(play.rgb, colours::ButtonInk);
  ASSERT_EQ(rec.output.hitRegions.size(), 1u);
  EXPECT_EQ(rec.output.hitRegions[0].actionId, kActionPlay);
  EXPECT_TRUE(rec.output.hitRegions[0].enabled);
  EXPECT_EQ(rec.output.hitRegions[0].itemIndex, -1);
  expectRect(rec.output.hitRegions[0].rect, kMainButtonRect);
}

TEST_F(MainScreen, DownloadShowsSpeedTimeLeftTransferLineAndShimmer) {
  const MainScreenView v = downloading();
  paint(v);

  EXPECT_EQ(text(L"29%").rgb, colours::BrightText);  // 1536 / 5261 = 29.2 %
  const float titleEnd = 160 + recordedTextSize(L"UPDATING", TextFormat::Bold11_5).width;
  const DrawCall& bullet = text(L"\u2022");
  EXPECT_EQ(bullet.rgb, colours::MutedText);
  expectRect(bullet.rect, titleEnd + 8, kStatusTop + 23, titleEnd + 20, kStatusTop + 44);
  const DrawCall& message = text(L"Downloading data/maps.pak");
  EXPECT_EQ(message.format, TextFormat::Regular13_5);
  EXPECT_EQ(message.rgb, colours::MessageText);
  expectRect(message.rect, titleEnd + 22, kStatusTop + 24, 570, kStatusTop + 44);

  const DrawCall& left = text(L"1:02:05 left");
  const float wt = recordedTextSize(L"1:02:05 left", TextFormat::Regular11_5).width;
  EXPECT_EQ(left.horizontal, HAlign::Trailing);
  EXPECT_EQ(left.rgb, colours::SecondaryText);
  expectRect(left.rect, 770 - wt - 2, kStatusTop + 28, 770, kStatusTop + 44);
  const DrawCall& speed = text(L"1.0 MB/s");
  const float ws = recordedTextSize(L"1.0 MB/s", TextFormat::Bold11_5).width;
  const float x = 770 - wt - 14 - ws;
  EXPECT_EQ(speed.format, TextFormat::Bold11_5);
  EXPECT_EQ(speed.rgb, colours::Text);
  expectRect(speed.rect, x, kStatusTop + 27, x + ws + 2, kStatusTop + 44);
  const DrawCall& glyph = text(L"\uE896");
  EXPECT_EQ(glyph.format, TextFormat::Icons10);
  EXPECT_EQ(glyph.rgb, colours::Gold);
  expectRect(glyph.rect, x - 18, kStatusTop + 26, x - 4, kStatusTop + 44);

  const DrawCall& transfer = text(L"1.50 GB / 5.14 GB  \u00B7  3 / 10 files");
  EXPECT_EQ(transfer.rgb, colours::SecondaryText);
  expectRect(transfer.rect, 160, kStatusTop + 70, 770, kStatusTop + 88);

  // The bar, short of the pause control, ends at its fraction; the shimmer is a white glow
  // clipped to it.
  const float fraction = static_cast<float>(v.run.bytesDone) / static_cast<float>(v.run.bytesTotal);
  const float r = 160 + fraction * (kProgressTrackRightBesidePause - 160);
  ASSERT_NE(barFill(), nullptr);
  EXPECT_FLOAT_EQ(barFill()->rect.right, r);
  const auto glows = rec.callsOf(DrawKind::Glow);
  ASSERT_EQ(glows.size(), 1u);
  EXPECT_EQ(glows[0]->rgb, colours::White);
  EXPECT_FLOAT_EQ(glows[0]->opacity, 0.55f);
  ASSERT_TRUE(glows[0]->clipped);
  expectRect(glows[0]->clip, 160, kStatusTop + 56, r, kStatusTop + 62);
  const float centre = 100 + std::fmod(0.5f * 260, (r - 160) + 120);
  expectRect(glows[0]->rect, centre - 60, kStatusTop + 59 - 14, centre + 60, kStatusTop + 59 + 14);
  // The clip is removed before the knob, which is drawn unclipped at the bar's end.
  ASSERT_NE(knob(), nullptr);
  EXPECT_FALSE(knob()->clipped);
  EXPECT_FLOAT_EQ(knob()->rect.left, r - 1 - 5);
  EXPECT_EQ(knob()->rgb, colours::LightGold);

  EXPECT_EQ(text(L"WAIT").rgb, colours::SecondaryText);
  ASSERT_EQ(rec.output.hitRegions.size(), 2u);
  EXPECT_EQ(rec.output.hitRegions[0].actionId, kActionPauseResume);
  EXPECT_TRUE(rec.output.hitRegions[0].enabled);
  expectRect(rec.output.hitRegions[0].rect, kPauseControlRect);
  EXPECT_EQ(text(L"\uE769").rgb, colours::Text);  // pause
  EXPECT_EQ(rec.output.hitRegions[1].actionId, kActionPlay);
  EXPECT_FALSE(rec.output.hitRegions[1].enabled);
}

// Paused, the download keeps its percentage, bar and transfer line; it says so instead of
// what it fetched, shows no speed or shimmer, and the control offers to resume once the run has
// stopped. PLAY stays disabled: the folder is not up to date.
TEST_F(MainScreen, PausedDownloadKeepsItsPlaceAndOffersResume) {
  MainScreenView v = downloading();
  v.run.paused = true;  // still stopping
  paint(v);
  EXPECT_NE(rec.findText(L"29%"), nullptr);
  EXPECT_EQ(text(L"PAUSED").rgb, colours::Gold);
  EXPECT_EQ(text(L"Progress is kept; resume at any time.").rgb, colours::MessageText);
  EXPECT_EQ(rec.findText(L"Downloading data/maps.pak"), nullptr);
  EXPECT_EQ(rec.findText(L"\uE896"), nullptr);
  EXPECT_TRUE(rec.callsOf(DrawKind::Glow).empty());
  EXPECT_NE(rec.findText(L"1.50 GB / 5.14 GB  \u00B7  3 / 10 files"), nullptr);
  const float fraction = static_cast<float>(v.run.bytesDone) / static_cast<float>(v.run.bytesTotal);
  EXPECT_FLOAT_EQ(barFill()->rect.right, 160 + fraction * (kProgressTrackRightBesidePause - 160));
  EXPECT_EQ(text(L"\uE768").rgb, colours::MutedText);  // resume, not yet
  ASSERT_EQ(rec.output.hitRegions.size(), 2u);
  EXPECT_FALSE(rec.output.hitRegions[0].enabled);

  v.run.running = false;
  paint(v);
  EXPECT_EQ(text(L"\uE768").rgb, colours::LightGold);
  ASSERT_EQ(rec.output.hitRegions.size(), 2u);
  EXPECT_EQ(rec.output.hitRegions[0].actionId, kActionPauseResume);
  EXPECT_TRUE(rec.output.hitRegions[0].enabled);
  EXPECT_NE(rec.findText(L"WAIT"), nullptr);
  EXPECT_FALSE(rec.output.hitRegions[1].enabled);

  // A pause that came as the last download ended: the run's end, and no control.
  v.run.phase = kPhaseReady;
  paint(v);
  EXPECT_NE(rec.findText(L"READY TO PLAY"), nullptr);
  ASSERT_EQ(rec.output.hitRegions.size(), 1u);
  EXPECT_EQ(rec.output.hitRegions[0].actionId, kActionPlay);
  EXPECT_FLOAT_EQ(barFill()->rect.right, kProgressTrackRect.right);

  // The title and its message fit beside each other in every language.
  for (int lang = 0; lang < kUiLanguageCount; ++lang) {
    const float titleEnd =
        160 + recordedTextSize(uiTextIn(lang, kStrPaused), TextFormat::Bold11_5).width;
    EXPECT_LE(
        titleEnd + 22 +
            recordedTextSize(uiTextIn(lang, kStrPausedMessage), TextFormat::Regular13_5).width,
        570)
        << uiLanguageCodeAt(lang);
  }
}

TEST_F(MainScreen, ShimmerWrapsAroundTheFilledPart) {
  MainScreenView v = downloading();
  v.run.bytesDone = v.run.bytesTotal / 2;
  const float r = 160 + 0.5f * (kProgressTrackRightBesidePause - 160);
  v.clock = 10.0f;  // 2600 units travelled: wrapped several times
  paint(v);
  const auto glows = rec.callsOf(DrawKind::Glow);
  ASSERT_EQ(glows.size(), 1u);
  const float centre = (glows[0]->rect.left + glows[0]->rect.right) / 2;
  EXPECT_GE(centre, 100.0f);
  EXPECT_LT(centre, r + 60.0f);
}

TEST_F(MainScreen, DecimalCommaLanguageFormatsEverySize) {
  setUiLanguage("pt");
  paint(downloading());
  bool sawTransfer = false, sawSpeed = false;
  for (const DrawCall* t : rec.texts()) {
    if (t->text.find(L"1,50 GB / 5,14 GB") == 0) sawTransfer = true;
    if (t->text == L"1,0 MB/s") sawSpeed = true;
    EXPECT_EQ(t->text.find(L"1.50"), std::wstring::npos);
  }
  EXPECT_TRUE(sawTransfer);
  EXPECT_TRUE(sawSpeed);
}

TEST_F(MainScreen, TinyFractionStillShowsASixUnitBarWithKnob) {
  MainScreenView v;
  v.run.phase = kPhaseChecking;
  v.run.running = true;
  v.run.bytesDone = 1;
  v.run.bytesTotal = 1000;
  paint(v);
  EXPECT_NE(rec.findText(L"0%"), nullptr);
  ASSERT_NE(barFill(), nullptr);
  EXPECT_FLOAT_EQ(barFill()->rect.right, 166);
  ASSERT_NE(knob(), nullptr);
  EXPECT_FLOAT_EQ((knob()->rect.left + knob()->rect.right) / 2, 165);
}

TEST_F(MainScreen, EmptyTotalShowsEmptyTrackUntilReady) {
  MainScreenView v;
  v.run.phase = kPhaseChecking;
  v.run.running = true;
  paint(v);
  EXPECT_NE(rec.findText(L"0%"), nullptr);
  EXPECT_EQ(barFill(), nullptr);
  EXPECT_EQ(knob(), nullptr);
  // The track is always there, opaque, without border.
  const auto tracks = rec.callsOf(DrawKind::RoundRect);
  ASSERT_FALSE(tracks.empty());
  EXPECT_EQ(tracks[0]->rgb, colours::Track);
  EXPECT_FLOAT_EQ(tracks[0]->opacity, 1.0f);
  EXPECT_FLOAT_EQ(tracks[0]->borderOpacity, 0.0f);
  expectRect(tracks[0]->rect, 160, kStatusTop + 56, 770, kStatusTop + 62);
  // No transfer line without a total, and nothing after the title without an item.
  EXPECT_EQ(rec.findText(L"\u2022"), nullptr);
  EXPECT_EQ(onlyTextIn(TextFormat::Regular11_5), nullptr);
}

TEST_F(MainScreen, CountersOutOfStepShowAHundredPercent) {
  MainScreenView v;
  v.run.phase = kPhaseDownloading;
  v.run.running = true;
  v.run.bytesDone = 300;
  v.run.bytesTotal = 200;
  v.speed = 5000.0f;
  paint(v);
  EXPECT_NE(rec.findText(L"100%"), nullptr);
  EXPECT_FLOAT_EQ(barFill()->rect.right, kProgressTrackRightBesidePause);
  // Done past the total: no negative time left and no speed.
  for (const DrawCall* t : rec.texts()) {
    EXPECT_EQ(t->text.find(L"left"), std::wstring::npos);
    EXPECT_EQ(t->text.find(L"/s"), std::wstring::npos);
  }
}

TEST_F(MainScreen, SpeedAndTimeAreHiddenAtOneBytePerSecondOrLess) {
  for (float speed : {0.0f, 1.0f, -5.0f}) {
    MainScreenView v = downloading();
    v.speed = speed;
    paint(v);
    EXPECT_EQ(rec.findText(L"\uE896"), nullptr) << speed;
    for (const DrawCall* t : rec.texts()) {
      EXPECT_EQ(t->text.find(L"left "), std::wstring::npos);
    }
  }
  MainScreenView v = downloading();
  v.speed = 2.0f;  // just above the limit: shown, with a huge but finite time
  paint(v);
  EXPECT_NE(rec.findText(L"\uE896"), nullptr);
}

TEST_F(MainScreen, CheckingAndSelfUpdateNameTheCurrentItem) {
  MainScreenView v;
  v.run.running = true;
  v.run.currentItem = L"game.exe";
  v.run.phase = kPhaseChecking;
  paint(v);
  EXPECT_NE(rec.findText(L"Checking game.exe"), nullptr);
  v.run.phase = kPhaseSelfUpdate;
  paint(v);
  EXPECT_NE(rec.findText(L"Downloading game.exe"), nullptr);
  // Applying shows no item, and neither does a run that has stopped.
  v.run.phase = kPhaseApplying;
  paint(v);
  EXPECT_EQ(rec.findText(L"\u2022"), nullptr);
  v.run.phase = kPhaseChecking;
  v.run.running = false;
  paint(v);
  EXPECT_EQ(rec.findText(L"\u2022"), nullptr);
}

TEST_F(MainScreen, ErrorWhileRunningWaitsThenOffersRetry) {
  MainScreenView v;
  v.run.phase = kPhaseError;
  v.run.running = true;
  v.run.bytesDone = 50;
  v.run.bytesTotal = 100;
  v.run.errorText = L"Could not connect to the patch server.";
  paint(v);
  EXPECT_EQ(text(L"!").rgb, colours::ErrorRed);
  EXPECT_EQ(rec.findText(L"50%"), nullptr);
  EXPECT_EQ(text(L"ERROR").rgb, colours::ErrorRed);
  EXPECT_EQ(text(L"Could not connect to the patch server.").rgb, colours::ErrorRed);
  ASSERT_NE(barFill(), nullptr);
  EXPECT_EQ(barFill()->stops[0].rgb, colours::ErrorRed);
  EXPECT_EQ(barFill()->stops[1].rgb, colours::ErrorRed);
  EXPECT_NE(rec.findText(L"WAIT"), nullptr);
  EXPECT_FALSE(rec.output.hitRegions.back().enabled);

  v.run.running = false;
  paint(v);
  const DrawCall& retry = text(L"RETRY");
  EXPECT_EQ(retry.rgb, colours::ButtonInk);
  EXPECT_TRUE(rec.output.hitRegions.back().enabled);
  EXPECT_EQ(rec.findText(L"PLAY"), nullptr);

  // An empty error text draws nothing after the title.
  v.run.errorText.clear();
  paint(v);
  EXPECT_EQ(rec.findText(L"\u2022"), nullptr);
}

TEST_F(MainScreen, LaunchMessageTurnsReadyIntoAnErrorButKeepsPlay) {
  MainScreenView v;
  v.run.phase = kPhaseReady;
  v.run.version = 7;
  v.launchMessage = L"Game executable not found.";
  paint(v);
  EXPECT_EQ(text(L"!").rgb, colours::ErrorRed);
  EXPECT_EQ(text(L"READY TO PLAY").rgb, colours::ErrorRed);
  EXPECT_EQ(text(L"Game executable not found.").rgb, colours::ErrorRed);
  EXPECT_EQ(barFill()->stops[0].rgb, colours::ErrorRed);
  EXPECT_NE(rec.findText(L"PLAY"), nullptr);
  EXPECT_TRUE(rec.output.hitRegions.back().enabled);
  // The shell's message wins over the run's error text.
  v.run.phase = kPhaseError;
  v.run.errorText = L"run error";
  paint(v);
  EXPECT_NE(rec.findText(L"Game executable not found."), nullptr);
  EXPECT_EQ(rec.findText(L"run error"), nullptr);
}

TEST_F(MainScreen, MainButtonHoverAndPress) {
  MainScreenView ready;
  ready.run.phase = kPhaseReady;
  // At rest: no glow, the top stop is ButtonGold, white outline at 0.28.
  paint(ready);
  EXPECT_TRUE(rec.callsOf(DrawKind::Glow).empty());
  auto gradients = rec.callsOf(DrawKind::Gradient);
  const DrawCall* button = gradients.back();
  ASSERT_EQ(button->stops.size(), 3u);
  EXPECT_EQ(button->stops[0].rgb, colours::ButtonGold);
  EXPECT_FLOAT_EQ(button->stops[1].position, 0.55f);
  EXPECT_EQ(button->stops[1].rgb, colours::Gold);
  EXPECT_EQ(button->stops[2].rgb, colours::DarkGold);
  EXPECT_FLOAT_EQ(button->radius, 6);
  EXPECT_FLOAT_EQ(button->start.y, kMainButtonRect.top);
  EXPECT_FLOAT_EQ(button->end.y, kMainButtonRect.bottom);
  const DrawCall* outline = rec.callsOf(DrawKind::RoundRect).back();
  EXPECT_EQ(outline->border, colours::White);
  EXPECT_FLOAT_EQ(outline->borderOpacity, 0.28f);
  EXPECT_FLOAT_EQ(outline->opacity, 0.0f);

  // Hovered: a gold glow 1.5 widths by 2.8 heights around the centre, lighter top stop.
  paint(ready, kActionPlay);
  auto glows = rec.callsOf(DrawKind::Glow);
  ASSERT_EQ(glows.size(), 1u);
  EXPECT_EQ(glows[0]->rgb, colours::Gold);
  EXPECT_FLOAT_EQ(glows[0]->opacity, 0.22f);
  const float cx = (kMainButtonRect.left + kMainButtonRect.right) / 2;
  const float cy = (kMainButtonRect.top + kMainButtonRect.bottom) / 2;
  const float hw = kMainButtonRect.width() * 0.75f, hh = kMainButtonRect.height() * 1.4f;
  expectRect(glows[0]->rect, cx - hw, cy - hh, cx + hw, cy + hh);
  EXPECT_EQ(rec.callsOf(DrawKind::Gradient).back()->stops[0].rgb, colours::LightGold);
  expectRect(rec.output.hitRegions.back().rect, kMainButtonRect);

  // Pressed while hovered: everything one unit lower, the hit region too.
  paint(ready, kActionPlay, kActionPlay);
  expectRect(text(L"PLAY").rect, kMainButtonRect, 1);
  expectRect(rec.output.hitRegions.back().rect, kMainButtonRect, 1);
  // Pressed but the pointer left it: back in place.
  paint(ready, 0, kActionPlay);
  expectRect(rec.output.hitRegions.back().rect, kMainButtonRect);
}

TEST_F(MainScreen, HoveringOrPressingTheDisabledButtonChangesNothing) {
  MainScreenView v;
  v.run.phase = kPhaseChecking;
  v.run.running = true;
  paint(v);
  const std::vector<DrawCall> atRest = rec.calls;
  paint(v, kActionPlay, kActionPlay);
  ASSERT_EQ(rec.calls.size(), atRest.size());
  for (size_t i = 0; i < atRest.size(); ++i) {
    EXPECT_EQ(rec.calls[i].kind, atRest[i].kind);
    EXPECT_EQ(rec.calls[i].rgb, atRest[i].rgb);
    EXPECT_FLOAT_EQ(rec.calls[i].rect.top, atRest[i].rect.top);
  }
  const DrawCall* fill = rec.callsOf(DrawKind::RoundRect).back();
  EXPECT_EQ(fill->rgb, colours::ButtonDisabled);
  EXPECT_FLOAT_EQ(fill->opacity, 0.55f);
  EXPECT_EQ(fill->border, colours::Peach);
  EXPECT_FLOAT_EQ(fill->borderOpacity, 0.10f);
  const DrawCall& wait = text(L"WAIT");
  EXPECT_EQ(wait.rgb, colours::SecondaryText);
  EXPECT_FLOAT_EQ(wait.opacity, 0.8f);
}

TEST_F(MainScreen, FrameRebuildsItsOutputWithTheSidePanelBesideTheNews) {
  FrameView frame;
  frame.main.run.phase = kPhaseReady;
  Canvas c = rec.canvas();
  paintFrameContent(c, frame);
  const std::size_t regions = rec.output.hitRegions.size();
  // What an earlier frame published (a slider, a list) must not outlive it: the shell would
  // go on dragging along a track or scrolling an area that is no longer drawn.
  addSliderTrack(c, kActionSettingSlider, 3, {100, 300, 300, 304});
  addScrollArea(c, ScrollKind::PopUpList, {100, 100, 300, 300}, 0);
  paintFrameContent(c, frame);
  ASSERT_EQ(rec.output.hitRegions.size(), regions);
  EXPECT_EQ(rec.output.hitRegions.front().actionId, kActionBackground) << "under everything";
  EXPECT_EQ(rec.output.hitRegions.back().actionId, kActionPlay);
  ASSERT_EQ(rec.output.sliderTracks.size(), 2u) << "the side panel's two volumes";
  EXPECT_EQ(rec.output.sliderTracks[0].actionId, kActionMusicSlider);
  EXPECT_EQ(rec.output.sliderTracks[1].actionId, kActionEffectsSlider);
  EXPECT_TRUE(rec.output.scrollAreas.empty()) << "no news: no list to scroll";
  const DrawCall* heading = rec.findText(L"SETTINGS");
  ASSERT_NE(heading, nullptr);
  EXPECT_GE(heading->rect.left, kSidePanelRect.left);
  EXPECT_LE(heading->rect.right, kSidePanelRect.right);
}

TEST(RunSnapshot, CopiesCountersAndTextsFromTheLauncherState) {
  LauncherState state;
  state.phase = kPhaseDownloading;
  state.running = true;
  state.bytesDone = 10;
  state.bytesTotal = 20;
  state.filesDone = 1;
  state.filesTotal = 2;
  state.version = 9;
  state.currentItem = L"a.pak";
  setError(state, ErrorKind::DiskFull, L"boom");
  // The first error of a run stands, its kind with it.
  setError(state, ErrorKind::Refused, L"later");
  const RunSnapshot v = takeRunSnapshot(state);
  EXPECT_EQ(v.phase, kPhaseError);
  EXPECT_TRUE(v.running);
  EXPECT_EQ(v.bytesDone, 10u);
  EXPECT_EQ(v.bytesTotal, 20u);
  EXPECT_EQ(v.filesDone, 1);
  EXPECT_EQ(v.filesTotal, 2);
  EXPECT_EQ(v.version, 9);
  EXPECT_EQ(v.currentItem, L"a.pak");
  EXPECT_EQ(v.errorText, L"boom");
  EXPECT_EQ(v.errorKind, ErrorKind::DiskFull);
  state.running = false;
}
