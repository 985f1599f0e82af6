// Runs a program to its end for the publisher's command-line tests (publish_run_posix.cpp,
// publish_run_win.cpp).
#pragma once
#include <string>
#include <vector>

// Starts exe with args, its standard output and error both going to outputFile (replaced),
// waits for it and returns its exit code; -1 when it could not be started or did not exit.
int runProgram(const std::wstring& exe, const std::vector<std::wstring>& args,
               const std::wstring& outputFile);
