#include "desktop/windows/installer/steps/post_elevation_tasks.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/steps/install_step.h"
#include "desktop/windows/installer/steps/install_steps.h"
#include "desktop/windows/installer/test/scoped_feature_state.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::MakeStandIn;
using test::StandInRuns;

class PostElevationTasksTest : public test::StepsTest {
 protected:
  // Waits at most 30 s for |program| to have run |count| times.
  static bool WaitForRuns(const FilePath& program, size_t count) {
    for (int i = 0; i < 300 && StandInRuns(program).size() < count; ++i)
      ::Sleep(100);
    return StandInRuns(program).size() >= count;
  }

  // Waits at most 30 s for |path| to hold |text|.
  static bool WaitForText(const FilePath& path, const std::string& text) {
    for (int i = 0; i < 300; ++i) {
      if (test::ReadTextFile(path).find(text) != std::string::npos)
        return true;
      ::Sleep(100);
    }
    return false;
  }

  const std::wstring run_class_name_ = L"Kelvodeveloper";
};

constexpr wchar_t kClientKey[] =
    L"SOFTWARE\\Clients\\StartMenuInternet\\Kelvodeveloper";
constexpr wchar_t kUrlAssociationsKey[] =
    L"SOFTWARE\\Clients\\StartMenuInternet\\Kelvodeveloper\\Capabilities\\"
    L"URLAssociations";

// Only an installation that recorded the machine-wide URL associations
// gets the protocol; registration always ends in success.
TEST_F(PostElevationTasksTest, ProtocolOnlyWithARecordedMachineKey) {
  test::ScopedRegistryValue client(HKEY_LOCAL_MACHINE, kClientKey, L"");
  test::ScopedRegistryValue value(HKEY_LOCAL_MACHINE, kUrlAssociationsKey,
                                  L"kelvotest");
  ASSERT_TRUE(
      base::win::RegKey(HKEY_LOCAL_MACHINE, kUrlAssociationsKey, KEY_WRITE)
          .Valid());
  for (bool recorded : {false, true}) {
    SCOPED_TRACE(recorded ? "recorded" : "per user");
    InstallLog log = MakeLog();
    InstallLog::RegistryKey key;
    key.clean_level = 1;
    // Compared without regard to ASCII case.
    key.key_path =
        "Software\\Clients\\StartMenuInternet\\Kelvodeveloper\\Capabilities\\"
        "UrlAssociations";
    (recorded ? log.hklm_keys : log.hkcu_keys).push_back(key);
    MakeInstallation(log);
    SetCommandLine(L"--register-kelvo-as-protocol-handler=kelvotest");
    std::unique_ptr<Settings> settings = MakeSettings();
    ASSERT_EQ(OPERATION_REGISTERING_PROTOCOL_HANDLER, settings->operation());
    Installer installer;
    RunToOutcome(&installer, settings.get());

    EXPECT_TRUE(installer.succeeded());
    std::wstring data;
    base::win::RegKey(HKEY_LOCAL_MACHINE, kUrlAssociationsKey, KEY_READ)
        .ReadValue(L"kelvotest", &data);
    EXPECT_EQ(recorded ? L"Kelvodeveloper" : L"", data);
    EXPECT_EQ(recorded ? 1u : 0u, platform_.calls.size());
  }
}

