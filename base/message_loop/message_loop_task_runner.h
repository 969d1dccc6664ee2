// The task runner of a MessageLoop and the queue where posted tasks wait
// until the loop's thread takes them. Posting may happen on any thread, also
// while the loop is being destroyed: from then on posts fail.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_LOOP_TASK_RUNNER_H_
#define BASE_MESSAGE_LOOP_MESSAGE_LOOP_TASK_RUNNER_H_

#include <atomic>
#include <cstdint>
#include <queue>

#include "base/pending_task.h"
#include "base/single_thread_task_runner.h"
#include "base/synchronization/lock.h"
#include "base/threading/platform_thread.h"

namespace base {

class MessagePump;

namespace internal {

class MessageLoopTaskRunner : public SingleThreadTaskRunner {
 public:
  MessageLoopTaskRunner();

  // The loop is now on the calling thread and wakes through |pump|.
  void BindToCurrentThread(MessagePump* pump);
  // The loop is going away: later posts fail.
  void WillDestroyCurrentMessageLoop();

  // Moves every queued task to the back of |work_queue|. Loop thread only.
  void ReloadWorkQueue(std::queue<PendingTask>* work_queue);

  // SingleThreadTaskRunner:
  bool PostDelayedTask(const Location& from_here,
                       OnceClosure task,
                       TimeDelta delay) override;
  bool PostNonNestableDelayedTask(const Location& from_here,
                                  OnceClosure task,
                                  TimeDelta delay) override;
  bool RunsTasksOnCurrentThread() const override;

 private:
  ~MessageLoopTaskRunner() override;

  bool AddToIncomingQueue(const Location& from_here,
                          OnceClosure task,
                          TimeDelta delay,
                          bool nestable);

  Lock lock_;
  std::queue<PendingTask> incoming_queue_;
  // Null until the loop is bound and after it is destroyed.
  MessagePump* pump_ = nullptr;
  bool accept_new_tasks_ = true;
  // Unsigned, so that it wraps rather than overflows.
  uint32_t next_sequence_num_ = 0;
  std::atomic<PlatformThreadId> thread_id_{kInvalidThreadId};
};

}  // namespace internal
}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_LOOP_TASK_RUNNER_H_
