#include "components/crash_report/register_record.h"

#include <string.h>

namespace crash_report {

RegisterRecord RegisterRecordFromContext(const CONTEXT& context) {
  RegisterRecord record = {};
  record.rax = context.Rax;
  record.rbx = context.Rbx;
  record.rcx = context.Rcx;
  record.rdx = context.Rdx;
  record.rsi = context.Rsi;
  record.rdi = context.Rdi;
  record.rbp = context.Rbp;
  record.rsp = context.Rsp;
  record.r8 = context.R8;
  record.r9 = context.R9;
  record.r10 = context.R10;
  record.r11 = context.R11;
  record.r12 = context.R12;
  record.r13 = context.R13;
  record.r14 = context.R14;
  record.r15 = context.R15;
  record.rip = context.Rip;
  record.eflags = context.EFlags;
  const XMM_SAVE_AREA32& fpu = context.FltSave;
  // Each x87 register sits in a 16-byte slot: 8 bytes of mantissa, then
  // the sign and exponent.
  for (int i = 0; i < 8; ++i) {
    const auto* slot = reinterpret_cast<const uint8_t*>(&fpu.FloatRegisters[i]);
    memcpy(&record.st[i].mantissa, slot, 8);
    memcpy(&record.st[i].sign_exponent, slot + 8, 2);
  }
  record.status_word = fpu.StatusWord;
  record.control_word = fpu.ControlWord;
  for (int i = 0; i < 16; ++i) {
    record.xmm[i].low = fpu.XmmRegisters[i].Low;
    record.xmm[i].high = static_cast<uint64_t>(fpu.XmmRegisters[i].High);
  }
  return record;
}

}  // namespace crash_report
