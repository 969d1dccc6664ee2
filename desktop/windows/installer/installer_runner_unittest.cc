// The front end's runner against stand-in backends: what it refuses to start,
// what each failure leaves held, the backend's command line, and what Stop
// does with the installer mutex.

#include "desktop/windows/installer/installer_runner.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/test/scoped_path_override.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/engine_test.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/runner_event_recorder.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using Events = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// What another thread of this process gets when it waits for |mutex|
// without waiting: a mutex that this thread still owns is taken.
DWORD WaitFromAnotherThread(HANDLE mutex) {
  DWORD result = WAIT_FAILED;
  std::thread other([mutex, &result] {
    result = ::WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
      ::ReleaseMutex(mutex);
  });
  other.join();
  return result;
}

class InstallerRunnerTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // The runner makes the front end's events itself.
    CloseInterruptedEvent();
    names_ = std::make_unique<InstallerObjectNames>(
        InstallerObjectNames::ForFolder(install_folder()));
  }

  base::win::ScopedHandle OpenMutex() {
    return base::win::ScopedHandle(
        ::OpenMutexW(SYNCHRONIZE, FALSE, names_->mutex.c_str()));
  }

  std::unique_ptr<InstallerObjectNames> names_;
  test::RunnerEventRecorder events_;
};

TEST_F(InstallerRunnerTest, SettingsWithoutAnOperationTakeNoMutex) {
  // An uninstall of a folder that holds no installation.
  SetCommandLine(L"--uninstall");
  std::unique_ptr<Settings> settings = MakeSettings(true);
  ASSERT_EQ(OPERATION_NONE, settings->operation());
  InstallerRunner runner(package_dir(), FilePath());
  runner.AddObserver(&events_);
  EXPECT_FALSE(runner.BeginInstallation(settings.get()));
  EXPECT_EQ((Events{"error 37058 Attempting to start installation with invalid "
                    "settings"}),
            events_.events);
  EXPECT_FALSE(OpenMutex().IsValid());
  EXPECT_TRUE(settings->IsEditable());
  runner.RemoveObserver(&events_);
}

// Each failure is told once; what was obtained before it stays until Stop,
// which releases the mutex as no backend runs.
TEST_F(InstallerRunnerTest, FailuresToStartTheBackend) {
  const struct {
    const char* name;
    bool package_ready;
    const std::wstring InstallerObjectNames::*taken;
    const char* detail;
  } kCases[] = {
      {"interruption event", false, &InstallerObjectNames::interrupted_event,
       "Could not create installation interruption event"},
      {"package ready event", false, &InstallerObjectNames::package_ready_event,
       "Could not create package ready event"},
      // The package's folder holds no installer.exe.
      {"launch", true, nullptr, "Could not launch installer backend process"},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.name);
    // A mutex under the event's name: no event of that name can be made.
    base::win::ScopedHandle squatter;
    if (test.taken) {
      squatter.Set(
          ::CreateMutexW(nullptr, FALSE, ((*names_).*test.taken).c_str()));
      ASSERT_TRUE(squatter.IsValid());
    }
    std::unique_ptr<Settings> settings = MakeSettings();
    InstallerRunner runner(root().Append(L"empty"), FilePath());
    if (test.package_ready)
      runner.OnPackageReady();
    test::RunnerEventRecorder events;
    runner.AddObserver(&events);
    EXPECT_FALSE(runner.BeginInstallation(settings.get()));
    EXPECT_EQ((Events{std::string("error 37055 ") + test.detail}),
              events.events);
    base::win::ScopedHandle mutex = OpenMutex();
    ASSERT_TRUE(mutex.IsValid());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
              WaitFromAnotherThread(mutex.Get()));
    runner.Stop();
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0),
              WaitFromAnotherThread(mutex.Get()));
    runner.RemoveObserver(&events);
  }
}

// An observer told of a failure to start the backend may start a process
// itself, which takes the launch lock: the runner holds it no longer then.
TEST_F(InstallerRunnerTest, ObserversAreToldAfterTheLaunchLockIsReleased) {
  class LockTaker : public test::RunnerEventRecorder {
   public:
    void OnError(int code,
                 const std::wstring& argument,
                 const std::string& detail) override {
      RunnerEventRecorder::OnError(code, argument, detail);
      lock_was_free = GetProcessLaunchLock().Try();
      if (lock_was_free)
        GetProcessLaunchLock().Release();
    }
    bool lock_was_free = false;
  };
  test::MakeScriptedBackend(package_dir(), L"installer.exe", 0);
  std::unique_ptr<Settings> settings = MakeSettings();
  InstallerRunner runner(package_dir(), FilePath());
  runner.OnPackageReady();
  LockTaker observer;
  runner.AddObserver(&observer);
  InstallerRunner::SetOwnHandleDuplicationFailsForTesting(true);
  EXPECT_FALSE(runner.BeginInstallation(settings.get()));
  InstallerRunner::SetOwnHandleDuplicationFailsForTesting(false);
  EXPECT_EQ((Events{"error 37055 Could not duplicate own process handle"}),
            observer.events);
  EXPECT_TRUE(observer.lock_was_free);
  EXPECT_FALSE(runner.backend_running());
  runner.Stop();
  runner.RemoveObserver(&observer);
}

