#include "util/task_pool.h"

#include <gtest/gtest.h>

#include <stdexcept>
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

TEST(TaskPool, ATaskThatThrowsEndsTheBatchWithItsExceptionAndThePoolGoesOn) {
  TaskPool pool(3);
  std::vector<int> runs(8, 0);
  EXPECT_THROW(pool.run(8,
                        [&](int task) {
                          ++runs[static_cast<std::size_t>(task)];
                          if (task == 5) throw std::runtime_error("task 5");
                        }),
               std::runtime_error);
  EXPECT_EQ(runs, std::vector<int>(8, 1));
  int sum = 0;
  pool.run(1, [&](int) { sum = 7; });
  EXPECT_EQ(sum, 7);
}

TEST(TaskPool, SpansCoverEveryIndexOnceInOrderWithinASpan) {
  struct Case {
    int threads, first, last;
  };
  for (const Case c : {Case{1, 1, 9}, Case{2, 1, 1}, Case{2, 1, 3}, Case{3, 1, 402},
                       Case{5, -2, 7}, Case{2, 1, 0}, Case{3, 5, 4}}) {
    SCOPED_TRACE(testing::Message() << c.threads << ": " << c.first << ".." << c.last);
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
