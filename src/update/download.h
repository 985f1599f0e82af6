// One file of the manifest onto the disk: its zlib stream is fetched from a patch server,
// inflated, hashed and written to a temporary sibling while it arrives, and moved over the
// target only when size and SHA-256 are exactly the entry's. When its attempts on one server
// fail, the next server is asked.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "update/launcher_state.h"
#include "update/manifest_types.h"
#include "update/update_settings.h"

enum class DownloadResult : int {
  Ok = 0,
  NetworkFailed = 1,  // the last of 3 transfers did not end with status 200
  Corrupted = 2,      // the last of 3 transfers ended with 200 but size or hash was wrong
  WriteFailed = 3,    // folder, temporary file, write or final move failed
  FileInUse = 4,      // the final move was refused (access denied, sharing or lock violation)
  Cancelled = 5,
};

// Ends the run with the message of a failed download (not Ok, not Cancelled) of the file at
// path (relative to the game folder): a network failure is reported as such, not as a write
// failure, so the player knows to look at the connection; a file that never matched its hash
// refuses the release.
void setDownloadError(LauncherState& state, DownloadResult r, const std::wstring& path);

// base + "files/" + first two hash characters + "/" + hash + ".z".
std::wstring fileUrl(const std::wstring& base, const std::string& hash);

// The patch servers a run takes files from (base addresses), in the order it asks them. A
// server that has failed a file is asked after the others for every later file of the run, so
// that a server without the release's files costs its attempts once, not once per file. Shared
// by the download workers.
class FileServers {
 public:
  explicit FileServers(std::vector<std::wstring> urls);
  FileServers(const FileServers&) = delete;
  FileServers& operator=(const FileServers&) = delete;

  // The order for the next file: the servers without a failure, then the others, each group
  // in list order.
  std::vector<std::size_t> order() const;
  const std::wstring& url(std::size_t server) const { return urls_[server]; }
  void markFailed(std::size_t server);

 private:
  std::vector<std::wstring> urls_;
  std::unique_ptr<std::atomic<bool>[]> failed_;
};

// Moves a complete, verified temporary file over targetPath (a link there is removed itself,
// never followed); on failure the temporary file is deleted.
DownloadResult moveIntoPlace(const std::wstring& tempPath, const std::wstring& targetPath);

class DownloadStream;
// One transfer of url into stream, which is finished after a complete body. The bytes received
// are added to state.bytesDone and to counted: exactly what the attempt added to the progress,
// so that a failed one takes back no more than it gave. Returns HttpGet's result.
int fetchIntoStream(LauncherState& state, const std::wstring& url, DownloadStream& stream,
                    std::uint64_t& counted);

// Downloads entry to targetPath (a full path), adding received bytes to state.bytesDone (and
// taking them back when an attempt fails). Three attempts on a server; when they end in
// NetworkFailed or Corrupted, the next server is asked, and the last server's result stands.
// No ".ap_tmp" file is left on any path. The file is not yet durable: the caller syncs it
// (syncWrittenFiles) before anything relies on its content surviving a power cut.
DownloadResult downloadFile(LauncherState& state, const UpdateSettings& settings,
                            FileServers& servers, const FileEntry& entry,
                            const std::wstring& targetPath);

// Downloads object (a chunk, or a whole file: its hash and size) into the partial file at
// partialPath (FileHandle::openForUpdate), from offset on, as downloadFile does but with no
// move: the partial file stays on every path, and a failed attempt leaves in its range bytes
// that nothing vouches for. Its caller checks the whole file and moves it.
DownloadResult downloadIntoPartial(LauncherState& state, const UpdateSettings& settings,
                                   FileServers& servers, const FileEntry& object,
                                   const std::wstring& partialPath, std::uint64_t offset);
