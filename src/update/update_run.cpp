// The update run. Sections: settings and game folder; check phase; download phase; apply
// phase; runUpdate; the run's thread (startUpdate, joinUpdate, cancelUpdate).
#include "update/update_run.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "base/files.h"
#include "base/folder_lock.h"
#include "base/memory.h"
#include "base/parallel.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "formats/json.h"
#include "i18n/strings.h"
#include "quillmark_config.h"
#include "update/chunk_lists.h"
#include "update/chunked_download.h"
#include "update/download.h"
#include "update/fetch.h"
#include "update/manifest.h"
#include "update/patch_state.h"
#include "update/self_update.h"

// ---- settings and game folder ----

UpdateSettings::UpdateSettings()
    : patchUrls(std::begin(quillmark::config::kPatchUrls), std::end(quillmark::config::kPatchUrls)),
      publicKeys(builtInPublicKeys()) {}

std::wstring normalizeGameDir(const std::wstring& dir) {
  std::wstring out = dir.empty() ? std::wstring(L".") : dir;
  std::replace(out.begin(), out.end(), L'/', L'\\');
  if (out.back() != L'\\') out += L'\\';
  return out;
}

namespace {

std::wstring resolveGameDir(const UpdateSettings& settings) {
  return normalizeGameDir(settings.gameDir.empty() ? moduleDirectory() : settings.gameDir);
}

// The servers this run takes files from: the one whose manifest was chosen first, then those
// after it and those before it, leaving out every server that showed an older manifest (it
// is behind the release, or replaying one).
std::vector<std::wstring> fileServerUrls(const UpdateSettings& settings,
                                         const ChosenManifest& chosen) {
  std::vector<std::wstring> urls;
  const std::size_t count = settings.patchUrls.size();
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t i = (chosen.server + k) % count;
    if (!chosen.older[i]) urls.push_back(settings.patchUrls[i]);
  }
  return urls;
}

}  // namespace

namespace {

struct FileStat {
  std::uint64_t size = 0;
  std::uint64_t writeTime = 0;
};

struct RunData {
  std::wstring gameDir;
  std::vector<FileEntry> entries;
  std::vector<std::uint8_t> needsDownload;
  std::vector<FileStat> stat;
  ChunkSources chunkSources;
  // The last run of this folder did not complete: files it wrote may not be on disk yet
  // (every completed run synced its writes before it ended).
  bool previousRunInterrupted = false;

