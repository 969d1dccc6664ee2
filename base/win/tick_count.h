// GetTickCount64 for every module of the installer, on Windows before Vista
// too. The toolchain's thread library (winpthreads) and the installer's own
// code call GetTickCount64, which kernel32 has only from Vista on: this file
// defines the import slot those calls go through (__imp_GetTickCount64), so
// that no module imports the function at load time. The slot calls the
// system's GetTickCount64 where it exists, and otherwise extends the 32-bit
// GetTickCount, which wraps every 49.7 days.
//
// A module gets the slot when its link pulls in tick_count.cc: the base
// library's own calls do, and kelvo_tick_count (cmake) asks for it by name.

#ifndef BASE_WIN_TICK_COUNT_H_
#define BASE_WIN_TICK_COUNT_H_

#include <stdint.h>

#include <atomic>

namespace base {
namespace win {

// The 64-bit count of milliseconds for |now|, a 32-bit GetTickCount
// reading, given |state|, the last extended reading (zero at first).
// Threads may read in one order and get here in another: a reading a
// little older than the last one is not taken for a wrap. A wrap is seen
// only when a reading comes at least once in each 24.8 days.
uint64_t ExtendTickCount(uint32_t now, std::atomic<uint64_t>* state);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_TICK_COUNT_H_
