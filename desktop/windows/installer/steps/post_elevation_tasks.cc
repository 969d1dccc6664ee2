#include "desktop/windows/installer/steps/post_elevation_tasks.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/component_installer.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shell_integration.h"
#include "desktop/windows/installer/shell_integration_platform.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/step_result.h"
#include "desktop/windows/installer/steps/install_steps.h"
#include "desktop/windows/installer/steps/run_preparation.h"

namespace installer {

namespace {

constexpr wchar_t kStartMenuInternetKey[] =
    L"SOFTWARE\\Clients\\StartMenuInternet\\";
constexpr wchar_t kUrlAssociationsKey[] = L"\\Capabilities\\URLAssociations";

void RegisterForCurrentUser(const Settings& settings,
                            Installation* installation) {
  LOG(INFO) << "Ensuring Kelvo is registered for the current user.";
  if (settings.GetOption(DEFAULT_BROWSER)) {
    LOG(INFO) << "Making Kelvo the default browser for the current user.";
    SavePreviousDefaultBrowser(installation, false);
    SetAsDefaultBrowser(installation, false);
  } else {
    LOG(INFO) << "Setting up file handlers for the current user.";
    RegisterAssociations(installation, false);
  }
}

// Whether the install log on disk was loaded into |installation|: an
// elevated install wrote it after this process computed its Status. An
// uninstall has removed it.
bool LoadInstalledLog(InstallRun* run, Installation* installation) {
  if (!base::PathExists(
          run->install_folder().AppendASCII(kInstallLogFileName))) {
    return false;
  }
  installation->LoadInstallLog();
  return true;
}

// The components of the installation as it is now; the Status still has
// those of an uninstalled one.
std::vector<InstallLog::Component> GetComponents(InstallRun* run,
                                                 bool installed_log_loaded,
                                                 Installation* installation) {
  if (installed_log_loaded && !installation->install_log().components.empty())
    return installation->install_log().components;
  return run->status().install_log().components;
}

// A URL scheme: a letter, then letters, digits, "+", "-" and ".".
bool IsProtocolName(const std::wstring& protocol) {
  return !protocol.empty() && base::IsAsciiAlpha(protocol[0]) &&
         std::all_of(protocol.begin(), protocol.end(), [](wchar_t c) {
           return base::IsAsciiAlpha(c) || base::IsAsciiDigit(c) || c == L'+' ||
                  c == L'-' || c == L'.';
         });
}

bool IsRecorded(const std::vector<InstallLog::RegistryKey>& keys,
                const std::wstring& key_path) {
  const std::string wanted = base::ToLowerASCII(base::WideToUTF8(key_path));
  return std::any_of(keys.begin(), keys.end(),
                     [&wanted](const InstallLog::RegistryKey& key) {
                       return base::ToLowerASCII(key.key_path) == wanted;
                     });
}

void RegisterProtocol(InstallRun* run) {
  const std::wstring protocol = run->command_line().GetSwitchValueNative(
      switches::kRegisterKelvoAsProtocolHandler);
  if (!IsProtocolName(protocol)) {
    LOG(ERROR) << "Not a protocol name: \"" << protocol << "\"";
    return;
  }
  // The browser's class: product name and stream run together.
  const std::wstring class_name = run->templates()->Lookup(L"Product") +
                                  run->templates()->Lookup(L"Stream");
  const std::wstring key_path =
      kStartMenuInternetKey + class_name + kUrlAssociationsKey;
  if (!IsRecorded(run->status().install_log().hklm_keys, key_path)) {
    LOG(INFO) << "The installation registered no protocols for all users";
    return;
  }
  base::win::RegKey key;
  LONG result = key.Open(HKEY_LOCAL_MACHINE, key_path.c_str(), KEY_SET_VALUE);
  if (result == ERROR_SUCCESS)
    result = key.WriteValue(protocol.c_str(), class_name.c_str());
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Could not register the protocol " << protocol << ": "
               << result;
  }
  TargetInstallation installation(run->install_folder());
  SetAsDefaultFor(&installation, protocol, false);
}

}  // namespace

void RunPostElevationTasks(InstallRun* run) {
  LOG(INFO) << "Running post elevation installation tasks.";
  const Settings& settings = *run->settings();
  const bool uninstalling = settings.operation() == OPERATION_UNINSTALLING;
  TargetInstallation installation(run->install_folder());
  // From Windows 10 on the user confirms the default browser; a silent run
  // or a browser that has it already asks nothing.
  const bool before_windows_10 =
      ShellIntegrationPlatform::GetInstance()->GetWindowsVersion() <
      base::win::VERSION_WIN10;
  if (!uninstalling && !settings.GetOption(COPY_ONLY) &&
      (before_windows_10 ||
       !(settings.GetOption(SILENT) || run->status().is_http_handler()))) {
    RegisterForCurrentUser(settings, &installation);
  }
  const bool installed_log_loaded = LoadInstalledLog(run, &installation);
  for (const InstallLog::Component& component :
       GetComponents(run, installed_log_loaded, &installation)) {
    base::CommandLine switches(base::CommandLine::NO_PROGRAM);
    switches.AppendSwitch(switches::kPostElevatedInstallTasks);
    switches.AppendSwitchPath(switches::kInstallfolder, component.path);
    StartComponentInstaller(component, run->install_folder(), switches);
  }
  if (uninstalling)
    return;
  // The profile's partner content comes from the version just installed,
  // not from the one the Status saw before the elevated run replaced it.
  const base::FilePath& subfolder = installation.install_log().subfolder;
  if (installed_log_loaded && !subfolder.empty())
    run->install_log()->subfolder = subfolder;
  FinalizeSuccessfulInstallation(run);
}

StepResult StepRegisterAsProtocolHandler(InstallRun* run) {
  // The prefs are written again after this step.
  ReadExperimentsOfInstallation(run);
  if (run->status().existing_installation())
    RegisterProtocol(run);
  else
    LOG(INFO) << "No installation to register as protocol handler";
  return StepResult::Next();
}

}  // namespace installer
