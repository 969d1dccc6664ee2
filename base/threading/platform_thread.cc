#include "base/threading/platform_thread.h"

#include <process.h>

#include <algorithm>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

// A plain array: thread-local objects with destructors are not reliable
// with this runtime's emulated TLS at thread exit.
constexpr size_t kMaxThreadNameLength = 63;
thread_local char g_thread_name[kMaxThreadNameLength + 1] = "";

// How long Join waits before each "still waiting" line.
constexpr DWORD kJoinReportIntervalMs = 10000;

struct ThreadParams {
  PlatformThread::Delegate* delegate;
};

unsigned __stdcall ThreadFunc(void* param) {
  ThreadParams* params = static_cast<ThreadParams*>(param);
  PlatformThread::Delegate* delegate = params->delegate;
  delete params;
  delegate->ThreadMain();
  return 0;
}

bool CreateThreadInternal(size_t stack_size,
                          PlatformThread::Delegate* delegate,
                          PlatformThreadHandle* out_handle) {
  ThreadParams* params = new ThreadParams{delegate};
  unsigned thread_id = 0;
  // _beginthreadex rather than CreateThread: the C runtime then sets up its
  // per-thread state.
  uintptr_t handle = _beginthreadex(
      nullptr, static_cast<unsigned>(stack_size), &ThreadFunc, params,
      stack_size ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, &thread_id);
  if (!handle) {
    LOG(ERROR) << "Could not create a thread: errno " << errno << ", "
               << logging::SystemErrorCodeToString(::GetLastError());
    delete params;
    return false;
  }
  if (out_handle) {
    *out_handle =
        PlatformThreadHandle(reinterpret_cast<HANDLE>(handle), thread_id);
  } else {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
  }
  return true;
}

using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);

// Windows 10 and later; looked up at run time.
SetThreadDescriptionFunction GetSetThreadDescription() {
  static SetThreadDescriptionFunction function = [] {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    FARPROC proc =
        kernel ? ::GetProcAddress(kernel, "SetThreadDescription") : nullptr;
    return reinterpret_cast<SetThreadDescriptionFunction>(
        reinterpret_cast<void*>(proc));
  }();
  return function;
}

}  // namespace

// static
PlatformThreadId PlatformThread::CurrentId() {
  return ::GetCurrentThreadId();
}

// static
void PlatformThread::YieldCurrentThread() {
  ::Sleep(0);
}

// static
void PlatformThread::Sleep(TimeDelta duration) {
  // Sleep for at least |duration|: the millisecond rounding goes up.
  TimeTicks end = TimeTicks::Now() + duration;
  for (TimeTicks now = TimeTicks::Now(); now < end; now = TimeTicks::Now())
    ::Sleep(static_cast<DWORD>((end - now).InMillisecondsRoundedUp()));
}

// static
void PlatformThread::SetName(const std::string& name) {
  size_t length = std::min(name.size(), kMaxThreadNameLength);
  name.copy(g_thread_name, length);
  g_thread_name[length] = '\0';
  if (SetThreadDescriptionFunction set_description = GetSetThreadDescription())
    set_description(::GetCurrentThread(), UTF8ToWide(name).c_str());
}

// static
const char* PlatformThread::GetName() {
  return g_thread_name;
}

// static
bool PlatformThread::Create(size_t stack_size,
                            Delegate* delegate,
                            PlatformThreadHandle* thread_handle) {
  DCHECK(thread_handle);
  return CreateThreadInternal(stack_size, delegate, thread_handle);
}

// static
bool PlatformThread::CreateNonJoinable(size_t stack_size, Delegate* delegate) {
  return CreateThreadInternal(stack_size, delegate, nullptr);
}

// static
void PlatformThread::Join(PlatformThreadHandle thread_handle) {
  DCHECK(!thread_handle.is_null());
  DCHECK_NE(thread_handle.id(), CurrentId()) << "a thread cannot join itself";
  for (;;) {
    DWORD result = ::WaitForSingleObject(thread_handle.platform_handle(),
                                         kJoinReportIntervalMs);
    if (result == WAIT_OBJECT_0)
      break;
    if (result != WAIT_TIMEOUT) {
      LOG(ERROR) << "Waiting for thread " << thread_handle.id() << " failed: "
                 << logging::SystemErrorCodeToString(::GetLastError());
      break;
    }
    LOG(WARNING) << "Still waiting for thread " << thread_handle.id()
                 << " to end";
  }
  ::CloseHandle(thread_handle.platform_handle());
}

}  // namespace base
