#include "desktop/windows/installer/roles/installer_main.h"

#include <objbase.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/at_exit.h"
#include "base/bind.h"
#include "base/command_line.h"
#include "base/features/command_line_feature_reader.h"
#include "base/features/feature_registry.h"
#include "base/features/list_value_feature_reader.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "base/values.h"
#include "base/win/scoped_handle.h"
#include "base/win/windows_version.h"
#include "components/prefs/json_pref_store.h"
#include "desktop/common/autoupdate/updatechecker/globalstorage_win.h"
#include "desktop/windows/crash_reporter/crash_reporter_client.h"
#include "desktop/windows/crash_reporter/crash_reporter_main.h"
#include "desktop/windows/installer/abandoned_run_repair.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/process/log_file.h"
#include "desktop/windows/installer/process/temp_folder.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/roles/folder_permission_mode.h"
#include "desktop/windows/installer/roles/installer_runner_backend.h"
#include "desktop/windows/installer/roles/silent_installer_controller.h"
#include "desktop/windows/installer/roles/usage.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/ui/installer_ui_controller.h"
#include "desktop/windows/installer/uninstall_batch.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {

namespace {

// The flags of a run, each the presence of its switch.
struct StartFlags {
  bool backend = false;
  bool uninstall = false;
  bool silent = false;
  bool run_immediately = false;
  bool autoupdate = false;
  bool replace_old_product = false;
};

// Formatted text to standard output, flushed at once: the parent that reads
// our output through a pipe may be waiting for it.
void PrintToConsole(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fflush(stdout);
}

// Prints the answer to an info switch; false when none is present.
bool AnswerInfoSwitch(const base::CommandLine& command_line) {
  std::string answer;
  if (command_line.HasSwitch(switches::kVersion))
    answer = GetProductVersion();
  else if (command_line.HasSwitch(switches::kInternalVersion))
    answer = GetInternalVersion();
  else if (command_line.HasSwitch(switches::kStream))
    answer = GetStream();
  else
    return false;
  PrintToConsole("%s", answer.c_str());
  return true;
}

// Progress of the installer is logged at verbose level 1 and belongs in the
// log of every run; "v" can ask for more or less (2 adds the engine's line
// for every call of a per-file step, kPerFileLogLevel).
int VerboseLevel(const base::CommandLine& command_line) {
  int level = 1;
  if (command_line.HasSwitch(switches::kV))
    base::StringToInt(command_line.GetSwitchValueASCII(switches::kV), &level);
  return level;
}

void StartLogging(const base::CommandLine& command_line) {
  logging::LoggingSettings settings;
  settings.logging_dest = logging::LOG_TO_FILE;
  settings.log_file = GetLogFilePath().value();
  settings.lock_log = logging::LOCK_LOG_FILE;
  settings.delete_old = logging::DELETE_OLD_LOG_FILE;
  logging::InitLogging(settings);
  logging::SetVlogLevel(VerboseLevel(command_line));
  LOG(INFO) << base::StringPrintf("%s installer starting - version ",
                                  GetProductName().c_str())
            << GetProductVersion() << " " << GetStream();
  LOG(INFO) << "Command line: " << command_line.GetCommandLineString();
}

StartFlags ReadStartFlags(const base::CommandLine& command_line) {
  StartFlags flags;
  flags.backend = command_line.HasSwitch(switches::kBackend);
  flags.uninstall = command_line.HasSwitch(switches::kUninstall);
  flags.silent = command_line.HasSwitch(switches::kSilent);
  flags.run_immediately = command_line.HasSwitch(switches::kRunimmediately);
  flags.autoupdate = command_line.HasSwitch(switches::kAutoupdate);
  flags.replace_old_product =
      command_line.HasSwitch(switches::kReplacetavrelinstallation);
  return flags;
}

// Decides whether this run is an installer.exe started from an unpacked
// package folder (or, for an uninstall, from an installation folder). False
// in |*valid| when an uninstall runs outside an installation folder.
bool IsInsidePackage(const StartFlags& flags,
                     const base::FilePath& own_dir,
                     const base::FilePath& own_file,
                     bool* valid) {
  *valid = true;
  bool has_product_exe =
      base::PathExists(own_dir.AppendASCII(GetProductExeName()));
  if (flags.uninstall) {
    // The uninstaller runs from the version subfolder, whose product
    // executable may have been deleted by hand: the installation's log
    // beside that folder says as much.
    const bool in_version_folder =
        base::PathExists(own_dir.DirName().AppendASCII(kInstallLogFileName));
    if (!has_product_exe && !in_version_folder) {
      LOG(ERROR) << "Requested to uninstall, but we are not in a valid "
                    "installation folder";
      *valid = false;
      return false;
    }
    return true;
  }
  // The name is compared exactly: only the package's own host counts.
  return has_product_exe &&
         base::PathExists(own_dir.AppendASCII(kFilesListName)) &&
         own_file.BaseName().value() == kPackageInstallerExeName;
}

base::FilePath GetInstallFolderFromCommandLine(
    const base::CommandLine& command_line,
    StartFlags* flags) {
  base::FilePath folder;
  if (!command_line.HasSwitch(switches::kInstallfolder))
    return folder;
  folder = command_line.GetSwitchValuePath(switches::kInstallfolder);
  LOG(INFO) << "Install folder from command line: " << folder;
  if (!folder.empty() || !flags->autoupdate)
    return folder;
  // An old autoupdater passes an empty installfolder and the folder as a
  // bare argument; such a run shows the progress window.
  LOG(INFO) << "It looks like we are autoupdating from K12.";
  folder = RecoverInstallFolderFromCommandLine(command_line);
  LOG(INFO) << "Recovered install folder from command line: " << folder;
  if (flags->silent && !folder.empty()) {
    LOG(INFO) << "Configuring for K12 autoupdate.";
    flags->silent = false;
    flags->run_immediately = true;
  }
  return folder;
}

void LogStartFlags(const StartFlags& flags, bool inside_package) {
  LOG(INFO) << "Uninstall:" << flags.uninstall;
  LOG(INFO) << "Replace Tavrel installation:" << flags.replace_old_product;
  LOG(INFO) << "Silent:" << flags.silent;
  LOG(INFO) << "Run Immediately" << flags.run_immediately;
  LOG(INFO) << "Backend" << flags.backend;
  LOG(INFO) << "Inside package" << inside_package;
  LOG(INFO) << "Autoupdate:" << flags.autoupdate;
}

}  // namespace

