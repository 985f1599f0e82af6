// downloadFile: servers in turn, attempts, the inflate -> hash -> write pipeline (run under a
// body slot, fetch.h), the final move.
#include "update/download.h"

#include "base/files.h"
#include "base/http.h"
#include "base/paths.h"
#include "base/text.h"
#include "i18n/strings.h"
#include "update/download_stream.h"
#include "update/fetch.h"

void setDownloadError(LauncherState& state, DownloadResult r, const std::wstring& path) {
  StringId id = kStrErrWrite;
  ErrorKind kind = ErrorKind::WriteFailed;
  if (r == DownloadResult::NetworkFailed) {
    id = kStrErrConnect;
    kind = ErrorKind::Unreachable;
  } else if (r == DownloadResult::Corrupted) {
    id = kStrErrCorrupted;
    kind = ErrorKind::Refused;
  } else if (r == DownloadResult::FileInUse) {
    id = kStrErrFileInUse;
  }
  setError(state, kind, std::wstring(uiText(id)) + L" " + displayPath(path));
}

std::wstring fileUrl(const std::wstring& base, const std::string& hash) {
  const std::wstring wideHash = utf8ToWide(hash);
  return base + L"files/" + wideHash.substr(0, 2) + L"/" + wideHash + L".z";
}

FileServers::FileServers(std::vector<std::wstring> urls)
    : urls_(std::move(urls)), failed_(new std::atomic<bool>[urls_.size()]) {
  for (std::size_t i = 0; i < urls_.size(); ++i) failed_[i].store(false);
}

std::vector<std::size_t> FileServers::order() const {
  std::vector<std::size_t> out;
  out.reserve(urls_.size());
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < urls_.size(); ++i) {
      if (failed_[i].load() == (pass == 1)) out.push_back(i);
    }
  }
  return out;
}

void FileServers::markFailed(std::size_t server) { failed_[server].store(true); }

DownloadResult moveIntoPlace(const std::wstring& tempPath, const std::wstring& targetPath) {
  // A link where the file must go is removed itself, never followed (a move would replace a
  // link to a file, but not one to a folder). The move replaces a read-only target too, and
  // leaves it as it was when it fails.
  FileInfo existing;
  if (getEntryInfo(targetPath, existing) && !existing.isRegularFile() && !existing.isDirectory) {
    deleteFile(targetPath);
  }
  if (moveFileReplace(tempPath, targetPath, MoveSync::Later)) return DownloadResult::Ok;
  const FileError error = lastFileError();
  deleteFile(tempPath);
  return error == FileError::InUse || error == FileError::AccessDenied
             ? DownloadResult::FileInUse
             : DownloadResult::WriteFailed;
}

int fetchIntoStream(LauncherState& state, const std::wstring& url, DownloadStream& stream,
                    std::uint64_t& counted) {
  const int status = fetchInto(
      url,
      [&](const std::uint8_t* bytes, std::uint32_t count) {
        if (state.cancel.load()) return false;
        counted += count;
        state.bytesDone.fetch_add(count);
        return stream.feed(bytes, count);
      },
      state.cancel);
  if (status == 200) {
    withBodySlot([&stream] {
      stream.finish();
      return true;
    });
  }
  return status;
}

namespace {

// Where an object's content goes: a new temporary file, or (partial) the range that starts at
// offset in an existing partial file, which stays whatever the attempts come to.
struct Destination {
  const std::wstring& path;
  std::uint64_t offset = 0;
  bool partial = false;
};

bool open(FileHandle& file, const Destination& to) {
  if (to.partial) return file.openForUpdate(to.path);
  return ensureParentDirectory(to.path) && file.createNew(to.path);
}

void discard(const Destination& to) {
  if (!to.partial) deleteFile(to.path);
}

// The attempts on one server.
DownloadResult downloadFrom(LauncherState& state, const UpdateSettings& settings,
                            const std::wstring& baseUrl, const FileEntry& entry,
                            const Destination& to) {
  const std::wstring url = fileUrl(baseUrl, entry.hash.hex());
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (state.cancel.load()) return DownloadResult::Cancelled;
    if (attempt > 0 && !pauseUnlessCancelled(state, settings.downloadRetryPauseMs * attempt)) {
      return DownloadResult::Cancelled;
    }
    FileHandle file;
    if (!open(file, to)) return DownloadResult::WriteFailed;

    std::uint64_t at = to.offset;
    DownloadStream stream(entry, [&file, &at](const std::uint8_t* bytes, std::size_t count) {
      if (!file.writeAt(at, bytes, count)) return false;
      at += count;
      return true;
    });
    if (!stream.ready()) {
      // Without a stream or a hasher nothing can be verified; there is nothing to retry.
      file.close();
      discard(to);
      return DownloadResult::WriteFailed;
    }
    std::uint64_t counted = 0;
    const int status = fetchIntoStream(state, url, stream, counted);
    // The content reaches the disk later, with the one sync of the run's writes: until
    // then no cache record names this file (see syncAndSaveCache).
    const bool writeFailed = stream.writeFailed();
    file.close();

    if (writeFailed) {
      discard(to);
      state.bytesDone.fetch_sub(counted);
      return DownloadResult::WriteFailed;
    }
    if (status == 200 && stream.verified()) return DownloadResult::Ok;
    discard(to);
    state.bytesDone.fetch_sub(counted);
    if (state.cancel.load()) return DownloadResult::Cancelled;
    if (attempt == 2) {
      return status == 200 ? DownloadResult::Corrupted : DownloadResult::NetworkFailed;
    }
  }
  return DownloadResult::NetworkFailed;
}

DownloadResult downloadFromServers(LauncherState& state, const UpdateSettings& settings,
                                   FileServers& servers, const FileEntry& entry,
                                   const Destination& to) {
  DownloadResult result = DownloadResult::NetworkFailed;
  for (const std::size_t server : servers.order()) {
    result = downloadFrom(state, settings, servers.url(server), entry, to);
    // Only the server's answers are worth another server's try; a file that cannot be written
    // here cannot be written from anywhere.
    if (result != DownloadResult::NetworkFailed && result != DownloadResult::Corrupted) break;
    servers.markFailed(server);
  }
  return result;
}

}  // namespace

DownloadResult downloadFile(LauncherState& state, const UpdateSettings& settings,
                            FileServers& servers, const FileEntry& entry,
                            const std::wstring& targetPath) {
  const std::wstring tempPath = targetPath + kTemporarySuffix;
  const DownloadResult result =
      downloadFromServers(state, settings, servers, entry, Destination{tempPath, 0, false});
  return result == DownloadResult::Ok ? moveIntoPlace(tempPath, targetPath) : result;
}

DownloadResult downloadIntoPartial(LauncherState& state, const UpdateSettings& settings,
                                   FileServers& servers, const FileEntry& object,
                                   const std::wstring& partialPath, std::uint64_t offset) {
  return downloadFromServers(state, settings, servers, object,
                             Destination{partialPath, offset, true});
}
