// The launcher window's logic apart from Windows: phase messages and the frame tick (speed
// meter, news copy, restart after a self-update), hit testing, the caption of the borderless
// window, clicks, sliders, wheel and keys, the action table, the play action, the command
// line and the taskbar progress. The platform is a host that records what was asked of it.
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "gamecfg/config_model.h"
#include "gamecfg/game_config.h"
#include "i18n/strings.h"
#include "quillmark_config.h"
#include "shell/command_line.h"
#include "shell/game_launch.h"
#include "shell/taskbar.h"
#include "test_support.h"
#include "ui/action_ids.h"
#include "ui/focus.h"
#include "ui/layout.h"
#include "ui/news.h"
#include "ui/recording_canvas.h"
#include "update/self_update.h"
#include "update/update_run.h"

namespace {

// What the shell asked of the platform.
struct Recorder {
  int repaints = 0;
  int captures = 0;
  int releases = 0;
  int leaveRequests = 0;
  int closes = 0;
  int minimises = 0;
  int timerStops = 0;
  int restarts = 0;
  std::vector<std::wstring> opened;
  std::vector<bool> runs;  // the repair flag of each started run
  std::vector<std::pair<std::wstring, std::wstring>> launches;
  std::uint32_t launchResult = 0;
  std::uint64_t now = 100000;
  int noticeTimers = 0;
  bool polling = false;
  bool gameRunning = false;
  std::vector<std::wstring> runningChecks;  // the executables asked about
};

ShellHost recordingHost(Recorder& r) {
  ShellHost h;
  h.self = &r;
  h.repaint = [](void* s) { ++static_cast<Recorder*>(s)->repaints; };
  h.setCapture = [](void* s) { ++static_cast<Recorder*>(s)->captures; };
  h.releaseCapture = [](void* s) { ++static_cast<Recorder*>(s)->releases; };
  h.trackMouseLeave = [](void* s) { ++static_cast<Recorder*>(s)->leaveRequests; };
  h.closeWindow = [](void* s) { ++static_cast<Recorder*>(s)->closes; };
  h.minimiseWindow = [](void* s) { ++static_cast<Recorder*>(s)->minimises; };
  h.shellOpen = [](void* s, const std::wstring& t) {
    static_cast<Recorder*>(s)->opened.push_back(t);
  };
  h.startRun = [](void* s, bool repair) { static_cast<Recorder*>(s)->runs.push_back(repair); };
  h.stopFrameTimer = [](void* s) { ++static_cast<Recorder*>(s)->timerStops; };
  h.launchGame = [](void* s, const std::wstring& exe, const std::wstring& params) {
    auto* r = static_cast<Recorder*>(s);
    r->launches.emplace_back(exe, params);
    return r->launchResult;
  };
  h.restartLauncher = [](void* s) { ++static_cast<Recorder*>(s)->restarts; };
  h.now = [](void* s) { return static_cast<Recorder*>(s)->now; };
  h.startSaveNoticeTimer = [](void* s) { ++static_cast<Recorder*>(s)->noticeTimers; };
  h.setSettingsPoll = [](void* s, bool on) { static_cast<Recorder*>(s)->polling = on; };
  h.isGameRunning = [](void* s, const std::wstring& exe) {
    auto* r = static_cast<Recorder*>(s);
    r->runningChecks.push_back(exe);
    return r->gameRunning;
  };
  return h;
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setUiLanguage("en");
    shell.state = &state;
    shell.host = recordingHost(rec);
    shell.gameDir = dir.path();
    shell.launchTicket = L"/ticket:abc";
    shell.frame = &frame;
    loadGameConfig(shell.config.file, dir.path());
  }
  void TearDown() override { setUiLanguage("en"); }

  // The regions of a real frame of the main screen for the state as it is.
  void paintFrame() {
    RecordingCanvas canvas;
    Canvas c = canvas.canvas(shell.ui.pointer.hoverId, shell.ui.pointer.hoverIndex,
                             shell.ui.pointer.pressedId);
    paintFrameContent(c, makeFrameView(shell));
    frame = canvas.output;
  }
  void ready() {
    state.phase = kPhaseReady;
    state.running = false;
  }
  // A key, then the frame it causes; a move that scrolled completes on the frame after it.
  void press(Key key) {
    onKeyDown(shell, key);
    paintFrame();
    onFramePainted(shell);
    paintFrame();
  }
  std::pair<int, int> focus() const { return {shell.ui.focus.id, shell.ui.focus.index}; }
  void news(int count) {
    NewsItem item;
    item.title = L"Patch notes";
    shell.ui.uiNews.assign(static_cast<std::size_t>(count), item);
  }

  TempDir dir;
  LauncherState state;
  Recorder rec;
  Shell shell;
  FrameOutput frame;
};

const float kPlayX = (kMainButtonRect.left + kMainButtonRect.right) / 2;
const float kPlayY = (kMainButtonRect.top + kMainButtonRect.bottom) / 2;

}  // namespace

// ---- phase messages and the frame tick

TEST_F(ShellTest, ARunToReadyStaysReadyAndStopsTheTimerAfterItsNextTick) {
  state.running = true;
  const std::vector<std::pair<int, int>> posts = {
      {kPhaseConnecting, 0}, {kPhaseVerifying, 0}, {kPhaseVerifying, kManifestAccepted},
      {kPhaseChecking, 0},   {kPhaseApplying, 0},  {kPhaseReady, 0}};
  for (auto [phase, detail] : posts) {
    if (detail == 0) state.phase = phase;
    onLauncherPhase(shell, phase, detail);
    onFrameTick(shell);
  }
  EXPECT_EQ(rec.timerStops, 0);
  state.running = false;
  onLauncherPhase(shell, kPhaseReady, 0);  // the final repost
  EXPECT_EQ(state.phase.load(), kPhaseReady);
  EXPECT_EQ(rec.restarts, 0);
  onFrameTick(shell);
  EXPECT_EQ(rec.timerStops, 1);
  EXPECT_NEAR(shell.ui.animationClock, 0.033f * 7, 1e-4);
}

TEST_F(ShellTest, SpeedMeterResetsOnDownloadThenSamplesEveryHalfSecondSmoothed) {
  state.running = true;
  // The check phase has a speed of its own (hashing)...
  state.phase = kPhaseChecking;
  onFrameTick(shell);
  rec.now += 500;
  state.bytesDone = 999999;
  onFrameTick(shell);
  EXPECT_GT(shell.ui.speedMeter.speed, 0.0f);
  // ...which the first tick of the download phase forgets.
  rec.now += 33;
  state.phase = kPhaseDownloading;
  state.bytesDone = 0;
  onFrameTick(shell);
  EXPECT_EQ(shell.ui.speedMeter.speed, 0.0f);
  EXPECT_EQ(shell.ui.speedMeter.lastTick, rec.now);

  // Under 500 ms: no sample.
  rec.now += 499;
  state.bytesDone = 400000;
  onFrameTick(shell);
  EXPECT_EQ(shell.ui.speedMeter.speed, 0.0f);
  // The first sample is taken as it is: 1,000,000 bytes in 500 ms.
  rec.now += 1;
  state.bytesDone = 1000000;
  onFrameTick(shell);
  EXPECT_FLOAT_EQ(shell.ui.speedMeter.speed, 2000000.0f);
  // The next one joins 0.3 to 0.7: 500,000 bytes in 1 s.
  rec.now += 1000;
  state.bytesDone = 1500000;
  onFrameTick(shell);
  EXPECT_FLOAT_EQ(shell.ui.speedMeter.speed, 0.3f * 500000.0f + 0.7f * 2000000.0f);
  // A counter that went backwards is a sample of 0.
  const float before = shell.ui.speedMeter.speed;
  rec.now += 600;
  state.bytesDone = 10;
  onFrameTick(shell);
  EXPECT_FLOAT_EQ(shell.ui.speedMeter.speed, 0.7f * before);

  // Outside the download phase the meter follows the counter and keeps the speed.
  state.phase = kPhaseApplying;
  rec.now += 5000;
  state.bytesDone = 77;
  onFrameTick(shell);
  EXPECT_FLOAT_EQ(shell.ui.speedMeter.speed, 0.7f * before);
  EXPECT_EQ(shell.ui.speedMeter.lastBytes, 77u);
  EXPECT_EQ(shell.ui.speedMeter.lastTick, rec.now);
}

