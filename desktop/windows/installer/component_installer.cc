#include "desktop/windows/installer/component_installer.h"

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/install_log_checks.h"

namespace installer {

namespace {

constexpr char kInstallerSuffix[] = "_installer.exe";
constexpr char kSuiteName[] = "suite";
constexpr char kAssistantName[] = "assistant";

}  // namespace

base::FilePath GetComponentInstallerPath(const base::FilePath& folder,
                                         const std::string& name) {
  base::FilePath path =
      folder.Append(base::UTF8ToWide(name + kInstallerSuffix));
  if (name == kSuiteName && !base::PathExists(path)) {
    LOG(INFO) << "Rewriting component installer name from " << name
              << " to: " << kAssistantName;
    path = folder.AppendASCII(std::string(kAssistantName) + kInstallerSuffix);
  }
  return path;
}

bool IsComponentOfInstallation(const InstallLog::Component& component,
                               const base::FilePath& install_folder) {
  if (!IsSafePlainName(component.name) ||
      !install_folder.IsParentIgnoringCase(component.path) ||
      component.path.ReferencesParent()) {
    LOG(ERROR) << "Refusing the component \"" << component.name << "\" at "
               << component.path << ": not inside " << install_folder;
    return false;
  }
  return true;
}

bool StartComponentInstaller(const InstallLog::Component& component,
                             const base::FilePath& install_folder,
                             const base::CommandLine& switches) {
  if (!IsComponentOfInstallation(component, install_folder))
    return false;
  base::CommandLine command_line(
      GetComponentInstallerPath(component.path, component.name));
  command_line.AppendArguments(switches, false);
  LOG(INFO) << "Launching " << component.name
            << " component subinstaller with command line "
            << command_line.GetCommandLineString();
  if (!base::LaunchProcess(command_line, base::LaunchOptions()).IsValid()) {
    LOG(ERROR) << "Could not start " << command_line.GetProgram();
    return false;
  }
  return true;
}

}  // namespace installer
