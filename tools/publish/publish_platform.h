// The few services of quillmark-publish that differ between the systems
// (platform_posix.cpp, platform_win.cpp): console output, the secret key file's creation, and
// where a folder lies (the command line: commandLineArguments of files.h).
#pragma once
#include <string>
#include <string_view>

// Makes the console show the UTF-8 text the program writes (Windows); nothing elsewhere.
void prepareConsole();

// True when standard error is a terminal, so a progress line may be redrawn in place.
bool stderrIsTerminal();

// Creates path holding bytes, readable and writable only by its owner (mode 0600 on POSIX),
// and never replaces an existing file: the bytes go to a temporary sibling that is moved to
// path only if nothing is there. On failure nothing is left behind and error says why.
bool writeNewPrivateFile(const std::wstring& path, std::string_view bytes, std::string& error);

// True when the existing folder inner is outer itself or lies somewhere below it (links
// resolved; names compared as the file system compares them).
bool isSameOrInside(const std::wstring& inner, const std::wstring& outer);
