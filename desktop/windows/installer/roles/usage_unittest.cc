#include "desktop/windows/installer/roles/usage.h"

#include <string>
#include <vector>

#include "desktop/windows/installer/product/branding_config.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

const std::vector<std::wstring> kLanguages = {L"en-US", L"de", L"pt-BR"};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(UsageTextTest, HeadRowsLanguagesAndFeatures) {
  std::string text = GetUsageText(kLanguages);
  EXPECT_EQ(0u, text.find("Kelvo Installer 45.0.2531.0 developer\n")) << text;
  EXPECT_TRUE(Contains(text, "    If true, install Kelvo for all users"));
  EXPECT_FALSE(Contains(text, "%s"));
  EXPECT_TRUE(Contains(text,
                       "\nLanguages available for the language option:\n"
                       "en-US, de, pt-BR\n"
                       "\nFeatures available through command-line switches:\n"
                       "\t--with-feature:installer-experiment-test [Enabled by "
                       "default: false]\n"));
  EXPECT_TRUE(
      Contains(GetUsageText({}), "for the language option:\n\n\nFeatures"));
}

TEST(UsageTextTest, ProductNameAndFeatureDefaultsComeFromTheBranding) {
  BrandingConfig::ScopedOverrideForTesting branding(
      "{\"product_name\": \"Other\", \"user_agent_name\": \"QRN\"}");
  std::string text = GetUsageText(kLanguages);
  EXPECT_EQ(0u, text.find("Other Installer "));
  EXPECT_TRUE(Contains(text, "    Default value: True for Other Stable.\n"));
  EXPECT_TRUE(Contains(text,
                       "installer-hide-from-program-and-features [Enabled by "
                       "default: true]\n"));
}

}  // namespace
}  // namespace installer
