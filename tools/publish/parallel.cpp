#include "parallel.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

bool runParallel(std::size_t count, unsigned workers, const std::function<bool(std::size_t)>& job,
                 std::atomic<bool>& stop, const std::function<void()>& tick) {
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable finished;
  unsigned running = 0;

  auto work = [&] {
    for (;;) {
      if (stop.load()) break;
      const std::size_t i = next.fetch_add(1);
      if (i >= count) break;
      if (!job(i)) stop.store(true);
    }
    std::lock_guard<std::mutex> lock(mutex);
    --running;
    finished.notify_all();
  };

  if (workers < 1) workers = 1;
  if (workers > count) workers = static_cast<unsigned>(count > 0 ? count : 1);
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++running;
    }
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      // The system refused another thread: go on with those that exist.
      std::lock_guard<std::mutex> lock(mutex);
      --running;
      break;
    }
  }
  if (threads.empty()) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++running;
    }
    work();
  } else {
    std::unique_lock<std::mutex> lock(mutex);
    while (running > 0) {
      if (!finished.wait_for(lock, std::chrono::milliseconds(200), [&] { return running == 0; })) {
        lock.unlock();
        if (tick) tick();
        lock.lock();
      }
    }
  }
  for (std::thread& t : threads) t.join();
  if (tick) tick();
  return !stop.load();
}
