// vessa.cfg and loca.cfg on real files: what a player would notice if the launcher got it
// wrong (a lost comment or blank line, CR LF turned into LF, the wrong one of two lines
// changed, a large file thrown away), the loca.cfg language codes, and the display modes.
// The settings model on the same files: what the pages show for odd values, what each control
// writes, and saves that must keep or refuse. The running-game check against real processes.
#include "gamecfg/game_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "gamecfg/config_model.h"
#include "gamecfg/display_modes.h"
#include "gamecfg/game_process.h"
#include "i18n/strings.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#endif

namespace {

// A store loaded from dir after writing vessa.cfg (and loca.cfg when given).
GameConfigFile loadWith(const TempDir& dir, const std::string& vessa) {
  dir.write("vessa.cfg", vessa);
  GameConfigFile config;
  loadGameConfig(config, dir.path());
  return config;
}

int entryOf(const char* key) {
  for (int i = 0; i < configEntryCount(); ++i) {
    if (std::string(configEntry(i)->key) == key) return i;
  }
  ADD_FAILURE() << key << " is not in the table";
  return -1;
}

// The pages opened on dir.
GameSettings opened(const TempDir& dir) {
  GameSettings settings;
  openSettings(settings, dir.path());
  return settings;
}

}  // namespace

TEST(GameConfigFile, EditKeepsCommentsBlankLinesOrderAndCrLf) {
  TempDir dir;
  GameConfigFile config = loadWith(dir,
                                   "# graphics\r\n"
                                   "WIDTH\t\t1280\r\n"
                                   "\r\n"
                                   "UNKNOWN_KEY some thing\r\n"
                                   "HEIGHT 720\r\n"
                                   "; trailing comment\r\n"
                                   "\r\n"
                                   "\r\n");
  EXPECT_EQ(config.separator, "\r\n");
  EXPECT_TRUE(setConfigValue(config, "WIDTH", "1920"));
  // Only the WIDTH line changed (its tabs kept); the blank lines at the end are dropped.
  EXPECT_EQ(dir.read("vessa.cfg"),
            "# graphics\r\n"
            "WIDTH\t\t1920\r\n"
            "\r\n"
            "UNKNOWN_KEY some thing\r\n"
            "HEIGHT 720\r\n"
            "; trailing comment\r\n");
  EXPECT_FALSE(dir.exists("vessa.cfg.ap_tmp"));

  // A key that is not there is appended at the end, with one blank.
  EXPECT_TRUE(setConfigValue(config, "MUSIC_VOLUME", "0.250"));
  EXPECT_EQ(dir.read("vessa.cfg"),
            "# graphics\r\n"
            "WIDTH\t\t1920\r\n"
            "\r\n"
            "UNKNOWN_KEY some thing\r\n"
            "HEIGHT 720\r\n"
            "; trailing comment\r\n"
            "MUSIC_VOLUME 0.250\r\n");

  // What was written reads back the same.
  GameConfigFile again;
  loadGameConfig(again, dir.path());
  EXPECT_EQ(again.lines, config.lines);
  EXPECT_EQ(getConfigValue(again, "WIDTH", "0"), "1920");
}

TEST(GameConfigFile, LfFilesStayLfAndGainAFinalLineBreak) {
  TempDir dir;
  GameConfigFile config = loadWith(dir, "A 1\nB 2\n\nC 3");
  EXPECT_EQ(config.separator, "\n");
  ASSERT_EQ(config.lines.size(), 4u);
  EXPECT_TRUE(setConfigValue(config, "B", "20"));
  EXPECT_EQ(dir.read("vessa.cfg"), "A 1\nB 20\n\nC 3\n");

  // A single CR LF anywhere makes the file a CR LF file; a lone CR at a line's end goes.
  GameConfigFile mixed = loadWith(dir, "A 1\nB 2\r\nC 3\n");
  EXPECT_EQ(mixed.separator, "\r\n");
  EXPECT_TRUE(setConfigValue(mixed, "C", "4"));
  EXPECT_EQ(dir.read("vessa.cfg"), "A 1\r\nB 2\r\nC 4\r\n");

  // Empty and one-byte files are LF files.
  GameConfigFile empty = loadWith(dir, "");
  EXPECT_EQ(empty.separator, "\n");
  EXPECT_TRUE(empty.lines.empty());
  GameConfigFile oneByte = loadWith(dir, "\r");
  EXPECT_EQ(oneByte.separator, "\n");
}

