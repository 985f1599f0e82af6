// prune, in the order it runs: one function a step, handing a PruneContext on
//   1. lockAndCheck: the folder's lock (the one build holds), no link at files/ or history/
//   2. chooseReleases: history/<N>.json and the served manifest.json by version; which to keep
//   3. collectUsed: every object the kept releases name (file and launcher contents, chunk
//      lists and the chunks they list), as 32-byte hashes
//   4. findUnused: the objects of files/ab/ that none of them uses; old temporary files
//   5. removeUnused: the dropped releases' history first, then the objects, then empty folders
#include "release_prune.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "base/files.h"
#include "base/folder_lock.h"
#include "base/paths.h"
#include "base/text.h"
#include "formats/chunk_list.h"
#include "formats/json.h"
#include "formats/utc_time.h"
#include "keys.h"
#include "objects.h"
#include "release_build.h"

namespace {

using Hash = std::array<std::uint8_t, 32>;

// A temporary file younger than this may be an object that a build is still writing (one that
// takes no lock: an older publisher, or one on another machine); older ones are leftovers.
constexpr std::uint64_t kTemporaryAge = 24ull * 3600 * 10000000;  // a day, in FILETIME units
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

std::string shown(const std::wstring& path) { return wideToUtf8(path); }

// "<version>.json" with a version of the range build accepts.
bool historyVersion(const std::wstring& name, std::int64_t& version) {
  const std::size_t digits = name.size() - 5;
  if (name.size() < 6 || name.size() > 15 || name.compare(digits, 5, L".json") != 0) return false;
  version = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    if (name[i] < L'0' || name[i] > L'9') return false;
    version = version * 10 + (name[i] - L'0');
  }
  return version <= 2147483647;
}

// The hash of an object's file name, "<64 hex digits>.z".
bool objectHash(const std::wstring& name, Hash& out) {
  return name.size() == 66 && name.compare(64, 2, L".z") == 0 &&
         parseHexKey(wideToUtf8(name.substr(0, 64)), out.data());
}

struct PruneContext {
  PruneContext(const PruneOptions& o, PruneReport& r)
      : options(o), report(r), releaseDir(withSeparator(o.releaseDir)) {}

  const PruneOptions& options;
  PruneReport& report;
  std::wstring releaseDir;  // ends in a separator
  FolderLock lock;

  // 2. The releases.
  std::string servedText;  // manifest.json
  std::int64_t servedVersion = 0;
  std::map<std::int64_t, std::wstring> history;  // version -> file below history/
  std::vector<std::wstring> historyRemovals;

  // 3. What the kept releases use: sorted and unique once collected.
  std::vector<Hash> used;
  std::set<Hash> listsRead;

  // 4. What goes, parallel to report.removed, and the folders that may be left empty.
  std::vector<std::wstring> removals;
  std::vector<std::wstring> storeFolders;
};

// --- 1. the folder ---------------------------------------------------------------------------

bool lockAndCheck(PruneContext& c, std::string& error) {
  if (!directoryExists(c.releaseDir)) {
    error = "the release folder " + shown(c.options.releaseDir) + " does not exist";
    return false;
  }
  if (lockReleaseFolder(c.lock, c.options.releaseDir, error) != FolderLock::Outcome::Held)
    return false;
  for (const wchar_t* name : {L"files", L"history"}) {
    FileInfo info;
    if (getEntryInfo(c.releaseDir + name, info) && (info.isLink || !info.isDirectory)) {
      error = shown(c.releaseDir + name) +
              " is a link or not a folder; prune removes nothing through a link";
      return false;
    }
  }
  return true;
}

// --- 2. the releases -------------------------------------------------------------------------

bool listHistory(PruneContext& c, std::string& error) {
  const std::wstring dir = c.releaseDir + L"history";
  if (!directoryExists(dir)) return true;
  if (!listDirectory(dir, [&](const std::wstring& name, bool isDirectory) {
        std::int64_t version = 0;
        if (!isDirectory && historyVersion(name, version)) c.history[version] = name;
        return true;
      })) {
    error = "cannot read the folder " + shown(dir);
    return false;
  }
  return true;
}

// A manifest's tree, or false when the text is no release manifest.
bool parseReleaseManifest(const std::string& text, JsonValue& root) {
  return parseJson(text, root) && root.kind == JsonKind::Object &&
         root.member("files").kind == JsonKind::Array &&
         root.member("version").kind == JsonKind::Number;
}

