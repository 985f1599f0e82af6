// Sections: finding the chunks the folder holds; the staging folder; fetching the chunks the
// folder lacks; loading one chunk (from the folder or the staging folder); rebuilding one file.
#include "update/chunked_download.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

#include "base/chunk_file.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "formats/chunking.h"
#include "update/update_run.h"

namespace {

// ---- finding the chunks the folder holds ----

// A location of a file nobody replaces is preferred: every download may read it.
void addLocation(ChunkSources& sources, const std::string& hash, const ChunkLocation& location) {
  const auto [it, added] = sources.chunks.emplace(hash, location);
  if (!added && it->second.replacedBy != nullptr && location.replacedBy == nullptr) {
    it->second = location;
  }
}

// A local file worth cutting: a regular file, reached through no link, long enough to hold a
// chunk that is not the last of its file.
bool worthCutting(const std::wstring& gameDir, const std::wstring& widePath) {
  FileInfo info;
  return getEntryInfo(gameDir + widePath, info) && info.isRegularFile() &&
         info.size > kChunkMinBytes && linkInPath(gameDir, widePath).empty();
}

struct FileToCut {
  std::wstring widePath;
  const FileEntry* replacedBy = nullptr;
};

std::vector<FileToCut> filesToCut(const std::wstring& gameDir,
                                  const std::vector<FileEntry>& entries,
                                  const std::vector<std::uint8_t>& needsDownload,
                                  const JsonValue& root) {
  std::vector<FileToCut> out;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (needsDownload[i] != 0 && !entries[i].chunks.empty() &&
        worthCutting(gameDir, entryWidePath(entries[i]))) {
      out.push_back({entryWidePath(entries[i]), &entries[i]});
    }
  }
  for (const JsonValue& element : root.member("delete").elements) {
    std::wstring widePath;
    if (isSafeRelativePath(element.asString(), widePath) && !isLauncherOwnPath(widePath) &&
        worthCutting(gameDir, widePath)) {
      out.push_back({std::move(widePath), nullptr});
    }
  }
  return out;
}

// The staging folder, made a real folder: a file or a link of that name is removed first.
std::wstring prepareStaging(const std::wstring& gameDir) {
  const std::wstring dir = gameDir + kChunkStagingFolder;
  FileInfo info;
  if (getEntryInfo(dir, info) && !(info.isDirectory && !info.isLink)) deleteFile(dir);
  if (!createDirectory(dir) || !getEntryInfo(dir, info) || info.isLink || !info.isDirectory) {
    return std::wstring();
  }
  return dir + L"\\";
}

}  // namespace

ChunkSources findChunkSources(const std::wstring& gameDir, const std::vector<FileEntry>& entries,
                              const std::vector<std::uint8_t>& needsDownload,
                              const JsonValue& root) {
  ChunkSources sources;
  bool anyChunked = false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    anyChunked = anyChunked || (needsDownload[i] != 0 && !entries[i].chunks.empty());
  }
  if (!anyChunked) return sources;
  sources.staging = prepareStaging(gameDir);
  // Files the check found good hold their chunks where their lists say.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const FileEntry& entry = entries[i];
    if (needsDownload[i] != 0 || entry.keep || entry.chunks.empty()) continue;
    const std::size_t file = sources.files.size();
    sources.files.push_back(gameDir + entryWidePath(entry));
    std::uint64_t offset = 0;
    for (const ChunkRef& chunk : entry.chunks) {
      addLocation(sources, chunk.hash, {file, offset, chunk.size, nullptr});
      offset += chunk.size;
    }
  }
  // Old files are cut as the publisher cut them, so chunks they share with the new ones match.
  const std::vector<FileToCut> toCut = filesToCut(gameDir, entries, needsDownload, root);
  std::mutex lock;
  runJobsInParallel(toCut.size(), [&](std::size_t job) {
    const std::wstring path = gameDir + toCut[job].widePath;
    std::vector<std::pair<std::string, ChunkLocation>> found;
    cutFile(path, [&found](const FileChunk& chunk) {
      found.emplace_back(chunk.hash, ChunkLocation{0, chunk.offset, chunk.size, nullptr});
      return true;
    });
    std::lock_guard<std::mutex> guard(lock);
    const std::size_t file = sources.files.size();
    sources.files.push_back(path);
    for (auto& [hash, location] : found) {
      location.file = file;
      location.replacedBy = toCut[job].replacedBy;
      addLocation(sources, hash, location);
    }
  });
  return sources;
}

