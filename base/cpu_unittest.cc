#include "base/cpu.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(CPUTest, AgreesWithTheOperatingSystem) {
  CPU cpu;
  EXPECT_EQ(cpu.has_sse2(),
            !!::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
  EXPECT_EQ(cpu.has_sse3(),
            !!::IsProcessorFeaturePresent(PF_SSE3_INSTRUCTIONS_AVAILABLE));
  // Windows before 10 does not know the newer flags and answers false, so
  // only "the system has it" is checked against what CPUID says.
  if (::IsProcessorFeaturePresent(PF_AVX2_INSTRUCTIONS_AVAILABLE)) {
    EXPECT_TRUE(cpu.has_avx2());
  }
  EXPECT_EQ(12u, cpu.vendor_name().size()) << cpu.vendor_name();
}

}  // namespace
}  // namespace base
