// quillmark-update as one function: the arguments in, one update run of the game folder with
// its progress on the console, the exit status out.
#pragma once
#include <string>
#include <vector>

inline constexpr int kExitUpToDate = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

int runUpdateCommand(const std::vector<std::wstring>& args);
