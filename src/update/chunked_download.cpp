// Sections: finding the chunks the folder holds; the partial files; fetching the chunks the
// folder lacks; copying the others; finishing one file; the old staging folder.
#include "update/chunked_download.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

#include "base/chunk_file.h"
#include "base/files.h"
#include "base/parallel.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "formats/chunking.h"

namespace {

// ---- finding the chunks the folder holds ----

// A local file worth cutting: a regular file, reached through no link, long enough to hold a
// chunk that is not the last of its file.
bool worthCutting(const std::wstring& gameDir, const std::wstring& widePath) {
  FileInfo info;
  return getEntryInfo(gameDir + widePath, info) && info.isRegularFile() &&
         info.size > kChunkMinBytes && linkInPath(gameDir, widePath).empty();
}

std::vector<std::wstring> filesToCut(const std::wstring& gameDir,
                                     const std::vector<FileEntry>& entries,
                                     const std::vector<std::uint8_t>& needsDownload,
                                     const JsonValue& root) {
  std::vector<std::wstring> out;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (needsDownload[i] != 0 && !entryChunks(entries[i]).empty() &&
        worthCutting(gameDir, entryWidePath(entries[i]))) {
      out.push_back(entryWidePath(entries[i]));
    }
  }
  for (const JsonValue& element : root.member("delete").elements) {
    std::wstring widePath;
    if (isSafeRelativePath(element.asString(), widePath) && !isLauncherOwnPath(widePath) &&
        worthCutting(gameDir, widePath)) {
      out.push_back(std::move(widePath));
    }
  }
  return out;
}

}  // namespace

ChunkSources findChunkSources(const std::wstring& gameDir, const std::vector<FileEntry>& entries,
                              const std::vector<std::uint8_t>& needsDownload,
                              const JsonValue& root) {
  ChunkSources sources;
  bool anyChunked = false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    anyChunked = anyChunked || (needsDownload[i] != 0 && !entryChunks(entries[i]).empty());
  }
  if (!anyChunked) return sources;
  // Files the check found good hold their chunks where their lists say.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const FileEntry& entry = entries[i];
    if (needsDownload[i] != 0 || entry.keep || entryChunks(entry).empty()) continue;
    const std::size_t file = sources.files.size();
    sources.files.push_back(gameDir + entryWidePath(entry));
    std::uint64_t offset = 0;
    for (const ChunkRef& chunk : entryChunks(entry)) {
      sources.chunks.emplace(chunk.hash, ChunkLocation{file, offset, chunk.size});
      offset += chunk.size;
    }
  }
  // Old files are cut as the publisher cut them, so chunks they share with the new ones match.
  // Every rebuild may read them: they are replaced or deleted only once every partial file is
  // complete.
  const std::vector<std::wstring> toCut = filesToCut(gameDir, entries, needsDownload, root);
  std::mutex lock;
  runJobsInParallel(toCut.size(), [&](std::size_t job) {
    const std::wstring path = gameDir + toCut[job];
    std::vector<std::pair<std::string, ChunkLocation>> found;
    cutFile(path, [&found](const FileChunk& chunk) {
      found.emplace_back(chunk.hash, ChunkLocation{0, chunk.offset, chunk.size});
      return true;
    });
    std::lock_guard<std::mutex> guard(lock);
    const std::size_t file = sources.files.size();
    sources.files.push_back(path);
    for (auto& [hash, location] : found) {
      location.file = file;
      sources.chunks.emplace(hash, location);
    }
  });
  return sources;
}

std::uint64_t downloadWeight(const FileEntry& entry, const UpdateSettings& settings) {
  if (!settings.useChunks || entryChunks(entry).empty()) return entry.compressedSize;
  std::uint64_t total = 0;
  for (const ChunkRef& chunk : entryChunks(entry)) total += chunk.compressedSize;
  return total;
}

// ---- the partial files ----