TEST_F(ShellTest, AcceptedManifestCopiesTheNewsAndSelectsTheFirst) {
  NewsItem item;
  item.title = L"Patch notes";
  {
    std::lock_guard<std::mutex> hold(state.lock);
    state.news = {item, item};
  }
  shell.ui.news.selected = 3;
  onLauncherPhase(shell, kPhaseVerifying, 0);
  EXPECT_TRUE(shell.ui.uiNews.empty());
  EXPECT_EQ(shell.ui.news.selected, 3);
  onLauncherPhase(shell, kPhaseVerifying, kManifestAccepted);
  ASSERT_EQ(shell.ui.uiNews.size(), 2u);
  EXPECT_EQ(shell.ui.uiNews[1].title, L"Patch notes");
  EXPECT_EQ(shell.ui.news.selected, 0);
  // The copy is the window's own: later changes of the shared list do not reach it.
  {
    std::lock_guard<std::mutex> hold(state.lock);
    state.news.clear();
  }
  EXPECT_EQ(shell.ui.uiNews.size(), 2u);
}

TEST_F(ShellTest, RestartsOnceWhenTheRunEndsInRestart) {
  state.running = true;
  state.phase = kPhaseRestart;
  onLauncherPhase(shell, kPhaseRestart, 0);
  EXPECT_EQ(rec.restarts, 0);  // the run is still ending
  state.running = false;
  onLauncherPhase(shell, kPhaseRestart, 0);
  EXPECT_EQ(rec.restarts, 1);
  onLauncherPhase(shell, kPhaseRestart, 0);
  EXPECT_EQ(rec.restarts, 1);

  // A run that ended in another status does not restart.
  Shell other = shell;
  other.ui.restarting = false;
  state.phase = kPhaseError;
  onLauncherPhase(other, kPhaseError, 0);
  EXPECT_EQ(rec.restarts, 1);
}

TEST_F(ShellTest, FrameViewCarriesTheWindowsOwnValues) {
  state.phase = kPhaseDownloading;
  state.bytesDone = 5;
  state.bytesTotal = 10;
  shell.ui.speedMeter.speed = 1234.0f;
  shell.ui.animationClock = 2.5f;
  shell.ui.launchMessage = L"message";
  shell.ui.pointer.hoverId = kActionPlay;
  shell.ui.pointer.pressedId = kActionPlay;
  const FrameView view = makeFrameView(shell);
  EXPECT_EQ(view.main.run.phase, kPhaseDownloading);
  EXPECT_EQ(view.main.run.bytesDone, 5u);
  EXPECT_EQ(view.main.speed, 1234.0f);
  EXPECT_EQ(view.main.clock, 2.5f);
  EXPECT_EQ(view.main.launchMessage, L"message");
  EXPECT_EQ(view.hoverId, kActionPlay);
  EXPECT_EQ(view.pressedId, kActionPlay);
}

// ---- hit testing, caption and cursor

TEST_F(ShellTest, HitTestTakesTheTopmostRegionWithExclusiveRightAndBottomEdges) {
  frame.hitRegions = {{kActionBackground, kCanvasRect, true, -1},
                      {kActionNewsItem, {100, 100, 200, 150}, true, 0},
                      {kActionNewsItem, {100, 140, 200, 190}, true, 1}};
  EXPECT_EQ(hitTest(shell, 150, 145)->itemIndex, 1);                 // the later of two overlapping
  EXPECT_EQ(hitTest(shell, 100, 100)->itemIndex, 0);                 // left and top belong to it
  EXPECT_EQ(hitTest(shell, 200, 120)->actionId, kActionBackground);  // right does not
  EXPECT_EQ(hitTest(shell, 150, 190)->actionId, kActionBackground);  // bottom does not
  frame.hitRegions.clear();
  EXPECT_EQ(hitTest(shell, 150, 145), nullptr);
}

TEST_F(ShellTest, CaptionMovesTheWindowOnlyWhereNothingElseIs) {
  frame.hitRegions = {{kActionBackground, kCanvasRect, true, -1},
                      {kActionHeaderLink, {30, 16, 90, 46}, true, 0},
                      {kActionPlay, kMainButtonRect, true, -1}};
  EXPECT_TRUE(isCaption(shell, 500, 100));   // header band, on the background region
  EXPECT_FALSE(isCaption(shell, 60, 30));    // on a link
  EXPECT_TRUE(isCaption(shell, 700, 400));   // the gap between news and side panel
  EXPECT_FALSE(isCaption(shell, 700, 600));  // ... but not in the status area
  EXPECT_TRUE(isCaption(shell, 700, kStatusTop - 1));
  EXPECT_FALSE(isCaption(shell, 700, kStatusTop));
  EXPECT_FALSE(isCaption(shell, 600, 400));               // the news panel's area
  EXPECT_FALSE(isCaption(shell, kCaptionGap.left, 400));  // the gap's edges are not in it
  EXPECT_FALSE(isCaption(shell, kCaptionGap.right, 400));
  EXPECT_FALSE(isCaption(shell, 600, kCaptionBand.bottom));  // the band ends above its bottom
  shell.ui.popUp.open = PopUp::LanguageList;
  EXPECT_FALSE(isCaption(shell, 500, 100));  // an open list keeps every click
  shell.ui.popUp.open = PopUp::None;

  shell.ui.settings.open = true;
  const float inSettingsBand = kSettingsCaptionBand.bottom - 10;
  EXPECT_FALSE(isCaption(shell, 500, inSettingsBand));  // a region is there
  frame.hitRegions.clear();
  EXPECT_TRUE(isCaption(shell, 500, inSettingsBand));
  EXPECT_FALSE(isCaption(shell, 500, kSettingsCaptionBand.bottom));
  shell.ui.settings.openList = 2;
  EXPECT_FALSE(isCaption(shell, 500, inSettingsBand));
}

TEST_F(ShellTest, HandCursorOnlyOverEnabledRegionsThatAreNotBackgrounds) {
  frame.hitRegions = {{kActionBackground, kCanvasRect, true, -1},
                      {kActionListBackground, {0, 0, 100, 100}, true, -1},
                      {kActionRepair, {200, 200, 300, 240}, false, -1},
                      {kActionWebsite, {200, 300, 300, 340}, true, -1}};
  EXPECT_FALSE(showsHandCursor(shell, 500, 500));
  EXPECT_FALSE(showsHandCursor(shell, 50, 50));
  EXPECT_FALSE(showsHandCursor(shell, 250, 220));
  EXPECT_TRUE(showsHandCursor(shell, 250, 320));
}

// ---- clicks on a real frame of the main screen

TEST_F(ShellTest, PressAndReleaseOnTheEnabledPlayButtonStartsTheGame) {
  ready();
  dir.write("QuillmarkClient.exe", "MZ");
  paintFrame();
  onMouseMove(shell, kPlayX, kPlayY);
  EXPECT_EQ(rec.leaveRequests, 1);
  EXPECT_EQ(shell.ui.pointer.hoverId, kActionPlay);
  onButtonDown(shell, kPlayX, kPlayY);
  EXPECT_EQ(shell.ui.pointer.pressedId, kActionPlay);
  EXPECT_EQ(rec.captures, 1);
  paintFrame();  // the pressed button moves down by one unit and registers there
  onButtonUp(shell, kPlayX + 5, kPlayY + 5);
  EXPECT_EQ(rec.releases, 1);
  EXPECT_EQ(shell.ui.pointer.pressedId, 0);
  ASSERT_EQ(rec.launches.size(), 1u);
  EXPECT_EQ(rec.launches[0].first, dir.path() + L"QuillmarkClient.exe");
  EXPECT_EQ(rec.launches[0].second, L"/ticket:abc");
  EXPECT_EQ(rec.closes, 1);
}

