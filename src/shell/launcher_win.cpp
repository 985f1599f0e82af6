// The window procedure and the shell's Windows host.
//
//   process values     launcherProcess, launcherState
//   dpi                windowDpi, systemDpi (looked up in user32 at run time)
//   host               the ShellHost calls: repaint, capture, window, shell, runs, restart
//   window procedure   creation, destruction, size, paint, input, timers, dpi, phases
#include "shell/launcher_win.h"  // first: it brings <windows.h>

#include <dwmapi.h>
#include <shellapi.h>
#include <windowsx.h>

#include "base/files.h"
#include "gamecfg/game_process.h"
#include "quillmark_config.h"
#include "shell/game_launch.h"
#include "shell/taskbar.h"
#include "shell/test_hooks.h"
#include "ui/renderer.h"
#include "update/update_run.h"

namespace {

LauncherState g_state;
LauncherProcess g_process;

template <typename Function>
Function user32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                : nullptr;
}

float screenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<float>(dpi) : 96.0f;
}

// ---- host

HWND hostWindow() { return g_process.window; }

void hostRepaint(void*) {
  if (hostWindow() && IsWindow(hostWindow())) InvalidateRect(hostWindow(), nullptr, FALSE);
}
void hostSetCapture(void*) { SetCapture(hostWindow()); }
void hostReleaseCapture(void*) { ReleaseCapture(); }
void hostTrackMouseLeave(void*) {
  TRACKMOUSEEVENT track = {};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = hostWindow();
  TrackMouseEvent(&track);
}
void hostCloseWindow(void*) {
  if (hostWindow() && IsWindow(hostWindow())) DestroyWindow(hostWindow());
}
void hostMinimise(void*) { ShowWindow(hostWindow(), SW_MINIMIZE); }
void hostShellOpen(void*, const std::wstring& target) {
  if (interceptShellOpen(target)) return;
  ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
void hostStartRun(void*, bool repair) {
  startUpdate(g_state, repair, g_process.settings);
  SetTimer(hostWindow(), kFrameTimer, 33, nullptr);
}
void hostStopFrameTimer(void*) { KillTimer(hostWindow(), kFrameTimer); }
std::uint32_t hostLaunchGame(void*, const std::wstring& executable,
                             const std::wstring& parameters) {
  return launchGame(hostWindow(), executable, parameters);
}
void hostRestartLauncher(void*) {
  // The new process must become the single instance, so the mutex goes first. Whether it
  // starts or not, this one closes.
  if (g_process.singleInstanceMutex) {
    CloseHandle(g_process.singleInstanceMutex);
    g_process.singleInstanceMutex = nullptr;
  }
  launchProcess(modulePath(), L"--updated");
  hostCloseWindow(nullptr);
}
std::uint64_t hostNow(void*) { return GetTickCount64(); }
void hostStartSaveNoticeTimer(void*) {
  SetTimer(hostWindow(), kSavedNoticeTimer, static_cast<UINT>(kSaveNoticeTimerMilliseconds),
           nullptr);
}
void hostSetSettingsPoll(void*, bool on) {
  if (on) {
    SetTimer(hostWindow(), kSettingsPollTimer, kSettingsPollMilliseconds, nullptr);
  } else {
    KillTimer(hostWindow(), kSettingsPollTimer);
  }
}
bool hostIsGameRunning(void*, const std::wstring& executable) {
  return isGameRunning(g_process.gameCheck, GetTickCount64(), executable, processPathsNamed);
}

// The update thread's phases become posted messages; it never waits for the window.
void postToWindow(void* window, int phase, int detail) {
  PostMessageW(static_cast<HWND>(window), WM_LAUNCHER_PHASE, static_cast<WPARAM>(phase),
               static_cast<LPARAM>(detail));
}

// ---- window procedure helpers

Shell& shell() { return g_process.shell; }

PointF canvasPoint(int x, int y) {
  const float scale = shell().ui.scale > 0 ? shell().ui.scale : 1.0f;
  return {static_cast<float>(x) / scale, static_cast<float>(y) / scale};
}

PointF canvasPointFromScreen(HWND window, int x, int y) {
  POINT p = {x, y};
  ScreenToClient(window, &p);
  return canvasPoint(p.x, p.y);
}

void updateTaskbar() { showTaskbarProgress(taskbarProgress(readRunCounters(g_state))); }

void setDpi(float dpi) {
  g_process.dpi = dpi;
  shell().ui.scale = dpi / 96.0f;
  renderer::setDpi(dpi);
}

Key keyOf(WPARAM virtualKey) {
  if (virtualKey == VK_TAB) return GetKeyState(VK_SHIFT) < 0 ? Key::BackTab : Key::Tab;
  static constexpr struct {
    WPARAM virtualKey;
    Key key;
  } kKeys[] = {{VK_RETURN, Key::Enter}, {VK_SPACE, Key::Space}, {VK_ESCAPE, Key::Escape},
               {VK_LEFT, Key::Left},    {VK_RIGHT, Key::Right}, {VK_UP, Key::Up},
               {VK_DOWN, Key::Down}};
  for (const auto& k : kKeys) {
    if (k.virtualKey == virtualKey) return k.key;
  }
  return Key::Other;
}

UINT taskbarButtonCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

}  // namespace

