// Starting the game client and the launcher itself. The portable part (the executable's path,
// the failure text) is game_launch.cpp; the system calls (ShellExecuteExW, CreateProcessW) are
// game_launch_win.cpp. Whether the client runs is gamecfg's isGameRunning, by full path.
#pragma once
#include <cstdint>
#include <string>

#include "update/launcher_state.h"

// The client's executable before any manifest named one.
inline constexpr const wchar_t* kDefaultGameExe = L"QuillmarkClient.exe";
// ERROR_CANCELLED: the user declined the elevation prompt.
inline constexpr std::uint32_t kLaunchCancelled = 1223;

// gameDir + the manifest's executable (under the state's lock), or + "QuillmarkClient.exe".
std::wstring gameExecutablePath(LauncherState& state, const std::wstring& gameDir);

// What the main screen shows when the shell could not start the client:
// "QuillmarkClient.exe: " + the system's text + " (" + the code as unsigned decimal + ")".
std::wstring launchFailureText(std::uint32_t code);

// ---- Windows (game_launch_win.cpp)

// ShellExecuteExW with the default verb: the file, its parameters (unset when empty) and its
// folder (up to the last "\"), shown normally, owned by the window. 0 or the system's error.
std::uint32_t launchGame(void* ownerWindow, const std::wstring& executable,
                         const std::wstring& parameters);
// CreateProcessW of executable with the command line "\"executable\" arguments" in its folder;
// the process is not waited for. False when it could not be started.
bool launchProcess(const std::wstring& executable, const std::wstring& arguments);
