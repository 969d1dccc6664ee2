#include "desktop/windows/installer/steps/install_components_step.h"

#include <algorithm>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/component_installer.h"
#include "desktop/windows/installer/install_log_checks.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/package_fetcher/signature_checker.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/step_result.h"

namespace installer {

namespace {

// Whether |component| may run: always when this installer is itself
// unsigned (a development build), else only with a valid signature.
bool IsTrustedComponentInstaller(const base::FilePath& component) {
  base::FilePath own_exe;
  bool own_signed = false;
  if (base::PathService::Get(base::FILE_EXE, &own_exe) &&
      IsPEFile(own_exe, &own_signed) && !own_signed) {
    return true;
  }
  std::string error;
  if (VerifyFileSignature(component, &error))
    return true;
  bool component_signed = false;
  IsPEFile(component, &component_signed);
  LOG(ERROR) << "Signature error for component installer " << component
             << " signed = " << component_signed << ", installer " << own_exe
             << " signed = " << own_signed << ": " << error;
  return false;
}

// Runs the installer of one component; true when it succeeded. Sets
// |*interrupted| when the run was interrupted meanwhile.
bool RunComponentInstaller(InstallRun* run,
                           const std::string& name,
                           const std::string& folder,
                           bool* interrupted) {
  LOG(INFO) << "Processing component " << name;
  const base::FilePath program = GetComponentInstallerPath(
      run->package_folder().DirName().Append(base::UTF8ToWide(folder)), name);
  if (!base::PathExists(program)) {
    LOG(ERROR) << "Component installer does not exist " << program;
    return false;
  }
  if (!IsTrustedComponentInstaller(program))
    return false;
  const Settings& settings = *run->settings();
  base::CommandLine command_line(program);
  command_line.AppendSwitchPath(
      switches::kInstallfolder,
      run->install_folder().Append(base::UTF8ToWide(name)));
  command_line.AppendSwitchASCII(switches::kCopyonly,
                                 settings.GetOption(COPY_ONLY) ? "1" : "0");
  command_line.AppendSwitchASCII(
      switches::kAllusers, settings.GetOption(ALL_USERS_FLAG) ? "1" : "0");
  LOG(INFO) << "Running component installer "
            << command_line.GetCommandLineString();
  base::Process process =
      base::LaunchProcess(command_line, base::LaunchOptions());
  if (!process.IsValid()) {
    LOG(ERROR) << "Could not start the component installer " << program;
    return false;
  }
  int exit_code = -1;
  switch (run->WaitForChildProcess(process, "the " + name + " installer",
                                   &exit_code)) {
    case ChildWaitResult::kAbandoned:
      *interrupted = true;
      return false;
    case ChildWaitResult::kFailed:
    case ChildWaitResult::kUnexpected:
      return false;
    case ChildWaitResult::kExited:
      break;
  }
  LOG(INFO) << "Component installer returned " << exit_code;
  return exit_code == 0;
}

}  // namespace

StepResult StepInstallComponents(InstallRun* run) {
  LOG(INFO) << "Installing Components";
  InstallLog* log = run->install_log();
  if (run->settings()->operation() == OPERATION_UPGRADING)
    log->components = run->status().install_log().components;
  const base::CommandLine& own = run->command_line();
  if (!own.HasSwitch(switches::kComponents)) {
    return StepResult::Next();
  }
  const std::string components =
      base::WideToUTF8(own.GetSwitchValueNative(switches::kComponents));
  LOG(INFO) << "Components present : " << components;
  for (const std::string& entry : base::SplitString(
           components, "|", base::TRIM_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
    const std::vector<std::string> parts = base::SplitString(
        entry, ":", base::TRIM_WHITESPACE, base::SPLIT_WANT_ALL);
    // Both parts become path components.
    if (parts.size() != 2 || !IsSafePlainName(parts[0]) ||
        !IsSafePlainName(parts[1])) {
      LOG(ERROR) << "Skipping the component entry \"" << entry
                 << "\": not a name and a folder";
      continue;
    }
    const std::string& name = parts[0];
    bool interrupted = false;
    const bool installed =
        RunComponentInstaller(run, name, parts[1], &interrupted);
    if (interrupted) {
      return StepResult::Cancelled();
    }
    const bool recorded = std::any_of(
        log->components.begin(), log->components.end(),
        [&name](const InstallLog::Component& c) { return c.name == name; });
    if (installed && !recorded) {
      log->components.push_back(
          {name, run->install_folder().Append(base::UTF8ToWide(name))});
    }
  }
  return StepResult::Next();
}

}  // namespace installer
