// One small pool of threads for numbered jobs, shared by the engine's passes (scanning,
// hashing, cutting chunks) and the publisher's (hashing, compressing, checking). Job numbers
// are handed out in order from one atomic counter; a thread the system refuses is done
// without, and the jobs are still all done by the threads that exist.
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>

// Runs job(i) for every i below count on min(count, maxThreads) threads, the caller being one
// of them.
void runJobsInParallel(std::size_t count, const std::function<void(std::size_t)>& job,
                       std::size_t maxThreads = 4);

// The threads a pass asked for: requested, or one per processor when 0.
unsigned threadsFor(unsigned requested);

// Runs job(i) for every i below count on up to maxThreads threads while the calling thread
// calls tick() about five times a second (for a progress line), and once more at the end. A job
// that returns false sets stop, so that jobs not yet started are skipped and running ones may
// end early. True when every job returned true and stop was never set.
bool runJobsWithProgress(std::size_t count, std::size_t maxThreads,
                         const std::function<bool(std::size_t)>& job, std::atomic<bool>& stop,
                         const std::function<void()>& tick);
