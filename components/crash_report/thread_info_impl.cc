#include "components/crash_report/thread_info_impl.h"

#include <memory>

#include "base/logging.h"
#include "base/win/scoped_handle.h"

namespace crash_report {

namespace {

// What a report needs of a live thread: registers, stack and x87/XMM state.
constexpr DWORD kContextFlags =
    CONTEXT_AMD64 | CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_FLOATING_POINT;
static_assert(kContextFlags == 0x10000b);

}  // namespace

ThreadInfoImpl::ThreadInfoImpl(uint32_t thread_id) : thread_id_(thread_id) {}

ThreadInfoImpl::~ThreadInfoImpl() = default;

void ThreadInfoImpl::InitCrashed(HANDLE process, const CONTEXT& context) {
  crashed_ = true;
  registers_ = RegisterRecordFromContext(context);
  base::win::ScopedHandle thread(OpenThreadForReading());
  if (thread.IsValid())
    ReadPriority(thread.Get());
  ReadStackSize(process);
}

bool ThreadInfoImpl::InitLive(HANDLE process) {
  base::win::ScopedHandle thread(OpenThreadForReading());
  if (!thread.IsValid())
    return false;
  // GetThreadContext wants the record 16-byte aligned.
  auto context = std::make_unique<CONTEXT>();
  static_assert(alignof(CONTEXT) >= 16);
  context->ContextFlags = kContextFlags;
  if (!::GetThreadContext(thread.Get(), context.get())) {
    PLOG(ERROR) << "GetThreadContext failed for 0x" << std::hex << thread_id_;
    return false;
  }
  registers_ = RegisterRecordFromContext(*context);
  ReadPriority(thread.Get());
  ReadStackSize(process);
  return true;
}

HANDLE ThreadInfoImpl::OpenThreadForReading() const {
  HANDLE thread = ::OpenThread(THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION,
                               FALSE, thread_id_);
  if (!thread)
    PLOG(ERROR) << "OpenThread failed for 0x" << std::hex << thread_id_;
  return thread;
}

void ThreadInfoImpl::ReadPriority(HANDLE thread) {
  int priority = ::GetThreadPriority(thread);
  if (priority == THREAD_PRIORITY_ERROR_RETURN) {
    PLOG(ERROR) << "GetThreadPriority failed for 0x" << std::hex << thread_id_;
    priority = 0;
  }
  priority_ = priority;
}

void ThreadInfoImpl::ReadStackSize(HANDLE process) {
  const uint64_t sp = registers_.rsp;
  MEMORY_BASIC_INFORMATION region = {};
  SIZE_T result = ::VirtualQueryEx(process, reinterpret_cast<void*>(sp),
                                   &region, sizeof(region));
  if (result != sizeof(region)) {
    PLOG(ERROR) << "VirtualQueryEx failed, address=0x" << std::hex << sp
                << std::dec << ", result=" << result
                << ", expected=" << sizeof(region);
    return;
  }
  const uint64_t base = reinterpret_cast<uintptr_t>(region.BaseAddress);
  if (region.State != MEM_COMMIT || region.Type != MEM_PRIVATE ||
      region.Protect != PAGE_READWRITE || sp < base ||
      sp > base + region.RegionSize) {
    LOG(ERROR) << "Sanity checks failed" << std::hex << ", state=0x"
               << region.State << ", type=0x" << region.Type << ", protect=0x"
               << region.Protect << ", sp=0x" << sp << ", base=0x" << base
               << std::dec << ", size=" << region.RegionSize;
    return;
  }
  stack_size_ = base + region.RegionSize - sp;
}

uint32_t ThreadInfoImpl::GetThreadId() const {
  return thread_id_;
}

int32_t ThreadInfoImpl::GetPriority() const {
  return priority_;
}

const RegisterRecord* ThreadInfoImpl::GetRegisters() const {
  return &registers_;
}

uint64_t ThreadInfoImpl::GetStackSize() const {
  return stack_size_;
}

bool ThreadInfoImpl::IsCrashed() const {
  return crashed_;
}

}  // namespace crash_report
