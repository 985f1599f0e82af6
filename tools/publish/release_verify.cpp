// verify, in the order it runs: one function a step, handing a VerifyContext on
//   1. readSignedManifest: public keys, manifest.json (size), manifest.sig (64 bytes), signature
//   2. readManifest: the launcher's rules: format, expiry, paths, hashes, sizes, deletions
//   3. checkChunkLists: each chunk list's object as below, then read as the launcher reads it
//   4. checkObjects: each distinct object (whole files and chunks) present, one zlib stream,
//      inflating to size and hash
//   5. compareGameFolder: with --game, every file of the game folder against its entry
#include "release_verify.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "base/case_fold.h"
#include "base/files.h"
#include "base/parallel.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "formats/chunk_list.h"
#include "formats/json.h"
#include "formats/utc_time.h"
#include "keys.h"
#include "objects.h"
#include "release_build.h"

namespace {

struct Entry {
  std::string label;  // how the problem lines name it: the path, or "launcher"
  std::string path;
  std::wstring widePath;
  std::string hash;
  std::uint64_t size = 0;
  std::uint64_t compressed = 0;
  bool keep = false;
  std::unique_ptr<Entry> chunkList;  // "chunk_list": the object of the list, "<path> chunk list"
  std::vector<Entry> chunks;  // read from that list, each labelled with its file and position
};

bool isLowerHash(const std::string& h) {
  return h.size() == 64 && std::all_of(h.begin(), h.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

bool isHash(const std::string& h) {
  return h.size() == 64 && std::all_of(h.begin(), h.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
         });
}

// "chunk_list" under the launcher's rules (which refuse the whole manifest for any fault here).
void readChunkList(const JsonValue& v, Entry& out, std::vector<std::string>& problems) {
  auto list = std::make_unique<Entry>();
  list->label = out.label + " chunk list";
  list->hash = v.member("h").asString();
  const JsonValue& s = v.member("s");
  const JsonValue& c = v.member("c");
  const std::uint64_t longest = chunkListMaxBytes(out.size);
  if (!isLowerHash(list->hash) || s.kind != JsonKind::Number || s.asInt64() < 1 ||
      static_cast<std::uint64_t>(s.asInt64()) > longest || c.kind != JsonKind::Number ||
      c.asInt64() < 0) {
    problems.push_back(out.label +
                       ": \"chunk_list\" needs \"h\" (64 lower-case hex digits), \"s\" (1 to " +
                       std::to_string(longest) + ") and \"c\"; the launcher refuses the manifest");
    return;
  }
  list->size = static_cast<std::uint64_t>(s.asInt64());
  list->compressed = static_cast<std::uint64_t>(c.asInt64());
  out.chunkList = std::move(list);
}

// One "files" element or the "launcher" object under the launcher's rules; the problems go to
// the list, and false means the entry cannot be checked further.
bool readEntry(const JsonValue& v, const std::string& where, Entry& out,
               std::vector<std::string>& problems) {
  if (v.kind != JsonKind::Object) {
    problems.push_back(where + " is not an object");
    return false;
  }
  out.path = v.member("p").asString();
  out.label = where == "launcher" ? "launcher " + out.path : out.path;
  if (!isSafeRelativePath(out.path, out.widePath)) {
    problems.push_back(where + ": the launcher refuses the path \"" + out.path + "\"");
    return false;
  }
  out.hash = v.member("h").asString();
  if (!isHash(out.hash)) {
    problems.push_back(out.label + ": \"h\" is not 64 hex digits");
    return false;
  }
  if (!isLowerHash(out.hash)) {
    problems.push_back(out.label +
                       ": \"h\" has upper-case digits, which never match the launcher's own");
    return false;
  }
  const JsonValue& s = v.member("s");
  const JsonValue& c = v.member("c");
  if (s.kind != JsonKind::Number || s.asInt64() < 0 || c.kind != JsonKind::Number ||
      c.asInt64() < 0) {
    problems.push_back(out.label + ": \"s\" and \"c\" must be sizes (numbers, not negative)");
    return false;
  }
  out.size = static_cast<std::uint64_t>(s.asInt64());
  out.compressed = static_cast<std::uint64_t>(c.asInt64());
  const JsonValue& k = v.member("k");
  out.keep = k.kind == JsonKind::Number && k.number != 0;
  const JsonValue& chunkList = v.member("chunk_list");
  if (chunkList.kind != JsonKind::Null) readChunkList(chunkList, out, problems);
  return true;
}

// How a step of verify ends.
enum class Step {
  Next,      // the check goes on
  Finished,  // nothing further can be checked; the report says why
  Failed,    // the check cannot run at all; the error says why
};

// What the steps of one check hand on to each other.
struct VerifyContext {
  VerifyContext(const VerifyOptions& o, VerifyReport& r)
      : options(o),
        report(r),
        problems(r.problems),
        releaseDir(withSeparator(o.releaseDir)),
        jobs(threadsFor(o.jobs)) {}

  const VerifyOptions& options;
  VerifyReport& report;
  std::vector<std::string>& problems;
  std::wstring releaseDir;  // ends in a separator
  unsigned jobs;

  std::string text;             // manifest.json
  std::vector<Entry> entries;   // the readable "files" entries, then the launcher's
  std::size_t fileEntries = 0;  // how many of entries are "files"
  std::vector<std::pair<std::string, std::wstring>> deletes;  // as written, and below the folder

  void status(const std::string& line) const {
    if (options.progress) options.progress(line);
  }
};

// Shared by the workers of one parallel check.
struct ParallelCheck {
  explicit ParallelCheck(std::vector<std::string>& list) : problems(list) {}

  std::vector<std::string>& problems;
  std::mutex problemMutex;
  std::atomic<std::uint64_t> bytesDone{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> stop{false};
  WorkCounters counters{&bytesDone, &stop};

  void addProblem(const std::string& line) {
    std::lock_guard<std::mutex> lock(problemMutex);
    problems.push_back(line);
  }
};

// Runs check(i) for every i below count on the workers, with a progress line such as
// "checking 3/9 objects, 12 MiB". Parallel checks finish in any order; the report lists their
// problems in a stable one.
void runChecks(VerifyContext& c, std::size_t count, const std::string& verb,
               const std::string& things,
               const std::function<void(std::size_t, ParallelCheck&)>& check) {
  ParallelCheck p(c.problems);
  const std::size_t unsortedFrom = c.problems.size();
  runJobsWithProgress(
      count, c.jobs,
      [&](std::size_t i) {
        check(i, p);
        p.done.fetch_add(1);
        return true;
      },
      p.stop,
      [&] {
        c.status(verb + " " + std::to_string(p.done.load()) + "/" + std::to_string(count) + " " +
                 things + ", " + std::to_string(p.bytesDone.load() >> 20) + " MiB");
      });
  c.status("");
  std::sort(c.problems.begin() + static_cast<std::ptrdiff_t>(unsortedFrom), c.problems.end());
}

// --- 1. key, files and signature -------------------------------------------------------------

// False when manifest.json cannot be checked any further.
bool readManifestFile(VerifyContext& c) {
  const std::wstring manifestPath = c.releaseDir + L"manifest.json";
  FileInfo info;
  if (!getFileInfo(manifestPath, info) || info.isDirectory) {
    c.problems.push_back("manifest.json is missing");
    return false;
  }
  if (info.size > kManifestLimit) {
    c.problems.push_back("manifest.json is " + std::to_string(info.size) +
                         " bytes; the launcher reads at most " + std::to_string(kManifestLimit));
    return false;
  }
  if (!readWholeFile(manifestPath, kManifestLimit, c.text)) {
    c.problems.push_back("manifest.json cannot be read");
    return false;
  }
  return true;
}

void checkSignatureFile(VerifyContext& c,
                        const std::vector<std::array<std::uint8_t, kKeySize>>& publicKeys) {
  const std::wstring signaturePath = c.releaseDir + L"manifest.sig";
  FileInfo info;
  std::string signature;
  if (!getFileInfo(signaturePath, info) || info.isDirectory) {
    c.problems.push_back("manifest.sig is missing");
  } else if (info.size != kSignatureSize) {
    c.problems.push_back("manifest.sig is " + std::to_string(info.size) +
                         " bytes; a signature is exactly 64");
  } else if (!readWholeFile(signaturePath, kSignatureSize, signature)) {
    c.problems.push_back("manifest.sig cannot be read");
  } else {
    for (const auto& key : publicKeys) {
      if (checkSignature(key.data(), reinterpret_cast<const std::uint8_t*>(signature.data()),
                         c.text)) {
        c.report.signedBy = toHex(key.data(), kKeySize);
        break;
      }
    }
    if (c.report.signedBy.empty()) {
      c.problems.push_back(
          std::string("manifest.sig does not verify manifest.json under ") +
          (publicKeys.size() == 1 ? "this public key" : "any of these public keys") +
          " (one of the two was changed, or they were signed with another key)");
    }
  }
}

Step readSignedManifest(VerifyContext& c, std::string& error) {
  std::vector<std::array<std::uint8_t, kKeySize>> publicKeys;
  if (!loadPublicKeys(c.options.publicKey, publicKeys, error)) return Step::Failed;
  if (!readManifestFile(c)) return Step::Finished;
  checkSignatureFile(c, publicKeys);
  return Step::Next;
}

// --- 2. the manifest as the launcher reads it ------------------------------------------------

// False when the text is no release manifest at all.
bool parseManifest(VerifyContext& c, JsonValue& root) {
  std::string why;
  if (!parseJson(c.text, root, &why)) {
    c.problems.push_back("manifest.json is not valid JSON: " + why);
    return false;
  }
  if (root.kind != JsonKind::Object || root.member("format").asInt64() != 1 ||
      root.member("files").kind != JsonKind::Array) {
    c.problems.push_back(
        "manifest.json is not a release manifest (an object with \"format\" 1 and a \"files\" "
        "array)");
    return false;
  }
  if (root.member("version").kind != JsonKind::Number) {
    c.problems.push_back("manifest.json has no \"version\" number");
  }
  switch (readManifestExpiry(root, c.report.expires)) {
    case ManifestExpiry::None:
      c.report.expires = 0;
      break;
    case ManifestExpiry::Malformed:
      c.report.expires = 0;
      c.problems.push_back(
          "\"expires\" is not a UTC time of the form 2027-01-31T12:00:00Z; the launcher refuses "
          "the manifest");
      break;
    case ManifestExpiry::At:
      if (utcNow() > c.report.expires) {
        c.problems.push_back("manifest.json expired on " + displayUtcTime(c.report.expires) +
                             "; launchers refuse it as out of date: build the release again");
      }
      break;
  }
  const JsonValue& exe = root.member("game_exe");
  std::wstring ignored;
  if (exe.kind == JsonKind::String && !isSafeRelativePath(exe.string, ignored)) {
    c.problems.push_back("\"game_exe\": the launcher refuses the path \"" + exe.string + "\"");
  }
  return true;
}

// byFoldedPath receives each file's path as Windows compares it.
void readEntries(VerifyContext& c, const JsonValue& root,
                 std::map<std::wstring, std::string>& byFoldedPath) {
  const std::vector<JsonValue>& fileValues = root.member("files").elements;
  c.report.files = fileValues.size();
  for (std::size_t i = 0; i < fileValues.size(); ++i) {
    Entry e;
    if (!readEntry(fileValues[i], "files[" + std::to_string(i) + "]", e, c.problems)) continue;
    if (isLauncherOwnPath(e.widePath)) {
      c.problems.push_back("\"" + e.path + "\" is a file the launcher keeps for itself");
    }
    const auto [it, added] = byFoldedPath.emplace(nameKey(e.widePath), e.path);
    if (!added) {
      c.problems.push_back("\"" + e.path + "\" and \"" + it->second +
                           "\" name the same file on Windows");
    }
    c.entries.push_back(std::move(e));
  }
  for (const auto& [key, path] : byFoldedPath) {
    const auto plain = byFoldedPath.find(key + kTemporarySuffix);
    if (plain != byFoldedPath.end()) {
      c.problems.push_back("\"" + plain->second + "\" is the temporary file of \"" + path +
                           "\" while it is downloaded");
    }
  }
  c.fileEntries = c.entries.size();
  if (root.member("launcher").kind != JsonKind::Null) {
    Entry e;
    if (readEntry(root.member("launcher"), "launcher", e, c.problems)) {
      c.entries.push_back(std::move(e));
    }
  }
}

void readDeletes(VerifyContext& c, const JsonValue& root,
                 const std::map<std::wstring, std::string>& byFoldedPath) {
  const std::vector<JsonValue>& deleteValues = root.member("delete").elements;
  for (std::size_t i = 0; i < deleteValues.size(); ++i) {
    const std::string p = deleteValues[i].asString();
    std::wstring wide;
    if (!isSafeRelativePath(p, wide)) {
      c.problems.push_back("delete[" + std::to_string(i) + "]: the launcher refuses the path \"" +
                           p + "\"");
      continue;
    }
    if (isLauncherOwnPath(wide)) {
      c.problems.push_back("delete[" + std::to_string(i) + "]: \"" + p +
                           "\" is a file the launcher keeps for itself, which it never deletes");
    }
    if (byFoldedPath.count(nameKey(wide)) > 0) {
      c.problems.push_back("\"" + p + "\" is both a file of the release and in \"delete\"");
    }
    c.deletes.emplace_back(p, wide);
  }
}

Step readManifest(VerifyContext& c) {
  JsonValue root;
  if (!parseManifest(c, root)) return Step::Finished;
  std::map<std::wstring, std::string> byFoldedPath;
  readEntries(c, root, byFoldedPath);
  readDeletes(c, root, byFoldedPath);
  return Step::Next;
}

// --- 3. the objects, each distinct hash once -------------------------------------------------

// One object, inflated once for all the entries that use it (into content, when given); false
// when it does not hold what they name.
bool checkObjectOf(const std::wstring& releaseDir, const std::vector<const Entry*>& users,
                   ParallelCheck& p, std::string* content = nullptr) {
  const Entry& e = *users.front();
  std::uint64_t length = 0;
  std::string problem;
  std::string usedBy;
  for (const Entry* u : users) usedBy += (usedBy.empty() ? "" : ", ") + u->label;
  if (checkObject(objectPath(releaseDir, e.hash), e.hash, e.size, length, problem, p.counters,
                  content) != ObjectState::Good) {
    p.addProblem(objectName(e.hash) + " (" + usedBy + ") " + problem);
    return false;
  }
  for (const Entry* u : users) {
    if (u->compressed != length) {
      p.addProblem(u->label + ": \"c\" is " + std::to_string(u->compressed) + " but " +
                   objectName(e.hash) + " is " + std::to_string(length) + " bytes");
    }
  }
  return true;
}

// The chunks of an entry from its list's text, as the launcher reads them.
void readChunks(const std::string& text, Entry& e, ParallelCheck& p) {
  std::vector<ChunkRef> chunks;
  std::string why;
  if (!parseChunkList(text, e.size, chunks, &why)) {
    p.addProblem(e.chunkList->label + " " + why + "; the launcher refuses the manifest");
    return;
  }
  for (ChunkRef& ref : chunks) {
    Entry chunk;
    chunk.label = e.label + " chunk " + std::to_string(e.chunks.size() + 1);
    chunk.hash = std::move(ref.hash);
    chunk.size = ref.size;
    chunk.compressed = ref.compressedSize;
    e.chunks.push_back(std::move(chunk));
  }
}

// Each distinct list inflated once, for the entries that name it (one job owns them).
void checkChunkLists(VerifyContext& c) {
  std::map<std::string, std::vector<Entry*>> named;
  for (Entry& e : c.entries) {
    if (e.chunkList) named[e.chunkList->hash].push_back(&e);
  }
  std::vector<std::vector<Entry*>*> lists;
  for (auto& [hash, entries] : named) lists.push_back(&entries);
  c.report.objects += lists.size();
  runChecks(c, lists.size(), "reading", "chunk lists", [&](std::size_t i, ParallelCheck& p) {
    std::vector<const Entry*> users;
    for (const Entry* e : *lists[i]) users.push_back(e->chunkList.get());
    std::string text;
    if (!checkObjectOf(c.releaseDir, users, p, &text)) return;
    for (Entry* e : *lists[i]) readChunks(text, *e, p);
  });
}

void checkObjects(VerifyContext& c) {
  std::map<std::string, std::vector<const Entry*>> users;
  for (const Entry& e : c.entries) {
    users[e.hash].push_back(&e);
    for (const Entry& chunk : e.chunks) users[chunk.hash].push_back(&chunk);
  }
  std::vector<const std::vector<const Entry*>*> objects;
  for (const auto& [hash, list] : users) objects.push_back(&list);
  c.report.objects += objects.size();
  runChecks(c, objects.size(), "checking", "objects",
            [&](std::size_t i, ParallelCheck& p) { checkObjectOf(c.releaseDir, *objects[i], p); });
}

// --- 4. the game folder against the manifest -------------------------------------------------

// The entries whose files have the right size, so that only their content is left to compare.
std::vector<const Entry*> compareSizes(VerifyContext& c, const std::wstring& gameDir) {
  std::vector<const Entry*> toHash;
  for (std::size_t i = 0; i < c.entries.size(); ++i) {
    const Entry& e = c.entries[i];
    const bool isLauncher = i >= c.fileEntries;
    FileInfo fi;
    const bool exists = getFileInfo(gameDir + e.widePath, fi) && !fi.isDirectory;
    if (!exists) {
      // A game folder may lack the launcher (a developer's copy); every file must be there.
      if (!isLauncher) c.problems.push_back("missing in the game folder: " + e.path);
      continue;
    }
    ++c.report.gameFilesChecked;
    if (e.keep) continue;  // installed once, then the player's own
    if (fi.size != e.size) {
      c.problems.push_back("differs in the game folder: " + e.label + " (" +
                           std::to_string(fi.size) + " bytes, the release has " +
                           std::to_string(e.size) + ")");
      continue;
    }
    toHash.push_back(&e);
  }
  return toHash;
}

void compareContent(const std::wstring& gameDir, const Entry& e, ParallelCheck& p) {
  std::string hash, why;
  std::uint64_t size = 0;
  if (!hashFileAndSize(gameDir + e.widePath, hash, size, why, p.counters)) {
    p.addProblem("cannot read in the game folder: " + e.label);
  } else if (hash != e.hash) {
    p.addProblem("differs in the game folder: " + e.label + " (other content)");
  }
}

Step compareGameFolder(VerifyContext& c, std::string& error) {
  if (c.options.gameDir.empty()) return Step::Next;
  const std::wstring gameDir = withSeparator(c.options.gameDir);
  if (!directoryExists(gameDir)) {
    error = "the game folder " + wideToUtf8(c.options.gameDir) + " does not exist";
    return Step::Failed;
  }
  const std::vector<const Entry*> toHash = compareSizes(c, gameDir);
  runChecks(c, toHash.size(), "comparing", "game files",
            [&](std::size_t i, ParallelCheck& p) { compareContent(gameDir, *toHash[i], p); });
  for (const auto& [path, wide] : c.deletes) {
    FileInfo fi;
    if (getFileInfo(gameDir + wide, fi) && !fi.isDirectory) {
      c.problems.push_back("still in the game folder though the release deletes it: " + path);
    }
  }
  return Step::Next;
}

}  // namespace

bool verifyRelease(const VerifyOptions& options, VerifyReport& report, std::string& error) {
  report = VerifyReport{};
  VerifyContext c(options, report);
  Step step = readSignedManifest(c, error);
  if (step == Step::Next) step = readManifest(c);
  if (step == Step::Next) {
    checkChunkLists(c);
    checkObjects(c);
    step = compareGameFolder(c, error);
  }
  return step != Step::Failed;
}
