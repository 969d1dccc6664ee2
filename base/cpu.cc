#include "base/cpu.h"

#include <cpuid.h>
#include <stdint.h>
#include <string.h>

namespace base {

namespace {

struct Registers {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

Registers Cpuid(uint32_t leaf, uint32_t subleaf = 0) {
  Registers r;
  __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

// XCR0: which register states the operating system saves on a switch.
uint64_t ReadXCR0() {
  uint32_t eax, edx;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (static_cast<uint64_t>(edx) << 32) | eax;
}

bool Bit(uint32_t reg, int bit) {
  return (reg >> bit) & 1;
}

}  // namespace

CPU::CPU() {
  Initialize();
}

void CPU::Initialize() {
  Registers r = Cpuid(0);
  const uint32_t max_leaf = r.eax;
  char vendor[13] = {};
  memcpy(vendor, &r.ebx, 4);
  memcpy(vendor + 4, &r.edx, 4);
  memcpy(vendor + 8, &r.ecx, 4);
  vendor_ = vendor;

  if (max_leaf >= 1) {
    r = Cpuid(1);
    stepping_ = r.eax & 0xf;
    model_ = (r.eax >> 4) & 0xf;
    family_ = (r.eax >> 8) & 0xf;
    // The extended fields count only for these base families.
    if (family_ == 0x6 || family_ == 0xf)
      model_ += (r.eax >> 12) & 0xf0;
    if (family_ == 0xf)
      family_ += (r.eax >> 20) & 0xff;
    has_mmx_ = Bit(r.edx, 23);
    has_sse_ = Bit(r.edx, 25);
    has_sse2_ = Bit(r.edx, 26);
    has_sse3_ = Bit(r.ecx, 0);
    has_ssse3_ = Bit(r.ecx, 9);
    has_sse41_ = Bit(r.ecx, 19);
    has_sse42_ = Bit(r.ecx, 20);
    has_popcnt_ = Bit(r.ecx, 23);
    has_aesni_ = Bit(r.ecx, 25);
    const bool osxsave = Bit(r.ecx, 27);
    has_avx_ = Bit(r.ecx, 28) && osxsave && (ReadXCR0() & 6) == 6;
  }
  if (max_leaf >= 7) {
    const Registers leaf7 = Cpuid(7);
    has_avx2_ = has_avx_ && Bit(leaf7.ebx, 5);
    has_sha_ = Bit(leaf7.ebx, 29);
  }

  const uint32_t max_extended = Cpuid(0x80000000).eax;
  if (max_extended >= 0x80000004) {
    char brand[49] = {};
    for (uint32_t i = 0; i < 3; ++i) {
      Registers b = Cpuid(0x80000002 + i);
      memcpy(brand + 16 * i, &b.eax, 4);
      memcpy(brand + 16 * i + 4, &b.ebx, 4);
      memcpy(brand + 16 * i + 8, &b.ecx, 4);
      memcpy(brand + 16 * i + 12, &b.edx, 4);
    }
    brand_ = brand;
    // Some processors pad the brand on the left.
    brand_.erase(0, brand_.find_first_not_of(' '));
  }
}

}  // namespace base
