// The engine's runs with real files, registry, events and child processes;
// the elevation decision and file ACLs come from a fake.

#include "desktop/windows/installer/engine/installer.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/process/launch.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/test/scoped_path_override.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/interruption_watcher.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_operation_fault.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::MakeStandIn;
using test::StandInRuns;
using Events = std::vector<std::string>;

constexpr char kChildFailed[] =
    "error 37055 Installer process did not complete successfully.";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class InstallerTest : public test::StepsTest {
 protected:
  // Everything a run may change: the install folder's parent and the
  // product key.
  test::MachineSnapshot Snapshot() {
    test::SnapshotScope scope;
    scope.folders.push_back(install_folder().DirName());
    scope.keys.push_back({HKEY_CURRENT_USER, GetProductRegistryKey()});
    return test::TakeSnapshot(scope);
  }

  // A step that copies the package's file into the install folder, then
  // ends as |then| says.
  InstallStep CopyStep(test::InstallerEventRecorder* recorder,
                       base::RepeatingCallback<StepResult(InstallRun*)> then) {
    return Step(base::BindRepeating(
        [](test::InstallerEventRecorder* recorder, const FilePath& source,
           const base::RepeatingCallback<StepResult(InstallRun*)>& then,
           InstallRun* run) {
          recorder->Add("A");
          EXPECT_TRUE(
              run->transaction()->Execute(std::make_unique<CopyFileOperation>(
                  source, run->install_folder().Append(L"a.pak"))));
          return then.Run(run);
        },
        recorder, package_dir().AppendASCII("a.pak"), std::move(then)));
  }
};

// A run ends after its first step made a change: the next step reports an
// error, the front end interrupts it while a step waits for a child
// process, it is cancelled with the next step already posted, or it is
// destroyed. Each time the change is undone and the run has one outcome.
TEST_F(InstallerTest, ErrorOrCancelAfterAStepRollsBack) {
  enum Way { kError, kInterrupted, kCancelledWithStepPosted, kDestroyed };
  // One file, no root files: the copy steps count 1 + 1, one more comes
  // before the outcome.
  const Events expected[] = {
      {"folder", "total 3", "step", "A", "step", "error 37062 Failed copying x",
       "terminated"},
      {"folder", "total 3", "step", "A", "terminated"},
      {"folder", "total 3", "step", "A", "step", "terminated"},
      {"folder", "total 3", "step", "A", "step", "terminated"}};
  const FilePath child = MakeStandIn(root().Append(L"child"), L"child.exe", 0,
                                     /*wait_ms=*/200);
  for (Way way : {kError, kInterrupted, kCancelledWithStepPosted, kDestroyed}) {
    SCOPED_TRACE(way);
    SetCommandLine(L"");
    std::unique_ptr<Settings> settings = MakeSettings();
    const test::MachineSnapshot before = Snapshot();
    auto installer = std::make_unique<Installer>();
    test::InstallerEventRecorder recorder(installer.get());
    base::RunLoop run_loop;
    recorder.set_quit_closure(run_loop.QuitClosure());
    base::RepeatingCallback<StepResult(InstallRun*)> then;
    switch (way) {
      case kError:
        then =
            base::BindRepeating([](InstallRun*) { return StepResult::Next(); });
        break;
      case kInterrupted:
        then = base::BindRepeating(
            [](HANDLE event, const FilePath& child, InstallRun* run) {
              ::SetEvent(event);
              base::Process process = base::LaunchProcess(
                  base::CommandLine(child), base::LaunchOptions());
              int exit_code = 0;
              EXPECT_EQ(
                  ChildWaitResult::kAbandoned,
                  run->WaitForChildProcess(process, "the child", &exit_code));
              return StepResult::Cancelled();
            },
            interrupted_event(), child);
        break;
      case kCancelledWithStepPosted:
        then = base::BindRepeating(
            [](Installer* installer, InstallRun*) {
              base::ThreadTaskRunnerHandle::Get()->PostTask(
                  FROM_HERE, base::BindOnce(&Installer::Cancel,
                                            base::Unretained(installer)));
              return StepResult::Next();
            },
            installer.get());
        break;
      case kDestroyed:
        then = base::BindRepeating(
            [](base::RepeatingClosure quit, InstallRun*) {
              base::ThreadTaskRunnerHandle::Get()->PostTask(FROM_HERE, quit);
              return StepResult::Next();
            },
            run_loop.QuitClosure());
        break;
    }
    InstallStep second =
        way == kError
            ? Step(base::BindRepeating([](InstallRun*) {
                return StepResult::Error(IDS_ERROR_COPY_FILE, L"C:\\x",
                                         "Failed copying x");
              }))
            : Step(base::BindRepeating(
                  [](test::InstallerEventRecorder* recorder, InstallRun*) {
                    recorder->Add("B");
                    return StepResult::Next();
                  },
                  &recorder));
    installer->SetStepsForTesting(
        MakeSteps(CopyStep(&recorder, std::move(then)), std::move(second)));
    installer->Start(settings.get());
    run_loop.Run();
    installer.reset();
    recorder.InstallerGone();
    base::RunLoop().RunUntilIdle();

    EXPECT_EQ(expected[way], recorder.events());
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
    test::InstallerEventRecorder recorder(&installer);

    RunToOutcome(&installer, settings.get());

    Events expected = {std::string("error 37055 ") + c.message, "terminated"};
    if (!c.silent_all_users)
      expected.insert(expected.begin(), "folder");
    EXPECT_EQ(expected, recorder.events());
    EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
  }
}