TEST_F(ShellTest, ReleasingElsewhereOrOnAChangedItemStartsNothing) {
  ready();
  dir.write("QuillmarkClient.exe", "MZ");
  paintFrame();
  onButtonDown(shell, kPlayX, kPlayY);
  onButtonUp(shell, 300, 300);  // moved off the button
  EXPECT_TRUE(rec.launches.empty());
  EXPECT_EQ(rec.releases, 1);

  // The same region whose item index changed between press and release.
  frame.hitRegions = {{kActionNewsItem, {100, 100, 200, 150}, true, 2}};
  onButtonDown(shell, 150, 120);
  frame.hitRegions = {{kActionNewsItem, {100, 100, 200, 150}, true, 3}};
  onButtonUp(shell, 150, 120);
  EXPECT_EQ(shell.ui.news.selected, 0);
  frame.hitRegions = {{kActionNewsItem, {100, 100, 200, 150}, true, 2}};
  onButtonDown(shell, 150, 120);
  onButtonUp(shell, 150, 120);
  EXPECT_EQ(shell.ui.news.selected, 2);
}

TEST_F(ShellTest, TheDisabledWaitButtonIgnoresPressAndRelease) {
  state.running = true;
  state.phase = kPhaseDownloading;
  paintFrame();
  ASSERT_NE(hitTest(shell, kPlayX, kPlayY), nullptr);
  EXPECT_FALSE(hitTest(shell, kPlayX, kPlayY)->enabled);
  EXPECT_FALSE(showsHandCursor(shell, kPlayX, kPlayY));
  onButtonDown(shell, kPlayX, kPlayY);
  EXPECT_EQ(rec.captures, 0);
  EXPECT_EQ(shell.ui.pointer.pressedId, 0);
  onButtonUp(shell, kPlayX, kPlayY);
  EXPECT_TRUE(rec.launches.empty());
  EXPECT_TRUE(rec.runs.empty());
}

TEST_F(ShellTest, MouseLeaveForgetsTheHoverAndTrackingIsRequestedOnce) {
  frame.hitRegions = {{kActionWebsite, {0, 0, 100, 100}, true, -1}};
  onMouseMove(shell, 50, 50);
  const int repaints = rec.repaints;
  onMouseMove(shell, 60, 60);  // same region: no repaint
  EXPECT_EQ(rec.repaints, repaints);
  EXPECT_EQ(rec.leaveRequests, 1);
  onMouseLeave(shell);
  EXPECT_EQ(shell.ui.pointer.hoverId, 0);
  EXPECT_EQ(shell.ui.pointer.hoverIndex, -1);
  onMouseMove(shell, 50, 50);
  EXPECT_EQ(rec.leaveRequests, 2);
}

// ---- sliders, wheel, keys

TEST_F(ShellTest, VolumeSlidersFollowTheDragAndWriteOnRelease) {
  // Tracks from 100 to 300: the clickable band reaches 10 units beyond both ends.
  frame.hitRegions = {{kActionMusicSlider, {90, 300, 310, 322}, true, -1},
                      {kActionEffectsSlider, {90, 350, 310, 372}, true, -1}};
  frame.sliderTracks = {{kActionMusicSlider, -1, {100, 309, 300, 313}},
                        {kActionEffectsSlider, -1, {100, 359, 300, 363}}};
  onButtonDown(shell, 100 + 0.51f * 200, 360);
  EXPECT_EQ(shell.ui.volume.drag, VolumeSlider::Effects);
  EXPECT_EQ(rec.captures, 1);
  EXPECT_EQ(shell.ui.volume.effects, 3);
  onMouseMove(shell, 100, 360);  // dragging does not hover
  EXPECT_EQ(shell.ui.volume.effects, 0);
  EXPECT_EQ(shell.ui.pointer.hoverId, 0);
  onMouseMove(shell, 100 + 0.51f * 200, 500);
  EXPECT_FALSE(dir.exists("vessa.cfg"));  // nothing is written while dragging
  onButtonUp(shell, 100 + 0.51f * 200, 500);
  EXPECT_EQ(shell.ui.volume.drag, VolumeSlider::None);
  EXPECT_EQ(rec.releases, 1);
  EXPECT_EQ(dir.read("vessa.cfg"), "VOICE_VOLUME 3\r\n");

  onButtonDown(shell, 200, 310);
  EXPECT_FLOAT_EQ(shell.ui.volume.music, 0.5f);
  onMouseMove(shell, 900, 310);  // past the right end
  onButtonUp(shell, 900, 310);
  EXPECT_EQ(dir.read("vessa.cfg"), "VOICE_VOLUME 3\r\nMUSIC_VOLUME 1.000\r\n");
}

TEST_F(ShellTest, WheelScrollsWhatLiesUnderThePointer) {
  shell.ui.uiNews.assign(10, NewsItem{});
  paintFrame();
  // Ten rows of 66 in a list 262 high: 10 * 66 - 8 - 262 = 390 to scroll.
  onMouseWheel(shell, 500, 300, 120);  // a notch up at the top stays at the top
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 0.0f);
  onMouseWheel(shell, kNewsListRect.left, kNewsListRect.top, -240);  // left and top belong to it
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 80.0f);
  onMouseWheel(shell, kNewsListRect.right, 300, -120);  // outside the list: nothing
  onMouseWheel(shell, 500, kNewsListRect.bottom, -120);
  onMouseWheel(shell, 300, 300, -120);
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 80.0f);
  for (int i = 0; i < 20; ++i) onMouseWheel(shell, 500, 300, -120);
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 390.0f);

  // The expanded card scrolls its body instead; the list is not drawn.
  dispatchAction(shell, kActionReadMore, -1);
  shell.ui.uiNews[0].text.assign(5000, L'x');
  paintFrame();
  onMouseWheel(shell, 200, 480, -120);
  EXPECT_FLOAT_EQ(shell.ui.news.bodyScroll, 40.0f);
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 390.0f);

  // The settings pages scroll wherever the pointer is: the page, or its open option list,
  // each within what its frame published.
  openSettingsPages(shell, 1);  // Graphics, taller than its viewport
  paintFrame();
  onMouseWheel(shell, 10, 10, -120);
  EXPECT_FLOAT_EQ(shell.ui.settings.pageScroll, 40.0f);
  // Over the tab column, which holds every page without scrolling: the page again.
  onMouseWheel(shell, kSettingsTabsRect.left + 20, kSettingsTabsRect.top + 20, -120);
  EXPECT_FLOAT_EQ(shell.ui.settings.pageScroll, 80.0f);
  EXPECT_FLOAT_EQ(shell.ui.settings.tabScroll, 0.0f);
  for (int i = 0; i < 50; ++i) onMouseWheel(shell, 500, 300, -120);
  const float limit = frame.scrollAreas.at(0).limit;
  EXPECT_GT(limit, 40.0f);
  EXPECT_FLOAT_EQ(shell.ui.settings.pageScroll, limit);
  dispatchAction(shell, kActionSettingsPage, 0);
  dispatchAction(shell, kActionSettingList, 1);  // seven refresh rates in six rows
  paintFrame();
  onMouseWheel(shell, 500, 300, 120);
  EXPECT_FLOAT_EQ(shell.ui.settings.listScroll, 0.0f);
  onMouseWheel(shell, 500, 300, -240);
  EXPECT_FLOAT_EQ(shell.ui.settings.listScroll, kPopUpRowHeight);
  EXPECT_FLOAT_EQ(shell.ui.settings.pageScroll, 0.0f);
}

