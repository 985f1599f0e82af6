// The text of manifest.json, written the one way the launcher reads it: members in a fixed
// order, files sorted by path, one entry per line, no time stamps, so that the same release
// gives the same bytes (and the same signature) every time.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/chunk_list.h"
#include "formats/json.h"

struct ManifestFile {
  std::string path;  // UTF-8, "/" between names
  std::string hash;  // 64 lower-case hex digits
  std::uint64_t size = 0;
  std::uint64_t compressedSize = 0;
  bool keep = false;
  // The object listing a large file's chunks ("chunk_list": hash, length of the list's text,
  // length of its object); hash "" for a file that is not cut.
  ChunkRef chunkList;
};

struct ManifestData {
  std::int64_t version = 0;
  std::string expires;  // "YYYY-MM-DDTHH:MM:SSZ", or "" for a manifest that never expires
  std::string gameExe;
  std::vector<ManifestFile> files;
  bool hasLauncher = false;
  ManifestFile launcher;
  JsonValue news;   // an Array (written as [] when it is not one)
  JsonValue links;  // an Object (written as {} when it is not one)
  std::vector<std::string> deletes;
};

// Appends s as a JSON string: quotes, backslashes and control characters escaped, every other
// byte (UTF-8 included) as it is.
void appendJsonString(std::string& out, std::string_view s);
// Appends a parsed value compactly; false (with a message) for a number JSON cannot hold.
bool appendJsonValue(std::string& out, const JsonValue& value, std::string& error);
// The whole manifest; false only when news or links hold a number JSON cannot hold.
bool writeManifestText(const ManifestData& data, std::string& out, std::string& error);