TEST(GameConfigFile, KeysMatchExactlyAndTheFirstOfTwoLinesWins) {
  TempDir dir;
  GameConfigFile config = loadWith(dir,
                                   "WIDTHX 5\n"
                                   " WIDTH 6\n"
                                   "width 7\n"
                                   "WIDTH\n"
                                   "SHADOWS 1\n"
                                   "SHADOWS 2\n"
                                   "MUSIC_VOLUME 0.500  \n"
                                   "EMPTY \t\n");
  // None of the first four lines holds WIDTH: another key, a leading blank, another case, no value.
  EXPECT_EQ(getConfigValue(config, "WIDTH", "none"), "none");
  EXPECT_EQ(getConfigValue(config, "SHADOWS", "x"), "1");
  EXPECT_EQ(getConfigValue(config, "MUSIC_VOLUME", "x"), "0.500  ");
  // A key followed by blanks only holds the empty value.
  EXPECT_EQ(getConfigValue(config, "EMPTY", "x"), "");

  EXPECT_TRUE(setConfigValue(config, "SHADOWS", "0"));
  EXPECT_TRUE(setConfigValue(config, "WIDTH", "1920"));
  EXPECT_TRUE(setConfigValue(config, "EMPTY", "v"));
  EXPECT_EQ(dir.read("vessa.cfg"),
            "WIDTHX 5\n"
            " WIDTH 6\n"
            "width 7\n"
            "WIDTH\n"
            "SHADOWS 0\n"
            "SHADOWS 2\n"
            "MUSIC_VOLUME 0.500  \n"
            "EMPTY \tv\n"
            "WIDTH 1920\n");
}

TEST(GameConfigFile, MissingFileIsCreatedWithCrLf) {
  TempDir dir;
  GameConfigFile config;
  loadGameConfig(config, dir.path());
  EXPECT_TRUE(config.lines.empty());
  EXPECT_EQ(getConfigValue(config, "WINDOWED", "1"), "1");
  EXPECT_TRUE(setConfigValue(config, "WINDOWED", "0"));
  EXPECT_TRUE(setConfigValue(config, "WIDTH", "800"));
  EXPECT_EQ(dir.read("vessa.cfg"), "WINDOWED 0\r\nWIDTH 800\r\n");
}

TEST(GameConfigFile, AnOversizedFileIsIgnoredAndNeverOverwritten) {
  TempDir dir;
  // Just over 1 MiB of settings: not read, and a set must not replace it by one line.
  std::string big = "WIDTH 1280\r\n";
  while (big.size() <= kGameConfigFileLimit) big += "PADDING_SETTING 0123456789\r\n";
  GameConfigFile config = loadWith(dir, big);
  EXPECT_TRUE(config.lines.empty());
  EXPECT_EQ(getConfigValue(config, "WIDTH", "1024"), "1024");
  EXPECT_FALSE(setConfigValue(config, "WIDTH", "1920"));
  EXPECT_EQ(dir.read("vessa.cfg"), big);
  EXPECT_EQ(getConfigValue(config, "WIDTH", "1024"), "1920");

  // Exactly 1 MiB is still read.
  std::string limit = "WIDTH 1280\n";
  limit += std::string(kGameConfigFileLimit - limit.size(), '#');
  GameConfigFile atLimit = loadWith(dir, limit);
  EXPECT_EQ(getConfigValue(atLimit, "WIDTH", "0"), "1280");
}

