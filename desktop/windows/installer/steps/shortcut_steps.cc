#include "desktop/windows/installer/steps/shortcut_steps.h"

#include <memory>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "base/win/shortcut.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shell_integration_platform.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/step_result.h"
#include "desktop/windows/installer/taskbar_pin_verbs.h"

namespace installer {

const wchar_t kPinProgram64Name[] = L"installer_helper_64.exe";
const wchar_t kPinProgram32Name[] = L"installer_helper.exe";
const wchar_t kPinProgramRunName[] = L"explorer.exe";

namespace {

constexpr char kAppUserModelIdPrefix[] = "KelvoSoftware.KelvoWebBrowser.";
// The pin program only asks the shell; it has no reason to take long.
constexpr base::TimeDelta kPinProgramTimeout = base::TimeDelta::FromSeconds(60);

// One of the three kinds of shortcut the installer makes.
struct ShortcutKind {
  int option;
  int all_users_folder_key;
  int user_folder_key;
  base::FilePath InstallLog::*record;
  bool (Status::*exists)() const;
  bool (Status::*recreate)() const;
  const char* preparing_for_all_users;
  const char* preparing_for_user;
  const char* handling;
  const char* removing;
};

constexpr ShortcutKind kShortcutKinds[] = {
    {DESKTOP_SHORTCUT, base::DIR_COMMON_DESKTOP, base::DIR_USER_DESKTOP,
     &InstallLog::desktop_shortcut, &Status::desktop_shortcut_exists,
     &Status::recreate_desktop_shortcut,
     "Preparing  to set up shortcut on common desktop",
     "Preparing  to set up shortcut on user desktop",
     "Handling desktop shortcut:", "Removing desktop shortcut."},
    {START_MENU_SHORTCUT, base::DIR_COMMON_START_MENU, base::DIR_START_MENU,
     &InstallLog::start_menu_shortcut, &Status::start_menu_shortcut_exists,
     &Status::recreate_start_menu_shortcut,
     "Preparing  to set up shortcut in common start menu",
     "Preparing  to set up shortcut in user start menu",
     "Handling start menu shortcut:", "Removing start menu shortcut."},
    // Quick Launch exists only per user.
    {QUICK_LAUNCH_SHORTCUT, base::DIR_USER_QUICK_LAUNCH,
     base::DIR_USER_QUICK_LAUNCH, &InstallLog::quick_launch_shortcut,
     &Status::quick_launch_shortcut_exists,
     &Status::recreate_quick_launch_shortcut,
     "Preparing  to set up shortcut in user quick launch",
     "Preparing  to set up shortcut in user quick launch",
     "Handling quick launch shortcut:", "Removing quick launch shortcut."},
};

// Adds the folder of |kind| to |destinations|; a folder the system does
// not know is logged and skipped.
void AddDestination(InstallRun* run,
                    const ShortcutKind& kind,
                    std::vector<ShortcutDestination>* destinations) {
  const bool all_users = run->settings()->GetOption(ALL_USERS_FLAG);
  base::FilePath folder;
  if (!base::PathService::Get(
          all_users ? kind.all_users_folder_key : kind.user_folder_key,
          &folder)) {
    LOG(ERROR) << "Cannot find the folder for the shortcut";
    return;
  }
  destinations->push_back({folder, kind.record});
}

void PinMasterShortcut(InstallRun* run, const base::FilePath& master) {
  LOG(INFO) << "Pinning master shortcut";
  // Windows 10 lets only the user pin; its pin program acts as the shell.
  const bool pinned =
      ShellIntegrationPlatform::GetInstance()->GetWindowsVersion() >=
              base::win::VERSION_WIN10
          ? RunInstallerHelper(run->package_folder(), master)
          : TaskbarPinVerbs::GetInstance()->Pin(master);
  if (!pinned) {
    LOG(ERROR) << "Failed pinning " << master;
    return;
  }
  run->install_log()->pinned = true;
  run->install_log()->last_band_check = base::Time::Now();
}

bool RunPinProgram(const base::FilePath& program,
                   const base::FilePath& shortcut) {
  base::CommandLine command_line(program);
  command_line.AppendArgPath(shortcut);
  base::Process process =
      base::LaunchProcess(command_line, base::LaunchOptions());
  if (!process.IsValid()) {
    LOG(ERROR) << "Could not launch the helper process";
    return false;
  }
  int exit_code = 0;
  if (!process.WaitForExitWithTimeout(kPinProgramTimeout, &exit_code)) {
    LOG(ERROR) << "Could not wait for helper";
    process.Terminate(1, true);
    return false;
  }
  if (exit_code != 0) {
    LOG(ERROR) << "The helper returned status " << exit_code;
    return false;
  }
  return true;
}

// Whether an old shortcut name shows the version form, and whether the
// old shortcuts need new names.
struct ShortcutNaming {
  bool use_version = false;
  bool rename = false;
};

ShortcutNaming ExamineOldShortcutNames(const InstallLog& old_log) {
  ShortcutNaming naming;
  const std::wstring plain =
      base::FilePath(GetShortcutFileName(false)).RemoveExtension().value();
  for (const ShortcutKind& kind : kShortcutKinds) {
    const base::FilePath& old_path = old_log.*kind.record;
    if (old_path.empty())
      continue;
    const std::wstring name = old_path.BaseName().RemoveExtension().value();
    if (!name.empty() && name.back() >= L'0' && name.back() <= L'9') {
      // The version form, of an older major version.
      naming.use_version = true;
      naming.rename = true;
      break;
    }
    if (name != plain)
      naming.rename = true;
  }
  LOG(INFO) << (naming.use_version ? "Using" : "Not using")
            << " shortcut names with version number";
  if (naming.rename)
    LOG(INFO) << "Shortcuts needs to be renamed";
  return naming;
}

// Keeps, removes, recreates or renames the old shortcut of |kind|, or
// prepares a new one.
void UpdateShortcut(InstallRun* run,
                    const ShortcutKind& kind,
                    const ShortcutNaming& naming,
                    std::vector<ShortcutDestination>* destinations) {
  LOG(INFO) << kind.handling;
  const Status& status = run->status();
  const bool wanted = run->settings()->GetOption(kind.option);
  const base::FilePath& old_path = status.install_log().*kind.record;
  Transaction* transaction = run->transaction();
  if (!(status.*kind.exists)()) {
    if (wanted) {
      LOG(INFO) << "Preparing to add shortcut";
      AddDestination(run, kind, destinations);
    }
    return;
  }
  if (!wanted || (status.*kind.recreate)()) {
    LOG(INFO) << (wanted ? "Recreating shortcut" : "Removing shortcut");
    transaction->Execute(
        std::make_unique<DeleteFileOperation>(old_path, false, false));
    if (wanted)
      AddDestination(run, kind, destinations);
    return;
  }
  base::FilePath new_path = old_path;
  const base::FilePath renamed =
      old_path.DirName().Append(GetShortcutFileName(naming.use_version));
  if (naming.rename && !base::FilePath::CompareEqualIgnoreCase(
                           old_path.value(), renamed.value())) {
    LOG(INFO) << "Moving shortcut";
    if (transaction->Execute(
            std::make_unique<MoveFileOperation>(old_path, renamed))) {
      new_path = renamed;
    } else {
      LOG(ERROR) << "Failed moving shortcut " << old_path;
    }
  }
  run->install_log()->*kind.record = new_path;
}

// Decides whether the master shortcut is pinned, unpinning the old pins
// when they go or are made anew.
bool UpdatePins(InstallRun* run, const ShortcutNaming& naming) {
  LOG(INFO) << "Handling pinned shortcut:";
  const Status& status = run->status();
  const std::vector<base::FilePath>& old_pins = status.pinned_shortcut_paths();
  const bool wanted = run->settings()->GetOption(PINNED_SHORTCUT);
  if (old_pins.empty())
    return wanted;
  if (!wanted) {
    LOG(INFO) << "Unpinning existing shortcuts";
    UnpinShortcut(run, old_pins);
    return false;
  }
  if (status.recreate_pinned_shortcut()) {
    LOG(INFO) << "Unpinning existing shortcuts (with repin)";
    UnpinShortcut(run, old_pins);
    return true;
  }
  if (naming.rename)
    run->install_log()->pinned = true;
  return false;
}

base::FilePath GetLauncherPath(InstallRun* run) {
  return run->install_folder().AppendASCII(kLauncherExeName);
}

}  // namespace

bool CreateMasterShortcut(InstallRun* run,
                          const std::vector<ShortcutDestination>& destinations,
                          bool pin,
                          bool* use_version,
                          const base::FilePath& target) {
  if (!*use_version) {
    const std::wstring plain = GetShortcutFileName(false);
    for (const ShortcutDestination& destination : destinations) {
      if (base::PathExists(destination.folder.Append(plain))) {
        LOG(INFO) << "Using version in shortcut name to avoid collision";
        *use_version = true;
        break;
      }
    }
  }
  const std::wstring name = GetShortcutFileName(*use_version);
  if (*use_version)
    LOG(INFO) << "Using shortcut name " << name;

  LOG(INFO) << "Creating master shortcut";
  const base::FilePath master = run->package_folder().Append(name);
  LOG(INFO) << "Creating master shortcut at " << master;
  base::win::ShortcutProperties properties;
  properties.set_target(target);
  properties.set_working_dir(run->install_folder());
  properties.set_app_id(
      base::UTF8ToWide(kAppUserModelIdPrefix + run->install_log()->app_id));
  if (!base::win::CreateOrUpdateShortcutLink(
          master, properties, base::win::SHORTCUT_CREATE_ALWAYS)) {
    LOG(ERROR) << "Failed to create shortcut at " << master;
    return false;
  }
  if (pin)
    PinMasterShortcut(run, master);

  for (const ShortcutDestination& destination : destinations) {
    const base::FilePath path = destination.folder.Append(name);
    if (run->transaction()->Execute(
            std::make_unique<CopyFileOperation>(master, path))) {
      run->install_log()->*destination.record = path;
    } else {
      LOG(ERROR) << "Failed to copy the shortcut to " << path;
    }
  }
  return true;
}

bool RunInstallerHelper(const base::FilePath& installer_folder,
                        const base::FilePath& shortcut) {
  const base::FilePath program = installer_folder.Append(kPinProgramRunName);
  if (base::PathExists(program) && !base::DeleteFile(program, false)) {
    LOG(ERROR) << "Could not delete the previous helper";
    return false;
  }
  const bool is_64_bit_windows =
      base::win::OSInfo::GetInstance()->architecture() !=
      base::win::OSInfo::X86_ARCHITECTURE;
  if (!base::CopyFile(
          installer_folder.Append(is_64_bit_windows ? kPinProgram64Name
                                                    : kPinProgram32Name),
          program)) {
    LOG(ERROR) << "Could not copy the new helper";
    return false;
  }
  const bool pinned = RunPinProgram(program, shortcut);
  if (!base::DeleteFile(program, false))
    LOG(WARNING) << "Could not delete the helper " << program;
  return pinned;
}

void UnpinShortcut(InstallRun* run,
                   const std::vector<base::FilePath>& shortcuts) {
  for (const base::FilePath& shortcut : shortcuts) {
    LOG(INFO) << "Unpinning shortcut " << shortcut;
    const bool unpinned = TaskbarPinVerbs::GetInstance()->Unpin(shortcut);
    LOG(INFO) << "Unpinning " << (unpinned ? "successful" : "failed");
    run->transaction()->Execute(
        std::make_unique<DeleteFileOperation>(shortcut, false, false));
  }
}

StepResult StepInstallShortcuts(InstallRun* run) {
  Settings* settings = run->settings();
  if (!settings->GetOption(COPY_ONLY)) {
    LOG(INFO) << "Installing shortcuts";
    const bool all_users = settings->GetOption(ALL_USERS_FLAG);
    std::vector<ShortcutDestination> destinations;
    for (const ShortcutKind& kind : kShortcutKinds) {
      if (!settings->GetOption(kind.option))
        continue;
      LOG(INFO) << (all_users ? kind.preparing_for_all_users
                              : kind.preparing_for_user);
      AddDestination(run, kind, &destinations);
    }
    bool use_version = false;
    CreateMasterShortcut(run, destinations,
                         settings->GetOption(PINNED_SHORTCUT), &use_version,
                         GetLauncherPath(run));
  }
  return StepResult::Next();
}

StepResult StepUpdateShortcuts(InstallRun* run) {
  if (!run->settings()->GetOption(COPY_ONLY)) {
    LOG(INFO) << "Updating shortcuts";
    const ShortcutNaming naming =
        ExamineOldShortcutNames(run->status().install_log());
    std::vector<ShortcutDestination> destinations;
    for (const ShortcutKind& kind : kShortcutKinds)
      UpdateShortcut(run, kind, naming, &destinations);
    const bool pin = UpdatePins(run, naming);
    bool use_version = naming.use_version;
    CreateMasterShortcut(run, destinations, pin, &use_version,
                         GetLauncherPath(run));
  }
  return StepResult::Next();
}

StepResult StepRemoveShortcuts(InstallRun* run) {
  LOG(INFO) << "Removing shortctus.";
  const Status& status = run->status();
  if (!status.pinned_shortcut_paths().empty()) {
    LOG(INFO) << "Unpinning shortcuts";
    UnpinShortcut(run, status.pinned_shortcut_paths());
  }
  Transaction* transaction = run->transaction();
  for (const ShortcutKind& kind : kShortcutKinds) {
    if (!(status.*kind.exists)())
      continue;
    LOG(INFO) << kind.removing;
    transaction->Execute(std::make_unique<DeleteFileOperation>(
        status.install_log().*kind.record, false, false));
  }
  if (status.temporary_shortcut_folder_exists()) {
    LOG(INFO) << "Removing temporary shortcut folder.";
    transaction->Execute(std::make_unique<DeleteFileOperation>(
        status.temporary_shortcut_folder(), false, false));
  }
  return StepResult::Next();
}

}  // namespace installer
