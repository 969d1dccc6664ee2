#include "base/win/windows_version.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

TEST(WindowsVersionTest, ReleaseNumbersMapToVersions) {
  struct {
    int major, minor, build;
    Version expected;
  } cases[] = {
      {5, 0, 2195, VERSION_PRE_XP},      {5, 1, 2600, VERSION_XP},
      {5, 2, 3790, VERSION_SERVER_2003}, {6, 0, 6002, VERSION_VISTA},
      {6, 1, 7601, VERSION_WIN7},        {6, 2, 9200, VERSION_WIN8},
      {6, 3, 9600, VERSION_WIN8_1},      {10, 0, 10585, VERSION_WIN10},
      {10, 0, 10586, VERSION_WIN10_TH2}, {11, 0, 30000, VERSION_WIN10_TH2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, MajorMinorBuildToVersion(c.major, c.minor, c.build))
        << c.major << "." << c.minor << "." << c.build;
  }
  // The numbers are stored in tables elsewhere.
  EXPECT_EQ(4, VERSION_WIN7);
  EXPECT_EQ(8, VERSION_WIN10_TH2);
}

TEST(WindowsVersionTest, OSInfoSeesPastTheCompatibilityVersion) {
  const OSInfo* info = OSInfo::GetInstance();
  OSInfo::VersionNumber number = info->version_number();
  EXPECT_EQ(info->version(),
            MajorMinorBuildToVersion(number.major, number.minor, number.build));
  EXPECT_EQ(info->version(), GetVersion());

  // Without a manifest GetVersionEx stops at 6.2; OSInfo must not.
  OSVERSIONINFOW legacy = {sizeof(legacy)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ASSERT_TRUE(::GetVersionExW(&legacy));
#pragma GCC diagnostic pop
  EXPECT_GE(
      number.major * 100 + number.minor,
      static_cast<int>(legacy.dwMajorVersion * 100 + legacy.dwMinorVersion));

  // A 64-bit process on 64-bit Windows.
  EXPECT_EQ(OSInfo::X64_ARCHITECTURE, info->architecture());
}

}  // namespace
}  // namespace win
}  // namespace base