namespace {

bool hashIs(const std::uint8_t* bytes, std::size_t count, const std::string& hash) {
  Sha256Hasher hasher;
  if (!hasher.valid()) return false;
  hasher.update(bytes, count);
  return hasher.finishHex() == hash;
}

std::uint64_t longestChunk(const FileEntry& entry) {
  std::uint64_t longest = 0;
  for (const ChunkRef& chunk : entryChunks(entry)) longest = std::max(longest, chunk.size);
  return longest;
}

// The chunks a kept partial file holds at their offsets; Cancelled when the run was cancelled
// on the way (a partial file of many gigabytes takes a while to read).
DownloadResult findKeptChunks(LauncherState& state, FileHandle& file, PartialFile& partial) {
  std::vector<std::uint8_t> bytes(longestChunk(*partial.entry));
  for (std::size_t j = 0; j < partial.present.size(); ++j) {
    if (state.cancel.load()) return DownloadResult::Cancelled;
    const ChunkRef& chunk = entryChunks(*partial.entry)[j];
    if (file.readAt(partial.offsets[j], bytes.data(), chunk.size) &&
        hashIs(bytes.data(), chunk.size, chunk.hash)) {
      partial.present[j] = 1;
      state.bytesDone.fetch_add(chunk.compressedSize);
    }
  }
  return DownloadResult::Ok;
}

}  // namespace

PartialFile partialFileFor(const FileEntry& entry, const std::wstring& target) {
  PartialFile partial;
  partial.entry = &entry;
  partial.target = target;
  partial.path = target + kTemporarySuffix;
  partial.offsets.reserve(entryChunks(entry).size());
  std::uint64_t offset = 0;
  for (const ChunkRef& chunk : entryChunks(entry)) {
    partial.offsets.push_back(offset);
    offset += chunk.size;
  }
  partial.present.assign(entryChunks(entry).size(), 0);
  return partial;
}

bool openKeptPartial(FileHandle& file, const std::wstring& path, std::uint64_t size) {
  std::uint64_t length = 0;
  if (file.openForUpdate(path) && file.size(length) && length == size) return true;
  file.close();
  return false;
}

DownloadResult preparePartial(LauncherState& state, PartialFile& partial) {
  if (!ensureParentDirectory(partial.target)) return DownloadResult::WriteFailed;
  FileHandle file;
  if (openKeptPartial(file, partial.path, partial.entry->size)) {
    return findKeptChunks(state, file, partial);
  }
  // createNew removes whatever else has the name (a link itself, never its target).
  if (file.createNew(partial.path) && file.allocate(partial.entry->size)) {
    return DownloadResult::Ok;
  }
  file.close();
  deleteFile(partial.path);
  return DownloadResult::WriteFailed;
}

// ---- fetching the chunks the folder lacks ----

namespace {

bool inSources(const ChunkSources& sources, const ChunkRef& chunk) {
  const auto it = sources.chunks.find(chunk.hash);
  return it != sources.chunks.end() && it->second.size == chunk.size;
}

}  // namespace

std::vector<ChunkFetch> chunksToFetch(const ChunkSources& sources,
                                      const std::vector<PartialFile>& partials) {
  // The chunks a partial file already holds, and then those listed: each is fetched once.
  std::unordered_set<std::string> had;
  for (const PartialFile& partial : partials) {
    for (std::size_t j = 0; j < partial.present.size(); ++j) {
      if (partial.present[j] != 0) had.insert(entryChunks(*partial.entry)[j].hash);
    }
  }
  std::vector<ChunkFetch> out;
  for (std::size_t k = 0; k < partials.size(); ++k) {
    const std::vector<ChunkRef>& chunks = entryChunks(*partials[k].entry);
    for (std::size_t j = 0; j < chunks.size(); ++j) {
      if (partials[k].present[j] != 0 || inSources(sources, chunks[j])) continue;
      if (had.insert(chunks[j].hash).second) out.push_back({k, j});
    }
  }
  return out;
}

void fetchChunk(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
                PartialFile& partial, std::size_t chunk, std::atomic<int>& missing) {
  if (missing.load() >= kMissingChunksBeforeWhole) return;
  const ChunkRef& ref = entryChunks(*partial.entry)[chunk];
  FileEntry piece;
  piece.hash.assign(ref.hash);
  piece.size = ref.size;
  piece.compressedSize = ref.compressedSize;
  const DownloadResult r =
      downloadIntoPartial(state, settings, servers, piece, partial.path, partial.offsets[chunk]);
  if (r == DownloadResult::Ok) {
    partial.present[chunk] = 1;
  } else if (r == DownloadResult::NetworkFailed || r == DownloadResult::Corrupted) {
    missing.fetch_add(1);
  }
}

