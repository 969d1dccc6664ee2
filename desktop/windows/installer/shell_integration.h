// Whether the installed browser is the user's default browser, and making it
// the default: its URL class, the protocols and file types it handles, its
// "StartMenuInternet" client entry, the hand-over to Windows where Windows
// asks the user (see ShellIntegrationPlatform), and the command of the
// browser that handled web links before. Every registry table runs through
// a short transaction of its own, rolled back when one of its rows fails.
//
//   TargetInstallation installation(install_folder);
//   SavePreviousDefaultBrowser(&installation, /*all_users=*/false);
//   bool is_default = SetAsDefaultBrowser(&installation, false);
//
// Names of associations are protocols ("http") or extensions with their
// period (".htm"). "All users" writes under HKEY_LOCAL_MACHINE, else under
// HKEY_CURRENT_USER; per-user classes are read from HKCU\Software\Classes
// before HKLM\Software\Classes, as Windows merges them. Everything runs on
// the caller's thread, which must have COM initialised; failures are
// reported through the results only.

#ifndef DESKTOP_WINDOWS_INSTALLER_SHELL_INTEGRATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SHELL_INTEGRATION_H_

#include <string>

namespace installer {

class Installation;

// The associations that the browser takes over, in registration order.
extern const wchar_t* const kBrowserAssociations[];
extern const size_t kBrowserAssociationCount;

// Whether the browser handles "http" and "https" and, before Windows 8, is
// the StartMenuInternet client.
bool IsDefaultBrowser(Installation* installation);

// Whether the open command of |association| names the installation's
// launcher (or, with |use_product_exe|, its product executable), ignoring
// ASCII case. Never for an installation without a folder.
bool IsOurAssociation(Installation* installation,
                      std::wstring association,
                      bool use_product_exe);

// The open command of |association|: for the current user (the user's
// choice, else the class registered for it) or, with |machine_wide|, as
// registered for the machine. REG_EXPAND_SZ text is expanded. False when
// no command can be read.
bool GetAssociationCommand(const std::wstring& association,
                           bool machine_wide,
                           std::wstring* command);

// Whether the browser is the StartMenuInternet client: through Windows'
// default programs for an all-users installation, else by the registered
// client name.
bool IsDefaultStartMenuInternet(Installation* installation);

// Stores the current "http" command as "Previous Default Browser", unless
// the browser handles "http" already (then true, nothing stored).
bool SavePreviousDefaultBrowser(Installation* installation, bool all_users);
// Writes |command| as "Previous Default Browser" in the product key.
bool StorePreviousDefaultBrowser(const std::wstring& command, bool all_users);

// Registers the browser and makes it the handler of web links and files,
// as far as Windows lets an installer; returns IsDefaultBrowser afterwards.
// A single-profile installation is never made the default (false, nothing
// changed).
bool SetAsDefaultBrowser(Installation* installation, bool all_users);
// Writes the browser's URL class.
bool RegisterAssociations(Installation* installation, bool all_users);
// Makes the browser the handler of |association|: by the registry on
// Windows 7, through the open-with dialog on Windows 8 and through the
// Settings app on Windows 10.
bool SetAsDefaultFor(Installation* installation,
                     std::wstring association,
                     bool all_users);
// Registers the browser as the StartMenuInternet client (before Windows 8).
bool RegisterStartMenuInternet(Installation* installation, bool all_users);

// The target of the Settings app's default apps page for |association|.
std::wstring GetDefaultAppsSettingsTarget(const std::wstring& association);

// Whether an install of that kind needs an elevated administrator: never
// for one, always for all users, else when the folder is not writable.
bool NeedsElevation(bool all_users, bool install_folder_writable);

// Installation::GetCurrent.
Installation* GetCurrentInstallation();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SHELL_INTEGRATION_H_
