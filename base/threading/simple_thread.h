// A named thread that runs one function (Run) and is then joined; for work
// that needs no loop, such as closing a handle that blocks.

#ifndef BASE_THREADING_SIMPLE_THREAD_H_
#define BASE_THREADING_SIMPLE_THREAD_H_

#include <string>

#include "base/threading/platform_thread.h"

namespace base {

class SimpleThread : public PlatformThread::Delegate {
 public:
  explicit SimpleThread(const std::string& name);
  SimpleThread(const SimpleThread&) = delete;
  SimpleThread& operator=(const SimpleThread&) = delete;
  // A started thread must have been joined.
  ~SimpleThread() override;

  // Starts Run on a new thread; false when it could not be created.
  bool Start();
  // Waits until Run has returned.
  void Join();

  // Runs on the new thread.
  virtual void Run() = 0;

  const std::string& name() const { return name_; }
  bool HasBeenStarted() const { return !thread_.is_null() || joined_; }
  bool HasBeenJoined() const { return joined_; }

 private:
  // PlatformThread::Delegate:
  void ThreadMain() override;

  const std::string name_;
  PlatformThreadHandle thread_;
  bool joined_ = false;
};

}  // namespace base

#endif  // BASE_THREADING_SIMPLE_THREAD_H_
