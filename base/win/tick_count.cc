#include "base/win/tick_count.h"

#include <windows.h>

namespace base {
namespace win {

namespace {

using TickCountFunction = ULONGLONG(WINAPI*)();

constexpr uint32_t kHalfRange = 0x80000000u;

std::atomic<uint64_t> g_extended_tick_count{0};

ULONGLONG WINAPI ExtendedTickCount() {
  return ExtendTickCount(::GetTickCount(), &g_extended_tick_count);
}

// The system's GetTickCount64, or the extended GetTickCount. No function-
// local static and no lock: winpthreads calls this inside its own waits.
ULONGLONG WINAPI ResolvingTickCount();

std::atomic<TickCountFunction> g_tick_count{&ResolvingTickCount};

ULONGLONG WINAPI ResolvingTickCount() {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  auto native = reinterpret_cast<TickCountFunction>(reinterpret_cast<void*>(
      kernel32 ? ::GetProcAddress(kernel32, "GetTickCount64") : nullptr));
  // Racing threads resolve to the same function.
  TickCountFunction function = native ? native : &ExtendedTickCount;
  g_tick_count.store(function, std::memory_order_relaxed);
  return function();
}

ULONGLONG WINAPI TickCount64() {
  return g_tick_count.load(std::memory_order_relaxed)();
}

}  // namespace

uint64_t ExtendTickCount(uint32_t now, std::atomic<uint64_t>* state) {
  uint64_t last_extended = state->load(std::memory_order_relaxed);
  for (;;) {
    const uint32_t last = static_cast<uint32_t>(last_extended);
    uint64_t epoch = last_extended >> 32;
    if (now < last) {
      // Slightly behind another thread's reading: the same epoch.
      if (last - now < kHalfRange)
        return (epoch << 32) | now;
      ++epoch;
    } else if (now - last >= kHalfRange && epoch > 0) {
      // A reading from before the last wrap, late.
      return ((epoch - 1) << 32) | now;
    }
    const uint64_t extended = (epoch << 32) | now;
    if (state->compare_exchange_weak(last_extended, extended,
                                     std::memory_order_relaxed)) {
      return extended;
    }
  }
}

}  // namespace win
}  // namespace base

// The import slot of GetTickCount64 (see the header). A module whose link
// also pulled kernel32's own slot fails with a duplicate definition.
extern "C" {
ULONGLONG(WINAPI* __imp_GetTickCount64)() = &base::win::TickCount64;
}
