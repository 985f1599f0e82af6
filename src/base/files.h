// The thin file layer under the update engine (files_win.cpp, files_posix.cpp).
// Paths are wide strings; "\" is the separator in every path the engine builds, and the
// POSIX side turns it into "/" (and the text into UTF-8) at the system call.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Why a file operation failed, as far as the engine needs to know.
enum class FileError { None, NotFound, InUse, AccessDenied, Other };

// The error of the last failed operation on this thread.
FileError lastFileError();

struct FileInfo {
  std::uint64_t size = 0;
  std::uint64_t lastWriteTime = 0;  // FILETIME units: 100 ns since 1601-01-01 UTC
  bool isDirectory = false;
  bool readOnly = false;
  // Only from getEntryInfo: a symbolic link, or on Windows a junction or another reparse point
  // that names something elsewhere (not a cloud placeholder, which holds its own data).
  bool isLink = false;
  // Neither a file, a folder nor a link: a FIFO, a device, a socket.
  bool isSpecial = false;

  bool isRegularFile() const { return !isDirectory && !isLink && !isSpecial; }
};

// Attributes of what path names, following links.
bool getFileInfo(const std::wstring& path, FileInfo& out);
// Attributes of the entry path names itself: a link is reported as a link, never followed.
bool getEntryInfo(const std::wstring& path, FileInfo& out);

// getEntryInfo for many entries of one folder, named by their paths relative to it (UTF-8,
// "/" or "\\" between names), for a scan of a whole game: on POSIX the folder is opened once
// and each look-up walks only the relative path, whose bytes go to the system as they are. May
// be used by several threads at once.
class FolderScan {
 public:
  // folder ends in a separator, as a game folder is kept.
  explicit FolderScan(const std::wstring& folder);
  ~FolderScan();
  FolderScan(const FolderScan&) = delete;
  FolderScan& operator=(const FolderScan&) = delete;

  bool entryInfo(std::string_view relativePath, FileInfo& out) const;

 private:
  std::wstring folder_;
  int fd_ = -1;  // POSIX: the open folder, or -1 when it could not be opened
};

// Whether two names that differ only in letter case name two files (POSIX) or one (Windows).
bool fileNamesAreCaseSensitive();

bool fileExists(const std::wstring& path);  // exists and is not a directory
bool directoryExists(const std::wstring& path);
// Creates one directory; true if it exists as a directory afterwards.
bool createDirectory(const std::wstring& path);
// Removes a directory only when it is empty.
bool removeEmptyDirectory(const std::wstring& path);
// Deletes a file, a read-only one too (as unlink does on POSIX); a folder is refused. A link
// is deleted itself (a link to a folder too), never what it points at.
bool deleteFile(const std::wstring& path);
bool setReadOnly(const std::wstring& path, bool readOnly);
// When a move reaches the disk: before moveFileReplace returns, or with the next
// syncWrittenFiles of its folder (one sync for a run's thousands of files).
enum class MoveSync { Now, Later };

// Moves from onto to, replacing it. With MoveSync::Now it returns only once the content and
// the move are on disk (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH; fsync of the file
// and the folder on POSIX). A read-only target is replaced too, so that a game file marked
// read-only can be updated; when the move fails, the target keeps its content and its
// attribute. A target held open by another program fails with InUse or AccessDenied.
bool moveFileReplace(const std::wstring& from, const std::wstring& to,
                     MoveSync sync = MoveSync::Now);

// Makes the content and names of files in folder durable, those written or moved with
// MoveSync::Later among them: one syncfs of the folder's file system on Linux (all of
// files at once), FlushFileBuffers on each of files on Windows (whose file system journal
// orders the moves before the next write-through move). Returns the indices of the files
// that may not be on disk: none, or on Linux all of them when the sync failed.
std::vector<std::size_t> syncWrittenFiles(const std::wstring& folder,
                                          const std::vector<std::wstring>& files);

// Bytes that an unprivileged writer may still use on the volume that holds path (which
// exists); false when the system cannot say.
bool freeDiskSpace(const std::wstring& path, std::uint64_t& bytes);

// Calls visit(name, isDirectory) for every entry of a directory except "." and "..";
// false when the directory cannot be read or visit returned false.
bool listDirectory(const std::wstring& dir,
                   const std::function<bool(const std::wstring& name, bool isDirectory)>& visit);

// An open file; closed by the destructor.
class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle();
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Read access, sharing read and write, sequential-scan hint. Only a regular file opens, and
  // the open never waits: a FIFO or a device is refused like a missing file. With
  // followLinks false a link is refused too, instead of opening what it points at.
  bool openForRead(const std::wstring& path, bool followLinks = true);
  // Read access sharing only reading: fails with InUse while another handle may write the
  // file, so that the content is never read half-written (Windows; as openForRead on POSIX).
  bool openForReadDenyWrite(const std::wstring& path);
  // A new file for writing, no sharing: an entry of that name left by an earlier crash (a
  // file, or a link, never what it points at) is removed first, and the file is then created
  // exclusively, so that two writers never share one file; the creation fails when the name
  // reappears meanwhile. For temporary files.
  bool createNew(const std::wstring& path);
  // An existing file for reading and writing at offsets (readAt, writeAt), such as a partial
  // file kept from an earlier run: only a regular file with no second name, opened without
  // following a link, so that nothing outside the folder (a link's target, a file hard-linked
  // from elsewhere) is ever written through it. Shares reading and writing with other handles:
  // several transfers write their own ranges of one file at once.
  bool openForUpdate(const std::wstring& path);
  bool isOpen() const;
  // Reads up to count bytes; got receives how many (0 at the end). False on a read error.
  bool read(void* buffer, std::size_t count, std::size_t& got);
  // Writes all count bytes; false on a short or failed write.
  bool write(const void* buffer, std::size_t count);
  bool size(std::uint64_t& out) const;
  // Moves the read position to offset bytes from the start.
  bool seek(std::uint64_t offset);
  // Reads exactly count bytes at offset, or writes all count bytes there (the file grows as
  // needed); neither uses nor moves the read position, so threads may share a handle.
  bool readAt(std::uint64_t offset, void* buffer, std::size_t count);
  bool writeAt(std::uint64_t offset, const void* buffer, std::size_t count);
  // Makes a new file size bytes long and takes its space on the disk at once where the file
  // system can, so that a full disk shows before the writes instead of in their middle.
  bool allocate(std::uint64_t size);
  // Flushes written data to the disk.
  bool flush();
  void close();

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
#else
  int fd_ = -1;
#endif
};

#ifndef _WIN32
// The path as the POSIX system call wants it: "\" turned into "/", the text into UTF-8.
std::string nativePath(const std::wstring& path);
#endif

// A path of the engine ("data\\maps\\a.bin") as the system writes it, for messages.
std::wstring displayPath(const std::wstring& enginePath);

// The running program: its full path (its folder: moduleDirectory in paths.h), and its
// arguments after its own name, as wide strings (the UTF-16 command line on Windows, so that
// any file name survives; argv converted from UTF-8 elsewhere).
std::wstring modulePath();
std::vector<std::wstring> commandLineArguments(int argc, char** argv);
