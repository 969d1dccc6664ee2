#include "base/pending_task.h"

#include <cstdint>
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
  // Sequence numbers wrap after 2^32 posts; their difference, taken
  // modulo 2^32, still orders the tasks of one queue.
  return static_cast<int32_t>(static_cast<uint32_t>(sequence_num) -
                              static_cast<uint32_t>(other.sequence_num)) > 0;
}

}  // namespace base
