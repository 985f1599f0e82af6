// The action table: what a completed click (or Enter and Escape) does, by the panel that
// registers the action's id; links; the play and retry action.
//
//   helpers          pop-up lists, resolution, language, window mode, repair, the settings
//                    pages' lists, saves and volumes
//   panels           headerAction, newsAction, sidePanelAction, pauseOrResume, mainScreenAction,
//                    settingsPageAction, and the table of their id ranges
//   links, play      isOpenableLink, openLink, linkAddress, playAction
//   dispatch         closeSettingsPages, dispatchAction
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "base/files.h"
#include "gamecfg/config_model.h"
#include "gamecfg/game_config.h"
#include "i18n/strings.h"
#include "quillmark_config.h"
#include "shell/game_launch.h"
#include "shell/shell.h"
#include "ui/action_ids.h"
#include "ui/layout.h"
#include "update/update_run.h"

namespace {

void togglePopUp(UiState& ui, PopUp popUp) {
  ui.popUp.scroll = 0;
  ui.popUp.open = ui.popUp.open == popUp ? PopUp::None : popUp;
}

void toggleResolutionList(Shell& shell) {
  UiState& ui = shell.ui;
  const GameConfigFile& file = shell.config.file;
  togglePopUp(ui, PopUp::ResolutionList);
  if (ui.popUp.open != PopUp::ResolutionList) return;
  ui.popUp.displayModes = listDisplayModes(file);
  // Scroll so that the configured size is the fourth row (the last one that matches wins).
  const long width = configuredNumber(file, "WIDTH", "1024");
  const long height = configuredNumber(file, "HEIGHT", "768");
  const std::vector<DisplayMode>& modes = ui.popUp.displayModes;
  for (std::size_t i = 0; i < modes.size(); ++i) {
    if (modes[i].width == width && modes[i].height == height) {
      const float row = static_cast<float>(i) * kPopUpRowHeight;
      ui.popUp.scroll = std::max(0.0f, row - 3.0f * kPopUpRowHeight);
    }
  }
}

void chooseResolution(Shell& shell, int index) {
  PopUpState& popUp = shell.ui.popUp;
  if (index >= 0 && static_cast<std::size_t>(index) < popUp.displayModes.size()) {
    const DisplayMode mode = popUp.displayModes[static_cast<std::size_t>(index)];
    setConfigValue(shell.config.file, "WIDTH", std::to_string(mode.width));
    setConfigValue(shell.config.file, "HEIGHT", std::to_string(mode.height));
  }
  popUp.open = PopUp::None;
}

void chooseLanguage(Shell& shell, int index) {
  setClientLanguage(shell.config.file, index);
  setUiLanguage(clientLanguage(shell.config.file.clientLanguage).code);
  shell.ui.popUp.open = PopUp::None;
}

void toggleWindowMode(GameConfigFile& file) {
  setConfigValue(file, "WINDOWED", configuredNumber(file, "WINDOWED", "1") != 0 ? "0" : "1");
}

void repair(Shell& shell) {
  if (shell.state->running.load()) return;
  shell.ui.launchMessage.clear();
  resetSpeed(shell);
  shell.host.startRun(shell.host.self, true);
}

void openLinkOf(Shell& shell, const char* key) { openLink(shell, linkAddress(shell, key)); }

// Opens the option list of entry scrolled so that its current item is the third row, or
// closes it when it is the one open.
void toggleSettingList(SettingsPagesState& settings, const GameSettings& config, int entry) {
  settings.listScroll = 0;
  const ConfigEntry* e = configEntry(entry);
  const bool hasList =
      e && (e->kind == ConfigEntryKind::List || e->kind == ConfigEntryKind::Resolution ||
            e->kind == ConfigEntryKind::RefreshRate);
  if (settings.openList == entry || !hasList) {
    settings.openList = kNoSetting;
    return;
  }
  settings.openList = entry;
  const std::vector<DropDownItem> items = dropDownItems(config.pending, entry, config.displayModes);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].current) {
      settings.listScroll = std::max(0.0f, (static_cast<float>(i) - 2.0f) * kPopUpRowHeight);
    }
  }
}

void pickListItem(SettingsPagesState& settings, GameSettings& config, int item) {
  if (settings.openList != kNoSetting) {
    pickDropDownItem(config.pending, settings.openList, item, config.displayModes);
  }
  settings.openList = kNoSetting;
}

// Saves the pending values; the footer tells how it went for a while. Returns whether the
// file holds them.
bool saveSettings(Shell& shell) {
  SettingsPagesState& settings = shell.ui.settings;
  const bool saved = saveConfigValues(shell.config);
  refreshVolumes(shell);
  settings.notice = saved ? SaveNotice::Saved : SaveNotice::Failed;
  settings.noticeAt = shell.host.now(shell.host.self);
  return saved;
}

