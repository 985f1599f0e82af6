// libFuzzer target for the game client's vessa.cfg and loca.cfg, files of the player's disk.
// Beyond memory errors, it checks that vessa.cfg's lines written back read back as the same
// lines, that a key found is found again after the round trip, and that loca.cfg always names
// a language of the list.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gamecfg/game_config.h"
#include "i18n/strings.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "gamecfg_fuzz: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const int language = parseLocaFile(text);
  check(language >= 0 && language < kClientLanguageCount, "loca.cfg names no listed language");

  GameConfigFile config;
  parseGameConfig(text, config.lines, config.separator);
  const std::string written = formatGameConfig(config.lines, config.separator);
  std::vector<std::string> again;
  std::string separator;
  parseGameConfig(written, again, separator);
  check(again == config.lines, "lines written back read back differently");
  for (const char* key : {"WINDOWED", "MUSIC_VOLUME", "VOICE_VOLUME", "RESOLUTION"}) {
    check(findConfigLine(config.lines, key) == findConfigLine(again, key), "a key moved");
    (void)getConfigValue(config, key, "");
  }
  (void)readWindowed(config);
  (void)readMusicVolume(config);
  (void)readVoiceVolume(config);
  return 0;
}
