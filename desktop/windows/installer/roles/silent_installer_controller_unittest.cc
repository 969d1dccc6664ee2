#include "desktop/windows/installer/roles/silent_installer_controller.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/test/scoped_path_override.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/engine_test.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::WriteTextFile;

constexpr base::TimeDelta kRunLimit = base::TimeDelta::FromSeconds(60);

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// What a runner reports: "folder", "error CODE DETAIL", "success" and
// "terminated 0|1".
class RunnerEvents : public InstallerObserver {
 public:
  void OnInstallFolderCreated() override { events.push_back("folder"); }
  void OnStartingNewMainProcess(bool value) override {}
  void OnReturnedToPreviousMainProcess() override {}
  void OnTotalSteps(int total_steps) override {}
  void OnStep() override {}
  void OnError(int code,
               const std::wstring& argument,
               const std::string& detail) override {
    events.push_back("error " + base::IntToString(code) + " " + detail);
  }
  void OnSuccess() override { events.push_back("success"); }
  void OnInstallerTerminated(bool succeeded) override {
    events.push_back(succeeded ? "terminated 1" : "terminated 0");
  }

  // Runs the loop until |event| was reported, at most kRunLimit.
  bool WaitFor(const std::string& event) {
    const base::TimeTicks deadline = base::TimeTicks::Now() + kRunLimit;
    while (!Has(event) && base::TimeTicks::Now() < deadline) {
      base::RunLoop loop;
      base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
          FROM_HERE, loop.QuitClosure(), base::TimeDelta::FromMilliseconds(50));
      loop.Run();
    }
    return Has(event);
  }
  bool Has(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }

  std::vector<std::string> events;
};

// The front end in this process, against backend processes.
using InstallerRunnerTest = test::EngineTest;

TEST_F(InstallerRunnerTest, InterruptWhileTheBackendWaitsForThePackage) {
  // The backend is the real installer, as a front end with a download
  // launches it.
  base::ScopedPathOverride own_exe(
      base::FILE_EXE, bin_dir().Append(L"installer.exe"), true, false);
  std::unique_ptr<Settings> settings = MakeSettings(false, true);
  InstallerRunner runner(root().Append(L"download"), FilePath());
  RunnerEvents events;
  runner.AddObserver(&events);
  ASSERT_TRUE(runner.BeginInstallation(settings.get()));
  ASSERT_TRUE(events.WaitFor("folder"));
  EXPECT_TRUE(base::DirectoryExists(install_folder()));

  runner.Stop();
  ASSERT_TRUE(events.WaitFor("terminated 0"));
  EXPECT_EQ((std::vector<std::string>{"folder", "terminated 0"}),
            events.events);
  EXPECT_FALSE(base::PathExists(install_folder()));
  EXPECT_FALSE(runner.backend_running());
  runner.RemoveObserver(&events);
}

TEST_F(InstallerRunnerTest, SilentRunTakesTheLaunchedBackendsOwnOutcome) {
  // A scripted backend in the package folder (the executable's folder).
  const FilePath backend = package_dir().Append(L"installer.exe");
  ASSERT_TRUE(
      base::CopyFile(bin_dir().Append(L"ipc_test_sender.exe"), backend));
  const struct {
    const char* script;
    bool succeeded;
    const char* log;
  } kCases[] = {
      {"connect\nstep\nsuccess\nclose\nexit 0\n", true,
       "\"installation_success\":1"},
      // A nested installer's success does not outweigh the launched
      // backend's failure.
      {"connect\nsuccess\nclose\nexit 1\n", false,
       "The installer backend failed after a success message"},
      {"connect\nerror 37055 - 6E6F\nclose\nexit 0\n", false,
       "\"failure_reason\":\"no\""},
      {"crash\n", false, "exited with code -1073741819"},
      // Killed before its end: under Wine such a process exits with 0.
      {"connect\ntotal 5\nstep\nclose\nexit 0\n", false,
       "exited with 0 without reporting success"},
      // An error message that any process could have written ends neither
      // the run nor the backend, which goes on and succeeds.
      {"connect\nerror 37055 - 6E6F\nsleep 300\nstep\nsuccess\nclose\n"
       "exit 0\n",
       true, "Ignoring an error message"},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.script);
    WriteTextFile(FilePath(backend.value() + L".script"), test_case.script);
    base::ScopedLogCapture log;
    std::unique_ptr<Settings> settings = MakeSettings(false, true);
    SilentInstallerController controller;
    EXPECT_EQ(test_case.succeeded,
              controller.Run(settings.get(), nullptr, root()));
    EXPECT_TRUE(log.Contains(test_case.log));
  }
}