// A save that failed keeps the pages open with its notice instead of starting a game that
// would not see the changes. While the game runs the button is disabled: a second client
// would start, and the running one would overwrite the file when it exits. The poll runs once
// a second, so the action asks again itself.
void saveAndPlay(Shell& shell) {
  SettingsPagesState& settings = shell.ui.settings;
  settings.gameRunning =
      shell.host.isGameRunning(shell.host.self, gameExecutablePath(*shell.state, shell.gameDir));
  if (settings.gameRunning) return;
  if (!saveSettings(shell)) {
    shell.host.startSaveNoticeTimer(shell.host.self);
    return;
  }
  closeSettingsPages(shell.ui);
  playAction(shell);
}

// ---- the panels' actions, each for the ids its painter registers

// Window buttons, language selector, navigation links.
void headerAction(Shell& shell, int id, int index) {
  switch (id) {
    case kActionClose:
      shell.host.closeWindow(shell.host.self);
      break;
    case kActionMinimise:
      shell.host.minimiseWindow(shell.host.self);
      break;
    case kActionOpenGameFolder:
      shell.host.shellOpen(shell.host.self, shell.gameDir);
      break;
    case kActionLanguageList:
      togglePopUp(shell.ui, PopUp::LanguageList);
      break;
    case kActionHeaderLink:
      if (index >= 0 && index < kHeaderLinkCount) openLinkOf(shell, kHeaderLinkKeys[index]);
      break;
  }
}

// "View post": the selected entry of the chosen category, when there is one.
void openSelectedPost(Shell& shell) {
  const NewsState& news = shell.ui.news;
  const std::vector<int> positions =
      filteredNews(shell.ui.uiNews, static_cast<NewsCategory>(news.filter));
  if (news.selected < 0 || static_cast<std::size_t>(news.selected) >= positions.size()) return;
  openLink(shell, shell.ui.uiNews[static_cast<std::size_t>(positions[news.selected])].url);
}

// "All news", category tabs, list rows, "Read more" / "Back", "View post".
void newsAction(Shell& shell, int id, int index) {
  NewsState& news = shell.ui.news;
  switch (id) {
    case kActionAllNews:
      openLinkOf(shell, "news");
      break;
    case kActionNewsTab:
      if (index >= 0 && index < kNewsCategoryCount) {
        news.filter = index;
        news.selected = 0;
        news.scroll = 0;
        news.detailOpen = false;
      }
      break;
    case kActionNewsItem:
      if (index >= 0) {
        news.selected = index;
        news.detailOpen = false;
      }
      break;
    case kActionReadMore:
      news.detailOpen = !news.detailOpen;
      news.bodyScroll = 0;
      break;
    case kActionViewPost:
      openSelectedPost(shell);
      break;
  }
}

// The settings card and its pop-up lists (the language list is opened by the header). The
// volume sliders act on button-down (onButtonDown).
void sidePanelAction(Shell& shell, int id, int index) {
  switch (id) {
    case kActionResolutionList:
      toggleResolutionList(shell);
      break;
    case kActionChooseResolution:
      chooseResolution(shell, index);
      break;
    case kActionChooseLanguage:
      chooseLanguage(shell, index);
      break;
    case kActionWindowMode:
      toggleWindowMode(shell.config.file);
      break;
    case kActionOpenSettings:
      openSettingsPages(shell, 0);
      break;
    case kActionRepair:
      repair(shell);
      break;
    case kActionDiscord:
      openLinkOf(shell, "discord");
      break;
    case kActionWebsite:
      openLinkOf(shell, "site");
      break;
  }
}

// The pause control: pauses a download that runs; resumes a paused one, once it has stopped,
// with a new run, which keeps what the paused one did.
void pauseOrResume(Shell& shell) {
  if (!canResumeUpdate(readRunCounters(*shell.state))) {
    pauseUpdate(*shell.state);
    return;
  }
  shell.ui.launchMessage.clear();
  resetSpeed(shell);
  shell.host.startRun(shell.host.self, false);
}

// The main button, the pause control, and the background under everything, which closes a
// pop-up list.
void mainScreenAction(Shell& shell, int id, int) {
  if (id == kActionPlay) {
    playAction(shell);
  } else if (id == kActionPauseResume) {
    pauseOrResume(shell);
  } else if (id == kActionBackground) {
    shell.ui.popUp.open = PopUp::None;
  }
}