  // The hash cache, slot i for entry i: the run's alone (no display reads it), written by
  // its workers under cacheLock.
  std::mutex cacheLock;
  EntryCache cache;
  // The entries recorded in the cache since the last sync whose bytes may still be only in
  // memory (under cacheLock): those written by this run, and after an interrupted run those
  // hashed, which that run may have written.
  std::vector<std::size_t> unsynced;
};

void storeRecord(RunData& run, std::size_t i, const CacheSlot& slot, bool mayBeUnsynced) {
  std::lock_guard<std::mutex> guard(run.cacheLock);
  run.cache[i] = slot;
  if (mayBeUnsynced) run.unsynced.push_back(i);
}

// Writes patcher_cache.dat, once the files it newly vouches for are on disk.
//
// Files are written and moved without waiting for the disk, and made durable here, once for
// the whole run, before the cache names them. A power cut at any moment therefore converges
// on the next run: a file moved but not yet synced has no record in the cache on disk (the
// old cache names its old size and time, or nothing), so the next run finds its attributes
// unknown and hashes it; whatever the cut left (the new bytes, zeros, the old file) is then
// kept or downloaded again by its hash. A cut during the cache's own write leaves the old
// cache whole (temporary file, flush, move). The version in patcher.ini is written after
// the cache, so a folder is never marked up to date while a record is missing.
void syncAndSaveCache(const UpdateSettings& settings, RunData& run) {
  std::lock_guard<std::mutex> guard(run.cacheLock);
  if (!run.unsynced.empty() && settings.syncWrites) {
    std::vector<std::wstring> paths;
    paths.reserve(run.unsynced.size());
    for (const std::size_t i : run.unsynced)
      paths.push_back(run.gameDir + entryWidePath(run.entries[i]));
    // A file that may not be on disk loses its record: the next run hashes it again.
    for (const std::size_t k : syncWrittenFiles(run.gameDir, paths)) {
      run.cache[run.unsynced[k]].known = false;
    }
    if (settings.afterSync) settings.afterSync();
  }
  run.unsynced.clear();
  saveEntryCache(run.gameDir, run.entries, run.cache);
}

// ---- check phase ----

// Refuses an entry list that is invalid or names one file twice, while a second thread reads
// the cache file (33 MB for 300,000 files) into a slot per entry: for a large game each takes
// a tenth of a second. A repair does not use the cache. No worker runs yet: no lock is needed.
bool acceptEntriesAndLoadCache(LauncherState& state, const ChosenManifest& chosen, bool repair,
                               RunData& run) {
  bool distinct = false;
  runJobsInParallel(
      2,
      [&](std::size_t job) {
        if (job == 0) {
          distinct = chosen.manifest.entriesValid && fileEntriesAreDistinct(run.entries);
        } else if (repair) {
          run.cache.assign(run.entries.size(), CacheSlot());
        } else {
          loadEntryCache(run.gameDir, run.entries, run.cache);
        }
      },
      2);
  if (distinct) return true;
  setError(state, ErrorKind::Refused, std::wstring(uiText(kStrErrManifest)) + L" (path)");
  return false;
}

bool hashProgress(void* context, std::uint64_t bytesRead) {
  LauncherState& state = *static_cast<LauncherState*>(context);
  state.bytesDone.fetch_add(bytesRead);
  return !state.cancel.load();
}

// Entries per scan job: enough that handing out jobs costs nothing next to the stat calls.
constexpr std::size_t kScanBatch = 256;

// Decides entry i from its attributes and the cache, without reading the file: 0 nothing to
// do, 1 download, 2 hash. Writes only needsDownload[i] and stat[i].
int scanEntry(RunData& run, const FolderScan& folder, std::size_t i) {
  const FileEntry& entry = run.entries[i];
  FileInfo info;
  if (!folder.entryInfo(entry.path, info) || info.isDirectory) {
    run.needsDownload[i] = 1;
    return 1;
  }
  run.stat[i] = FileStat{info.size, info.lastWriteTime};
  // An existing keep file is the player's, whatever it is; anything else that is not a regular
  // file (a link, a FIFO) is replaced by the release's file, and never read.
  if (entry.keep) return 0;
  if (!info.isRegularFile()) {
    run.needsDownload[i] = 1;
    return 1;
  }
  if (info.size != entry.size) {
    run.needsDownload[i] = 1;
    return 1;
  }
  const CacheSlot& record = run.cache[i];
  if (record.known && record.size == info.size && record.writeTime == info.lastWriteTime) {
    run.needsDownload[i] = slotHashIs(record, entry.hash) ? 0 : 1;
    return run.needsDownload[i];
  }
  return 2;
}

void checkFiles(LauncherState& state, RunData& run) {
  const std::size_t n = run.entries.size();
  run.needsDownload.assign(n, 0);
  reserveLarge(run.stat, n);
  run.stat.assign(n, FileStat());
  std::vector<std::uint8_t> toHash(n, 0);
  {
    // The scan reads attributes only, but a folder of 100,000 files spends most of a no-change
    // run here, so it runs on the workers too, in batches. Nothing writes the cache meanwhile:
    // the lock, held by this thread for the whole scan, keeps it that way, and the workers
    // only read it. Each entry's slots are written by the one job that owns its index.
    std::lock_guard<std::mutex> guard(run.cacheLock);
    const FolderScan folder(run.gameDir);
    runJobsInParallel((n + kScanBatch - 1) / kScanBatch, [&](std::size_t batch) {
      const std::size_t end = std::min(n, (batch + 1) * kScanBatch);
      for (std::size_t i = batch * kScanBatch; i < end; ++i) {
        if (scanEntry(run, folder, i) == 2) toHash[i] = 1;
      }
    });
  }
  // Hash jobs in manifest order, as a single-threaded scan would have listed them.
  std::vector<std::size_t> hashJobs;
  std::uint64_t hashTotal = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (toHash[i] == 0) continue;
    hashJobs.push_back(i);
    hashTotal += run.stat[i].size;
  }
  state.bytesTotal.store(hashTotal);
  state.bytesDone.store(0);
  state.filesTotal.store(static_cast<std::int32_t>(hashJobs.size()));
  state.filesDone.store(0);
  runJobsInParallel(hashJobs.size(), [&](std::size_t job) {
    if (state.cancel.load()) return;
    const std::size_t i = hashJobs[job];
    const FileEntry& entry = run.entries[i];
    const std::wstring widePath = entryWidePath(entry);
    setCurrentItem(state, widePath);
    const std::string hash = HashFile(run.gameDir + widePath, hashProgress, &state);
    if (!entry.hash.is(hash)) run.needsDownload[i] = 1;
    if (!hash.empty()) {
      storeRecord(run, i, knownSlot(run.stat[i].size, run.stat[i].writeTime, hash),
                  run.previousRunInterrupted);
    }
    state.filesDone.fetch_add(1);
  });
}

