// One file of the manifest onto the disk: its zlib stream is fetched from the patch server,
// inflated, hashed and written to a temporary sibling while it arrives, and moved over the
// target only when size and SHA-256 are exactly the entry's.
#pragma once
#include <string>

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

// base + "files/" + first two hash characters + "/" + hash + ".z".
std::wstring fileUrl(const std::wstring& base, const std::string& hash);

// Downloads entry to targetPath (a full path), adding received bytes to state.bytesDone (and
// taking them back when an attempt fails). No ".ap_tmp" file is left on any path.
DownloadResult downloadFile(LauncherState& state, const UpdateSettings& settings,
                            const FileEntry& entry, const std::wstring& targetPath);
