// vessa.cfg and loca.cfg: reading, the line-preserving edit, writing whole files.
#include "gamecfg/game_config.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "base/files.h"
#include "base/paths.h"
#include "i18n/strings.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Where the value of a matching line starts: after the key and the run of blanks behind it.
std::size_t valueStart(const std::string& line, std::size_t keyLength) {
  std::size_t i = keyLength;
  while (i < line.size() && isBlank(line[i])) ++i;
  return i;
}

bool validKey(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key) {
    if (isBlank(c) || c == '\r' || c == '\n') return false;
  }
  return true;
}

bool validValue(std::string_view value) {
  return value.find_first_of("\r\n") == std::string_view::npos;
}

// Changes the first line holding key (keeping the key, its spacing and the line's place) or
// appends "key value"; false, changing nothing, for text that would not read back the same.
bool applyConfigValue(std::vector<std::string>& lines, std::string_view key,
                      std::string_view value) {
  if (!validKey(key) || !validValue(value)) return false;
  const int index = findConfigLine(lines, key);
  if (index >= 0) {
    std::string& line = lines[static_cast<std::size_t>(index)];
    line.resize(valueStart(line, key.size()));
    line += value;
  } else {
    std::string line(key);
    line += ' ';
    line += value;
    lines.push_back(std::move(line));
  }
  return true;
}

// Replaces vessa.cfg whole with the lines, unless the file's own content could not be read.
bool writeGameConfig(const GameConfigFile& config) {
  if (!config.writable) return false;
  return writeFileAtomically(config.folder + kGameConfigFileName,
                             formatGameConfig(config.lines, config.separator));
}

}  // namespace

void parseGameConfig(std::string_view content, std::vector<std::string>& lines,
                     std::string& separator) {
  lines.clear();
  separator =
      (content.size() >= 2 && content.find("\r\n") != std::string_view::npos) ? "\r\n" : "\n";
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) {
      // A last line without a line break.
      std::string_view piece = content.substr(start);
      while (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
      lines.emplace_back(piece);
      break;
    }
    // Carriage returns end a line, however many: a line kept with one at its end would be
    // written back as the end of a "\r\n" line and read back shorter.
    std::string_view piece = content.substr(start, end - start);
    while (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    lines.emplace_back(piece);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
}

std::string formatGameConfig(const std::vector<std::string>& lines, const std::string& separator) {
  std::string out;
  for (const std::string& line : lines) {
    out += line;
    out += separator;
  }
  return out;
}

int findConfigLine(const std::vector<std::string>& lines, std::string_view key) {
  if (key.empty()) return -1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
        isBlank(line[key.size()])) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void loadGameConfig(GameConfigFile& config, const std::wstring& folder) {
  config.folder = folder;
  config.lines.clear();
  config.writable = true;

  const std::wstring path = folder + kGameConfigFileName;
  std::string content;
  if (readWholeFile(path, kGameConfigFileLimit, content)) {
    parseGameConfig(content, config.lines, config.separator);
  } else if (fileExists(path)) {
    config.writable = false;
  }

  config.clientLanguage = 0;
  const std::wstring locaPath = folder + kLocaFileName;
  std::string loca;
  if (readWholeFile(locaPath, kLocaFileLimit, loca)) {
    config.clientLanguage = parseLocaFile(loca);
    config.hasLocaFile = true;
  } else {
    config.hasLocaFile = fileExists(locaPath);
  }
}

std::string getConfigValue(const GameConfigFile& config, std::string_view key,
                           std::string_view fallback) {
  const int index = findConfigLine(config.lines, key);
  if (index < 0) return std::string(fallback);
  const std::string& line = config.lines[static_cast<std::size_t>(index)];
  return line.substr(valueStart(line, key.size()));
}

bool setConfigValue(GameConfigFile& config, std::string_view key, std::string_view value) {
  if (!applyConfigValue(config.lines, key, value)) return false;
  return writeGameConfig(config);
}

bool setConfigValues(GameConfigFile& config, const std::vector<ConfigChange>& changes) {
  if (changes.empty()) return true;
  bool applied = true;
  for (const ConfigChange& change : changes) {
    applied = applyConfigValue(config.lines, change.key, change.value) && applied;
  }
  return writeGameConfig(config) && applied;
}

bool readWindowed(const GameConfigFile& config) {
  const std::string text = getConfigValue(config, "WINDOWED", "1");
  return std::strtol(text.c_str(), nullptr, 10) != 0;
}

float readMusicVolume(const GameConfigFile& config) {
  const std::string text = getConfigValue(config, "MUSIC_VOLUME", "1.000");
  return std::strtof(text.c_str(), nullptr);
}

int readVoiceVolume(const GameConfigFile& config) {
  const std::string text = getConfigValue(config, "VOICE_VOLUME", "5");
  // strtol saturates where atoi would be undefined; the result is then kept within int.
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int parseLocaFile(std::string_view content) {
  // sscanf stops at the first NUL byte, exactly as with the file read into a C string.
  const std::string text(content);
  char codePage[32] = {};
  char code[32] = {};
  if (std::sscanf(text.c_str(), "%31s %31s", codePage, code) != 2) return 0;
  const int index = findClientLanguage(code);
  return index < 0 ? 0 : index;
}

bool setClientLanguage(GameConfigFile& config, int index) {
  if (index < 0 || index >= kClientLanguageCount) return false;
  config.clientLanguage = index;
  const ClientLanguage& row = clientLanguage(index);
  std::string content = row.codePage;
  content += ' ';
  content += row.code;
  const bool written = writeFileAtomically(config.folder + kLocaFileName, content);
  config.hasLocaFile = config.hasLocaFile || written;
  return written;
}

int shownClientLanguage(const GameConfigFile& config) {
  if (config.hasLocaFile) return config.clientLanguage;
  const int spoken = findClientLanguage(uiLanguageCode());
  return spoken < 0 ? config.clientLanguage : spoken;
}
