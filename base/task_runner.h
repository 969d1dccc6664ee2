// Something tasks can be posted to: a thread's loop, a pool or a sequence
// in a pool. Task runners are shared by reference counting and may be used
// from any thread.

#ifndef BASE_TASK_RUNNER_H_
#define BASE_TASK_RUNNER_H_

#include "base/callback.h"
#include "base/location.h"
#include "base/memory/ref_counted.h"
#include "base/time/time.h"

namespace base {

class TaskRunner : public RefCountedThreadSafe<TaskRunner> {
 public:
  TaskRunner(const TaskRunner&) = delete;
  TaskRunner& operator=(const TaskRunner&) = delete;

  // Returns false when the task will not run (the target is gone or shut
  // down); the task is then destroyed.
  bool PostTask(const Location& from_here, OnceClosure task);
  virtual bool PostDelayedTask(const Location& from_here,
                               OnceClosure task,
                               TimeDelta delay) = 0;

  // Whether a task posted here could be running on the current thread now.
  virtual bool RunsTasksOnCurrentThread() const = 0;

  // Runs |task| here and then |reply| on the calling thread's loop (which
  // must exist). |reply| is destroyed on the calling thread even when it
  // does not run, as long as that thread's loop still accepts tasks.
  bool PostTaskAndReply(const Location& from_here,
                        OnceClosure task,
                        OnceClosure reply);

 protected:
  friend class RefCountedThreadSafe<TaskRunner>;

  TaskRunner() = default;
  virtual ~TaskRunner() = default;
};

}  // namespace base

#endif  // BASE_TASK_RUNNER_H_
