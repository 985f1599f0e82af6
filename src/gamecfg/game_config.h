// The game client's own configuration files in the game folder: vessa.cfg, one setting per
// line ("KEY" blanks "value"), kept line for line so that whatever the launcher does not
// understand survives its edits, and loca.cfg, the client's language ("1250 pl").
//
//   GameConfigFile      the lines of vessa.cfg and the line break they are written with
//   load, get, set      loadGameConfig, getConfigValue, setConfigValue
//   readers             the window mode and the two volumes, as start-up reads them
//   loca.cfg            read with the configuration, written by setClientLanguage
//
// The launcher's one GameConfigFile belongs to its settings (GameSettings, config_model.h),
// which the shell owns; all of it runs on the UI thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// vessa.cfg larger than this is not read; loca.cfg larger than kLocaFileLimit neither.
inline constexpr std::uint64_t kGameConfigFileLimit = 1048576;
inline constexpr std::uint64_t kLocaFileLimit = 4096;

inline constexpr const wchar_t* kGameConfigFileName = L"vessa.cfg";
inline constexpr const wchar_t* kLocaFileName = L"loca.cfg";

struct GameConfigFile {
  // The game folder given to the last load, ending in a path separator.
  std::wstring folder;
  // The lines of vessa.cfg without their line breaks.
  std::vector<std::string> lines;
  // Written after every line: "\r\n" or "\n".
  std::string separator = "\r\n";
  // False when vessa.cfg exists but could not be read (too large, locked, unreadable): the
  // launcher's lines are then not the file's, and writing them would throw the player's
  // settings away, so sets change the lines but leave the file alone.
  bool writable = true;
  // The index into the client language list that loca.cfg names; 0 when it names none.
  int clientLanguage = 0;
  // Whether loca.cfg was there at the last load (readable or not) or has been written since:
  // without it the player has not chosen a language yet.
  bool hasLocaFile = false;
};

// Splits a file's bytes into lines and picks the line break to write with (the rules of
// loadGameConfig, without the file).
void parseGameConfig(std::string_view content, std::vector<std::string>& lines,
                     std::string& separator);
// The file's bytes for lines: every line followed by separator.
std::string formatGameConfig(const std::vector<std::string>& lines, const std::string& separator);

// Index of the first line holding key (the key, at least one blank or tab, then the value),
// or -1. Keys compare byte for byte, case-sensitively.
int findConfigLine(const std::vector<std::string>& lines, std::string_view key);

// Remembers folder and reads folder + "vessa.cfg" and then folder + "loca.cfg"; the latter
// sets clientLanguage (0 when it is missing or names no known language) and hasLocaFile.
void loadGameConfig(GameConfigFile& config, const std::wstring& folder);

// The value of the first line holding key (trailing blanks included), or fallback.
std::string getConfigValue(const GameConfigFile& config, std::string_view key,
                           std::string_view fallback);

// Changes the first line holding key (keeping the key, its spacing and the line's place) or
// appends "key value", then replaces vessa.cfg whole. A key that is empty or holds a blank,
// tab or line break, or a value with a line break, would not read back as the same setting
// and changes nothing. False when nothing was changed or the file could not be written (the
// lines keep the new value then; the file keeps its old content).
bool setConfigValue(GameConfigFile& config, std::string_view key, std::string_view value);

// One key and the value to give it.
struct ConfigChange {
  std::string key;
  std::string value;
};
// Applies the changes to the lines one after the other, each as setConfigValue would, then
// replaces vessa.cfg once, so that the file takes all of them or none. True when the file was
// written (or there was nothing to change); false when a change was refused (it is skipped,
// the others are applied) or the file could not be written (it keeps its old content).
bool setConfigValues(GameConfigFile& config, const std::vector<ConfigChange>& changes);

// "WINDOWED" (default "1") as a decimal integer: true when non-zero.
bool readWindowed(const GameConfigFile& config);
// "MUSIC_VOLUME" (default "1.000") as a float, as the C library converts it.
float readMusicVolume(const GameConfigFile& config);
// "VOICE_VOLUME" (default "5") as an integer, as the C library converts it (kept within the
// range of int).
int readVoiceVolume(const GameConfigFile& config);

// The client language index named by loca.cfg's content: its second whitespace-separated word
// compared without case with the client languages' codes; 0 when there is none or no match.
int parseLocaFile(std::string_view content);
// For an index within the client language list: sets clientLanguage and writes
// folder + "loca.cfg" as the row's code page, a blank and its code (no line break). Any
// other index changes nothing. False when nothing was written.
bool setClientLanguage(GameConfigFile& config, int index);
// The client language the selector shows and the language list ticks: loca.cfg's when there is
// one; without it the current UI language's (the window speaks it, and the client starts in it
// when the player keeps it), or clientLanguage when the client has no such language. Nothing is
// written until the player chooses.
int shownClientLanguage(const GameConfigFile& config);
