// The taskbar button's progress: the bar of the run while it checks and downloads (yellow where
// a paused download stopped), a moving bar while it talks to the server or applies, red after
// an error, nothing when ready.
// taskbarProgress decides; taskbar_win.cpp shows it with ITaskbarList3.
#pragma once
#include <cstdint>

#include "update/launcher_state.h"

enum class TaskbarMode { None, Indeterminate, Normal, Error, Paused };

struct TaskbarProgress {
  TaskbarMode mode = TaskbarMode::None;
  std::uint32_t permille = 0;  // for Normal, Error and Paused: 0..1000
  bool operator==(const TaskbarProgress&) const = default;
};

TaskbarProgress taskbarProgress(const RunSnapshot& run);

// ---- Windows (taskbar_win.cpp)

// Creates the taskbar object for the window (COM must be initialised); without one, or on a
// system that has none, showTaskbarProgress does nothing.
void initialiseTaskbar(void* window);
// Shows progress on the window's button; repeated calls with the same progress cost nothing.
void showTaskbarProgress(const TaskbarProgress& progress);
// The taskbar (re)created the button: the next showTaskbarProgress sets everything again.
void taskbarButtonCreated();
void releaseTaskbar();
