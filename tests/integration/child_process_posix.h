// A program run as a child process with a time limit, for the tests of quillmark-update on
// Linux and the crash soak: both output streams to a file, standard input from /dev/null.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// Starts exe with args; withoutRoot drops root's rights first (a read-only folder is read-only
// to root only by this). The child's pid, or -1.
pid_t startProgram(const std::string& exe, const std::vector<std::wstring>& args,
                   const std::wstring& outputFile, bool withoutRoot = false);

// The exit status, -1 when it died of a signal, -2 when it had not ended within timeout (it is
// killed then, so that no test leaves a process behind). maxResidentKiB, when given, receives
// the most memory the program held.
int waitForExit(pid_t pid, std::chrono::milliseconds timeout, long* maxResidentKiB = nullptr);