TEST(GameConfigFile, RefusesTextThatWouldBreakTheLineStructure) {
  TempDir dir;
  GameConfigFile config = loadWith(dir, "A 1\n");
  EXPECT_FALSE(setConfigValue(config, "A", "2\nINJECTED 1"));
  EXPECT_FALSE(setConfigValue(config, "A", "2\r"));
  EXPECT_FALSE(setConfigValue(config, "B C", "1"));
  EXPECT_FALSE(setConfigValue(config, "", "1"));
  EXPECT_FALSE(setConfigValue(config, "B\t", "1"));
  EXPECT_EQ(dir.read("vessa.cfg"), "A 1\n");
  EXPECT_EQ(config.lines, std::vector<std::string>{"A 1"});
}

TEST(GameConfigFile, AFailedWriteKeepsTheOldFileAndTheNewLine) {
  TempDir dir;
  GameConfigFile config = loadWith(dir, "A 1\n");
  // The folder is gone: the write fails, the lines keep the value.
  config.folder = dir.file("missing/");
  EXPECT_FALSE(setConfigValue(config, "A", "2"));
  EXPECT_EQ(getConfigValue(config, "A", ""), "2");
  EXPECT_EQ(dir.read("vessa.cfg"), "A 1\n");
  EXPECT_FALSE(dir.exists("missing"));
}

TEST(GameConfigFile, ReadersConvertLikeTheCLibrary) {
  TempDir dir;
  GameConfigFile defaults;
  loadGameConfig(defaults, dir.path());
  EXPECT_TRUE(readWindowed(defaults));
  EXPECT_FLOAT_EQ(readMusicVolume(defaults), 1.0f);
  EXPECT_EQ(readVoiceVolume(defaults), 5);

  GameConfigFile set = loadWith(dir, "WINDOWED 0\nMUSIC_VOLUME 0.375\nVOICE_VOLUME 3 \n");
  EXPECT_FALSE(readWindowed(set));
  EXPECT_FLOAT_EQ(readMusicVolume(set), 0.375f);
  EXPECT_EQ(readVoiceVolume(set), 3);

  GameConfigFile odd =
      loadWith(dir, "WINDOWED yes\nMUSIC_VOLUME loud\nVOICE_VOLUME 99999999999999\n");
  EXPECT_FALSE(readWindowed(odd));  // no number is 0
  EXPECT_FLOAT_EQ(readMusicVolume(odd), 0.0f);
  EXPECT_EQ(readVoiceVolume(odd), 2147483647);
}

TEST(LocaFile, SecondWordNamesTheLanguageInAnyCase) {
  EXPECT_EQ(parseLocaFile("1250 PL"), 7);
  EXPECT_EQ(parseLocaFile("1253\tgr\r\n"), 11);
  EXPECT_EQ(parseLocaFile("\n  1252\n\nde"), 4);
  EXPECT_EQ(parseLocaFile("en"), 0);       // one word only
  EXPECT_EQ(parseLocaFile("1252 xx"), 0);  // unknown code
  EXPECT_EQ(parseLocaFile(""), 0);
  EXPECT_EQ(parseLocaFile("1252 fr extra"), 3);
  // A first word longer than 31 bytes is cut there, so its rest becomes the second word.
  EXPECT_EQ(parseLocaFile(std::string(31, '9') + "it it"), 5);
  // A NUL ends the text as it would a C string.
  EXPECT_EQ(parseLocaFile(std::string("1252\0 de", 8)), 0);
}

