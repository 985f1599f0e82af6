// vessa.cfg and loca.cfg on real files: what a player would notice if the launcher got it
// wrong (a lost comment or blank line, CR LF turned into LF, the wrong one of two lines
// changed, a large file thrown away), the loca.cfg language codes, and the display modes.
#include "gamecfg/game_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "gamecfg/display_modes.h"
#include "i18n/strings.h"
#include "test_support.h"

namespace {

// A store loaded from dir after writing vessa.cfg (and loca.cfg when given).
GameConfigFile loadWith(const TempDir& dir, const std::string& vessa) {
  dir.write("vessa.cfg", vessa);
  GameConfigFile config;
  loadGameConfig(config, dir.path());
  return config;
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
  setClientLanguageIndex(3);
  loadGameConfig(config, dir.path());
  EXPECT_EQ(clientLanguageIndex(), 7);

  EXPECT_TRUE(setClientLanguage(config, 10));
  EXPECT_EQ(clientLanguageIndex(), 10);
  EXPECT_EQ(dir.read("loca.cfg"), "1254 tr");
  EXPECT_TRUE(setClientLanguage(config, 1));
  EXPECT_EQ(dir.read("loca.cfg"), "1252 en");

  EXPECT_FALSE(setClientLanguage(config, 12));
  EXPECT_FALSE(setClientLanguage(config, -1));
  EXPECT_EQ(clientLanguageIndex(), 1);
  EXPECT_EQ(dir.read("loca.cfg"), "1252 en");

  // Over 4096 bytes, or missing: index 0.
  dir.write("loca.cfg", "1250 pl" + std::string(kLocaFileLimit, ' '));
  loadGameConfig(config, dir.path());
  EXPECT_EQ(clientLanguageIndex(), 0);
  setClientLanguageIndex(5);
  GameConfigFile elsewhere;
  TempDir empty;
  loadGameConfig(elsewhere, empty.path());
  EXPECT_EQ(clientLanguageIndex(), 0);
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