// ---- download phase ----

// The number of partial files prepared, filled with copies or checked whole at once: each
// holds one chunk in memory (1 MiB, at most 4 MiB) and reads and writes the disk.
constexpr std::size_t kRebuildsAtOnce = 4;

// One download job's outcome, shared by the jobs of the download phase.
struct DownloadJobs {
  std::atomic<int> failure{0};
  std::mutex failedPathLock;
  std::wstring failedPath;

  bool stopped(const LauncherState& state) const {
    return state.cancel.load() || failure.load() != 0;
  }
};

// Records the outcome of entry i's download: a file in place goes into the cache, the first
// failure stops the other jobs.
void recordDownload(LauncherState& state, RunData& run, std::size_t i, DownloadResult r,
                    DownloadJobs& jobs) {
  const FileEntry& entry = run.entries[i];
  if (r == DownloadResult::Ok) {
    FileInfo info;
    if (getEntryInfo(run.gameDir + entryWidePath(entry), info) && info.isRegularFile()) {
      storeRecord(run, i, knownSlot(info.size, info.lastWriteTime, entry.hash), true);
    }
    state.filesDone.fetch_add(1);
    return;
  }
  if (r == DownloadResult::Cancelled) return;
  int expected = 0;
  if (jobs.failure.compare_exchange_strong(expected, static_cast<int>(r))) {
    {
      std::lock_guard<std::mutex> guard(jobs.failedPathLock);
      jobs.failedPath = entryWidePath(entry);
    }
    // Jobs not yet started do nothing and running transfers stop at their next chunk.
    state.cancel.store(true);
  }
}

// A folder on the way to entry i that is a link would take its file out of the game folder.
bool safeTarget(const RunData& run, std::size_t i) {
  return linkInPath(run.gameDir, entryWidePath(run.entries[i])).empty();
}

// Downloads entry i whole.
void downloadEntry(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
                   RunData& run, std::size_t i, DownloadJobs& jobs) {
  if (jobs.stopped(state)) return;
  const FileEntry& entry = run.entries[i];
  setCurrentItem(state, entryWidePath(entry));
  const DownloadResult r = safeTarget(run, i) ? downloadFile(state, settings, servers, entry,
                                                             run.gameDir + entryWidePath(entry))
                                              : DownloadResult::WriteFailed;
  recordDownload(state, run, i, r, jobs);
}

// The files rebuilt from chunks, and the partial file of each.
struct ChunkedDownloads {
  std::vector<std::size_t> entries;
  std::vector<PartialFile> partials;
};

