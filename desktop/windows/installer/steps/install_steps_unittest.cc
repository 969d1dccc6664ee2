// Installs and upgrades from an unpacked package of a few hundred files,
// with real files and registry, and failures injected into the middle of
// them. The task scheduler, the firewall and the taskbar are fakes.

#include "desktop/windows/installer/steps/install_steps.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/base_paths.h"
#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/memory/ref_counted.h"
#include "base/single_thread_task_runner.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_path_override.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/engine/installer.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/steps/install_components_step.h"
#include "desktop/windows/installer/steps/registry_steps.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/registry_rows_check.h"
#include "desktop/windows/installer/test/scoped_operation_fault.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::MakeStandIn;
using test::ReadTextFile;
using test::StandInRuns;

constexpr int kPackageFiles = 300;
constexpr wchar_t kClassKey[] = L"Software\\Classes\\Kelvodeveloper";
// Rows of the main table that a per-user install writes: all but the three
// of a later release channel and the one for the machine only.
constexpr size_t kPerUserRows = 57 - 3 - 1;

size_t CountValues(const std::vector<InstallLog::RegistryKey>& keys) {
  size_t count = 0;
  for (const InstallLog::RegistryKey& key : keys)
    count += key.values.size();
  return count;
}

bool HasRegistryKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
  return base::win::RegKey(root, path.c_str(), KEY_READ | view).Valid();
}

// Plays a program that writes its own content over the files the
// installer stages in the temporary folder, at the moment their copy into
// the install folder starts, which the copy's log line marks.
bool WriteOverStagedFile(logging::LogSeverity severity,
                         const char* file,
                         int line,
                         const std::string& message) {
  const size_t from = message.find("Copying ");
  const size_t to = message.find(" to ", from);
  if (from == std::string::npos || to == std::string::npos)
    return false;
  const std::string destination = message.substr(to + 4);
  std::string content;
  if (destination.find("installer_prefs.json") != std::string::npos)
    content = "{\"evil\": true}";
  else if (destination.find("installation_status.xml") != std::string::npos)
    content = "<evil/>";
  else
    return false;
  const base::FilePath source(
      base::UTF8ToWide(message.substr(from + 8, to - from - 8)));
  base::File staged(source, base::File::FLAG_OPEN | base::File::FLAG_WRITE |
                                base::File::FLAG_SHARE_DELETE);
  if (staged.IsValid()) {
    const int size = static_cast<int>(content.size());
    staged.Write(0, content.data(), size);
    staged.SetLength(size);
  }
  return false;
}

class InstallStepsTest : public test::StepsTest {
 protected:
  // The package: the browser stand-in, data files in nested folders, a root
  // file, the launcher, prefs to include, overrides and tracking data, and
  // a component beside it.
  void SetUp() override {
    StepsTest::SetUp();
    files_ = {"kelvo.exe"};
    MakeStandIn(package_dir(), L"kelvo.exe", 0);
    for (int i = 0; i < kPackageFiles; ++i) {
      files_.push_back(
          base::StringPrintf("resources\\%02d\\data_%04d.pak", i % 16, i));
      WriteFile(package_dir().AppendASCII(files_.back()),
                std::string(64 + i, static_cast<char>('a' + i % 26)));
    }
    const std::vector<std::string> root_files = {"visual_elements.xml"};
    WriteFile(package_dir().AppendASCII(root_files[0]), "<Application/>");
    WriteFilesList(files_, &root_files);
    MakeStandIn(package_dir(), L"launcher.exe", 0);
    WriteFile(package_dir().AppendASCII("installer_prefs_include.json"),
              "{\"welcome-url\": \"https://welcome.example/\"}");
    WriteFile(package_dir().AppendASCII("pref_default_overrides"), "{}");
    WriteFile(package_dir().AppendASCII("server_tracking_data"), "tracking");
    component_ =
        MakeStandIn(root().Append(L"suite"), L"suite_installer.exe", 0);
  }

