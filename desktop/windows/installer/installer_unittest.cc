// The engine's step machinery, the checks of a run, the elevation and
// folder-permission branches and the wait for the package, with real files,
// registry, named events and child processes; the elevation decision and
// file ACLs come from a fake.

#include "desktop/windows/installer/installer.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/test/engine_test.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_log_capture.h"
#include "desktop/windows/installer/version_info.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using Events = std::vector<std::string>;

base::OnceClosure Both(base::OnceClosure first, base::OnceClosure then) {
  return base::BindOnce(
      [](base::OnceClosure first, base::OnceClosure then) {
        std::move(first).Run();
        std::move(then).Run();
      },
      std::move(first), std::move(then));
}

std::vector<base::OnceClosure> Steps(base::OnceClosure first,
                                     base::OnceClosure second) {
  std::vector<base::OnceClosure> steps;
  steps.push_back(std::move(first));
  steps.push_back(std::move(second));
  return steps;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class InstallerTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    WriteFilesList({"a.pak"});
    ASSERT_EQ(1, base::WriteFile(package_dir().AppendASCII("a.pak"), "a", 1));
  }

  // Everything a run may change: the test's folders and the product key.
  test::MachineSnapshot Snapshot() {
    test::SnapshotScope scope;
    scope.folders.push_back(install_folder().DirName());
    scope.keys.push_back({HKEY_CURRENT_USER, GetProductRegistryKey()});
    return test::TakeSnapshot(scope);
  }

  // A step that copies the package's file into the install folder.
  base::OnceClosure CopyStep(Installer* installer,
                             test::InstallerEventRecorder* observer,
                             bool schedule_next) {
    return base::BindOnce(
        [](Installer* installer, test::InstallerEventRecorder* observer,
           FilePath source, bool schedule_next) {
          observer->Add("A");
          EXPECT_TRUE(installer->transaction()->Execute(
              std::make_unique<CopyFileOperation>(
                  source, installer->install_folder().Append(L"a.pak"))));
          if (schedule_next)
            installer->ScheduleNextStep();
        },
        installer, observer, package_dir().AppendASCII("a.pak"), schedule_next);
  }

  base::OnceClosure RecordStep(test::InstallerEventRecorder* observer,
                               const std::string& name) {
    return base::BindOnce(&test::InstallerEventRecorder::Add,
                          base::Unretained(observer), name);
  }
};

TEST_F(InstallerTest, StepsRunInOrderAndSuccessCommits) {
  // Two names are taken: the version subfolder gets the next free one.
  const std::wstring version = base::ASCIIToWide(GetProductVersion());
  ASSERT_TRUE(base::CreateDirectory(install_folder().Append(version)));
  ASSERT_TRUE(base::CreateDirectory(install_folder().Append(version + L"_0")));
  const FilePath old_file = install_folder().Append(L"old.txt");
  ASSERT_EQ(1, base::WriteFile(old_file, "o", 1));
  std::unique_ptr<Settings> settings = MakeSettings();
  Installer installer;
  test::InstallerEventRecorder observer(&installer);
  FilePath aside;
  installer.SetStepListForTesting(Steps(
      base::BindOnce(
          [](Installer* installer, test::InstallerEventRecorder* observer,
             FilePath file, FilePath* aside) {
            observer->Add("A");
            auto operation =
                std::make_unique<DeleteFileOperation>(file, false, false);
            DeleteFileOperation* raw = operation.get();
            ASSERT_TRUE(
                installer->transaction()->Execute(std::move(operation)));
            *aside = raw->aside_path();
            installer->ScheduleNextStep();
          },
          &installer, &observer, old_file, &aside),
      base::BindOnce(
          [](Installer* installer, test::InstallerEventRecorder* observer) {
            observer->Add("B " +
                          installer->install_log()->subfolder.AsUTF8Unsafe());
            installer->NotifyStep();
            installer->OnSuccess();
          },
          &installer, &observer)));

  RunToOutcome(&installer, settings.get());

  // One file, no root files: 1 + 1 copy units, the other steps, the last.
  EXPECT_EQ((Events{"folder", "total 3", "step", "A", "step",
                    "B " + GetProductVersion() + "_1", "step", "success"}),
            observer.events());
  EXPECT_TRUE(installer.succeeded());
  // Committed at success, not only when the installer goes.
  ASSERT_FALSE(aside.empty());
  EXPECT_FALSE(base::PathExists(aside));
  EXPECT_FALSE(base::PathExists(old_file));
}

