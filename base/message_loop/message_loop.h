// A thread's loop of tasks: it runs the tasks posted to its task runner, in
// posting order, and delayed tasks when they are due (in the order of their
// run times, equal times in posting order). Run it with base::RunLoop.
//
// Three types:
//   TYPE_DEFAULT: tasks only;
//   TYPE_UI: also pumps Windows messages (windows, dialogs, a dispatcher);
//   TYPE_IO: also delivers overlapped I/O completions (MessageLoopForIO).
//
// A thread has at most one loop; creating a second is an error. The loop
// belongs to its thread: everything but task_runner() is used there.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_LOOP_H_
#define BASE_MESSAGE_LOOP_MESSAGE_LOOP_H_

#include <windows.h>

#include <memory>
#include <queue>

#include "base/message_loop/message_loop_task_runner.h"
#include "base/message_loop/message_pump.h"
#include "base/message_loop/message_pump_for_io.h"
#include "base/observer_list.h"
#include "base/pending_task.h"
#include "base/single_thread_task_runner.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"

namespace base {

class RunLoop;
class ThreadTaskRunnerHandle;

class MessageLoop : public MessagePump::Delegate {
 public:
  enum Type {
    TYPE_DEFAULT,
    TYPE_UI,
    TYPE_IO,
  };

  // Told just before the loop of the current thread goes away.
  class DestructionObserver {
   public:
    virtual ~DestructionObserver() = default;

    virtual void WillDestroyCurrentMessageLoop() = 0;
  };

  // Lets tasks run inside a nested loop entered from a task (for example a
  // native modal dialog) while it lives.
  class ScopedNestableTaskAllower {
   public:
    explicit ScopedNestableTaskAllower(MessageLoop* loop);
    ScopedNestableTaskAllower(const ScopedNestableTaskAllower&) = delete;
    ScopedNestableTaskAllower& operator=(const ScopedNestableTaskAllower&) =
        delete;
    ~ScopedNestableTaskAllower();

   private:
    MessageLoop* loop_;
    bool old_state_;
  };

  // Becomes the current thread's loop.
  explicit MessageLoop(Type type = TYPE_DEFAULT);
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;
  // Destroys the tasks that did not run.
  ~MessageLoop() override;

  // A loop that accepts tasks at once but belongs to no thread until the
  // thread that will run it calls BindToCurrentThread (see base::Thread).
  static std::unique_ptr<MessageLoop> CreateUnbound(Type type);
  void BindToCurrentThread();

  // The current thread's loop, or null.
  static MessageLoop* current();

  Type type() const { return type_; }

  // Where tasks for this loop are posted, from any thread.
  scoped_refptr<SingleThreadTaskRunner> task_runner() const;

  // Ends the innermost run once there is no immediate work left.
  void QuitWhenIdle();
  // Ends the innermost run after the current task.
  void QuitNow();

  void SetNestableTasksAllowed(bool allowed);
  bool NestableTasksAllowed() const { return nestable_tasks_allowed_; }

  void AddDestructionObserver(DestructionObserver* observer);
  void RemoveDestructionObserver(DestructionObserver* observer);

 protected:
  MessagePump* pump() const { return pump_.get(); }

 private:
  friend class RunLoop;

  MessageLoop(Type type, bool bind_now);

  // Runs the pump for the innermost RunLoop.
  void RunHandler();

  void ReloadWorkQueue();
  bool DeferOrRunPendingTask(PendingTask pending_task);
  void RunTask(PendingTask* pending_task);
  void AddToDelayedWorkQueue(PendingTask pending_task);
  bool ProcessNextDelayedNonNestableTask();
  // Returns true when there was something to delete.
  bool DeletePendingTasks();

  // MessagePump::Delegate:
  bool DoWork() override;
  bool DoDelayedWork(TimeTicks* next_delayed_work_time) override;
  bool DoIdleWork() override;

  const Type type_;
  scoped_refptr<internal::MessageLoopTaskRunner> task_runner_;
  std::unique_ptr<MessagePump> pump_;
  std::unique_ptr<ThreadTaskRunnerHandle> thread_task_runner_handle_;

  // Immediate tasks taken from the task runner's queue.
  std::queue<PendingTask> work_queue_;
  // Delayed tasks, earliest on top.
  std::priority_queue<PendingTask> delayed_work_queue_;
  // Non-nestable tasks that came up inside a nested run.
  std::queue<PendingTask> deferred_non_nestable_work_queue_;
  // A recent TimeTicks::Now, so that not every pass asks the clock.
  TimeTicks recent_time_;

  // False while a task runs: a loop that the task enters does not run
  // other tasks unless it is a RunLoop or allowed explicitly.
  bool nestable_tasks_allowed_ = true;

  // The innermost running RunLoop.
  RunLoop* run_loop_ = nullptr;

  ObserverList<DestructionObserver> destruction_observers_;
};

// A UI loop of the current thread.
class MessageLoopForUI : public MessageLoop {
 public:
  MessageLoopForUI() : MessageLoop(TYPE_UI) {}

  // The current thread's loop, which must be of TYPE_UI.
  static MessageLoopForUI* current();
};

// An I/O loop of the current thread; see MessagePumpForIO.
class MessageLoopForIO : public MessageLoop {
 public:
  using IOHandler = MessagePumpForIO::IOHandler;
  using IOContext = MessagePumpForIO::IOContext;

  MessageLoopForIO() : MessageLoop(TYPE_IO) {}

  // The current thread's loop, which must be of TYPE_IO.
  static MessageLoopForIO* current();

  bool RegisterIOHandler(HANDLE file_handle, IOHandler* handler);
  bool WaitForIOCompletion(DWORD timeout_ms, IOHandler* filter);

 private:
  MessagePumpForIO* io_pump() const;
};

// Only the type distinguishes these classes.
static_assert(sizeof(MessageLoop) == sizeof(MessageLoopForUI) &&
                  sizeof(MessageLoop) == sizeof(MessageLoopForIO),
              "MessageLoopForUI/IO must not add members");

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_LOOP_H_
