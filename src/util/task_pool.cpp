#include "util/task_pool.h"

#include <sched.h>

#include <algorithm>
#include <utility>

namespace korvane {

TaskPool::TaskPool(int threads) {
  const int workers = threads > 1 ? threads - 1 : 0;
  workers_.reserve(static_cast<std::size_t>(workers));
  try {
    for (int w = 0; w < workers; ++w) workers_.emplace_back([this] { work_loop(); });
  } catch (...) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    start_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    throw;
  }
}

TaskPool::~TaskPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  start_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

// Takes tasks of the current batch until none is left; called with the lock free.
void TaskPool::take_tasks() {
  std::unique_lock lock(mutex_);
  while (next_ < count_) {
    const int index = next_++;
    const std::function<void(int)>& task = *task_;
    lock.unlock();
    std::exception_ptr failure;
    try {
      task(index);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (failure && (!failure_ || index < failed_task_)) {
      failure_ = failure;
      failed_task_ = index;
    }
    if (--unfinished_ == 0) finished_.notify_all();
  }
}

void TaskPool::work_loop() {
  std::uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      start_.wait(lock, [&] { return stopping_ || batch_ != seen; });
      if (stopping_) return;
      seen = batch_;
    }
    take_tasks();
  }
}

void TaskPool::run(int count, const std::function<void(int)>& task) {
  if (count <= 0) return;
  if (workers_.empty()) {
    // In order, so the first task that throws is the lowest-numbered one.
    std::exception_ptr failure;
    for (int index = 0; index < count; ++index) {
      try {
        task(index);
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    }
    if (failure) std::rethrow_exception(failure);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    task_ = &task;
    count_ = count;
    next_ = 0;
    unfinished_ = count;
    failure_ = nullptr;
    ++batch_;
  }
  start_.notify_all();
  take_tasks();
  std::exception_ptr failure;
  {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return unfinished_ == 0; });
    task_ = nullptr;
    count_ = 0;
    failure = std::exchange(failure_, nullptr);
  }
  if (failure) std::rethrow_exception(failure);
}

int usable_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int count = CPU_COUNT(&set);
  return count > 0 ? count : 1;
}

void run_spans(TaskPool* pool, int first, int last,
               const std::function<void(int, int)>& span) {
  if (last < first) return;
  const long long count = static_cast<long long>(last) - first + 1;
  if (pool == nullptr || pool->threads() <= 1 || count == 1) {
    span(first, last);
    return;
  }
  // A few ranges per thread even out ranges that cost unequal times.
  const long long spans = std::min<long long>(count, 4LL * pool->threads());
  pool->run(static_cast<int>(spans), [&](int task) {
    const long long begin = first + count * task / spans;
    const long long end = first + count * (task + 1) / spans - 1;
    span(static_cast<int>(begin), static_cast<int>(end));
  });
}

}  // namespace korvane
