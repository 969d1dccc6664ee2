#include "base/threading/worker_pool.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "base/at_exit.h"
#include "base/logging.h"
#include "base/pending_task.h"
#include "base/synchronization/condition_variable.h"
#include "base/synchronization/lock.h"

namespace base {

namespace {

constexpr TimeDelta kAtExitWaitLimit = TimeDelta::FromMinutes(1);

thread_local bool g_running_pool_task = false;

// The pool's bookkeeping. Never deleted: a task that finishes after the
// at-exit callbacks ran must still find it.
class PoolState {
 public:
  // Counts a new task; returns true when the pool was idle before.
  bool AddTask() {
    AutoLock lock(lock_);
    return pending_tasks_++ == 0;
  }

  void TaskDone() {
    AutoLock lock(lock_);
    DCHECK_GT(pending_tasks_, 0);
    if (--pending_tasks_ == 0)
      idle_cv_.Broadcast();
  }

  bool WaitForIdle(TimeDelta max_time) {
    TimeTicks end = TimeTicks::Now() + max_time;
    AutoLock lock(lock_);
    while (pending_tasks_ > 0) {
      TimeDelta left = end - TimeTicks::Now();
      if (left <= TimeDelta())
        return false;
      idle_cv_.TimedWait(left);
    }
    return true;
  }

 private:
  Lock lock_;
  ConditionVariable idle_cv_{&lock_};
  int pending_tasks_ = 0;
};

PoolState* GetPoolState() {
  static PoolState* const state = new PoolState();
  return state;
}

DWORD CALLBACK WorkItemCallback(void* param) {
  std::unique_ptr<PendingTask> pending_task(static_cast<PendingTask*>(param));
  g_running_pool_task = true;
  std::move(pending_task->task).Run();
  pending_task.reset();
  g_running_pool_task = false;
  GetPoolState()->TaskDone();
  return 0;
}

void WaitForPoolAtExit() {
  if (!WorkerPool::WaitForIdle(kAtExitWaitLimit)) {
    LOG(ERROR) << "Worker pool tasks still run at exit; singletons they use "
                  "are deleted under them";
  }
}

bool PostTaskInternal(const Location& from_here,
                      OnceClosure task,
                      bool task_is_slow) {
  DCHECK(task) << from_here.ToString();
  if (GetPoolState()->AddTask() && AtExitManager::IsActive())
    AtExitManager::RegisterTask(&WaitForPoolAtExit);
  auto pending_task = std::make_unique<PendingTask>(from_here, std::move(task));
  ULONG flags = task_is_slow ? WT_EXECUTELONGFUNCTION : WT_EXECUTEDEFAULT;
  if (!::QueueUserWorkItem(&WorkItemCallback, pending_task.get(), flags)) {
    LOG(ERROR) << "QueueUserWorkItem failed for " << from_here.ToString()
               << ": " << logging::SystemErrorCodeToString(::GetLastError());
    pending_task.reset();
    GetPoolState()->TaskDone();
    return false;
  }
  pending_task.release();  // The work item owns it now.
  return true;
}

class WorkerPoolTaskRunner : public TaskRunner {
 public:
  explicit WorkerPoolTaskRunner(bool task_is_slow)
      : task_is_slow_(task_is_slow) {}

  bool PostDelayedTask(const Location& from_here,
                       OnceClosure task,
                       TimeDelta delay) override {
    if (!delay.is_zero()) {
      LOG(ERROR) << "The worker pool runs no delayed tasks: "
                 << from_here.ToString();
      return false;
    }
    return PostTaskInternal(from_here, std::move(task), task_is_slow_);
  }

  bool RunsTasksOnCurrentThread() const override { return g_running_pool_task; }

 private:
  ~WorkerPoolTaskRunner() override = default;

  const bool task_is_slow_;
};

}  // namespace

// static
bool WorkerPool::PostTask(const Location& from_here,
                          OnceClosure task,
                          bool task_is_slow) {
  return PostTaskInternal(from_here, std::move(task), task_is_slow);
}

// static
bool WorkerPool::PostTaskAndReply(const Location& from_here,
                                  OnceClosure task,
                                  OnceClosure reply,
                                  bool task_is_slow) {
  return GetTaskRunner(task_is_slow)
      ->PostTaskAndReply(from_here, std::move(task), std::move(reply));
}

// static
bool WorkerPool::RunsTasksOnCurrentThread() {
  return g_running_pool_task;
}

// static
const scoped_refptr<TaskRunner>& WorkerPool::GetTaskRunner(bool task_is_slow) {
  // Never released, like the pool state.
  static const scoped_refptr<TaskRunner>* const fast_runner =
      new scoped_refptr<TaskRunner>(new WorkerPoolTaskRunner(false));
  static const scoped_refptr<TaskRunner>* const slow_runner =
      new scoped_refptr<TaskRunner>(new WorkerPoolTaskRunner(true));
  return task_is_slow ? *slow_runner : *fast_runner;
}

// static
bool WorkerPool::WaitForIdle(TimeDelta max_time) {
  return GetPoolState()->WaitForIdle(max_time);
}

}  // namespace base
