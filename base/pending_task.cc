#include "base/pending_task.h"

#include <utility>

namespace base {

PendingTask::PendingTask(const Location& posted_from,
                         OnceClosure task,
                         TimeTicks delayed_run_time,
                         bool nestable)
    : task(std::move(task)),
      posted_from(posted_from),
      delayed_run_time(delayed_run_time),
      nestable(nestable) {}

PendingTask::PendingTask(PendingTask&& other) noexcept = default;
PendingTask& PendingTask::operator=(PendingTask&& other) noexcept = default;
PendingTask::~PendingTask() = default;

bool PendingTask::operator<(const PendingTask& other) const {
  // std::priority_queue puts the greatest element on top, so "less" means
  // "runs later".
  if (delayed_run_time != other.delayed_run_time)
    return delayed_run_time > other.delayed_run_time;
  // Sequence numbers may wrap; their difference does not.
  return (sequence_num - other.sequence_num) > 0;
}

}  // namespace base
