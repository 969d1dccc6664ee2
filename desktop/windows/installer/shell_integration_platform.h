// Where Windows takes the default-browser choice out of the installer's
// hands: from Windows 8 on the user must confirm the handler of a protocol
// or file type, in the open-with dialog (Windows 8 and 8.1) or in the
// Settings app (Windows 10). Both are user interface the installer only
// starts, and the Windows version decides which one applies; tests replace
// the three so that every branch can run on any system.
//
//   ShellIntegrationPlatform* platform =
//   ShellIntegrationPlatform::GetInstance(); if (platform->GetWindowsVersion()
//   >= base::win::VERSION_WIN10)
//     platform->OpenDefaultAppsSettings(L"SystemSettings_DefaultApps_Browser");

#ifndef DESKTOP_WINDOWS_INSTALLER_SHELL_INTEGRATION_PLATFORM_H_
#define DESKTOP_WINDOWS_INSTALLER_SHELL_INTEGRATION_PLATFORM_H_

#include <windows.h>

#include <shlobj.h>

#include <memory>
#include <string>

#include "base/callback.h"
#include "base/instance_override.h"
#include "base/win/windows_version.h"

namespace installer {

class ShellIntegrationPlatform {
 public:
  ShellIntegrationPlatform(const ShellIntegrationPlatform&) = delete;
  ShellIntegrationPlatform& operator=(const ShellIntegrationPlatform&) = delete;
  virtual ~ShellIntegrationPlatform();

  // The Win32 one unless a test replaced it. Never destroyed.
  static ShellIntegrationPlatform* GetInstance();

  // The shell functions behind the open-with dialog, as SHOpenWithDialog
  // and SHChangeNotify take their arguments.
  using OpenWithDialog =
      base::RepeatingCallback<HRESULT(HWND owner, const OPENASINFO* info)>;
  using ChangeNotify = base::RepeatingCallback<
      void(LONG event, UINT flags, const void* item1, const void* item2)>;
  // The Win32 platform calling |open_with_dialog| and |change_notify| in
  // place of the shell's functions, which Wine lacks: for tests that stand
  // in for the dialog. The Settings app is reached through COM as always.
  static std::unique_ptr<ShellIntegrationPlatform> CreateWin32ForTesting(
      OpenWithDialog open_with_dialog,
      ChangeNotify change_notify);

  // The version whose rules apply (base::win::GetVersion).
  virtual base::win::Version GetWindowsVersion() = 0;

  // Shows the open-with dialog that registers the handler of |association|
  // (a protocol such as "http" or an extension such as ".htm"), then tells
  // the shell that associations changed. False when the dialog failed.
  virtual bool ShowOpenWithDialog(const std::wstring& association) = 0;

  // Opens the Settings app at its default apps page, then at |target| on
  // it. False when the app could not be started at either step.
  virtual bool OpenDefaultAppsSettings(const std::wstring& target) = 0;

  // Makes GetInstance() answer |platform| while alive. Not thread-safe:
  // set before the code under test runs.
  using ScopedOverrideForTesting =
      base::InstanceOverride<ShellIntegrationPlatform>::Scoped;

 protected:
  ShellIntegrationPlatform() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SHELL_INTEGRATION_PLATFORM_H_
