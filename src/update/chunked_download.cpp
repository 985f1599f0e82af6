// Sections: finding the chunks the folder holds; the staging folder; loading one chunk (from
// the folder, the staging folder or a server); rebuilding one file.
#include "update/chunked_download.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "base/chunk_file.h"
#include "base/files.h"
#include "base/http.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "formats/chunking.h"
#include "update/download_stream.h"
#include "update/fetch.h"
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

namespace {

// ---- loading one chunk ----

// What one file's rebuild shares between its chunks.
struct Rebuild {
  LauncherState& state;
  const UpdateSettings& settings;
  FileServers& servers;
  const ChunkSources& sources;
  const FileEntry& entry;
  std::uint64_t counted = 0;  // added to the progress, taken back if the rebuild fails
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

// Keeps a fetched chunk for a run that may follow this one; a chunk that cannot be kept is
// only fetched again then.
void stage(const Rebuild& r, const ChunkRef& chunk, const std::uint8_t* bytes) {
  if (r.sources.staging.empty()) return;
  const std::wstring path = r.sources.staging + utf8ToWide(chunk.hash);
  const std::wstring temp = path + kTemporarySuffix;
  FileHandle file;
  if (!file.createNew(temp)) return;
  const bool written = file.write(bytes, chunk.size);
  file.close();
  if (!written || !moveFileReplace(temp, path)) deleteFile(temp);
}

// One server's attempts at a chunk's object, inflated and checked into bytes.
DownloadResult fetchFrom(Rebuild& r, const std::wstring& baseUrl, const ChunkRef& chunk,
                         std::uint8_t* bytes) {
  FileEntry piece;
  piece.hash.assign(chunk.hash);  // 64 hex digits: the entry was refused otherwise
  piece.size = chunk.size;
  const std::wstring url = fileUrl(baseUrl, chunk.hash);
  DownloadResult result = DownloadResult::NetworkFailed;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (r.state.cancel.load()) return DownloadResult::Cancelled;
    if (attempt > 0 && !pauseUnlessCancelled(r.state, r.settings.downloadRetryPauseMs * attempt)) {
      return DownloadResult::Cancelled;
    }
    std::size_t filled = 0;
    // The stream stops at the chunk's size, so the buffer never overflows.
    DownloadStream stream(piece, [bytes, &filled](const std::uint8_t* data, std::size_t count) {
      std::memcpy(bytes + filled, data, count);
      filled += count;
      return true;
    });
    if (!stream.ready()) return DownloadResult::WriteFailed;
    std::uint64_t counted = 0;
    const int status = fetchInto(
        url,
        [&](const std::uint8_t* data, std::uint32_t count) {
          if (r.state.cancel.load()) return false;
          counted += count;
          r.state.bytesDone.fetch_add(count);
          return stream.feed(data, count);
        },
        r.state.cancel);
    if (status == 200) stream.finish();
    if (status == 200 && stream.verified()) {
      r.counted += counted;
      return DownloadResult::Ok;
    }
    r.state.bytesDone.fetch_sub(counted);
    if (r.state.cancel.load()) return DownloadResult::Cancelled;
    result = status == 200 ? DownloadResult::Corrupted : DownloadResult::NetworkFailed;
  }
  return result;
}

DownloadResult fetchChunk(Rebuild& r, const ChunkRef& chunk, std::uint8_t* bytes) {
  DownloadResult result = DownloadResult::NetworkFailed;
  for (const std::size_t server : r.servers.order()) {
    result = fetchFrom(r, r.servers.url(server), chunk, bytes);
    if (result != DownloadResult::NetworkFailed && result != DownloadResult::Corrupted) break;
    r.servers.markFailed(server);
  }
  if (result == DownloadResult::Ok) stage(r, chunk, bytes);
  return result;
}

DownloadResult loadChunk(Rebuild& r, const ChunkRef& chunk, std::uint8_t* bytes) {
  if (loadFromFolder(r, chunk, bytes) || loadStaged(r, chunk, bytes)) {
    r.state.bytesDone.fetch_add(chunk.compressedSize);
    r.counted += chunk.compressedSize;
    return DownloadResult::Ok;
  }
  return fetchChunk(r, chunk, bytes);
}

// ---- rebuilding one file ----

// A rebuild holds a chunk in memory (up to 4 MiB) from start to end, so only so many run at
// once, whatever the transfers in flight. They take no body slot for that long: transfers
// waiting for one would stop reading meanwhile and fall below the transfer floor.
constexpr int kRebuildsAtOnce = 4;

class RebuildSlot {
 public:
  RebuildSlot() {
    std::unique_lock<std::mutex> lock(mutex_);
    freed_.wait(lock, [] { return free_ > 0; });
    --free_;
  }
  ~RebuildSlot() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++free_;
    }
    freed_.notify_one();
  }
  RebuildSlot(const RebuildSlot&) = delete;
  RebuildSlot& operator=(const RebuildSlot&) = delete;

 private:
  static inline std::mutex mutex_;
  static inline std::condition_variable freed_;
  static inline int free_ = kRebuildsAtOnce;
};

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
    result = loadChunk(r, chunk, bytes.data());
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
  Rebuild r{state, settings, servers, sources, entry};
  DownloadResult result = DownloadResult::WriteFailed;
  {
    const RebuildSlot slot;
    result = rebuild(r, targetPath);
  }
  if (result == DownloadResult::Ok) return result;
  state.bytesDone.fetch_sub(r.counted);
  // A server without the chunk objects, or with damaged ones, may still serve the whole file.
  if (result != DownloadResult::NetworkFailed && result != DownloadResult::Corrupted) {
    return result;
  }
  return downloadFile(state, settings, servers, entry, targetPath);
}