TEST_F(ShellTest, VolumeDragFollowsTheTrackTheLastFramePublished) {
  // The clickable band says nothing about where the track lies: only the published track does.
  frame.hitRegions = {{kActionMusicSlider, {0, 300, 1000, 322}, true, -1}};
  frame.sliderTracks = {{kActionEffectsSlider, -1, {0, 309, 1000, 313}},
                        {kActionMusicSlider, -1, {200, 309, 400, 313}}};
  onButtonDown(shell, 300, 310);
  EXPECT_FLOAT_EQ(shell.ui.volume.music, 0.5f);
  onMouseMove(shell, 150, 310);
  EXPECT_FLOAT_EQ(shell.ui.volume.music, 0.0f);
  // A frame painted during the drag moved the track: the next move reads the new one.
  frame.sliderTracks = {{kActionMusicSlider, -1, {100, 309, 200, 313}}};
  onMouseMove(shell, 175, 310);
  EXPECT_FLOAT_EQ(shell.ui.volume.music, 0.75f);
  onButtonUp(shell, 175, 310);
  EXPECT_EQ(dir.read("vessa.cfg"), "MUSIC_VOLUME 0.750\r\n");

  // A slider whose frame published no track keeps its value; the release writes it unchanged.
  frame.hitRegions = {{kActionEffectsSlider, {0, 350, 1000, 372}, true, -1}};
  frame.sliderTracks.clear();
  shell.ui.volume.effects = 2;
  onButtonDown(shell, 900, 360);
  onMouseMove(shell, 50, 360);
  EXPECT_EQ(shell.ui.volume.effects, 2);
  onButtonUp(shell, 50, 360);
  EXPECT_EQ(shell.ui.volume.drag, VolumeSlider::None);
  EXPECT_EQ(dir.read("vessa.cfg"), "MUSIC_VOLUME 0.750\r\nVOICE_VOLUME 2\r\n");
}

TEST_F(ShellTest, WheelScrollsTheTopmostAreaTheFramePublishedWithinItsLimit) {
  frame.scrollAreas = {{ScrollKind::NewsList, {100, 100, 300, 300}, 100.0f},
                       {ScrollKind::PopUpList, {200, 200, 400, 400}, 1000.0f},
                       {ScrollKind::NewsBody, {500, 100, 600, 300}, 0.0f}};
  shell.ui.popUp.open = PopUp::ResolutionList;
  onMouseWheel(shell, 150, 150, -120);
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 40.0f);
  onMouseWheel(shell, 250, 250, -120);  // where both lie, the later one
  EXPECT_FLOAT_EQ(shell.ui.popUp.scroll, 40.0f);
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 40.0f);
  // Past either end nothing is stored up: one notch back moves at once.
  for (int i = 0; i < 5; ++i) onMouseWheel(shell, 150, 150, -120);
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 100.0f);
  onMouseWheel(shell, 150, 150, 120);
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 60.0f);
  onMouseWheel(shell, 150, 150, 600);
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 0.0f);
  onMouseWheel(shell, 550, 150, -120);  // a body that fits does not scroll
  EXPECT_FLOAT_EQ(shell.ui.news.bodyScroll, 0.0f);
  onMouseWheel(shell, 700, 150, -120);  // nothing scrolls there
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 0.0f);
  EXPECT_FLOAT_EQ(shell.ui.popUp.scroll, 40.0f);
}

TEST_F(ShellTest, EscapeClosesListsAndSettingsBeforeItMinimises) {
  dispatchAction(shell, kActionLanguageList, -1);
  EXPECT_EQ(shell.ui.popUp.open, PopUp::LanguageList);
  onKeyDown(shell, Key::Escape);
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);
  EXPECT_EQ(rec.minimises, 0);
  onKeyDown(shell, Key::Escape);
  EXPECT_EQ(rec.minimises, 1);

  shell.ui.settings.open = true;
  shell.ui.settings.openList = 4;
  onKeyDown(shell, Key::Escape);  // first the open option list
  EXPECT_TRUE(shell.ui.settings.open);
  EXPECT_EQ(shell.ui.settings.openList, kNoSetting);
  onKeyDown(shell, Key::Escape);  // then the panel
  EXPECT_FALSE(shell.ui.settings.open);
  EXPECT_EQ(rec.minimises, 1);

  onKeyDown(shell, Key::Other);
  EXPECT_EQ(rec.minimises, 1);
}

TEST_F(ShellTest, EnterPlaysEvenWithTheSettingsOpen) {
  ready();
  dir.write("QuillmarkClient.exe", "MZ");
  shell.ui.settings.open = true;
  onKeyDown(shell, Key::Enter);
  EXPECT_EQ(rec.launches.size(), 1u);
}

// ---- the keyboard on real frames

TEST_F(ShellTest, TabVisitsTheMainScreenInReadingOrderAndEnterActsOnTheFocus) {
  ready();
  dir.write("QuillmarkClient.exe", "MZ");
  news(3);
  paintFrame();
  std::vector<std::pair<int, int>> visited;
  for (int i = 0; i < 60; ++i) {
    press(Key::Tab);
    if (!visited.empty() && focus() == visited.front()) break;
    visited.push_back(focus());
  }
  ASSERT_FALSE(visited.empty());
  const auto at = [&](int id, int index) {
    const auto it = std::find(visited.begin(), visited.end(), std::make_pair(id, index));
    EXPECT_NE(it, visited.end()) << id << " " << index;
    return it - visited.begin();
  };
  // The header's row from the left, then the news panel, the side panel and PLAY last.
  EXPECT_EQ(visited.front(), std::make_pair(int{kActionHeaderLink}, 0));
  EXPECT_LT(at(kActionHeaderLink, 0), at(kActionLanguageList, -1));
  EXPECT_LT(at(kActionLanguageList, -1), at(kActionOpenGameFolder, -1));
  EXPECT_LT(at(kActionMinimise, -1), at(kActionClose, -1));
  EXPECT_LT(at(kActionClose, -1), at(kActionNewsTab, 0));
  EXPECT_LT(at(kActionNewsTab, 3), at(kActionReadMore, -1));
  EXPECT_LT(at(kActionReadMore, -1), at(kActionNewsItem, 0));
  EXPECT_LT(at(kActionNewsItem, 2), at(kActionResolutionList, -1));
  EXPECT_LT(at(kActionResolutionList, -1), at(kActionMusicSlider, -1));
  EXPECT_LT(at(kActionOpenSettings, -1), at(kActionRepair, -1));
  EXPECT_EQ(visited.back(), std::make_pair(int{kActionPlay}, -1));
  EXPECT_EQ(std::set(visited.begin(), visited.end()).size(), visited.size());

  // The ring follows the focus; Space and Enter act as a click on it.
  press(Key::BackTab);
  EXPECT_EQ(focus(), visited.back());
  shell.ui.focus = {};
  press(Key::BackTab);  // from no focus: the last
  EXPECT_EQ(focus(), std::make_pair(int{kActionPlay}, -1));
  shell.ui.focus = {kActionNewsItem, 2};
  paintFrame();
  press(Key::Space);
  EXPECT_EQ(shell.ui.news.selected, 2);
  EXPECT_TRUE(rec.launches.empty());
  shell.ui.focus = {kActionWindowMode, -1};
  paintFrame();
  press(Key::Enter);
  EXPECT_EQ(getConfigValue(shell.config.file, "WINDOWED", ""), "0");
  EXPECT_TRUE(rec.launches.empty()) << "Enter acts on the focus, not on PLAY";
  // A mouse press takes the focus away; Enter plays again.
  onButtonDown(shell, 700, 400);
  onButtonUp(shell, 700, 400);
  EXPECT_EQ(focus(), std::make_pair(0, -1));
  onKeyDown(shell, Key::Enter);
  EXPECT_EQ(rec.launches.size(), 1u);
}