TEST(LocaFile, LoadSetsTheIndexAndTheChoiceWritesCodePageAndCode) {
  TempDir dir;
  dir.write("loca.cfg", "1250 PL");
  GameConfigFile config;
  config.clientLanguage = 3;
  loadGameConfig(config, dir.path());
  EXPECT_EQ(config.clientLanguage, 7);

  EXPECT_TRUE(setClientLanguage(config, 10));
  EXPECT_EQ(config.clientLanguage, 10);
  EXPECT_EQ(dir.read("loca.cfg"), "1254 tr");
  EXPECT_TRUE(setClientLanguage(config, 1));
  EXPECT_EQ(dir.read("loca.cfg"), "1252 en");

  EXPECT_FALSE(setClientLanguage(config, 12));
  EXPECT_FALSE(setClientLanguage(config, -1));
  EXPECT_EQ(config.clientLanguage, 1);
  EXPECT_EQ(dir.read("loca.cfg"), "1252 en");

  // Over 4096 bytes, or missing: index 0.
  dir.write("loca.cfg", "1250 pl" + std::string(kLocaFileLimit, ' '));
  loadGameConfig(config, dir.path());
  EXPECT_EQ(config.clientLanguage, 0);
  config.clientLanguage = 5;
  TempDir empty;
  loadGameConfig(config, empty.path());
  EXPECT_EQ(config.clientLanguage, 0);
}

TEST(DisplayModes, FilteredOnceEachWithTheConfiguredSizeLargestFirst) {
  const std::vector<SystemDisplayMode> modes = {
      {1920, 1080, 32}, {1920, 1080, 32}, {1280, 720, 32}, {1280, 1024, 32}, {800, 600, 32},
      {1280, 720, 32},  {800, 600, 32},   {640, 480, 32},  {1600, 900, 16},  {1024, 599, 32},
  };
  const std::vector<DisplayMode> expected = {
      {1920, 1080}, {1280, 1024}, {1280, 720}, {1024, 768}, {800, 600}};
  EXPECT_EQ(buildDisplayModeList(modes, 1024, 768), expected);
  // A configured size that is listed is not repeated; an invalid one is not added.
  EXPECT_EQ(buildDisplayModeList(modes, 1280, 720).size(), 4u);
  EXPECT_EQ(buildDisplayModeList(modes, 0, 768).size(), 4u);
  // Without any system mode the configured size is the whole list.
  EXPECT_EQ(buildDisplayModeList({}, 640, 480), (std::vector<DisplayMode>{{640, 480}}));
}

TEST(DisplayModes, ListUsesTheConfiguredWidthAndHeight) {
  TempDir dir;
  GameConfigFile config = loadWith(dir, "WIDTH 1366\nHEIGHT 768\n");
  const std::vector<DisplayMode> modes = listDisplayModes(config);
  ASSERT_FALSE(modes.empty());
  EXPECT_NE(std::find(modes.begin(), modes.end(), DisplayMode{1366, 768}), modes.end());
  for (std::size_t i = 1; i < modes.size(); ++i) {
    EXPECT_TRUE(modes[i - 1].width > modes[i].width ||
                (modes[i - 1].width == modes[i].width && modes[i - 1].height > modes[i].height));
  }
}

// ---- Settings model

TEST(ConfigModel, WithoutAFileDefaultsAreShownAndSaveWritesEveryKeyInAscendingOrder) {
  setUiLanguage("en");
  TempDir dir;
  GameSettings pages = opened(dir);
  EXPECT_EQ(pages.pending.size(), 35u);  // every key and HEIGHT
  EXPECT_EQ(valueText(pages.pending, entryOf("WIDTH")), L"1024 \u00D7 768");
  EXPECT_EQ(valueText(pages.pending, entryOf("FREQUENCY")), L"60 Hz");
  EXPECT_EQ(valueText(pages.pending, entryOf("FPS_LIMIT")), L"144");
  EXPECT_EQ(valueText(pages.pending, entryOf("VISIBILITY")), L"Long");
  EXPECT_EQ(valueText(pages.pending, entryOf("FOV")), L"30.00");
  EXPECT_TRUE(saveConfigValues(pages));
  EXPECT_EQ(dir.read("vessa.cfg"),
            "ALWAYS_VIEW_NAME 1\r\nBLOOD 1\r\nCAMERA_MODE 1\r\nDROP_ITEM_LEVEL 0\r\n"
            "EFFECT_LEVEL 0\r\nFOG_MODE_ON 0\r\nFOV 30.00\r\nFPS_LIMIT 144\r\nFREQUENCY 60\r\n"
            "GRAPHICS_LEVEL 2\r\nGRASS_TYPE 3\r\nHEIGHT 768\r\nMUSIC_VOLUME 1.000\r\n"
            "NIGHT_MODE_ON 1\r\nOBJECT_CULLING 1\r\nRAIN_LEVEL 2\r\nSHADOW_DETAILS 1\r\n"
            "SHADOW_QUALITY_LEVEL 2\r\nSHADOW_TARGET_LEVEL 3\r\nSHARPNESS 0.00\r\n"
            "SHOW_DAMAGE 1\r\nSHOW_MOBAIFLAG 1\r\nSHOW_MOBLEVEL 1\r\nSHOW_SALESTEXT 1\r\n"
            "SNOW_MODE_ON 1\r\nSNOW_TEXTURE_MODE 1\r\nSOFTWARE_CURSOR 0\r\nSPECULAR 0\r\n"
            "TERRAIN_SHADOW 1\r\nUSE_DEFAULT_IME 0\r\nVIEW_CHAT 1\r\nVISIBILITY 3\r\n"
            "VOICE_VOLUME 5\r\nWIDTH 1024\r\nWINDOWED 1\r\n");
}

