// Phase messages of the update run, the frame tick and the frame's view.
#include "shell/shell.h"

#include <cstdlib>
#include <mutex>

#include "gamecfg/config_model.h"
#include "gamecfg/game_config.h"
#include "i18n/strings.h"
#include "shell/game_launch.h"
#include "ui/main_screen.h"

void resetSpeed(Shell& shell) {
  resetSpeedMeter(shell.ui.speedMeter, shell.host.now(shell.host.self));
}

void copyNewsToUi(Shell& shell) {
  std::vector<NewsItem> copy = copyNews(*shell.state);
  shell.ui.uiNews.swap(copy);
}

void onLauncherPhase(Shell& shell, int phase, int detail) {
  if (phase == kPhaseVerifying && detail == kManifestAccepted) {
    copyNewsToUi(shell);
    shell.ui.news.selected = 0;
  }
  shell.host.repaint(shell.host.self);

  // The run that put a new launcher in place has ended: hand over to it.
  if (!shell.state->running.load() && shell.state->phase.load() == kPhaseRestart &&
      !shell.ui.restarting) {
    shell.ui.restarting = true;
    shell.host.restartLauncher(shell.host.self);
  }
}

void onFrameTick(Shell& shell) {
  const std::uint64_t now = shell.host.now(shell.host.self);
  shell.ui.animationClock += 0.033f;
  const std::uint64_t bytes = shell.state->bytesDone.load();
  sampleSpeed(shell.ui.speedMeter, shell.state->phase.load(), bytes, now);
  shell.host.repaint(shell.host.self);
  // Without a run nothing moves: the window repaints only when something changes.
  if (!shell.state->running.load()) shell.host.stopFrameTimer(shell.host.self);
}

long configuredNumber(const GameConfigFile& file, const char* key, const char* fallback) {
  return std::strtol(getConfigValue(file, key, fallback).c_str(), nullptr, 10);
}

void onSettingsPoll(Shell& shell) {
  SettingsPagesState& settings = shell.ui.settings;
  if (!settings.open) {
    shell.host.setSettingsPoll(shell.host.self, false);
    return;
  }
  const bool running =
      shell.host.isGameRunning(shell.host.self, gameExecutablePath(*shell.state, shell.gameDir));
  if (running != settings.gameRunning) {
    settings.gameRunning = running;
    shell.host.repaint(shell.host.self);
  }
}

namespace {

HeaderView makeHeaderView(Shell& shell) {
  HeaderView header;
  for (int i = 0; i < kHeaderLinkCount; ++i) {
    header.linkAddresses[static_cast<std::size_t>(i)] = linkAddress(shell, kHeaderLinkKeys[i]);
  }
  header.languageCode = clientLanguage(shownClientLanguage(shell.config.file)).code;
  header.languageListOpen = shell.ui.popUp.open == PopUp::LanguageList;
  return header;
}

NewsPanelView makeNewsView(Shell& shell) {
  NewsState& news = shell.ui.news;
  // A selection that a new news list or a shorter category left out of range is the first
  // entry, as the card shows it, so that "View post" opens what is shown.
  const std::size_t shown =
      filteredNews(shell.ui.uiNews, static_cast<NewsCategory>(news.filter)).size();
  if (news.selected < 0 || static_cast<std::size_t>(news.selected) >= shown) news.selected = 0;
  NewsPanelView view;
  view.items = &shell.ui.uiNews;
  view.filter = static_cast<NewsCategory>(news.filter);
  view.selected = news.selected;
  view.expanded = news.detailOpen;
  view.listScroll = news.scroll;
  view.bodyScroll = news.bodyScroll;
  view.hasNewsPage = !linkAddress(shell, "news").empty();
  return view;
}

SidePanelView makeSidePanelView(Shell& shell) {
  const UiState& ui = shell.ui;
  const GameConfigFile& file = shell.config.file;
  SidePanelView view;
  view.width = configuredNumber(file, "WIDTH", "1024");
  view.height = configuredNumber(file, "HEIGHT", "768");
  view.windowed = readWindowed(file);
  view.musicVolume = ui.volume.music;
  view.effectsVolume = ui.volume.effects;
  view.dragging = ui.volume.drag;
  view.resolutionListOpen = ui.popUp.open == PopUp::ResolutionList;
  view.runActive = shell.state->running.load();
  view.hasDiscord = !linkAddress(shell, "discord").empty();
  return view;
}

SettingsPagesView makeSettingsView(Shell& shell) {
  SettingsPagesState& settings = shell.ui.settings;
  SettingsPagesView view;
  view.page = settings.page;
  view.pageScroll = settings.pageScroll;
  view.tabScroll = settings.tabScroll;
  view.openList = settings.openList;
  view.listScroll = settings.listScroll;
  view.sliderDrag = settings.sliderDrag;
  view.values = shell.config.pending;
  if (settings.openList != kNoSetting) {
    view.listItems =
        dropDownItems(shell.config.pending, settings.openList, shell.config.displayModes);
  }
  view.gameRunning = settings.gameRunning;
  const std::uint64_t now = shell.host.now(shell.host.self);
  if (settings.notice != SaveNotice::None &&
      !(now >= settings.noticeAt && now - settings.noticeAt < kSaveNoticeMilliseconds)) {
    settings.notice = SaveNotice::None;
  }
  view.notice = settings.notice;
  view.canPlay = shell.state->phase.load() == kPhaseReady && !shell.state->running.load() &&
                 !settings.gameRunning;
  return view;
}

PopUpView makePopUpView(const Shell& shell) {
  const UiState& ui = shell.ui;
  const GameConfigFile& file = shell.config.file;
  PopUpView view;
  view.open = ui.popUp.open;
  view.scroll = ui.popUp.scroll;
  view.currentLanguage = shownClientLanguage(file);
  if (ui.popUp.open == PopUp::ResolutionList) {
    const long width = configuredNumber(file, "WIDTH", "1024");
    const long height = configuredNumber(file, "HEIGHT", "768");
    for (const DisplayMode& mode : ui.popUp.displayModes) {
      if (mode.width == width && mode.height == height) {
        view.currentResolution = static_cast<int>(view.resolutionRows.size());
      }
      view.resolutionRows.push_back(
          resolutionText(std::to_wstring(mode.width), std::to_wstring(mode.height)));
    }
  }
  return view;
}

}  // namespace

FrameView makeFrameView(Shell& shell) {
  FrameView view;
  view.settingsOpen = shell.ui.settings.open;
  if (view.settingsOpen) {
    view.settings = makeSettingsView(shell);
  } else {
    view.header = makeHeaderView(shell);
    view.news = makeNewsView(shell);
    view.side = makeSidePanelView(shell);
    view.popUp = makePopUpView(shell);
  }
  view.main.run = takeRunSnapshot(*shell.state);
  view.main.launchMessage = shell.ui.launchMessage;
  view.main.speed = shell.ui.speedMeter.speed;
  view.main.clock = shell.ui.animationClock;
  view.hoverId = shell.ui.pointer.hoverId;
  view.hoverIndex = shell.ui.pointer.hoverIndex;
  view.pressedId = shell.ui.pointer.pressedId;
  view.focusId = shell.ui.focus.id;
  view.focusIndex = shell.ui.focus.index;
  return view;
}
