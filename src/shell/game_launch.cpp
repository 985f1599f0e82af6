#include "shell/game_launch.h"

#include "shell/command_line.h"
#include "update/self_update.h"

std::wstring gameExecutablePath(LauncherState& state, const std::wstring& gameDir) {
  const std::wstring exe = copyGameExe(state);
  return gameDir + (exe.empty() ? std::wstring(kDefaultGameExe) : exe);
}

std::wstring launchFailureText(std::uint32_t code) {
  // The prefix stays the default client's name even when the manifest names another file.
  return std::wstring(kDefaultGameExe) + L": " + systemErrorText(code) + L" (" +
         std::to_wstring(code) + L")";
}
