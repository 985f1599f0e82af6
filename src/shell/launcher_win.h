// The launcher program's process-wide values and its window procedure (Windows only; defined
// in launcher_win.cpp, used by main_win.cpp).
#pragma once
#include <windows.h>

#include "gamecfg/game_process.h"
#include "shell/shell.h"
#include "update/update_settings.h"

inline constexpr UINT WM_LAUNCHER_PHASE = WM_APP + 1;
inline constexpr const wchar_t* kWindowClass = L"QuillmarkResselLauncher";
inline constexpr const wchar_t* kWindowTitle = L"Quillmark";
inline constexpr const wchar_t* kMutexName =
    L"Quillmark.ResselLauncher.{3F8B2C71-9D4E-4A6B-8E15-7C2D9A0B4E63}";
inline constexpr UINT_PTR kFrameTimer = 1;
inline constexpr UINT_PTR kSavedNoticeTimer = 3;
// Once a second while the settings pages are open: whether the game client runs.
inline constexpr UINT_PTR kSettingsPollTimer = 4;
inline constexpr UINT kSettingsPollMilliseconds = 1000;

struct LauncherProcess {
  HWND window = nullptr;
  HANDLE singleInstanceMutex = nullptr;
  float dpi = 96.0f;
  // What every update run is given (patch address, key, the window as the target of its
  // phase messages).
  UpdateSettings settings;
  Shell shell;
  // The settings poll's last look at the process list.
  GameRunningCheck gameCheck;
};

// The one process, and the state shared with the update thread (constructed before wWinMain
// runs and destroyed after it returns, which joins a thread still running).
LauncherProcess& launcherProcess();
LauncherState& launcherState();

// Fills the shell's host with the Windows calls and links the shell to the state.
void setUpShell(const std::wstring& gameDir);

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The window's dpi (GetDpiForWindow where user32 has it), else the screen's, else 96.
float windowDpi(HWND window);
// The system's dpi (GetDpiForSystem where user32 has it), else the screen's, else 96.
float systemDpi();