// What Enter opened, Escape or a choice closes, and the focus is back where it was.
TEST_F(ShellTest, WhenAListOrThePagesCloseTheFocusReturnsToWhatOpenedThem) {
  ready();
  paintFrame();
  const std::pair<int, int> selector = {kActionLanguageList, -1};
  std::tie(shell.ui.focus.id, shell.ui.focus.index) = selector;
  paintFrame();
  press(Key::Enter);
  ASSERT_EQ(shell.ui.popUp.open, PopUp::LanguageList);
  press(Key::Tab);
  EXPECT_EQ(focus().first, kActionChooseLanguage);
  press(Key::Escape);
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);
  EXPECT_EQ(focus(), selector);
  press(Key::Enter);
  press(Key::Tab);
  press(Key::Enter);  // a choice closes the list too
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);
  EXPECT_EQ(focus(), selector);

  const std::pair<int, int> settings = {kActionOpenSettings, -1};
  std::tie(shell.ui.focus.id, shell.ui.focus.index) = settings;
  paintFrame();
  press(Key::Enter);
  ASSERT_TRUE(shell.ui.settings.open);
  press(Key::Tab);
  EXPECT_NE(focus(), settings);
  press(Key::Escape);
  EXPECT_FALSE(shell.ui.settings.open);
  EXPECT_EQ(focus(), settings);
}

TEST_F(ShellTest, ArrowsMoveWithinTabsAndListsAndScrollTheListToWhatItHides) {
  news(10);
  paintFrame();
  shell.ui.focus = {kActionNewsTab, 0};
  paintFrame();
  press(Key::Right);
  EXPECT_EQ(focus(), std::make_pair(int{kActionNewsTab}, 1));
  press(Key::Down);  // no other line of tabs
  EXPECT_EQ(focus(), std::make_pair(int{kActionNewsTab}, 1));
  press(Key::Left);
  press(Key::Left);  // at the first tab
  EXPECT_EQ(focus(), std::make_pair(int{kActionNewsTab}, 0));

  shell.ui.focus = {kActionNewsItem, 0};
  paintFrame();
  for (int i = 0; i < 9; ++i) press(Key::Down);
  EXPECT_EQ(focus(), std::make_pair(int{kActionNewsItem}, 9));
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, newsListScrollLimit(10));
  ASSERT_NE(findRegion(frame.hitRegions, kActionNewsItem, 9), nullptr);
  EXPECT_LE(findRegion(frame.hitRegions, kActionNewsItem, 9)->rect.bottom, kNewsRowsRect.bottom);
  press(Key::Down);  // the end of the list
  EXPECT_EQ(focus(), std::make_pair(int{kActionNewsItem}, 9));
  press(Key::Tab);  // leaves the list, which cannot scroll further
  EXPECT_EQ(focus(), std::make_pair(int{kActionResolutionList}, -1));
  press(Key::BackTab);
  EXPECT_EQ(focus(), std::make_pair(int{kActionNewsItem}, 9));
  for (int i = 0; i < 9; ++i) press(Key::Up);
  EXPECT_EQ(focus(), std::make_pair(int{kActionNewsItem}, 0));
  EXPECT_FLOAT_EQ(shell.ui.news.scroll, 0.0f);

  // An open pop-up list holds the focus until Escape closes it.
  dispatchAction(shell, kActionLanguageList, -1);
  paintFrame();
  press(Key::Tab);
  EXPECT_EQ(focus(), std::make_pair(int{kActionChooseLanguage}, 0));
  press(Key::BackTab);
  EXPECT_EQ(focus(), std::make_pair(int{kActionChooseLanguage}, kClientLanguageCount - 1));
  press(Key::Escape);
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);
  EXPECT_EQ(rec.minimises, 0);
}

TEST_F(ShellTest, ArrowsStepAFocusedSlider) {
  paintFrame();
  shell.ui.focus = {kActionMusicSlider, -1};
  press(Key::Left);
  EXPECT_EQ(getConfigValue(shell.config.file, "MUSIC_VOLUME", ""), "0.950");
  shell.ui.focus = {kActionEffectsSlider, -1};
  press(Key::Up);  // already at 5
  press(Key::Down);
  EXPECT_EQ(getConfigValue(shell.config.file, "VOICE_VOLUME", ""), "4");
  EXPECT_EQ(shell.ui.volume.drag, VolumeSlider::None);

  openSettingsPages(shell, 4);  // FOV, entry 24: 30.00 in 10..100, a twentieth is 4.50
  paintFrame();
  shell.ui.focus = {kActionSettingSlider, 24};
  press(Key::Right);
  EXPECT_EQ(shell.config.pending.at("FOV"), "34.50");
  EXPECT_EQ(shell.ui.settings.sliderDrag, kNoSetting);
}

TEST_F(ShellTest, TabRevealsTheRowsOfALongSettingsPage) {
  openSettingsPages(shell, 1);
  paintFrame();
  ASSERT_EQ(findRegion(frame.hitRegions, kActionSettingSwitch, 14), nullptr) << "out of view";
  bool reached = false;
  for (int i = 0; i < 40 && !reached; ++i) {
    press(Key::Tab);
    reached = focus() == std::make_pair(int{kActionSettingSwitch}, 14);  // OBJECT_CULLING
  }
  EXPECT_TRUE(reached);
  EXPECT_GT(shell.ui.settings.pageScroll, 0.0f);
  press(Key::Tab);  // the page's last control: the footer follows
  EXPECT_EQ(focus(), std::make_pair(int{kActionRestoreDefaults}, -1));
}

// ---- play and retry

TEST_F(ShellTest, PlayReportsAMissingExecutableWithItsPath) {
  ready();
  {
    std::lock_guard<std::mutex> hold(state.lock);
    state.gameExe = L"bin\\Play Quillmark.exe";
  }
  playAction(shell);
  EXPECT_TRUE(rec.launches.empty());
  EXPECT_EQ(shell.ui.launchMessage,
            L"Game executable not found. " + dir.path() + L"bin\\Play Quillmark.exe");
  EXPECT_EQ(rec.closes, 0);
  setUiLanguage("de");
  playAction(shell);
  EXPECT_EQ(shell.ui.launchMessage,
            L"Spieldatei nicht gefunden. " + dir.path() + L"bin\\Play Quillmark.exe");
}

TEST_F(ShellTest, PlayOutcomesCloseStayOrExplain) {
  ready();
  dir.write("QuillmarkClient.exe", "MZ");
  rec.launchResult = kLaunchCancelled;  // the elevation prompt was declined
  playAction(shell);
  EXPECT_EQ(rec.closes, 0);
  EXPECT_TRUE(shell.ui.launchMessage.empty());

  rec.launchResult = 2;
  playAction(shell);
  EXPECT_EQ(rec.closes, 0);
  EXPECT_EQ(shell.ui.launchMessage, L"QuillmarkClient.exe: " + systemErrorText(2) + L" (2)");
  EXPECT_FALSE(systemErrorText(2).empty());

  rec.launchResult = 0;
  playAction(shell);
  EXPECT_EQ(rec.closes, 1);
  EXPECT_EQ(rec.launches.size(), 3u);
}

