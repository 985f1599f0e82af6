// The chunk lists of the files a run rebuilds. The manifest names each large file's list by
// hash and size only; a run fetches a list once its check has found that file to download,
// from the run's servers in turn like any object, inflates it no further than its signed
// length, checks its hash and reads it into the entry's chunks. Files found good cost nothing.
#pragma once
#include <cstdint>
#include <vector>

#include "update/download.h"
#include "update/launcher_state.h"
#include "update/manifest_types.h"
#include "update/update_settings.h"

// Fills the chunks of every entry to download (needsDownload) that names a chunk list, up to
// kRequestsInFlight lists at once, counting them as the end of the check phase. A list that no
// server gives leaves its file to be fetched whole. False when the run must end: the run was
// cancelled, or a list held what its hash says but is no list of its file ("Invalid patch
// manifest. (chunk list)"), and nothing has been written.
bool fetchChunkLists(LauncherState& state, const UpdateSettings& settings, FileServers& servers,
                     std::vector<FileEntry>& entries,
                     const std::vector<std::uint8_t>& needsDownload);
