#include "desktop/windows/installer/post_elevation_tasks.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/win/registry.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using PostElevationTasksTest = test::StepsTest;

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
    EXPECT_EQ(recorded ? 1u : 0u, platform_.settings_pages.size());
  }
}

// After an elevated uninstall the user's installer only starts the
// components' per-user tasks: it registers and starts nothing.
TEST_F(PostElevationTasksTest, UninstallOnlyStartsComponentTasks) {
  InstallLog log = MakeLog();
  const base::FilePath suite = install_folder().Append(L"suite");
  log.components = {{"suite", suite}};
  MakeInstallation(log);
  const base::FilePath component =
      MakeStandIn(suite, L"suite_installer.exe", 0);
  const base::FilePath browser =
      MakeStandIn(install_folder(), L"launcher.exe", 0);
  SetCommandLine(L"--uninstall --post-elevated-install-tasks --launchkelvo=1");
  std::unique_ptr<Settings> settings = MakeUninstallSettings();
  Installer installer;
  RunToOutcome(&installer, settings.get());

  EXPECT_TRUE(installer.succeeded());
  for (int i = 0; i < 300 && StandInRuns(component).empty(); ++i)
    ::Sleep(100);
  ASSERT_EQ(1u, StandInRuns(component).size());
  EXPECT_NE(std::string::npos,
            StandInRuns(component)[0].find("--post-elevated-install-tasks "
                                           "--installfolder=\"" +
                                           suite.AsUTF8Unsafe() + "\""));
  EXPECT_TRUE(StandInRuns(browser).empty());
  EXPECT_TRUE(platform_.settings_pages.empty());
}

}  // namespace
}  // namespace installer