// Registering a protocol rewrites installer_prefs.json: the experiment
// states the installation was made with stay, and switches apply over
// them, so that its upgrade and uninstall see the same states.
TEST_F(PostElevationTasksTest, ProtocolRegistrationKeepsStoredExperiments) {
  // The states this process started with.
  test::ScopedFeatureState test_experiment(kInstallerExperimentTest, false);
  test::ScopedFeatureState hidden(kInstallerHideFromProgramAndFeatures, false);
  test::ScopedFeatureState overrides(kInstallerPrefDefaultOverridesSupport,
                                     true);
  test::ScopedFeatureState x64(kInstallerSupportX64Download, true);
  MakeInstallation(MakeLog());
  WriteFile(install_folder().AppendASCII("installer_prefs.json"),
            R"({"installer-experiments": ["installer-experiment-test@1",
                  "installer-pref-default-overrides-support@2"],
                "kept": 1})");
  SetCommandLine(
      L"--register-kelvo-as-protocol-handler=kelvotest "
      L"--with-feature:installer-pref-default-overrides-support=on "
      L"--with-feature:installer-support-x64-download=off");
  std::unique_ptr<Settings> settings = MakeSettings();
  ASSERT_EQ(OPERATION_REGISTERING_PROTOCOL_HANDLER, settings->operation());
  Installer installer;
  RunToOutcome(&installer, settings.get());
  ASSERT_TRUE(installer.succeeded());

  std::unique_ptr<base::DictionaryValue> prefs =
      base::DictionaryValue::From(base::JSONReader::Read(test::ReadTextFile(
          install_folder().AppendASCII("installer_prefs.json"))));
  ASSERT_TRUE(prefs);
  const base::ListValue* changed = nullptr;
  const base::ListValue* all = nullptr;
  ASSERT_TRUE(prefs->GetList("installer-experiments", &changed));
  ASSERT_TRUE(prefs->GetList("all-installer-experiments", &all));
  base::ListValue expected_changed;
  expected_changed.AppendString("installer-experiment-test@1");
  expected_changed.AppendString("installer-support-x64-download@2");
  EXPECT_TRUE(changed->Equals(&expected_changed));
  base::ListValue expected_all;
  expected_all.AppendString("installer-experiment-test@1");
  expected_all.AppendString("installer-hide-from-program-and-features@2");
  expected_all.AppendString("installer-pref-default-overrides-support@1");
  expected_all.AppendString("installer-support-x64-download@2");
  EXPECT_TRUE(all->Equals(&expected_all));
  EXPECT_TRUE(prefs->HasKey("kept"));
}

// What an elevated install leaves to the user's own process: the browser
// registered for the user (Windows 10 asks the user through its Settings),
// the components' per-user tasks and the browser's start. An uninstall
// starts only the components' tasks.
TEST_F(PostElevationTasksTest, UserPartAfterAnElevatedRun) {
  const std::wstring class_key =
      L"Software\\Classes\\" + run_class_name_ + L"\\shell\\open\\command";
  test::ScopedRegistryValue url_class(
      HKEY_CURRENT_USER, L"Software\\Classes\\" + run_class_name_, L"");
  test::ScopedRegistryValue previous(HKEY_CURRENT_USER, GetProductRegistryKey(),
                                     L"Previous Default Browser");
  const FilePath suite = install_folder().Append(L"suite");
  InstallLog log = MakeLog();
  log.components = {{"suite", suite}};
  MakeInstallation(log);
  const FilePath component = MakeStandIn(suite, L"suite_installer.exe", 0);
  const FilePath browser = MakeStandIn(install_folder(), L"launcher.exe", 0);
  const struct {
    const char* name;
    std::wstring switches;
    bool uninstall;
    bool silent;
    bool registered;
    bool launched;
  } kCases[] = {
      {"uninstall", L"--uninstall", true, false, false, false},
      {"silent", L"--launchkelvo=1", false, true, false, true},
      {"asks", L"--setdefaultbrowser=1 --launchkelvo=1", false, false, true,
       true},
  };
  size_t component_runs = 0;
  size_t browser_runs = 0;
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.name);
    platform_.calls.clear();
    SetCommandLine(L"--post-elevated-install-tasks --allusers=0 " +
                   test.switches);
    std::unique_ptr<Settings> settings = test.uninstall
                                             ? MakeUninstallSettings()
                                             : MakeSettings(false, test.silent);
    Installer installer;
    test::InstallerEventRecorder recorder(&installer);
    RunToOutcome(&installer, settings.get());
    EXPECT_EQ(std::vector<std::string>{"success"}, recorder.events());

    EXPECT_EQ(test.registered,
              base::win::RegKey(HKEY_CURRENT_USER, class_key.c_str(), KEY_READ)
                  .Valid());
    EXPECT_EQ(test.registered
                  ? std::vector<std::wstring>{L"settings "
                                              L"SystemSettings_DefaultApps_"
                                              L"Browser"}
                  : std::vector<std::wstring>(),
              platform_.calls);
    // Started, not waited for.
    ++component_runs;
    ASSERT_TRUE(WaitForRuns(component, component_runs));
    const std::string run = StandInRuns(component).back();
    EXPECT_NE(std::string::npos, run.find("--post-elevated-install-tasks"));
    EXPECT_NE(std::string::npos,
              run.find("--installfolder=\"" + suite.AsUTF8Unsafe() + "\""));
    if (test.launched) {
      EXPECT_TRUE(WaitForRuns(browser, ++browser_runs));
    }
  }
  // The uninstall started no browser.
  EXPECT_EQ(browser_runs, StandInRuns(browser).size());
}

