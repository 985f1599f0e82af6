// The network side of the download phase: up to kRequestsInFlight transfers at once, each on a
// thread of its own that reuses its connection, while the work on the bodies (inflate, hash,
// write) runs on at most kBodyWorkers of them at any moment. A player on a link with a long
// round trip waits one round trip per thirty-two files instead of per four (32 requests
// keep a 100 Mbit/s line with a 50 ms round trip busy; 16 left it idle a third of the time), and
// the work on the bodies uses no more cores than before.
//
// A body is worked on by the thread that receives it, one receive buffer at a time, under a
// slot: nothing is queued between the network and the disk, so a run holds at most one
// receive buffer and one inflate stream per transfer, whatever the file sizes, besides the
// bodies held whole within their process-wide budget (download_stream.h).
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "base/http.h"

inline constexpr std::size_t kRequestsInFlight = 32;
inline constexpr std::size_t kBodyWorkers = 4;

// Runs work while holding one of the process's kBodyWorkers slots (released on every path,
// exceptions too), waiting for one to be free.
bool withBodySlot(const std::function<bool()>& work);

// Fetches url into sink (a cacheable GET: HttpGet without no-cache), each call of the sink
// made under a body slot; waiting for the network holds none. Same results as HttpGet.
int fetchInto(const std::wstring& url, const DataSink& sink, const std::atomic<bool>& cancel);