bool readServedVersion(PruneContext& c, std::string& error) {
  JsonValue root;
  if (!readWholeFile(c.releaseDir + L"manifest.json", kManifestLimit, c.servedText) ||
      !parseReleaseManifest(c.servedText, root)) {
    error = shown(c.releaseDir + L"manifest.json") +
            " is missing or no release manifest: prune keeps the releases before the one served";
    return false;
  }
  c.servedVersion = root.member("version").asInt64();
  return true;
}

// The served version and the history's up to it count; a history manifest above it was never
// served (its build stopped before publishing) and goes, as do those of the releases dropped.
bool chooseReleases(PruneContext& c, std::string& error) {
  if (!listHistory(c, error) || !readServedVersion(c, error)) return false;
  PruneReport& r = c.report;
  std::set<std::int64_t> versions{c.servedVersion};
  for (const auto& [version, name] : c.history) {
    if (version <= c.servedVersion) versions.insert(version);
  }
  r.releasesRecorded = versions.size();
  // Always the served release, whatever keep says.
  const std::size_t keep = static_cast<std::size_t>(std::max(c.options.keep, 1));
  if (versions.size() < keep) {
    r.tooFewReleases = true;
    return true;
  }
  for (auto it = versions.rbegin(); it != versions.rend() && r.keptVersions.size() < keep; ++it) {
    r.keptVersions.push_back(*it);
  }
  for (const auto& [version, name] : c.history) {
    if (version >= r.keptVersions.back() && version <= c.servedVersion) continue;
    if (version > c.servedVersion) {
      r.notes.push_back("history/" + shown(name) + ": version " + std::to_string(version) +
                        " was never served (its build stopped before publishing)");
    }
    r.removedHistory.push_back("history/" + shown(name));
    c.historyRemovals.push_back(c.releaseDir + L"history\\" + name);
  }
  return true;
}

// --- 3. the objects the kept releases use ----------------------------------------------------

bool addUsed(PruneContext& c, const std::string& hex) {
  Hash h;
  if (hex.size() != 64 || !parseHexKey(hex, h.data())) return false;
  c.used.push_back(h);
  return true;
}

// A list's object is read once, however many files and releases name it.
bool collectChunkList(PruneContext& c, const JsonValue& list, std::uint64_t fileSize,
                      const std::string& what, std::string& error) {
  const std::string hex = list.member("h").asString();
  const std::int64_t listSize = list.member("s").asInt64();
  std::string problem = "is named without a valid hash and size";
  if (addUsed(c, hex) && listSize > 0) {
    if (!c.listsRead.insert(c.used.back()).second) return true;
    std::string text;
    std::uint64_t length = 0;
    std::vector<ChunkRef> chunks;
    if (checkObject(objectPath(c.releaseDir, hex), hex, static_cast<std::uint64_t>(listSize),
                    length, problem, {}, &text) == ObjectState::Good &&
        parseChunkList(text, fileSize, chunks, &problem)) {
      for (const ChunkRef& chunk : chunks) addUsed(c, chunk.hash);
      return true;
    }
  }
  error = "the chunk list of " + what + " " + problem +
          ": the chunks it names cannot be told, so nothing was removed (run verify, or build "
          "the release again)";
  return false;
}

bool collectManifest(PruneContext& c, const std::string& text, const std::string& label,
                     std::string& error) {
  JsonValue root;
  if (!parseReleaseManifest(text, root)) {
    error = label + " is not a release manifest; nothing was removed";
    return false;
  }
  std::vector<const JsonValue*> entries;
  for (const JsonValue& e : root.member("files").elements) entries.push_back(&e);
  if (root.member("launcher").kind == JsonKind::Object) entries.push_back(&root.member("launcher"));
  for (const JsonValue* e : entries) {
    const std::string what = label + " \"" + e->member("p").asString() + "\"";
    if (!addUsed(c, e->member("h").asString())) {
      error = what + " has no valid hash; nothing was removed";
      return false;
    }
    const JsonValue& list = e->member("chunk_list");
    const std::int64_t size = e->member("s").asInt64();
    if (list.kind != JsonKind::Null &&
        !collectChunkList(c, list, static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0)),
                          what, error)) {
      return false;
    }
  }
  return true;
}

// The served manifest, and each kept history manifest unless it is the served one's copy.
bool collectUsed(PruneContext& c, std::string& error) {
  if (!collectManifest(c, c.servedText, "manifest.json", error)) return false;
  for (const std::int64_t version : c.report.keptVersions) {
    const auto it = c.history.find(version);
    if (it == c.history.end()) continue;
    std::string text;
    const std::wstring path = c.releaseDir + L"history\\" + it->second;
    if (!readWholeFile(path, kManifestLimit, text)) {
      error = "cannot read " + shown(path) + "; nothing was removed";
      return false;
    }
    if (text != c.servedText && !collectManifest(c, text, "history/" + shown(it->second), error))
      return false;
  }
  std::sort(c.used.begin(), c.used.end());
  c.used.erase(std::unique(c.used.begin(), c.used.end()), c.used.end());
  c.report.objectsKept = c.used.size();
  return true;
}

