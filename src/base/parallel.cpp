#include "base/parallel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

unsigned threadsFor(unsigned requested) {
  return requested > 0 ? requested : std::max(1u, std::thread::hardware_concurrency());
}

void runJobsInParallel(std::size_t count, const std::function<void(std::size_t)>& job,
                       std::size_t maxThreads) {
  if (count == 0) return;
  std::atomic<std::size_t> next{0};
  auto work = [&next, &job, count] {
    for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) job(i);
  };
  const std::size_t threads = std::min(count, std::max<std::size_t>(maxThreads, 1));
  std::vector<std::thread> extra;
  extra.reserve(threads - 1);
  for (std::size_t t = 1; t < threads; ++t) {
    try {
      extra.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer helpers; the jobs are still all done by those that exist
    }
  }
  work();
  for (std::thread& t : extra) t.join();
}

bool runJobsWithProgress(std::size_t count, std::size_t maxThreads,
                         const std::function<bool(std::size_t)>& job, std::atomic<bool>& stop,
                         const std::function<void()>& tick) {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  const auto runAll = [&] {
    runJobsInParallel(
        count,
        [&job, &stop](std::size_t i) {
          if (!stop.load() && !job(i)) stop.store(true);
        },
        maxThreads);
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    finished.notify_all();
  };
  std::thread runner;
  try {
    runner = std::thread(runAll);
  } catch (const std::system_error&) {
    runAll();  // no thread to spare: the caller does the jobs and ticks only at the end
  }
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(200), [&done] { return done; })) {
      lock.unlock();
      if (tick) tick();
      lock.lock();
    }
  }
  if (runner.joinable()) runner.join();
  if (tick) tick();
  return !stop.load();
}