  // One run of the backend on |folder|; its events. With |fault| >= 0 that
  // change fails.
  std::vector<std::string> RunInstall(const FilePath& folder, int fault = -1) {
    set_install_folder(folder);
    SetCommandLine(
        L"--allusers=0 --launchkelvo=0 --components=suite:suite"
        L" --server-tracking-data=server_tracking_data");
    std::unique_ptr<Settings> settings = MakeSettings();
    Installer installer;
    test::InstallerEventRecorder recorder(&installer);
    std::unique_ptr<test::ScopedOperationFault> injector;
    if (fault >= 0) {
      injector = std::make_unique<test::ScopedOperationFault>(
          fault, Transaction::InjectedFault::kAfterChange);
    }
    RunToOutcome(&installer, settings.get());
    EXPECT_TRUE(!injector || injector->fired());
    return recorder.events();
  }

  // Everything an install changes: the folder's parent and every key of
  // the tables, in both views.
  test::MachineSnapshot Snapshot() {
    test::SnapshotScope scope;
    scope.folders.push_back(install_folder().DirName());
    for (const wchar_t* key :
         {L"Software\\Classes", L"Software\\Clients",
          L"Software\\RegisteredApplications",
          L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags",
          L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
          L"Software\\Kelvo Software"}) {
      scope.keys.push_back({HKEY_CURRENT_USER, key});
    }
    return test::TakeSnapshot(scope);
  }

  // The install log written; every file of the package in the installation
  // with the same bytes, every value the log records in the registry in its
  // view, the component recorded.
  InstallLog ExpectInstalled() {
    InstallLog log;
    InstallLogReader reader;
    EXPECT_TRUE(reader.Read(
        &log, install_folder().AppendASCII("installation_status.xml")))
        << reader.error();
    const FilePath version_folder = install_folder().Append(log.subfolder);
    EXPECT_EQ(files_.size(), log.files.size());
    for (const std::string& file : files_) {
      EXPECT_EQ(ReadTextFile(package_dir().AppendASCII(file)),
                ReadTextFile(version_folder.AppendASCII(file)))
          << file;
    }
    EXPECT_EQ(1u, log.root_files.size());
    EXPECT_TRUE(log.hklm_keys.empty());
    EXPECT_EQ(kPerUserRows, CountValues(log.hkcu_keys));
    RowTemplates templates(install_folder());
    for (const InstallLog::RegistryKey& key : log.hkcu_keys) {
      const std::wstring path = base::UTF8ToWide(key.key_path);
      if (path.rfind(GetUninstallRegistryKey(), 0) == 0)
        templates.set_uninstall_key_name(path);
    }
    EXPECT_TRUE(test::RowsWritten(GetMainRegistryTable(), HKEY_CURRENT_USER,
                                  &templates));
    EXPECT_EQ(1u, log.components.size());
    return log;
  }

  std::unique_ptr<base::DictionaryValue> ReadPrefs() {
    return base::DictionaryValue::From(base::JSONReader::Read(
        ReadTextFile(install_folder().AppendASCII("installer_prefs.json"))));
  }

  std::vector<std::string> files_;
  FilePath component_;
};