// The pause control stops the download without waiting for it (the run ends at its next check)
// and resumes it with a new run, once the paused one has stopped.
TEST_F(ShellTest, ThePauseControlPausesTheDownloadAndResumesItOnceStopped) {
  const float x = (kPauseControlRect.left + kPauseControlRect.right) / 2;
  const float y = (kPauseControlRect.top + kPauseControlRect.bottom) / 2;
  const auto click = [&] {
    paintFrame();
    onButtonDown(shell, x, y);
    onButtonUp(shell, x, y);
  };
  state.running = true;
  state.phase = kPhaseDownloading;
  click();
  EXPECT_TRUE(state.paused.load());
  EXPECT_TRUE(state.cancel.load());
  click();  // still stopping: the control waits
  EXPECT_TRUE(rec.runs.empty());

  state.running = false;
  shell.ui.launchMessage = L"old";
  click();
  ASSERT_EQ(rec.runs.size(), 1u);
  EXPECT_FALSE(rec.runs[0]);
  EXPECT_TRUE(shell.ui.launchMessage.empty());

  // Nothing to pause outside a download.
  LauncherState checking;
  checking.running = true;
  checking.phase = kPhaseChecking;
  EXPECT_FALSE(pauseUpdate(checking));
  EXPECT_FALSE(checking.cancel.load());
}

TEST_F(ShellTest, RetryClearsTheMessageAndStartsARunOnlyAfterAnError) {
  state.phase = kPhaseDownloading;
  state.running = true;
  playAction(shell);
  EXPECT_TRUE(rec.runs.empty());
  EXPECT_TRUE(rec.launches.empty());

  state.phase = kPhaseError;
  state.running = false;
  shell.ui.launchMessage = L"old";
  shell.ui.speedMeter.speed = 50.0f;
  rec.now = 777;
  playAction(shell);
  ASSERT_EQ(rec.runs.size(), 1u);
  EXPECT_FALSE(rec.runs[0]);
  EXPECT_TRUE(shell.ui.launchMessage.empty());
  EXPECT_EQ(shell.ui.speedMeter.speed, 0.0f);
  EXPECT_EQ(shell.ui.speedMeter.lastTick, 777u);
}

// ---- the action table

TEST_F(ShellTest, LinksOpenOnlyWebAddresses) {
  {
    std::lock_guard<std::mutex> hold(state.lock);
    state.links["discord"] = L"https://discord.example/q";
    state.links["support"] = L"file:///C:/Windows";
    state.links["rules"] = L"HTTP://upper.example/";
  }
  dispatchAction(shell, kActionHeaderLink, 1);
  dispatchAction(shell, kActionHeaderLink, 2);  // file: is ignored
  dispatchAction(shell, kActionHeaderLink, 3);  // the scheme compares case-sensitively
  dispatchAction(shell, kActionHeaderLink, 5);  // no such link
  dispatchAction(shell, kActionHeaderLink, -1);
  dispatchAction(shell, kActionHeaderLink, 4);  // register: none in the manifest
  ASSERT_EQ(rec.opened.size(), 1u);
  EXPECT_EQ(rec.opened[0], L"https://discord.example/q");
  // "site" and "news" fall back to the web site.
  dispatchAction(shell, kActionAllNews, -1);
  dispatchAction(shell, kActionWebsite, -1);
  ASSERT_EQ(rec.opened.size(), 3u);
  EXPECT_EQ(rec.opened[1], quillmark::config::kSiteUrl);
  EXPECT_EQ(rec.opened[2], quillmark::config::kSiteUrl);
  EXPECT_TRUE(isOpenableLink(L"http://a"));
  EXPECT_FALSE(isOpenableLink(L"http:/a"));
  EXPECT_FALSE(isOpenableLink(L""));
}

TEST_F(ShellTest, ResolutionListScrollsToTheConfiguredSizeAndAChoiceIsWritten) {
  dir.write("vessa.cfg", "# video\nWIDTH 1024\nHEIGHT 768\n");
  loadGameConfig(shell.config.file, dir.path());
  dispatchAction(shell, kActionResolutionList, -1);
  EXPECT_EQ(shell.ui.popUp.open, PopUp::ResolutionList);
  ASSERT_FALSE(shell.ui.popUp.displayModes.empty());
  std::size_t at = 0;
  while (at < shell.ui.popUp.displayModes.size() &&
         !(shell.ui.popUp.displayModes[at] == DisplayMode{1024, 768})) {
    ++at;
  }
  ASSERT_LT(at, shell.ui.popUp.displayModes.size());
  EXPECT_FLOAT_EQ(shell.ui.popUp.scroll, std::max(0.0f, at * 32.0f - 96.0f));

  dispatchAction(shell, kActionChooseResolution,
                 static_cast<int>(shell.ui.popUp.displayModes.size()));
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);  // closed, nothing written
  EXPECT_EQ(dir.read("vessa.cfg"), "# video\nWIDTH 1024\nHEIGHT 768\n");
  shell.ui.popUp.open = PopUp::ResolutionList;
  shell.ui.popUp.displayModes = {{1920, 1080}, {1024, 768}};
  dispatchAction(shell, kActionChooseResolution, 0);
  EXPECT_EQ(dir.read("vessa.cfg"), "# video\nWIDTH 1920\nHEIGHT 1080\n");
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);

  // A second toggle closes the list.
  dispatchAction(shell, kActionResolutionList, -1);
  dispatchAction(shell, kActionResolutionList, -1);
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);
}

TEST_F(ShellTest, LanguageChoiceWritesLocaAndSwitchesTheUi) {
  // No loca.cfg yet: the selector shows and the list ticks the language the window speaks, and
  // nothing is written until the player chooses.
  setUiLanguage("hu");
  shell.ui.popUp.open = PopUp::LanguageList;
  FrameView shown = makeFrameView(shell);
  EXPECT_EQ(shown.header.languageCode, "hu");
  EXPECT_EQ(shown.popUp.currentLanguage, findClientLanguage("hu"));
  EXPECT_FALSE(dir.exists("loca.cfg"));

  dispatchAction(shell, kActionChooseLanguage, 4);
  EXPECT_EQ(dir.read("loca.cfg"), "1252 de");
  EXPECT_STREQ(uiLanguageCode(), "de");
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);
  shell.ui.popUp.open = PopUp::LanguageList;
  dispatchAction(shell, kActionChooseLanguage, 12);  // not a language: nothing written
  EXPECT_EQ(dir.read("loca.cfg"), "1252 de");
  EXPECT_STREQ(uiLanguageCode(), "de");
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);
  // Once chosen, the file speaks for the player, whatever the window's language.
  setUiLanguage("en");
  EXPECT_EQ(makeFrameView(shell).header.languageCode, "de");
  dir.write("loca.cfg", "1252");  // a file without a code: the client's first language
  loadGameConfig(shell.config.file, dir.path());
  EXPECT_EQ(makeFrameView(shell).header.languageCode, "pt");
}

TEST_F(ShellTest, WindowModeToggles) {
  dispatchAction(shell, kActionWindowMode, -1);  // default 1 → 0
  EXPECT_EQ(dir.read("vessa.cfg"), "WINDOWED 0\r\n");
  dispatchAction(shell, kActionWindowMode, -1);
  EXPECT_EQ(dir.read("vessa.cfg"), "WINDOWED 1\r\n");
}

TEST_F(ShellTest, RepairStartsOnlyWithoutARun) {
  state.running = true;
  shell.ui.launchMessage = L"x";
  dispatchAction(shell, kActionRepair, -1);
  EXPECT_TRUE(rec.runs.empty());
  EXPECT_EQ(shell.ui.launchMessage, L"x");
  state.running = false;
  dispatchAction(shell, kActionRepair, -1);
  ASSERT_EQ(rec.runs.size(), 1u);
  EXPECT_TRUE(rec.runs[0]);
  EXPECT_TRUE(shell.ui.launchMessage.empty());
}

