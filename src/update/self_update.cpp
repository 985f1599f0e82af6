// Launcher self-update: compare, download ".new", swap through ".old", clean up ".old".
#include "update/self_update.h"

#include "base/files.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "i18n/strings.h"
#include "update/download.h"
#include "update/manifest.h"
#include "update/patch_state.h"

bool developerKeyPresent(const std::wstring& gameDir) {
  return fileExists(gameDir + kDeveloperKeyFile);
}

LauncherStep updateLauncher(LauncherState& state, const UpdateSettings& settings,
                            FileServers& servers, const std::wstring& gameDir,
                            const std::wstring& exePath, const JsonValue& root,
                            const std::function<bool()>& beforeWriting) {
  if (!root.hasMember("launcher") || developerKeyPresent(gameDir)) {
    return LauncherStep::NotNeeded;
  }
  FileEntry entry;
  if (!readFileEntry(root.member("launcher"), entry)) {
    setError(state, ErrorKind::Refused, uiText(kStrErrManifest));
    return LauncherStep::Failed;
  }
  const std::string own = HashFile(exePath);
  if (own.empty() || entry.hash.is(own)) return LauncherStep::NotNeeded;
  if (!beforeWriting()) return LauncherStep::Failed;

  postPhase(state, kPhaseSelfUpdate);
  setCurrentItem(state, entryWidePath(entry));
  state.bytesTotal.store(entry.compressedSize);
  state.bytesDone.store(0);
  state.filesTotal.store(1);
  state.filesDone.store(0);

  const std::wstring newPath = exePath + L".new";
  const std::wstring oldPath = exePath + L".old";
  const DownloadResult r = downloadFile(state, settings, servers, entry, newPath);
  if (r == DownloadResult::Cancelled) return LauncherStep::Cancelled;
  if (r != DownloadResult::Ok) {
    setDownloadError(state, r, entryWidePath(entry));
    return LauncherStep::Failed;
  }
  // The launcher replaces itself and restarts at once: its new executable must be on disk
  // before the swap, or a power cut could leave a player with no launcher that starts.
  const std::wstring exeDir = newPath.substr(0, newPath.find_last_of(L"\\/") + 1);
  if (!syncWrittenFiles(exeDir.empty() ? gameDir : exeDir, {newPath}).empty()) {
    deleteFile(newPath);
    setDownloadError(state, DownloadResult::WriteFailed, entryWidePath(entry));
    return LauncherStep::Failed;
  }
  std::uint32_t code = 0;
  if (!moveReplacing(exePath, oldPath, code)) {
    setError(state, ErrorKind::WriteFailed,
             std::wstring(uiText(kStrErrWrite)) + L" " + systemErrorText(code));
    return LauncherStep::Failed;
  }
  if (!moveReplacing(newPath, exePath, code)) {
    std::uint32_t ignored = 0;
    moveReplacing(oldPath, exePath, ignored);
    setError(state, ErrorKind::WriteFailed,
             std::wstring(uiText(kStrErrWrite)) + L" " + systemErrorText(code));
    return LauncherStep::Failed;
  }
  state.filesDone.store(1);
  postPhase(state, kPhaseRestart);
  return LauncherStep::Replaced;
}

bool addLauncherAsGameFile(LauncherState& state, const std::wstring& gameDir, const JsonValue& root,
                           std::vector<FileEntry>& entries) {
  if (!root.hasMember("launcher") || developerKeyPresent(gameDir)) return true;
  FileEntry entry;
  if (!readFileEntry(root.member("launcher"), entry) || isLauncherOwnPath(entryWidePath(entry))) {
    setError(state, ErrorKind::Refused, uiText(kStrErrManifest));
    return false;
  }
  // Named by a file entry already: that one stands. Paired with one as its temporary file:
  // the two downloads would write each other's file.
  const std::wstring key = cacheKey(entryWidePath(entry));
  const std::wstring temporaryKey = key + kTemporarySuffix;
  for (const FileEntry& e : entries) {
    const std::wstring other = cacheKey(entryWidePath(e));
    if (other == key) return true;
    if (other == temporaryKey || other + kTemporarySuffix == key) {
      setError(state, ErrorKind::Refused, uiText(kStrErrManifest));
      return false;
    }
  }
  entries.push_back(std::move(entry));
  return true;
}

void removeOldLauncher(LauncherState& state, const std::wstring& exePath, std::uint32_t pauseMs) {
  const std::wstring oldPath = exePath + L".old";
  for (int i = 0; i < 20; ++i) {
    if (!fileExists(oldPath) || deleteFile(oldPath)) return;
    if (!pauseUnlessCancelled(state, pauseMs)) return;
  }
}
