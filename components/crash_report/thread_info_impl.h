// One thread of a crashed process, read from outside: the crashed thread
// from the context its exception saved, every other thread from its live
// context.

#ifndef COMPONENTS_CRASH_REPORT_THREAD_INFO_IMPL_H_
#define COMPONENTS_CRASH_REPORT_THREAD_INFO_IMPL_H_

#include <windows.h>

#include "components/crash_report/register_record.h"
#include "components/crash_report/thread_info.h"

namespace crash_report {

class ThreadInfoImpl : public ThreadInfo {
 public:
  explicit ThreadInfoImpl(uint32_t thread_id);
  ThreadInfoImpl(const ThreadInfoImpl&) = delete;
  ThreadInfoImpl& operator=(const ThreadInfoImpl&) = delete;
  ~ThreadInfoImpl() override;

  // The crashed thread, from the |context| of its exception; its priority
  // only when it can be opened. Always succeeds.
  void InitCrashed(HANDLE process, const CONTEXT& context);
  // Another thread, from its live context; false when it cannot be read
  // (the thread is then left out).
  bool InitLive(HANDLE process);

  // ThreadInfo:
  uint32_t GetThreadId() const override;
  int32_t GetPriority() const override;
  const RegisterRecord* GetRegisters() const override;
  uint64_t GetStackSize() const override;
  bool IsCrashed() const override;

 private:
  HANDLE OpenThreadForReading() const;
  void ReadPriority(HANDLE thread);
  void ReadStackSize(HANDLE process);

  const uint32_t thread_id_;
  int32_t priority_ = 0;
  uint64_t stack_size_ = 0;
  bool crashed_ = false;
  RegisterRecord registers_ = {};
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_THREAD_INFO_IMPL_H_
