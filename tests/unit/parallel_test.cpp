// The worker pool of the engine and the publisher: every job runs once, whatever the threads;
// the progress tick comes while the jobs run; a failed job stops the jobs not yet started.
#include "base/parallel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

TEST(Parallel, EveryJobRunsExactlyOnce) {
  for (std::size_t threads : {0, 1, 3, 64}) {
    std::vector<std::atomic<int>> runs(1000);
    runJobsInParallel(
        runs.size(), [&runs](std::size_t i) { runs[i].fetch_add(1); }, threads);
    for (std::size_t i = 0; i < runs.size(); ++i) ASSERT_EQ(runs[i].load(), 1) << i;
  }
  std::vector<std::atomic<int>> runs(1000);
  std::atomic<bool> stop{false};
  EXPECT_TRUE(runJobsWithProgress(runs.size(), 4,
                                  [&runs](std::size_t i) {
                                    runs[i].fetch_add(1);
                                    return true;
                                  },
                                  stop, {}));
  for (std::size_t i = 0; i < runs.size(); ++i) ASSERT_EQ(runs[i].load(), 1) << i;
  runJobsInParallel(0, [](std::size_t) { FAIL() << "no job to run"; });
}

TEST(Parallel, TheCallerTicksWhileTheJobsRun) {
  std::atomic<int> ticks{0};
  std::atomic<bool> stop{false};
  // The job ends only once the caller has ticked twice: the ticks come during the work.
  const bool done = runJobsWithProgress(
      1, 2,
      [&ticks](std::size_t) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ticks.load() < 2 && std::chrono::steady_clock::now() < deadline) {
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return ticks.load() >= 2;
      },
      stop, [&ticks] { ticks.fetch_add(1); });
  EXPECT_TRUE(done);
  EXPECT_GE(ticks.load(), 3) << "and once more at the end";
}

TEST(Parallel, AFailedJobStopsTheJobsNotYetStarted) {
  std::vector<std::size_t> ran;  // one thread: the jobs run in order
  std::atomic<bool> stop{false};
  const auto job = [&ran](std::size_t i) {
    ran.push_back(i);
    return i != 3;
  };
  EXPECT_FALSE(runJobsWithProgress(10, 1, job, stop, {}));
  EXPECT_EQ(ran, (std::vector<std::size_t>{0, 1, 2, 3}));
  EXPECT_TRUE(stop.load());
  ran.clear();
  EXPECT_FALSE(runJobsWithProgress(10, 2, job, stop, {})) << "a stop set before";
  EXPECT_TRUE(ran.empty());
}
