// build, in the order it runs:
//   1. inputs: secret key, news, links, previous manifest, the version rule
//   2. walk of the game folder (sorted; excluded and launcher-owned names left out)
//   3. hash pass, in parallel
//   4. store pass, in parallel: each distinct content checked in the store or compressed
//   5. manifest.json and manifest.sig, written last and only after the launcher's own check
#include "release_build.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "base/files.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "formats/json.h"
#include "formats/utc_time.h"
#include "glob.h"
#include "keys.h"
#include "manifest_writer.h"
#include "objects.h"
#include "parallel.h"
#include "publish_platform.h"

namespace {

struct GameFile {
  std::string path;   // "/" between names
  std::wstring full;  // on disk
  std::string hash;
  std::uint64_t size = 0;
  bool keep = false;
};

// Names the launcher itself keeps in the game folder (its settings, its cache, its side files):
// publishing them would overwrite every player's own copy on each run.
const char* const kLauncherOwnFiles[] = {"patcher.ini", "patcher_cache.dat", "patcher.lock",
                                         "patcher_write_test.tmp", "quillmark_dev.key"};

std::string fold(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool endsWithFolded(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && fold(s.substr(s.size() - suffix.size())) == suffix;
}

std::wstring withSeparator(std::wstring dir) {
  if (dir.empty()) return L".\\";
  if (dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
  return dir;
}

std::wstring nativeRelative(const std::string& path) {
  std::wstring wide = utf8ToWide(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

std::string shown(const std::wstring& path) { return wideToUtf8(path); }

std::string mib(std::uint64_t bytes) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
  return buffer;
}

// The last name of a path given on the command line.
std::string baseName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return wideToUtf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

bool readJsonFile(const std::wstring& path, const std::string& what, JsonValue& out,
                  std::string& error) {
  std::string text;
  if (!readWholeFile(path, kManifestLimit, text)) {
    error = what + ": cannot read " + shown(path) + " (missing, or over 32 MiB)";
    return false;
  }
  std::string why;
  if (!parseJson(text, out, &why)) {
    error = what + ": " + shown(path) + " is not valid JSON: " + why;
    return false;
  }
  return true;
}

// The path as the launcher will take it: checked, and written with "/" between names.
bool launcherAccepts(const std::string& path, std::string& normalized) {
  std::wstring wide;
  if (!isSafeRelativePath(path, wide)) return false;
  normalized = wideToUtf8(wide);
  std::replace(normalized.begin(), normalized.end(), '\\', '/');
  return true;
}

struct Walk {
  const BuildOptions& options;
  const std::wstring& gameDir;
  const std::string launcherName;  // folded, "" without --launcher
  std::vector<GameFile>& files;
  std::vector<std::string>& notes;
  std::string& error;

  bool isLauncherOwned(const std::string& name) const {
    const std::string f = fold(name);
    for (const char* own : kLauncherOwnFiles) {
      if (f == own) return true;
    }
    if (f == fold(kLauncherExecutable) || f == fold(kLauncherExecutable) + ".new" ||
        f == fold(kLauncherExecutable) + ".old") {
      return true;
    }
    return !launcherName.empty() &&
           (f == launcherName || f == launcherName + ".new" || f == launcherName + ".old");
  }

  bool folder(const std::string& prefix) {
    std::vector<std::pair<std::wstring, bool>> entries;
    const std::wstring dir = gameDir + nativeRelative(prefix);
    if (!listDirectory(dir, [&](const std::wstring& name, bool isDirectory) {
          entries.emplace_back(name, isDirectory);
          return true;
        })) {
      error = "cannot read the folder " + shown(dir);
      return false;
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& [wideName, isDirectory] : entries) {
      const std::string name = wideToUtf8(wideName);
      const std::string path = prefix + name;
      if (wideName.find_first_of(L"\\/") != std::wstring::npos) {
        error =
            "cannot publish \"" + path + "\": a name with a backslash is a folder path on Windows";
        return false;
      }
      if (wideName.find(L'\xFFFD') != std::wstring::npos) {
        error = "cannot publish \"" + path + "\": its name is not valid UTF-8";
        return false;
      }
      if (pathMatchesAny(options.exclude, path)) continue;
      if (!isDirectory && prefix.empty() && isLauncherOwned(name)) {
        notes.push_back("left out " + path + " (a file the launcher owns, not a game file)");
        continue;
      }
      if (!isDirectory && endsWithFolded(name, ".ap_tmp")) {
        notes.push_back("left out " + path + " (a temporary file of an interrupted update)");
        continue;
      }
      std::wstring checked;
      if (!isSafeRelativePath(path, checked)) {
        error =
            "cannot publish \"" + path +
            "\": the launcher refuses this path (over 400 bytes, "
            "a reserved character, or a name ending in a dot or a blank); rename or --exclude it";
        return false;
      }
      if (isDirectory) {
        if (!folder(path + "/")) return false;
      } else {
        GameFile f;
        f.path = path;
        f.full = gameDir + nativeRelative(path);
        f.keep = pathMatchesAny(options.keep, path);
        files.push_back(std::move(f));
      }
    }
    return true;
  }
};

// Two paths that Windows would take for one file break every update of that file.
bool checkCaseClashes(const std::vector<GameFile>& files, std::string& error) {
  std::map<std::string, const std::string*> seen;
  for (const GameFile& f : files) {
    const auto [it, added] = seen.emplace(fold(f.path), &f.path);
    if (!added) {
      error = "cannot publish both \"" + *it->second + "\" and \"" + f.path +
              "\": Windows treats them as the same file";
      return false;
    }
  }
  for (const GameFile& f : files) {
    for (std::size_t slash = f.path.find('/'); slash != std::string::npos;
         slash = f.path.find('/', slash + 1)) {
      const auto it = seen.find(fold(f.path.substr(0, slash)));
      if (it != seen.end()) {
        error = "cannot publish both the file \"" + *it->second + "\" and \"" + f.path +
                "\" inside a folder of that name";
        return false;
      }
    }
  }
  return true;
}

// The version already published by a manifest, or false when the text is none.
bool manifestVersion(const JsonValue& root, std::int64_t& version) {
  if (root.kind != JsonKind::Object || root.member("files").kind != JsonKind::Array) return false;
  version = root.member("version").asInt64();
  return true;
}

bool checkNews(const JsonValue& news, std::string& error) {
  if (news.kind != JsonKind::Array) {
    error = "--news: the file must hold a JSON array of news items";
    return false;
  }
  for (std::size_t i = 0; i < news.elements.size(); ++i) {
    if (news.elements[i].kind != JsonKind::Object) {
      error = "--news: item " + std::to_string(i + 1) + " is not an object";
      return false;
    }
  }
  return true;
}

bool checkLinks(const JsonValue& links, std::string& error) {
  if (links.kind != JsonKind::Object) {
    error = "--links: the file must hold a JSON object of names and addresses";
    return false;
  }
  for (const auto& [name, value] : links.members) {
    if (value.kind != JsonKind::String) {
      error = "--links: the value of \"" + name + "\" is not a string";
      return false;
    }
  }
  return true;
}

}  // namespace

bool buildRelease(const BuildOptions& options, BuildReport& report, std::string& error) {
  report = BuildReport{};
  const std::wstring gameDir = withSeparator(options.gameDir);
  const std::wstring releaseDir = withSeparator(options.releaseDir);
  const unsigned jobs =
      options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  auto status = [&](const std::string& line) {
    if (options.progress) options.progress(line);
  };

  // 1. Inputs, all read before anything is written.
  if (options.version < 0 || options.version > 2147483647) {
    error = "the version must be a whole number from 0 to 2147483647";
    return false;
  }
  if (options.expiresInDays < 0 || options.expiresInDays > kMaxExpiresInDays) {
    error = "the release must expire in 1 to " + std::to_string(kMaxExpiresInDays) + " days";
    return false;
  }
  if (!directoryExists(gameDir)) {
    error = "the game folder " + shown(options.gameDir) + " does not exist";
    return false;
  }
  std::string keyText;
  if (!readWholeFile(options.keyFile, 4096, keyText)) {
    error = "cannot read the secret key " + shown(options.keyFile);
    return false;
  }
  std::string keyFileHash;
  {
    Sha256Hasher hasher;
    hasher.update(keyText.data(), keyText.size());
    keyFileHash = hasher.finishHex();
  }
  SecretKey key;
  {
    std::string why;
    const bool parsed = parseSecretKeyFile(keyText, key, why);
    std::fill(keyText.begin(), keyText.end(), '\0');
    if (!parsed) {
      error = shown(options.keyFile) + ": " + why;
      return false;
    }
  }
  report.publicKeyHex = toHex(key.publicKey, kKeySize);

  ManifestData manifest;
  manifest.version = options.version;

  manifest.news.kind = JsonKind::Array;
  manifest.links.kind = JsonKind::Object;
  if (!options.newsFile.empty() &&
      (!readJsonFile(options.newsFile, "--news", manifest.news, error) ||
       !checkNews(manifest.news, error))) {
    return false;
  }
  if (!options.linksFile.empty() &&
      (!readJsonFile(options.linksFile, "--links", manifest.links, error) ||
       !checkLinks(manifest.links, error))) {
    return false;
  }

  std::vector<std::string> previousPaths;
  if (!options.previousManifest.empty()) {
    JsonValue previous;
    if (!readJsonFile(options.previousManifest, "--previous", previous, error)) return false;
    std::int64_t previousVersion = 0;
    if (!manifestVersion(previous, previousVersion)) {
      error = "--previous: " + shown(options.previousManifest) + " is not a release manifest";
      return false;
    }
    if (options.version < previousVersion) {
      error = "version " + std::to_string(options.version) + " is lower than version " +
              std::to_string(previousVersion) + " of " + shown(options.previousManifest) +
              "; launchers that have it would refuse this release";
      return false;
    }
    for (const JsonValue& e : previous.member("files").elements) {
      previousPaths.push_back(e.member("p").asString());
    }
    // Deletions of earlier releases stay, for players who skipped the previous one.
    for (const JsonValue& e : previous.member("delete").elements) {
      previousPaths.push_back(e.asString());
    }
  }

  std::string launcherPath;
  if (!options.launcherFile.empty()) {
    FileInfo info;
    if (!getFileInfo(options.launcherFile, info) || info.isDirectory) {
      error = "--launcher: " + shown(options.launcherFile) + " is not a file";
      return false;
    }
    if (!launcherAccepts(baseName(options.launcherFile), launcherPath)) {
      error = "--launcher: the launcher refuses the file name \"" + baseName(options.launcherFile) +
              "\"";
      return false;
    }
  }

  manifest.gameExe = options.gameExe.empty() ? kDefaultGameExe : options.gameExe;
  {
    std::string normalized;
    if (!launcherAccepts(manifest.gameExe, normalized)) {
      error = "--game-exe: the launcher refuses the path \"" + manifest.gameExe + "\"";
      return false;
    }
    manifest.gameExe = normalized;
  }

  // The release folder: created when missing, never inside the game folder (it would publish
  // itself), and never lowering the version it already serves.
  const bool releaseExisted = directoryExists(releaseDir);
  if (!ensureParentDirectory(releaseDir + L"manifest.json")) {
    error = "cannot create the release folder " + shown(options.releaseDir);
    return false;
  }
  if (isSameOrInside(releaseDir, gameDir)) {
    if (!releaseExisted) removeEmptyDirectory(releaseDir);
    error = "the release folder must not lie inside the game folder";
    return false;
  }
  {
    std::string text;
    JsonValue served;
    std::int64_t servedVersion = 0;
    if (readWholeFile(releaseDir + L"manifest.json", kManifestLimit, text) &&
        parseJson(text, served) && manifestVersion(served, servedVersion) &&
        options.version < servedVersion) {
      error = "version " + std::to_string(options.version) + " is lower than version " +
              std::to_string(servedVersion) + " already in " + shown(releaseDir + L"manifest.json");
      return false;
    }
  }

  // 2. The game folder, sorted by path so that the same folder gives the same manifest.
  std::vector<GameFile> files;
  Walk walk{options, gameDir,      launcherPath.empty() ? std::string() : fold(launcherPath),
            files,   report.notes, error};
  if (!walk.folder("")) return false;
  std::sort(files.begin(), files.end(),
            [](const GameFile& a, const GameFile& b) { return a.path < b.path; });
  if (!checkCaseClashes(files, error)) return false;
  {
    bool found = false;
    for (const GameFile& f : files) found = found || fold(f.path) == fold(manifest.gameExe);
    if (!found && !options.gameExe.empty()) {
      error = "--game-exe: \"" + manifest.gameExe + "\" is not a file of the game folder";
      return false;
    }
    if (!found) {
      report.notes.push_back(std::string("the game folder has no \"") + kDefaultGameExe +
                             "\", which the launcher starts unless --game-exe names another file");
    }
  }

  // 3. Hash pass; the launcher, when given, is the last job.
  GameFile launcher;
  if (!launcherPath.empty()) {
    launcher.path = launcherPath;
    launcher.full = options.launcherFile;
  }
  const std::size_t hashJobs = files.size() + (launcherPath.empty() ? 0 : 1);
  std::atomic<std::uint64_t> bytesDone{0};
  std::atomic<std::size_t> jobsDone{0};
  std::atomic<bool> stop{false};
  std::string firstError;
  std::mutex errorMutex;
  auto fail = [&](const std::string& message) {
    std::lock_guard<std::mutex> lock(errorMutex);
    if (firstError.empty()) firstError = message;
    return false;
  };
  WorkCounters counters{&bytesDone, &stop};
  const bool hashed = runParallel(
      hashJobs, jobs,
      [&](std::size_t i) {
        GameFile& f = i < files.size() ? files[i] : launcher;
        std::string why;
        if (!hashFileAndSize(f.full, f.hash, f.size, why, counters)) return fail(why);
        if (f.hash == keyFileHash) {
          return fail("\"" + f.path + "\" is the secret key file; it must never be published");
        }
        jobsDone.fetch_add(1);
        return true;
      },
      stop,
      [&] {
        status("hashing " + std::to_string(jobsDone.load()) + "/" + std::to_string(hashJobs) +
               " files, " + mib(bytesDone.load()));
      });
  if (!hashed) {
    status("");
    error = firstError.empty() ? "hashing stopped" : firstError;
    return false;
  }

  // 4. Store pass: each distinct content once.
  std::map<std::string, std::size_t> objectIndex;  // hash -> slot below
  std::vector<const GameFile*> objectSource;
  for (std::size_t i = 0; i < hashJobs; ++i) {
    const GameFile& f = i < files.size() ? files[i] : launcher;
    if (objectIndex.emplace(f.hash, objectSource.size()).second) objectSource.push_back(&f);
  }
  std::uint64_t storeTotal = 0;
  for (const GameFile* f : objectSource) storeTotal += f->size;
  std::vector<std::uint64_t> compressed(objectSource.size(), 0);
  std::vector<char> made(objectSource.size(), 0);
  std::vector<std::string> repaired(objectSource.size());
  bytesDone = 0;
  jobsDone = 0;
  const bool stored = runParallel(
      objectSource.size(), jobs,
      [&](std::size_t i) {
        const GameFile& f = *objectSource[i];
        const std::wstring target = objectPath(releaseDir, f.hash);
        std::string problem;
        const ObjectState state =
            checkObject(target, f.hash, f.size, compressed[i], problem, counters);
        if (stop.load()) return false;
        if (state != ObjectState::Good) {
          if (state == ObjectState::Damaged) repaired[i] = problem;
          std::string why;
          if (!compressToObject(f.full, target, f.hash, f.size, compressed[i], why, counters)) {
            return fail(why);
          }
          made[i] = 1;
        }
        jobsDone.fetch_add(1);
        return true;
      },
      stop,
      [&] {
        status("storing " + std::to_string(jobsDone.load()) + "/" +
               std::to_string(objectSource.size()) + " contents, " + mib(bytesDone.load()) +
               " of " + mib(storeTotal));
      });
  status("");
  if (!stored) {
    error = firstError.empty() ? "compression stopped" : firstError;
    return false;
  }
  for (std::size_t i = 0; i < objectSource.size(); ++i) {
    if (made[i]) {
      ++report.objectsCompressed;
      report.compressedBytes += compressed[i];
    } else {
      ++report.objectsReused;
    }
    if (!repaired[i].empty()) {
      report.notes.push_back("made " + objectName(objectSource[i]->hash) + " again: it " +
                             repaired[i]);
    }
  }

  // 5. The manifest.
  auto entryOf = [&](const GameFile& f) {
    ManifestFile m;
    m.path = f.path;
    m.hash = f.hash;
    m.size = f.size;
    m.compressedSize = compressed[objectIndex[f.hash]];
    m.keep = f.keep;
    return m;
  };
  for (const GameFile& f : files) {
    manifest.files.push_back(entryOf(f));
    report.bytes += f.size;
  }
  report.files = files.size();
  if (!launcherPath.empty()) {
    manifest.hasLauncher = true;
    manifest.launcher = entryOf(launcher);
    manifest.launcher.keep = false;
  }

  // Deletion list: what the previous release had and this one no longer has. A path that is
  // still here (in any letter case, or as a folder of this release) must not be deleted: the
  // launcher deletes after it downloads, and Windows would remove the new file.
  std::set<std::string> present;
  for (const GameFile& f : files) {
    present.insert(fold(f.path));
    for (std::size_t slash = f.path.find('/'); slash != std::string::npos;
         slash = f.path.find('/', slash + 1)) {
      present.insert(fold(f.path.substr(0, slash)));
    }
  }
  if (!launcherPath.empty()) present.insert(fold(launcherPath));
  std::sort(previousPaths.begin(), previousPaths.end());
  for (const std::string& p : previousPaths) {
    std::string normalized;
    if (!launcherAccepts(p, normalized)) continue;
    if (present.insert(fold(normalized)).second) manifest.deletes.push_back(normalized);
  }
  std::sort(manifest.deletes.begin(), manifest.deletes.end());
  report.deletes = manifest.deletes.size();

  if (options.expiresInDays > 0) {
    // Counted from now, when the manifest is signed, not from the start of a long build.
    report.expires = utcNow() + std::int64_t{options.expiresInDays} * 86400;
    manifest.expires = formatUtcTime(report.expires);
  }
  std::string text;
  if (!writeManifestText(manifest, text, error)) {
    error = "--news or --links: " + error;
    return false;
  }
  report.manifestBytes = text.size();
  if (text.size() > kManifestLimit) {
    error = "manifest.json would be " + std::to_string(text.size()) +
            " bytes; the launcher reads at most 33554432";
    return false;
  }
  std::uint8_t signature[kSignatureSize];
  if (!signMessage(key, text, signature, error)) return false;
  // Checked before anything is written, so that a release is never published unsigned.
  if (!checkSignature(key.publicKey, signature, text)) {
    error = "the new signature does not verify; nothing was published";
    return false;
  }
  if (!writeFileAtomically(releaseDir + L"manifest.json", text)) {
    error = "cannot write " + shown(releaseDir + L"manifest.json");
    return false;
  }
  if (!writeFileAtomically(
          releaseDir + L"manifest.sig",
          std::string_view(reinterpret_cast<const char*>(signature), kSignatureSize))) {
    error = "cannot write " + shown(releaseDir + L"manifest.sig") +
            ": manifest.json is new but unsigned; run build again";
    return false;
  }
  return true;
}
