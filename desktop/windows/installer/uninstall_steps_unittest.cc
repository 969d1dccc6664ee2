#include "desktop/windows/installer/uninstall_steps.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/platform_thread.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shortcut_steps.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/installer/uninstall_batch.h"
#include "desktop/windows/installer/version_info.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

class UninstallStepsTest : public test::StepsTest {
 protected:
  // Opens |path| so that it can be neither moved nor deleted.
  static base::win::ScopedHandle Hold(const FilePath& path) {
    base::win::ScopedHandle handle(
        ::CreateFileW(path.value().c_str(), GENERIC_READ, FILE_SHARE_READ,
                      nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(handle.IsValid()) << path;
    return handle;
  }

  // Waits for |done| to hold, at most 30 s.
  template <typename Condition>
  static bool WaitFor(Condition done) {
    for (int i = 0; i < 300 && !done(); ++i)
      base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(100));
    return done();
  }
};

TEST_F(UninstallStepsTest, LockedInstallLogStopsTheUninstallUnchanged) {
  InstallLog log = MakeLog();
  log.desktop_shortcut = desktop().Append(L"Kelvo.lnk");
  MakeInstallation(log);
  MakeShortcut(log.desktop_shortcut, launcher());
  test::SnapshotScope scope;
  scope.folders = {install_folder(), desktop()};
  const test::MachineSnapshot before = test::TakeSnapshot(scope);
  base::win::ScopedHandle held =
      Hold(install_folder().AppendASCII(kInstallLogFileName));
  std::unique_ptr<Settings> settings = MakeUninstallSettings();
  Installer installer;
  test::InstallerEventRecorder events(&installer);
  RunSteps(&installer, settings.get(),
           MakeSteps(Step(&StepRemoveShortcuts, &installer),
                     Step(&StepFinalizeUninstallation, &installer),
                     EndStep(&installer)));

  EXPECT_EQ(1, events.Count("error 37056"));
  EXPECT_EQ(1, events.Count("terminated"));
  EXPECT_TRUE(surveys_.empty());
  held.Close();
  EXPECT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
}

// The survey carries the version, the user's id and the welcome page's
// query; a silent uninstall shows none.
TEST_F(UninstallStepsTest, SurveyUnlessSilent) {
  for (bool silent : {true, false}) {
    SCOPED_TRACE(silent ? "silent" : "not silent");
    MakeInstallation(MakeLog());
    WriteFile(install_folder().AppendASCII("installer_prefs.json"),
              "{\"welcome-url\": \"https://kelvo.example/welcome?p=x\"}");
    SetCommandLine(silent ? L"--uninstall --silent" : L"--uninstall");
    std::unique_ptr<Settings> settings = MakeUninstallSettings(silent);
    Installer installer;
    RunSteps(&installer, settings.get(),
             MakeSteps(Step(&StepFinalizeUninstallation, &installer),
                       EndStep(&installer)));
    EXPECT_FALSE(
        base::PathExists(install_folder().AppendASCII(kInstallLogFileName)));
  }
  ASSERT_EQ(1u, surveys_.size());
  const std::string survey = base::WideToUTF8(surveys_[0]);
  EXPECT_NE(std::string::npos,
            survey.find("Internet Explorer\\iexplore.exe\" "
                        "https://kelvo.example/uninstall-survey/?version=" +
                        GetProductVersion() + "&uuid="))
      << survey;
  EXPECT_EQ(survey.size() - 13, survey.find("&p=x -private"));
}

// Files still in use go to k.bat, which removes them once released; the
// components' uninstallers run, but none outside the installation; only
// the user's own profile goes.
TEST_F(UninstallStepsTest, CleanupComponentsBatchAndProfile) {
  InstallLog log = MakeLog({"a.dll", "sub\\b.dll"});
  const FilePath suite = install_folder().Append(L"suite");
  const FilePath outside = root().Append(L"evil");
  log.components = {{"suite", suite}, {"evil", outside}};
  MakeInstallation(log);
  // The suite's own installer is missing: the assistant's stands in.
  const FilePath assistant = MakeStandIn(suite, L"assistant_installer.exe", 0);
  const FilePath evil = MakeStandIn(outside, L"evil_installer.exe", 0);
  const FilePath profiles = root().Append(L"Profiles");
  std::wstring user;
  ASSERT_TRUE(GetUserName(&user));
  WriteFile(profiles.Append(user).Append(L"Local State"), "{}");
  WriteFile(profiles.Append(L"other").Append(L"Local State"), "{}");
  std::string profile_path =
      base::WideToUTF8(profiles.value()) + "\\<USERNAME>";
  base::ReplaceSubstringsAfterOffset(&profile_path, 0, "\\", "\\\\");
  WriteFile(install_folder().AppendASCII("installer_prefs.json"),
            "{\"profile_path\": \"" + profile_path + "\"}");
  const FilePath held_file = install_folder().Append(L"57.0\\sub\\b.dll");
  base::win::ScopedHandle held = Hold(held_file);
  SetCommandLine(L"--uninstall --deleteuserprofile=1");
  std::unique_ptr<Settings> settings = MakeUninstallSettings();
  Installer installer;
  RunSteps(&installer, settings.get(),
           MakeSteps(Step(&StepUninstallComponents, &installer),
                     Step(&StepCleanupAfterUninstall, &installer)));
  held.Close();

  EXPECT_TRUE(installer.succeeded());
  EXPECT_FALSE(base::PathExists(install_folder().Append(L"57.0\\a.dll")));
  EXPECT_FALSE(base::PathExists(launcher()));
  EXPECT_EQ(L"DeleteTask Autoupdate 1234", tasks_.calls.back());
  EXPECT_FALSE(base::PathExists(profiles.Append(user)));
  EXPECT_TRUE(base::PathExists(profiles.Append(L"other")));
  ASSERT_TRUE(WaitFor([&] { return !StandInRuns(assistant).empty(); }));
  EXPECT_NE(std::string::npos, StandInRuns(assistant)[0].find(
                                   "--uninstall --copyonly=0 --allusers=0"));
  EXPECT_TRUE(StandInRuns(evil).empty());
  // k.bat deletes what was in use, the folders it leaves empty and itself.
  const FilePath batch = install_folder().Append(kUninstallBatchFileName);
  EXPECT_TRUE(WaitFor([&] { return !base::PathExists(batch); }));
  EXPECT_FALSE(base::PathExists(held_file));
  EXPECT_FALSE(base::PathExists(install_folder().Append(L"57.0")));
}

// An install followed by its uninstall leaves the machine as it was, but
// for the install folder with installer_prefs.json and the last install
// path in the product key, which the uninstall keeps.
TEST_F(UninstallStepsTest, UninstallUndoesTheInstall) {
  WriteFilesList({"kelvo.exe", "resources\\a.pak"},
                 new std::vector<std::string>{"root.xml"});
  for (const char* file : {"kelvo.exe", "resources\\a.pak", "root.xml",
                           "launcher.exe", "pref_default_overrides"}) {
    WriteFile(package_dir().AppendASCII(file), "{}");
  }
  test::SnapshotScope scope;
  base::FilePath roaming;
  ASSERT_TRUE(base::PathService::Get(base::DIR_APP_DATA, &roaming));
  ASSERT_TRUE(base::CreateDirectory(
      roaming.Append(L"Microsoft\\Internet Explorer\\Quick Launch")));
  scope.folders = {install_folder(), desktop(), start_menu(), roaming};
  for (const wchar_t* key :
       {L"Software\\Classes", L"Software\\Clients",
        L"Software\\RegisteredApplications",
        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
        L"Software\\Kelvo Software"}) {
    scope.keys.push_back({HKEY_CURRENT_USER, key});
  }
  const test::MachineSnapshot before = test::TakeSnapshot(scope);

  SetCommandLine(L"--allusers=0 --launchkelvo=0 --pintotaskbar=0");
  std::unique_ptr<Settings> install = MakeSettings();
  Installer installer;
  test::InstallerEventRecorder install_events(&installer);
  RunToOutcome(&installer, install.get());
  ASSERT_EQ("success", install_events.events().back());
  ASSERT_TRUE(base::PathExists(desktop().Append(GetShortcutFileName(false))));
  ASSERT_EQ(1u, tasks_.tasks.size());

  SetCommandLine(L"--uninstall");
  std::unique_ptr<Settings> uninstall = MakeUninstallSettings();
  ASSERT_EQ(OPERATION_UNINSTALLING, uninstall->operation());
  Installer uninstaller;
  test::InstallerEventRecorder uninstall_events(&uninstaller);
  RunToOutcome(&uninstaller, uninstall.get());
  ASSERT_EQ("success", uninstall_events.events().back());
  EXPECT_TRUE(WaitFor([&] {
    return !base::PathExists(install_folder().Append(kUninstallBatchFileName));
  }));

  EXPECT_TRUE(tasks_.tasks.empty());
  EXPECT_TRUE(base::DeleteFile(
      install_folder().AppendASCII("installer_prefs.json"), false));
  EXPECT_TRUE(base::DeleteFile(install_folder(), false));
  base::win::RegKey(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(),
                    KEY_SET_VALUE)
      .DeleteValue(L"Last developer Install Path");
  base::win::RegKey(HKEY_CURRENT_USER, L"Software", KEY_ALL_ACCESS)
      .DeleteEmptyKey(L"Kelvo Software");
  EXPECT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
}

}  // namespace
}  // namespace installer
