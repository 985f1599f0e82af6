// Argument parsing and the help text of quillmark-update.
#include "cli/options.h"

#include <algorithm>
#include <map>

#include "base/paths.h"
#include "base/text.h"
#include "i18n/strings.h"
#include "quillmark_config.h"

const char* const kCliHelp =
    "Usage: quillmark-update [--dir GAME_DIR] [--repair] [--patch-url URL]...\n"
    "                        [--public-key KEYS] [--ca-file FILE] [--lang CODE] [--quiet]\n"
    "\n"
    "Brings a Quillmark game folder up to date from the patch server: fetches the signed\n"
    "manifest, checks every file (from patcher_cache.dat where it can), downloads what is\n"
    "missing or differs, deletes what the release removed and records the version in\n"
    "patcher.ini. The launcher executable named by the release is installed as one more file\n"
    "of the folder (not when quillmark_dev.key is there).\n"
    "\n"
    "  --dir GAME_DIR        the game folder (default: the current folder; created when missing)\n"
    "  --repair              hash every file again instead of trusting patcher_cache.dat\n"
    "  --patch-url URL       a patch server's base address, http:// or https://; up to four\n"
    "                        times, tried in that order: the manifest comes from the first\n"
    "                        that offers one, a file that fails on one comes from the next\n"
    "                        (default: the addresses this program was built with)\n"
    "  --public-key KEYS     the publisher's Ed25519 public keys, up to four separated by\n"
    "                        commas, each 64 hex digits or a .pub file holding them; a\n"
    "                        manifest signed by any of them is accepted (default: the keys\n"
    "                        this program was built with)\n"
    "  --ca-file FILE        trust the certificate authorities in this PEM file instead of\n"
    "                        the system's, for https:// patch servers whose certificates a\n"
    "                        private authority issued (Linux; on Windows the authority goes\n"
    "                        into the Windows certificate store instead)\n"
    "  --lang CODE           language of the messages: pt en es fr de it ro pl cz hu tr gr\n"
    "                        (default: the system's language, else en)\n"
    "  --quiet               no progress; print only the result\n"
    "  --no-sync             for measurements only: never wait for the disk (a power cut may\n"
    "                        then leave files that the next run trusts without checking)\n"
    "  --help                this text\n"
    "\n"
    "Progress goes to standard output: one line redrawn in place on a terminal, otherwise a\n"
    "line per phase and at most one progress line every five seconds. Ctrl+C stops the run\n"
    "cleanly (within a second): files are replaced whole, so the folder holds no half-written\n"
    "file. It also pauses a download: a new run resumes it and fetches nothing again that was\n"
    "finished, neither the files in place nor the chunks a large file's .ap_tmp file holds; only\n"
    "what was in transfer starts over (a chunk, or a file below 4 MiB, from its first byte).\n"
    "\n"
    "Exit status (the reason of a failure is printed):\n"
    "  0    the folder is up to date (the installed version is printed)\n"
    "  1    the update failed for another reason than those below\n"
    "  2    bad usage\n"
    "  3    the release was refused: its signature, its manifest, a version older than the\n"
    "       installed one, an expired manifest, or a file that did not match its hash\n"
    "  4    no patch server could be reached, was trusted (its certificate), or delivered\n"
    "       the release\n"
    "  5    the update does not fit on the disk (nothing was changed)\n"
    "  6    another update of this game folder is running\n"
    "  7    a file of the game folder could not be written\n"
    "  130  stopped by Ctrl+C (143 by SIGTERM)\n";

