// A task waiting in a queue, with where it came from and when it may run.

#ifndef BASE_PENDING_TASK_H_
#define BASE_PENDING_TASK_H_

#include "base/callback.h"
#include "base/location.h"
#include "base/time/time.h"

namespace base {

struct PendingTask {
  PendingTask(const Location& posted_from,
              OnceClosure task,
              TimeTicks delayed_run_time = TimeTicks(),
              bool nestable = true);
  PendingTask(PendingTask&& other) noexcept;
  PendingTask& operator=(PendingTask&& other) noexcept;
  ~PendingTask();

  // For the delayed-task heap: the earliest run time comes first, and of
  // equal times the one posted first.
  bool operator<(const PendingTask& other) const;

  OnceClosure task;
  Location posted_from;
  // Null for a task that may run at once.
  TimeTicks delayed_run_time;
  // Posting order within one queue.
  int sequence_num = 0;
  // False for a task that must not run inside a nested run loop.
  bool nestable;
};

}  // namespace base

#endif  // BASE_PENDING_TASK_H_
