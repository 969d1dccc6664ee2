#include "desktop/windows/installer/steps/run_preparation.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/features/command_line_feature_reader.h"
#include "base/features/feature_registry.h"
#include "base/features/list_value_feature_reader.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "base/values.h"
#include "components/prefs/json_pref_store.h"
#include "desktop/windows/installer/install_log_checks.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

namespace {

constexpr char kInstallerExperimentsPref[] = "installer-experiments";
// Version subfolder names tried after the plain version: "<version>_0" up
// to this suffix.
constexpr int kMaxVersionSubfolderSuffix = 99;

// The non-empty lines of the list file |path|, whitespace kept.
bool ReadListFile(const base::FilePath& path, std::vector<std::string>* list) {
  std::string text;
  if (!base::ReadFileToString(path, &text)) {
    PLOG(ERROR) << "Cannot read " << path;
    return false;
  }
  *list = base::SplitString(text, "\r\n", base::KEEP_WHITESPACE,
                            base::SPLIT_WANT_NONEMPTY);
  return true;
}

// Whether every entry stays below the folder it is joined to.
bool AreSafeEntries(const std::vector<std::string>& list,
                    const char* list_name) {
  for (const std::string& entry : list) {
    if (!IsSafeRelativePath(base::FilePath::FromUTF8Unsafe(entry))) {
      LOG(ERROR) << "Refusing the entry \"" << entry << "\" of " << list_name
                 << ": it leads out of its folder";
      return false;
    }
  }
  return true;
}

void PrepareInstallLog(InstallRun* run) {
  const Settings& settings = *run->settings();
  InstallLog* log = run->install_log();
  log->copy_only = settings.GetOption(COPY_ONLY);
  log->all_users = settings.GetOption(ALL_USERS_FLAG);
  log->install_path = run->install_folder();
  log->version = GetProductVersion();
  const std::string& existing_app_id = run->status().install_log().app_id;
  if (settings.operation() == OPERATION_UPGRADING && !existing_app_id.empty()) {
    log->app_id = existing_app_id;
    return;
  }
  log->app_id = base::Int64ToString(base::Time::Now().ToTimeT());
  LOG(INFO) << "AppId for new installation: " << log->app_id;
}

StepResult ReadFilesLists(InstallRun* run) {
  LOG(INFO) << "Reading files list";
  const base::FilePath& package = run->package_folder();
  std::vector<std::string> files;
  std::vector<std::string> root_files;
  if (!ReadListFile(package.AppendASCII(kFilesListName), &files))
    return StepResult::Error(IDS_ERROR_INSTALL, "Could not read files list");
  if (files.empty())
    return StepResult::Error(IDS_ERROR_INSTALL, "No files in files list");
  const base::FilePath root_list = package.AppendASCII(kRootFilesListName);
  if (base::PathExists(root_list)) {
    if (!ReadListFile(root_list, &root_files)) {
      return StepResult::Error(IDS_ERROR_INSTALL,
                               "Could not read root files list");
    }
    LOG(INFO) << "Read root files list";
  }
  if (!AreSafeEntries(files, kFilesListName) ||
      !AreSafeEntries(root_files, kRootFilesListName)) {
    return StepResult::Error(IDS_ERROR_INSTALL,
                             "Unsafe entry in the files lists");
  }
  run->set_files(std::move(files), std::move(root_files));
  return StepResult::Next();
}

StepResult CreateVersionSubfolder(InstallRun* run) {
  const base::FilePath& install_folder = run->install_folder();
  const std::wstring version = base::ASCIIToWide(GetProductVersion());
  std::wstring name = version;
  for (int suffix = 0; base::PathExists(install_folder.Append(name));
       ++suffix) {
    if (suffix > kMaxVersionSubfolderSuffix) {
      LOG(ERROR) << "No free name for the version subfolder";
      return StepResult::Error(IDS_ERROR_CREATE_FOLDER, version,
                               "Creating installation subfolder failed");
    }
    name = version + L"_" + base::NumberToString16(suffix);
  }
  LOG(INFO) << "Installation subfolder " << name;
  run->install_log()->subfolder = base::FilePath(name);
  if (!run->transaction()->Execute(std::make_unique<CreateFolderOperation>(
          install_folder.Append(name)))) {
    return StepResult::Error(IDS_ERROR_CREATE_FOLDER, name,
                             "Creating installation subfolder failed");
  }
  return StepResult::Next();
}

StepResult MoveBrowserExecutableAside(InstallRun* run) {
  const std::string exe_name = GetProductExeName();
  const base::FilePath& install_folder = run->install_folder();
  const Status& status = run->status();
  // Without a readable log, the browser of every version folder may run.
  for (const base::FilePath& version_folder :
       status.InstalledVersionFolders()) {
    const base::FilePath exe =
        install_folder.Append(version_folder).AppendASCII(exe_name);
    if (status.install_log_recovered() && !base::PathExists(exe))
      continue;
    if (!run->transaction()->Execute(std::make_unique<DeleteFileOperation>(
            exe, true, true, install_folder))) {
      return StepResult::Error(
          IDS_ERROR_BROWSER_RUNNING,
          "Can't uninstall when " + exe_name + " is in use");
    }
  }
  return StepResult::Next();
}

void ReadLauncherBitness(InstallRun* run) {
  bool is_64_bit = false;
  const bool known = GetExecutableIs64Bit(
      run->install_folder().AppendASCII(kLauncherExeName), &is_64_bit);
  run->set_launcher_bitness(known, is_64_bit);
  if (known)
    LOG(INFO) << "Installed launcher is 64-bit: " << is_64_bit;
}

}  // namespace

void ReadExperimentsOfInstallation(InstallRun* run) {
  scoped_refptr<JsonPrefStore> prefs = OpenJsonPrefStore(
      PrefsTaskPool::GetInstance(),
      run->install_folder().AppendASCII(kInstallerPrefsFileName));
  const base::Value* value = nullptr;
  const base::ListValue* experiments = nullptr;
  if (prefs->GetValue(kInstallerExperimentsPref, &value) &&
      value->GetAsList(&experiments)) {
    // The installation's states first, so that switches win.
    FeatureRegistry* registry = FeatureRegistry::GetInstance();
    ListValueFeatureReader list_reader(experiments);
    registry->Initialize(&list_reader);
    CommandLineFeatureReader command_line_reader(&run->command_line());
    registry->Initialize(&command_line_reader);
  }
  if (run->status().experiments().IsEnabled(kInstallerExperimentTest) !=
      IsFeatureEnabled(kInstallerExperimentTest)) {
    LOG(INFO) << "Changing the status of the test experiment.";
  }
}

StepResult PrepareRun(InstallRun* run) {
  const SettingsOperation operation = run->settings()->operation();
  PrepareInstallLog(run);
  if (operation != OPERATION_UNINSTALLING) {
    StepResult result = ReadFilesLists(run);
    if (!result.is_next())
      return result;
    result = CreateVersionSubfolder(run);
    if (!result.is_next())
      return result;
  } else {
    StepResult result = MoveBrowserExecutableAside(run);
    if (!result.is_next())
      return result;
  }
  if (operation == OPERATION_UPGRADING)
    ReadExperimentsOfInstallation(run);
  ReadLauncherBitness(run);
  return StepResult::Next();
}

}  // namespace installer