// --- 4. the store's entries that nothing kept uses -------------------------------------------

void goes(PruneContext& c, const std::wstring& path, const std::string& label, std::uint64_t size) {
  c.removals.push_back(path);
  c.report.removed.emplace_back(label, size);
  c.report.removedBytes += size;
}

// One entry of files/ab/: an unused object goes, a link or a name of no object stays.
void considerEntry(PruneContext& c, const std::wstring& folder, const std::string& folderLabel,
                   const std::wstring& name, std::uint64_t now) {
  const std::wstring path = folder + L"\\" + name;
  const std::string label = folderLabel + "/" + shown(name);
  FileInfo info;
  if (!getEntryInfo(path, info)) return;
  if (info.isLink) {
    c.report.notes.push_back("left alone: " + label + " is a link");
    return;
  }
  if (!info.isRegularFile()) return;
  if (isTemporaryPath(name)) {
    if (info.lastWriteTime + kTemporaryAge > now) {
      c.report.notes.push_back("left alone: " + label +
                               " is less than a day old, an object a build may be writing");
    } else {
      goes(c, path, label, info.size);
    }
    return;
  }
  Hash hash;
  if (objectHash(name, hash) && !std::binary_search(c.used.begin(), c.used.end(), hash)) {
    goes(c, path, label, info.size);
  }
}

bool findUnused(PruneContext& c, std::string& error) {
  const std::wstring files = c.releaseDir + L"files";
  if (!directoryExists(files)) return true;
  std::vector<std::wstring> folders;
  if (!listDirectory(files, [&](const std::wstring& name, bool) {
        folders.push_back(name);
        return true;
      })) {
    error = "cannot read the folder " + shown(files);
    return false;
  }
  std::sort(folders.begin(), folders.end());
  const std::uint64_t now =
      static_cast<std::uint64_t>(utcNow() + kSecondsFrom1601To1970) * 10000000;
  for (const std::wstring& sub : folders) {
    const std::wstring folder = files + L"\\" + sub;
    const std::string label = "files/" + shown(sub);
    FileInfo info;
    if (!getEntryInfo(folder, info)) continue;
    if (info.isLink) {
      c.report.notes.push_back("left alone: " + label + " is a link, never followed");
      continue;
    }
    if (!info.isDirectory) continue;
    std::vector<std::wstring> names;
    if (!listDirectory(folder, [&](const std::wstring& name, bool) {
          names.push_back(name);
          return true;
        })) {
      error = "cannot read the folder " + shown(folder) + "; nothing was removed";
      return false;
    }
    std::sort(names.begin(), names.end());
    for (const std::wstring& name : names) considerEntry(c, folder, label, name, now);
    c.storeFolders.push_back(folder);
  }
  return true;
}

// --- 5. removal ------------------------------------------------------------------------------

// The history goes first: interrupted, prune leaves objects that nothing names (the next prune
// removes them), never a recorded release without its objects.
bool removeUnused(PruneContext& c, std::string& error) {
  std::size_t failed = 0;
  std::string first;
  const auto remove = [&](const std::wstring& path) {
    if (deleteFile(path)) return;
    if (failed++ == 0) first = shown(path);
  };
  for (const std::wstring& path : c.historyRemovals) remove(path);
  for (const std::wstring& path : c.removals) remove(path);
  for (const std::wstring& folder : c.storeFolders) removeEmptyDirectory(folder);
  if (failed > 0) {
    error = "cannot remove " + std::to_string(failed) + (failed == 1 ? " file" : " files") +
            " (the first: " + first + "); prune again";
    return false;
  }
  return true;
}

}  // namespace

bool pruneRelease(const PruneOptions& options, PruneReport& report, std::string& error) {
  report = PruneReport{};
  PruneContext c(options, report);
  if (!lockAndCheck(c, error) || !chooseReleases(c, error)) return false;
  if (report.tooFewReleases) return true;
  if (!collectUsed(c, error) || !findUnused(c, error)) {
    report.removed.clear();
    report.removedHistory.clear();
    report.removedBytes = 0;
    return false;
  }
  return options.dryRun || removeUnused(c, error);
}