// Values the launcher does not know, values out of range and a key twice are shown as they are
// (or clamped) and written back byte for byte; only what the player changed moves.
TEST(ConfigModel, UnknownOutOfRangeAndRepeatedValuesSurviveASave) {
  setUiLanguage("en");
  TempDir dir;
  std::string file;
  for (const ConfigEntry& e : configEntries())
    file += std::string(e.key) + " " + e.defaultValue + "\r\n";
  file += "HEIGHT 768\r\n";
  const std::string odd =
      "# player's notes\r\n"
      "GRAPHICS_LEVEL 7\r\n"
      "\r\n"
      "SPECULAR 0\r\n"
      "SHOW_DAMAGE abc\r\n"
      "FOV 250\r\n"
      "MUSIC_VOLUME 0.500  \r\n"
      "BLOOD 0\r\n"
      "BLOOD 1\r\n"
      "UNKNOWN_KEY x\r\n";
  dir.write("vessa.cfg", odd + file);
  GameSettings pages = opened(dir);

  const int graphics = entryOf("GRAPHICS_LEVEL"), specular = entryOf("SPECULAR"),
            damage = entryOf("SHOW_DAMAGE"), fov = entryOf("FOV"), blood = entryOf("BLOOD");
  EXPECT_EQ(valueText(pages.pending, graphics), L"7");
  EXPECT_EQ(currentOption(pages.pending, graphics), -1);
  EXPECT_FLOAT_EQ(sliderValue(pages.pending, fov), 100.0f);
  EXPECT_FLOAT_EQ(sliderFraction(pages.pending, fov), 1.0f);
  EXPECT_EQ(valueText(pages.pending, fov), L"250");
  EXPECT_FALSE(isToggleOn(pages.pending, blood));    // the first of the two lines
  EXPECT_TRUE(isToggleOn(pages.pending, specular));  // inverted: "0" shows on
  EXPECT_FALSE(isToggleOn(pages.pending, damage));

  EXPECT_TRUE(toggle(pages.pending, specular));
  EXPECT_FALSE(isToggleOn(pages.pending, specular));
  EXPECT_TRUE(toggle(pages.pending, damage));
  EXPECT_FALSE(toggle(pages.pending, graphics));  // not a switch
  EXPECT_TRUE(saveConfigValues(pages));
  std::string expected = odd;
  expected.replace(expected.find("SPECULAR 0"), 10, "SPECULAR 1");
  expected.replace(expected.find("SHOW_DAMAGE abc"), 15, "SHOW_DAMAGE 1");
  EXPECT_EQ(dir.read("vessa.cfg"), expected + file);
}

