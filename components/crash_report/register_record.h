// The registers of one thread of a crashed process, as the text crash log
// prints them and follows them into memory.

#ifndef COMPONENTS_CRASH_REPORT_REGISTER_RECORD_H_
#define COMPONENTS_CRASH_REPORT_REGISTER_RECORD_H_

#include <windows.h>

#include <stdint.h>

namespace crash_report {

struct RegisterRecord {
  struct X87Register {
    uint64_t mantissa;
    uint16_t sign_exponent;
  };
  struct XmmRegister {
    uint64_t low;
    uint64_t high;
  };

  uint64_t rax, rbx, rcx, rdx, rsi, rdi, rbp, rsp;
  uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
  uint64_t rip;
  uint32_t eflags;
  X87Register st[8];
  uint16_t status_word;
  uint16_t control_word;
  XmmRegister xmm[16];
};

// The record of |context|, which must hold the integer, control and
// floating-point parts.
RegisterRecord RegisterRecordFromContext(const CONTEXT& context);

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_REGISTER_RECORD_H_