// An install puts everything in place; a failed install leaves nothing,
// not even its prefs; a failed upgrade leaves the installation as it was;
// an upgrade replaces it.
TEST_F(InstallStepsTest, InstallUpgradeAndFailuresOfBoth) {
  const FilePath folder = root().Append(L"Programs\\Kelvo");
  // The version subfolder is the first free name.
  const std::string version = GetProductVersion();
  ASSERT_TRUE(base::CreateDirectory(folder.AppendASCII(version)));
  ASSERT_TRUE(base::CreateDirectory(folder.AppendASCII(version + "_0")));
  std::vector<std::string> events = RunInstall(folder);
  ASSERT_EQ("success", events.back());
  const InstallLog installed = ExpectInstalled();
  EXPECT_EQ(version + "_1", installed.subfolder.AsUTF8Unsafe());
  const int steps = std::count(events.begin(), events.end(), "step");
  EXPECT_EQ("total " + base::IntToString(steps), events[1]);
  EXPECT_EQ("tracking",
            ReadTextFile(folder.AppendASCII("server_tracking_data")));
  EXPECT_EQ(1u, StandInRuns(component_).size());
  std::unique_ptr<base::DictionaryValue> prefs = ReadPrefs();
  ASSERT_TRUE(prefs);
  for (const char* key :
       {"welcome-url", "single_profile", "installer-experiments",
        "all-installer-experiments", "autoupdate", "import_browser_data",
        "enable_stats"}) {
    EXPECT_TRUE(prefs->HasKey(key)) << key;
  }
  // The autoupdate task of a per-user install.
  const TaskInfo& task = tasks_.created.at(0);
  EXPECT_EQ(L"Autoupdate " + base::UTF8ToWide(installed.app_id), task.name);
  EXPECT_EQ(folder.AppendASCII("launcher.exe"), task.command_line.GetProgram());
  EXPECT_EQ(L"--scheduledautoupdate $(Arg0)",
            task.command_line.GetArgumentsString());
  EXPECT_EQ(L"Keeps Kelvo up to date.", task.description);
  EXPECT_FALSE(task.run_as_system);
  EXPECT_EQ(3600u, task.time_limit_seconds);
  EXPECT_EQ(TaskInfo::kDaily, task.trigger_kind);
  EXPECT_TRUE(task.start_up_trigger);
  EXPECT_TRUE(task.network_required);
  EXPECT_EQ(L"AddFirewallRules " +
                folder.Append(installed.subfolder).Append(L"kelvo.exe").value(),
            firewall_.calls.back());

  // Installs that fail among the files, or when saving the install log
  // after the prefs were written, leave no trace.
  const FilePath failing = root().Append(L"Programs\\Failing");
  test::MachineSnapshot before = Snapshot();
  events = RunInstall(failing, 20);
  EXPECT_EQ(0u, events[events.size() - 2].rfind(
                    "error 37062 Failed copying resources\\", 0));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
  ASSERT_TRUE(
      base::CreateDirectory(failing.AppendASCII("installation_status.xml")));
  before = Snapshot();
  events = RunInstall(failing);
  EXPECT_EQ("error 37055 Failed saving the installation status",
            events[events.size() - 2]);
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  // An upgrade that fails among the files leaves the installation as it
  // was (before any upgrade preserved a version for the next to remove).
  before = Snapshot();
  EXPECT_EQ("terminated", RunInstall(folder, 40).back());
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  // The upgrade cleans up what the install recorded, by level: the open
  // command's parent with its subtree, only our own value beside others'.
  const std::wstring foreign_key =
      std::wstring(kClassKey) + L"\\shell\\open\\x";
  const std::wstring open_with = L"Software\\Classes\\.htm\\OpenWithProgIDs";
  for (const std::wstring& key : {foreign_key, open_with}) {
    ASSERT_EQ(ERROR_SUCCESS,
              base::win::RegKey(HKEY_CURRENT_USER, key.c_str(), KEY_WRITE)
                  .WriteValue(L"Foreign", L""));
  }
  WriteFile(folder.AppendASCII("installer_prefs.json"),
            "{\"au_task_error_count\": 2, \"kept\": true}");
  ASSERT_EQ("success", RunInstall(folder).back());
  const InstallLog upgraded = ExpectInstalled();
  EXPECT_EQ(installed.app_id, upgraded.app_id);
  EXPECT_EQ(version + "_2", upgraded.subfolder.AsUTF8Unsafe());
  EXPECT_FALSE(HasRegistryKey(HKEY_CURRENT_USER, foreign_key));
  EXPECT_TRUE(base::win::RegKey(HKEY_CURRENT_USER, open_with.c_str(), KEY_READ)
                  .HasValue(L"Foreign"));
  // The task's error count goes down, in the prefs just written.
  prefs = ReadPrefs();
  ASSERT_TRUE(prefs);
  int error_count = 0;
  EXPECT_TRUE(prefs->GetInteger("au_task_error_count", &error_count));
  EXPECT_EQ(1, error_count);
  EXPECT_TRUE(prefs->HasKey("kept") && prefs->HasKey("autoupdate"));

  // The shared test registry gets its keys back.
  Installer cleaner;
  RunSteps(&cleaner, MakeSettings().get(),
           MakeSteps(Step(&StepCleanupRegistry)));
  base::win::RegKey(HKEY_CURRENT_USER, open_with.c_str(), KEY_WRITE)
      .DeleteValue(L"Foreign");
}