TEST_F(ShellTest, NewsAndSettingsStateActions) {
  shell.ui.news.selected = 4;
  shell.ui.news.scroll = 80;
  shell.ui.news.detailOpen = true;
  dispatchAction(shell, kActionNewsTab, 2);
  EXPECT_EQ(shell.ui.news.filter, 2);
  EXPECT_EQ(shell.ui.news.selected, 0);
  EXPECT_EQ(shell.ui.news.scroll, 0);
  EXPECT_FALSE(shell.ui.news.detailOpen);
  dispatchAction(shell, kActionNewsTab, 7);  // no such tab
  EXPECT_EQ(shell.ui.news.filter, 2);
  dispatchAction(shell, kActionReadMore, -1);
  EXPECT_TRUE(shell.ui.news.detailOpen);
  dispatchAction(shell, kActionNewsItem, 3);
  EXPECT_EQ(shell.ui.news.selected, 3);
  EXPECT_FALSE(shell.ui.news.detailOpen);

  dispatchAction(shell, kActionOpenSettings, -1);
  EXPECT_TRUE(shell.ui.settings.open);
  dispatchAction(shell, kActionSettingsPage, 5);
  EXPECT_EQ(shell.ui.settings.page, 5);
  dispatchAction(shell, kActionSettingList, 3);  // FPS_LIMIT's list
  EXPECT_EQ(shell.ui.settings.openList, 3);
  dispatchAction(shell, kActionSettingList, 3);
  EXPECT_EQ(shell.ui.settings.openList, kNoSetting);
  dispatchAction(shell, kActionSettingList, 2);  // WINDOWED is a Choice: it has no list
  EXPECT_EQ(shell.ui.settings.openList, kNoSetting);
  dispatchAction(shell, kActionCloseSettings, -1);
  EXPECT_FALSE(shell.ui.settings.open);

  shell.ui.popUp.open = PopUp::ResolutionList;
  dispatchAction(shell, kActionBackground, -1);
  EXPECT_EQ(shell.ui.popUp.open, PopUp::None);
  dispatchAction(shell, kActionOpenGameFolder, -1);
  ASSERT_EQ(rec.opened.size(), 1u);
  EXPECT_EQ(rec.opened[0], dir.path());
  dispatchAction(shell, kActionClose, -1);
  EXPECT_EQ(rec.closes, 1);
}

// ---- the advanced settings pages

namespace {

// A client file with every key at its default between a comment, a blank line and a key the
// launcher does not know, with CR LF line ends; value replaces one key's value.
std::string fullConfig(const std::map<std::string, std::string>& changed = {}) {
  ConfigValues values;
  loadConfigValues(GameConfigFile(), values, true);
  std::string text = "# written by the client\r\n";
  for (const auto& [key, value] : values) {
    const auto it = changed.find(key);
    text += key + " " + (it == changed.end() ? value : it->second) + "\r\n";
  }
  return text + "\r\nCLIENT_ONLY 42\r\n";
}

const SliderTrack* trackOf(const FrameOutput& frame, int entry) {
  for (const SliderTrack& t : frame.sliderTracks) {
    if (t.actionId == kActionSettingSlider && t.itemIndex == entry) return &t;
  }
  return nullptr;
}

}  // namespace

TEST_F(ShellTest, PagesEditOnlyTheirValuesUntilASaveWritesThoseLines) {
  dir.write("vessa.cfg", fullConfig());
  state.gameExe = L"Play Quillmark.exe";
  dispatchAction(shell, kActionOpenSettings, -1);
  EXPECT_TRUE(shell.ui.settings.open);
  EXPECT_TRUE(rec.polling);
  ASSERT_EQ(rec.runningChecks.size(), 1u);
  EXPECT_EQ(rec.runningChecks[0], dir.path() + L"Play Quillmark.exe");
  paintFrame();
  EXPECT_TRUE(isCaption(shell, 400, 40)) << "the band above the pages moves the window";
  EXPECT_FALSE(isCaption(shell, 1075, 31)) << "the close button stays a button";

  dispatchAction(shell, kActionSettingsPage, 1);
  dispatchAction(shell, kActionSettingOption, 5 * 16 + 0);  // GRAPHICS_LEVEL: Low
  dispatchAction(shell, kActionSettingList, 6);             // VISIBILITY's list
  EXPECT_EQ(shell.ui.settings.openList, 6);
  dispatchAction(shell, kActionListOption, 1);  // Short
  EXPECT_EQ(shell.ui.settings.openList, kNoSetting);
  dispatchAction(shell, kActionSettingSwitch, 12);  // SPECULAR 0 (on) becomes 1
  dispatchAction(shell, kActionSettingsPage, 6);
  paintFrame();
  // VOICE_VOLUME (entry 33) dragged along the track its frame published: 40 % gives 2.
  const SliderTrack* voice = trackOf(frame, 33);
  ASSERT_NE(voice, nullptr);
  const float y = (voice->track.top + voice->track.bottom) / 2;
  onButtonDown(shell, voice->track.left + 0.9f * voice->track.width(), y);
  EXPECT_EQ(shell.ui.settings.sliderDrag, 33);
  EXPECT_EQ(shell.config.pending.at("VOICE_VOLUME"), "5");
  onMouseMove(shell, voice->track.left + 0.4f * voice->track.width(), y + 200);
  EXPECT_EQ(shell.config.pending.at("VOICE_VOLUME"), "2");
  EXPECT_EQ(shell.ui.pointer.hoverId, 0) << "a drag does not hover";
  onButtonUp(shell, 0, 0);
  EXPECT_EQ(shell.ui.settings.sliderDrag, kNoSetting);
  EXPECT_EQ(rec.captures, rec.releases);
  EXPECT_EQ(dir.read("vessa.cfg"), fullConfig()) << "nothing is written before a save";

  dispatchAction(shell, kActionSaveSettings, -1);
  EXPECT_EQ(dir.read("vessa.cfg"), fullConfig({{"GRAPHICS_LEVEL", "0"},
                                               {"VISIBILITY", "1"},
                                               {"SPECULAR", "1"},
                                               {"VOICE_VOLUME", "2"}}));
  EXPECT_EQ(shell.ui.volume.effects, 2) << "the side panel shows the saved volume";
  EXPECT_EQ(rec.noticeTimers, 1);
  EXPECT_EQ(makeFrameView(shell).settings.notice, SaveNotice::Saved);
  rec.now += kSaveNoticeMilliseconds - 1;
  EXPECT_EQ(makeFrameView(shell).settings.notice, SaveNotice::Saved);
  rec.now += 1;
  EXPECT_EQ(makeFrameView(shell).settings.notice, SaveNotice::None);

  // Defaults and Cancel write nothing; the next opening reads the file again.
  dispatchAction(shell, kActionRestoreDefaults, -1);
  EXPECT_EQ(shell.config.pending.at("GRAPHICS_LEVEL"), "2");
  dispatchAction(shell, kActionCloseSettings, -1);
  EXPECT_FALSE(shell.ui.settings.open);
  dispatchAction(shell, kActionOpenSettings, -1);
  EXPECT_EQ(shell.config.pending.at("GRAPHICS_LEVEL"), "0");
  EXPECT_EQ(shell.ui.settings.page, 0);
}

TEST_F(ShellTest, SaveAndPlaySavesThenStartsTheGameUnlessTheSaveFailed) {
  ready();
  dir.write("QuillmarkClient.exe", "MZ");
  dir.write("vessa.cfg", fullConfig());
  openSettingsPages(shell, 9);  // "--settings=9": the last page
  EXPECT_EQ(shell.ui.settings.page, configPageCount() - 1);
  dispatchAction(shell, kActionSettingOption, 2 * 16 + 1);  // WINDOWED: Fullscreen
  dispatchAction(shell, kActionSaveAndPlay, -1);
  EXPECT_EQ(dir.read("vessa.cfg"), fullConfig({{"WINDOWED", "0"}}));
  EXPECT_EQ(rec.launches.size(), 1u);
  EXPECT_EQ(rec.closes, 1);
  EXPECT_FALSE(shell.ui.settings.open);
  EXPECT_EQ(rec.noticeTimers, 0);

  // vessa.cfg that cannot be read cannot be saved: the pages stay with the failure, and the
  // game is not started without the player's changes.
  TempDir other;
  other.write("vessa.cfg/x", "");
  shell.gameDir = other.path();
  other.write("QuillmarkClient.exe", "MZ");
  openSettingsPages(shell, 0);
  dispatchAction(shell, kActionSettingOption, 2 * 16 + 1);
  dispatchAction(shell, kActionSaveAndPlay, -1);
  EXPECT_TRUE(shell.ui.settings.open);
  EXPECT_EQ(makeFrameView(shell).settings.notice, SaveNotice::Failed);
  EXPECT_EQ(rec.noticeTimers, 1);
  EXPECT_EQ(rec.launches.size(), 1u);
}

