// Runs tasks on the Windows thread pool, for work that may block (disk,
// COM, waits) and must not hold up a loop:
//
//   base::WorkerPool::PostTaskAndReply(
//       FROM_HERE_WITH_EXPLICIT_FUNCTION("FetchStatus"),
//       base::BindOnce(&StatusFetchJob::Run, job),
//       base::BindOnce(&Settings::OnStatusFetched, weak_this), true);
//
// Tasks of the pool run in no particular order and may run concurrently.
//
// Shutdown: the first task posted while the pool is idle registers an
// at-exit callback that waits (up to a minute) for the pool's tasks to
// finish, so that the at-exit manager does not delete singletons under a
// running task. Callbacks run newest first: a singleton that a task creates
// for the first time while it runs is deleted before that wait, so such
// singletons should be created before the work is posted.

#ifndef BASE_THREADING_WORKER_POOL_H_
#define BASE_THREADING_WORKER_POOL_H_

#include "base/callback.h"
#include "base/location.h"
#include "base/task_runner.h"
#include "base/time/time.h"

namespace base {

class WorkerPool {
 public:
  WorkerPool() = delete;

  // |task_is_slow| marks a task that may take long (blocking I/O), so that
  // the pool may add a thread for it rather than delay others.
  static bool PostTask(const Location& from_here,
                       OnceClosure task,
                       bool task_is_slow);

  // Runs |task| on the pool, then |reply| on the calling thread's loop.
  static bool PostTaskAndReply(const Location& from_here,
                               OnceClosure task,
                               OnceClosure reply,
                               bool task_is_slow);

  // Whether the current thread is running a task of the pool.
  static bool RunsTasksOnCurrentThread();

  // A task runner that posts here (no delays).
  static const scoped_refptr<TaskRunner>& GetTaskRunner(bool task_is_slow);

  // Waits until no task of the pool is queued or running; false when
  // |max_time| passed first. The at-exit callback uses it.
  static bool WaitForIdle(TimeDelta max_time);
};

}  // namespace base

#endif  // BASE_THREADING_WORKER_POOL_H_
