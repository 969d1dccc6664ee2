#include "desktop/windows/installer/product/branding_config.h"

#include "base/values.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(BrandingConfigTest, HostResourceCarriesThisBuildsValues) {
  // The test executable carries the host's resources, as installer.exe does.
  EXPECT_EQ("Kelvo", GetBrandingProductName());
  // The update server's base address ends with a slash: request paths are
  // appended to it.
  std::string autoupdate = GetBrandingUrl("autoupdate");
  ASSERT_FALSE(autoupdate.empty());
  EXPECT_EQ('/', autoupdate.back());
  for (const char* name : {"crash", "download", "uninstall_survey"})
    EXPECT_FALSE(GetBrandingUrl(name).empty()) << name;
}

TEST(BrandingConfigTest, MissingAndMistypedValuesGiveDefaults) {
  BrandingConfig::ScopedOverrideForTesting branding(
      R"({"major_delta": 2.0, "product_name": 7, "white_labeled": "true",
          "urls": {"help": "https://h/?p="}, "a.b": "dotted"})");
  EXPECT_EQ(0, GetMajorDelta());
  EXPECT_EQ("", GetBrandingProductName());
  EXPECT_FALSE(IsWhiteLabeled());
  EXPECT_EQ("", GetBrandingUrl("autoupdate"));
  EXPECT_EQ("https://h/?p=", GetBrandingUrl("help"));
  // Paths split at every dot: a key holding a dot cannot be reached.
  EXPECT_EQ("",
            BrandingConfig::GetString(BrandingConfig::GetInstance(), "a.b"));
}

// Only objects parse; a malformed document behaves as an empty one.
TEST(BrandingConfigTest, ParseAcceptsOnlyObjects) {
  EXPECT_TRUE(BrandingConfig::Parse("\xEF\xBB\xBF{\"product_name\": \"X\"}"));
  EXPECT_FALSE(BrandingConfig::Parse("[1, 2]"));
  EXPECT_FALSE(BrandingConfig::Parse("{\"product_name\": "));
  EXPECT_FALSE(BrandingConfig::Parse("{} {}"));
  BrandingConfig::ScopedOverrideForTesting branding("{not json");
  EXPECT_EQ("", GetBrandingProductName());
  EXPECT_EQ(0, GetScheduledAutoupdateDelayMin());
  EXPECT_FALSE(ShouldScheduleAutoupdateTask());
}

}  // namespace
}  // namespace installer
