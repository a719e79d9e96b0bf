// A fixed team of threads that runs a batch of numbered tasks at once.
//
// The calling thread works in the team: a pool of one thread starts none and runs every
// task on the caller, in order, so a one-thread run is a plain sequential run.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace korvane {

class TaskPool {
 public:
  // Starts threads - 1 workers (threads below 1 count as 1); throws std::system_error
  // when the system cannot start them.
  explicit TaskPool(int threads);
  ~TaskPool();
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  int threads() const { return static_cast<int>(workers_.size()) + 1; }

  // Runs task(0) .. task(count - 1), each once, on the team, and returns when all have
  // ended. Everything a task wrote is visible to the caller afterwards. A task that throws
  // stops no other: every task runs, then the exception of the lowest-numbered task that
  // threw is thrown here, so that a run fails alike on any number of threads. The pool
  // stays usable. run() must not be called from inside a task (of this pool or another
  // that shares its threads): the caller would wait for itself.
  void run(int count, const std::function<void(int)>& task);

 private:
  void work_loop();
  void take_tasks();

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable finished_;
  // The batch in progress, guarded by mutex_.
  const std::function<void(int)>* task_ = nullptr;
  int count_ = 0;
  int next_ = 0;
  int unfinished_ = 0;   // tasks handed out or waiting
  std::uint64_t batch_ = 0;
  std::exception_ptr failure_;  // of the lowest-numbered task that threw
  int failed_task_ = 0;
  bool stopping_ = false;
};

// Runs span(first, last) over consecutive ranges that together cover first .. last once
// each, in one call on the caller when pool is null or has one thread, else as a few
// ranges per thread on the team (each range a task). Nothing when last < first.
void run_spans(TaskPool* pool, int first, int last, const std::function<void(int, int)>& span);

// The number of processors this process may run on (at least 1).
int usable_processors();

}  // namespace korvane