// Downloads what the check found missing or wrong. False when the run must end (an error
// was set, or the run was cancelled).
//
// Chunked files go in four steps, each over all of them: their partial files are kept or made;
// the transfers run (the chunks the folder lacks, into their places, and the files fetched
// whole); the chunks the folder or a partial file holds are copied in; each file is checked
// whole and moved. No file is moved before every copy is done, so that any old file, or any
// partial file, can be read for a chunk while it lasts.
bool downloadFiles(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
                   RunData& run) {
  std::vector<std::size_t> whole;
  ChunkedDownloads chunked;
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < run.entries.size(); ++i) {
    if (run.needsDownload[i] == 0) continue;
    if (settings.useChunks && !entryChunks(run.entries[i]).empty()) {
      chunked.entries.push_back(i);
      chunked.partials.push_back(
          partialFileFor(run.entries[i], run.gameDir + entryWidePath(run.entries[i])));
    } else {
      whole.push_back(i);
    }
    total += downloadWeight(run.entries[i], settings);
  }
  if (whole.empty() && chunked.entries.empty()) return true;

  postPhase(state, kPhaseDownloading);
  state.bytesDone.store(0);
  state.bytesTotal.store(total);
  state.filesTotal.store(static_cast<std::int32_t>(whole.size() + chunked.entries.size()));
  state.filesDone.store(0);

  DownloadJobs jobs;
  std::vector<PartialFile>& partials = chunked.partials;
  const auto forEachPartial = [&](const std::function<void(std::size_t, PartialFile&)>& step) {
    runJobsInParallel(
        partials.size(),
        [&](std::size_t k) {
          if (jobs.stopped(state)) return;
          setCurrentItem(state, entryWidePath(*partials[k].entry));
          step(chunked.entries[k], partials[k]);
        },
        kRebuildsAtOnce);
  };
  forEachPartial([&](std::size_t i, PartialFile& partial) {
    const DownloadResult r =
        safeTarget(run, i) ? preparePartial(state, partial) : DownloadResult::WriteFailed;
    if (r != DownloadResult::Ok) recordDownload(state, run, i, r, jobs);
  });

  // Each transfer waits for its answer on a thread of its own; the inflate, hash and write of
  // the bodies take turns on kBodyWorkers slots (fetch.h).
  const std::vector<ChunkFetch> fetches =
      jobs.stopped(state) ? std::vector<ChunkFetch>() : chunksToFetch(run.chunkSources, partials);
  std::atomic<int> missingChunks{0};
  runJobsInParallel(
      fetches.size() + whole.size(),
      [&](std::size_t job) {
        if (job >= fetches.size()) {
          downloadEntry(state, settings, servers, run, whole[job - fetches.size()], jobs);
          return;
        }
        if (jobs.stopped(state)) return;
        PartialFile& partial = partials[fetches[job].file];
        setCurrentItem(state, entryWidePath(*partial.entry));
        fetchChunk(state, settings, servers, partial, fetches[job].chunk, missingChunks);
      },
      kRequestsInFlight);

  addPartialChunks(run.chunkSources, partials);
  forEachPartial(
      [&](std::size_t, PartialFile& partial) { copyChunks(state, run.chunkSources, partial); });
  forEachPartial([&](std::size_t i, PartialFile& partial) {
    recordDownload(state, run, i, finishChunkedFile(state, settings, servers, partial), jobs);
  });

  syncAndSaveCache(settings, run);
  if (jobs.failure.load() != 0) {
    std::wstring path;
    {
      std::lock_guard<std::mutex> guard(jobs.failedPathLock);
      path = jobs.failedPath;
    }
    setDownloadError(state, static_cast<DownloadResult>(jobs.failure.load()), path);
    return false;
  }
  return !state.cancel.load();
}

// Whether the downloads fit on the game folder's volume; when not, the run's error names
// both sizes and nothing has been changed.
//
// Counted: the run's peak, every download's new size while the file it replaces still stands.
// Each is written whole beside its old file (a temporary file, or a partial file made at its
// full size from the start), and the old file goes only with the move; the chunked files are
// all moved after the last one is complete. Less the partial files an interrupted run left
// that this one keeps: they already have their full size on the disk. The sizes come from the
// manifest, so the sum stops at the largest number rather than wrap: four signed entries of
// 2^62 bytes would otherwise need nothing.
bool enoughDiskSpace(LauncherState& state, const UpdateSettings& settings, const RunData& run) {
  std::uint64_t needed = 0;
  for (std::size_t i = 0; i < run.entries.size(); ++i) {
    if (run.needsDownload[i] == 0) continue;
    const FileEntry& entry = run.entries[i];
    FileHandle kept;
    const bool keepsPartial =
        settings.useChunks && entry.chunkList && safeTarget(run, i) &&
        openKeptPartial(kept, run.gameDir + entryWidePath(entry) + kTemporarySuffix, entry.size);
    if (!keepsPartial) needed = entry.size > UINT64_MAX - needed ? UINT64_MAX : needed + entry.size;
  }
  if (needed == 0) return true;
  std::uint64_t available = 0;
  if (settings.pretendFreeBytes >= 0) {
    available = static_cast<std::uint64_t>(settings.pretendFreeBytes);
  } else if (!freeDiskSpace(run.gameDir, available)) {
    return true;  // a system that cannot say lets the writes themselves tell
  }
  if (needed <= available) return true;
  setError(
      state, ErrorKind::DiskFull,
      uiTextWith(kStrErrDiskSpace, diskSizeText(needed, true), diskSizeText(available, false)));
  return false;
}