// The profile's partner content follows the version being installed, not
// the one it replaces.
TEST_F(PostElevationTasksTest, PartnerContentComesFromTheNewVersion) {
  const FilePath profile =
      root().Append(L"Roaming\\Kelvo Software\\Kelvo Developer");
  const FilePath partner = profile.AppendASCII("custom_partner_content.json");
  for (bool new_version_has_it : {false, true}) {
    SCOPED_TRACE(new_version_has_it);
    const FilePath old_resources = install_folder().Append(L"57.0\\resources");
    WriteFile(old_resources.AppendASCII("custom_partner_content.json"), "old");
    WriteFile(old_resources.AppendASCII("tracking_user_agent.json"), "old");
    MakeInstallation(MakeLog());
    WriteFile(install_folder().AppendASCII("installer_prefs.json"), "{}");
    WriteFile(profile.AppendASCII("Local State"), "{}");
    if (new_version_has_it) {
      base::DeleteFile(partner, false);
      const FilePath resources = package_dir().Append(L"resources");
      WriteFile(resources.AppendASCII("custom_partner_content.json"), "new");
      WriteFilesList({"a.pak", "resources\\custom_partner_content.json"});
    } else {
      WriteFile(partner, "the profile's");
    }
    SetCommandLine(L"--allusers=0 --launchkelvo=0");
    std::unique_ptr<Settings> settings = MakeSettings();
    ASSERT_EQ(OPERATION_UPGRADING, settings->operation());
    Installer installer;
    RunSteps(&installer, settings.get(),
             MakeSteps(InstallStep::ForEachEntry("copy", &StepCopyFile,
                                                 &InstallRun::files),
                       Step(base::BindRepeating([](InstallRun* run) {
                         FinalizeSuccessfulInstallation(run);
                         return StepResult::Succeeded();
                       }))));
    ASSERT_TRUE(installer.succeeded());
    EXPECT_EQ(new_version_has_it ? "new" : "<missing>",
              test::ReadTextFile(partner));
    // Written on the pref pool once the store goes.
    EXPECT_TRUE(
        WaitForText(profile.AppendASCII("Local State"), "\"updated\":true"));
  }
}

// After an elevated upgrade, this process's Status still describes the
// version that the upgrade replaced; the profile's partner content comes
// from the version installed.
TEST_F(PostElevationTasksTest, PartnerContentAfterAnElevatedUpgrade) {
  const FilePath profile =
      root().Append(L"Roaming\\Kelvo Software\\Kelvo Developer");
  const FilePath partner = profile.AppendASCII("custom_partner_content.json");
  const FilePath old_resources = install_folder().Append(L"57.0\\resources");
  WriteFile(old_resources.AppendASCII("custom_partner_content.json"), "old");
  MakeInstallation(MakeLog());
  WriteFile(install_folder().AppendASCII("installer_prefs.json"), "{}");
  WriteFile(profile.AppendASCII("Local State"), "{}");
  // Silent: the browser is not registered for the user again.
  SetCommandLine(L"--post-elevated-install-tasks --allusers=0 --launchkelvo=0");
  std::unique_ptr<Settings> settings = MakeSettings(false, true);
  ASSERT_EQ(OPERATION_UPGRADING, settings->operation());

  // What the elevated copy installed meanwhile.
  InstallLog upgraded = MakeLog();
  upgraded.subfolder = FilePath(L"58.0");
  MakeInstallation(upgraded);
  WriteFile(install_folder()
                .Append(L"58.0\\resources")
                .AppendASCII("custom_partner_content.json"),
            "new");

  Installer installer;
  RunToOutcome(&installer, settings.get());
  ASSERT_TRUE(installer.succeeded());
  EXPECT_EQ("new", test::ReadTextFile(partner));
}

}  // namespace
}  // namespace installer
