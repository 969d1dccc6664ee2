#include "desktop/windows/installer/product/installer_features.h"

#include <string>

#include "base/command_line.h"
#include "base/features/command_line_feature_reader.h"
#include "base/features/feature_registry.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Every installer feature switched against its default, for rows whose
// overridability shows.
constexpr wchar_t kAllSwitchedOn[] =
    L"installer.exe --with-feature:installer-experiment-test "
    L"--with-feature:installer-hide-from-program-and-features "
    L"--with-feature:installer-pref-default-overrides-support "
    L"--with-feature:installer-support-x64-download";

struct Expected {
  const char* product;
  int channel;
  // Per installer feature in table order: the default, and the state after
  // every feature was switched on.
  bool defaults[4];
  bool switched_on[4];
};

TEST(InstallerFeaturesTest, DefaultsAndOverridesPerProductAndChannel) {
  const Expected kCases[] = {
      {"KVX", 2, {false, false, true, true}, {true, false, true, true}},
      {"QRN", 4, {false, true, false, false}, {true, true, true, true}},
      // No row: everything off and nothing overridable.
      {"KVX", 5, {false, false, false, false}, {false, false, false, false}},
      {"kvx", 2, {false, false, false, false}, {false, false, false, false}},
  };
  size_t count = 0;
  const FeatureRow* rows = GetInstallerFeatures(&count);
  ASSERT_EQ(4u, count);
  base::CommandLine command_line =
      base::CommandLine::FromString(kAllSwitchedOn);
  for (const Expected& expected : kCases) {
    FeatureRegistry registry;
    RegisterInstallerFeatures(
        GetProductChannelMasksFor(expected.product, expected.channel),
        &registry);
    for (size_t i = 0; i < count; ++i) {
      EXPECT_EQ(expected.defaults[i], registry.IsEnabled(rows[i].name))
          << expected.product << expected.channel << " " << rows[i].name;
    }
    CommandLineFeatureReader reader(&command_line);
    registry.Initialize(&reader);
    for (size_t i = 0; i < count; ++i) {
      EXPECT_EQ(expected.switched_on[i], registry.IsEnabled(rows[i].name))
          << expected.product << expected.channel << " " << rows[i].name;
    }
  }
}

TEST(InstallerFeaturesTest, ThisBuildIsProductKvxOnChannelTwo) {
  EXPECT_EQ(0x6u, GetProductChannelMasks().enabled_bits);
  // The product token comes from the branding.
  BrandingConfig::ScopedOverrideForTesting branding(
      "{\"user_agent_name\": \"QRN\"}");
  FeatureRegistry registry;
  RegisterInstallerFeatures(&registry);
  EXPECT_TRUE(registry.IsEnabled(kInstallerHideFromProgramAndFeatures));
  EXPECT_FALSE(registry.IsEnabled(kInstallerSupportX64Download));
}

}  // namespace
}  // namespace installer
