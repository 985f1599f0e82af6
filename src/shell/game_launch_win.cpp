// Starting programs through the shell and directly.
#include <windows.h>
#include <shellapi.h>

#include "shell/command_line.h"
#include "shell/game_launch.h"

std::uint32_t launchGame(void* ownerWindow, const std::wstring& executable,
                         const std::wstring& parameters) {
  const std::wstring folder = folderOfPath(executable);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC;
  info.hwnd = static_cast<HWND>(ownerWindow);
  info.lpVerb = nullptr;  // the default verb, so that Windows may ask for elevation
  info.lpFile = executable.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info)) return 0;
  const DWORD error = GetLastError();
  // A failure must never read as success: without a code it is a general failure.
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

bool launchProcess(const std::wstring& executable, const std::wstring& arguments) {
  std::wstring commandLine = processCommandLine(executable, arguments);
  const std::wstring folder = folderOfPath(executable);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
