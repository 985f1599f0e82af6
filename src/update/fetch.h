// The network side of the download phase: up to kRequestsInFlight transfers at once, each on a
// thread of its own that reuses its connection, while the work on the bodies (inflate, hash,
// write) runs on at most kBodyWorkers of them at any moment. A player on a link with a long
// round trip then waits for one round trip per sixteen files instead of per four, and the two
// or four cores are kept as busy as before, never more.
//
// A body is worked on by the thread that receives it, one receive buffer at a time, under a
// slot: nothing is queued between the network and the disk, so a run holds at most one
// receive buffer and one stream per transfer, whatever the file sizes.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

#include "base/http.h"

inline constexpr std::size_t kRequestsInFlight = 16;
inline constexpr std::size_t kBodyWorkers = 4;

// A counting semaphore: at most `count` holders at once.
class WorkSlots {
 public:
  explicit WorkSlots(std::size_t count) : free_(count) {}
  WorkSlots(const WorkSlots&) = delete;
  WorkSlots& operator=(const WorkSlots&) = delete;

  void acquire();
  void release();

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  std::size_t free_;
};

// The process's slots for work on bodies: kBodyWorkers of them, shared by every transfer.
WorkSlots& bodyWorkSlots();

// Runs work while holding one of the body slots (released on every path, exceptions too).
bool withBodySlot(const std::function<bool()>& work);

// Fetches url into sink (a cacheable GET, as HttpGet without no-cache), each call of the sink
// made under a body slot; waiting for the network holds none. Same results as HttpGet.
int fetchInto(const std::wstring& url, const DataSink& sink, const std::atomic<bool>& cancel);
