#include "base/timer/timer.h"

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/threading/thread_task_runner_handle.h"

namespace base {

TimerBase::~TimerBase() {
  // Subclasses stopped already (their OnStop is gone now); just cancel.
  weak_factory_.InvalidateWeakPtrs();
}

void TimerBase::Stop() {
  DCHECK(!task_runner_ || task_runner_->BelongsToCurrentThread());
  is_running_ = false;
  weak_factory_.InvalidateWeakPtrs();
  OnStop();
}

void TimerBase::Reset() {
  DCHECK(HasUserTask()) << "Reset of a timer without a task";
  weak_factory_.InvalidateWeakPtrs();
  PostScheduledTask();
}

void TimerBase::StartInternal(const Location& posted_from, TimeDelta delay) {
  posted_from_ = posted_from;
  delay_ = delay;
  Reset();
}

void TimerBase::PostScheduledTask() {
  if (!task_runner_)
    task_runner_ = ThreadTaskRunnerHandle::Get();
  DCHECK(task_runner_->BelongsToCurrentThread())
      << "a timer is used on one thread";
  is_running_ = task_runner_->PostDelayedTask(
      posted_from_,
      BindOnce(&TimerBase::OnScheduledTaskInvoked, weak_factory_.GetWeakPtr()),
      delay_);
}

void TimerBase::OnScheduledTaskInvoked() {
  if (IsRepeating())
    PostScheduledTask();
  else
    is_running_ = false;
  // The task may stop, restart or destroy this timer: nothing after it.
  RunUserTask();
}

OneShotTimer::OneShotTimer() = default;

OneShotTimer::~OneShotTimer() {
  Stop();
}

void OneShotTimer::Start(const Location& posted_from,
                         TimeDelta delay,
                         OnceClosure task) {
  DCHECK(task);
  user_task_ = std::move(task);
  StartInternal(posted_from, delay);
}

void OneShotTimer::OnStop() {
  user_task_.Reset();
}

bool OneShotTimer::HasUserTask() const {
  return !user_task_.is_null();
}

void OneShotTimer::RunUserTask() {
  OnceClosure task = std::move(user_task_);
  std::move(task).Run();
}

RepeatingTimer::RepeatingTimer() = default;

RepeatingTimer::~RepeatingTimer() {
  Stop();
}

void RepeatingTimer::Start(const Location& posted_from,
                           TimeDelta delay,
                           RepeatingClosure task) {
  DCHECK(task);
  user_task_ = std::move(task);
  StartInternal(posted_from, delay);
}

void RepeatingTimer::OnStop() {}

bool RepeatingTimer::HasUserTask() const {
  return !user_task_.is_null();
}

void RepeatingTimer::RunUserTask() {
  // A copy: the task may restart the timer with another task.
  RepeatingClosure task = user_task_;
  task.Run();
}

}  // namespace base