TEST_F(ShellTest, SaveAndPlayIsDisabledWhileTheGameRuns) {
  ready();
  dir.write("QuillmarkClient.exe", "MZ");
  dir.write("vessa.cfg", fullConfig());
  rec.gameRunning = true;
  openSettingsPages(shell, 0);
  dispatchAction(shell, kActionSettingOption, 2 * 16 + 1);  // WINDOWED: Fullscreen
  paintFrame();
  EXPECT_FALSE(findRegion(frame.hitRegions, kActionSaveAndPlay, -1)->enabled);
  // The game started after the last poll: the action asks again.
  rec.gameRunning = false;
  onSettingsPoll(shell);
  EXPECT_TRUE(makeFrameView(shell).settings.canPlay);
  rec.gameRunning = true;
  dispatchAction(shell, kActionSaveAndPlay, -1);
  EXPECT_TRUE(rec.launches.empty());
  EXPECT_EQ(dir.read("vessa.cfg"), fullConfig());
  EXPECT_TRUE(shell.ui.settings.open);
  EXPECT_FALSE(makeFrameView(shell).settings.canPlay);
  rec.gameRunning = false;
  dispatchAction(shell, kActionSaveAndPlay, -1);
  EXPECT_EQ(dir.read("vessa.cfg"), fullConfig({{"WINDOWED", "0"}}));
  EXPECT_EQ(rec.launches.size(), 1u);
}

TEST_F(ShellTest, ThePollShowsTheRunningGameAndStopsWithThePages) {
  openSettingsPages(shell, 0);
  EXPECT_FALSE(makeFrameView(shell).settings.gameRunning);
  rec.gameRunning = true;
  const int repaints = rec.repaints;
  onSettingsPoll(shell);
  EXPECT_TRUE(makeFrameView(shell).settings.gameRunning);
  EXPECT_EQ(rec.repaints, repaints + 1);
  onSettingsPoll(shell);
  EXPECT_EQ(rec.repaints, repaints + 1) << "no change, no repaint";
  onKeyDown(shell, Key::Escape);
  EXPECT_FALSE(shell.ui.settings.open);
  const std::size_t checks = rec.runningChecks.size();
  onSettingsPoll(shell);
  EXPECT_FALSE(rec.polling);
  EXPECT_EQ(rec.runningChecks.size(), checks) << "closed pages ask nothing";
}

// ---- command line, running check, taskbar

TEST(CommandLine, SettingsSwitchAndPage) {
  EXPECT_FALSE(parseSettingsSwitch(L"--updated").open);
  const auto page = [](const wchar_t* line) {
    const SettingsSwitch s = parseSettingsSwitch(line);
    EXPECT_TRUE(s.open) << std::wstring(line).size();
    return s.page;
  };
  EXPECT_EQ(page(L"--settings"), 0);
  EXPECT_EQ(page(L"--settings=3"), 3);
  EXPECT_EQ(page(L"--settings=9"), configPageCount() - 1);
  EXPECT_EQ(page(L"--settings=-2"), 0);
  EXPECT_EQ(page(L"--settings=abc"), 0);
  EXPECT_EQ(page(L"--settings= 4x"), 4);
  EXPECT_EQ(page(L"-ignoreinstances --settings=2 --elevated"), 2);
  EXPECT_EQ(page(L"--settings 5"), 0);
  EXPECT_EQ(page(L"--settings=99999999999999999999"), configPageCount() - 1);
  EXPECT_EQ(decimalPrefix(L"-99999999999999999999"), -2147483647 - 1);
  EXPECT_TRUE(hasSwitch(L"\"C:\\q\\QuillmarkLauncher.exe\" --updated", kSwitchUpdated));
  EXPECT_TRUE(hasSwitch(L"x-ignoreinstances", kSwitchIgnoreInstances));
  EXPECT_FALSE(hasSwitch(L"--update", kSwitchUpdated));
}

TEST(CommandLine, PathsAndCommandLinesOfStartedPrograms) {
  EXPECT_EQ(folderOfPath(L"C:\\Games\\My Game\\client.exe"), L"C:\\Games\\My Game\\");
  EXPECT_EQ(folderOfPath(L"client.exe"), L"");
  EXPECT_EQ(processCommandLine(L"C:\\My Games\\QuillmarkLauncher.exe", L"--updated"),
            L"\"C:\\My Games\\QuillmarkLauncher.exe\" --updated");
  EXPECT_EQ(processCommandLine(L"C:\\a.exe", L""), L"\"C:\\a.exe\"");
}

namespace {
TaskbarProgress progressOf(int phase, bool running, std::uint64_t done, std::uint64_t total,
                           bool paused = false) {
  RunSnapshot run;
  run.phase = phase;
  run.running = running;
  run.paused = paused;
  run.bytesDone = done;
  run.bytesTotal = total;
  return taskbarProgress(run);
}
}  // namespace

TEST(Taskbar, ProgressWhileCheckingOrDownloadingRedOnErrorNothingWhenReady) {
  using M = TaskbarMode;
  EXPECT_EQ(progressOf(kPhaseConnecting, true, 0, 0), (TaskbarProgress{M::Indeterminate, 0}));
  EXPECT_EQ(progressOf(kPhaseChecking, true, 0, 0), (TaskbarProgress{M::Indeterminate, 0}));
  EXPECT_EQ(progressOf(kPhaseChecking, true, 250, 1000), (TaskbarProgress{M::Normal, 250}));
  EXPECT_EQ(progressOf(kPhaseDownloading, true, 1, 3), (TaskbarProgress{M::Normal, 333}));
  EXPECT_EQ(progressOf(kPhaseDownloading, true, 5000, 1000), (TaskbarProgress{M::Normal, 1000}));
  EXPECT_EQ(progressOf(kPhaseSelfUpdate, true, 500, 1000), (TaskbarProgress{M::Normal, 500}));
  EXPECT_EQ(progressOf(kPhaseApplying, true, 1000, 1000), (TaskbarProgress{M::Indeterminate, 0}));
  EXPECT_EQ(progressOf(kPhaseError, true, 10, 1000), (TaskbarProgress{M::Error, 1000}));
  EXPECT_EQ(progressOf(kPhaseError, false, 10, 1000), (TaskbarProgress{M::Error, 1000}));
  EXPECT_EQ(progressOf(kPhaseReady, false, 10, 1000), (TaskbarProgress{}));
  EXPECT_EQ(progressOf(kPhaseRestart, false, 0, 0), (TaskbarProgress{M::Indeterminate, 0}));
  EXPECT_EQ(progressOf(kPhaseDownloading, false, 10, 1000), (TaskbarProgress{}));
  // A paused download keeps its place, yellow, while it stops and once it has; a pause that
  // came as the downloads ended shows the run's end.
  EXPECT_EQ(progressOf(kPhaseDownloading, true, 1, 4, true), (TaskbarProgress{M::Paused, 250}));
  EXPECT_EQ(progressOf(kPhaseDownloading, false, 1, 4, true), (TaskbarProgress{M::Paused, 250}));
  EXPECT_EQ(progressOf(kPhaseReady, false, 4, 4, true), (TaskbarProgress{}));
  const std::uint64_t huge = 1ULL << 62;
  EXPECT_EQ(progressOf(kPhaseDownloading, true, huge / 2, huge).permille, 500u);
}