// The prefs and the install log are staged in the temporary folder, which
// other programs may write: what such a program wrote there once they were
// written was installed as the per-machine prefs and the install log.
TEST_F(InstallStepsTest, StagedFilesWrittenByAnotherProgramAreNotInstalled) {
  const logging::LogMessageHandlerFunction previous =
      logging::GetLogMessageHandler();
  const int vlog_level = logging::GetVlogLevel();
  logging::SetVlogLevel(1);
  logging::SetLogMessageHandler(&WriteOverStagedFile);
  RunInstall(root().Append(L"Kelvo"));
  logging::SetLogMessageHandler(previous);
  logging::SetVlogLevel(vlog_level);

  const std::string prefs =
      ReadTextFile(install_folder().AppendASCII("installer_prefs.json"));
  EXPECT_EQ(std::string::npos, prefs.find("evil")) << prefs;
  EXPECT_NE(std::string::npos, prefs.find("\"autoupdate\"")) << prefs;
  const std::string log =
      ReadTextFile(install_folder().AppendASCII("installation_status.xml"));
  EXPECT_EQ(std::string::npos, log.find("evil")) << log;
  ExpectInstalled();
  // The shared test registry gets its keys back.
  Installer cleaner;
  RunSteps(&cleaner, MakeSettings().get(),
           MakeSteps(Step(&StepCleanupRegistry)));
}