LauncherProcess& launcherProcess() { return g_process; }
LauncherState& launcherState() { return g_state; }

float windowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const GetDpiForWindowFn getDpiForWindow =
      user32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<float>(dpi);
  }
  return screenDpi();
}

float systemDpi() {
  using GetDpiForSystemFn = UINT(WINAPI*)();
  static const GetDpiForSystemFn getDpiForSystem =
      user32Function<GetDpiForSystemFn>("GetDpiForSystem");
  if (getDpiForSystem) {
    const UINT dpi = getDpiForSystem();
    if (dpi > 0) return static_cast<float>(dpi);
  }
  return screenDpi();
}

void setUpShell(const std::wstring& gameDir) {
  Shell& s = g_process.shell;
  s.state = &g_state;
  s.gameDir = gameDir;
  s.launchTicket = quillmark::config::kLaunchTicket;
  s.frame = &renderer::frameOutput();
  ShellHost& h = s.host;
  h.repaint = hostRepaint;
  h.setCapture = hostSetCapture;
  h.releaseCapture = hostReleaseCapture;
  h.trackMouseLeave = hostTrackMouseLeave;
  h.closeWindow = hostCloseWindow;
  h.minimiseWindow = hostMinimise;
  h.shellOpen = hostShellOpen;
  h.startRun = hostStartRun;
  h.stopFrameTimer = hostStopFrameTimer;
  h.launchGame = hostLaunchGame;
  h.restartLauncher = hostRestartLauncher;
  h.now = hostNow;
  h.startSaveNoticeTimer = hostStartSaveNoticeTimer;
  h.setSettingsPoll = hostSetSettingsPoll;
  h.isGameRunning = hostIsGameRunning;
  g_process.settings.notify = postToWindow;
  applyTestOverrides(g_process.settings);
  // Registered before the taskbar can send it.
  taskbarButtonCreatedMessage();
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == taskbarButtonCreatedMessage()) {
    taskbarButtonCreated();
    updateTaskbar();
    return 0;
  }
  switch (message) {
    case WM_CREATE: {
      g_process.window = window;
      g_process.settings.notifyContext = window;
      setDpi(windowDpi(window));
      // Rounded corners (Windows 11) and a dark frame; older systems refuse both, which is fine.
      const DWORD round = 2;
      DwmSetWindowAttribute(window, 33 /* DWMWA_WINDOW_CORNER_PREFERENCE */, &round, sizeof round);
      const BOOL dark = TRUE;
      DwmSetWindowAttribute(window, 20 /* DWMWA_USE_IMMERSIVE_DARK_MODE */, &dark, sizeof dark);
      // An elevated launcher hears the taskbar (which is not elevated) only when it says so.
      ChangeWindowMessageFilterEx(window, taskbarButtonCreatedMessage(), MSGFLT_ALLOW, nullptr);
      return 0;
    }
    case WM_DESTROY:
      ShowWindow(window, SW_HIDE);
      // The run stops at its next check; the loop ends only after its thread has.
      g_state.cancel.exchange(true);
      joinUpdate(g_state);
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      renderer::resize(LOWORD(lParam), HIWORD(lParam));
      reportTestStatus(shell(), window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      renderer::paintFrame(window, g_process.dpi, makeFrameView(shell()));
      EndPaint(window, &paint);
      onFramePainted(shell());
      // (The tests' build reports the state that this frame showed.)
      reportTestStatus(shell(), window);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        POINT p;
        GetCursorPos(&p);
        const PointF at = canvasPointFromScreen(window, p.x, p.y);
        SetCursor(
            LoadCursorW(nullptr, showsHandCursor(shell(), at.x, at.y) ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_NCHITTEST: {
      const PointF at = canvasPointFromScreen(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return isCaption(shell(), at.x, at.y) ? HTCAPTION : HTCLIENT;
    }
    case WM_KEYDOWN:
      onKeyDown(shell(), keyOf(wParam));
      return 0;
    case WM_MOUSEMOVE: {
      const PointF at = canvasPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      onMouseMove(shell(), at.x, at.y);
      return 0;
    }
    case WM_MOUSELEAVE:
      onMouseLeave(shell());
      return 0;
    case WM_LBUTTONDOWN: {
      const PointF at = canvasPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      onButtonDown(shell(), at.x, at.y);
      return 0;
    }
    case WM_LBUTTONUP: {
      const PointF at = canvasPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      onButtonUp(shell(), at.x, at.y);
      return 0;
    }
    case WM_MOUSEWHEEL: {
      const PointF at = canvasPointFromScreen(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      onMouseWheel(shell(), at.x, at.y, GET_WHEEL_DELTA_WPARAM(wParam));
      return 0;
    }
    case WM_TIMER:
      if (wParam == kSavedNoticeTimer) {
        KillTimer(window, kSavedNoticeTimer);
        hostRepaint(nullptr);
      } else if (wParam == kSettingsPollTimer) {
        onSettingsPoll(shell());
      } else {
        onFrameTick(shell());
        updateTaskbar();
      }
      return 0;
    case WM_DPICHANGED: {
      setDpi(static_cast<float>(HIWORD(wParam)));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_LAUNCHER_PHASE:
      onLauncherPhase(shell(), static_cast<int>(wParam), static_cast<int>(lParam));
      updateTaskbar();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
