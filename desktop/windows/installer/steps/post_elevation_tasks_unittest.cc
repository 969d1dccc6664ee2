#include "desktop/windows/installer/steps/post_elevation_tasks.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/steps/install_step.h"
#include "desktop/windows/installer/steps/install_steps.h"
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

}  // namespace
}  // namespace installer
