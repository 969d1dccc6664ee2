#include "base/cpu.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(CPUTest, AgreesWithTheOperatingSystem) {
  CPU cpu;
  // Every x86-64 processor has SSE2; the installer refuses to run without.
  EXPECT_TRUE(cpu.has_sse2());
  EXPECT_TRUE(cpu.has_sse());
  EXPECT_EQ(cpu.has_sse2(),
            !!::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
  EXPECT_EQ(cpu.has_sse3(),
            !!::IsProcessorFeaturePresent(PF_SSE3_INSTRUCTIONS_AVAILABLE));
  EXPECT_EQ(12u, cpu.vendor_name().size()) << cpu.vendor_name();
  EXPECT_GT(cpu.family(), 0);
  EXPECT_TRUE(cpu.cpu_brand().empty() || cpu.cpu_brand()[0] != ' ');
}

TEST(CPUTest, NewerFeaturesTheSystemReportsAreSeen) {
  // Windows before 10 does not know these flags and answers false, so only
  // "the system has it" is checked against what CPUID says.
  const struct {
    DWORD flag;
    bool ours;
  } features[] = {{PF_SSSE3_INSTRUCTIONS_AVAILABLE, CPU().has_ssse3()},
                  {PF_SSE4_1_INSTRUCTIONS_AVAILABLE, CPU().has_sse41()},
                  {PF_SSE4_2_INSTRUCTIONS_AVAILABLE, CPU().has_sse42()},
                  {PF_AVX_INSTRUCTIONS_AVAILABLE, CPU().has_avx()},
                  {PF_AVX2_INSTRUCTIONS_AVAILABLE, CPU().has_avx2()}};
  for (const auto& feature : features) {
    if (::IsProcessorFeaturePresent(feature.flag)) {
      EXPECT_TRUE(feature.ours) << "feature " << feature.flag;
    }
  }
}

}  // namespace
}  // namespace base
