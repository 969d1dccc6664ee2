#include "desktop/windows/crash_reporter/crash_reporter_settings.h"

#include <string>

#include "base/command_line.h"
#include "base/features/browser_features.h"
#include "base/features/feature_table.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_environment_variable_override.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

class CrashReporterSettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    prefs_ = temp_dir_.GetPath().Append(L"Local State");
  }
  void TearDown() override {
    // Later tests start from the settings of a process without prefs.
    LoadCrashReporterFeatures(base::CommandLine(base::FilePath()),
                              base::FilePath());
  }

  void Load(const char* prefs, const char* switch_value = nullptr) {
    base::DeleteFile(prefs_, false);
    if (prefs)
      base::WriteFile(prefs_, prefs, static_cast<int>(strlen(prefs)));
    base::CommandLine command_line(base::FilePath(L"installer.exe"));
    if (switch_value) {
      command_line.AppendSwitchASCII("with-feature:alternative-crash-logging",
                                     switch_value);
    }
    LoadCrashReporterFeatures(command_line, prefs_);
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath prefs_;
};

TEST_F(CrashReporterSettingsTest, ConsentOnlyFromAnExplicitBoolean) {
  struct {
    const char* prefs;
    bool consent;
  } cases[] = {
      {nullptr, false},
      {"", false},
      {"{not json", false},
      {"[true]", false},
      {R"({"user_experience_metrics":{}})", false},
      {R"({"user_experience_metrics":{"reporting_enabled":"true"}})", false},
      {R"({"user_experience_metrics":{"reporting_enabled":1}})", false},
      {R"({"user_experience_metrics":{"reporting_enabled":false}})", false},
      {R"({"user_experience_metrics":{"reporting_enabled":true}})", true},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.prefs ? test.prefs : "no file");
    Load(test.prefs);
    EXPECT_EQ(test.consent, IsCrashReportingEnabled());
  }
  Load(R"({"user_experience_metrics":{"reporting_enabled":true}})");
  LoadCrashReporterFeatures(base::CommandLine(base::FilePath()),
                            base::FilePath());
  EXPECT_FALSE(IsCrashReportingEnabled());
}

TEST_F(CrashReporterSettingsTest, AlternativeCrashLoggingSwitchesAndPrefs) {
  const installer::FeatureRow* row =
      installer::FindFeatureByName(installer::kAlternativeCrashLogging);
  ASSERT_TRUE(row);
  const bool by_default = installer::IsFeatureEnabledByDefault(*row);
  ASSERT_TRUE(installer::IsFeatureOverridable(*row));

  Load(nullptr);
  EXPECT_EQ(by_default, IsAlternativeCrashLoggingEnabled());
  Load(nullptr, "off");
  EXPECT_FALSE(IsAlternativeCrashLoggingEnabled());
  Load(nullptr, "OFF");
  EXPECT_EQ(by_default, IsAlternativeCrashLoggingEnabled());
  Load(nullptr, "on");
  EXPECT_TRUE(IsAlternativeCrashLoggingEnabled());
  // The prefs are read after the switch.
  Load(R"({"browser":{"flags":{"alternative-crash-logging":2}}})", "on");
  EXPECT_FALSE(IsAlternativeCrashLoggingEnabled());
  Load(R"({"browser":{"flags":{"alternative-crash-logging":1}}})", "off");
  EXPECT_TRUE(IsAlternativeCrashLoggingEnabled());
  Load(R"({"browser":{"flags":{"alternative-crash-logging":3}}})", "off");
  EXPECT_FALSE(IsAlternativeCrashLoggingEnabled());
}

TEST_F(CrashReporterSettingsTest, EnvironmentBooleans) {
  const std::string name = MakeProductEnvVarName(kCrashKeepLogsEnvSuffix);
  EXPECT_EQ("KELVO_CRASH_KEEP_LOGS", name);
  struct {
    const char* value;
    bool expected;
  } cases[] = {{"1", true},  {"yes", true}, {"True", true}, {"TRUE", true},
               {"0", false}, {"no", false}, {"", false},    {"2", false}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.value);
    base::ScopedEnvironmentVariableOverride keep(name, test.value);
    EXPECT_EQ(test.expected, IsKeepCrashLogsEnabled(!test.expected));
  }
  base::ScopedEnvironmentVariableOverride unset(name);
  EXPECT_TRUE(IsKeepCrashLogsEnabled(true));
  EXPECT_FALSE(IsKeepCrashLogsEnabled(false));
}

TEST_F(CrashReporterSettingsTest, BuildIdTakesTheDateAndSixRevisionDigits) {
  EXPECT_EQ(L"20170312286388", GetCrashBuildId());
  EXPECT_EQ(L"20170312000042", FormatCrashBuildId("20170312_190016", 42));
  EXPECT_EQ(L"20170312234567", FormatCrashBuildId("20170312_190016", 1234567));
  EXPECT_EQ(L"20170000000001", FormatCrashBuildId("2017", 1));
}

TEST_F(CrashReporterSettingsTest, CollectorNamesOfChannelsAndSymbols) {
  // The collector's names cross the channels' own: 2 ("Developer") is its
  // "nightly", and 1 ("Nightly") keeps the stream's name.
  EXPECT_EQ(L"nightly", GetCrashReleaseChannel());
  EXPECT_EQ(L"developer", FormatCrashReleaseChannel(1, "developer"));
  EXPECT_EQ(L"nightly", FormatCrashReleaseChannel(2, "developer"));
  EXPECT_EQ(L"next", FormatCrashReleaseChannel(3, "next"));
  EXPECT_EQ(L"release", FormatCrashReleaseChannel(4, "stable"));
  EXPECT_EQ(L"tests-syms", GetSymbolsPackageName(L"browser_tests"));
  EXPECT_EQ(L"browser-syms", GetSymbolsPackageName(L"Browser_tests"));
  EXPECT_EQ(L"browser-syms", GetSymbolsPackageName(L""));
}

}  // namespace
}  // namespace crash_reporter
