#include "desktop/windows/installer/shell_integration_platform.h"

#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/windows_version.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// The Win32 platform itself. Wine has neither the open-with dialog
// (SHOpenWithDialog answers E_NOTIMPL) nor the Settings app's activation
// manager (the class is not registered): the platform must report both as
// failures, with the reason, and go on. What a user answers in them is
// the fake platform's to play.
TEST(ShellIntegrationPlatformTest, DialogAndSettingsAppThatCannotRunFail) {
  base::win::ScopedCOMInitializer com;
  ASSERT_TRUE(com.Succeeded());
  ShellIntegrationPlatform* platform = ShellIntegrationPlatform::GetInstance();
  EXPECT_EQ(base::win::GetVersion(), platform->GetWindowsVersion());

  base::ScopedLogCapture log;
  EXPECT_FALSE(platform->ShowOpenWithDialog(L"kelvotestproto"));
  EXPECT_TRUE(
      log.Contains("Open-with dialog for kelvotestproto failed: 0x80004001"));
  EXPECT_FALSE(
      platform->OpenDefaultAppsSettings(L"SystemSettings_DefaultApps_Browser"));
  EXPECT_TRUE(log.Contains("No application activation manager: 0x80040154"));
}

}  // namespace
}  // namespace installer
