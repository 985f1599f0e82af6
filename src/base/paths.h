// The path and whole-file helpers the engine shares: validation of every relative path that
// comes from the server or the cache, parent-folder creation, atomic replacement, bounded reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Validates a relative path from the manifest or the cache. On success widePath holds it with
// "\" separators; on failure it is empty. Rejects absolute paths, "..", empty components,
// reserved characters and Windows device names (CON, NUL, COM1, also as "nul.txt", any case).
bool isSafeRelativePath(std::string_view utf8Path, std::wstring& widePath);

// Creates every missing folder above path (up to its last "\"); true if the parent is a folder
// afterwards.
bool ensureParentDirectory(const std::wstring& path);

// Writes bytes to path + ".ap_tmp" and moves it onto path; on failure the target is untouched
// and no temporary file remains.
bool writeFileAtomically(const std::wstring& path, std::string_view bytes);

// Reads a whole file of at most limit bytes (and under 4 GiB) into out; false (and out empty)
// otherwise. Nobody may write the file while it is read.
bool readWholeFile(const std::wstring& path, std::uint64_t limit, std::string& out);
