// Runs the current thread's MessageLoop until told to quit. Run loops nest:
// a task may run a RunLoop of its own (to wait for a reply, say), which
// runs the tasks posted meanwhile.
//
//   base::RunLoop run_loop;
//   fetcher->Start(run_loop.QuitClosure());
//   run_loop.Run();
//
// Quitting an outer run loop while an inner one runs takes effect when the
// inner one returns. Quit before Run makes Run return at once.

#ifndef BASE_RUN_LOOP_H_
#define BASE_RUN_LOOP_H_

#include "base/callback.h"
#include "base/memory/weak_ptr.h"
#include "base/message_loop/message_pump_dispatcher.h"
#include "base/single_thread_task_runner.h"

namespace base {

class MessageLoop;

class RunLoop {
 public:
  // On a thread that has a MessageLoop.
  RunLoop();
  // Offers every window message to |dispatcher| first (UI loops only).
  explicit RunLoop(MessagePumpDispatcher* dispatcher);
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;
  ~RunLoop();

  // Runs until Quit (once per RunLoop).
  void Run();
  // Runs what is ready now and returns once there is nothing left.
  void RunUntilIdle();

  bool running() const { return running_; }

  // Run returns after the current task.
  void Quit();
  // Run returns once no immediate task is left (delayed ones are left).
  void QuitWhenIdle();

  // Closures that quit this run loop when run on any thread, and do
  // nothing once it is gone.
  RepeatingClosure QuitClosure();
  RepeatingClosure QuitWhenIdleClosure();

 private:
  friend class MessageLoop;

  bool BeforeRun();
  void AfterRun();

  MessageLoop* const loop_;
  const scoped_refptr<SingleThreadTaskRunner> origin_task_runner_;
  MessagePumpDispatcher* const dispatcher_;

  // The run loop this one runs inside of.
  RunLoop* previous_run_loop_ = nullptr;
  // 1 for the outermost run.
  int run_depth_ = 0;

  bool run_called_ = false;
  bool quit_called_ = false;
  bool running_ = false;
  bool quit_when_idle_received_ = false;

  WeakPtrFactory<RunLoop> weak_factory_{this};
};

}  // namespace base

#endif  // BASE_RUN_LOOP_H_
