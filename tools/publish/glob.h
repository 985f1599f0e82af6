// File name patterns for --keep and --exclude, matched against a path relative to the game
// folder written with "/":
//   *   any run of characters within one name      **  any run, across "/" as well
//   ?   one character other than "/"
// A pattern without "/" matches a name at any depth (a file's or any folder's above it); a
// pattern with "/" (a leading one is dropped) matches from the top of the game folder, and
// also matches everything below a folder it names. ASCII letters match either case, as they
// do in the Windows file system the launcher runs on.
#pragma once
#include <string>
#include <string_view>
#include <vector>

bool globMatch(std::string_view pattern, std::string_view text);
bool pathMatches(std::string_view pattern, std::string_view relativePath);
bool pathMatchesAny(const std::vector<std::string>& patterns, std::string_view relativePath);
