// quillmark-update as one function: the arguments in, one update run of the game folder with
// its progress on the console, the exit status out.
#pragma once
#include <string>
#include <vector>

#include "update/launcher_state.h"

// The exit statuses, listed in --help. Scripts branch on them, so a number never changes its
// meaning; 1 stays "any other failure" for callers that only knew 0 and 1. Stopped by Ctrl+C
// is 130 (143 by SIGTERM, see interruptStatus).
inline constexpr int kExitUpToDate = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitRefused = 3;
inline constexpr int kExitUnreachable = 4;
inline constexpr int kExitDiskFull = 5;
inline constexpr int kExitFolderBusy = 6;
inline constexpr int kExitWriteFailed = 7;

// The exit status of a run that ended with an error of this kind.
int exitStatusOf(ErrorKind kind);

int runUpdateCommand(const std::vector<std::wstring>& args);
