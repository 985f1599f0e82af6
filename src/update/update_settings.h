// What one update run is given besides the Launcher state: where the patch server is, which
// key the manifest must be signed with, the game folder, what to do with the manifest's
// "launcher" entry, and the pauses between attempts.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "update/launcher_state.h"

enum class LauncherMode {
  // The launcher: compare the running executable with the "launcher" entry and swap it.
  ReplaceOwnExecutable,
  // A program that is not the launcher (quillmark-update): the "launcher" entry is one more
  // file of the game folder, at its "p".
  GameFolderFile,
};

struct UpdateSettings {
  UpdateSettings();

  // Base address of the patch server, ending in "/".
  std::wstring patchUrl;
  // The Ed25519 key the manifest must verify under; all zero means none was configured.
  std::array<std::uint8_t, 32> publicKey{};
  // The game folder; empty means the folder of the running executable.
  std::wstring gameDir;
  // The launcher's own executable; empty means the running executable.
  std::wstring executablePath;
  LauncherMode launcherMode = LauncherMode::ReplaceOwnExecutable;
  // Status codes go here (the launcher's window, or a progress display).
  StatusNotify notify = nullptr;
  void* notifyContext = nullptr;

  // Pauses, in milliseconds: before the 2nd and 3rd manifest attempt; times n before download
  // attempt n; between tries to delete the previous launcher's ".old" file.
  std::uint32_t manifestRetryPauseMs = 1500;
  std::uint32_t downloadRetryPauseMs = 1000;
  std::uint32_t oldLauncherPauseMs = 250;
};

// The game folder as the engine uses it: "\" separators and a trailing "\".
std::wstring normalizeGameDir(const std::wstring& dir);
