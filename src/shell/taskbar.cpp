#include "shell/taskbar.h"

#include <algorithm>

#include "update/launcher_state.h"

TaskbarProgress taskbarProgress(const RunSnapshot& run) {
  if (run.phase == kPhaseError) return {TaskbarMode::Error, 1000};
  if (run.phase == kPhaseReady) return {};
  // A finished run hands over to the new launcher in kPhaseRestart; a paused download keeps its
  // bar; any other end (a cancelled run) leaves nothing to show.
  const bool paused = isPausedDownload(run);
  if (!run.running && !paused) {
    return run.phase == kPhaseRestart ? TaskbarProgress{TaskbarMode::Indeterminate, 0}
                                      : TaskbarProgress{};
  }
  if (!phaseMovesBytes(run.phase) || run.bytesTotal == 0) return {TaskbarMode::Indeterminate, 0};
  const std::uint64_t total = run.bytesTotal;
  const std::uint64_t done = std::min(run.bytesDone, total);
  // done * 1000 cannot overflow for any real size; the division keeps it exact otherwise.
  const std::uint64_t permille =
      done > UINT64_MAX / 1000 ? done / (total / 1000) : done * 1000 / total;
  return {paused ? TaskbarMode::Paused : TaskbarMode::Normal,
          static_cast<std::uint32_t>(std::min<std::uint64_t>(permille, 1000))};
}