// The one verdict of both front ends is the launched backend's exit code:
// any program can write to the mailslot, so neither an error nor a success
// message decides.
TEST_F(InstallerRunnerTest, VerdictIsTheLaunchedBackendsExitCode) {
  const FilePath backend =
      test::MakeScriptedBackend(package_dir(), L"installer.exe", 0);
  const struct {
    const char* script;
    const char* outcome;
  } kCases[] = {
      {"connect\nsuccess\nclose\nexit 0\n", "terminated 1"},
      {"connect\nerror 37055 - 6E6F\nsuccess\nclose\nexit 0\n", "terminated 1"},
      {"connect\nsuccess\nerror 37055 - 6E6F\nclose\nexit 0\n", "terminated 1"},
      {"connect\nerror 37055 - 6E6F\nclose\nexit 0\n", "terminated 1"},
      {"connect\nsuccess\nclose\nexit 1\n", "terminated 0"},
      {"connect\nsuccess\nclose\ncrash\n", "terminated 0"},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.script);
    test::WriteTextFile(FilePath(backend.value() + L".script"),
                        test_case.script);
    std::unique_ptr<Settings> settings = MakeSettings();
    InstallerRunner runner(package_dir(), FilePath());
    runner.OnPackageReady();
    test::RunnerEventRecorder events;
    runner.AddObserver(&events);
    ASSERT_TRUE(runner.BeginInstallation(settings.get()));
    EXPECT_EQ(test_case.outcome, events.WaitForEnd());
    // Told after every message of the backend.
    ASSERT_FALSE(events.events.empty());
    EXPECT_EQ(test_case.outcome, events.events.back());
    runner.Stop();
    runner.RemoveObserver(&events);
  }
}

// What an ended backend's runs left half-done is repaired on another thread
// than the runner's, which goes on running the window meanwhile, the folder
// still held, even by a Stop; the end is told once the repair is done.
TEST_F(InstallerRunnerTest, RepairRunsBesideTheLoopAndKeepsTheFolder) {
  const FilePath backend =
      test::MakeScriptedBackend(package_dir(), L"installer.exe", 1);
  base::win::ScopedHandle repair_began(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::win::ScopedHandle loop_ran(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(repair_began.IsValid() && loop_ran.IsValid());
  // Set when the loop ran a task while the repair waited: never when the
  // repair blocks the loop, whose wait then fails after its limit.
  std::atomic<bool> loop_answered{false};
  std::unique_ptr<Settings> settings = MakeSettings();
  InstallerRunner runner(package_dir(), FilePath());
  runner.OnPackageReady();
  runner.AddObserver(&events_);
  runner.SetRepairHookForTesting(base::BindOnce(
      [](HANDLE began, HANDLE ran, std::atomic<bool>* answered) {
        ::SetEvent(began);
        *answered = ::WaitForSingleObject(ran, 20000) == WAIT_OBJECT_0;
      },
      repair_began.Get(), loop_ran.Get(), &loop_answered));
  ASSERT_TRUE(runner.BeginInstallation(settings.get()));
  base::win::ScopedHandle mutex = OpenMutex();
  ASSERT_TRUE(mutex.IsValid());
  events_.RunUntil([&] {
    return ::WaitForSingleObject(repair_began.Get(), 0) == WAIT_OBJECT_0;
  });
  EXPECT_FALSE(events_.Has("terminated 0"));
  runner.Stop();
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
            WaitFromAnotherThread(mutex.Get()));
  ::SetEvent(loop_ran.Get());
  EXPECT_EQ("terminated 0", events_.WaitForEnd());
  EXPECT_TRUE(loop_answered);
  // Let go of once the repair was done.
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0),
            WaitFromAnotherThread(mutex.Get()));
  runner.RemoveObserver(&events_);
}

// With the package in place first, the package's own installer is started
// at once, told where the components are and who its front end is.
TEST_F(InstallerRunnerTest, PackageReadyFirstStartsThePackagesInstaller) {
  for (int exit_code : {0, 1}) {
    SCOPED_TRACE(exit_code);
    const FilePath backend =
        test::MakeScriptedBackend(package_dir(), L"installer.exe", exit_code);
    base::DeleteFile(FilePath(backend.value() + L".log"), false);
    std::unique_ptr<Settings> settings = MakeSettings();
    InstallerRunner runner(package_dir(), root().Append(L"dl\\suite"));
    runner.OnPackageReady();
    test::RunnerEventRecorder events;
    runner.AddObserver(&events);
    ASSERT_TRUE(runner.BeginInstallation(settings.get()));
    EXPECT_FALSE(settings->IsEditable());
    const std::string outcome = exit_code ? "terminated 0" : "terminated 1";
    ASSERT_TRUE(events.WaitFor(outcome));
    const Events expected =
        exit_code ? Events{outcome} : Events{"success", outcome};
    EXPECT_EQ(expected, events.events);

    const std::vector<std::string> runs = test::StandInRuns(backend);
    ASSERT_EQ(1u, runs.size());
    for (const std::string& part :
         {std::string("--backend"), std::string("--components=suite:suite"),
          std::string("--server-tracking-data=server_tracking_data"),
          "--initial-pid=" + base::NumberToString(base::GetCurrentProcId()),
          std::string("--crash-reporter-pid="),
          std::string("--initial-proc-handle=")}) {
      EXPECT_TRUE(Contains(runs[0], part)) << part << " in " << runs[0];
    }
    EXPECT_FALSE(Contains(runs[0], "--wait-for-package"));
    // No package-ready event was made for it.
    EXPECT_EQ(nullptr, ::OpenEventW(SYNCHRONIZE, FALSE,
                                    names_->package_ready_event.c_str()));
    runner.Stop();
    runner.RemoveObserver(&events);
  }
}

