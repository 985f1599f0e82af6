// One writer per game folder: an exclusive lock on a lock file in the folder, held for a whole
// update run by the launcher and quillmark-update alike (flock on POSIX, LockFileEx on
// Windows). The system releases it when its holder ends, a crashed one too, so a lock never
// outlives its run. The file also keeps a short note between runs (whether the last run
// completed), read and written only by the holder.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

class FolderLock {
 public:
  enum class Outcome {
    Held,    // this object holds the lock
    Busy,    // another holder has it; nothing waited
    Failed,  // the lock file could not be opened or is not a file (a link, a FIFO, a folder)
  };

  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Opens (creating it when missing) the lock file at path, never following a link and never
  // waiting, and tries to take the lock.
  Outcome acquire(const std::wstring& path);
  // The note the file holds (at most 64 bytes); "" when there is none or no lock is held.
  std::string note() const;
  // Replaces the note; false when it cannot be written (a read-only folder, say).
  bool setNote(std::string_view text);
  // Gives the lock up (the destructor does too); the file stays for the next holder.
  void release();

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
#else
  int fd_ = -1;
#endif
};