std::uint64_t downloadWeight(const FileEntry& entry, const UpdateSettings& settings) {
  if (!settings.useChunks || entry.chunks.empty()) return entry.compressedSize;
  std::uint64_t total = 0;
  for (const ChunkRef& chunk : entry.chunks) total += chunk.compressedSize;
  return total;
}

void removeChunkStaging(const std::wstring& gameDir) {
  const std::wstring dir = gameDir + kChunkStagingFolder;
  FileInfo info;
  if (!getEntryInfo(dir, info)) return;
  if (info.isLink || !info.isDirectory) {
    deleteFile(dir);
    return;
  }
  std::vector<std::wstring> names;
  listDirectory(dir, [&names](const std::wstring& name, bool isDirectory) {
    if (!isDirectory) names.push_back(name);
    return true;
  });
  for (const std::wstring& name : names) deleteFile(dir + L"\\" + name);
  removeEmptyDirectory(dir);
}

// ---- fetching the chunks the folder lacks ----

namespace {

// Whether the folder holds chunk where entry's rebuild may read it.
bool inFolderFor(const ChunkSources& sources, const ChunkRef& chunk, const FileEntry& entry) {
  const auto it = sources.chunks.find(chunk.hash);
  return it != sources.chunks.end() && it->second.size == chunk.size &&
         (it->second.replacedBy == nullptr || it->second.replacedBy == &entry);
}

bool staged(const ChunkSources& sources, const ChunkRef& chunk) {
  FileInfo info;
  return getEntryInfo(sources.staging + utf8ToWide(chunk.hash), info) && info.isRegularFile() &&
         info.size == chunk.size;
}

}  // namespace

std::vector<ChunkFetch> chunksToFetch(const ChunkSources& sources,
                                      const std::vector<FileEntry>& entries,
                                      const std::vector<std::uint8_t>& needsDownload) {
  std::vector<ChunkFetch> out;
  if (sources.staging.empty()) return out;
  std::unordered_set<std::string> listed;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (needsDownload[i] == 0) continue;
    for (const ChunkRef& chunk : entries[i].chunks) {
      if (inFolderFor(sources, chunk, entries[i]) || listed.count(chunk.hash) != 0 ||
          staged(sources, chunk)) {
        continue;
      }
      listed.insert(chunk.hash);
      out.push_back({&chunk, &entries[i]});
    }
  }
  return out;
}

bool fetchChunkToStaging(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
                         const ChunkSources& sources, const ChunkFetch& fetch) {
  FileEntry piece;
  piece.path = fetch.chunk->hash;
  piece.hash.assign(fetch.chunk->hash);
  piece.size = fetch.chunk->size;
  piece.compressedSize = fetch.chunk->compressedSize;
  return downloadFile(state, settings, servers, piece, sources.staging + utf8ToWide(piece.path)) ==
         DownloadResult::Ok;
}

namespace {

// ---- loading one chunk ----

// What one file's rebuild shares between its chunks.
struct Rebuild {
  LauncherState& state;
  const ChunkSources& sources;
  const FileEntry& entry;
  std::uint64_t counted = 0;  // added to the progress, taken back if the rebuild fails
  // Chunks this entry fetched before the rebuild, already counted once as they arrived.
  std::unordered_set<std::string> countedByFetch;
};

bool hashIs(const std::uint8_t* bytes, std::size_t count, const std::string& hash) {
  Sha256Hasher hasher;
  if (!hasher.valid()) return false;
  hasher.update(bytes, count);
  return hasher.finishHex() == hash;
}

bool readExactly(FileHandle& file, std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    std::size_t got = 0;
    if (!file.read(bytes, count, got) || got == 0) return false;
    bytes += got;
    count -= got;
  }
  return true;
}

// From a file of the folder, when it still holds those bytes.
bool loadFromFolder(const Rebuild& r, const ChunkRef& chunk, std::uint8_t* bytes) {
  const auto it = r.sources.chunks.find(chunk.hash);
  if (it == r.sources.chunks.end()) return false;
  const ChunkLocation& at = it->second;
  if (at.size != chunk.size || (at.replacedBy != nullptr && at.replacedBy != &r.entry)) {
    return false;
  }
  FileHandle file;
  return file.openForRead(r.sources.files[at.file], false) && file.seek(at.offset) &&
         readExactly(file, bytes, chunk.size) && hashIs(bytes, chunk.size, chunk.hash);
}