// ---- apply phase ----

// What the download phase will write, as cache keys: the files, and every folder above them.
struct DownloadPaths {
  std::unordered_set<std::wstring> files;
  std::unordered_set<std::wstring> folders;
};

DownloadPaths downloadPaths(const RunData& run) {
  DownloadPaths out;
  for (std::size_t i = 0; i < run.entries.size(); ++i) {
    if (run.needsDownload[i] == 0) continue;
    const std::wstring key = cacheKey(entryWidePath(run.entries[i]));
    for (std::size_t sep = key.find(L'\\'); sep != std::wstring::npos;
         sep = key.find(L'\\', sep + 1)) {
      out.folders.insert(key.substr(0, sep));
    }
    out.files.insert(key);
  }
  return out;
}

// A deleted path is in a download's way when it stands where a folder must be created, or
// lies inside a folder that a downloaded file replaces.
bool inTheWay(const DownloadPaths& pending, const std::wstring& key) {
  if (pending.folders.count(key) != 0) return true;
  for (std::size_t sep = key.find(L'\\'); sep != std::wstring::npos;
       sep = key.find(L'\\', sep + 1)) {
    if (pending.files.count(key.substr(0, sep)) != 0) return true;
  }
  return false;
}

// The delete list; with onlyInTheWayOf, just its entries that would block those downloads.
void applyDeletions(const JsonValue& root, const RunData& run,
                    const DownloadPaths* onlyInTheWayOf = nullptr) {
  const JsonValue& list = root.member("delete");
  if (list.kind != JsonKind::Array || list.elements.empty()) return;
  // A file the manifest also lists is part of the release; deleting it would leave the
  // folder different from the manifest it has just been brought to. Where names differ by
  // case (POSIX), "Readme.txt" is another file than a listed "readme.txt" and does go; the
  // record they share as a cache key stays the listed file's.
  const bool exactNames = fileNamesAreCaseSensitive();
  std::unordered_set<std::wstring> listedKeys;
  std::unordered_set<std::wstring> listedNames;
  listedKeys.reserve(run.entries.size());
  for (const FileEntry& entry : run.entries) {
    std::wstring widePath = entryWidePath(entry);
    listedKeys.insert(cacheKey(widePath));
    if (exactNames) listedNames.insert(std::move(widePath));
  }
  for (const JsonValue& element : list.elements) {
    std::wstring widePath;
    if (!isSafeRelativePath(element.asString(), widePath)) continue;
    // The launcher's own files are not the release's to delete, and nothing is deleted
    // through a link: that would delete outside the game folder.
    if (isLauncherOwnPath(widePath) || !linkInPath(run.gameDir, widePath).empty()) continue;
    const std::wstring key = cacheKey(widePath);
    const bool listed = exactNames ? listedNames.count(widePath) != 0 : listedKeys.count(key) != 0;
    if (listed) continue;
    if (onlyInTheWayOf != nullptr && !inTheWay(*onlyInTheWayOf, key)) continue;
    // deleteFile removes a read-only file too, and a link itself, never what it points at.
    deleteFile(run.gameDir + widePath);
    std::wstring folder = widePath;
    for (std::size_t sep = folder.find_last_of(L"\\/"); sep != std::wstring::npos;
         sep = folder.find_last_of(L"\\/")) {
      folder.resize(sep);
      if (folder.empty() || !removeEmptyDirectory(run.gameDir + folder)) break;
    }
  }
}

