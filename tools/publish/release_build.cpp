// build, in the order it runs: one function a step, handing a BuildContext on
//   1. readInputs: secret key, news, links, previous manifest, the version rule
//   2. walkGameFolder: sorted; excluded and launcher-owned names left out
//   3. hashFiles: the hash pass, in parallel
//   4. storeContents: the store pass, in parallel: each distinct content checked or compressed
//      storeChunks: the large contents cut into chunks, each distinct chunk an object of its own,
//      and each large content's chunk list an object too
//   5. writeManifest: manifest.json and manifest.sig, last and only after the launcher's check
#include "release_build.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>

#include "base/chunk_file.h"
#include "base/files.h"
#include "base/folder_lock.h"
#include "base/parallel.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "formats/chunk_list.h"
#include "formats/chunking.h"
#include "formats/json.h"
#include "formats/utc_time.h"
#include "glob.h"
#include "keys.h"
#include "manifest_writer.h"
#include "objects.h"
#include "publish_platform.h"

namespace {

struct GameFile {
  std::string path;   // "/" between names
  std::wstring full;  // on disk
  std::string hash;
  std::uint64_t size = 0;
  bool keep = false;
};

// What the store pass found for one distinct content.
struct StoredObject {
  const GameFile* source = nullptr;  // the first file with this content
  std::uint64_t compressed = 0;      // length of its object
  bool made = false;                 // compressed by this build, not found in the store
  std::string repaired;              // why a damaged object was made again; "" otherwise
  std::vector<ChunkRef> chunks;      // a large content's chunks, in order
  ChunkRef chunkList;                // their list's object; hash "" without one
};

// Names the launcher itself keeps in the game folder (its settings, its cache, its side files):
// publishing them would overwrite every player's own copy on each run.
const char* const kLauncherOwnFiles[] = {
    "patcher.ini",          "patcher_cache.dat",      "patcher.lock",
    "patcher_manifest.dat", "patcher_write_test.tmp", "quillmark_dev.key",
    "patcher_chunks"};

std::string fold(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
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
    error =
        what + ": cannot read " + shown(path) + " (missing, or over " + mib(kManifestLimit) + ")";
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
      if (prefix.empty() && isLauncherOwned(name)) {
        notes.push_back("left out " + path + " (the launcher's own, not a game file)");
        continue;
      }
      if (!isDirectory && isTemporaryPath(wideName)) {
        notes.push_back("left out " + path + " (a temporary file of an interrupted update)");
        continue;
      }
      std::wstring checked;
      if (!isSafeRelativePath(path, checked)) {
        error = "cannot publish \"" + path +
                "\": the launcher refuses this path (over 400 bytes, a reserved character, or "
                "a name ending in a dot or a blank); rename or --exclude it";
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

// What the steps of one build hand on to each other.
struct BuildContext {
  BuildContext(const BuildOptions& o, BuildReport& r)
      : options(o),
        report(r),
        gameDir(withSeparator(o.gameDir)),
        releaseDir(withSeparator(o.releaseDir)),
        jobs(threadsFor(o.jobs)) {}

  const BuildOptions& options;
  BuildReport& report;
  std::wstring gameDir;     // ends in a separator
  std::wstring releaseDir;  // ends in a separator
  unsigned jobs;
  FolderLock releaseLock;  // held from the release folder's creation to the end

  // 1. Inputs.
  SecretKey key;
  std::string keyFileHash;  // of the key file's bytes: a copy of it is never published
  ManifestData manifest;    // version, game_exe, news and links; files and deletions come last
  std::vector<std::string> previousPaths;  // files and deletions of --previous
  std::string launcherPath;                // as the launcher takes it; "" without --launcher

  // 2. and 3. The game files, sorted by path, then the launcher; hashed and sized in step 3.
  std::vector<GameFile> files;
  GameFile launcher;

  // 4. Each distinct content once, in the order of its first file.
  std::vector<StoredObject> objects;
  std::map<std::string, std::size_t> objectIndex;  // hash -> index in objects

  void status(const std::string& line) const {
    if (options.progress) options.progress(line);
  }
  // The hash pass works on every game file and, when given, the launcher last.
  std::size_t hashJobs() const { return files.size() + (launcherPath.empty() ? 0 : 1); }
  GameFile& hashJob(std::size_t i) { return i < files.size() ? files[i] : launcher; }
};

// --- 1. inputs, all read before anything is written ------------------------------------------

bool checkVersionAndGameFolder(const BuildContext& c, std::string& error) {
  if (c.options.version < 0 || c.options.version > 2147483647) {
    error = "the version must be a whole number from 0 to 2147483647";
    return false;
  }
  if (c.options.expiresInDays < 0 || c.options.expiresInDays > kMaxExpiresInDays) {
    error = "the release must expire in 1 to " + std::to_string(kMaxExpiresInDays) + " days";
    return false;
  }
  if (!directoryExists(c.gameDir)) {
    error = "the game folder " + shown(c.options.gameDir) + " does not exist";
    return false;
  }
  return true;
}

// The key file's hash is kept as well, so that the hash pass can refuse a copy of it.
bool readSecretKey(BuildContext& c, std::string& error) {
  const std::wstring& path = c.options.keyFile;
  std::string keyText;
  if (!readWholeFile(path, 4096, keyText)) {
    error = "cannot read the secret key " + shown(path);
    return false;
  }
  Sha256Hasher hasher;
  hasher.update(keyText.data(), keyText.size());
  c.keyFileHash = hasher.finishHex();
  std::string why;
  const bool parsed = parseSecretKeyFile(keyText, c.key, why);
  std::fill(keyText.begin(), keyText.end(), '\0');
  if (!parsed) {
    error = shown(path) + ": " + why;
    return false;
  }
  c.report.publicKeyHex = toHex(c.key.publicKey, kKeySize);
  return true;
}

bool readNewsAndLinks(BuildContext& c, std::string& error) {
  const BuildOptions& o = c.options;
  ManifestData& m = c.manifest;
  m.version = o.version;
  m.news.kind = JsonKind::Array;
  m.links.kind = JsonKind::Object;
  if (!o.newsFile.empty() &&
      (!readJsonFile(o.newsFile, "--news", m.news, error) || !checkNews(m.news, error))) {
    return false;
  }
  if (!o.linksFile.empty() &&
      (!readJsonFile(o.linksFile, "--links", m.links, error) || !checkLinks(m.links, error))) {
    return false;
  }
  return true;
}

bool readPreviousManifest(BuildContext& c, std::string& error) {
  const BuildOptions& o = c.options;
  if (o.previousManifest.empty()) return true;
  JsonValue previous;
  if (!readJsonFile(o.previousManifest, "--previous", previous, error)) return false;
  std::int64_t previousVersion = 0;
  if (!manifestVersion(previous, previousVersion)) {
    error = "--previous: " + shown(o.previousManifest) + " is not a release manifest";
    return false;
  }
  if (o.version < previousVersion) {
    error = "version " + std::to_string(o.version) + " is lower than version " +
            std::to_string(previousVersion) + " of " + shown(o.previousManifest) +
            "; launchers that have it would refuse this release";
    return false;
  }
  for (const JsonValue& e : previous.member("files").elements) {
    c.previousPaths.push_back(e.member("p").asString());
  }
  // Deletions of earlier releases stay, for players who skipped the previous one.
  for (const JsonValue& e : previous.member("delete").elements) {
    c.previousPaths.push_back(e.asString());
  }
  return true;
}

bool checkLauncherFile(BuildContext& c, std::string& error) {
  const std::wstring& file = c.options.launcherFile;
  if (file.empty()) return true;
  FileInfo info;
  if (!getFileInfo(file, info) || info.isDirectory) {
    error = "--launcher: " + shown(file) + " is not a file";
    return false;
  }
  if (!launcherAccepts(baseName(file), c.launcherPath)) {
    error = "--launcher: the launcher refuses the file name \"" + baseName(file) + "\"";
    return false;
  }
  return true;
}

bool checkGameExePath(BuildContext& c, std::string& error) {
  std::string& exe = c.manifest.gameExe;
  exe = c.options.gameExe.empty() ? kDefaultGameExe : c.options.gameExe;
  std::string normalized;
  if (!launcherAccepts(exe, normalized)) {
    error = "--game-exe: the launcher refuses the path \"" + exe + "\"";
    return false;
  }
  exe = normalized;
  return true;
}

// The release folder: created when missing, never inside the game folder (it would publish
// itself), locked against another build or a prune, and never lowering the version it already
// serves.
bool prepareReleaseFolder(BuildContext& c, std::string& error) {
  const std::wstring manifestPath = c.releaseDir + L"manifest.json";
  const bool releaseExisted = directoryExists(c.releaseDir);
  if (!ensureParentDirectory(manifestPath)) {
    error = "cannot create the release folder " + shown(c.options.releaseDir);
    return false;
  }
  if (isSameOrInside(c.releaseDir, c.gameDir)) {
    if (!releaseExisted) removeEmptyDirectory(c.releaseDir);
    error = "the release folder must not lie inside the game folder";
    return false;
  }
  // A folder that cannot be locked at all is still built into (the lock guards against a
  // prune, which refuses such a folder).
  std::string lockError;
  switch (lockReleaseFolder(c.releaseLock, c.options.releaseDir, lockError)) {
    case FolderLock::Outcome::Held:
      break;
    case FolderLock::Outcome::Busy:
      error = lockError;
      return false;
    case FolderLock::Outcome::Failed:
      c.report.notes.push_back(lockError);
      break;
  }
  std::string text;
  JsonValue served;
  std::int64_t servedVersion = 0;
  if (readWholeFile(manifestPath, kManifestLimit, text) && parseJson(text, served) &&
      manifestVersion(served, servedVersion) && c.options.version < servedVersion) {
    error = "version " + std::to_string(c.options.version) + " is lower than version " +
            std::to_string(servedVersion) + " already in " + shown(manifestPath);
    return false;
  }
  return true;
}

bool readInputs(BuildContext& c, std::string& error) {
  return checkVersionAndGameFolder(c, error) && readSecretKey(c, error) &&
         readNewsAndLinks(c, error) && readPreviousManifest(c, error) &&
         checkLauncherFile(c, error) && checkGameExePath(c, error) &&
         prepareReleaseFolder(c, error);
}

// --- 2. the game folder ----------------------------------------------------------------------

// An explicit --game-exe must be a file of the release; the default may be missing (a note).
bool checkGameExePublished(BuildContext& c, std::string& error) {
  const std::string exe = fold(c.manifest.gameExe);
  bool found = false;
  for (const GameFile& f : c.files) found = found || fold(f.path) == exe;
  if (!found && !c.options.gameExe.empty()) {
    error = "--game-exe: \"" + c.manifest.gameExe + "\" is not a file of the game folder";
    return false;
  }
  if (!found) {
    c.report.notes.push_back(std::string("the game folder has no \"") + kDefaultGameExe +
                             "\", which the launcher starts unless --game-exe names another file");
  }
  return true;
}

// Sorted by path, so that the same folder gives the same manifest.
bool walkGameFolder(BuildContext& c, std::string& error) {
  const std::string launcherName = c.launcherPath.empty() ? std::string() : fold(c.launcherPath);
  Walk walk{c.options, c.gameDir, launcherName, c.files, c.report.notes, error};
  if (!walk.folder("")) return false;
  std::sort(c.files.begin(), c.files.end(),
            [](const GameFile& a, const GameFile& b) { return a.path < b.path; });
  return checkCaseClashes(c.files, error) && checkGameExePublished(c, error);
}

// --- 3. and 4. the parallel passes -----------------------------------------------------------

// Shared by the workers of one pass: the progress counts, the request to stop, and the first
// failure, which is the one the build reports.
struct Pass {
  std::atomic<std::uint64_t> bytesDone{0};
  std::atomic<std::size_t> jobsDone{0};
  std::atomic<bool> stop{false};
  WorkCounters counters{&bytesDone, &stop};
  std::mutex errorMutex;
  std::string firstError;

  bool fail(const std::string& message) {
    std::lock_guard<std::mutex> lock(errorMutex);
    if (firstError.empty()) firstError = message;
    return false;
  }
  std::string errorOr(const char* fallback) const {
    return firstError.empty() ? fallback : firstError;
  }
};

bool hashOne(GameFile& f, const std::string& keyFileHash, Pass& pass) {
  std::string why;
  if (!hashFileAndSize(f.full, f.hash, f.size, why, pass.counters)) return pass.fail(why);
  if (f.hash == keyFileHash) {
    return pass.fail("\"" + f.path + "\" is the secret key file; it must never be published");
  }
  pass.jobsDone.fetch_add(1);
  return true;
}

bool hashFiles(BuildContext& c, std::string& error) {
  if (!c.launcherPath.empty()) {
    c.launcher.path = c.launcherPath;
    c.launcher.full = c.options.launcherFile;
  }
  const std::size_t count = c.hashJobs();
  Pass pass;
  const bool hashed = runJobsWithProgress(
      count, c.jobs, [&](std::size_t i) { return hashOne(c.hashJob(i), c.keyFileHash, pass); },
      pass.stop,
      [&] {
        c.status("hashing " + std::to_string(pass.jobsDone.load()) + "/" + std::to_string(count) +
                 " files, " + mib(pass.bytesDone.load()));
      });
  if (!hashed) {
    c.status("");
    error = pass.errorOr("hashing stopped");
    return false;
  }
  return true;
}

void listDistinctContents(BuildContext& c) {
  for (std::size_t i = 0; i < c.hashJobs(); ++i) {
    const GameFile& f = c.hashJob(i);
    if (!c.objectIndex.emplace(f.hash, c.objects.size()).second) continue;
    StoredObject o;
    o.source = &f;
    c.objects.push_back(std::move(o));
  }
}

// A content already in the store is checked whole; a missing or damaged one is compressed.
bool storeOne(StoredObject& o, const std::wstring& releaseDir, Pass& pass) {
  const GameFile& f = *o.source;
  const std::wstring target = objectPath(releaseDir, f.hash);
  std::string problem;
  const ObjectState state =
      checkObject(target, f.hash, f.size, o.compressed, problem, pass.counters);
  if (pass.stop.load()) return false;
  if (state != ObjectState::Good) {
    if (state == ObjectState::Damaged) o.repaired = problem;
    std::string why;
    if (!compressToObject(f.full, target, f.hash, f.size, o.compressed, why, pass.counters)) {
      return pass.fail(why);
    }
    o.made = true;
  }
  pass.jobsDone.fetch_add(1);
  return true;
}

void reportStore(BuildContext& c) {
  BuildReport& r = c.report;
  for (const StoredObject& o : c.objects) {
    if (o.made) {
      ++r.objectsCompressed;
      r.compressedBytes += o.compressed;
    } else {
      ++r.objectsReused;
    }
    if (!o.repaired.empty()) {
      r.notes.push_back("made " + objectName(o.source->hash) + " again: it " + o.repaired);
    }
  }
}

bool storeContents(BuildContext& c, std::string& error) {
  listDistinctContents(c);
  std::uint64_t total = 0;
  for (const StoredObject& o : c.objects) total += o.source->size;
  Pass pass;
  const bool stored = runJobsWithProgress(
      c.objects.size(), c.jobs,
      [&](std::size_t i) { return storeOne(c.objects[i], c.releaseDir, pass); }, pass.stop,
      [&] {
        c.status("storing " + std::to_string(pass.jobsDone.load()) + "/" +
                 std::to_string(c.objects.size()) + " contents, " + mib(pass.bytesDone.load()) +
                 " of " + mib(total));
      });
  c.status("");
  if (!stored) {
    error = pass.errorOr("compression stopped");
    return false;
  }
  reportStore(c);
  return true;
}

// The chunk objects of one build: each distinct chunk is stored by the first worker to meet it.
struct ChunkStore {
  std::mutex mutex;
  std::set<std::string> claimed;
  std::map<std::string, std::uint64_t> compressed;  // hash -> length of its object
  std::size_t made = 0;
  std::size_t reused = 0;
  std::uint64_t madeBytes = 0;

  bool claim(const std::string& hash) {
    std::lock_guard<std::mutex> lock(mutex);
    return claimed.insert(hash).second;
  }
  void stored(const std::string& hash, std::uint64_t length, bool wasMade) {
    std::lock_guard<std::mutex> lock(mutex);
    compressed[hash] = length;
    if (wasMade) {
      ++made;
      madeBytes += length;
    } else {
      ++reused;
    }
  }
};

bool storeChunk(const FileChunk& chunk, const std::wstring& releaseDir, ChunkStore& store,
                Pass& pass) {
  const std::wstring target = objectPath(releaseDir, chunk.hash);
  std::uint64_t length = 0;
  std::string problem;
  const bool good =
      checkObject(target, chunk.hash, chunk.size, length, problem) == ObjectState::Good;
  if (!good && !compressBytesToObject(chunk.bytes, chunk.size, target, length, problem)) {
    return pass.fail(problem);
  }
  store.stored(chunk.hash, length, !good);
  return true;
}

// Cuts one content and stores its new chunks; the chunks must add up to the content that was
// hashed, or the file changed meanwhile.
bool chunkOne(StoredObject& o, const std::wstring& releaseDir, ChunkStore& store, Pass& pass) {
  const GameFile& f = *o.source;
  Sha256Hasher whole;
  std::uint64_t total = 0;
  const bool cut = cutFile(f.full, [&](const FileChunk& chunk) {
    if (pass.stop.load()) return false;
    whole.update(chunk.bytes, chunk.size);
    total += chunk.size;
    pass.bytesDone.fetch_add(chunk.size);
    o.chunks.push_back(ChunkRef{chunk.hash, chunk.size, 0});
    return !store.claim(chunk.hash) || storeChunk(chunk, releaseDir, store, pass);
  });
  if (!cut) return pass.fail("cannot cut " + shown(f.full) + " into chunks");
  if (total != f.size || whole.finishHex() != f.hash) {
    return pass.fail(shown(f.full) + " changed while the release was being built");
  }
  pass.jobsDone.fetch_add(1);
  return true;
}

// The list of one content's chunks, stored as a chunk is (so a list already in the store is
// reused). A list longer than launchers read is not stored: that file comes whole.
bool storeChunkList(StoredObject& o, const std::wstring& releaseDir, ChunkStore& store,
                    Pass& pass) {
  const std::string text = chunkListText(o.chunks);
  if (text.size() > kChunkListMaxBytes) return true;
  Sha256Hasher hasher;
  hasher.update(text.data(), text.size());
  const FileChunk list{0, text.size(), hasher.finishHex(),
                       reinterpret_cast<const std::uint8_t*>(text.data())};
  if (list.hash.empty()) return pass.fail("SHA-256 is not available");
  if (store.claim(list.hash) && !storeChunk(list, releaseDir, store, pass)) return false;
  o.chunkList = ChunkRef{list.hash, text.size(), 0};
  return true;
}

bool storeChunks(BuildContext& c, std::string& error) {
  std::vector<StoredObject*> large;
  ChunkStore store;
  for (StoredObject& o : c.objects) {
    if (o.source->size > kChunkedFileMinBytes) large.push_back(&o);
    // A chunk with the content of a whole file is that file's object, already stored.
    store.claimed.insert(o.source->hash);
    store.compressed[o.source->hash] = o.compressed;
  }
  if (large.empty()) return true;
  Pass pass;
  const bool cut = runJobsWithProgress(
      large.size(), c.jobs,
      [&](std::size_t i) { return chunkOne(*large[i], c.releaseDir, store, pass); }, pass.stop,
      [&] {
        c.status("cutting " + std::to_string(pass.jobsDone.load()) + "/" +
                 std::to_string(large.size()) + " large files into chunks, " +
                 mib(pass.bytesDone.load()));
      });
  c.status("");
  if (!cut) {
    error = pass.errorOr("chunking stopped");
    return false;
  }
  for (StoredObject* o : large) {
    for (ChunkRef& chunk : o->chunks) chunk.compressedSize = store.compressed[chunk.hash];
  }
  // The lists name their chunks' object lengths, so they are made once every chunk is stored.
  const bool listed = runJobsWithProgress(
      large.size(), c.jobs,
      [&](std::size_t i) { return storeChunkList(*large[i], c.releaseDir, store, pass); },
      pass.stop, [] {});
  if (!listed) {
    error = pass.errorOr("chunking stopped");
    return false;
  }
  for (StoredObject* o : large) {
    if (o->chunkList.hash.empty()) {
      c.report.notes.push_back(o->source->path +
                               " is published without its chunk list, longer "
                               "than launchers read: it is downloaded whole");
    }
    o->chunkList.compressedSize = store.compressed[o->chunkList.hash];
  }
  c.report.chunksCompressed = store.made;
  c.report.chunksReused = store.reused;
  c.report.chunkBytes = store.madeBytes;
  return true;
}

// --- 5. the manifest -------------------------------------------------------------------------

ManifestFile manifestEntry(const BuildContext& c, const GameFile& f) {
  ManifestFile m;
  m.path = f.path;
  m.hash = f.hash;
  m.size = f.size;
  const StoredObject& o = c.objects[c.objectIndex.find(f.hash)->second];
  m.compressedSize = o.compressed;
  m.keep = f.keep;
  m.chunkList = o.chunkList;
  return m;
}

void addManifestEntries(BuildContext& c) {
  for (const GameFile& f : c.files) {
    c.manifest.files.push_back(manifestEntry(c, f));
    c.report.bytes += f.size;
  }
  c.report.files = c.files.size();
  if (!c.launcherPath.empty()) {
    c.manifest.hasLauncher = true;
    c.manifest.launcher = manifestEntry(c, c.launcher);
    c.manifest.launcher.keep = false;
    // The launcher replaces itself whole.
    c.manifest.launcher.chunkList = ChunkRef();
  }
}

// Deletion list: what the previous release had and this one no longer has. A path that is
// still here (in any letter case, or as a folder of this release) must not be deleted: the
// launcher deletes after it downloads, and Windows would remove the new file.
void listDeletions(BuildContext& c) {
  std::set<std::string> present;
  for (const GameFile& f : c.files) {
    present.insert(fold(f.path));
    for (std::size_t slash = f.path.find('/'); slash != std::string::npos;
         slash = f.path.find('/', slash + 1)) {
      present.insert(fold(f.path.substr(0, slash)));
    }
  }
  if (!c.launcherPath.empty()) present.insert(fold(c.launcherPath));
  std::sort(c.previousPaths.begin(), c.previousPaths.end());
  std::vector<std::string>& deletes = c.manifest.deletes;
  for (const std::string& p : c.previousPaths) {
    std::string normalized;
    if (!launcherAccepts(p, normalized)) continue;
    if (present.insert(fold(normalized)).second) deletes.push_back(normalized);
  }
  std::sort(deletes.begin(), deletes.end());
  c.report.deletes = deletes.size();
}

bool manifestText(BuildContext& c, std::string& text, std::string& error) {
  if (c.options.expiresInDays > 0) {
    // Counted from now, when the manifest is signed, not from the start of a long build.
    c.report.expires = utcNow() + std::int64_t{c.options.expiresInDays} * 86400;
    c.manifest.expires = formatUtcTime(c.report.expires);
  }
  if (!writeManifestText(c.manifest, text, error)) {
    error = "--news or --links: " + error;
    return false;
  }
  c.report.manifestBytes = text.size();
  if (text.size() > kManifestLimit) {
    error = "manifest.json would be " + std::to_string(text.size()) +
            " bytes; the launcher reads at most " + std::to_string(kManifestLimit);
    return false;
  }
  if (text.size() > kManifestLimitBefore) {
    c.report.notes.push_back("manifest.json is " + mib(text.size()) +
                             ": launchers that read at most 32 MiB cannot update to this release, "
                             "nor replace themselves from it");
  }
  return true;
}

bool signAndWrite(const BuildContext& c, const std::string& text, std::string& error) {
  std::uint8_t signature[kSignatureSize];
  if (!signMessage(c.key, text, signature, error)) return false;
  // Checked before anything is written, so that a release is never published unsigned.
  if (!checkSignature(c.key.publicKey, signature, text)) {
    error = "the new signature does not verify; nothing was published";
    return false;
  }
  const std::wstring manifestPath = c.releaseDir + L"manifest.json";
  const std::wstring signaturePath = c.releaseDir + L"manifest.sig";
  // The history first: a release that is served and missing from it would lose its objects to
  // the next prune.
  const std::wstring historyPath = historyManifestPath(c.releaseDir, c.options.version);
  if (!ensureParentDirectory(historyPath) || !writeFileAtomically(historyPath, text)) {
    error = "cannot write " + shown(historyPath) + "; nothing was published";
    return false;
  }
  if (!writeFileAtomically(manifestPath, text)) {
    error = "cannot write " + shown(manifestPath);
    return false;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(signature), kSignatureSize);
  if (!writeFileAtomically(signaturePath, bytes)) {
    error = "cannot write " + shown(signaturePath) +
            ": manifest.json is new but unsigned; run build again";
    return false;
  }
  return true;
}

bool writeManifest(BuildContext& c, std::string& error) {
  addManifestEntries(c);
  listDeletions(c);
  std::string text;
  return manifestText(c, text, error) && signAndWrite(c, text, error);
}

}  // namespace

std::wstring withSeparator(std::wstring dir) {
  if (dir.empty()) return L".\\";
  if (dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
  return dir;
}

std::wstring historyManifestPath(const std::wstring& releaseDir, std::int64_t version) {
  return releaseDir + L"history\\" + std::to_wstring(version) + L".json";
}

FolderLock::Outcome lockReleaseFolder(FolderLock& lock, const std::wstring& releaseDir,
                                      std::string& error) {
  const FolderLock::Outcome outcome = lock.acquire(withSeparator(releaseDir));
  if (outcome == FolderLock::Outcome::Busy) {
    error = "another build or prune of the release folder " + shown(releaseDir) +
            " is running; try again when it has finished";
  } else if (outcome == FolderLock::Outcome::Failed) {
    error = "cannot lock the release folder " + shown(releaseDir);
  }
  return outcome;
}

bool buildRelease(const BuildOptions& options, BuildReport& report, std::string& error) {
  report = BuildReport{};
  BuildContext c(options, report);
  return readInputs(c, error) && walkGameFolder(c, error) && hashFiles(c, error) &&
         storeContents(c, error) && storeChunks(c, error) && writeManifest(c, error);
}
