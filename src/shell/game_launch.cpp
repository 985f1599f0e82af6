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

bool isGameRunning(RunningCheck& check, std::uint64_t now, const std::wstring& executablePath,
                   bool (*anyProcessNamed)(const std::wstring& fileName)) {
  if (check.computed && now >= check.at && now - check.at < 1500) return check.running;
  check.running = anyProcessNamed(fileNameOfPath(executablePath));
  check.at = now;
  check.computed = true;
  return check.running;
}
