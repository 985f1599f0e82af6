// verify, in the order it runs:
//   1. the public keys, manifest.json (size), manifest.sig (64 bytes) and the signature
//   2. the manifest under the launcher's rules: format, expiry, paths, hashes, sizes, deletions
//   3. every distinct object: present, one zlib stream, inflating to its size and hash
//   4. with --game: every file of the game folder against its entry
#include "release_verify.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "base/case_fold.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "formats/json.h"
#include "formats/utc_time.h"
#include "keys.h"
#include "objects.h"
#include "parallel.h"
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
};

std::wstring withSeparator(std::wstring dir) {
  if (dir.empty()) return L".\\";
  if (dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
  return dir;
}

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
  return true;
}

}  // namespace

bool verifyRelease(const VerifyOptions& options, VerifyReport& report, std::string& error) {
  report = VerifyReport{};
  std::vector<std::string>& problems = report.problems;
  const std::wstring releaseDir = withSeparator(options.releaseDir);
  const unsigned jobs =
      options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  auto status = [&](const std::string& line) {
    if (options.progress) options.progress(line);
  };

  // 1. Keys, files and signature.
  std::vector<std::array<std::uint8_t, kKeySize>> publicKeys;
  if (!loadPublicKeys(options.publicKey, publicKeys, error)) return false;

  const std::wstring manifestPath = releaseDir + L"manifest.json";
  const std::wstring signaturePath = releaseDir + L"manifest.sig";
  FileInfo info;
  if (!getFileInfo(manifestPath, info) || info.isDirectory) {
    problems.push_back("manifest.json is missing");
    return true;
  }
  if (info.size > kManifestLimit) {
    problems.push_back("manifest.json is " + std::to_string(info.size) +
                       " bytes; the launcher reads at most 33554432");
    return true;
  }
  std::string text;
  if (!readWholeFile(manifestPath, kManifestLimit, text)) {
    problems.push_back("manifest.json cannot be read");
    return true;
  }
  std::string signature;
  if (!getFileInfo(signaturePath, info) || info.isDirectory) {
    problems.push_back("manifest.sig is missing");
  } else if (info.size != kSignatureSize) {
    problems.push_back("manifest.sig is " + std::to_string(info.size) +
                       " bytes; a signature is exactly 64");
  } else if (!readWholeFile(signaturePath, kSignatureSize, signature)) {
    problems.push_back("manifest.sig cannot be read");
  } else {
    for (const auto& key : publicKeys) {
      if (checkSignature(key.data(), reinterpret_cast<const std::uint8_t*>(signature.data()),
                         text)) {
        report.signedBy = toHex(key.data(), kKeySize);
        break;
      }
    }
    if (report.signedBy.empty()) {
      problems.push_back(std::string("manifest.sig does not verify manifest.json under ") +
                         (publicKeys.size() == 1 ? "this public key" : "any of these public keys") +
                         " (one of the two was changed, or they were signed with another key)");
    }
  }

  // 2. The manifest as the launcher reads it.
  JsonValue root;
  std::string why;
  if (!parseJson(text, root, &why)) {
    problems.push_back("manifest.json is not valid JSON: " + why);
    return true;
  }
  if (root.kind != JsonKind::Object || root.member("format").asInt64() != 1 ||
      root.member("files").kind != JsonKind::Array) {
    problems.push_back(
        "manifest.json is not a release manifest (an object with \"format\" 1 and a \"files\" "
        "array)");
    return true;
  }
  if (root.member("version").kind != JsonKind::Number) {
    problems.push_back("manifest.json has no \"version\" number");
  }
  switch (readManifestExpiry(root, report.expires)) {
    case ManifestExpiry::None:
      report.expires = 0;
      break;
    case ManifestExpiry::Malformed:
      report.expires = 0;
      problems.push_back(
          "\"expires\" is not a UTC time of the form 2027-01-31T12:00:00Z; the launcher refuses "
          "the manifest");
      break;
    case ManifestExpiry::At:
      if (utcNow() > report.expires) {
        problems.push_back("manifest.json expired on " + displayUtcTime(report.expires) +
                           "; launchers refuse it as out of date: build the release again");
      }
      break;
  }
  {
    const JsonValue& exe = root.member("game_exe");
    std::wstring ignored;
    if (exe.kind == JsonKind::String && !isSafeRelativePath(exe.string, ignored)) {
      problems.push_back("\"game_exe\": the launcher refuses the path \"" + exe.string + "\"");
    }
  }
  std::vector<Entry> entries;
  std::map<std::wstring, std::string> byFoldedPath;
  const std::vector<JsonValue>& fileValues = root.member("files").elements;
  report.files = fileValues.size();
  for (std::size_t i = 0; i < fileValues.size(); ++i) {
    Entry e;
    if (!readEntry(fileValues[i], "files[" + std::to_string(i) + "]", e, problems)) continue;
    if (isLauncherOwnPath(e.widePath)) {
      problems.push_back("\"" + e.path + "\" is a file the launcher keeps for itself");
    }
    const auto [it, added] = byFoldedPath.emplace(nameKey(e.widePath), e.path);
    if (!added) {
      problems.push_back("\"" + e.path + "\" and \"" + it->second +
                         "\" name the same file on Windows");
    }
    entries.push_back(std::move(e));
  }
  for (const auto& [key, path] : byFoldedPath) {
    const auto plain = byFoldedPath.find(key + kTemporarySuffix);
    if (plain != byFoldedPath.end()) {
      problems.push_back("\"" + plain->second + "\" is the temporary file of \"" + path +
                         "\" while it is downloaded");
    }
  }
  const std::size_t fileEntries = entries.size();
  if (root.member("launcher").kind != JsonKind::Null) {
    Entry e;
    if (readEntry(root.member("launcher"), "launcher", e, problems))
      entries.push_back(std::move(e));
  }
  std::vector<std::pair<std::string, std::wstring>> deletes;
  const std::vector<JsonValue>& deleteValues = root.member("delete").elements;
  for (std::size_t i = 0; i < deleteValues.size(); ++i) {
    const std::string p = deleteValues[i].asString();
    std::wstring wide;
    if (!isSafeRelativePath(p, wide)) {
      problems.push_back("delete[" + std::to_string(i) + "]: the launcher refuses the path \"" + p +
                         "\"");
      continue;
    }
    if (isLauncherOwnPath(wide)) {
      problems.push_back("delete[" + std::to_string(i) + "]: \"" + p +
                         "\" is a file the launcher keeps for itself, which it never deletes");
    }
    if (byFoldedPath.count(nameKey(wide)) > 0) {
      problems.push_back("\"" + p + "\" is both a file of the release and in \"delete\"");
    }
    deletes.emplace_back(p, wide);
  }

  // 3. Objects, each distinct hash once.
  std::map<std::string, std::vector<const Entry*>> users;
  for (const Entry& e : entries) users[e.hash].push_back(&e);
  std::vector<const Entry*> objects;
  for (const auto& [hash, list] : users) objects.push_back(list.front());
  report.objects = objects.size();
  std::mutex problemMutex;
  auto addProblem = [&](const std::string& line) {
    std::lock_guard<std::mutex> lock(problemMutex);
    problems.push_back(line);
  };
  std::atomic<std::uint64_t> bytesDone{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> stop{false};
  WorkCounters counters{&bytesDone, &stop};
  // Parallel checks finish in any order; the report lists them in a stable one.
  std::size_t unsortedFrom = problems.size();
  runParallel(
      objects.size(), jobs,
      [&](std::size_t i) {
        const Entry& e = *objects[i];
        std::uint64_t length = 0;
        std::string problem;
        std::string usedBy;
        for (const Entry* u : users[e.hash]) usedBy += (usedBy.empty() ? "" : ", ") + u->label;
        if (checkObject(objectPath(releaseDir, e.hash), e.hash, e.size, length, problem,
                        counters) != ObjectState::Good) {
          addProblem(objectName(e.hash) + " (" + usedBy + ") " + problem);
        } else {
          for (const Entry* u : users[e.hash]) {
            if (u->compressed != length) {
              addProblem(u->label + ": \"c\" is " + std::to_string(u->compressed) + " but " +
                         objectName(e.hash) + " is " + std::to_string(length) + " bytes");
            }
          }
        }
        done.fetch_add(1);
        return true;
      },
      stop,
      [&] {
        status("checking " + std::to_string(done.load()) + "/" + std::to_string(objects.size()) +
               " objects, " + std::to_string(bytesDone.load() >> 20) + " MiB");
      });
  status("");
  std::sort(problems.begin() + static_cast<std::ptrdiff_t>(unsortedFrom), problems.end());

  // 4. The game folder against the manifest.
  if (!options.gameDir.empty()) {
    const std::wstring gameDir = withSeparator(options.gameDir);
    if (!directoryExists(gameDir)) {
      error = "the game folder " + wideToUtf8(options.gameDir) + " does not exist";
      return false;
    }
    std::vector<const Entry*> toHash;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const Entry& e = entries[i];
      const bool isLauncher = i >= fileEntries;
      FileInfo fi;
      const bool exists = getFileInfo(gameDir + e.widePath, fi) && !fi.isDirectory;
      if (!exists) {
        // A game folder may lack the launcher (a developer's copy); every file must be there.
        if (!isLauncher) problems.push_back("missing in the game folder: " + e.path);
        continue;
      }
      ++report.gameFilesChecked;
      if (e.keep) continue;  // installed once, then the player's own
      if (fi.size != e.size) {
        problems.push_back("differs in the game folder: " + e.label + " (" +
                           std::to_string(fi.size) + " bytes, the release has " +
                           std::to_string(e.size) + ")");
        continue;
      }
      toHash.push_back(&e);
    }
    done = 0;
    bytesDone = 0;
    unsortedFrom = problems.size();
    runParallel(
        toHash.size(), jobs,
        [&](std::size_t i) {
          const Entry& e = *toHash[i];
          std::string hash, why;
          std::uint64_t size = 0;
          if (!hashFileAndSize(gameDir + e.widePath, hash, size, why, counters)) {
            addProblem("cannot read in the game folder: " + e.label);
          } else if (hash != e.hash) {
            addProblem("differs in the game folder: " + e.label + " (other content)");
          }
          done.fetch_add(1);
          return true;
        },
        stop,
        [&] {
          status("comparing " + std::to_string(done.load()) + "/" + std::to_string(toHash.size()) +
                 " game files, " + std::to_string(bytesDone.load() >> 20) + " MiB");
        });
    status("");
    std::sort(problems.begin() + static_cast<std::ptrdiff_t>(unsortedFrom), problems.end());
    for (const auto& [path, wide] : deletes) {
      FileInfo fi;
      if (getFileInfo(gameDir + wide, fi) && !fi.isDirectory) {
        problems.push_back("still in the game folder though the release deletes it: " + path);
      }
    }
  }
  return true;
}
