// The thread primitives the rest of the threading layer is built on.

#ifndef BASE_THREADING_PLATFORM_THREAD_H_
#define BASE_THREADING_PLATFORM_THREAD_H_

#include <windows.h>

#include <cstddef>
#include <string>

#include "base/time/time.h"

namespace base {

using PlatformThreadId = DWORD;
constexpr PlatformThreadId kInvalidThreadId = 0;

// A joinable thread. The handle is closed by Join.
class PlatformThreadHandle {
 public:
  PlatformThreadHandle() = default;
  PlatformThreadHandle(HANDLE handle, PlatformThreadId id)
      : handle_(handle), id_(id) {}

  bool is_null() const { return handle_ == nullptr; }
  HANDLE platform_handle() const { return handle_; }
  PlatformThreadId id() const { return id_; }

 private:
  HANDLE handle_ = nullptr;
  PlatformThreadId id_ = kInvalidThreadId;
};

class PlatformThread {
 public:
  // What runs on a created thread.
  class Delegate {
   public:
    virtual ~Delegate() = default;

    virtual void ThreadMain() = 0;
  };

  PlatformThread() = delete;

  static PlatformThreadId CurrentId();
  static void YieldCurrentThread();
  static void Sleep(TimeDelta duration);

  // Names the calling thread: for debuggers and crash reports (Windows'
  // thread description) and for GetName.
  static void SetName(const std::string& name);
  // The name given to the calling thread, or "" when none.
  static const char* GetName();

  // Starts a thread that runs |delegate->ThreadMain()|; stack_size 0 means
  // the default. On success |thread_handle| must later be passed to Join.
  static bool Create(size_t stack_size,
                     Delegate* delegate,
                     PlatformThreadHandle* thread_handle);
  // The same for a thread that nobody joins.
  static bool CreateNonJoinable(size_t stack_size, Delegate* delegate);

  // Waits until the thread has ended. A thread that has not ended after a
  // few seconds is reported in the log while the wait goes on: returning
  // earlier would free what the thread still uses.
  static void Join(PlatformThreadHandle thread_handle);
};

}  // namespace base

#endif  // BASE_THREADING_PLATFORM_THREAD_H_