// Removes every temporary file below the game folder: what an interrupted run may have left
// beside this release's files or an earlier release's, which this one may no longer name. A
// temporary name that is itself a file of the release stays, and no linked folder is entered.
void removeTemporaries(const RunData& run) {
  std::unordered_set<std::wstring> listedKeys;
  for (const FileEntry& entry : run.entries) {
    const std::wstring widePath = entryWidePath(entry);
    if (isTemporaryPath(widePath)) listedKeys.insert(cacheKey(widePath));
  }
  walkFolder(run.gameDir, [&](const std::wstring& relative, bool isFolder) {
    if (!isFolder && isTemporaryPath(relative) && listedKeys.count(cacheKey(relative)) == 0) {
      deleteFile(run.gameDir + relative);
    }
  });
}

// What a completed run removes besides: the temporary files of the launcher's own files (a run
// that changes nothing records no version it applies, yet may rewrite the cache or the kept
// manifest), and what older launchers kept in the folder.
void removeLauncherLeftovers(const std::wstring& gameDir) {
  for (const wchar_t* own : {kProfileFileName, kCacheFileName, kKeptManifestFileName}) {
    deleteFile(gameDir + own + kTemporarySuffix);
  }
  removeChunkStaging(gameDir);
  deleteFile(gameDir + kLockFileName);
}

}  // namespace

// ---- runUpdate ----

void runUpdate(LauncherState& state, bool repair, const UpdateSettings& settings) {
  RunData run;
  run.gameDir = state.gameDir.empty() ? resolveGameDir(settings) : state.gameDir;
  // One writer per game folder, whichever program: two runs writing the same files would
  // damage them while each cache vouched for its own hash. (A fresh install may go into a
  // folder that does not exist yet.)
  FolderLock folderLock;
  const FolderLock::Outcome locked = ensureParentDirectory(run.gameDir)
                                         ? folderLock.acquire(run.gameDir)
                                         : FolderLock::Outcome::Failed;
  switch (locked) {
    case FolderLock::Outcome::Held:
      break;
    case FolderLock::Outcome::Busy:
      setError(state, ErrorKind::FolderBusy, uiText(kStrErrFolderBusy));
      return;
    case FolderLock::Outcome::Failed:
      setError(state, ErrorKind::WriteFailed,
               std::wstring(uiText(kStrErrWrite)) + L" " + displayPath(run.gameDir));
      return;
  }
  // Nothing is written until the manifest is accepted and the update fits on the disk: a run
  // that refuses either leaves every file of the folder as it was.
  PatchRecord record = readPatchRecord(run.gameDir);
  run.previousRunInterrupted = record.applying.present;
  const std::wstring exePath =
      settings.executablePath.empty() ? modulePath() : settings.executablePath;
  const bool launcher = settings.launcherMode == LauncherMode::ReplaceOwnExecutable;

  if (launcher) removeOldLauncher(state, exePath, settings.oldLauncherPauseMs);
  if (!anyKeyConfigured(settings.publicKeys)) {
    setError(state, ErrorKind::Other, uiText(kStrErrNoPublicKey));
    return;
  }

  postPhase(state, kPhaseConnecting);
  ChosenManifest chosen;
  if (chooseManifest(state, settings, run.gameDir, chosen) != StepResult::Ok) return;
  acceptManifest(state, chosen, run.entries);
  const JsonValue& root = chosen.manifest.root;
  if (!launcher && !addLauncherAsGameFile(state, run.gameDir, root, run.entries)) return;
  if (!acceptEntriesAndLoadCache(state, chosen, repair, run)) return;
  FileServers servers(fileServerUrls(settings, chosen));
  const std::wstring profilePath = run.gameDir + kProfileFileName;
  // The version this run applies is recorded before its first write, so that a run killed
  // from here on holds the folder at that version (see PatchRecord).
  const auto beginWriting = [&] {
    if (recordApplying(run.gameDir, record, chosen.version)) return true;
    setError(state, ErrorKind::WriteFailed,
             std::wstring(uiText(kStrErrWrite)) + L" " + displayPath(profilePath));
    return false;
  };

  if (launcher && updateLauncher(state, settings, servers, run.gameDir, exePath, root,
                                 beginWriting) != LauncherStep::NotNeeded) {
    return;
  }
  if (state.cancel.load()) return;

  postPhase(state, kPhaseChecking);
  checkFiles(state, run);
  // Closing the window during a long check (a large game's files take minutes to read) keeps
  // the hashes it took, as a stop later does. A refusal below writes nothing.
  if (state.cancel.load()) {
    if (!repair) syncAndSaveCache(settings, run);
    return;
  }
  if (!enoughDiskSpace(state, settings, run)) return;
  if (settings.useChunks &&
      !fetchChunkLists(state, settings, servers, run.entries, run.needsDownload)) {
    return;
  }

  // A run that neither downloads nor brings a new version (a start with nothing to do) records
  // nothing; any other writes from here on.
  const DownloadPaths pending = downloadPaths(run);
  const bool atThisVersion = record.installed.present && record.installed.value == chosen.version;
  if ((!atThisVersion || !pending.files.empty()) && !beginWriting()) return;
  keepChosenManifest(run.gameDir, chosen);

  // A release that turns a file into a folder, or a folder into a file, deletes the old form.
  // Left to the apply phase, that entry would make the new form's download fail on every run;
  // it goes first. Every other deletion waits until all downloads have succeeded.
  if (!pending.files.empty()) applyDeletions(root, run, &pending);
  if (settings.useChunks) {
    run.chunkSources = findChunkSources(run.gameDir, run.entries, run.needsDownload, root);
  }
  if (!downloadFiles(state, settings, servers, run)) return;

  postPhase(state, kPhaseApplying);
  applyDeletions(root, run);
  if (run.previousRunInterrupted) removeTemporaries(run);
  removeLauncherLeftovers(run.gameDir);
  syncAndSaveCache(settings, run);
  // A folder whose version cannot be recorded is not up to date: the next run must not take
  // it for one, nor lose the version it holds to a lagging server.
  if (!recordCompleted(run.gameDir, record, chosen.version)) {
    setError(state, ErrorKind::WriteFailed,
             std::wstring(uiText(kStrErrWrite)) + L" " + displayPath(profilePath));
    return;
  }
  setCurrentItem(state, std::wstring());
  postPhase(state, kPhaseReady);
}