// installer.exe of an unpacked package run as a silent front end, as a user
// would, with its own temporary folder.
class SilentInstallTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    ASSERT_TRUE(dir_.CreateUniqueTempDir());
    package_ = dir_.GetPath().Append(L"package");
    ASSERT_TRUE(base::CreateDirectory(package_));
    folder_ = dir_.GetPath().Append(L"Programs").Append(L"KelvoE2E");
    ASSERT_FALSE(test::CopyInstallerTo(package_).empty());
    const FilePath stand_in = test::GetBuildBinDir().Append(L"stand_in.exe");
    files_ = {"kelvo.exe", "installer.exe", "installer.dll"};
    for (const wchar_t* name : {L"kelvo.exe", L"launcher.exe"})
      ASSERT_TRUE(base::CopyFile(stand_in, package_.Append(name)));
    ASSERT_TRUE(base::CreateDirectory(package_.Append(L"resources")));
    for (int i = 0; i < 20; ++i) {
      files_.push_back("resources\\data_" + base::IntToString(i) + ".pak");
      WriteTextFile(package_.AppendASCII(files_.back()),
                    std::string(i * 97, 'k'));
    }
    WriteTextFile(package_.Append(L"files_list"),
                  base::JoinString(files_, "\r\n") + "\r\n");
  }

  void TearDown() override {
    // What the installation registered goes, as its uninstall would do it.
    InstallLog log;
    if (!base::PathExists(InstallLogPath()) ||
        !InstallLogReader().Read(&log, InstallLogPath())) {
      return;
    }
    for (const InstallLog::RegistryKey& key : log.hkcu_keys) {
      std::wstring path = base::UTF8ToWide(key.key_path);
      if (key.clean_level == 0) {
        base::win::RegKey reg_key(HKEY_CURRENT_USER, path.c_str(),
                                  KEY_SET_VALUE);
        for (const InstallLog::RegistryValue& value : key.values)
          reg_key.DeleteValue(base::UTF8ToWide(value.name).c_str());
        continue;
      }
      // The current user's software keys have one view.
      for (int level = 1; level < key.clean_level; ++level)
        path.erase(path.rfind(L'\\'));
      ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    }
  }

  // |folder| goes unquoted, so that a trailing separator stays one (the
  // test folders hold no blanks).
  test::InstallerRunResult Install(const FilePath& folder) {
    return test::RunProgram(
        package_.Append(L"installer.exe"),
        L"--silent --allusers=0 --launchkelvo=0 --desktopshortcut=0 "
        L"--startmenushortcut=0 --quicklaunchshortcut=0 --pintotaskbar=0 "
        L"--installfolder=" +
            folder.value(),
        temp_.GetPath(), kRunLimit);
  }
  std::string Log() { return test::ReadInstallerLogs(temp_.GetPath()); }
  FilePath InstallLogPath() {
    return folder_.Append(L"installation_status.xml");
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_;
  base::ScopedTempDir dir_;
  FilePath package_;
  FilePath folder_;
  std::vector<std::string> files_;
  test::ScopedRegistryValue last_path_{HKEY_CURRENT_USER,
                                       GetProductRegistryKey(),
                                       L"Last developer Install Path"};
};

TEST_F(SilentInstallTest, InstallsThePackage) {
  test::InstallerRunResult run = Install(folder_);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0, run.exit_code);
  InstallLog log;
  ASSERT_TRUE(InstallLogReader().Read(&log, InstallLogPath()));
  for (const std::string& file : files_) {
    std::string expected, installed;
    ASSERT_TRUE(base::ReadFileToString(package_.AppendASCII(file), &expected));
    EXPECT_TRUE(base::ReadFileToString(
        folder_.Append(log.subfolder).AppendASCII(file), &installed));
    EXPECT_EQ(expected, installed) << file;
  }
  // The uninstall entry, in the 32-bit view, points at the installation.
  bool uninstall_entry = false;
  for (const InstallLog::RegistryKey& key : log.hkcu_keys) {
    const std::wstring path = base::UTF8ToWide(key.key_path);
    std::wstring location;
    if (path.rfind(GetUninstallRegistryKey(), 0) == 0 &&
        base::win::RegKey(HKEY_CURRENT_USER, path.c_str(),
                          KEY_READ | KEY_WOW64_32KEY)
                .ReadValue(L"InstallLocation", &location) == ERROR_SUCCESS) {
      uninstall_entry = location == folder_.value();
    }
  }
  EXPECT_TRUE(uninstall_entry);
  const std::string text = Log();
  EXPECT_TRUE(Contains(text, "IPC_MESSAGE_SUCCESS received"));
  EXPECT_TRUE(Contains(text, "The installer backend exited with code 0"));
  EXPECT_TRUE(Contains(text, "\"installation_success\":1"));
}

TEST_F(SilentInstallTest, SecondFrontEndOnTheSameFolderIsRefused) {
  // Held as by a first front end; the second one types the folder
  // otherwise.
  base::win::ScopedHandle mutex(::CreateMutexW(
      nullptr, TRUE, InstallerObjectNames::ForFolder(folder_).mutex.c_str()));
  ASSERT_TRUE(mutex.IsValid());
  test::InstallerRunResult run =
      Install(FilePath(base::ToLowerASCII(folder_.value()) + L"\\"));
  ::ReleaseMutex(mutex.Get());
  ASSERT_TRUE(run.finished);
  EXPECT_NE(0, run.exit_code);
  const std::string text = Log();
  EXPECT_TRUE(Contains(text, "Could not acquire installer mutex"));
  EXPECT_FALSE(Contains(text, "launching installer backend"));
  EXPECT_FALSE(base::PathExists(folder_));
}

}  // namespace
}  // namespace installer
