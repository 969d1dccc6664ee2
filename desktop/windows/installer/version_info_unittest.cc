#include "desktop/windows/installer/version_info.h"

#include "desktop/windows/installer/branding_config.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(VersionInfoTest, ThisBuildsTexts) {
  EXPECT_EQ(58, GetEngineMajorVersion());
  EXPECT_EQ(45, GetProductMajorVersion());
  EXPECT_EQ("45.0.2531.0", GetProductVersion());
  EXPECT_EQ(GetProductVersion(), GetProductVersionString());
  EXPECT_EQ("2531.0", GetInternalVersion());
  EXPECT_EQ("developer", GetStream());
  EXPECT_EQ(2, GetChannel());
  EXPECT_EQ(" (Edition developer)", GetEditionSuffix());
  EXPECT_EQ("Kelvo developer", GetDefaultFolderName());
  EXPECT_EQ("Kelvo", GetProductName());
  EXPECT_EQ("KVX", GetUserAgentName());
  EXPECT_EQ(816662, GetBuildNumber());
  EXPECT_EQ(286388u, GetBuildRevision());
  EXPECT_EQ("20170312_190016", GetBuildTimestamp());
}

TEST(VersionInfoTest, ChannelNameAndStreamDifferInCase) {
  EXPECT_EQ("Developer", GetChannelName(GetChannel()));
  EXPECT_EQ("Nightly", GetChannelName(1));
  EXPECT_EQ("Stable", GetChannelName(4));
  EXPECT_EQ("", GetChannelName(0));
  EXPECT_EQ("", GetChannelName(5));
}

TEST(VersionInfoTest, BrandingShiftsTheProductVersion) {
  {
    BrandingConfig::ScopedOverrideForTesting branding(
        R"({"major_delta": 3, "use_chromium_major_for_minor": true})");
    EXPECT_EQ("48.58.2531.0", GetProductVersion());
    EXPECT_EQ(48, GetProductMajorVersion());
  }
  {
    BrandingConfig::ScopedOverrideForTesting branding(R"({"major_delta": -45})");
    EXPECT_EQ("0.0.2531.0", GetProductVersion());
  }
  EXPECT_EQ("45.0.2531.0", GetProductVersion());
}

}  // namespace
}  // namespace installer
