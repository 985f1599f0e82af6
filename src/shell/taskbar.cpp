#include "shell/taskbar.h"

#include <algorithm>

#include "update/launcher_state.h"

TaskbarProgress taskbarProgress(int phase, bool running, std::uint64_t bytesDone,
                                std::uint64_t bytesTotal) {
  if (phase == kPhaseError) return {TaskbarMode::Error, 1000};
  if (phase == kPhaseReady) return {};
  // A finished run hands over to the new launcher in kPhaseRestart; any other end (a cancelled
  // run) leaves nothing to show.
  if (!running)
    return phase == kPhaseRestart ? TaskbarProgress{TaskbarMode::Indeterminate, 0}
                                  : TaskbarProgress{};
  const bool counted =
      phase == kPhaseChecking || phase == kPhaseDownloading || phase == kPhaseSelfUpdate;
  if (!counted || bytesTotal == 0) return {TaskbarMode::Indeterminate, 0};
  const std::uint64_t done = std::min(bytesDone, bytesTotal);
  // done * 1000 cannot overflow for any real size; the division keeps it exact otherwise.
  const std::uint64_t permille =
      done > UINT64_MAX / 1000 ? done / (bytesTotal / 1000) : done * 1000 / bytesTotal;
  return {TaskbarMode::Normal, static_cast<std::uint32_t>(std::min<std::uint64_t>(permille, 1000))};
}
