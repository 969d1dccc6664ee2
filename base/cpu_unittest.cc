#include "base/cpu.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(CPUTest, AgreesWithTheOperatingSystem) {
  EXPECT_EQ(CPU().has_sse2(),
            !!::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
}

}  // namespace
}  // namespace base
