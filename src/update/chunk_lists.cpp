#include "update/chunk_lists.h"

#include <atomic>
#include <string>

#include "base/parallel.h"
#include "i18n/strings.h"
#include "update/download_stream.h"
#include "update/fetch.h"
#include "update/update_run.h"

namespace {

// The list's object as a download whose content is the list's text.
FileEntry listObject(const ChunkListRef& list) {
  FileEntry object;
  object.hash = list.hash;
  object.size = list.size;
  object.compressedSize = list.compressedSize;
  return object;
}

// One transfer from one server; true when text is then exactly the list the manifest names.
bool fetchListFrom(LauncherState& state, const std::wstring& baseUrl, const FileEntry& object,
                   std::string& text) {
  text.clear();
  text.reserve(object.size);
  DownloadStream stream(object, [&text](const std::uint8_t* bytes, std::size_t count) {
    text.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  });
  if (!stream.ready()) return false;
  std::uint64_t counted = 0;
  if (fetchIntoStream(state, fileUrl(baseUrl, object.hash.hex()), stream, counted) == 200 &&
      stream.verified()) {
    return true;
  }
  state.bytesDone.fetch_sub(counted);
  return false;
}

// The servers in turn, three attempts each, as for a file's object.
bool fetchList(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
               const FileEntry& object, std::string& text) {
  for (const std::size_t server : servers.order()) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (attempt > 0 && !pauseUnlessCancelled(state, settings.downloadRetryPauseMs * attempt)) {
        return false;
      }
      if (state.cancel.load()) return false;
      if (fetchListFrom(state, servers.url(server), object, text)) return true;
    }
    servers.markFailed(server);
  }
  return false;
}

}  // namespace

bool fetchChunkLists(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
                     std::vector<FileEntry>& entries,
                     const std::vector<std::uint8_t>& needsDownload) {
  std::vector<std::size_t> listed;
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (needsDownload[i] == 0 || !entries[i].chunkList) continue;
    listed.push_back(i);
    total += entries[i].chunkList->compressedSize;
  }
  if (listed.empty()) return true;
  state.bytesTotal.store(total);
  state.bytesDone.store(0);
  state.filesTotal.store(static_cast<std::int32_t>(listed.size()));
  state.filesDone.store(0);
  std::atomic<bool> invalid{false};
  runJobsInParallel(
      listed.size(),
      [&](std::size_t job) {
        if (state.cancel.load() || invalid.load()) return;
        FileEntry& entry = entries[listed[job]];
        setCurrentItem(state, entryWidePath(entry));
        std::string text;
        if (fetchList(state, settings, servers, listObject(*entry.chunkList), text) &&
            !parseChunkList(text, entry.size, entry.chunkList->chunks)) {
          invalid.store(true);
        }
        state.filesDone.fetch_add(1);
      },
      kRequestsInFlight);
  if (state.cancel.load()) return false;
  if (invalid.load()) {
    setError(state, ErrorKind::Refused, std::wstring(uiText(kStrErrManifest)) + L" (chunk list)");
    return false;
  }
  return true;
}
