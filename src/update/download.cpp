// downloadFile: attempts, the streaming inflate -> hash -> write pipeline, the final move.
#include "update/download.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "base/files.h"
#include "base/http.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"

namespace {

constexpr std::size_t kOutputBytes = 524288;  // 512 KiB of inflated data at a time

// A server could keep a transfer going for ever, with data after the end of the stream or
// with empty blocks that inflate to nothing. No stream of a file is longer than the file plus
// its block overhead (stored blocks add 5 bytes per 64 KiB) or the size the manifest names, so
// more bytes than that stop the transfer like an oversized inflate.
std::uint64_t maxStreamBytes(const FileEntry& entry) {
  return std::max(entry.compressedSize, entry.size + entry.size / 1024 + 4096);
}

// One attempt's pipeline. The stream is cut off as soon as it inflates past the entry's
// size, so a hostile or broken server cannot fill the disk.
struct Transfer {
  LauncherState& state;
  const FileEntry& entry;
  FileHandle& file;
  z_stream zs{};
  Sha256Hasher hasher;
  std::unique_ptr<std::uint8_t[]> out{new std::uint8_t[kOutputBytes]};
  std::uint64_t received = 0;
  std::uint64_t inflated = 0;
  bool streamEnd = false;
  bool inflateFailed = false;
  bool writeFailed = false;

  Transfer(LauncherState& s, const FileEntry& e, FileHandle& f) : state(s), entry(e), file(f) {}

  // Hashes and writes what the last inflate call produced; false stops the transfer.
  bool consume(std::size_t produced) {
    if (produced == 0) return true;
    inflated += produced;
    if (inflated > entry.size) {
      inflateFailed = true;
      return false;
    }
    hasher.update(out.get(), produced);
    if (!file.write(out.get(), produced)) {
      writeFailed = true;
      return false;
    }
    return true;
  }

  bool sink(const std::uint8_t* bytes, std::uint32_t count) {
    if (state.cancel.load()) return false;
    received += count;
    if (received > maxStreamBytes(entry)) {
      inflateFailed = true;
      return false;
    }
    state.bytesDone.fetch_add(count);
    zs.next_in = const_cast<Bytef*>(bytes);
    zs.avail_in = count;
    // Also loop while the output buffer came back full: inflate may hold more for us.
    while (!streamEnd && (zs.avail_in > 0 || zs.avail_out == 0)) {
      zs.next_out = out.get();
      zs.avail_out = static_cast<uInt>(kOutputBytes);
      const int rc = inflate(&zs, Z_NO_FLUSH);
      if (!consume(kOutputBytes - zs.avail_out)) return false;
      if (rc == Z_STREAM_END) {
        streamEnd = true;
      } else if (rc == Z_BUF_ERROR) {
        return true;  // no progress possible until more input arrives
      } else if (rc != Z_OK) {
        inflateFailed = true;
        return false;
      }
    }
    return true;
  }

  // After the body: let inflate finish what it still holds.
  void drain() {
    while (!streamEnd && !inflateFailed && !writeFailed) {
      zs.next_in = nullptr;
      zs.avail_in = 0;
      zs.next_out = out.get();
      zs.avail_out = static_cast<uInt>(kOutputBytes);
      const int rc = inflate(&zs, Z_FINISH);
      const std::size_t produced = kOutputBytes - zs.avail_out;
      if (!consume(produced)) return;
      if (rc == Z_STREAM_END) {
        streamEnd = true;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        inflateFailed = true;
      }
      if (produced == 0) return;
    }
  }
};

}  // namespace

std::wstring fileUrl(const std::wstring& base, const std::string& hash) {
  const std::wstring wideHash = utf8ToWide(hash);
  return base + L"files/" + wideHash.substr(0, 2) + L"/" + wideHash + L".z";
}

DownloadResult downloadFile(LauncherState& state, const UpdateSettings& settings,
                            const FileEntry& entry, const std::wstring& targetPath) {
  const std::wstring tempPath = targetPath + L".ap_tmp";
  const std::wstring url = fileUrl(settings.patchUrl, entry.hash);
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (state.cancel.load()) return DownloadResult::Cancelled;
    if (attempt > 0 && !pauseUnlessCancelled(state, settings.downloadRetryPauseMs * attempt)) {
      return DownloadResult::Cancelled;
    }
    if (!ensureParentDirectory(targetPath)) return DownloadResult::WriteFailed;
    FileHandle file;
    if (!file.createForWrite(tempPath)) return DownloadResult::WriteFailed;

    Transfer t(state, entry, file);
    if (inflateInit(&t.zs) != Z_OK || !t.hasher.valid()) {
      // Without a stream or a hasher nothing can be verified; there is nothing to retry.
      inflateEnd(&t.zs);
      file.close();
      deleteFile(tempPath);
      return DownloadResult::WriteFailed;
    }
    const int status = HttpGet(
        url, [&t](const std::uint8_t* bytes, std::uint32_t count) { return t.sink(bytes, count); },
        false, &state.cancel);
    if (status == 200) t.drain();
    inflateEnd(&t.zs);
    // The content reaches the disk before the move, so a crash can never leave a target
    // that has its new name but not yet its data.
    if (!t.writeFailed && !file.flush()) t.writeFailed = true;
    file.close();

    if (t.writeFailed) {
      deleteFile(tempPath);
      state.bytesDone.fetch_sub(t.received);
      return DownloadResult::WriteFailed;
    }
    const std::string hash = t.hasher.finishHex();
    const bool good = status == 200 && t.streamEnd && !t.inflateFailed &&
                      t.inflated == entry.size && !hash.empty() && hash == entry.hash;
    if (good) {
      FileInfo old;
      const bool wasReadOnly = getFileInfo(targetPath, old) && old.readOnly;
      if (wasReadOnly) setReadOnly(targetPath, false);
      if (moveFileReplace(tempPath, targetPath)) return DownloadResult::Ok;
      const FileError error = lastFileError();
      deleteFile(tempPath);
      if (wasReadOnly) setReadOnly(targetPath, true);  // the old file stays exactly as it was
      return error == FileError::InUse || error == FileError::AccessDenied
                 ? DownloadResult::FileInUse
                 : DownloadResult::WriteFailed;
    }
    deleteFile(tempPath);
    state.bytesDone.fetch_sub(t.received);
    if (state.cancel.load()) return DownloadResult::Cancelled;
    if (attempt == 2) {
      return status == 200 ? DownloadResult::Corrupted : DownloadResult::NetworkFailed;
    }
  }
  return DownloadResult::NetworkFailed;
}
