// The texts of the advanced settings pages in the twelve UI languages: the texts around the
// pages, the page titles and subtitles, every entry's label and one-line description, and the
// option labels. Looked up in the current UI language, like uiText.
//
// Option labels are bound to what they describe where languages inflect them: "Medium" for a
// quality, a distance, an amount of grass and a rain are four texts, as are the three "None"s,
// so that each language can make the word agree with its setting.
#pragma once

enum SettingsTextId : int {
  // Around the pages.
  kSetTitle,        // "Settings"
  kSetIntro,        // "Graphics, sound and interface for Quillmark — applied the next ..."
  kSetGameRunning,  // "The game is running — close it before saving, otherwise ..."
  kSetSavesTo,      // "Saves to vessa.cfg"
  kSetSaved,        // "Settings saved."
  kSetDefaults,     // "Defaults"
  kSetCancel,       // "Cancel"
  kSetSave,         // "Save"
  kSetSaveAndPlay,  // "Save & play"

  // Page titles and subtitles.
  kSetPageDisplay,         // "Display"
  kSetPageDisplaySub,      // "Resolution & mode"
  kSetPageGraphics,        // "Graphics"
  kSetPageGraphicsSub,     // "Shadows & distance"
  kSetPageEnvironment,     // "Environment"
  kSetPageEnvironmentSub,  // "Weather, fog & night"
  kSetPageEffects,         // "Effects"
  kSetPageEffectsSub,      // "Skills, items & damage"
  kSetPageCamera,          // "Camera"
  kSetPageCameraSub,       // "Field of view"
  kSetPageInterface,       // "Interface"
  kSetPageInterfaceSub,    // "Names, chat & hints"
  kSetPageSound,           // "Sound"
  kSetPageSoundSub,        // "Music & effects"

  // Entry labels and descriptions.
  kSetResolution,
  kSetResolutionDesc,
  kSetRefreshRate,
  kSetRefreshRateDesc,
  kSetDisplayMode,
  kSetDisplayModeDesc,
  kSetFpsLimit,
  kSetFpsLimitDesc,
  kSetGameCursor,
  kSetGameCursorDesc,
  kSetGraphicsQuality,
  kSetGraphicsQualityDesc,
  kSetViewDistance,
  kSetViewDistanceDesc,
  kSetShadowQuality,
  kSetShadowQualityDesc,
  kSetShadowsOn,
  kSetShadowsOnDesc,
  kSetTerrainShadows,
  kSetTerrainShadowsDesc,
  kSetTreeShadows,
  kSetTreeShadowsDesc,
  kSetGrass,
  kSetGrassDesc,
  kSetReflections,
  kSetReflectionsDesc,
  kSetSharpness,
  kSetSharpnessDesc,
  kSetHideCovered,
  kSetHideCoveredDesc,
  kSetFog,
  kSetFogDesc,
  kSetNight,
  kSetNightDesc,
  kSetFallingSnow,
  kSetFallingSnowDesc,
  kSetSnowOnGround,
  kSetSnowOnGroundDesc,
  kSetRain,
  kSetRainDesc,
  kSetSkillEffects,
  kSetSkillEffectsDesc,
  kSetGroundItems,
  kSetGroundItemsDesc,
  kSetBlood,
  kSetBloodDesc,
  kSetDamageNumbers,
  kSetDamageNumbersDesc,
  kSetFieldOfView,
  kSetFieldOfViewDesc,
  kSetCameraDistance,
  kSetCameraDistanceDesc,
  kSetAlwaysShowNames,
  kSetAlwaysShowNamesDesc,
  kSetChatOnScreen,
  kSetChatOnScreenDesc,
  kSetShopSigns,
  kSetShopSignsDesc,
  kSetMonsterLevel,
  kSetMonsterLevelDesc,
  kSetAggressiveMonsters,
  kSetAggressiveMonstersDesc,
  kSetWindowsKeyboard,
  kSetWindowsKeyboardDesc,
  kSetMusic,
  kSetMusicDesc,
  kSetSoundEffects,
  kSetSoundEffectsDesc,

  // Option labels.
  kSetOptWindow,           // "Window"
  kSetOptFullscreen,       // "Fullscreen"
  kSetOpt60,               // "60"
  kSetOpt120,              // "120"
  kSetOpt144,              // "144"
  kSetOpt165,              // "165"
  kSetOpt240,              // "240"
  kSetOptUnlimited,        // "Unlimited"
  kSetOptLow,              // "Low" (a quality)
  kSetOptMedium,           // "Medium" (a quality)
  kSetOptHigh,             // "High"
  kSetOptGood,             // "Good"
  kSetOptUltra,            // "Ultra"
  kSetOptVeryShort,        // "Very short" (a distance)
  kSetOptShort,            // "Short"
  kSetOptMediumDistance,   // "Medium"
  kSetOptLong,             // "Long"
  kSetOptVeryLong,         // "Very long"
  kSetOptNothing,          // "Nothing" (casts a shadow)
  kSetOptGround,           // "Ground"
  kSetOptGroundAndMe,      // "Ground & me"
  kSetOptEverything,       // "Everything"
  kSetOptNoGrass,          // "None" (grass)
  kSetOptLittle,           // "Little"
  kSetOptMediumAmount,     // "Medium"
  kSetOptLots,             // "Lots"
  kSetOptNoRain,           // "None" (rain)
  kSetOptLight,            // "Light"
  kSetOptMediumRain,       // "Medium"
  kSetOptHeavy,            // "Heavy"
  kSetOptVeryHeavy,        // "Very heavy"
  kSetOptAll,              // "All" (effects)
  kSetOptMineAndMonsters,  // "Mine & monsters"
  kSetOptMineAndPlayers,   // "Mine & players"
  kSetOptOnlyMine,         // "Only mine"
  kSetOptNoEffects,        // "None" (effects)
  kSetOptEffectAndName,    // "Effect & name"
  kSetOptNoEffect,         // "No effect"
  kSetOptNoEffectOrName,   // "No effect or name"
  kSetOptNameOnHover,      // "Name on mouse-over"
  kSetOptHidden,           // "Hidden"

  // After the pages' own texts.
  kSetSaveFailed,  // "Could not save the settings."

  kSettingsTextCount
};

// The text of id in the current UI language; "" for an id outside the table.
const wchar_t* settingsText(SettingsTextId id);
// The text of id in UI language row lang (0..11, the order of the UI string table), for tests
// and tools; "" when either is out of range.
const wchar_t* settingsTextIn(int lang, int id);
