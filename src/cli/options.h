// The command line of quillmark-update:
//   quillmark-update [--dir GAME_DIR] [--repair] [--patch-url URL]... [--public-key KEYS]
//                    [--ca-file FILE] [--lang CODE] [--quiet] [--no-sync]
// Options take their value as the next argument or after "=" (--dir=games/quillmark);
// --patch-url may be given up to four times, KEYS is up to four keys separated by commas.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/signature.h"

struct CliOptions {
  // The game folder; "" for the current folder.
  std::wstring gameDir;
  bool repair = false;
  // The patch servers' base addresses, each ending in "/", in the order they are tried (the
  // build-time list unless given).
  std::vector<std::wstring> patchUrls;
  // The keys the manifest may be signed with (the build-time keys unless given).
  std::vector<PublicKey> publicKeys;
  // A PEM file of certificate authorities trusted instead of the system's; "" for the system's.
  std::wstring caFile;
  // A UI language code ("de"); "" for the system's language.
  std::string language;
  bool quiet = false;
  // The run's writes are not synced (to measure what the sync costs).
  bool noSync = false;
};

enum class ParseOutcome { Run, Help, BadUsage };

// Reads the arguments after the program's name. BadUsage comes with a one-line error.
ParseOutcome parseArguments(const std::vector<std::wstring>& args, CliOptions& out,
                            std::string& error);

// The text of --help.
extern const char* const kCliHelp;

// 64 hex digits (either case) after surrounding blanks and line ends are trimmed.
bool parseKeyHex(const std::string& text, PublicKey& out);

// The UI language code for a POSIX locale name ("de_DE.UTF-8", "cs_CZ", "C"): its language
// part when the string table has it (Czech and Greek under the table's "cz" and "gr"), else "".
std::string languageFromLocale(const std::string& locale);