// From the staging folder; a staged chunk that is not what its name says is removed.
bool loadStaged(const Rebuild& r, const ChunkRef& chunk, std::uint8_t* bytes) {
  if (r.sources.staging.empty()) return false;
  const std::wstring path = r.sources.staging + utf8ToWide(chunk.hash);
  FileHandle file;
  std::uint64_t size = 0;
  if (!file.openForRead(path, false)) return false;
  if (file.size(size) && size == chunk.size && readExactly(file, bytes, chunk.size) &&
      hashIs(bytes, chunk.size, chunk.hash)) {
    return true;
  }
  file.close();
  deleteFile(path);
  return false;
}

bool fetchedBy(const ChunkSources& sources, const std::string& hash, const FileEntry& entry) {
  const auto it = sources.fetchedBy.find(hash);
  return it != sources.fetchedBy.end() && it->second == &entry;
}

// From the folder or the staging folder: a rebuild fetches nothing itself, the chunks the
// folder lacked were fetched before it.
bool loadChunk(Rebuild& r, const ChunkRef& chunk, std::uint8_t* bytes) {
  if (!loadFromFolder(r, chunk, bytes) && !loadStaged(r, chunk, bytes)) return false;
  // Progress: a chunk this entry fetched counted as it arrived, the first time it is used.
  if (fetchedBy(r.sources, chunk.hash, r.entry) && r.countedByFetch.insert(chunk.hash).second) {
    return true;
  }
  r.state.bytesDone.fetch_add(chunk.compressedSize);
  r.counted += chunk.compressedSize;
  return true;
}

// What this entry's fetched chunks added to the progress as they arrived.
std::uint64_t fetchedBytes(const ChunkSources& sources, const FileEntry& entry) {
  std::unordered_set<std::string> seen;
  std::uint64_t total = 0;
  for (const ChunkRef& chunk : entry.chunks) {
    if (fetchedBy(sources, chunk.hash, entry) && seen.insert(chunk.hash).second) {
      total += chunk.compressedSize;
    }
  }
  return total;
}

// ---- rebuilding one file ----

// The chunks in order into the temporary file, one chunk in memory at a time.
DownloadResult rebuild(Rebuild& r, const std::wstring& targetPath) {
  const std::wstring tempPath = targetPath + kTemporarySuffix;
  if (!ensureParentDirectory(targetPath)) return DownloadResult::WriteFailed;
  FileHandle file;
  if (!file.createNew(tempPath)) return DownloadResult::WriteFailed;
  Sha256Hasher whole;
  std::uint64_t longest = 0;
  for (const ChunkRef& chunk : r.entry.chunks) longest = std::max(longest, chunk.size);
  std::vector<std::uint8_t> bytes(longest);
  DownloadResult result = whole.valid() ? DownloadResult::Ok : DownloadResult::WriteFailed;
  for (const ChunkRef& chunk : r.entry.chunks) {
    if (result != DownloadResult::Ok) break;
    if (!loadChunk(r, chunk, bytes.data())) result = DownloadResult::NetworkFailed;
    if (result != DownloadResult::Ok) break;
    whole.update(bytes.data(), chunk.size);
    if (!file.write(bytes.data(), chunk.size)) result = DownloadResult::WriteFailed;
  }
  // The content reaches the disk with the one sync of the run's writes, as a file fetched whole
  // does: until then no cache record names it.
  file.close();
  // Chunks that each hold but a file that does not: the manifest's list is wrong.
  if (result == DownloadResult::Ok && !r.entry.hash.is(whole.finishHex())) {
    result = DownloadResult::Corrupted;
  }
  if (result != DownloadResult::Ok) {
    deleteFile(tempPath);
    return result;
  }
  return moveIntoPlace(tempPath, targetPath);
}

}  // namespace

DownloadResult downloadChunkedFile(LauncherState& state, const UpdateSettings& settings,
                                   FileServers& servers, const ChunkSources& sources,
                                   const FileEntry& entry, const std::wstring& targetPath) {
  Rebuild r{state, sources, entry, 0, {}};
  const DownloadResult result = rebuild(r, targetPath);
  if (result == DownloadResult::Ok) return result;
  state.bytesDone.fetch_sub(r.counted + fetchedBytes(sources, entry));
  // A chunk no server could give, or one that did not hold what its hash says: the whole-file
  // object may still be had.
  if (result != DownloadResult::NetworkFailed && result != DownloadResult::Corrupted) {
    return result;
  }
  return downloadFile(state, settings, servers, entry, targetPath);
}
