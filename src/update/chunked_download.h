// A file with a chunk list is rebuilt from the chunks the game folder already holds plus the
// ones fetched, instead of fetched whole. Sources of chunks: the files the check found good
// (at the places their own chunk lists give), and the old local files about to be replaced or
// deleted, cut with the publisher's rule.
//
// Every chunk goes straight to its offset in the file's partial file (the target + ".ap_tmp",
// given its full size when it is made): fetched chunks are inflated into it as they arrive,
// the others copied in, each checked against its SHA-256; then the whole file is checked
// against its own before the one move into place. A fresh install thus writes every byte once,
// and the folder holds no more than the release beside the files it replaces. A partial file
// outlives an interrupted run, so that the next run keeps the chunks it holds (each range
// checked again) and fetches only the others.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/files.h"
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
};

struct ChunkSources {
  std::vector<std::wstring> files;  // full paths
  std::unordered_map<std::string, ChunkLocation> chunks;
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

// The partial file of one chunked download, and which of its chunks it holds.
struct PartialFile {
  const FileEntry* entry = nullptr;
  std::wstring target;                 // full path
  std::wstring path;                   // target + ".ap_tmp"
  std::vector<std::uint64_t> offsets;  // of each chunk
  // Per chunk: 1 once its range holds it, checked by its hash. One writer per element.
  std::vector<std::uint8_t> present;
};

PartialFile partialFileFor(const FileEntry& entry, const std::wstring& target);

// Opens a partial file that a rebuild of a file of size bytes keeps: a regular file with no
// other name, reached through no link, exactly size bytes long (as every partial file is made).
bool openKeptPartial(FileHandle& file, const std::wstring& path, std::uint64_t size);

// Keeps the partial file an earlier run left, finding the chunks it holds (they count as done
// in the progress), or makes a new one of the file's size. Anything else of its name (a link,
// a file with a second name, one of another size) is removed first.
DownloadResult preparePartial(LauncherState& state, PartialFile& partial);

// A chunk that neither the folder nor a partial file holds: chunk `chunk` of partials[file],
// its first use in this run. Its progress counts for that file.
struct ChunkFetch {
  std::size_t file = 0;
  std::size_t chunk = 0;
};

// The distinct chunks this run must fetch. They are fetched as transfers of their own beside
// the whole files, so that a large file's chunks keep as many requests in flight as small
// files do.
std::vector<ChunkFetch> chunksToFetch(const ChunkSources& sources,
                                      const std::vector<PartialFile>& partials);

// Once this many chunks of a run came from no server, the servers are taken to hold no chunk
// objects at all (a mirror that copies whole files only): the chunks not yet asked for are left
// missing at once, and their files fetched whole, instead of each costing its attempts.
inline constexpr int kMissingChunksBeforeWhole = 4;

// Fetches one chunk into its range of its partial file, from the servers in turn, unless
// `missing` (the run's count of chunks no server gave) has reached kMissingChunksBeforeWhole. A
// chunk that no server gives stays missing, and counts: its file is then fetched whole.
void fetchChunk(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
                PartialFile& partial, std::size_t chunk, std::atomic<int>& missing);

// Adds the chunks the partial files hold to the sources, so that a chunk used at several
// offsets, or by several files, is fetched once and copied.
void addPartialChunks(ChunkSources& sources, const std::vector<PartialFile>& partials);

// Copies into partial the chunks it lacks that the folder or a partial file holds, each checked
// by its hash; stops between chunks once the run is cancelled. Moves nothing: the sources stay
// in place until every partial file is complete.
void copyChunks(LauncherState& state, const ChunkSources& sources, PartialFile& partial);

// Moves a complete partial file into place once its whole hash is the entry's. When a chunk is
// missing (no server gave it) or the whole is wrong, the whole-file object is fetched over the
// partial file and moved. A cancelled run moves nothing: the partial file stays.
DownloadResult finishChunkedFile(LauncherState& state, const UpdateSettings& settings,
                                 FileServers& servers, PartialFile& partial);

// Removes the folder where earlier versions of the launcher kept fetched chunks.
void removeChunkStaging(const std::wstring& gameDir);
