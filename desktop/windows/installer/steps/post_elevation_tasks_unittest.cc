#include "desktop/windows/installer/steps/post_elevation_tasks.h"

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
    EXPECT_EQ(recorded ? 1u : 0u, platform_.calls.size());
  }
}

}  // namespace
}  // namespace installer
