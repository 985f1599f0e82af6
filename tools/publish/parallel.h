// A small worker pool for the publisher's passes (hashing, compressing, checking).
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>

// Runs job(i) for every i below count on up to `workers` threads; indices are handed out in
// order through an atomic counter. A job that returns false sets stop, so that jobs not yet
// started are skipped and running ones may end early. While the workers run, the calling
// thread calls tick() about five times a second (for a progress line). True when every job
// returned true and stop was never set.
bool runParallel(std::size_t count, unsigned workers, const std::function<bool(std::size_t)>& job,
                 std::atomic<bool>& stop, const std::function<void()>& tick);
