// A ShellIntegrationPlatform of a chosen Windows version that records the
// dialog and the Settings pages it is asked to show and answers as the test
// says, installed while it lives. Windows versions other than the running
// one, and the user's answers, exist only here: under Wine the real dialog
// and Settings app are missing.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SHELL_PLATFORM_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SHELL_PLATFORM_H_

#include <string>
#include <vector>

#include "desktop/windows/installer/shell_integration_platform.h"

namespace installer {
namespace test {

class FakeShellPlatform : public ShellIntegrationPlatform {
 public:
  base::win::Version GetWindowsVersion() override { return version; }
  bool ShowOpenWithDialog(const std::wstring& association) override {
    calls.push_back(L"open-with " + association);
    return dialog_result;
  }
  bool OpenDefaultAppsSettings(const std::wstring& target) override {
    calls.push_back(L"settings " + target);
    return settings_result;
  }

  base::win::Version version = base::win::VERSION_WIN10_TH2;
  // What the dialog and the Settings app answer: both fail by default, as
  // the real ones do under Wine.
  bool dialog_result = false;
  bool settings_result = false;
  // "open-with ASSOCIATION" and "settings TARGET", in order.
  std::vector<std::wstring> calls;

 private:
  ScopedOverrideForTesting override_{this};
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SHELL_PLATFORM_H_
