#include "base/cpu.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace base {
namespace {

// Windows before 10 does not know the newer flags and answers false, so for
// those only "the system has it" is checked against what CPUID says.
TEST(CPUTest, AgreesWithTheOperatingSystem) {
  CPU cpu;
  EXPECT_EQ(cpu.has_sse2(),
            !!::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
  EXPECT_EQ(cpu.has_sse3(),
            !!::IsProcessorFeaturePresent(PF_SSE3_INSTRUCTIONS_AVAILABLE));
  const struct {
    DWORD flag;
    bool ours;
  } features[] = {{PF_SSSE3_INSTRUCTIONS_AVAILABLE, cpu.has_ssse3()},
                  {PF_SSE4_1_INSTRUCTIONS_AVAILABLE, cpu.has_sse41()},
                  {PF_SSE4_2_INSTRUCTIONS_AVAILABLE, cpu.has_sse42()},
                  {PF_AVX_INSTRUCTIONS_AVAILABLE, cpu.has_avx()},
                  {PF_AVX2_INSTRUCTIONS_AVAILABLE, cpu.has_avx2()}};
  for (const auto& feature : features) {
    if (::IsProcessorFeaturePresent(feature.flag)) {
      EXPECT_TRUE(feature.ours) << "feature " << feature.flag;
    }
  }
  EXPECT_EQ(12u, cpu.vendor_name().size()) << cpu.vendor_name();
}

}  // namespace
}  // namespace base