TEST(ConfigModel, SlidersAndDropDownsWriteWhatTheClientReads) {
  setUiLanguage("en");
  TempDir dir;
  dir.write("vessa.cfg", "FREQUENCY 59\nWIDTH 1366\nHEIGHT 768\n");
  GameSettings pages = opened(dir);
  // Track from 100 to 300.
  const struct {
    const char* key;
    float position;
    const char* value;
  } drags[] = {
      {"FOV", 100, "10.00"},          {"FOV", 200, "55.00"},          {"FOV", 1000, "100.00"},
      {"VOICE_VOLUME", 180, "2"},     {"VOICE_VOLUME", 200, "3"},     {"VOICE_VOLUME", -5, "0"},
      {"MUSIC_VOLUME", 300, "1.000"}, {"MUSIC_VOLUME", 150, "0.250"}, {"SHARPNESS", 240, "3.50"},
  };
  for (const auto& d : drags) {
    EXPECT_TRUE(dragSlider(pages.pending, entryOf(d.key), d.position, 100, 300));
    EXPECT_EQ(pages.pending[d.key], d.value) << d.key << " at " << d.position;
  }
  EXPECT_FALSE(dragSlider(pages.pending, entryOf("FOV"), 150, 300, 300));  // no track
  EXPECT_FALSE(dragSlider(pages.pending, entryOf("BLOOD"), 150, 100, 300));
  EXPECT_EQ(pages.pending["FOV"], "100.00");

  // A configured rate the list lacks comes first, marked; picking another leaves it out again.
  const int rate = entryOf("FREQUENCY");
  std::vector<DropDownItem> items = dropDownItems(pages.pending, rate, {});
  ASSERT_EQ(items.size(), 8u);
  EXPECT_EQ(items[0].text, L"59 Hz");
  EXPECT_TRUE(items[0].current);
  EXPECT_EQ(items[1].text, L"60 Hz");
  EXPECT_TRUE(pickDropDownItem(pages.pending, rate, 2, {}));
  EXPECT_EQ(pages.pending["FREQUENCY"], "75");
  EXPECT_EQ(dropDownItems(pages.pending, rate, {}).size(), 7u);

  // The configured size joins the display's, largest first; a pick sets both keys.
  const int resolution = entryOf("WIDTH");
  const std::vector<SystemDisplayMode> modes = {{1920, 1080, 32}, {1280, 720, 32}};
  items = dropDownItems(pages.pending, resolution, modes);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].text, L"1366 \u00D7 768");  // as the box and the side panel show it
  EXPECT_EQ(items[1].value, "1366x768");
  EXPECT_TRUE(items[1].current);
  EXPECT_FALSE(pickDropDownItem(pages.pending, resolution, 3, modes));
  EXPECT_TRUE(pickDropDownItem(pages.pending, resolution, 0, modes));
  EXPECT_EQ(valueText(pages.pending, resolution), L"1920 \u00D7 1080");

  // A list shows its labels in the UI language; a choice takes an option by index.
  setUiLanguage("de");
  items = dropDownItems(pages.pending, entryOf("RAIN_LEVEL"), {});
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[4].text, L"Sehr stark");
  EXPECT_TRUE(chooseOption(pages.pending, entryOf("WINDOWED"), 1));
  EXPECT_EQ(valueText(pages.pending, entryOf("WINDOWED")), L"Vollbild");
  // Numbers in the language's format, volumes as the side panel shows them; the file keeps
  // its own format.
  EXPECT_EQ(valueText(pages.pending, entryOf("SHARPNESS")), L"3,50");
  EXPECT_EQ(valueText(pages.pending, entryOf("MUSIC_VOLUME")), L"25%");
  EXPECT_EQ(valueText(pages.pending, entryOf("VOICE_VOLUME")), L"Aus");
  EXPECT_FALSE(chooseOption(pages.pending, entryOf("WINDOWED"), 2));
  setUiLanguage("en");

  EXPECT_TRUE(saveConfigValues(pages));
  EXPECT_EQ(getConfigValue(pages.file, "WIDTH", ""), "1920");
  EXPECT_EQ(getConfigValue(pages.file, "HEIGHT", ""), "1080");
  EXPECT_EQ(getConfigValue(pages.file, "FREQUENCY", ""), "75");
  EXPECT_EQ(getConfigValue(pages.file, "WINDOWED", ""), "0");
  EXPECT_EQ(getConfigValue(pages.file, "SHARPNESS", ""), "3.50");
}

