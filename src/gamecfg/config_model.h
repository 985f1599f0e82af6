// The game client's settings as the advanced settings pages edit them: a fixed table of the
// client's keys (page, kind, texts, options, default, range), the pending values, and what each
// control does to them. Nothing reaches vessa.cfg before saveConfigValues.
//
//   table         ConfigEntryKind, ConfigOption, ConfigEntry, ConfigPage, configEntries,
//                 configPages
//   values        ConfigValues, GameSettings, loadConfigValues, openSettings, resetToDefaults
//   edits         chooseOption, toggle, dropDownItems, pickDropDownItem, dragSlider
//   display       currentOption, isToggleOn, sliderValue, sliderFraction, valueText
//   save          saveConfigValues
//
// Entries are named by their index in the table (0..configEntryCount() - 1), the item index the
// pages give their controls. A page is a row of its own table and its entries' rows: adding one
// touches that table and the texts it names, nothing else. The launcher's one GameSettings is the
// shell's, which passes it to whatever reads or edits it; all of it runs on the UI thread.
#pragma once
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "gamecfg/display_modes.h"
#include "gamecfg/game_config.h"
#include "i18n/settings_texts.h"

// ---- Table

enum class ConfigEntryKind : std::int32_t {
  Choice = 0,       // one of the options, all offered at once (one button each)
  List = 1,         // one of the options, chosen from a drop-down list
  Toggle = 2,       // "1" or "0"
  Slider = 3,       // a number between minimum and maximum
  Resolution = 4,   // a display mode; edits WIDTH and HEIGHT
  RefreshRate = 5,  // FREQUENCY in hertz
};

struct ConfigOption {
  const char* value;     // as written to vessa.cfg
  SettingsTextId label;  // as shown
};

struct ConfigEntry {
  int page;  // its index in configPages()
  ConfigEntryKind kind;
  const char* key;
  SettingsTextId label;
  SettingsTextId description;
  std::span<const ConfigOption> options;  // Choice and List only
  const char* defaultValue;
  float minimum;  // 0 and 1 unless the entry is a slider
  float maximum;
  int decimals;   // a slider's value is written with this many decimals; 0: an integer
  bool inverted;  // the switch shows on when the value is "0" (SPECULAR)
  // A volume: shown as the share of its range in percent, as the side panel shows it.
  bool volume;
};

// The most options an entry has; a Choice button's item index is entry * 16 + option.
inline constexpr int kConfigMaxOptions = 16;

// A page: the title and subtitle of its tab, which head the page too.
struct ConfigPage {
  SettingsTextId title;
  SettingsTextId subtitle;
};

// The table in its fixed order, which is the order in which each page lists its entries.
std::span<const ConfigEntry> configEntries();
int configEntryCount();
// The entry at index, or nullptr outside the table.
const ConfigEntry* configEntry(int entry);
// The pages in the order of their tabs.
int configPageCount();
// The page at index; outside the table, a page titled kSetTitle with kSetIntro as subtitle.
const ConfigPage& configPage(int page);

// ---- Values

// Key to pending value, ascending by key: one value per table key, plus HEIGHT.
using ConfigValues = std::map<std::string, std::string, std::less<>>;

// The game client's settings as the launcher holds them.
struct GameSettings {
  // vessa.cfg's lines and loca.cfg's language, as last read or written.
  GameConfigFile file;
  // What the pages show and a save writes.
  ConfigValues pending;
  // What the file held when the pages opened or were last saved, against which a save tells
  // the player's edits from what the client may write meanwhile.
  ConfigValues opened;
  // The system's display modes, taken when the pages open rather than at every frame.
  std::vector<SystemDisplayMode> displayModes;
};

// Empties values, then stores every entry's default (useDefaults) or its value in the file
// (getConfigValue with the default as fallback); the resolution entry stores WIDTH and HEIGHT.
void loadConfigValues(const GameConfigFile& config, ConfigValues& values, bool useDefaults);
// Reads folder's vessa.cfg and loca.cfg into settings.file, then the pending values from it,
// the same values into opened, and the system's display modes for the resolution list of this
// opening.
void openSettings(GameSettings& settings, const std::wstring& folder);
// Every entry back to its default; nothing is written until a save.
void resetToDefaults(ConfigValues& values);

// ---- Edits (each returns false and changes nothing for an entry or item that does not apply)

// A Choice or List entry takes its option's value.
bool chooseOption(ConfigValues& values, int entry, int option);
// A Toggle entry: a value that reads as a non-zero integer becomes "0", anything else "1".
bool toggle(ConfigValues& values, int entry);

struct DropDownItem {
  std::string value;     // the option's value, "1920x1080" or the rate in hertz
  std::wstring text;     // shown in the list
  bool current = false;  // the entry's current value
};
// The items of a List (its options), Resolution (the display modes of systemModes with the
// current WIDTH and HEIGHT added, largest first) or RefreshRate entry (the fixed rates and a
// current FREQUENCY above 0 that is not among them, ascending); empty for other entries.
std::vector<DropDownItem> dropDownItems(const ConfigValues& values, int entry,
                                        const std::vector<SystemDisplayMode>& systemModes);
// Sets the entry from item of its dropDownItems: WIDTH and HEIGHT, FREQUENCY or the option.
bool pickDropDownItem(ConfigValues& values, int entry, int item,
                      const std::vector<SystemDisplayMode>& systemModes);
// A Slider entry from a position on its track (trackLeft..trackRight, the coordinates the
// pages publish): minimum + (maximum - minimum) * t, t clamped to [0, 1], written with the
// entry's decimals ("%.*f") or rounded to an integer. A track without width changes nothing.
bool dragSlider(ConfigValues& values, int entry, float position, float trackLeft, float trackRight);

// ---- Display

// The index of the first option whose value equals the current value, or -1 (a value the
// launcher does not know, kept as it is).
int currentOption(const ConfigValues& values, int entry);
// A Toggle's switch: on for a non-zero value, the other way round for an inverted entry.
bool isToggleOn(const ConfigValues& values, int entry);
// A Slider's value as the C library reads it, clamped to its range (NaN reads as the minimum).
float sliderValue(const ConfigValues& values, int entry);
// Where the knob stands on the track: 0 at the minimum, 1 at the maximum.
float sliderFraction(const ConfigValues& values, int entry);
// The text shown for the current value: "1920 × 1080", "60 Hz", an option's label in the
// current UI language, a volume as volumeText shows it, a slider's number in the language's
// format (numberText), or the value itself.
std::wstring valueText(const ConfigValues& values, int entry);
// A volume of 0..1 as every part of the window shows it: "Off" for 0.001 or less, else the
// whole percentage ("50%").
std::wstring volumeText(float volume);
// A number as the client's files write it ("2.50") in the UI language's format ("2,50").
std::wstring numberText(std::wstring_view number);

// ---- Save

// Reloads the file from its folder, then gives a key its pending value when the file's value
// differs from it (a missing key reads as "") and either the player changed the key (its value
// differs from opened) or the file lacks it; in ascending key order, in one replacement of
// vessa.cfg. So a setting the client changed while the pages were open survives unless the
// player changed it too, and a file without a key gains it. On success opened takes the saved
// values, so that the next save compares with them.
// True when the file holds every pending value it should afterwards; false when it could not
// be written (locked, unreadable, too large, or its folder gone or never loaded): the file then
// keeps its old content. The caller refreshes its cached volumes (readMusicVolume,
// readVoiceVolume) and shows kSetSaved, or kSetSaveFailed on false.
bool saveConfigValues(GameSettings& settings);
