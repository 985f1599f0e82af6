// What one update run is given besides the Launcher state: where the patch servers are, which
// keys the manifest may be signed with, the game folder, what to do with the manifest's
// "launcher" entry, and the pauses between attempts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/signature.h"
#include "update/launcher_state.h"

// At most this many patch servers and this many trusted keys.
inline constexpr std::size_t kMaxPatchServers = 4;
inline constexpr std::size_t kMaxTrustedKeys = 4;
// The manifest is capped so that a hostile server cannot exhaust memory. Its entries cost 130 to
// 150 bytes a file (chunk lists are objects of their own), so 256 MiB holds a release of
// 1,000,000 files with room to spare, and stays a size a player's machine can hold while the
// entries are read.
inline constexpr std::uint64_t kManifestMaxBytes = 268435456;  // 256 MiB

enum class LauncherMode {
  // The launcher: compare the running executable with the "launcher" entry and swap it.
  ReplaceOwnExecutable,
  // A program that is not the launcher (quillmark-update): the "launcher" entry is one more
  // file of the game folder, at its "p".
  GameFolderFile,
};

struct UpdateSettings {
  UpdateSettings();

  // Base addresses of the patch servers, each ending in "/", in the order they are tried: the
  // manifest comes from the first that offers an acceptable one, and a file whose attempts
  // fail on one server is fetched from the next.
  std::vector<std::wstring> patchUrls;
  // The Ed25519 keys the manifest may be signed with (any one of them); none, or only the
  // all-zero placeholder, means that none was configured.
  std::vector<PublicKey> publicKeys;
  // The game folder; empty means the folder of the running executable.
  std::wstring gameDir;
  // The launcher's own executable; empty means the running executable.
  std::wstring executablePath;
  LauncherMode launcherMode = LauncherMode::ReplaceOwnExecutable;
  // Phases go here (the launcher's window, or a progress display).
  PhaseNotify notify = nullptr;
  void* notifyContext = nullptr;

  // Pauses, in milliseconds: before the 2nd and 3rd manifest attempt; times n before download
  // attempt n; between tries to delete the previous launcher's ".old" file.
  std::uint32_t manifestRetryPauseMs = 1500;
  std::uint32_t downloadRetryPauseMs = 1000;
  std::uint32_t oldLauncherPauseMs = 250;

  // Added to the system clock where the manifest's "expires" is judged: a player's clock that
  // is wrong, for tests.
  std::int64_t clockOffsetSeconds = 0;

  // The longest manifest read; lower only in tests, which then see it refused without being
  // sent hundreds of megabytes.
  std::uint64_t manifestMaxBytes = kManifestMaxBytes;

  // Files with a chunk list are rebuilt from chunks; false fetches every file whole, as a
  // launcher that knows nothing of chunks does (for tests).
  bool useChunks = true;

  // Off only to measure what durability costs: the run's writes are then never synced and
  // the cache may name files that a power cut would lose.
  bool syncWrites = true;
  // Called right after each sync of the run's writes, before the cache is written (tests).
  std::function<void()> afterSync;
  // Taken as the free space of the game folder's volume instead of asking the system, when
  // set (tests: the real free space cannot be chosen).
  std::int64_t pretendFreeBytes = -1;
};

// The game folder as the engine uses it: "\" separators and a trailing "\".
std::wstring normalizeGameDir(const std::wstring& dir);
