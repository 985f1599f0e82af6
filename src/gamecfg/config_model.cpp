// The game configuration model.
//
//   1. The table: options, entries, pages, refresh rates.
//   2. Reading values: a value, its integer and float readings.
//   3. Loading, resetting and saving the pending values.
//   4. Edits and what the pages show.
#include "gamecfg/config_model.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iterator>

#include "i18n/strings.h"

namespace {

// ---------------------------------------------------------------------------------------------
// 1. Table
// ---------------------------------------------------------------------------------------------

using Kind = ConfigEntryKind;

constexpr ConfigOption kWindowed[] = {{"1", kSetOptWindow}, {"0", kSetOptFullscreen}};
constexpr ConfigOption kFpsLimit[] = {{"60", kSetOpt60},   {"120", kSetOpt120},
                                      {"144", kSetOpt144}, {"165", kSetOpt165},
                                      {"240", kSetOpt240}, {"0", kSetOptUnlimited}};
constexpr ConfigOption kGraphicsLevel[] = {
    {"0", kSetOptLow}, {"1", kSetOptMedium}, {"2", kSetOptHigh}};
constexpr ConfigOption kVisibility[] = {{"0", kSetOptVeryShort},
                                        {"1", kSetOptShort},
                                        {"2", kSetOptMediumDistance},
                                        {"3", kSetOptLong},
                                        {"4", kSetOptVeryLong}};
constexpr ConfigOption kShadowQuality[] = {
    {"0", kSetOptLow}, {"1", kSetOptMedium}, {"2", kSetOptGood}, {"3", kSetOptUltra}};
constexpr ConfigOption kShadowTarget[] = {{"0", kSetOptNothing},
                                          {"1", kSetOptGround},
                                          {"2", kSetOptGroundAndMe},
                                          {"3", kSetOptEverything}};
constexpr ConfigOption kGrass[] = {
    {"0", kSetOptNoGrass}, {"1", kSetOptLittle}, {"2", kSetOptMediumAmount}, {"3", kSetOptLots}};
constexpr ConfigOption kRain[] = {{"0", kSetOptNoRain},
                                  {"1", kSetOptLight},
                                  {"2", kSetOptMediumRain},
                                  {"3", kSetOptHeavy},
                                  {"4", kSetOptVeryHeavy}};
constexpr ConfigOption kEffectLevel[] = {{"0", kSetOptAll},
                                         {"1", kSetOptMineAndMonsters},
                                         {"2", kSetOptMineAndPlayers},
                                         {"3", kSetOptOnlyMine},
                                         {"4", kSetOptNoEffects}};
constexpr ConfigOption kDropItemLevel[] = {{"0", kSetOptEffectAndName},
                                           {"1", kSetOptNoEffect},
                                           {"2", kSetOptNoEffectOrName},
                                           {"3", kSetOptNameOnHover},
                                           {"4", kSetOptHidden}};
constexpr ConfigOption kCameraMode[] = {{"0", kSetOptShort}, {"1", kSetOptLong}};

constexpr std::span<const ConfigOption> kNone;

// Every entry that is not a slider has the range 0 to 1 and no decimals.
constexpr ConfigEntry entry(int page, Kind kind, const char* key, SettingsTextId label,
                            SettingsTextId description, std::span<const ConfigOption> options,
                            const char* defaultValue) {
  return {page, kind, key, label, description, options, defaultValue, 0.0f, 1.0f, 0, false, false};
}
constexpr ConfigEntry slider(int page, const char* key, SettingsTextId label,
                             SettingsTextId description, const char* defaultValue, float minimum,
                             float maximum, int decimals) {
  return {page,         Kind::Slider, key,     label,    description, kNone,
          defaultValue, minimum,      maximum, decimals, false,       false};
}
constexpr ConfigEntry onOff(int page, const char* key, SettingsTextId label,
                            SettingsTextId description, const char* defaultValue) {
  return entry(page, Kind::Toggle, key, label, description, kNone, defaultValue);
}
constexpr ConfigEntry inverted(ConfigEntry e) {
  e.inverted = true;
  return e;
}
constexpr ConfigEntry volume(ConfigEntry e) {
  e.volume = true;
  return e;
}

// The pages in the order of their tabs.
constexpr ConfigPage kPages[] = {
    {kSetPageDisplay, kSetPageDisplaySub},
    {kSetPageGraphics, kSetPageGraphicsSub},
    {kSetPageEnvironment, kSetPageEnvironmentSub},
    {kSetPageEffects, kSetPageEffectsSub},
    {kSetPageCamera, kSetPageCameraSub},
    {kSetPageInterface, kSetPageInterfaceSub},
    {kSetPageSound, kSetPageSoundSub},
};

// Each entry names its page by its index in kPages; a page lists its entries in this order.
constexpr ConfigEntry kEntries[] = {
    entry(0, Kind::Resolution, "WIDTH", kSetResolution, kSetResolutionDesc, kNone, "1024"),
    entry(0, Kind::RefreshRate, "FREQUENCY", kSetRefreshRate, kSetRefreshRateDesc, kNone, "60"),
    entry(0, Kind::Choice, "WINDOWED", kSetDisplayMode, kSetDisplayModeDesc, kWindowed, "1"),
    entry(0, Kind::List, "FPS_LIMIT", kSetFpsLimit, kSetFpsLimitDesc, kFpsLimit, "144"),
    onOff(0, "SOFTWARE_CURSOR", kSetGameCursor, kSetGameCursorDesc, "0"),
    entry(1, Kind::Choice, "GRAPHICS_LEVEL", kSetGraphicsQuality, kSetGraphicsQualityDesc,
          kGraphicsLevel, "2"),
    entry(1, Kind::List, "VISIBILITY", kSetViewDistance, kSetViewDistanceDesc, kVisibility, "3"),
    entry(1, Kind::Choice, "SHADOW_QUALITY_LEVEL", kSetShadowQuality, kSetShadowQualityDesc,
          kShadowQuality, "2"),
    entry(1, Kind::List, "SHADOW_TARGET_LEVEL", kSetShadowsOn, kSetShadowsOnDesc, kShadowTarget,
          "3"),
    onOff(1, "TERRAIN_SHADOW", kSetTerrainShadows, kSetTerrainShadowsDesc, "1"),
    onOff(1, "SHADOW_DETAILS", kSetTreeShadows, kSetTreeShadowsDesc, "1"),
    entry(1, Kind::Choice, "GRASS_TYPE", kSetGrass, kSetGrassDesc, kGrass, "3"),
    inverted(onOff(1, "SPECULAR", kSetReflections, kSetReflectionsDesc, "0")),
    slider(1, "SHARPNESS", kSetSharpness, kSetSharpnessDesc, "0.00", 0.0f, 5.0f, 2),
    onOff(1, "OBJECT_CULLING", kSetHideCovered, kSetHideCoveredDesc, "1"),
    onOff(2, "FOG_MODE_ON", kSetFog, kSetFogDesc, "0"),
    onOff(2, "NIGHT_MODE_ON", kSetNight, kSetNightDesc, "1"),
    onOff(2, "SNOW_MODE_ON", kSetFallingSnow, kSetFallingSnowDesc, "1"),
    onOff(2, "SNOW_TEXTURE_MODE", kSetSnowOnGround, kSetSnowOnGroundDesc, "1"),
    entry(2, Kind::List, "RAIN_LEVEL", kSetRain, kSetRainDesc, kRain, "2"),
    entry(3, Kind::List, "EFFECT_LEVEL", kSetSkillEffects, kSetSkillEffectsDesc, kEffectLevel, "0"),
    entry(3, Kind::List, "DROP_ITEM_LEVEL", kSetGroundItems, kSetGroundItemsDesc, kDropItemLevel,
          "0"),
    onOff(3, "BLOOD", kSetBlood, kSetBloodDesc, "1"),
    onOff(3, "SHOW_DAMAGE", kSetDamageNumbers, kSetDamageNumbersDesc, "1"),
    slider(4, "FOV", kSetFieldOfView, kSetFieldOfViewDesc, "30.00", 10.0f, 100.0f, 2),
    entry(4, Kind::Choice, "CAMERA_MODE", kSetCameraDistance, kSetCameraDistanceDesc, kCameraMode,
          "1"),
    onOff(5, "ALWAYS_VIEW_NAME", kSetAlwaysShowNames, kSetAlwaysShowNamesDesc, "1"),
    onOff(5, "VIEW_CHAT", kSetChatOnScreen, kSetChatOnScreenDesc, "1"),
    onOff(5, "SHOW_SALESTEXT", kSetShopSigns, kSetShopSignsDesc, "1"),
    onOff(5, "SHOW_MOBLEVEL", kSetMonsterLevel, kSetMonsterLevelDesc, "1"),
    onOff(5, "SHOW_MOBAIFLAG", kSetAggressiveMonsters, kSetAggressiveMonstersDesc, "1"),
    onOff(5, "USE_DEFAULT_IME", kSetWindowsKeyboard, kSetWindowsKeyboardDesc, "0"),
    volume(slider(6, "MUSIC_VOLUME", kSetMusic, kSetMusicDesc, "1.000", 0.0f, 1.0f, 3)),
    volume(slider(6, "VOICE_VOLUME", kSetSoundEffects, kSetSoundEffectsDesc, "5", 0.0f, 5.0f, 0)),
};

constexpr bool optionsFit() {
  for (const ConfigEntry& e : kEntries) {
    if (e.options.size() > static_cast<std::size_t>(kConfigMaxOptions)) return false;
  }
  return true;
}
static_assert(optionsFit(), "a Choice button's item index holds at most 16 options");

constexpr bool everyPageHasEntries() {
  for (std::size_t page = 0; page < std::size(kPages); ++page) {
    bool found = false;
    for (const ConfigEntry& e : kEntries) found = found || e.page == static_cast<int>(page);
    if (!found) return false;
  }
  for (const ConfigEntry& e : kEntries) {
    if (e.page < 0 || e.page >= static_cast<int>(std::size(kPages))) return false;
  }
  return true;
}
static_assert(everyPageHasEntries(), "every entry is on a page, and every page has entries");

// What a page outside the table shows: the pages' own title and introduction.
constexpr ConfigPage kNoPage = {kSetTitle, kSetIntro};

// The resolution entry edits HEIGHT beside its own key.
constexpr const char* kHeightKey = "HEIGHT";
constexpr const char* kHeightDefault = "768";

constexpr std::array<int, 7> kRefreshRates = {60, 75, 100, 120, 144, 165, 240};

// ---------------------------------------------------------------------------------------------
// 2. Reading values
// ---------------------------------------------------------------------------------------------

// The pending value of key, or fallback when the values do not hold it.
std::string_view valueOf(const ConfigValues& values, std::string_view key,
                         std::string_view fallback) {
  const auto it = values.find(key);
  return it == values.end() ? fallback : std::string_view(it->second);
}

std::string_view entryValue(const ConfigValues& values, const ConfigEntry& e) {
  return valueOf(values, e.key, e.defaultValue);
}

// The C library's decimal integer reading, kept within int (strtol saturates at long's ends).
int integerOf(std::string_view text) {
  const std::string s(text);
  const long value = std::strtol(s.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

float floatOf(std::string_view text) {
  const std::string s(text);
  return std::strtof(s.c_str(), nullptr);
}

// Bytes widened one by one: the client's files are 8-bit text.
std::wstring widen(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (char c : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::wstring digits(int value) {
  const std::string s = std::to_string(value);
  return std::wstring(s.begin(), s.end());
}

const ConfigEntry* entryOfKind(int index, std::initializer_list<Kind> kinds) {
  const ConfigEntry* e = configEntry(index);
  if (e == nullptr) return nullptr;
  for (Kind k : kinds) {
    if (e->kind == k) return e;
  }
  return nullptr;
}

}  // namespace

std::span<const ConfigEntry> configEntries() { return kEntries; }

int configEntryCount() { return static_cast<int>(std::size(kEntries)); }

const ConfigEntry* configEntry(int entry) {
  if (entry < 0 || entry >= configEntryCount()) return nullptr;
  return &kEntries[entry];
}

int configPageCount() { return static_cast<int>(std::size(kPages)); }

const ConfigPage& configPage(int page) {
  if (page < 0 || page >= configPageCount()) return kNoPage;
  return kPages[page];
}

// ---------------------------------------------------------------------------------------------
// 3. Loading, resetting, saving
// ---------------------------------------------------------------------------------------------

void loadConfigValues(const GameConfigFile& config, ConfigValues& values, bool useDefaults) {
  values.clear();
  const auto store = [&](const char* key, const char* fallback) {
    values[key] = useDefaults ? std::string(fallback) : getConfigValue(config, key, fallback);
  };
  for (const ConfigEntry& e : kEntries) {
    store(e.key, e.defaultValue);
    if (e.kind == Kind::Resolution) store(kHeightKey, kHeightDefault);
  }
}

void openSettings(GameSettings& settings, const std::wstring& folder) {
  loadGameConfig(settings.file, folder);
  loadConfigValues(settings.file, settings.pending, false);
  settings.opened = settings.pending;
  settings.displayModes = systemDisplayModes();
}

void resetToDefaults(ConfigValues& values) {
  // The defaults do not depend on the file.
  loadConfigValues(GameConfigFile(), values, true);
}

bool saveConfigValues(GameSettings& settings) {
  GameConfigFile& file = settings.file;
  // Without a game folder the file's name would be relative to the working folder.
  if (file.folder.empty()) return false;
  loadGameConfig(file, file.folder);
  std::vector<ConfigChange> changes;
  for (const auto& [key, value] : settings.pending) {
    if (getConfigValue(file, key, "") == value) continue;
    if (findConfigLine(file.lines, key) >= 0) {
      // Not edited by the player: the file's newer value (the client's) stays.
      const auto before = settings.opened.find(key);
      if (before != settings.opened.end() && before->second == value) continue;
    }
    changes.push_back({key, value});
  }
  if (!setConfigValues(file, changes)) return false;
  settings.opened = settings.pending;
  return true;
}

// ---------------------------------------------------------------------------------------------
// 4. Edits and display
// ---------------------------------------------------------------------------------------------

bool chooseOption(ConfigValues& values, int entry, int option) {
  const ConfigEntry* e = entryOfKind(entry, {Kind::Choice, Kind::List});
  if (e == nullptr || option < 0 || static_cast<std::size_t>(option) >= e->options.size()) {
    return false;
  }
  values[e->key] = e->options[static_cast<std::size_t>(option)].value;
  return true;
}

bool toggle(ConfigValues& values, int entry) {
  const ConfigEntry* e = entryOfKind(entry, {Kind::Toggle});
  if (e == nullptr) return false;
  // (One character assigned: GCC 12 at -O3 warns wrongly about copying a literal here.)
  values[e->key].assign(1, integerOf(entryValue(values, *e)) != 0 ? '0' : '1');
  return true;
}

std::vector<DropDownItem> dropDownItems(const ConfigValues& values, int entry,
                                        const std::vector<SystemDisplayMode>& systemModes) {
  std::vector<DropDownItem> items;
  const ConfigEntry* e = configEntry(entry);
  if (e == nullptr) return items;
  switch (e->kind) {
    case Kind::List: {
      const std::string_view current = entryValue(values, *e);
      for (const ConfigOption& option : e->options) {
        items.push_back({option.value, settingsText(option.label), current == option.value});
      }
      break;
    }
    case Kind::Resolution: {
      // The pending size is offered even when the display does not list it, so that it can be
      // shown and kept.
      const int width = integerOf(entryValue(values, *e));
      const int height = integerOf(valueOf(values, kHeightKey, kHeightDefault));
      for (const DisplayMode& mode : buildDisplayModeList(systemModes, width, height)) {
        const std::string value = std::to_string(mode.width) + "x" + std::to_string(mode.height);
        items.push_back({value, resolutionText(digits(mode.width), digits(mode.height)),
                         mode.width == width && mode.height == height});
      }
      break;
    }
    case Kind::RefreshRate: {
      const int current = integerOf(entryValue(values, *e));
      std::vector<int> rates(kRefreshRates.begin(), kRefreshRates.end());
      if (current > 0 && std::find(rates.begin(), rates.end(), current) == rates.end()) {
        rates.push_back(current);
        std::sort(rates.begin(), rates.end());
      }
      for (int rate : rates) {
        items.push_back({std::to_string(rate), digits(rate) + L" Hz", rate == current});
      }
      break;
    }
    default:
      break;
  }
  return items;
}

bool pickDropDownItem(ConfigValues& values, int entry, int item,
                      const std::vector<SystemDisplayMode>& systemModes) {
  const std::vector<DropDownItem> items = dropDownItems(values, entry, systemModes);
  if (item < 0 || static_cast<std::size_t>(item) >= items.size()) return false;
  const ConfigEntry& e = *configEntry(entry);
  const std::string& value = items[static_cast<std::size_t>(item)].value;
  if (e.kind == Kind::Resolution) {
    const std::size_t x = value.find('x');
    values[e.key] = value.substr(0, x);
    values[kHeightKey] = value.substr(x + 1);
  } else {
    values[e.key] = value;
  }
  return true;
}

bool dragSlider(ConfigValues& values, int entry, float position, float trackLeft,
                float trackRight) {
  const ConfigEntry* e = entryOfKind(entry, {Kind::Slider});
  if (e == nullptr || !(trackRight > trackLeft) || std::isnan(position)) return false;
  const float t = std::clamp((position - trackLeft) / (trackRight - trackLeft), 0.0f, 1.0f);
  const float value = e->minimum + (e->maximum - e->minimum) * t;
  char text[64];
  if (e->decimals > 0) {
    std::snprintf(text, sizeof text, "%.*f", e->decimals, static_cast<double>(value));
    // The client reads a decimal point whatever the C library's locale would print.
    for (char* p = text; *p; ++p) {
      if (*p == ',') *p = '.';
    }
  } else {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value + 0.5f));
  }
  values[e->key] = text;
  return true;
}

int currentOption(const ConfigValues& values, int entry) {
  const ConfigEntry* e = configEntry(entry);
  if (e == nullptr) return -1;
  const std::string_view current = entryValue(values, *e);
  for (std::size_t i = 0; i < e->options.size(); ++i) {
    if (current == e->options[i].value) return static_cast<int>(i);
  }
  return -1;
}

bool isToggleOn(const ConfigValues& values, int entry) {
  const ConfigEntry* e = entryOfKind(entry, {Kind::Toggle});
  if (e == nullptr) return false;
  return (integerOf(entryValue(values, *e)) != 0) != e->inverted;
}

float sliderValue(const ConfigValues& values, int entry) {
  const ConfigEntry* e = entryOfKind(entry, {Kind::Slider});
  if (e == nullptr) return 0.0f;
  const float value = floatOf(entryValue(values, *e));
  if (std::isnan(value)) return e->minimum;
  return std::clamp(value, e->minimum, e->maximum);
}

float sliderFraction(const ConfigValues& values, int entry) {
  const ConfigEntry* e = entryOfKind(entry, {Kind::Slider});
  if (e == nullptr) return 0.0f;
  return (sliderValue(values, entry) - e->minimum) / (e->maximum - e->minimum);
}

std::wstring valueText(const ConfigValues& values, int entry) {
  const ConfigEntry* e = configEntry(entry);
  if (e == nullptr) return L"";
  const std::string_view current = entryValue(values, *e);
  switch (e->kind) {
    case Kind::Resolution:
      return resolutionText(widen(current), widen(valueOf(values, kHeightKey, kHeightDefault)));
    case Kind::RefreshRate:
      return widen(current) + L" Hz";
    case Kind::Slider:
      if (e->volume) return volumeText(sliderFraction(values, entry));
      return numberText(widen(current));
    default: {
      const int option = currentOption(values, entry);
      if (option >= 0) return settingsText(e->options[static_cast<std::size_t>(option)].label);
      return widen(current);
    }
  }
}

std::wstring volumeText(float volume) {
  if (!(volume > 0.001f)) return uiText(kStrOff);
  return std::to_wstring(static_cast<int>(volume * 100.0f + 0.5f)) + L"%";
}

std::wstring numberText(std::wstring_view number) {
  std::wstring out(number);
  if (usesDecimalComma()) std::replace(out.begin(), out.end(), L'.', L',');
  return out;
}