// ---- the run's thread ----

bool startUpdate(LauncherState& state, bool repair, const UpdateSettings& settings) {
  bool idle = false;
  if (!state.running.compare_exchange_strong(idle, true)) return false;
  joinUpdate(state);
  state.notify = settings.notify;
  state.notifyContext = settings.notifyContext;
  state.cancel.store(false);
  state.paused.store(false);
  state.gameDir = resolveGameDir(settings);
  {
    std::lock_guard<std::mutex> guard(state.lock);
    state.errorText.clear();
    state.errorKind = ErrorKind::None;
    state.currentItem.clear();
  }
  state.bytesTotal.store(0);
  state.bytesDone.store(0);
  state.filesTotal.store(0);
  state.filesDone.store(0);
  try {
    state.worker = std::thread([&state, repair, settings] {
      runUpdate(state, repair, settings);
      state.running.store(false);
      notifyPhase(state, state.phase.load(), 0);
    });
  } catch (const std::system_error&) {
    state.running.store(false);
    return false;
  }
  return true;
}

void joinUpdate(LauncherState& state) {
  if (state.worker.joinable() && state.worker.get_id() != std::this_thread::get_id()) {
    state.worker.join();
  }
}

void cancelUpdate(LauncherState& state) {
  state.cancel.store(true);
  joinUpdate(state);
}

bool pauseUpdate(LauncherState& state) {
  if (!state.running.load() || state.phase.load() != kPhaseDownloading || state.cancel.load()) {
    return false;
  }
  // Paused first: a display that sees the run stop sees why.
  state.paused.store(true);
  state.cancel.store(true);
  return true;
}

bool canResumeUpdate(const RunSnapshot& run) { return isPausedDownload(run) && !run.running; }
