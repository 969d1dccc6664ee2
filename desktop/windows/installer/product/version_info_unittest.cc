#include "desktop/windows/installer/product/version_info.h"

#include "desktop/windows/installer/product/branding_config.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(VersionInfoTest, BrandingShiftsTheProductVersion) {
  {
    BrandingConfig::ScopedOverrideForTesting branding(
        R"({"major_delta": 3, "use_chromium_major_for_minor": true})");
    EXPECT_EQ("48.58.2531.0", GetProductVersion());
    EXPECT_EQ(48, GetProductMajorVersion());
  }
  {
    BrandingConfig::ScopedOverrideForTesting branding(
        R"({"major_delta": -45})");
    EXPECT_EQ("0.0.2531.0", GetProductVersion());
  }
  EXPECT_EQ("45.0.2531.0", GetProductVersion());
}

}  // namespace
}  // namespace installer
