// Argument parsing and the texts of quillmark-publish. Options take their value as the next
// argument or after "=" (--out NAME, --out=NAME); --keep and --exclude of build may repeat;
// a flag (--dry-run) takes no value.
#include "cli.h"

#include <cstdio>
#include <map>
#include <set>

#include "base/text.h"
#include "formats/utc_time.h"
#include "keys.h"
#include "release_build.h"
#include "release_prune.h"
#include "release_verify.h"

namespace {

constexpr const char* kProgram = "quillmark-publish";

const char* const kMainHelp =
    "Usage: quillmark-publish COMMAND [OPTIONS]\n"
    "\n"
    "Publishes releases of the game for the Quillmark launcher.\n"
    "\n"
    "Commands:\n"
    "  keygen   make the Ed25519 key pair that signs releases\n"
    "  build    turn a game folder into a signed release folder\n"
    "  verify   check a release folder, and a game folder against it\n"
    "  prune    remove from a release folder what its last releases no longer use\n"
    "\n"
    "Run \"quillmark-publish COMMAND --help\" for the options of a command.\n";

const char* const kKeygenHelp =
    "Usage: quillmark-publish keygen --out NAME\n"
    "\n"
    "Makes an Ed25519 key pair and prints the public key.\n"
    "  NAME.key  the secret key: readable by you alone; never overwritten. Whoever holds it\n"
    "            can publish releases that every launcher accepts: keep it off the server.\n"
    "  NAME.pub  the public key, 64 hex digits; build the launcher with it\n"
    "            (cmake -DQUILLMARK_PUBLIC_KEY=NAME.pub).\n";

const char* const kBuildHelp =
    "Usage: quillmark-publish build --game DIR --out RELEASE --version N --key NAME.key\n"
    "                               [OPTIONS]\n"
    "\n"
    "Turns the game folder DIR into the release folder RELEASE: every file's content once as\n"
    "files/<2 digits>/<sha-256>.z (zlib), then manifest.json and its signature manifest.sig,\n"
    "written last. Contents already in RELEASE/files are checked and reused, so building each\n"
    "release into the same folder compresses only what changed. Upload RELEASE as it is.\n"
    "\n"
    "  --game DIR            the game folder as players should have it\n"
    "  --out RELEASE         the release folder (created when missing)\n"
    "  --version N           the release's version, 0 to 2147483647; never lower than the\n"
    "                        version in --previous or in RELEASE/manifest.json\n"
    "  --key NAME.key        the secret key from keygen\n"
    "  --game-exe PATH       the game executable, relative to DIR (default \"Play "
    "Quillmark.exe\")\n"
    "  --news FILE.json      news items: a JSON array of objects, copied into the manifest\n"
    "  --links FILE.json     links: a JSON object of names and addresses\n"
    "  --launcher FILE       the launcher executable that players should run\n"
    "  --keep GLOB           files installed once and then left to the player (repeatable)\n"
    "  --exclude GLOB        files and folders left out of the release (repeatable)\n"
    "  --previous MANIFEST   the manifest.json of the release this one follows: its files that\n"
    "                        are gone now, and its own deletions, go into \"delete\"\n"
    "  --expires-in DAYS     launchers refuse this manifest DAYS days (1 to 3650) after the\n"
    "                        build, as a patch server that is out of date: build and upload\n"
    "                        again before then (default: the manifest never expires)\n"
    "  --jobs N              files worked on at once (default: one per processor)\n"
    "\n"
    "GLOB: * any characters within a name, ** across folders, ? one character; a pattern\n"
    "without \"/\" matches a name at any depth, one with \"/\" matches from the top of DIR.\n"
    "Letters match in either case. The launcher's own files in DIR (patcher.ini,\n"
    "patcher_cache.dat, QuillmarkLauncher.exe, ...) are always left out.\n";

const char* const kVerifyHelp =
    "Usage: quillmark-publish verify --release RELEASE --public-key KEYS [--game DIR]\n"
    "\n"
    "Checks RELEASE as the launcher will read it: manifest.sig verifies manifest.json under one\n"
    "of the public keys; the manifest follows the launcher's rules and has not expired; every\n"
    "object exists, is one zlib stream, and inflates to its entry's size and SHA-256. With\n"
    "--game, also compares the game folder DIR with the manifest and lists each file that is\n"
    "missing or differs. Exits 0 only when everything holds.\n"
    "\n"
    "  --release RELEASE     the release folder\n"
    "  --public-key KEYS     the keys the launchers trust, up to four separated by commas, each\n"
    "                        64 hex digits or a .pub file\n"
    "  --game DIR            a game folder to compare\n"
    "  --jobs N              files worked on at once (default: one per processor)\n";

const char* const kPruneHelp =
    "Usage: quillmark-publish prune --release RELEASE --keep N [--dry-run]\n"
    "\n"
    "Removes from RELEASE/files the objects (file contents, chunks, chunk lists) that none of\n"
    "the last N releases uses: the one manifest.json serves and the N-1 before it, whose\n"
    "manifests build keeps in RELEASE/history (never uploaded). Keep at least 2, so that\n"
    "players who began an update just before the last release was published still find what\n"
    "they fetch. Then upload RELEASE/files with deletion (rsync --delete) so that the servers\n"
    "drop them too; verify passes on the pruned folder.\n"
    "\n"
    "A folder whose history records fewer than N releases (its older releases were built before\n"
    "build kept one) is left as it is: their objects cannot be told from unused ones. Nothing\n"
    "is removed through a link, nor while a build into RELEASE runs; a build's temporary file\n"
    "(.ap_tmp) goes only when it is more than a day old.\n"
    "\n"
    "  --release RELEASE     the release folder\n"
    "  --keep N              the releases whose objects stay, 1 to 1000\n"
    "  --dry-run             list what would be removed and how much; remove nothing\n";

// A usage error: the message, where to find help, and exit code 2.
int usageError(const Console& c, const std::string& command, const std::string& message) {
  const std::string where =
      command.empty() ? std::string(kProgram) : std::string(kProgram) + " " + command;
  c.err(where + ": " + message + " (see " + where + " --help)\n");
  return 2;
}

struct Parsed {
  std::set<std::string> flags;
  std::map<std::string, std::wstring> single;
  std::map<std::string, std::vector<std::wstring>> repeated;
  bool help = false;
};

// Splits args into options; an unknown option, a missing value or a repeated single option is
// a usage error.
bool parseOptions(const std::vector<std::wstring>& args, std::size_t from,
                  const std::set<std::string>& singles, const std::set<std::string>& repeatable,
                  Parsed& out, std::string& error, const std::set<std::string>& flags = {}) {
  // --help anywhere wins over every other option.
  for (std::size_t i = from; i < args.size(); ++i) {
    if (args[i] == L"--help" || args[i] == L"-h") {
      out.help = true;
      return true;
    }
  }
  for (std::size_t i = from; i < args.size(); ++i) {
    std::string arg = wideToUtf8(args[i]);
    std::wstring value;
    bool hasValue = false;
    const std::size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      const std::size_t wideEq = args[i].find(L'=');
      value = args[i].substr(wideEq + 1);
      arg = arg.substr(0, eq);
      hasValue = true;
    }
    if (flags.count(arg) > 0) {
      if (hasValue) {
        error = arg + " takes no value";
        return false;
      }
      out.flags.insert(arg);
      continue;
    }
    const bool single = singles.count(arg) > 0;
    if (!single && repeatable.count(arg) == 0) {
      error =
          arg.rfind("-", 0) == 0 ? "unknown option " + arg : "unexpected argument \"" + arg + "\"";
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (single) {
      if (!out.single.emplace(arg, value).second) {
        error = arg + " is given twice";
        return false;
      }
    } else {
      out.repeated[arg].push_back(value);
    }
  }
  return true;
}

bool requireOptions(const Parsed& parsed, std::initializer_list<const char*> names,
                    std::string& error) {
  for (const char* name : names) {
    if (parsed.single.count(name) == 0) {
      error = std::string(name) + " is required";
      return false;
    }
  }
  return true;
}

// A whole decimal number within [low, high].
bool parseNumber(const std::wstring& text, long long low, long long high, long long& out) {
  if (text.empty() || text.size() > 12) return false;
  long long v = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + (c - L'0');
  }
  if (v < low || v > high) return false;
  out = v;
  return true;
}