// ---- copying the others ----

void addPartialChunks(ChunkSources& sources, const std::vector<PartialFile>& partials) {
  for (const PartialFile& partial : partials) {
    const std::size_t file = sources.files.size();
    sources.files.push_back(partial.path);
    // Checked in this run: preferred to a place in an old file, which may have changed since.
    for (std::size_t j = 0; j < partial.present.size(); ++j) {
      const ChunkRef& chunk = entryChunks(*partial.entry)[j];
      if (partial.present[j] != 0) {
        sources.chunks.insert_or_assign(chunk.hash,
                                        ChunkLocation{file, partial.offsets[j], chunk.size});
      }
    }
  }
}

void copyChunks(LauncherState& state, const ChunkSources& sources, PartialFile& partial) {
  FileHandle out;
  std::vector<std::uint8_t> bytes;
  for (std::size_t j = 0; j < partial.present.size(); ++j) {
    if (state.cancel.load()) return;
    const ChunkRef& chunk = entryChunks(*partial.entry)[j];
    if (partial.present[j] != 0 || !inSources(sources, chunk)) continue;
    if (!out.isOpen() && !out.openForUpdate(partial.path)) return;
    const ChunkLocation& at = sources.chunks.at(chunk.hash);
    bytes.resize(chunk.size);
    FileHandle in;
    // A source that no longer holds the chunk leaves it missing: the file is fetched whole.
    if (!in.openForRead(sources.files[at.file], false) ||
        !in.readAt(at.offset, bytes.data(), chunk.size) ||
        !hashIs(bytes.data(), chunk.size, chunk.hash)) {
      continue;
    }
    if (!out.writeAt(partial.offsets[j], bytes.data(), chunk.size)) return;
    partial.present[j] = 1;
    state.bytesDone.fetch_add(chunk.compressedSize);
  }
}

// ---- finishing one file ----

namespace {

bool notCancelled(void* context, std::uint64_t) {
  return !static_cast<LauncherState*>(context)->cancel.load();
}

}  // namespace

DownloadResult finishChunkedFile(LauncherState& state, const UpdateSettings& settings,
                                 FileServers& servers, PartialFile& partial) {
  if (state.cancel.load()) return DownloadResult::Cancelled;
  const FileEntry& entry = *partial.entry;
  const bool complete =
      std::find(partial.present.begin(), partial.present.end(), 0) == partial.present.end();
  // Chunks that each hold but a whole that does not: the manifest's list is wrong.
  if (complete && entry.hash.is(HashFile(partial.path, notCancelled, &state))) {
    return moveIntoPlace(partial.path, partial.target);
  }
  if (state.cancel.load()) return DownloadResult::Cancelled;
  // The whole-file object instead, written over the partial file: its content is the file's,
  // so an interrupted download of it leaves every range it wrote good for the next run. Its
  // transfer counts in the progress instead of the chunks.
  std::uint64_t counted = 0;
  for (std::size_t j = 0; j < partial.present.size(); ++j) {
    if (partial.present[j] != 0) counted += entryChunks(entry)[j].compressedSize;
  }
  state.bytesDone.fetch_sub(counted);
  const DownloadResult result =
      downloadIntoPartial(state, settings, servers, entry, partial.path, 0);
  if (result != DownloadResult::Ok) return result;
  const std::uint64_t weight = downloadWeight(entry, settings);
  if (weight >= entry.compressedSize) {
    state.bytesDone.fetch_add(weight - entry.compressedSize);
  } else {
    state.bytesDone.fetch_sub(entry.compressedSize - weight);
  }
  return moveIntoPlace(partial.path, partial.target);
}

// ---- the old staging folder ----

void removeChunkStaging(const std::wstring& gameDir) {
  // Whatever was planted in it (folders, links to folders) goes too; nothing through a link.
  removeTree(gameDir + kChunkStagingFolder);
}
