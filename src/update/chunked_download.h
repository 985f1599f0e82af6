// A file with a chunk list is rebuilt from the chunks the game folder already holds plus the
// ones fetched, instead of fetched whole. Sources of chunks: the files the check found good
// (at the places their own chunk lists give), and the old local files about to be replaced or
// deleted, cut with the publisher's rule. Every chunk, wherever it comes from, is checked
// against its SHA-256 before use, and the whole file against its own before the move. Fetched
// chunks wait in the staging folder until the run completes, so an interrupted run resumes
// without fetching them again.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/json.h"
#include "update/download.h"
#include "update/launcher_state.h"
#include "update/manifest_types.h"
#include "update/update_settings.h"

// Where a chunk's bytes lie in the game folder.
struct ChunkLocation {
  std::size_t file = 0;  // index into ChunkSources::files
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  // The entry whose download replaces this file, or null. Only that download reads it: another
  // one holding it open would make the move over it fail on Windows.
  const FileEntry* replacedBy = nullptr;
};

struct ChunkSources {
  std::vector<std::wstring> files;  // full paths
  std::unordered_map<std::string, ChunkLocation> chunks;
  std::wstring staging;  // the staging folder with a trailing separator; "" when unusable
  // The chunks fetched into the staging folder by this run, and the entry whose progress
  // counted each (filled once every fetch has ended).
  std::unordered_map<std::string, const FileEntry*> fetchedBy;
};

// The chunks the folder holds for this run's downloads (nothing when none has chunks).
// needsDownload is the check's verdict per entry; root's "delete" names files that may hold
// chunks of renamed ones.
ChunkSources findChunkSources(const std::wstring& gameDir, const std::vector<FileEntry>& entries,
                              const std::vector<std::uint8_t>& needsDownload,
                              const JsonValue& root);

// What the download of entry adds to the progress total: its chunks' compressed sizes when it
// is rebuilt from chunks, else its object's.
std::uint64_t downloadWeight(const FileEntry& entry, const UpdateSettings& settings);

// A chunk that neither the folder nor the staging folder holds, and the entry whose progress
// counts it.
struct ChunkFetch {
  const ChunkRef* chunk = nullptr;
  const FileEntry* owner = nullptr;
};

// The distinct chunks this run's chunked downloads must fetch (none when the staging folder is
// unusable: those files are then fetched whole). They are fetched before any rebuild, as
// transfers of their own beside the whole files, so that a large file's chunks keep as many
// requests in flight as small files do.
std::vector<ChunkFetch> chunksToFetch(const ChunkSources& sources,
                                      const std::vector<FileEntry>& entries,
                                      const std::vector<std::uint8_t>& needsDownload);

// Fetches one chunk into the staging folder, checked by its hash, from the servers in turn.
bool fetchChunkToStaging(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
                         const ChunkSources& sources, const ChunkFetch& fetch);

// Rebuilds entry (which has chunks) at targetPath from the folder and the staging folder.
// When a chunk is missing there (its fetch failed) or wrong, the whole-file object is fetched
// instead (downloadFile).
DownloadResult downloadChunkedFile(LauncherState& state, const UpdateSettings& settings,
                                   FileServers& servers, const ChunkSources& sources,
                                   const FileEntry& entry, const std::wstring& targetPath);

// Removes the staging folder and the chunks in it (once a run has completed).
void removeChunkStaging(const std::wstring& gameDir);
