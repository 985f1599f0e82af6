// The launcher's entry point: start-up in its fixed order, the message loop, and shut-down.
//
//   start-up    language, write test (elevation), single instance, client configuration,
//               COM, HTTP session, renderer, window class and window, settings switch,
//               first update run, frame timer
//   loop        GetMessageW until WM_QUIT
//   shut-down   renderer, HTTP session, taskbar, COM, mutex
#include <windows.h>
// After windows.h:
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cmath>

#include "base/files.h"
#include "base/http.h"
#include "base/paths.h"
#include "gamecfg/game_config.h"
#include "i18n/strings.h"
#include "shell/command_line.h"
#include "shell/launcher_win.h"
#include "shell/single_instance.h"
#include "shell/taskbar.h"
#include "ui/layout.h"
#include "ui/renderer.h"
#include "update/update_run.h"

namespace {

// True when this process should end because an elevated copy was started in its place.
bool restartedElevated(const std::wstring& directory, std::wstring_view commandLine) {
  const std::wstring probe = directory + kWriteTestFileName;
  // A probe left by a crash goes first, a link itself and never what it points at; the probe
  // is then made anew without following a link, since deleting it on close would otherwise
  // delete whatever file a planted link names.
  deleteFile(probe);
  const HANDLE file = CreateFileW(
      probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);  // deleted with its last handle
    return false;
  }
  if (GetLastError() != ERROR_ACCESS_DENIED || hasSwitch(commandLine, kSwitchElevated))
    return false;
  const std::wstring self = modulePath();
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.lpVerb = L"runas";
  info.lpFile = self.c_str();
  info.lpParameters = L"--elevated";
  info.nShow = SW_SHOWNORMAL;
  // Declined or failed: go on unelevated; the run reports the files it cannot write.
  return ShellExecuteExW(&info) != FALSE;
}

// True when another launcher runs and this one should leave (after showing the other).
bool anotherInstanceRuns(std::wstring_view commandLine) {
  LauncherProcess& process = launcherProcess();
  void* mutex = nullptr;
  const bool claimed = claimSingleInstanceMutex(kMutexName, &mutex);
  process.singleInstanceMutex = mutex;
  if (claimed || hasSwitch(commandLine, kSwitchUpdated) ||
      hasSwitch(commandLine, kSwitchIgnoreInstances)) {
    return false;
  }
  if (const HWND other = FindWindowW(kWindowClass, nullptr)) {
    ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
  }
  return true;
}

void registerWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DROPSHADOW;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);
}

HWND createLauncherWindow(HINSTANCE instance) {
  const float dpi = systemDpi();
  const int width = static_cast<int>(dpi * kCanvasWidth / 96.0f);
  const int height = static_cast<int>(dpi * kCanvasHeight / 96.0f);
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - width) / 2;
  const int y = work.top + (work.bottom - work.top - height) / 2;
  return CreateWindowExW(WS_EX_APPWINDOW, kWindowClass, kWindowTitle,
                         WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, x, y, width, height, nullptr,
                         nullptr, instance, nullptr);
}

void shutDown() {
  LauncherProcess& process = launcherProcess();
  renderer::releaseDeviceResources();
  renderer::shutdown();
  httpCloseSession();
  releaseTaskbar();
  CoUninitialize();
  if (process.singleInstanceMutex) {
    CloseHandle(process.singleInstanceMutex);
    process.singleInstanceMutex = nullptr;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLineText, int) {
  const std::wstring_view commandLine = commandLineText ? commandLineText : L"";
  LauncherProcess& process = launcherProcess();
  const std::wstring directory = moduleDirectory();

  setUiLanguage(uiLanguageForWindowsId(GetUserDefaultUILanguage() & 0x3FF));
  if (restartedElevated(directory, commandLine)) return 0;
  if (anotherInstanceRuns(commandLine)) {
    if (process.singleInstanceMutex) CloseHandle(process.singleInstanceMutex);
    return 0;
  }

  // The client's language file, when there is one, speaks for the player.
  setUpShell(directory);
  GameConfigFile& config = process.shell.config.file;
  loadGameConfig(config, directory);
  if (config.hasLocaFile) setUiLanguage(clientLanguage(config.clientLanguage).code);
  UiState& ui = process.shell.ui;
  refreshVolumes(process.shell);

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  httpOpenSession();
  renderer::initialise();
  registerWindowClass(instance);
  const HWND window = createLauncherWindow(instance);
  if (!window) {
    shutDown();
    return 1;
  }

  const SettingsSwitch settings = parseSettingsSwitch(commandLine);
  if (settings.open) openSettingsPages(process.shell, settings.page);
  initialiseTaskbar(window);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  ui.launchMessage.clear();
  resetSpeed(process.shell);
  startUpdate(launcherState(), false, process.settings);
  SetTimer(window, kFrameTimer, 33, nullptr);
  InvalidateRect(window, nullptr, FALSE);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  shutDown();
  return 0;
}