// What the file holds is the player's and the client's: Defaults then Cancel writes nothing, a
// save keeps what the client wrote since the pages opened, and a save that cannot write (a
// locked or oversized file) says so and leaves the file as it was.
TEST(ConfigModel, SavesKeepTheClientsLinesAndFailuresLeaveTheFileAlone) {
  TempDir dir;
  const std::string before = "WIDTH\t1280\r\nHEIGHT 720\r\n# keep\r\nGRASS_TYPE 1\r\n";
  dir.write("vessa.cfg", before);
  {
    GameSettings pages = opened(dir);
    resetToDefaults(pages.pending);
    EXPECT_EQ(pages.pending["WIDTH"], "1024");
  }  // Cancel
  EXPECT_EQ(dir.read("vessa.cfg"), before);

  GameSettings pages = opened(dir);
  // The client exits meanwhile and writes its own size and a new key.
  dir.write("vessa.cfg", "WIDTH\t1600\r\nHEIGHT 900\r\n# keep\r\nGRASS_TYPE 1\r\nNEW 1\r\n");
  ASSERT_TRUE(chooseOption(pages.pending, entryOf("GRASS_TYPE"), 3));
  ASSERT_TRUE(saveConfigValues(pages));
  std::string after = dir.read("vessa.cfg");
  const std::string head =
      "WIDTH\t1600\r\nHEIGHT 900\r\n# keep\r\nGRASS_TYPE 3\r\nNEW 1\r\nALWAYS_VIEW_NAME 1\r\n";
  EXPECT_EQ(after.substr(0, head.size()), head);
  EXPECT_EQ(after.find("1280"), std::string::npos);

  // A second save changes nothing that is already there.
  ASSERT_TRUE(chooseOption(pages.pending, entryOf("GRASS_TYPE"), 0));
#ifdef _WIN32
  // The client holds the file open without sharing it.
  const HANDLE lock = CreateFileW(dir.file("vessa.cfg").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(saveConfigValues(pages));
  CloseHandle(lock);
#else
  // POSIX has no such lock: a folder where the replacement is written makes the write fail.
  dir.write("vessa.cfg.ap_tmp/blocker", "");
  EXPECT_FALSE(saveConfigValues(pages));
  std::filesystem::remove_all(wideToUtf8(dir.file("vessa.cfg.ap_tmp")));
#endif
  EXPECT_EQ(dir.read("vessa.cfg"), after);
  // The edit is still pending; the next save writes it.
  EXPECT_TRUE(saveConfigValues(pages));
  after.replace(after.find("GRASS_TYPE 3"), 12, "GRASS_TYPE 0");
  EXPECT_EQ(dir.read("vessa.cfg"), after);

  // Over 1 MiB: defaults are shown, and no save may replace the file by the launcher's lines.
  std::string big = "GRASS_TYPE 1\r\n";
  big += std::string(kGameConfigFileLimit, '#');
  dir.write("vessa.cfg", big);
  // loca.cfg of binary garbage names no language.
  dir.write("loca.cfg", "\xFF\xFE\x01 \x80pl\x7F\r\n\x80");
  GameSettings large;
  large.file.clientLanguage = 5;
  openSettings(large, dir.path());
  EXPECT_EQ(large.file.clientLanguage, 0);
  EXPECT_EQ(large.pending["GRASS_TYPE"], "3");
  EXPECT_FALSE(saveConfigValues(large));
  EXPECT_EQ(dir.read("vessa.cfg"), big);

  // Settings that never loaded a folder do not write next to the working folder.
  GameSettings none;
  none.pending = large.pending;
  EXPECT_FALSE(saveConfigValues(none));
}

// ---- Running game

TEST(GameProcess, PathsCompareWithoutCaseOrSeparatorAndTheCheckIsPaced) {
  const struct {
    const wchar_t* a;
    const wchar_t* b;
    bool same;
  } paths[] = {
      {L"C:\\Games\\Quillmark\\QuillmarkClient.exe", L"c:/games/QUILLMARK/quillmarkclient.EXE",
       true},
      {L"C:\\Gry\\\u0141\u00D3D\u0179\\a.exe", L"c:\\gry\\\u0142\u00F3d\u017A\\A.exe", true},
      {L"C:\\\u03A0\u0391\u0399\u03A7\u039D\u0399\u0394\u0399\\a.exe",
       L"c:\\\u03C0\u03B1\u03B9\u03C7\u03BD\u03B9\u03B4\u03B9\\a.exe", true},
      {L"C:\\Games\\Quillmark\\QuillmarkClient.exe", L"C:\\Other\\Quillmark\\QuillmarkClient.exe",
       false},
      {L"C:\\Games\\a.exe", L"C:\\Games\\a.exe.bak", false},
  };
  for (const auto& p : paths) EXPECT_EQ(sameExecutablePath(p.a, p.b), p.same);

  static int listings = 0;
  static std::vector<std::wstring> listed;
  const auto list = [](const std::wstring& fileName) {
    ++listings;
    EXPECT_EQ(fileName, L"Client.exe");
    return listed;
  };
  const std::wstring game = L"C:\\Games\\Client.exe";
  GameRunningCheck check;
  listed = {L"D:\\Elsewhere\\Client.exe"};
  EXPECT_FALSE(isGameRunning(check, 10000, game, list));
  listed = {L"D:\\Elsewhere\\Client.exe", L"c:\\games\\client.exe"};
  EXPECT_FALSE(isGameRunning(check, 11000, game, list));  // within 1500 ms: the last answer
  EXPECT_TRUE(isGameRunning(check, 11500, game, list));
  EXPECT_EQ(listings, 2);
  listed = {L""};  // a process of that name whose path the system would not give
  EXPECT_TRUE(isGameRunning(check, 11600, L"C:\\Other\\Client.exe", list));
  EXPECT_EQ(listings, 3);  // another path is asked anew
}

// A real process of the game's name, in the game folder and in another one.
TEST(GameProcess, SeesTheGameProcessByItsFolder) {
  TempDir dir;
  const std::wstring game = dir.file("Game Folder/QuillmarkClient.exe");
  const std::wstring other = dir.file("Other/QuillmarkClient.exe");
#ifdef _WIN32
  ASSERT_TRUE(ensureParentDirectory(game));
  ASSERT_TRUE(CopyFileW(utf8ToWide(QM_FAKE_GAME).c_str(), game.c_str(), FALSE));
  dir.write("Game Folder/fake_game_hold", "");
  std::wstring commandLine = L"\"" + game + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(game.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  CloseHandle(process.hThread);
  const auto stop = [&] {
    deleteFile(dir.file("Game Folder/fake_game_hold"));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    CloseHandle(process.hProcess);
  };
#else
  std::filesystem::create_directories(wideToUtf8(dir.file("Game Folder")));
  std::filesystem::copy_file("/bin/sleep", wideToUtf8(game));
  const std::string path = wideToUtf8(game);
  char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("60"), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
  const auto stop = [&] {
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
  };
#endif
  std::wstring shouted = game;
  for (wchar_t& c : shouted) c = static_cast<wchar_t>(towupper(c));
  // The process may need a moment to show in the list.
  bool running = false;
  for (int i = 0; i < 500 && !running; ++i) {
    GameRunningCheck check;
    running = isGameRunning(check, 0, game, processPathsNamed);
    if (!running) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(running);
  GameRunningCheck check;
  EXPECT_TRUE(isGameRunning(check, 0, shouted, processPathsNamed));
  EXPECT_FALSE(isGameRunning(check, 10000, other, processPathsNamed));
  stop();
  EXPECT_FALSE(isGameRunning(check, 20000, game, processPathsNamed));
}
