// The ids that painters register with their hit regions and that a completed click dispatches.
// Each panel's ids form one range, which the shell's action table hands to that panel.
#pragma once

enum ActionId : int {
  kActionNone = 0,
  // header
  kActionClose = 1,
  kActionMinimise = 2,
  kActionOpenGameFolder = 3,
  kActionLanguageList = 4,
  kActionHeaderLink = 5,
  // news panel
  kActionAllNews = 6,
  kActionNewsTab = 7,
  kActionNewsItem = 8,
  kActionReadMore = 9,
  kActionViewPost = 10,
  // side panel and its pop-up lists
  kActionResolutionList = 11,
  kActionChooseResolution = 12,
  kActionChooseLanguage = 13,
  kActionWindowMode = 14,
  kActionMusicSlider = 15,
  kActionEffectsSlider = 16,
  kActionOpenSettings = 17,
  kActionRepair = 18,
  kActionDiscord = 19,
  kActionWebsite = 20,
  // the main screen itself: the main button and the background under everything
  kActionPlay = 21,
  kActionBackground = 22,
  // advanced settings pages
  kActionSettingsPage = 23,
  kActionSettingOption = 24,
  kActionSettingList = 25,
  kActionListOption = 26,
  kActionListBackground = 27,
  kActionSettingSwitch = 28,
  kActionSettingSlider = 29,
  kActionRestoreDefaults = 30,
  kActionCloseSettings = 31,
  kActionSaveSettings = 32,
  kActionSaveAndPlay = 33,
  // the main screen's pause control beside the progress bar: pauses a download, resumes it
  kActionPauseResume = 34,
};
