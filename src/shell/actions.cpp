// The action table: what a completed click (or Enter and Escape) does, links, and the play
// and retry action.
#include <algorithm>
#include <cstdlib>

#include "gamecfg/game_config.h"
#include "i18n/strings.h"
#include "quillmark_config.h"
#include "shell/game_launch.h"
#include "shell/shell.h"
#include "ui/action_ids.h"
#include "base/files.h"

namespace {

// The header's navigation links by item index.
constexpr const char* kHeaderLinkKeys[] = {"site", "discord", "support", "rules", "register"};

long configuredNumber(const char* key, const char* fallback) {
  return std::strtol(getConfigValue(key, fallback).c_str(), nullptr, 10);
}

void toggleResolutionList(Shell& shell) {
  UiState& ui = shell.ui;
  ui.listScroll = 0;
  if (ui.openList == 1) {
    ui.openList = 0;
    return;
  }
  ui.openList = 1;
  ui.displayModes = listDisplayModes();
  // Scroll so that the configured size is the fourth row (the last one that matches wins).
  const long width = configuredNumber("WIDTH", "1024");
  const long height = configuredNumber("HEIGHT", "768");
  for (std::size_t i = 0; i < ui.displayModes.size(); ++i) {
    if (ui.displayModes[i].width == width && ui.displayModes[i].height == height) {
      ui.listScroll = std::max(0.0f, static_cast<float>(i) * 32.0f - 96.0f);
    }
  }
}

void chooseResolution(Shell& shell, int index) {
  UiState& ui = shell.ui;
  if (index >= 0 && static_cast<std::size_t>(index) < ui.displayModes.size()) {
    const DisplayMode mode = ui.displayModes[static_cast<std::size_t>(index)];
    setConfigValue("WIDTH", std::to_string(mode.width));
    setConfigValue("HEIGHT", std::to_string(mode.height));
  }
  ui.openList = 0;
}

void chooseLanguage(Shell& shell, int index) {
  setClientLanguage(index);
  setUiLanguage(clientLanguage(clientLanguageIndex()).code);
  shell.ui.openList = 0;
}

void toggleWindowMode() {
  setConfigValue("WINDOWED", configuredNumber("WINDOWED", "1") != 0 ? "0" : "1");
}

void openSettings(Shell& shell) {
  UiState& ui = shell.ui;
  loadGameConfig(shell.gameDir);
  ui.settingsOpen = true;
  ui.settingsPage = 0;
  ui.pageScroll = 0;
  ui.settingsList = -1;
  ui.openList = 0;
}

void repair(Shell& shell) {
  if (shell.state->running.load()) return;
  shell.ui.launchMessage.clear();
  resetSpeed(shell);
  shell.host.startRun(shell.host.self, true);
}

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
  if (phase == kStatusError) {
    ui.launchMessage.clear();
    resetSpeed(shell);
    shell.host.startRun(shell.host.self, false);
    shell.host.repaint(shell.host.self);
    return;
  }
  if (phase != kStatusReady) return;

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

void dispatchAction(Shell& shell, int id, int index) {
  UiState& ui = shell.ui;
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
      ui.listScroll = 0;
      ui.openList = ui.openList == 2 ? 0 : 2;
      break;
    case kActionHeaderLink:
      if (index >= 0 && index < 5) openLink(shell, linkAddress(shell, kHeaderLinkKeys[index]));
      break;
    case kActionAllNews:
      openLink(shell, linkAddress(shell, "news"));
      break;
    case kActionNewsTab:
      if (index >= 0 && index <= 3) {
        ui.newsFilter = index;
        ui.selectedNews = 0;
        ui.newsScroll = 0;
        ui.newsDetailOpen = false;
      }
      break;
    case kActionNewsItem:
      if (index >= 0) {
        ui.selectedNews = index;
        ui.newsDetailOpen = false;
      }
      break;
    case kActionReadMore:
      ui.newsDetailOpen = !ui.newsDetailOpen;
      break;
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
      toggleWindowMode();
      break;
    case kActionOpenSettings:
      openSettings(shell);
      break;
    case kActionRepair:
      repair(shell);
      break;
    case kActionDiscord:
      openLink(shell, linkAddress(shell, "discord"));
      break;
    case kActionWebsite:
      openLink(shell, linkAddress(shell, "site"));
      break;
    case kActionPlay:
      playAction(shell);
      break;
    case kActionBackground:
      ui.openList = 0;
      break;
    case kActionSettingsPage:
      if (index >= 0 && index <= 6) {
        ui.settingsPage = index;
        ui.pageScroll = 0;
        ui.settingsList = -1;
      }
      break;
    case kActionSettingList:
      ui.settingsListScroll = 0;
      ui.settingsList = ui.settingsList == index ? -1 : index;
      break;
    case kActionListBackground:
      ui.settingsList = -1;
      break;
    case kActionCloseSettings:
      ui.settingsOpen = false;
      ui.settingsList = -1;
      ui.settingSliderDrag = -1;
      break;
    // The sliders act on button-down (onButtonDown). The option, switch, defaults, save and
    // news-post actions belong to the advanced settings pages and the news panel, which are
    // drawn by later screens; until then no region carries them.
    default:
      break;
  }
  shell.host.repaint(shell.host.self);
}