// The advanced settings pages: edits of the pending values, which reach vessa.cfg only with
// a save. The slider acts on button-down (onButtonDown).
void settingsPageAction(Shell& shell, int id, int index) {
  SettingsPagesState& settings = shell.ui.settings;
  ConfigValues& values = shell.config.pending;
  switch (id) {
    case kActionSettingsPage:
      if (index >= 0 && index < configPageCount()) {
        settings.page = index;
        settings.pageScroll = 0;
        settings.openList = kNoSetting;
      }
      break;
    case kActionSettingOption:
      if (index >= 0) chooseOption(values, index / kConfigMaxOptions, index % kConfigMaxOptions);
      break;
    case kActionSettingList:
      toggleSettingList(settings, shell.config, index);
      break;
    case kActionListOption:
      pickListItem(settings, shell.config, index);
      break;
    case kActionListBackground:
      settings.openList = kNoSetting;
      break;
    case kActionSettingSwitch:
      toggle(values, index);
      break;
    case kActionRestoreDefaults:
      resetToDefaults(values);
      settings.openList = kNoSetting;
      break;
    case kActionCloseSettings:
      closeSettingsPages(shell.ui);
      break;
    case kActionSaveSettings:
      saveSettings(shell);
      shell.host.startSaveNoticeTimer(shell.host.self);
      break;
    case kActionSaveAndPlay:
      saveAndPlay(shell);
      break;
  }
}

// Each panel's ids form one range of ActionId.
struct PanelActions {
  int first, last;
  void (*act)(Shell& shell, int id, int index);
};
constexpr PanelActions kPanelActions[] = {
    {kActionClose, kActionHeaderLink, headerAction},
    {kActionAllNews, kActionViewPost, newsAction},
    {kActionResolutionList, kActionWebsite, sidePanelAction},
    {kActionPlay, kActionBackground, mainScreenAction},
    {kActionSettingsPage, kActionSaveAndPlay, settingsPageAction},
    {kActionPauseResume, kActionPauseResume, mainScreenAction},
};

}  // namespace

bool isOpenableLink(const std::wstring& address) {
  return address.compare(0, 7, L"http://") == 0 || address.compare(0, 8, L"https://") == 0;
}

void openLink(Shell& shell, const std::wstring& address) {
  if (isOpenableLink(address)) shell.host.shellOpen(shell.host.self, address);
}

std::wstring linkAddress(Shell& shell, const std::string& key) {
  std::wstring address = copyLink(*shell.state, key);
  if (address.empty() && (key == "site" || key == "news")) address = quillmark::config::kSiteUrl;
  return address;
}

void playAction(Shell& shell) {
  UiState& ui = shell.ui;
  const int phase = shell.state->phase.load();
  if (phase == kPhaseError) {
    ui.launchMessage.clear();
    resetSpeed(shell);
    shell.host.startRun(shell.host.self, false);
    shell.host.repaint(shell.host.self);
    return;
  }
  if (phase != kPhaseReady) return;

  const std::wstring path = gameExecutablePath(*shell.state, shell.gameDir);
  if (!fileExists(path)) {
    ui.launchMessage = std::wstring(uiText(kStrErrNoGameExe)) + L" " + path;
    shell.host.repaint(shell.host.self);
    return;
  }
  const std::uint32_t result = shell.host.launchGame(shell.host.self, path, shell.launchTicket);
  if (result == kLaunchCancelled) return;
  if (result == 0) {
    shell.host.closeWindow(shell.host.self);
    return;
  }
  ui.launchMessage = launchFailureText(result);
  shell.host.repaint(shell.host.self);
}

void openSettingsPages(Shell& shell, int page) {
  SettingsPagesState& settings = shell.ui.settings;
  openSettings(shell.config, shell.gameDir);
  settings.open = true;
  settings.page = std::clamp(page, 0, configPageCount() - 1);
  settings.pageScroll = 0;
  settings.tabScroll = settingsTabScrollShowing(settings.page);
  settings.openList = kNoSetting;
  settings.sliderDrag = kNoSetting;
  settings.notice = SaveNotice::None;
  shell.ui.popUp.open = PopUp::None;
  settings.gameRunning =
      shell.host.isGameRunning(shell.host.self, gameExecutablePath(*shell.state, shell.gameDir));
  shell.host.setSettingsPoll(shell.host.self, true);
}

void closeSettingsPages(UiState& ui) {
  ui.settings.open = false;
  ui.settings.openList = kNoSetting;
  ui.settings.sliderDrag = kNoSetting;
}

void refreshVolumes(Shell& shell) {
  VolumeState& volume = shell.ui.volume;
  const float music = readMusicVolume(shell.config.file);
  volume.music = std::isnan(music) ? 1.0f : std::clamp(music, 0.0f, 1.0f);
  volume.effects = std::clamp(readVoiceVolume(shell.config.file), 0, 5);
}

void dispatchAction(Shell& shell, int id, int index) {
  for (const PanelActions& panel : kPanelActions) {
    if (id >= panel.first && id <= panel.last) {
      panel.act(shell, id, index);
      break;
    }
  }
  shell.host.repaint(shell.host.self);
}