// Stop while the backend runs interrupts it but keeps the mutex, which the
// next installer finds abandoned once this process ends; the backend's end
// is still told.
TEST_F(InstallerRunnerTest, StopKeepsTheMutexWhileTheBackendRuns) {
  const FilePath own = test::MakeScriptedBackend(root().Append(L"own"),
                                                 L"installer.exe", 0, 1500);
  base::ScopedPathOverride own_exe(base::FILE_EXE, own, true, false);
  std::unique_ptr<Settings> settings = MakeSettings();
  InstallerRunner runner(root().Append(L"download"), FilePath());
  runner.AddObserver(&events_);
  ASSERT_TRUE(runner.BeginInstallation(settings.get()));
  base::win::ScopedHandle interrupted(
      ::OpenEventW(SYNCHRONIZE, FALSE, names_->interrupted_event.c_str()));
  ASSERT_TRUE(interrupted.IsValid());
  base::win::ScopedHandle mutex = OpenMutex();
  ASSERT_TRUE(mutex.IsValid());

  runner.Stop();
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0),
            ::WaitForSingleObject(interrupted.Get(), 0));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
            WaitFromAnotherThread(mutex.Get()));
  // Stopped, the front end no longer hears the backend: whatever it does
  // after that, its end is no success of this installation.
  ASSERT_TRUE(events_.WaitFor("terminated 0"));
  EXPECT_FALSE(runner.backend_running());
  // The backend was this installer, told to wait for the package.
  const std::vector<std::string> runs = test::StandInRuns(own);
  ASSERT_EQ(1u, runs.size());
  EXPECT_TRUE(Contains(runs[0], "--wait-for-package=")) << runs[0];
  runner.RemoveObserver(&events_);
}

// A backend that opens the front end's events only after Stop still finds
// the interruption: the events stay until the backend has ended, else it
// would wait for a package or a reader that never come.
TEST_F(InstallerRunnerTest, BackendStartingAfterStopStillFindsTheInterruption) {
  const FilePath own = test::MakeScriptedBackend(root().Append(L"own"),
                                                 L"installer.exe", 1);
  const FilePath reached = root().Append(L"reached");
  test::WriteTextFile(
      FilePath(own.value() + L".script"),
      "sleep 200\nwait-event " + base::WideToUTF8(names_->interrupted_event) +
          " 0\ntouch " + base::WideToUTF8(reached.value()) + "\nexit 1\n");
  base::ScopedPathOverride own_exe(base::FILE_EXE, own, true, false);
  std::unique_ptr<Settings> settings = MakeSettings();
  InstallerRunner runner(root().Append(L"download"), FilePath());
  runner.AddObserver(&events_);
  ASSERT_TRUE(runner.BeginInstallation(settings.get()));
  runner.Stop();
  ASSERT_TRUE(events_.WaitFor("terminated 0"));
  EXPECT_TRUE(base::PathExists(reached));
  runner.RemoveObserver(&events_);
}

// The real installer as the backend of a front end with a download: Stop
// interrupts its wait, and it undoes what it made.
TEST_F(InstallerRunnerTest, InterruptWhileTheBackendWaitsForThePackage) {
  base::ScopedPathOverride own_exe(
      base::FILE_EXE, bin_dir().Append(L"installer.exe"), true, false);
  std::unique_ptr<Settings> settings = MakeSettings(false, true);
  InstallerRunner runner(root().Append(L"download"), FilePath());
  runner.AddObserver(&events_);
  ASSERT_TRUE(runner.BeginInstallation(settings.get()));
  ASSERT_TRUE(events_.WaitFor("folder"));
  EXPECT_TRUE(base::DirectoryExists(install_folder()));

  runner.Stop();
  ASSERT_TRUE(events_.WaitFor("terminated 0"));
  EXPECT_EQ((Events{"folder", "terminated 0"}), events_.events);
  EXPECT_FALSE(base::PathExists(install_folder()));
  EXPECT_FALSE(runner.backend_running());
  runner.RemoveObserver(&events_);
}

}  // namespace
}  // namespace installer
