#include "base/message_loop/message_loop_task_runner.h"

#include <utility>

#include "base/logging.h"
#include "base/message_loop/message_pump.h"

namespace base {
namespace internal {

MessageLoopTaskRunner::MessageLoopTaskRunner() = default;
MessageLoopTaskRunner::~MessageLoopTaskRunner() = default;

void MessageLoopTaskRunner::BindToCurrentThread(MessagePump* pump) {
  AutoLock lock(lock_);
  DCHECK(!pump_);
  pump_ = pump;
  thread_id_.store(PlatformThread::CurrentId());
  // Tasks posted before the thread ran need a wake-up of their own.
  if (!incoming_queue_.empty())
    pump_->ScheduleWork();
}

void MessageLoopTaskRunner::WillDestroyCurrentMessageLoop() {
  AutoLock lock(lock_);
  accept_new_tasks_ = false;
  pump_ = nullptr;
}

void MessageLoopTaskRunner::ReloadWorkQueue(
    std::queue<PendingTask>* work_queue) {
  AutoLock lock(lock_);
  while (!incoming_queue_.empty()) {
    work_queue->push(std::move(incoming_queue_.front()));
    incoming_queue_.pop();
  }
}

bool MessageLoopTaskRunner::PostDelayedTask(const Location& from_here,
                                            OnceClosure task,
                                            TimeDelta delay) {
  return AddToIncomingQueue(from_here, std::move(task), delay, true);
}

bool MessageLoopTaskRunner::PostNonNestableDelayedTask(
    const Location& from_here,
    OnceClosure task,
    TimeDelta delay) {
  return AddToIncomingQueue(from_here, std::move(task), delay, false);
}

bool MessageLoopTaskRunner::RunsTasksOnCurrentThread() const {
  return thread_id_.load() == PlatformThread::CurrentId();
}

bool MessageLoopTaskRunner::AddToIncomingQueue(const Location& from_here,
                                               OnceClosure task,
                                               TimeDelta delay,
                                               bool nestable) {
  DCHECK(task) << "posting a null task from " << from_here.ToString();
  DCHECK(delay >= TimeDelta()) << from_here.ToString();
  TimeTicks run_time;
  if (delay > TimeDelta())
    run_time = TimeTicks::Now() + delay;
  PendingTask pending_task(from_here, std::move(task), run_time, nestable);
  {
    AutoLock lock(lock_);
    if (accept_new_tasks_) {
      pending_task.sequence_num = static_cast<int>(next_sequence_num_++);
      bool was_empty = incoming_queue_.empty();
      incoming_queue_.push(std::move(pending_task));
      // The loop takes the whole queue at once, so only the first task
      // after a take needs to wake it.
      if (was_empty && pump_)
        pump_->ScheduleWork();
      return true;
    }
  }
  // Dropped here, outside the lock: destroying the task's bound state may
  // post again.
  VLOG(1) << "Task from " << from_here.ToString()
          << " dropped: its message loop is gone";
  return false;
}

}  // namespace internal
}  // namespace base
