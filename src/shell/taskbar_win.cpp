// The taskbar button's progress through ITaskbarList3 (Windows 7 and later). Systems without
// the interface (or without a taskbar) simply show nothing.
#include <windows.h>
#include <shobjidl.h>

#include "shell/taskbar.h"

namespace {

ITaskbarList3* g_taskbar = nullptr;
HWND g_window = nullptr;
TaskbarProgress g_shown;
bool g_stale = true;  // the button does not show g_shown (yet, or any more)

TBPFLAG flagOf(TaskbarMode mode) {
  switch (mode) {
    case TaskbarMode::Indeterminate:
      return TBPF_INDETERMINATE;
    case TaskbarMode::Normal:
      return TBPF_NORMAL;
    case TaskbarMode::Error:
      return TBPF_ERROR;
    case TaskbarMode::Paused:
      return TBPF_PAUSED;
    case TaskbarMode::None:
      break;
  }
  return TBPF_NOPROGRESS;
}

}  // namespace

void initialiseTaskbar(void* window) {
  g_window = static_cast<HWND>(window);
  if (g_taskbar) return;
  ITaskbarList3* taskbar = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                              reinterpret_cast<void**>(&taskbar)))) {
    return;
  }
  if (FAILED(taskbar->HrInit())) {
    taskbar->Release();
    return;
  }
  g_taskbar = taskbar;
  g_stale = true;
}

void showTaskbarProgress(const TaskbarProgress& progress) {
  if (!g_taskbar || !g_window) return;
  if (!g_stale && progress == g_shown) return;
  // The value first: setting it turns a button without progress to normal, so the state
  // (red, moving, none) has the last word.
  if (progress.mode == TaskbarMode::Normal || progress.mode == TaskbarMode::Error ||
      progress.mode == TaskbarMode::Paused) {
    g_taskbar->SetProgressValue(g_window, progress.permille, 1000);
  }
  g_taskbar->SetProgressState(g_window, flagOf(progress.mode));
  g_shown = progress;
  g_stale = false;
}

void taskbarButtonCreated() { g_stale = true; }

void releaseTaskbar() {
  if (g_taskbar) g_taskbar->Release();
  g_taskbar = nullptr;
  g_window = nullptr;
}
