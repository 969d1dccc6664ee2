// A named thread with a message loop of its own. Work reaches it through
// task_runner(); Stop() lets it run the tasks already posted, then ends and
// joins it.
//
//   base::Thread thread("Package fetcher worker");
//   thread.Start();
//   thread.task_runner()->PostTask(FROM_HERE, ...);
//   thread.Stop();

#ifndef BASE_THREADING_THREAD_H_
#define BASE_THREADING_THREAD_H_

#include <cstddef>
#include <memory>
#include <string>

#include "base/message_loop/message_loop.h"
#include "base/single_thread_task_runner.h"
#include "base/synchronization/lock.h"
#include "base/threading/platform_thread.h"

namespace base {

class Thread : PlatformThread::Delegate {
 public:
  struct Options {
    Options() = default;
    Options(MessageLoop::Type type, size_t size)
        : message_loop_type(type), stack_size(size) {}

    MessageLoop::Type message_loop_type = MessageLoop::TYPE_DEFAULT;
    // 0: the default stack size.
    size_t stack_size = 0;
  };

  explicit Thread(const std::string& name);
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Stops the thread. A subclass that overrides Init or CleanUp calls Stop
  // in its own destructor, while its CleanUp still exists.
  ~Thread() override;

  // Starts the thread with a default loop. False when the thread could not
  // be created.
  bool Start();
  bool StartWithOptions(const Options& options);

  // Runs the tasks posted so far (and those they post) until the loop is
  // idle, then ends the thread and waits for it. Delayed tasks not yet due
  // are dropped. Call on the thread that started it.
  void Stop();
  // Asks the thread to stop without waiting; Stop still joins it.
  void StopSoon();

  // Valid from Start until Stop; null otherwise.
  scoped_refptr<SingleThreadTaskRunner> task_runner() const {
    return task_runner_;
  }
  // The thread's loop, for the thread's own code and while it runs.
  MessageLoop* message_loop() const;

  const std::string& thread_name() const { return name_; }
  PlatformThreadId GetThreadId() const;

  // Started and not asked to stop.
  bool IsRunning() const;

 protected:
  // Called on the thread before and after its loop runs.
  virtual void Init() {}
  virtual void CleanUp() {}

 private:
  // PlatformThread::Delegate:
  void ThreadMain() override;

  static void ThreadQuitHelper();

  const std::string name_;

  // Owned by the thread that calls Start and Stop.
  PlatformThreadHandle thread_;
  scoped_refptr<SingleThreadTaskRunner> task_runner_;
  bool stopping_ = false;

  // Shared with the thread.
  mutable Lock lock_;
  // Created by Start, bound, run and deleted on the thread.
  std::unique_ptr<MessageLoop> message_loop_;
  bool running_ = false;
  PlatformThreadId id_ = kInvalidThreadId;
};

}  // namespace base

#endif  // BASE_THREADING_THREAD_H_
