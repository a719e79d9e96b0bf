#include "util/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

TEST(TaskPool, RunsEveryTaskOnceInEveryBatch) {
  for (int threads : {1, 2, 5}) {
    TaskPool pool(threads);
    EXPECT_EQ(pool.threads(), threads);
    for (int count : {0, 1, 3, 64}) {
      for (int batch = 0; batch < 20; ++batch) {
        std::vector<int> runs(static_cast<std::size_t>(count), 0);
        pool.run(count, [&](int task) { ++runs[static_cast<std::size_t>(task)]; });
        EXPECT_EQ(runs, std::vector<int>(static_cast<std::size_t>(count), 1));
      }
    }
  }
}

// Tasks 2 and 6 throw. With threads to spare, task 2 throws only after task 6 has, so
// that the first exception caught is not the lowest-numbered one.
class TaskPoolFailure : public ::testing::TestWithParam<int> {};

TEST_P(TaskPoolFailure, EveryTaskRunsThenTheLowestNumberedTasksExceptionIsThrown) {
  const int threads = GetParam();
  TaskPool pool(threads);
  std::vector<int> runs(8, 0);
  std::atomic<bool> six_thrown{false};
  try {
    pool.run(8, [&](int task) {
      ++runs[static_cast<std::size_t>(task)];
      if (task == 6) {
        six_thrown = true;
        throw std::runtime_error("task 6");
      }
      if (task == 2) {
        while (threads > 1 && !six_thrown) std::this_thread::yield();
        if (threads > 1) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        throw std::runtime_error("task 2");
      }
    });
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "task 2");
  }
  EXPECT_EQ(runs, std::vector<int>(8, 1));
  int sum = 0;
  pool.run(1, [&](int) { sum = 7; });
  EXPECT_EQ(sum, 7);
}

INSTANTIATE_TEST_SUITE_P(Threads, TaskPoolFailure, ::testing::Values(1, 2, 5),
                         [](const auto& info) { return std::to_string(info.param) + "Threads"; });

TEST(TaskPool, SpansCoverEveryIndexOnceInOrderWithinASpan) {
  struct Case {
    int threads, first, last;
  };
  for (const Case c : {Case{1, 1, 9}, Case{2, 1, 1}, Case{2, 1, 3}, Case{3, 1, 402},
                       Case{5, -2, 7}, Case{2, 1, 0}, Case{3, 5, 4}}) {
    SCOPED_TRACE(::testing::Message() << c.threads << ": " << c.first << ".." << c.last);
    TaskPool pool(c.threads);
    const int count = c.last >= c.first ? c.last - c.first + 1 : 0;
    std::vector<int> runs(static_cast<std::size_t>(count), 0);
    run_spans(&pool, c.first, c.last, [&](int first, int last) {
      EXPECT_LE(first, last);
      for (int n = first; n <= last; ++n) ++runs[static_cast<std::size_t>(n - c.first)];
    });
    EXPECT_EQ(runs, std::vector<int>(static_cast<std::size_t>(count), 1));
  }
}

}  // namespace
}  // namespace korvane