base::FilePath RecoverInstallFolderFromCommandLine(
    const base::CommandLine& command_line) {
  base::CommandLine::StringVector args = command_line.GetArgs();
  if (args.empty())
    return base::FilePath();
  base::FilePath last(args.back());
  return last.IsAbsolute() ? last : base::FilePath();
}

}  // namespace installer

namespace installer {
namespace {

// One run of RunInstaller: the locals of the start-up and the objects that
// live for the whole run, destroyed in reverse order of creation.
class InstallerEntry {
 public:
  InstallerEntry() = default;
  InstallerEntry(const InstallerEntry&) = delete;
  InstallerEntry& operator=(const InstallerEntry&) = delete;
  ~InstallerEntry() = default;

  bool Run();

 private:
  // The steps after COM is up; the result of the run.
  bool RunRoles(const base::CommandLine& command_line);
  bool RunAfterLogging(const base::CommandLine& command_line);
  // Completes or undoes what killed runs left in the folders this run may
  // work on.
  void RepairKilledRuns(const base::CommandLine& command_line);

  // The loop on which every role posts its work: the UI type only for the
  // interactive front end.
  void CreateMessageLoop();

  // The experiment states of this run: the installed ones for an uninstall,
  // else the "with-feature:" switches.
  void ReadExperimentStates(const base::CommandLine& command_line);

  // The payload of the own executable (unless inside a package) and the
  // download architecture.
  void ReadPayload(const base::CommandLine& command_line);