// With wait-for-package the run creates the folder and waits; the package's
// installer then takes over and its outcome is the run's: its exit code 0
// counts only with its confirmation, which a program that merely exits
// (or is killed: under Wine that gives 0 too) never gives. The front end's
// end or its interruption ends the wait, also when the front end has let go
// of its package-ready event before the wait began.
TEST_F(InstallerTest, WaitForPackageEndsOnEitherEventAndTheFrontEndsExit) {
  enum class End {
    kChildSucceeds,
    kChildFails,
    kChildExitsWithoutConfirming,
    kInterrupted,
    kInterruptedReadyEventGone,
    kFrontEnd
  };
  const FilePath package = root().Append(L"downloaded");
  for (End end : {End::kChildSucceeds, End::kChildFails,
                  End::kChildExitsWithoutConfirming, End::kInterrupted,
                  End::kInterruptedReadyEventGone, End::kFrontEnd}) {
    SCOPED_TRACE(static_cast<int>(end));
    const bool package_ready = end == End::kChildSucceeds ||
                               end == End::kChildFails ||
                               end == End::kChildExitsWithoutConfirming;
    const FilePath child =
        MakeStandIn(package, L"installer.exe", end == End::kChildFails ? 3 : 0);
    const FilePath unconfirmed = package.Append(L"installer.exe.unconfirmed");
    base::DeleteFile(unconfirmed, false);
    if (end == End::kChildExitsWithoutConfirming)
      test::WriteTextFile(unconfirmed, "");
    base::DeleteFile(package.Append(L"installer.exe.log"), false);
    base::Process front_end = base::LaunchProcess(
        base::CommandLine(MakeStandIn(root().Append(L"front"), L"front.exe", 0,
                                      end == End::kFrontEnd ? 300 : 60000)),
        base::LaunchOptions());
    SetCommandLine(L"\"--wait-for-package=" + package.value() +
                   L"\" --initial-pid=" +
                   base::NumberToString16(front_end.Pid()));
    base::win::ScopedHandle ready;
    if (end != End::kInterruptedReadyEventGone) {
      ready =
          CreateFrontEndEvent(InstallerObjectNames::ForFolder(install_folder())
                                  .package_ready_event);
    }
    if (package_ready)
      ::SetEvent(ready.Get());
    if (end == End::kInterrupted || end == End::kInterruptedReadyEventGone)
      ::SetEvent(interrupted_event());
    std::unique_ptr<Settings> settings = MakeSettings();
    const test::MachineSnapshot before = Snapshot();
    Installer installer;
    test::InstallerEventRecorder recorder(&installer);
    base::ScopedLogCapture log;

    RunToOutcome(&installer, settings.get());
    front_end.Terminate(0, true);

    // The log says what ended the wait.
    EXPECT_EQ(end == End::kInterrupted || end == End::kInterruptedReadyEventGone,
              log.Contains(logging::LOG_WARNING, "Installation was interrupted"));
    EXPECT_EQ(end == End::kFrontEnd,
              log.Contains(logging::LOG_WARNING, "The front end's process ended"));
    const std::vector<std::string> runs = StandInRuns(child);
    ASSERT_EQ(package_ready ? 1u : 0u, runs.size());
    if (end == End::kChildSucceeds) {
      EXPECT_EQ((Events{"folder", "starting", "returned", "success"}),
                recorder.events());
      EXPECT_TRUE(Contains(runs[0], "--backend"));
      EXPECT_TRUE(Contains(runs[0], "--crash-reporter-pid=0"));
      EXPECT_TRUE(Contains(runs[0], "--hand-over-event="));
      EXPECT_FALSE(Contains(runs[0], "--wait-for-package"));
      EXPECT_FALSE(Contains(runs[0], "--post-elevated-install-tasks"));
      continue;
    }
    EXPECT_EQ(package_ready ? (Events{"folder", "starting", "returned",
                                      kChildFailed, "terminated"})
                            : (Events{"folder", "terminated"}),
              recorder.events());
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
  base::win::ScopedHandle ready = CreateFrontEndEvent(
      InstallerObjectNames::ForFolder(install_folder()).package_ready_event);
  ::SetEvent(ready.Get());
  std::unique_ptr<Settings> settings = MakeSettings();
  const test::MachineSnapshot before = Snapshot();
  Installer installer;
  test::InstallerEventRecorder recorder(&installer);

  RunToOutcome(&installer, settings.get());

  EXPECT_EQ((Events{"starting", "returned", "starting", "returned",
                    kChildFailed, "terminated"}),
            recorder.events());
  const std::vector<std::string> elevated_runs = StandInRuns(elevated);
  ASSERT_EQ(1u, elevated_runs.size());
  for (const std::string& part :
       {std::string("--run-elevated"), std::string("--launchkelvo=0"),
        std::string("--allusers=1"), std::string("--wait-for-package="),
        "--parent-pid=" + base::UintToString(::GetCurrentProcessId())}) {
    EXPECT_TRUE(Contains(elevated_runs[0], part)) << part;
  }
  const std::vector<std::string> child_runs = StandInRuns(child);
  ASSERT_EQ(1u, child_runs.size());
  EXPECT_TRUE(Contains(child_runs[0], "--post-elevated-install-tasks"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

// Failures that have a message of their own: an operation that the
// settings do not name, a folder that cannot be made, an elevation that
// cannot be had. Each is the one error of its run, and the run leaves no
// trace.
TEST_F(InstallerTest, RefusalsWithMessagesOfTheirOwn) {
  // How many operations a run makes before its first step: the last one
  // creates the version subfolder.
  int before_steps = 0;
  {
    test::ScopedOperationFault counter;
    SetCommandLine(L"");
    std::unique_ptr<Settings> settings = MakeSettings();
    Installer installer;
    RunSteps(
        &installer, settings.get(),
        MakeSteps(Step(base::BindRepeating(
            [](test::ScopedOperationFault* counter, int* count, InstallRun*) {
              *count = counter->operations_started();
              return StepResult::Error(IDS_ERROR_INSTALL, "stop");
            },
            &counter, &before_steps))));
  }
  ASSERT_GE(before_steps, 2);
  enum Kind {
    kNoOperation,
    kInstallFolder,
    kVersionFolder,
    kNoElevation,
    kNoFolderRights,  // Last: the folders stay locked.
  };
  const struct {
    Kind kind;
    Events events;
  } kCases[] = {
      {kNoOperation, {"error 37058 Settings operation invalid", "terminated"}},
      {kInstallFolder,
       {"error 37059 Could not create installation folder", "terminated"}},
      {kVersionFolder,
       {"folder", "error 37059 Creating installation subfolder failed",
        "terminated"}},
      {kNoElevation,
       {"error 37061 Elevated installation failed.", "terminated"}},
      {kNoFolderRights,
       {"error 37061 Failed to elevate the process to give us write "
        "permissions to installation folder",
        "terminated"}},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.kind);
    const bool admin =
        test.kind != kNoElevation && test.kind != kNoFolderRights;
    security()->set_admin(admin, false);
    if (test.kind == kNoFolderRights) {
      security()->set_privileges_held(false);
      for (const FilePath& object : {root(), install_folder()}) {
        security()->SetObject(object.value(), L"O:SYG:SYD:(A;OICI;FR;;;WD)");
        security()->Lock(object.value(), false, true);
      }
    }
    SetCommandLine(test.kind == kNoOperation   ? L"--uninstall"
                   : test.kind == kNoElevation ? L"--allusers=1"
                                               : L"");
    // An uninstall of the package folder, which holds no installation.
    std::unique_ptr<Settings> settings =
        MakeSettings(test.kind == kNoOperation);
    std::unique_ptr<test::ScopedOperationFault> fault;
    if (test.kind == kInstallFolder || test.kind == kVersionFolder) {
      fault = std::make_unique<test::ScopedOperationFault>(
          test.kind == kInstallFolder ? 0 : before_steps - 1,
          Transaction::InjectedFault::kBeforeChange);
    }
    const test::MachineSnapshot before = Snapshot();
    Installer installer;
    test::InstallerEventRecorder recorder(&installer);

    RunToOutcome(&installer, settings.get());

    EXPECT_EQ(test.events, recorder.events());
    EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
  }
}

// An uninstall stops while the browser runs, and when its install log
// cannot be removed; either way the installation stays as it was.
TEST_F(InstallerTest, UninstallStopsOnFilesInUse) {
  MakeInstallation(MakeLog());
  SetCommandLine(L"--uninstall");
  std::unique_ptr<Settings> settings = MakeUninstallSettings();
  const struct {
    const wchar_t* held;
    Events events;
  } kCases[] = {
      {L"57.0\\kelvo.exe",
       {"folder", "error 37063 Can't uninstall when kelvo.exe is in use",
        "terminated"}},
      {L"installation_status.xml",
       {"folder", "total 7", "step", "step", "step",
        "error 37056 Failed to remove installation status file", "terminated"}},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.held);
    base::win::ScopedHandle held(::CreateFileW(
        install_folder().Append(test.held).value().c_str(), GENERIC_READ,
        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());
    const test::MachineSnapshot before = Snapshot();
    Installer installer;
    test::InstallerEventRecorder recorder(&installer);

    RunToOutcome(&installer, settings.get());

    EXPECT_EQ(test.events, recorder.events());
    held.Close();
    EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
    settings->SetEditable(true);
  }
}

// The run grants itself write access to a folder it may not write; a
// child it abandons after an interruption still runs when the run ends,
// and the folder gets its access list back all the same.
TEST_F(InstallerTest, TemporaryGrantIsUndoneWhileAnAbandonedChildRuns) {
  ASSERT_TRUE(base::CreateDirectory(install_folder()));
  security()->SetObject(install_folder().value(),
                        L"O:SYG:SYD:(A;OICI;FR;;;WD)");
  const std::wstring before = security()->GetSddl(install_folder().value());
  // Ends long after the run has given up on it; the run gives it less time
  // than a real one would, which changes nothing but the wait.
  InterruptionWatcher::ScopedChildExitGraceForTesting grace(
      base::TimeDelta::FromSeconds(1));
  const FilePath child = MakeStandIn(root().Append(L"child"), L"child.exe", 0,
                                     /*wait_ms=*/120000);
  SetCommandLine(L"");
  std::unique_ptr<Settings> settings = MakeSettings();
  Installer installer;
  test::InstallerEventRecorder recorder(&installer);
  base::Process process;
  std::wstring during;
  base::ScopedLogCapture log;

  RunSteps(&installer, settings.get(),
           MakeSteps(Step(base::BindRepeating(
               [](FakeSecurityAccess* security, HANDLE interrupted,
                  const FilePath& child, base::Process* process,
                  std::wstring* during, InstallRun* run) {
                 *during = security->GetSddl(run->install_folder().value());
                 *process = base::LaunchProcess(base::CommandLine(child),
                                                base::LaunchOptions());
                 ::SetEvent(interrupted);
                 int exit_code = 0;
                 EXPECT_EQ(ChildWaitResult::kAbandoned,
                           run->WaitForChildProcess(*process, "the child",
                                                    &exit_code));
                 return StepResult::Cancelled();
               },
               security(), interrupted_event(), child, &process, &during))));

  ASSERT_TRUE(process.IsValid());
  EXPECT_FALSE(process.WaitForExitWithTimeout(base::TimeDelta(), nullptr))
      << "the child ended before the run did";
  EXPECT_NE(before, during) << "the run had no grant to undo";
  EXPECT_EQ(before, security()->GetSddl(install_folder().value()));
  EXPECT_TRUE(log.Contains("still works in the installation folder"));
  ASSERT_FALSE(recorder.events().empty());
  EXPECT_EQ("terminated", recorder.events().back());
  process.Terminate(1, true);
}

// The real installer in folder-permission mode gives a permanent grant: it
// sets the grant event and ends at once. That is a grant, not a failure;
// the fake's ACL of the folder then still denies writing.
TEST_F(InstallerTest, PermanentGrantOfAnEndedPermissionProcessCounts) {
  EnableUac();
  constexpr wchar_t kReadOnly[] = L"O:SYG:SYD:(A;OICI;FR;;;WD)";
  for (const FilePath& object : {root(), install_folder()}) {
    security()->SetObject(object.value(), kReadOnly);
    security()->Lock(object.value(), false, true);
  }
  security()->set_admin(false, false);
  security()->set_privileges_held(false);
  base::ScopedPathOverride own_exe(
      base::FILE_EXE, bin_dir().Append(L"installer.exe"), true, false);
  SetCommandLine(L"--components=suite:suite");
  std::unique_ptr<Settings> settings = MakeSettings();
  Installer installer;
  test::InstallerEventRecorder recorder(&installer);
  base::ScopedLogCapture log;

  RunToOutcome(&installer, settings.get());

  EXPECT_TRUE(log.Contains("Temporary write permission obtained"));
  EXPECT_EQ((Events{"error 37060 No write access to installation folder "
                    "after attempting to get it via elevated process",
                    "terminated"}),
            recorder.events());
}

}  // namespace
}  // namespace installer
