// One writer per game folder: an exclusive lock held on the folder itself for a whole update
// run, by the launcher and quillmark-update alike. On POSIX it is a flock on a descriptor of
// the folder; on Windows a named kernel object whose name is the folder's identity (volume
// serial number and file index), which exists exactly as long as its holder keeps it open.
//
// Either way the system releases the lock when its holder ends, a crashed one too; taking it
// writes nothing, so a run that refuses its manifest leaves the folder as it found it; and
// nothing in the folder can be deleted or replaced to take it from under a run, as a lock file
// could be (`rm patcher.lock`, and the second run starts).
#pragma once
#include <cstdint>
#include <string>

class FolderLock {
 public:
  enum class Outcome {
    Held,    // this object holds the lock
    Busy,    // another holder has it; nothing waited
    Failed,  // the folder could not be opened
  };

  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Tries to take the lock of the folder (which exists), never waiting.
  Outcome acquire(const std::wstring& folder);
  // Gives the lock up (the destructor does too).
  void release();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};