TEST_F(InstallerTest, ErrorInAStepRollsBackAndEndsTheRunOnce) {
  std::unique_ptr<Settings> settings = MakeSettings();
  const test::MachineSnapshot before = Snapshot();
  Installer installer;
  test::InstallerEventRecorder observer(&installer);
  installer.SetStepListForTesting(
      Steps(CopyStep(&installer, &observer, true),
            base::BindOnce(
                [](Installer* installer) {
                  installer->NotifyError(IDS_ERROR_COPY_FILE, L"C:\\x",
                                         "Failed copying x");
                  // Nothing of an ended run goes on.
                  installer->ScheduleNextStep();
                  installer->OnSuccess();
                  installer->NotifyError(IDS_ERROR_INSTALL, L"", "again");
                },
                &installer)));

  RunToOutcome(&installer, settings.get());

  EXPECT_EQ((Events{"folder", "total 3", "step", "A", "step",
                    "error 37062 Failed copying x", "terminated"}),
            observer.events());
  EXPECT_FALSE(installer.succeeded());
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

// A run ends before its next step: interrupted by the front end, cancelled
// with that step already posted, or destroyed.
TEST_F(InstallerTest, CancelBetweenStepsRollsBack) {
  enum class Way { kInterrupted, kCancelledWithStepPosted, kDestroyed };
  for (Way way :
       {Way::kInterrupted, Way::kCancelledWithStepPosted, Way::kDestroyed}) {
    SCOPED_TRACE(static_cast<int>(way));
    SetCommandLine(L"");
    std::unique_ptr<Settings> settings = MakeSettings();
    const test::MachineSnapshot before = Snapshot();
    auto installer = std::make_unique<Installer>();
    test::InstallerEventRecorder observer(installer.get());
    base::RunLoop run_loop;
    base::OnceClosure first =
        CopyStep(installer.get(), &observer, way != Way::kInterrupted);
    base::OnceClosure then;
    if (way == Way::kInterrupted) {
      then = base::BindOnce([](HANDLE event) { ::SetEvent(event); },
                            interrupted_event());
    } else if (way == Way::kCancelledWithStepPosted) {
      then =
          base::BindOnce(&Installer::Cancel, base::Unretained(installer.get()));
    } else {
      then = run_loop.QuitClosure();
    }
    installer->SetStepListForTesting(Steps(
        Both(std::move(first), std::move(then)), RecordStep(&observer, "B")));
    observer.set_quit_closure(run_loop.QuitClosure());
    installer->Start(settings.get());
    run_loop.Run();
    if (way == Way::kDestroyed) {
      installer.reset();
      observer.ForgetInstaller();
    }
    base::RunLoop().RunUntilIdle();

    EXPECT_EQ(0, observer.Count("B"));
    EXPECT_EQ("terminated", observer.events().back());
    EXPECT_EQ(0, observer.Count("error"));
    EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
  }
}

// Runs that end before any step, each with one error and no trace.
TEST_F(InstallerTest, RefusedRunsLeaveNoTrace) {
  struct Case {
    std::vector<std::string> files;  // Empty: no files_list at all.
    bool silent_all_users;
    const char* message;
  } cases[] = {
      {{"a.pak"},
       true,
       "Installation requires elevation, but cannot elevate when silent"},
      {{}, false, "Could not read files list"},
      {{"\r\n"}, false, "No files in files list"},
      {{"a.pak", "..\\..\\x"}, false, "Unsafe entry in the files lists"},
      {{"C:\\x"}, false, "Unsafe entry in the files lists"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    base::DeleteFile(package_dir().AppendASCII("files_list"), false);
    if (!c.files.empty())
      WriteFilesList(c.files);
    security()->set_admin(!c.silent_all_users, !c.silent_all_users);
    SetCommandLine(c.silent_all_users ? L"--allusers=1" : L"");
    std::unique_ptr<Settings> settings =
        MakeSettings(false, c.silent_all_users);
    const test::MachineSnapshot before = Snapshot();
    Installer installer;
    test::InstallerEventRecorder observer(&installer);

    RunToOutcome(&installer, settings.get());

    ASSERT_EQ(2, static_cast<int>(observer.events().size()) -
                     observer.Count("folder"));
    EXPECT_EQ("error " + base::IntToString(IDS_ERROR_INSTALL) + " " + c.message,
              observer.events()[observer.events().size() - 2]);
    EXPECT_EQ(c.silent_all_users ? 0 : 1, observer.Count("folder"));
    EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
  }
}

// With wait-for-package the run creates the folder and waits; the package's
// installer then takes over and its exit code is the outcome. The front
// end's end or its interruption ends the wait.
TEST_F(InstallerTest, WaitForPackageEndsOnEitherEventAndTheFrontEndsExit) {
  enum class Ending { kChildSucceeds, kChildFails, kInterrupted, kFrontEnd };
  const FilePath package = root().Append(L"downloaded");
  for (Ending ending : {Ending::kChildSucceeds, Ending::kChildFails,
                        Ending::kInterrupted, Ending::kFrontEnd}) {
    SCOPED_TRACE(static_cast<int>(ending));
    const FilePath child = MakeStandIn(package, L"installer.exe",
                                       ending == Ending::kChildFails ? 3 : 0);
    base::DeleteFile(package.Append(L"installer.exe.log"), false);
    const FilePath front_end_exe =
        MakeStandIn(root().Append(L"front"), L"front_end.exe", 0,
                    ending == Ending::kFrontEnd ? 300 : 60000);
    base::Process front_end = base::LaunchProcess(
        base::CommandLine(front_end_exe), base::LaunchOptions());
    ASSERT_TRUE(front_end.IsValid());
    SetCommandLine(L"\"--wait-for-package=" + package.value() +
                   L"\" --initial-pid=" +
                   base::NumberToString16(front_end.Pid()));
    base::win::ScopedHandle ready = CreateFrontEndEvent(kPackageReadyEventName);
    if (ending == Ending::kChildSucceeds || ending == Ending::kChildFails)
      ::SetEvent(ready.Get());
    if (ending == Ending::kInterrupted)
      ::SetEvent(interrupted_event());
    std::unique_ptr<Settings> settings = MakeSettings();
    const test::MachineSnapshot before = Snapshot();
    Installer installer;
    test::InstallerEventRecorder observer(&installer);

    RunToOutcome(&installer, settings.get());
    front_end.Terminate(0, true);

    const std::vector<std::string> runs = StandInRuns(child);
    if (ending == Ending::kChildSucceeds) {
      EXPECT_EQ((Events{"folder", "starting", "returned", "success"}),
                observer.events());
      ASSERT_EQ(1u, runs.size());
      EXPECT_TRUE(Contains(runs[0], "--crash-reporter-pid=0"));
      EXPECT_TRUE(Contains(runs[0], "--backend"));
      EXPECT_FALSE(Contains(runs[0], "--wait-for-package"));
      EXPECT_FALSE(Contains(runs[0], "--post-elevated-install-tasks"));
      continue;
    }
    if (ending == Ending::kChildFails) {
      EXPECT_EQ((Events{"folder", "starting", "returned",
                        "error 37055 Installer process did not complete "
                        "successfully.",
                        "terminated"}),
                observer.events());
    } else {
      EXPECT_EQ((Events{"folder", "terminated"}), observer.events());
      EXPECT_TRUE(runs.empty());
    }
    EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
  }
}

// An all-users install without administrator rights hands the work to an
// elevated copy of the installer; after it the package's installer does the
// user's part, and its failure is the one outcome.
TEST_F(InstallerTest, ElevatedRunReportsTheHandOversOutcomeOnly) {
  EnableUac();
  security()->set_admin(false, false);
  const FilePath elevated =
      MakeStandIn(root().Append(L"own"), L"installer.exe", 0);
  base::ScopedPathOverride own_exe(base::FILE_EXE, elevated, true, false);
  const FilePath package = root().Append(L"downloaded");
  const FilePath child = MakeStandIn(package, L"installer.exe", 3);
  SetCommandLine(L"--allusers=1 \"--wait-for-package=" + package.value() +
                 L"\"");
  base::win::ScopedHandle ready = CreateFrontEndEvent(kPackageReadyEventName);
  ::SetEvent(ready.Get());
  std::unique_ptr<Settings> settings = MakeSettings();
  const test::MachineSnapshot before = Snapshot();
  Installer installer;
  test::InstallerEventRecorder observer(&installer);

  RunToOutcome(&installer, settings.get());

  EXPECT_EQ((Events{"starting", "returned", "starting", "returned",
                    "error 37055 Installer process did not complete "
                    "successfully.",
                    "terminated"}),
            observer.events());
  const std::vector<std::string> elevated_runs = StandInRuns(elevated);
  ASSERT_EQ(1u, elevated_runs.size());
  for (const char* part :
       {"--run-elevated", "--launchkelvo=0", "--allusers=1", "--backend",
        "--wait-for-package=", "--parent-pid="}) {
    EXPECT_TRUE(Contains(elevated_runs[0], part)) << part;
  }
  EXPECT_TRUE(
      Contains(elevated_runs[0],
               "--parent-pid=" + base::UintToString(::GetCurrentProcessId())));
  const std::vector<std::string> child_runs = StandInRuns(child);
  ASSERT_EQ(1u, child_runs.size());
  EXPECT_TRUE(Contains(child_runs[0], "--post-elevated-install-tasks"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

// Denies every access to the install folder and its parent while the
// folder does not exist; once it does (the folder-permission process makes
// it), the folder is open to everyone.
class MissingFolderDenied : public test::WindowsLikeSecurityAccess {
 public:
  explicit MissingFolderDenied(FilePath folder) : folder_(std::move(folder)) {}

  DWORD ReadSecurity(const std::wstring& path,
                     SE_OBJECT_TYPE type,
                     SECURITY_INFORMATION info,
                     ScopedSecurityDescriptor* descriptor) override {
    if (Denied(path))
      return ERROR_ACCESS_DENIED;
    return WindowsLikeSecurityAccess::ReadSecurity(path, type, info,
                                                   descriptor);
  }
  DWORD WriteDacl(const std::wstring& path,
                  SE_OBJECT_TYPE type,
                  const ACL* dacl) override {
    if (Denied(path))
      return ERROR_ACCESS_DENIED;
    return WindowsLikeSecurityAccess::WriteDacl(path, type, dacl);
  }

 private:
  bool Denied(const std::wstring& path) const {
    return !base::DirectoryExists(folder_) &&
           (path == folder_.value() || folder_.IsParent(FilePath(path)) ||
            FilePath(path).IsParent(folder_));
  }

  const FilePath folder_;
};

// The real installer in folder-permission mode gives a permanent grant: it
// sets the grant event and ends at once. That is a grant, not a failure.
TEST_F(InstallerTest, PermanentGrantOfAnEndedPermissionProcessCounts) {
  EnableUac();
  MissingFolderDenied security(install_folder());
  security.set_admin(false, false);
  security.set_privileges_held(false);
  SecurityAccess::ScopedOverrideForTesting override(&security);
  base::ScopedPathOverride own_exe(
      base::FILE_EXE, bin_dir().Append(L"installer.exe"), true, false);
  SetCommandLine(L"--components=suite:suite");
  std::unique_ptr<Settings> settings = MakeSettings();
  ASSERT_FALSE(settings->GetStatus().has_write_access());
  Installer installer;
  test::InstallerEventRecorder observer(&installer);
  installer.SetStepListForTesting(Steps(
      base::BindOnce(
          [](Installer* installer, test::InstallerEventRecorder* observer) {
            observer->Add(installer->used_folder_permission_process() &&
                                  installer->second_installer_pid() != 0
                              ? "A with the permission process"
                              : "A");
            installer->ScheduleNextStep();
          },
          &installer, &observer),
      base::BindOnce(
          [](Installer* installer) {
            installer->NotifyStep();
            installer->OnSuccess();
          },
          &installer)));
  test::ScopedLogCapture log;

  RunToOutcome(&installer, settings.get());

  EXPECT_TRUE(log.Contains("Temporary write permission obtained"));
  EXPECT_EQ(
      (Events{"folder", "total 3", "step", "A with the permission process",
              "step", "step", "success"}),
      observer.events());
}

}  // namespace
}  // namespace installer
