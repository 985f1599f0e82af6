// The path and whole-file helpers the engine shares: validation of every relative path that
// comes from the server or the cache, parent-folder creation, atomic replacement, bounded reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

// The files the launcher keeps for itself at the root of the game folder, and the suffix of
// every temporary file (target + ".ap_tmp", moved over the target once complete).
inline constexpr wchar_t kProfileFileName[] = L"patcher.ini";
inline constexpr wchar_t kCacheFileName[] = L"patcher_cache.dat";
inline constexpr wchar_t kLockFileName[] = L"patcher.lock";
// The last manifest a run accepted, with its signature, so that an unchanged release costs a
// start only its 64-byte signature.
inline constexpr wchar_t kKeptManifestFileName[] = L"patcher_manifest.dat";
inline constexpr wchar_t kWriteTestFileName[] = L"patcher_write_test.tmp";
inline constexpr wchar_t kTemporarySuffix[] = L".ap_tmp";
// The folder where older launchers kept fetched chunks until their run completed. A completed
// run removes one it finds, and it stays the launcher's own name, which no release may use.
inline constexpr wchar_t kChunkStagingFolder[] = L"patcher_chunks";

// Whether a relative path ("\\" separators) names one of the launcher's own files or its
// temporary file, or the chunk staging folder or anything in it, in any case: a release may
// not list, replace or delete them.
bool isLauncherOwnPath(std::wstring_view widePath);
// Whether a path ends in the temporary suffix, in any case.
bool isTemporaryPath(std::wstring_view path);

// Validates a relative path from the manifest or the cache. On success widePath holds it with
// "\" separators; on failure it is empty. Rejects absolute paths, "..", empty components,
// reserved characters and Windows device names (CON, NUL, COM1, also as "nul.txt", any case).
bool isSafeRelativePath(std::string_view utf8Path, std::wstring& widePath);
// The wide path that isSafeRelativePath gives for a path it accepted; appendWidePath adds it
// to out. Records keep the UTF-8 path alone and make the wide one where it is used.
std::wstring widePathOf(std::string_view utf8Path);
void appendWidePath(std::wstring& out, std::string_view utf8Path);

// The first folder of relative (a path below root with "\\" separators, its last name left
// out) that is a link, as a path relative to root; "" when there is none. The search ends at
// the first folder that does not exist yet: it will be created as a real folder. Nothing is
// created, replaced or deleted through a link, so that no write leaves the game folder.
std::wstring linkInPath(const std::wstring& root, const std::wstring& relative);

// Calls visit(relative, isFolder) for every entry below root (relative paths with "\\"
// separators), the entries of a folder before the folder itself, so that visit may delete what
// it is given. A link, to a folder too, is an entry of its own and never entered: the walk stays
// inside root.
void walkFolder(const std::wstring& root,
                const std::function<void(const std::wstring& relative, bool isFolder)>& visit);
// Removes path whatever it is: a file, a link itself (never what it points at), or a folder with
// everything in it. True when nothing of that name is left.
bool removeTree(const std::wstring& path);

// Creates every missing folder above path (up to its last "\"); true if the parent is a folder
// afterwards.
bool ensureParentDirectory(const std::wstring& path);

// Writes bytes to path + ".ap_tmp" and moves it onto path; on failure the target is untouched
// and no temporary file remains. The second form writes the pieces one after the other, so
// that a large file need not be put together in memory first.
bool writeFileAtomically(const std::wstring& path, std::string_view bytes);
bool writeFileAtomically(const std::wstring& path, std::initializer_list<std::string_view> pieces);

// Reads a whole regular file of at most limit bytes (and under 4 GiB) into out; false (and out
// empty) otherwise, also for a FIFO or a device, which are never waited on. Nobody may write
// the file while it is read.
bool readWholeFile(const std::wstring& path, std::uint64_t limit, std::string& out);
// Reads the first limit bytes of a regular file (all of a shorter one) into out, never through
// a link; more tells whether the file holds more. False (and out empty) when it cannot be read.
bool readFileStart(const std::wstring& path, std::uint64_t limit, std::string& out, bool& more);

// The folder of an executable's path: up to and including its last "\" or "/", ".\" when it
// has neither. moduleDirectory is the running executable's.
std::wstring moduleDirectoryOf(std::wstring_view modulePath);
std::wstring moduleDirectory();
