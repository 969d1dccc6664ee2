#include "base/features/feature_registry.h"

#include <memory>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/features/command_line_feature_reader.h"
#include "base/features/list_value_feature_reader.h"
#include "base/json/json_reader.h"
#include "base/values.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

base::CommandLine ParseCommandLine(const std::wstring& arguments) {
  return base::CommandLine::FromString(L"installer.exe " + arguments);
}

std::unique_ptr<base::ListValue> ParseList(const std::string& json) {
  return base::ListValue::From(base::JSONReader::Read(json));
}

constexpr char kInstallerExperimentTest[] = "installer-experiment-test";
constexpr char kInstallerHideFromProgramAndFeatures[] =
    "installer-hide-from-program-and-features";
constexpr char kInstallerPrefDefaultOverridesSupport[] =
    "installer-pref-default-overrides-support";
constexpr char kInstallerSupportX64Download[] =
    "installer-support-x64-download";

// Features as the installer registers its own: experiment-test off and
// overridable, hide-from-programs off and fixed, the other two on.
void RegisterFeatures(FeatureRegistry* registry) {
  registry->RegisterFeature(kInstallerExperimentTest, false, true);
  registry->RegisterFeature(kInstallerHideFromProgramAndFeatures, false, false);
  registry->RegisterFeature(kInstallerPrefDefaultOverridesSupport, true, true);
  registry->RegisterFeature(kInstallerSupportX64Download, true, true);
}

class FeatureRegistryTest : public testing::Test {
 protected:
  void SetUp() override { RegisterFeatures(&registry_); }

  void ReadSwitches(const std::wstring& arguments) {
    base::CommandLine command_line = ParseCommandLine(arguments);
    CommandLineFeatureReader reader(&command_line);
    registry_.Initialize(&reader);
  }
  void ReadList(const std::string& json) {
    std::unique_ptr<base::ListValue> list = ParseList(json);
    ASSERT_TRUE(list);
    ListValueFeatureReader reader(list.get());
    registry_.Initialize(&reader);
  }

  FeatureRegistry registry_;
};

TEST_F(FeatureRegistryTest, SwitchValues) {
  EXPECT_FALSE(registry_.initialized());
  ReadSwitches(
      L"--with-feature:installer-experiment-test "
      L"--with-feature:installer-support-x64-download=off "
      L"--with-feature:installer-pref-default-overrides-support=On "
      L"--with-feature:installer-hide-from-program-and-features=on "
      L"--with-feature:unknown=on --without-feature:x=on --silent "
      // Not ASCII: no empty value (which would mean on), just a bad one.
      L"--with-feature:other=\u00f6n");
  EXPECT_TRUE(registry_.initialized());
  EXPECT_TRUE(registry_.IsEnabled(kInstallerExperimentTest));
  EXPECT_FALSE(registry_.IsEnabled(kInstallerSupportX64Download));
  // Not "on": left at the default.
  EXPECT_TRUE(registry_.IsEnabled(kInstallerPrefDefaultOverridesSupport));
  // Not overridable in this build.
  EXPECT_FALSE(registry_.IsEnabled(kInstallerHideFromProgramAndFeatures));
  EXPECT_FALSE(registry_.IsEnabled("unknown"));
  // Exact names only.
  EXPECT_FALSE(registry_.IsEnabled("Installer-Experiment-Test"));

  // In switch order, which is by name; the bad values read nothing.
  std::vector<FeatureOverride> expected = {
      {kInstallerExperimentTest, true},
      {kInstallerHideFromProgramAndFeatures, true},
      {kInstallerSupportX64Download, false},
      {"unknown", true},
  };
  EXPECT_EQ(expected, registry_.GetAllFeatureStates());
}

TEST_F(FeatureRegistryTest, StateReadLastWins) {
  // A stored list first, the command line later (an upgrade).
  ReadList(
      "[\"installer-support-x64-download@2\", "
      "\"installer-experiment-test@1\"]");
  EXPECT_FALSE(registry_.IsEnabled(kInstallerSupportX64Download));
  ReadSwitches(L"--with-feature:installer-support-x64-download=on");
  EXPECT_TRUE(registry_.IsEnabled(kInstallerSupportX64Download));
  EXPECT_TRUE(registry_.IsEnabled(kInstallerExperimentTest));
  EXPECT_EQ(3u, registry_.GetAllFeatureStates().size());
}

TEST_F(FeatureRegistryTest, FirstRegistrationAnswers) {
  registry_.RegisterFeature("twice", false, true);
  registry_.RegisterFeature("twice", true, false);
  EXPECT_EQ(6u, registry_.features().size());
  EXPECT_FALSE(registry_.IsEnabled("twice"));
  ReadList("[\"twice@1\"]");
  EXPECT_TRUE(registry_.IsEnabled("twice"));
}

TEST_F(FeatureRegistryTest, ListSkipsWhatItCannotRead) {
  ReadList(
      "[\" installer-experiment-test @ 1 \", 2, null, {\"a\":1}, "
      "\"installer-support-x64-download@1@2\", "
      "\"installer-support-x64-download@3\", "
      "\"installer-support-x64-download@0\", "
      "\"installer-support-x64-download@12\", "
      "\"installer-support-x64-download@x\", "
      "\"installer-support-x64-download@\", "
      "\"installer-support-x64-download\", \"\", \"@2\"]");
  std::vector<FeatureOverride> expected = {{kInstallerExperimentTest, true},
                                           {"", false}};
  EXPECT_EQ(expected, registry_.GetAllFeatureStates());
  EXPECT_TRUE(registry_.IsEnabled(kInstallerSupportX64Download));
}

TEST_F(FeatureRegistryTest, SwitchesCarryStatesToAChildProcess) {
  ReadList(
      "[\"installer-experiment-test@1\", "
      "\"installer-support-x64-download@2\", "
      "\"installer-experiment-test@2\"]");
  base::CommandLine child(base::CommandLine::NO_PROGRAM);
  child.AppendSwitch("backend");
  AppendFeatureSwitches(registry_, &child);
  EXPECT_EQ("off", child.GetSwitchValueASCII(
                       "with-feature:installer-experiment-test"));

  base::CommandLine read_back = ParseCommandLine(child.GetArgumentsString());
  FeatureRegistry child_registry;
  RegisterFeatures(&child_registry);
  CommandLineFeatureReader reader(&read_back);
  child_registry.Initialize(&reader);
  for (const Feature& feature : registry_.features()) {
    EXPECT_EQ(registry_.IsEnabled(feature.name),
              child_registry.IsEnabled(feature.name))
        << feature.name;
  }
  EXPECT_FALSE(child_registry.IsEnabled(kInstallerExperimentTest));
}

}  // namespace
}  // namespace installer