// With errors below the minimum log level a failing install still reports
// its error, rolls back and ends.
TEST_F(InstallStepsTest, FailureIsHandledWhenErrorsAreNotLogged) {
  struct ScopedMinLogLevel {
    ~ScopedMinLogLevel() { logging::SetMinLogLevel(saved); }
    const logging::LogSeverity saved = logging::GetMinLogLevel();
  } restore;
  logging::SetMinLogLevel(logging::LOG_FATAL);
  ASSERT_FALSE(LOG_IS_ON(ERROR));
  const FilePath failing = root().Append(L"Programs\\Failing");
  const test::MachineSnapshot before = Snapshot();
  const std::vector<std::string> events = RunInstall(failing, 20);
  ASSERT_LE(2u, events.size());
  EXPECT_EQ(0u, events[events.size() - 2].rfind(
                    "error 37062 Failed copying resources\\", 0));
  EXPECT_EQ("terminated", events.back());
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

// Forwards every task to the thread's own runner and keeps the name each
// was posted under.
class NamingTaskRunner : public base::SingleThreadTaskRunner {
 public:
  NamingTaskRunner() : target_(base::ThreadTaskRunnerHandle::Get()) {}

  bool PostDelayedTask(const base::Location& from_here,
                       base::OnceClosure task,
                       base::TimeDelta delay) override {
    names_.push_back(from_here.function_name());
    return target_->PostDelayedTask(from_here, std::move(task), delay);
  }
  bool PostNonNestableDelayedTask(const base::Location& from_here,
                                  base::OnceClosure task,
                                  base::TimeDelta delay) override {
    names_.push_back(from_here.function_name());
    return target_->PostNonNestableDelayedTask(from_here, std::move(task),
                                               delay);
  }
  bool RunsTasksOnCurrentThread() const override {
    return target_->RunsTasksOnCurrentThread();
  }

  size_t Count(const std::string& name) const {
    return std::count(names_.begin(), names_.end(), name);
  }

 private:
  ~NamingTaskRunner() override = default;

  const scoped_refptr<base::SingleThreadTaskRunner> target_;
  std::vector<std::string> names_;
};

using CopyStepsTest = test::StepsTest;

// Every file after the first of each list is copied in a task of its own,
// posted as "CopyFileW"; a list of one file, or none, posts no such task.
TEST_F(CopyStepsTest, EachFurtherFileIsATaskOfItsOwn) {
  const struct {
    size_t files;
    size_t root_files;
    size_t copy_tasks;
  } kCases[] = {{4, 2, 4}, {1, 0, 0}, {1, 1, 0}, {3, 0, 2}};
  for (const auto& test : kCases) {
    const std::string name = base::NumberToString(test.files) + "_" +
                             base::NumberToString(test.root_files);
    SCOPED_TRACE("files_root files " + name);
    set_install_folder(root().AppendASCII("Copy" + name));
    std::vector<std::string> files;
    std::vector<std::string> root_files;
    for (size_t i = 0; i < test.files; ++i)
      files.push_back("sub\\file" + base::NumberToString(i) + ".pak");
    for (size_t i = 0; i < test.root_files; ++i)
      root_files.push_back("root" + base::NumberToString(i) + ".xml");
    for (const std::string& file : files)
      WriteFile(package_dir().AppendASCII(file), file);
    for (const std::string& file : root_files)
      WriteFile(package_dir().AppendASCII(file), file);
    WriteFilesList(files, &root_files);
    SetCommandLine(L"--allusers=0 --launchkelvo=0");
    std::unique_ptr<Settings> settings = MakeSettings();
    auto runner = base::MakeRefCounted<NamingTaskRunner>();
    Installer installer(runner);
    RunSteps(&installer, settings.get(),
             MakeSteps(InstallStep::ForEachEntry("StepCopyFile", &StepCopyFile,
                                                 &InstallRun::files),
                       InstallStep::ForEachEntry("StepCopyRootFile",
                                                 &StepCopyRootFile,
                                                 &InstallRun::root_files)));
    ASSERT_TRUE(installer.succeeded());
    EXPECT_EQ(test.copy_tasks, runner->Count("CopyFileW"));
    EXPECT_EQ(2u, runner->Count("ScheduleNextStep"));
    for (const std::string& file : root_files)
      EXPECT_TRUE(base::PathExists(install_folder().AppendASCII(file)));
  }
}

using FinalizeStepTest = test::StepsTest;

// For all users the autoupdate task runs as the system; a branding that
// schedules no updates gives it no trigger but the explicit start.
TEST_F(FinalizeStepTest, AutoupdateTaskOfAllUsersWithoutSchedule) {
  BrandingConfig::ScopedOverrideForTesting branding(
      R"({"product_name": "Kelvo", "company_name": "Kelvo Software",)"
      R"( "file_name_base": "kelvo", "visible_product_name": "Kelvo",)"
      R"( "user_agent_name": "KVX", "schedule_autoupdate_task": false})");
  SetCommandLine(L"--allusers=1 --launchkelvo=0");
  std::unique_ptr<Settings> settings = MakeSettings();
  Installer installer;
  RunSteps(&installer, settings.get(),
           MakeSteps(Step(&StepFinalizeInstallation)));
  ASSERT_TRUE(installer.succeeded());
  ASSERT_EQ(1u, tasks_.created.size());
  const TaskInfo& task = tasks_.created[0];
  EXPECT_TRUE(task.run_as_system);
  EXPECT_EQ(TaskInfo::kNoTimeTrigger, task.trigger_kind);
  EXPECT_FALSE(task.start_up_trigger);
  EXPECT_TRUE(task.network_required);
}

// A row whose write fails stays in the install log: the clean-up of a later
// upgrade or uninstall removes what an earlier install left of it.
TEST_F(FinalizeStepTest, FailedRegistryRowStaysRecorded) {
  SetCommandLine(L"--allusers=0");
  // The operations before the steps; the registry step's first is the
  // write of the class's first row.
  int first_row = 0;
  {
    test::ScopedOperationFault counter;
    Installer installer;
    RunSteps(
        &installer, MakeSettings().get(),
        MakeSteps(Step(base::BindRepeating(
            [](test::ScopedOperationFault* counter, int* count, InstallRun*) {
              *count = counter->operations_started();
              return StepResult::Error(IDS_ERROR_INSTALL, "stop");
            },
            &counter, &first_row))));
  }
  test::ScopedOperationFault fault(first_row,
                                   Transaction::InjectedFault::kBeforeChange);
  InstallLog log;
  Installer installer;
  RunSteps(&installer, MakeSettings().get(),
           MakeSteps(Step(&StepSetupRegistry),
                     Step(base::BindRepeating(
                         [](InstallLog* log, InstallRun* run) {
                           *log = *run->install_log();
                           return StepResult::Error(IDS_ERROR_INSTALL, "stop");
                         },
                         &log))));
  EXPECT_TRUE(fault.fired());
  ASSERT_FALSE(log.hkcu_keys.empty());
  const InstallLog::RegistryKey& key = log.hkcu_keys[0];
  EXPECT_EQ(base::WideToUTF8(kClassKey), key.key_path);
  ASSERT_FALSE(key.values.empty());
  EXPECT_EQ("FriendlyTypeName", key.values[0].name);
  EXPECT_EQ("Kelvo Web Document", key.values[0].data);
  EXPECT_EQ(kPerUserRows, CountValues(log.hkcu_keys));
}

// A step after the registry step of an all-users install.
StepResult ExpectMachineTablesAndFail(InstallRun* run) {
  const std::wstring entry = UninstallKeyName(L"1");
  EXPECT_EQ(entry, run->templates()->uninstall_key_name());
  EXPECT_TRUE(test::RowsWritten(GetMainRegistryTable(), HKEY_LOCAL_MACHINE,
                                run->templates()));
  EXPECT_FALSE(HasRegistryKey(HKEY_LOCAL_MACHINE, entry, KEY_WOW64_64KEY));
  // Without the rows of the users' own classes.
  EXPECT_TRUE(run->install_log()->hkcu_keys.empty());
  EXPECT_EQ(kPerUserRows - 3, CountValues(run->install_log()->hklm_keys));
  return StepResult::Error(IDS_ERROR_INSTALL, "stop");
}

// For all users the tables go to the machine, the uninstall entry to the
// 32-bit view and there to the next free name; a failure takes it all back.
TEST_F(InstallStepsTest, AllUsersTablesGoToTheMachine) {
  const std::wstring taken = UninstallKeyName(L"");
  // The guard first: it removes only a key that did not exist before it.
  test::ScopedRegistryValue taken_guard(HKEY_LOCAL_MACHINE, taken, L"",
                                        KEY_WOW64_32KEY);
  ASSERT_EQ(ERROR_SUCCESS,
            base::win::RegKey().Create(HKEY_LOCAL_MACHINE, taken.c_str(),
                                       KEY_WRITE | KEY_WOW64_32KEY));
  test::SnapshotScope scope;
  for (const wchar_t* key :
       {kClassKey, L"Software\\Classes\\.zex", L"Software\\Classes\\.htm",
        L"Software\\Clients\\StartMenuInternet",
        L"Software\\RegisteredApplications",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}) {
    scope.keys.push_back({HKEY_LOCAL_MACHINE, key});
  }
  SetCommandLine(L"--allusers=1");
  std::unique_ptr<Settings> settings = MakeSettings();
  const test::MachineSnapshot before = test::TakeSnapshot(scope);
  Installer installer;
  RunSteps(
      &installer, settings.get(),
      MakeSteps(Step(&StepSetupRegistry), Step(&ExpectMachineTablesAndFail)));

  EXPECT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
}

using ComponentStepTest = test::StepsTest;

// A signed installer runs only component installers of the expected signer:
// an unsigned one, or another signer's, is neither started nor recorded.
TEST_F(ComponentStepTest, SignedInstallerRunsOnlySignedComponentInstallers) {
  const FilePath signed_files =
      test::GetBuildBinDir().Append(L"signature_test_files");
  base::ScopedPathOverride own_exe(
      base::FILE_EXE, signed_files.Append(L"expected.exe"), true, false);
  const FilePath component =
      package_dir().DirName().Append(L"suite").Append(L"suite_installer.exe");
  ASSERT_TRUE(base::CreateDirectory(component.DirName()));
  const struct {
    const wchar_t* file;
    bool runs;
  } kCases[] = {
      {L"unsigned.exe", false},
      {L"other.exe", false},
      {L"expected.exe", true},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.file);
    ASSERT_TRUE(base::CopyFile(signed_files.Append(test_case.file), component));
    base::DeleteFile(component.AddExtension(L"log"), false);
    SetCommandLine(L"--allusers=0 --components=suite:suite");
    std::unique_ptr<Settings> settings = MakeSettings();
    std::vector<std::string> recorded;
    auto check = [](std::vector<std::string>* recorded, InstallRun* run) {
      for (const InstallLog::Component& entry : run->install_log()->components)
        recorded->push_back(entry.name);
      return StepResult::Error(IDS_ERROR_INSTALL, "checked");
    };
    Installer installer;
    RunSteps(&installer, settings.get(),
             MakeSteps(Step(&StepInstallComponents),
                       Step(base::BindRepeating(check, &recorded))));
    EXPECT_EQ(test_case.runs ? 1u : 0u, StandInRuns(component).size());
    EXPECT_EQ(test_case.runs ? std::vector<std::string>{"suite"}
                             : std::vector<std::string>(),
              recorded);
  }
}

}  // namespace
}  // namespace installer