namespace {

constexpr std::uint64_t kKeyFileLimit = 4096;
constexpr std::size_t kMaxListed = 4;

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  for (std::size_t i = 0; prefix[i] != L'\0'; ++i) {
    if (i >= text.size()) return false;
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// An absolute http or https address with a host, without blanks or control characters; the
// engine appends "manifest.json" and "files/..." to it, so it gets a trailing "/".
bool readPatchUrl(const std::wstring& text, std::wstring& out, std::string& error) {
  const std::size_t schemeEnd = startsWithNoCase(text, L"http://")    ? 7
                                : startsWithNoCase(text, L"https://") ? 8
                                                                      : 0;
  const bool clean =
      std::none_of(text.begin(), text.end(), [](wchar_t c) { return c <= L' ' || c == 0x7F; });
  if (schemeEnd == 0 || !clean || text.size() == schemeEnd || text[schemeEnd] == L'/') {
    error =
        "--patch-url must be an http:// or https:// address, such as "
        "http://patch.example.com/patch/";
    return false;
  }
  out = text;
  if (out.back() != L'/') out += L'/';
  return true;
}

// One key: 64 hex digits, or a file holding them.
bool readOneKey(const std::wstring& value, PublicKey& out) {
  const std::string narrow = wideToUtf8(value);
  if (parseKeyHex(narrow, out)) return true;
  std::string text;
  const bool looksLikeHex =
      !narrow.empty() && std::all_of(narrow.begin(), narrow.end(), isHexDigit);
  return !looksLikeHex && readWholeFile(value, kKeyFileLimit, text) && parseKeyHex(text, out);
}

// Keys separated by commas; a value that is one key as it stands (a file whose name has a
// comma) is taken whole.
bool readPublicKeys(const std::wstring& value, std::vector<PublicKey>& out, std::string& error) {
  out.clear();
  PublicKey key{};
  if (readOneKey(value, key)) {
    out.push_back(key);
    return true;
  }
  for (std::size_t from = 0;;) {
    const std::size_t comma = value.find(L',', from);
    const std::wstring item =
        value.substr(from, comma == std::wstring::npos ? std::wstring::npos : comma - from);
    if (!readOneKey(item, key)) {
      error =
          "--public-key takes up to four keys separated by commas, each 64 hexadecimal "
          "digits or a file holding them; \"" +
          wideToUtf8(item) + "\" is neither";
      return false;
    }
    out.push_back(key);
    if (comma == std::wstring::npos) break;
    from = comma + 1;
  }
  if (out.size() > kMaxListed) {
    error = "--public-key takes at most four keys";
    return false;
  }
  return true;
}

bool readLanguage(const std::wstring& value, std::string& out, std::string& error) {
  const std::string code = wideToUtf8(value);
  for (int i = 0; i < kUiLanguageCount; ++i) {
    const std::string known = uiLanguageCodeAt(i);
    if (code.size() == known.size() &&
        std::equal(code.begin(), code.end(), known.begin(),
                   [](char a, char b) { return lowerAscii(a) == b; })) {
      out = known;
      return true;
    }
  }
  error = "--lang must be one of pt en es fr de it ro pl cz hu tr gr; got \"" + code + "\"";
  return false;
}

}  // namespace

bool parseKeyHex(const std::string& text, PublicKey& out) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  if (end - begin != 64) return false;
  for (std::size_t i = begin; i < end; ++i) {
    if (!isHexDigit(text[i])) return false;
  }
  for (std::size_t i = 0; i < 32; ++i) {
    out[i] = static_cast<std::uint8_t>(hexValue(text[begin + 2 * i]) * 16 +
                                       hexValue(text[begin + 2 * i + 1]));
  }
  return true;
}

std::string languageFromLocale(const std::string& locale) {
  std::string code;
  for (char c : locale) {
    if (c == '_' || c == '.' || c == '@' || c == '-') break;
    code.push_back(lowerAscii(c));
  }
  if (code == "cs") code = "cz";
  if (code == "el") code = "gr";
  for (int i = 0; i < kUiLanguageCount; ++i) {
    if (code == uiLanguageCodeAt(i)) return code;
  }
  return std::string();
}

ParseOutcome parseArguments(const std::vector<std::wstring>& args, CliOptions& out,
                            std::string& error) {
  out = CliOptions();
  out.patchUrls.assign(std::begin(quillmark::config::kPatchUrls),
                       std::end(quillmark::config::kPatchUrls));
  out.publicKeys = builtInPublicKeys();
  std::vector<std::wstring> givenUrls;

  // --help anywhere wins over everything else, even over mistakes in other arguments.
  for (const std::wstring& a : args) {
    if (a == L"--help" || a == L"-h") return ParseOutcome::Help;
  }

  std::map<std::string, bool> seen;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::wstring name = args[i];
    std::wstring value;
    bool inlineValue = false;
    const std::size_t eq = name.find(L'=');
    if (name.rfind(L"--", 0) == 0 && eq != std::wstring::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      inlineValue = true;
    }
    const std::string option = wideToUtf8(name);
    const bool flag = option == "--repair" || option == "--quiet" || option == "--no-sync";
    const bool valued = option == "--dir" || option == "--patch-url" || option == "--public-key" ||
                        option == "--lang" || option == "--ca-file";
    if (!flag && !valued) {
      error = option.rfind("-", 0) == 0 ? "unknown option " + option
                                        : "unexpected argument \"" + option + "\"";
      return ParseOutcome::BadUsage;
    }
    if (seen[option] && option != "--patch-url") {
      error = option + " is given twice";
      return ParseOutcome::BadUsage;
    }
    seen[option] = true;
    if (flag) {
      if (inlineValue) {
        error = option + " takes no value";
        return ParseOutcome::BadUsage;
      }
      (option == "--repair" ? out.repair : option == "--quiet" ? out.quiet : out.noSync) = true;
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = option + " needs a value";
        return ParseOutcome::BadUsage;
      }
      value = args[++i];
    }
    bool ok = true;
    if (option == "--dir") {
      ok = !value.empty();
      if (!ok) error = "--dir needs a folder";
      out.gameDir = value;
    } else if (option == "--patch-url") {
      std::wstring url;
      ok = readPatchUrl(value, url, error);
      givenUrls.push_back(url);
      if (ok && givenUrls.size() > kMaxListed) {
        ok = false;
        error = "--patch-url is given more than four times";
      }
    } else if (option == "--ca-file") {
      ok = !value.empty();
      if (!ok) error = "--ca-file needs a file";
      out.caFile = value;
    } else if (option == "--public-key") {
      ok = readPublicKeys(value, out.publicKeys, error);
    } else {
      ok = readLanguage(value, out.language, error);
    }
    if (!ok) return ParseOutcome::BadUsage;
  }
  // Given addresses replace the built-in list whole.
  if (!givenUrls.empty()) out.patchUrls = std::move(givenUrls);
  return ParseOutcome::Run;
}
