// Releases for the engine's tests, signed with a fixed test key. Real releases come from the
// publisher's own code (publishFolder); the hand-made ones (publishRelease, writeSignedManifest)
// are for what the publisher refuses to make: unsafe paths, broken entries, hostile deletes.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "release_build.h"
#include "test_support.h"
#include "update/manifest_types.h"

struct TestKey {
  std::array<std::uint8_t, 32> seed;
  std::array<std::uint8_t, 32> publicKey;
};
// Two fixed Ed25519 key pairs (the first two of RFC 8032's test keys).
const TestKey& testKey();
const TestKey& otherTestKey();

std::string signEd25519(const TestKey& key, std::string_view message);  // 64 raw bytes
std::string zlibStream(std::string_view content);
std::string sha256Hex(std::string_view content);

struct ReleaseFile {
  std::string path;  // as the manifest writes it ("data/a.bin")
  std::string content;
  bool keep = false;
};

struct Release {
  std::int64_t version = 1;
  std::vector<ReleaseFile> files;
  bool hasLauncher = false;
  ReleaseFile launcher;
  std::vector<std::string> deletes;
  // More members of the root, written as they stand (",\"news\":[...]" without the comma).
  std::string extraMembers;
};

// The JSON object of one file entry.
std::string fileEntryJson(const ReleaseFile& file);
// The manifest text of a release.
std::string manifestText(const Release& release);
// Writes the ".z" of every file (and the launcher) under files/, then the manifest and its
// signature. Returns the manifest text.
std::string publishRelease(const TempDir& dir, const Release& release,
                           const TestKey& key = testKey());
// Writes manifest.json with these bytes and a signature of them.
void writeSignedManifest(const TempDir& dir, const std::string& text,
                         const TestKey& key = testKey());
// Builds a release of the game folder source into releaseDir with quillmark-publish's build,
// signed with testKey(); options may carry news, links, keep patterns, a previous manifest.
// Fails the test (and returns false) when the build fails.
bool publishFolder(const TempDir& source, const TempDir& releaseDir, std::int64_t version,
                   BuildOptions options = BuildOptions());

// Every file below a folder (relative path with "/" -> content), leaving out the names the
// launcher keeps for itself (patcher.ini, patcher_cache.dat, patcher.lock,
// patcher_manifest.dat).
std::map<std::string, std::string> folderFiles(const TempDir& dir);

// The path of a file's ".z" below the release folder ("files/ab/<hash>.z").
std::string compressedPath(const std::string& content);
// The chunks that the list object of a file of the release names, read as the launcher reads
// them (nothing when the entry has no list, or its object is missing or no list of the file).
std::vector<ChunkRef> releaseChunks(const TempDir& releaseDir, const FileEntry& entry);
