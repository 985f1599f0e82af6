// build: a game folder becomes a release folder that any static web server can serve:
//   files/ab/<hash>.z   each distinct content once, zlib-compressed (kept between releases)
//   manifest.json       what the launcher must make of the game folder, signed by
//   manifest.sig        the 64-byte Ed25519 signature of manifest.json's exact bytes
//   history/<N>.json    the manifest of each release N built into the folder, for prune: never
//                       uploaded, never fetched by launchers
// A build holds the release folder's lock (base/folder_lock.h) from start to end, as prune
// does, so that neither removes or replaces what the other is writing.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/folder_lock.h"

// Names the launcher writes into its own folder: never game files.
inline constexpr const char* kLauncherExecutable = "QuillmarkLauncher.exe";
inline constexpr const char* kDefaultGameExe = "Play Quillmark.exe";
inline constexpr std::uint64_t kManifestLimit = 268435456;  // the launcher reads at most 256 MiB
// What launchers read before chunk lists left the manifest.
inline constexpr std::uint64_t kManifestLimitBefore = 33554432;
inline constexpr int kMaxExpiresInDays = 3650;

// The folder path with a separator at its end ("." for an empty one), for appending names.
std::wstring withSeparator(std::wstring dir);
// Where the manifest of release version is kept below releaseDir (which ends in a separator).
std::wstring historyManifestPath(const std::wstring& releaseDir, std::int64_t version);
// Takes the lock of the release folder (which exists) that build and prune hold while they
// run; anything but Held comes with the error (another holds it, or the folder cannot be
// locked, as on a file system without locks).
FolderLock::Outcome lockReleaseFolder(FolderLock& lock, const std::wstring& releaseDir,
                                      std::string& error);

struct BuildOptions {
  std::wstring gameDir;
  std::wstring releaseDir;
  std::wstring keyFile;
  std::int64_t version = 0;
  std::string gameExe;               // "" for the launcher's default
  std::wstring newsFile;             // optional: a JSON array of news items
  std::wstring linksFile;            // optional: a JSON object of link names and addresses
  std::wstring launcherFile;         // optional: the launcher executable to publish
  std::wstring previousManifest;     // optional: the manifest of the release this one follows
  int expiresInDays = 0;             // > 0: launchers refuse the manifest that many days on
  std::vector<std::string> keep;     // patterns of files the launcher installs once only
  std::vector<std::string> exclude;  // patterns of files and folders left out
  unsigned jobs = 0;                 // 0: one per processor
  // Receives a one-line status about five times a second, and "" at the end.
  std::function<void(const std::string&)> progress;
};

struct BuildReport {
  std::size_t files = 0;
  std::uint64_t bytes = 0;            // content of the files
  std::size_t objectsCompressed = 0;  // objects made by this build
  std::size_t objectsReused = 0;      // objects found in the store and checked
  std::uint64_t compressedBytes = 0;  // length of the objects made by this build
  // Chunk objects and chunk list objects: made by this build, found in the store (or whole-file
  // ones), and the length of those made.
  std::size_t chunksCompressed = 0;
  std::size_t chunksReused = 0;
  std::uint64_t chunkBytes = 0;
  std::size_t deletes = 0;
  std::uint64_t manifestBytes = 0;
  std::string publicKeyHex;        // the key that verifies this release
  std::int64_t expires = 0;        // when launchers stop accepting it; 0: never
  std::vector<std::string> notes;  // what was skipped or repaired, one line each
};

// False with a one-line error when the release could not be built; manifest.json and
// manifest.sig are then left as they were (history/<version>.json may be new: it is written
// first, so that every release ever served is in the history).
bool buildRelease(const BuildOptions& options, BuildReport& report, std::string& error);
