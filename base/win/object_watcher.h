// Watches a kernel object (a process, an event) and tells its delegate, on
// the watching thread's loop, once the object is signalled.
//
//   watcher_.StartWatchingOnce(process_handle, this);
//   ...
//   void OnObjectSignaled(HANDLE object) override { /* on this thread */ }
//
// The wait runs on the Windows thread pool (RegisterWaitForSingleObject)
// and posts the call to the loop. StopWatching (also the destructor, and
// the end of the loop) cancels the wait and drops a call already posted, so
// the delegate hears nothing after it.

#ifndef BASE_WIN_OBJECT_WATCHER_H_
#define BASE_WIN_OBJECT_WATCHER_H_

#include <windows.h>

#include "base/callback.h"
#include "base/memory/weak_ptr.h"
#include "base/message_loop/message_loop.h"
#include "base/single_thread_task_runner.h"

namespace base {
namespace win {

class ObjectWatcher : public MessageLoop::DestructionObserver {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;

    // |object| is the handle that was watched.
    virtual void OnObjectSignaled(HANDLE object) = 0;
  };

  ObjectWatcher();
  ObjectWatcher(const ObjectWatcher&) = delete;
  ObjectWatcher& operator=(const ObjectWatcher&) = delete;
  ~ObjectWatcher() override;

  // Starts one wait for |object| (which must stay open while watched) on a
  // thread with a MessageLoop. Returns false, with an error line, when the
  // wait could not be set up. One object at a time.
  bool StartWatchingOnce(HANDLE object, Delegate* delegate);

  // Ends the watch; returns false when nothing was watched. Waits for a
  // thread-pool callback that is running at this moment.
  bool StopWatching();

  // From StartWatchingOnce until the delegate is called or StopWatching.
  bool IsWatching() const;
  HANDLE GetWatchedObject() const { return object_; }

 private:
  static void CALLBACK DoneWaiting(void* param, BOOLEAN timed_out);

  void Signal(Delegate* delegate);

  // MessageLoop::DestructionObserver:
  void WillDestroyCurrentMessageLoop() override;

  HANDLE object_ = nullptr;
  HANDLE wait_object_ = nullptr;
  scoped_refptr<SingleThreadTaskRunner> task_runner_;
  // Posted from the thread pool; bound to a weak pointer to this.
  RepeatingClosure callback_;
  WeakPtrFactory<ObjectWatcher> weak_factory_{this};
};

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_OBJECT_WATCHER_H_
