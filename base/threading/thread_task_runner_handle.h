// The task runner of the current thread's loop, for posting work (or a
// reply) back to this thread:
//
//   scoped_refptr<base::SingleThreadTaskRunner> owner =
//       base::ThreadTaskRunnerHandle::Get();
//
// A MessageLoop sets it for its thread while it lives.

#ifndef BASE_THREADING_THREAD_TASK_RUNNER_HANDLE_H_
#define BASE_THREADING_THREAD_TASK_RUNNER_HANDLE_H_

#include "base/memory/scoped_refptr.h"
#include "base/single_thread_task_runner.h"

namespace base {

class ThreadTaskRunnerHandle {
 public:
  // The current thread's runner; the thread must have one (IsSet).
  static scoped_refptr<SingleThreadTaskRunner> Get();
  static bool IsSet();

  // Makes |task_runner| the current thread's runner while this lives.
  explicit ThreadTaskRunnerHandle(
      scoped_refptr<SingleThreadTaskRunner> task_runner);
  ThreadTaskRunnerHandle(const ThreadTaskRunnerHandle&) = delete;
  ThreadTaskRunnerHandle& operator=(const ThreadTaskRunnerHandle&) = delete;
  ~ThreadTaskRunnerHandle();

 private:
  scoped_refptr<SingleThreadTaskRunner> task_runner_;
};

}  // namespace base

#endif  // BASE_THREADING_THREAD_TASK_RUNNER_HANDLE_H_
