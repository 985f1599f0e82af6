// What quillmark-update needs from the system (console_posix.cpp, console_win.cpp): the
// console, the system's language, and Ctrl+C (its arguments: commandLineArguments of files.h).
#pragma once
#include <cstddef>
#include <string>

// Console set-up before anything is written: on POSIX a closed output pipe must not kill the
// process in the middle of a run (SIGPIPE is ignored).
void prepareConsole();

// Whole texts to standard output and standard error, flushed. A console on Windows gets UTF-16
// through WriteConsoleW; files and pipes get UTF-8.
void writeOut(const std::wstring& text);
void writeErr(const std::wstring& text);

// True when standard output is a terminal, where a progress line may be redrawn in place.
bool stdoutIsTerminal();
// The terminal's width in characters; 0 when unknown.
std::size_t terminalColumns();

// The system's UI language as a code of the string table ("de"), or "" when it has none.
std::string systemLanguage();

// Ctrl+C: installs the handler (SIGINT and SIGTERM on POSIX; a console control handler on
// Windows). The handler only records the interrupt; the caller polls interruptStatus() and
// cancels the run. When the console window is being closed (Windows), the handler also waits,
// a few seconds at most, until runFinished() says the run is over, since the process ends when
// the handler returns.
void installInterruptHandler();
// 0 while no interrupt has come; otherwise the exit status: 130 for Ctrl+C, 143 for SIGTERM.
int interruptStatus();
// The run has ended and the folder holds no temporary file.
void runFinished();