std::wstring optionOr(const Parsed& p, const char* name) {
  const auto it = p.single.find(name);
  return it == p.single.end() ? std::wstring() : it->second;
}

bool parseJobs(const Parsed& p, unsigned& jobs, std::string& error) {
  jobs = 0;
  const std::wstring text = optionOr(p, "--jobs");
  if (text.empty()) return true;
  long long n = 0;
  if (!parseNumber(text, 1, 256, n)) {
    error = "--jobs must be a number from 1 to 256";
    return false;
  }
  jobs = static_cast<unsigned>(n);
  return true;
}

std::string sizeText(std::uint64_t bytes) {
  char buffer[48];
  if (bytes < 1024) {
    std::snprintf(buffer, sizeof buffer, "%llu bytes", static_cast<unsigned long long>(bytes));
  } else if (bytes < (1u << 20)) {
    std::snprintf(buffer, sizeof buffer, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  } else if (bytes < (1u << 30)) {
    std::snprintf(buffer, sizeof buffer, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.2f GiB", static_cast<double>(bytes) / 1073741824.0);
  }
  return buffer;
}

int keygenCommand(const std::vector<std::wstring>& args, const Console& c) {
  Parsed p;
  std::string error;
  if (!parseOptions(args, 1, {"--out"}, {}, p, error)) return usageError(c, "keygen", error);
  if (p.help) {
    c.out(kKeygenHelp);
    return 0;
  }
  if (!requireOptions(p, {"--out"}, error)) return usageError(c, "keygen", error);
  std::string publicHex;
  if (!makeKeyFiles(p.single["--out"], publicHex, error)) {
    c.err(std::string(kProgram) + ": " + error + "\n");
    return 1;
  }
  c.out(publicHex + "\n");
  return 0;
}

int buildCommand(const std::vector<std::wstring>& args, const Console& c) {
  Parsed p;
  std::string error;
  if (!parseOptions(args, 1,
                    {"--game", "--out", "--version", "--key", "--game-exe", "--news", "--links",
                     "--launcher", "--previous", "--jobs", "--expires-in"},
                    {"--keep", "--exclude"}, p, error)) {
    return usageError(c, "build", error);
  }
  if (p.help) {
    c.out(kBuildHelp);
    return 0;
  }
  if (!requireOptions(p, {"--game", "--out", "--version", "--key"}, error))
    return usageError(c, "build", error);
  BuildOptions o;
  long long version = 0;
  if (!parseNumber(p.single["--version"], 0, 2147483647, version)) {
    return usageError(c, "build", "--version must be a whole number from 0 to 2147483647");
  }
  if (!parseJobs(p, o.jobs, error)) return usageError(c, "build", error);
  if (p.single.count("--expires-in") > 0) {
    long long days = 0;
    if (!parseNumber(p.single["--expires-in"], 1, kMaxExpiresInDays, days)) {
      return usageError(c, "build",
                        "--expires-in must be a whole number of days from 1 to " +
                            std::to_string(kMaxExpiresInDays));
    }
    o.expiresInDays = static_cast<int>(days);
  }
  o.version = version;
  o.gameDir = p.single["--game"];
  o.releaseDir = p.single["--out"];
  o.keyFile = p.single["--key"];
  o.gameExe = wideToUtf8(optionOr(p, "--game-exe"));
  o.newsFile = optionOr(p, "--news");
  o.linksFile = optionOr(p, "--links");
  o.launcherFile = optionOr(p, "--launcher");
  o.previousManifest = optionOr(p, "--previous");
  for (const std::wstring& g : p.repeated["--keep"]) o.keep.push_back(wideToUtf8(g));
  for (const std::wstring& g : p.repeated["--exclude"]) o.exclude.push_back(wideToUtf8(g));
  o.progress = c.progress;
  BuildReport r;
  const bool ok = buildRelease(o, r, error);
  for (const std::string& note : r.notes) c.err("note: " + note + "\n");
  if (!ok) {
    c.err(std::string(kProgram) + ": " + error + "\n");
    return 1;
  }
  c.out("release " + std::to_string(o.version) + ": " + std::to_string(r.files) + " files (" +
        sizeText(r.bytes) + "); " + std::to_string(r.objectsCompressed) + " contents compressed (" +
        sizeText(r.compressedBytes) + "), " + std::to_string(r.objectsReused) +
        " reused from the store; " + std::to_string(r.deletes) + " deletions; manifest.json " +
        sizeText(r.manifestBytes) + "\n");
  if (r.chunksCompressed + r.chunksReused > 0) {
    c.out("chunks and chunk lists of the large files: " + std::to_string(r.chunksCompressed) +
          " compressed (" + sizeText(r.chunkBytes) + "), " + std::to_string(r.chunksReused) +
          " reused\n");
  }
  c.out("signed with the key whose public half is " + r.publicKeyHex + "\n");
  if (r.expires != 0) {
    c.out("launchers refuse it after " + displayUtcTime(r.expires) +
          ": build and upload a release again before then\n");
  }
  return 0;
}

int verifyCommand(const std::vector<std::wstring>& args, const Console& c) {
  Parsed p;
  std::string error;
  if (!parseOptions(args, 1, {"--release", "--public-key", "--game", "--jobs"}, {}, p, error)) {
    return usageError(c, "verify", error);
  }
  if (p.help) {
    c.out(kVerifyHelp);
    return 0;
  }
  if (!requireOptions(p, {"--release", "--public-key"}, error))
    return usageError(c, "verify", error);
  VerifyOptions o;
  if (!parseJobs(p, o.jobs, error)) return usageError(c, "verify", error);
  o.releaseDir = p.single["--release"];
  o.publicKey = p.single["--public-key"];
  o.gameDir = optionOr(p, "--game");
  o.progress = c.progress;
  VerifyReport r;
  if (!verifyRelease(o, r, error)) {
    c.err(std::string(kProgram) + ": " + error + "\n");
    return 1;
  }
  for (const std::string& problem : r.problems) c.out(problem + "\n");
  if (!r.problems.empty()) {
    c.err(std::string(kProgram) + ": verify failed: " + std::to_string(r.problems.size()) +
          (r.problems.size() == 1 ? " problem\n" : " problems\n"));
    return 1;
  }
  std::string summary = "release verified: signature good (by " + r.signedBy + "), " +
                        std::to_string(r.files) + " files, " + std::to_string(r.objects) +
                        " objects intact";
  if (r.expires != 0) summary += "; expires " + displayUtcTime(r.expires);
  if (!o.gameDir.empty()) {
    summary += "; the game folder matches (" + std::to_string(r.gameFilesChecked) + " files)";
  }
  c.out(summary + "\n");
  return 0;
}

std::string pruneSummary(const PruneOptions& o, const PruneReport& r) {
  std::string kept;
  for (const std::int64_t v : r.keptVersions)
    kept += (kept.empty() ? "" : ", ") + std::to_string(v);
  const std::size_t history = r.removedHistory.size();
  return std::string(o.dryRun ? "would remove " : "removed ") + std::to_string(r.removed.size()) +
         (r.removed.size() == 1 ? " file (" : " files (") + sizeText(r.removedBytes) + ") and " +
         std::to_string(history) + (history == 1 ? " history manifest" : " history manifests") +
         "; kept releases " + kept + ", which use " + std::to_string(r.objectsKept) + " objects\n";
}

int pruneCommand(const std::vector<std::wstring>& args, const Console& c) {
  Parsed p;
  std::string error;
  if (!parseOptions(args, 1, {"--release", "--keep"}, {}, p, error, {"--dry-run"})) {
    return usageError(c, "prune", error);
  }
  if (p.help) {
    c.out(kPruneHelp);
    return 0;
  }
  if (!requireOptions(p, {"--release", "--keep"}, error)) return usageError(c, "prune", error);
  PruneOptions o;
  long long keep = 0;
  if (!parseNumber(p.single["--keep"], 1, 1000, keep)) {
    return usageError(c, "prune", "--keep must be a whole number from 1 to 1000");
  }
  o.keep = static_cast<int>(keep);
  o.releaseDir = p.single["--release"];
  o.dryRun = p.flags.count("--dry-run") > 0;
  PruneReport r;
  const bool ok = pruneRelease(o, r, error);
  for (const std::string& note : r.notes) c.err("note: " + note + "\n");
  if (!ok) {
    c.err(std::string(kProgram) + ": " + error + "\n");
    return 1;
  }
  if (r.tooFewReleases) {
    c.out("nothing removed: " + wideToUtf8(o.releaseDir) + " records " +
          std::to_string(r.releasesRecorded) +
          (r.releasesRecorded == 1 ? " release" : " releases") + ", fewer than the " +
          std::to_string(o.keep) +
          " to keep; releases built before build kept their manifests in history/ may still be "
          "in use, and their objects cannot be told from unused ones. Prune again once enough "
          "releases are recorded.\n");
    return 0;
  }
  if (o.dryRun) {
    for (const std::string& h : r.removedHistory) c.out("would remove " + h + "\n");
    for (const auto& [name, size] : r.removed) {
      c.out("would remove " + name + " (" + sizeText(size) + ")\n");
    }
  }
  c.out(pruneSummary(o, r));
  return 0;
}

}  // namespace

int runPublish(const std::vector<std::wstring>& args, const Console& console) {
  const std::string command = args.empty() ? std::string() : wideToUtf8(args[0]);
  if (command == "--help" || command == "-h" || command == "help") {
    console.out(kMainHelp);
    return 0;
  }
  if (command == "keygen") return keygenCommand(args, console);
  if (command == "build") return buildCommand(args, console);
  if (command == "verify") return verifyCommand(args, console);
  if (command == "prune") return pruneCommand(args, console);
  return usageError(console, "",
                    command.empty() ? "no command given" : "unknown command \"" + command + "\"");
}