  // The front end's folder for downloads; false when there is none.
  bool PrepareDownloadFolder(const base::CommandLine& command_line);

  // Options that the update server put in the tracking data.
  void ApplyTrackingDataOptions();

  // Destroys what lives for the whole run, before COM and the singletons go.
  void DestroyRunObjects();

  bool com_initialized_ = false;
  StartFlags flags_;
  base::FilePath current_installation_folder_;
  base::FilePath own_dir_;
  base::FilePath own_file_;
  bool inside_package_ = false;
  base::FilePath install_folder_;

  bool x64_download_ = false;
  base::FilePath download_folder_;
  // Keeps the download folder from being renamed or replaced by a link
  // while the run puts files in it.
  base::win::ScopedHandle held_download_folder_;

  // Owned for the whole run; destroyed by DestroyRunObjects.
  std::unique_ptr<base::MessageLoop> message_loop_;
  std::unique_ptr<PayloadReader> payload_reader_;
  std::unique_ptr<Settings> settings_;
};

bool InstallerEntry::Run() {
  base::CommandLine::Init(0, nullptr);
  const base::CommandLine& command_line =
      *base::CommandLine::ForCurrentProcess();
  if (AnswerInfoSwitch(command_line))
    return true;

  // The singletons it deletes are used until the very end of the run.
  base::AtExitManager at_exit;
  com_initialized_ =
      SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  bool result = RunRoles(command_line);
  DestroyRunObjects();
  if (com_initialized_)
    ::CoUninitialize();
  return result;
}

void InstallerEntry::DestroyRunObjects() {
  // Only the folder itself, when empty: files left in it stay.
  held_download_folder_.Close();
  if (!download_folder_.empty())
    base::DeleteFile(download_folder_, false);
  settings_.reset();
  payload_reader_.reset();
  message_loop_.reset();
}

bool InstallerEntry::RunRoles(const base::CommandLine& command_line) {
  if (GetProductName().empty()) {
    // Every name the installer gives files, keys and objects comes from the
    // branding; without it nothing can be named safely.
    LOG(ERROR) << "No product name in the branding configuration";
    return false;
  }
  // A reporter's own result reaches nobody: it served or it could not.
  if (crash_reporter::RunCrashReporterRole(command_line))
    return true;
  crash_reporter::StartCrashReporterClient(command_line);
  RegisterInstallerFeatures(FeatureRegistry::GetInstance());
  // The store shared with the browser follows the installation this
  // process runs from.
  GlobalStorageWin::Configure(GetProductRegistryKey(), base::BindRepeating([] {
                                return Installation::GetCurrent()->IsCopyOnly();
                              }));
  if (command_line.HasSwitch(switches::kHelp) ||
      command_line.HasSwitch(switches::kQuestionMark)) {
    PrintUsage(l10n::LoadAvailableLanguages());
    return true;
  }
  if (command_line.HasSwitch(switches::kSetFolderPermission)) {
    // Whatever the mode achieved, its caller learns it from the events.
    RunFolderPermissionMode(command_line);
    if (command_line.HasSwitch(switches::kRunUninstallBat))
      RunUninstallBatch(Installation::GetCurrent()->folder());
    return true;
  }

  StartLogging(command_line);
  // Before anything looks at the folders: what a killed run left there
  // would look like an installation, or hide one.
  RepairKilledRuns(command_line);
  current_installation_folder_ = Installation::GetCurrent()->folder();
  return RunAfterLogging(command_line);
}

void InstallerEntry::RepairKilledRuns(const base::CommandLine& command_line) {
  // Only the folder this run works on: the folder of a package run from a
  // download folder, or that folder's parent, is no installation.
  base::FilePath folder;
  if (command_line.HasSwitch(switches::kInstallfolder)) {
    folder = command_line.GetSwitchValuePath(switches::kInstallfolder);
  } else if (command_line.HasSwitch(switches::kUninstall)) {
    // An uninstaller runs from the version subfolder of its installation;
    // a copy elsewhere has none to repair.
    base::FilePath exe_dir;
    if (base::PathService::Get(base::DIR_EXE, &exe_dir))
      folder = GetUninstallerRepairFolder(exe_dir);
    if (folder.empty())
      LOG(INFO) << "No installation around " << exe_dir << " to repair";
  }
  if (!folder.empty() && RepairAbandonedRuns(folder) > 0)
    LOG(INFO) << "Repaired what killed installer runs left in " << folder;
}

bool InstallerEntry::RunAfterLogging(const base::CommandLine& command_line) {
  flags_ = ReadStartFlags(command_line);
  if (!base::PathService::Get(base::DIR_EXE, &own_dir_)) {
    LOG(ERROR) << "Cannot find own dir";
    return false;
  }
  if (!base::PathService::Get(base::FILE_EXE, &own_file_)) {
    LOG(ERROR) << "Cannot find own file path";
    return false;
  }
  bool valid = true;
  inside_package_ = IsInsidePackage(flags_, own_dir_, own_file_, &valid);
  if (!valid)
    return false;
  install_folder_ = GetInstallFolderFromCommandLine(command_line, &flags_);
  LogStartFlags(flags_, inside_package_);
  CreateMessageLoop();
  // Created here, on the main thread, so that the pool outlives every store
  // that worker tasks open later.
  PrefsTaskPool::GetInstance()->set_wait_on_shutdown(true);
  ReadExperimentStates(command_line);
  ReadPayload(command_line);

  LOG(INFO) << "Instantiating settings";
  settings_ = std::make_unique<Settings>(
      command_line, flags_.uninstall, flags_.silent, flags_.autoupdate,
      install_folder_, flags_.replace_old_product, x64_download_ ? 1 : 0);

  if (command_line.HasSwitch(switches::kRegisterKelvoAsProtocolHandler) ||
      flags_.backend) {
    LOG(INFO) << "Running backend";
    InstallerRunnerBackend backend;
    return backend.Run(settings_.get());
  }
  if (!PrepareDownloadFolder(command_line))
    return false;
  ApplyTrackingDataOptions();
  if (!flags_.silent) {
    LOG(INFO) << "Running UI controller";
    InstallerUIController controller;
    return controller.RunUI(settings_.get(), payload_reader_.get(),
                            download_folder_, flags_.run_immediately);
  }
  LOG(INFO) << "Running silent controller";
  SilentInstallerController controller;
  return controller.Run(settings_.get(), payload_reader_.get(),
                        download_folder_);
}

void InstallerEntry::ReadPayload(const base::CommandLine& command_line) {
  bool x64_candidate = inside_package_;
  if (!inside_package_) {
    x64_candidate = base::win::OSInfo::GetInstance()->architecture() ==
                    base::win::OSInfo::X64_ARCHITECTURE;
    payload_reader_ = std::make_unique<PayloadReader>(own_file_);
    switch (payload_reader_->payload_type()) {
      case PAYLOAD_TYPE_TRACKING_DATA:
        LOG(INFO) << "Tracking data: " << payload_reader_->GetPayloadData();
        break;
      case PAYLOAD_TYPE_EXTERNAL_TRACKING_DATA:
        LOG(ERROR) << "External should only ever be reported after calling"
                      "SetPayload";
        break;
      case PAYLOAD_TYPE_FULL_PACKAGE:
        LOG(INFO) << "Found full package";
        x64_candidate = true;
        break;
      case PAYLOAD_TYPE_CORRUPTED:
        LOG(ERROR) << "Corrupted payload";
        [[fallthrough]];
      case PAYLOAD_TYPE_NONE:
        LOG(WARNING) << "Failed reading payload";
        if (command_line.HasSwitch(switches::kServerTrackingBlob)) {
          LOG(INFO) << "Using tracking data from command line";
          payload_reader_->SetExternalTrackingData(
              command_line.GetSwitchValueASCII(switches::kServerTrackingBlob));
        }
        break;
    }
  }
  x64_download_ =
      x64_candidate && IsFeatureEnabled(kInstallerSupportX64Download);
  LOG(INFO) << "Installer architecture: " << (x64_download_ ? "X64" : "X86");
}

bool InstallerEntry::PrepareDownloadFolder(
    const base::CommandLine& command_line) {
  if (command_line.HasSwitch(switches::kTempFolder)) {
    download_folder_ = command_line.GetSwitchValuePath(switches::kTempFolder)
                           .Append(GetInstallerTempFolderName());
    held_download_folder_ = OpenInstallerFolder(download_folder_);
    if (!held_download_folder_.IsValid()) {
      LOG(ERROR) << "Could not create temporary installer folder";
      download_folder_.clear();
      return false;
    }
  } else if (!FindUsableTempDir(GetInstallerTempFolderName(), own_file_,
                                &download_folder_, &held_download_folder_)) {
    LOG(ERROR) << "Could not obtain temporary installer folder";
    download_folder_.clear();
    return false;
  }
  LOG(INFO) << "Installer download folder: " << download_folder_;
  return true;
}

void InstallerEntry::ApplyTrackingDataOptions() {
  if (!payload_reader_ || settings_->GetOption(COPY_ONLY))
    return;
  PayloadType type = payload_reader_->payload_type();
  if (type != PAYLOAD_TYPE_TRACKING_DATA &&
      type != PAYLOAD_TYPE_EXTERNAL_TRACKING_DATA) {
    return;
  }
  std::unique_ptr<base::DictionaryValue> tracking =
      ExtractJsonObjectFromText(payload_reader_->GetPayloadData());
  std::string default_browser;
  std::string send_stats;
  if (!tracking || !tracking->GetString("utm.defbr", &default_browser) ||
      !tracking->GetString("utm.fsce", &send_stats) ||
      !base::IsStringASCII(default_browser) ||
      !base::IsStringASCII(send_stats)) {
    return;
  }
  flags_.run_immediately = true;
  LOG(INFO) << "defbr:" << default_browser;
  settings_->SetDefaultBrowser(default_browser == "true");
  LOG(INFO) << "fsce:" << send_stats;
  settings_->SetEnableStats(send_stats == "true");
}

void InstallerEntry::CreateMessageLoop() {
  CHECK(!base::MessageLoop::current()) << "RunInstaller needs a thread "
                                          "without a message loop";
  if (flags_.backend || flags_.silent) {
    LOG(INFO) << "Using default message loop";
    message_loop_ =
        std::make_unique<base::MessageLoop>(base::MessageLoop::TYPE_DEFAULT);
  } else {
    LOG(INFO) << "Using UI message loop";
    message_loop_ =
        std::make_unique<base::MessageLoop>(base::MessageLoop::TYPE_UI);
  }
}

void InstallerEntry::ReadExperimentStates(
    const base::CommandLine& command_line) {
  FeatureRegistry* registry = FeatureRegistry::GetInstance();
  if (flags_.uninstall) {
    // The states the installation was made with decide how it is removed.
    LOG(INFO) << "Retrieving experiment states from installation folder...";
    scoped_refptr<JsonPrefStore> prefs = OpenJsonPrefStore(
        PrefsTaskPool::GetInstance(),
        current_installation_folder_.AppendASCII(kInstallerPrefsFileName));
    const base::Value* value = nullptr;
    const base::ListValue* experiments = nullptr;
    if (prefs && prefs->GetValue("installer-experiments", &value) &&
        value->GetAsList(&experiments)) {
      ListValueFeatureReader reader(experiments);
      registry->Initialize(&reader);
      LOG(INFO) << "Retrieved experiment states from installation folder";
    }
  } else {
    CommandLineFeatureReader reader(&command_line);
    registry->Initialize(&reader);
    LOG(INFO) << "Obtained experiment states from command line";
  }
  if (IsFeatureEnabled(kInstallerExperimentTest))
    LOG(INFO) << "Test experiment is enabled";
}

}  // namespace
}  // namespace installer

bool RunInstaller() {
  installer::InstallerEntry entry;
  return entry.Run();
}
