#include "desktop/windows/installer/steps/uninstall_steps.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/bind.h"
#include "base/files/file_enumerator.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/steps/registry_steps.h"
#include "desktop/windows/installer/steps/shortcut_steps.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_batch_tools.h"
#include "desktop/windows/installer/test/scoped_http_handler.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/installer/uninstall_batch.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::MakeStandIn;
using test::StandInRuns;

class UninstallStepsTest : public test::StepsTest {
 protected:
  // Opens |path| so that it can be neither moved nor deleted.
  static base::win::ScopedHandle Hold(const FilePath& path) {
    return base::win::ScopedHandle(
        ::CreateFileW(path.value().c_str(), GENERIC_READ, FILE_SHARE_READ,
                      nullptr, OPEN_EXISTING, 0, nullptr));
  }
  void ExpectUninstallUndoesTheInstall();
  // The files directly in |folder|.
  static int CountFiles(const FilePath& folder) {
    int count = 0;
    base::FileEnumerator files(folder, false, base::FileEnumerator::FILES);
    for (FilePath file = files.Next(); !file.empty(); file = files.Next())
      ++count;
    return count;
  }
  // The batch that the uninstall started waits for the installer, this
  // process, and leaves |kept| alone meanwhile; this process then stands
  // for one that has ended.
  void ExpectBatchWaitsForThisProcess(test::ScopedBatchTools* tools,
                                      const FilePath& kept) {
    const uint32_t self = ::GetCurrentProcessId();
    EXPECT_TRUE(tools->WaitForAnswers(self, 2));
    EXPECT_TRUE(base::PathExists(kept));
    EXPECT_EQ(std::vector<bool>(tools->Answers(self).size(), true),
              tools->Answers(self));
    tools->EndProcess(self);
  }
  // Waits at most 30 s for |done|.
  template <typename Condition>
  static bool WaitFor(Condition done) {
    for (int i = 0; i < 300 && !done(); ++i)
      ::Sleep(100);
    return done();
  }
};

// Files still in use go to k.bat, which removes them once released; the
// components' uninstallers run, but none outside the installation; only
// the user's own profile goes.
TEST_F(UninstallStepsTest, CleanupComponentsBatchAndProfile) {
  InstallLog log = MakeLog({"sub\\b.dll"});
  const FilePath suite = install_folder().Append(L"suite");
  log.components = {{"suite", suite}, {"evil", root().Append(L"evil")}};
  MakeInstallation(log);
  // The suite's own installer is missing: the assistant's stands in.
  const FilePath assistant = MakeStandIn(suite, L"assistant_installer.exe", 0);
  const FilePath evil =
      MakeStandIn(root().Append(L"evil"), L"evil_installer.exe", 0);
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
  test::ScopedBatchTools tools;
  ASSERT_TRUE(tools.ready());
  SetCommandLine(L"--uninstall --deleteuserprofile=1");
  std::unique_ptr<Settings> settings = MakeUninstallSettings();
  Installer installer;
  RunSteps(&installer, settings.get(),
           MakeSteps(Step(&StepUninstallComponents),
                     Step(&StepCleanupAfterUninstall)));
  held.Close();
  ExpectBatchWaitsForThisProcess(&tools, held_file);

  EXPECT_TRUE(installer.succeeded());
  EXPECT_FALSE(base::PathExists(profiles.Append(user)));
  EXPECT_TRUE(base::PathExists(profiles.Append(L"other")));
  ASSERT_TRUE(WaitFor([&] { return !StandInRuns(assistant).empty(); }));
  EXPECT_NE(std::string::npos, StandInRuns(assistant)[0].find(
                                   "--uninstall --copyonly=0 --allusers=0"));
  EXPECT_TRUE(StandInRuns(evil).empty());
  EXPECT_TRUE(WaitFor([&] {
    return !base::PathExists(install_folder().Append(kUninstallBatchFileName));
  }));
  EXPECT_FALSE(base::PathExists(install_folder().Append(L"57.0")));
}

// An install, an upgrade that keeps the first version for later and the
// uninstall leave the machine as it was, but for the install folder with
// installer_prefs.json and the last install path, which the uninstall
// keeps; the survey carries the version and the welcome page's query. The
// upgrade keeps the one set of shortcuts that the install made.
void UninstallStepsTest::ExpectUninstallUndoesTheInstall() {
  const std::vector<std::string> root_files = {"root.xml"};
  WriteFilesList({"kelvo.exe", "resources\\a.pak"}, &root_files);
  for (const char* file : {"kelvo.exe", "resources\\a.pak", "root.xml",
                           "launcher.exe", "pref_default_overrides"}) {
    WriteFile(package_dir().AppendASCII(file), "{}");
  }
  WriteFile(package_dir().AppendASCII("installer_prefs_include.json"),
            "{\"welcome-url\": \"https://kelvo.example/welcome?p=x\"}");
  FilePath roaming;
  ASSERT_TRUE(base::PathService::Get(base::DIR_APP_DATA, &roaming));
  ASSERT_TRUE(base::CreateDirectory(
      roaming.Append(L"Microsoft\\Internet Explorer\\Quick Launch")));
  // Keys that other programs share (the rows of clean level 0 but the
  // browser's own file type, and their parents) stay after an uninstall; a
  // used profile has them before the install, and so does the test prefix
  // (tools/wine_prefix.sh). The own file type's keys go.
  const std::wstring own_file_type = kOwnFileTypeKey;
  std::vector<std::wstring> shared_keys = {
      L"Software\\Clients\\StartMenuInternet",
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
  for (const RegistryRow& row : GetMainRegistryTable()) {
    const std::wstring key = row.key;
    if (row.clean_level == 0 && key.find(L'{') == std::wstring::npos &&
        key.rfind(own_file_type, 0) != 0) {
      shared_keys.push_back(key);
    }
  }
  for (const std::wstring& key : shared_keys) {
    ASSERT_TRUE(
        base::win::RegKey(HKEY_CURRENT_USER, key.c_str(), KEY_READ).Valid())
        << key;
  }
  test::SnapshotScope scope;
  scope.folders = {install_folder(), desktop(), start_menu(), roaming};
  for (const wchar_t* key :
       {L"Software\\Classes", L"Software\\Clients",
        L"Software\\RegisteredApplications",
        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
        L"Software\\Kelvo Software"}) {
    scope.keys.push_back({HKEY_CURRENT_USER, key});
  }
  // The install remembers its folder for the next one and the uninstall
  // keeps that; what a used prefix held there before comes back before the
  // comparison.
  auto last_install_path = std::make_unique<test::ScopedRegistryValue>(
      HKEY_CURRENT_USER, GetProductRegistryKey(),
      L"Last developer Install Path");
  const test::MachineSnapshot before = test::TakeSnapshot(scope);
  SetCommandLine(L"--allusers=0 --launchkelvo=0 --pintotaskbar=0");
  for (int run = 0; run < 2; ++run) {
    std::unique_ptr<Settings> settings = MakeSettings();
    Installer installer;
    RunToOutcome(&installer, settings.get());
    ASSERT_TRUE(installer.succeeded());
  }
  const FilePath shortcut = desktop().Append(GetShortcutFileName(false));
  ASSERT_TRUE(base::PathExists(shortcut));
  EXPECT_EQ(1, CountFiles(desktop()));
  InstallLog upgraded;
  ASSERT_TRUE(InstallLogReader().Read(
      &upgraded, install_folder().AppendASCII(kInstallLogFileName)));
  EXPECT_EQ(shortcut, upgraded.desktop_shortcut);
  ASSERT_TRUE(base::PathExists(install_folder().Append(L"old_status")));

  test::ScopedBatchTools tools;
  ASSERT_TRUE(tools.ready());
  SetCommandLine(L"--uninstall");
  std::unique_ptr<Settings> settings = MakeUninstallSettings();
  Installer uninstaller;
  RunToOutcome(&uninstaller, settings.get());
  ASSERT_TRUE(uninstaller.succeeded());
  ExpectBatchWaitsForThisProcess(
      &tools, install_folder().Append(kUninstallBatchFileName));
  EXPECT_TRUE(WaitFor([&] {
    return !base::PathExists(install_folder().Append(kUninstallBatchFileName));
  }));
  EXPECT_TRUE(tasks_.tasks.empty());
  ASSERT_EQ(1u, surveys_.size());
  EXPECT_NE(
      std::wstring::npos,
      surveys_[0].find(L"iexplore.exe\" https://kelvo.example/"
                       L"uninstall-survey/?version=" +
                       base::ASCIIToWide(GetProductVersion()) + L"&uuid="));
  EXPECT_NE(std::wstring::npos, surveys_[0].find(L"&p=x -private"));
  EXPECT_TRUE(base::DeleteFile(
      install_folder().AppendASCII("installer_prefs.json"), false));
  EXPECT_TRUE(base::DeleteFile(install_folder(), false));
  last_install_path.reset();
  EXPECT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
}

// The browser that handled the web gives it back: for all users through
// Internet Explorer's own reinstall command, on Windows 8 through the
// user's choice in the open-with dialog; a browser that did not handle it,
// or a standalone copy, changes nothing.
TEST_F(UninstallStepsTest, DefaultBrowserIsHandedBack) {
  constexpr wchar_t kIeInstallInfo[] =
      L"SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\InstallInfo";
  test::ScopedRegistryValue reinstall(HKEY_LOCAL_MACHINE, kIeInstallInfo,
                                      L"ReinstallCommand");
  test::ScopedHttpHandler http_handler(L"KelvoUninstallTestHTML");
  const FilePath ie = MakeStandIn(root().Append(L"ie"), L"ie.exe", 0);
  ASSERT_EQ(ERROR_SUCCESS,
            base::win::RegKey(HKEY_LOCAL_MACHINE, kIeInstallInfo,
                              KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
                .WriteValue(L"ReinstallCommand",
                            (L"\"" + ie.value() + L"\" /reinstall").c_str()));
  const struct {
    const char* name;
    bool all_users;
    bool copy_only;
    base::win::Version version;
    bool handler;
    bool reinstalled;
    bool dialog;
  } kCases[] = {
      {"not the handler", true, false, base::win::VERSION_WIN10, false, false,
       false},
      {"copy", false, true, base::win::VERSION_WIN10, true, false, false},
      {"all users", true, false, base::win::VERSION_WIN10, true, true, false},
      {"windows 8", false, false, base::win::VERSION_WIN8, true, false, true},
  };
  size_t reinstalls = 0;
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.name);
    platform_.version = test.version;
    platform_.calls.clear();
    http_handler.SetCommand(L"\"" + (test.handler ? launcher() : ie).value() +
                            L"\" \"%1\"");
    // The options of an uninstall are those the installation recorded.
    InstallLog log = MakeLog();
    log.all_users = test.all_users;
    log.copy_only = test.copy_only;
    MakeInstallation(log);
    SetCommandLine(L"--uninstall --silent");
    std::unique_ptr<Settings> settings = MakeUninstallSettings();
    ASSERT_EQ(test.handler, settings->GetStatus().is_http_handler());
    ASSERT_EQ(test.copy_only, settings->GetOption(COPY_ONLY));
    Installer installer;
    RunSteps(&installer, settings.get(),
             MakeSteps(Step(base::BindRepeating([](InstallRun* run) {
               RestoreDefaultBrowserAndSurvey(run, run->install_folder());
               return StepResult::Succeeded();
             }))));
    ASSERT_TRUE(installer.succeeded());
    if (test.reinstalled)
      ++reinstalls;
    ASSERT_EQ(reinstalls, StandInRuns(ie).size());
    if (test.reinstalled) {
      EXPECT_NE(std::string::npos, StandInRuns(ie).back().find(" /reinstall"));
    }
    EXPECT_EQ(test.dialog ? std::vector<std::wstring>{L"open-with http"}
                          : std::vector<std::wstring>(),
              platform_.calls);
  }
}

// The clean-up takes the browser's value out of its own file type's keys
// and the keys with it once they are empty; another stream's value keeps
// them. Keys that other programs share stay even when empty.
TEST_F(UninstallStepsTest, OwnFileTypeKeysGoWithTheLastValue) {
  const std::wstring own_key =
      std::wstring(kOwnFileTypeKey) + L"\\OpenWithProgIDs";
  const std::wstring shared_key = L"Software\\Classes\\.htm\\OpenWithProgIDs";
  constexpr wchar_t kOurs[] = L"Kelvodeveloper";
  constexpr wchar_t kOtherStream[] = L"Kelvostable";
  test::ScopedRegistryValue own_keys(HKEY_CURRENT_USER, kOwnFileTypeKey, L"");
  test::ScopedRegistryValue shared_value(HKEY_CURRENT_USER, shared_key, kOurs);
  InstallLog log = MakeLog();
  for (const std::wstring& key : {own_key, shared_key}) {
    log.hkcu_keys.push_back({0,
                             base::WideToUTF8(key),
                             {{"REG_NONE", base::WideToUTF8(kOurs), ""}}});
  }
  MakeInstallation(log);
  SetCommandLine(L"--uninstall");
  for (bool other_stream : {true, false}) {
    SCOPED_TRACE(other_stream ? "beside another stream" : "alone");
    for (const std::wstring& key : {own_key, shared_key}) {
      ASSERT_EQ(ERROR_SUCCESS,
                base::win::RegKey(HKEY_CURRENT_USER, key.c_str(),
                                  KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
                    .WriteValue(kOurs, nullptr, 0, REG_NONE));
    }
    if (other_stream) {
      ASSERT_EQ(
          ERROR_SUCCESS,
          base::win::RegKey(HKEY_CURRENT_USER, own_key.c_str(), KEY_SET_VALUE)
              .WriteValue(kOtherStream, nullptr, 0, REG_NONE));
    }
    std::unique_ptr<Settings> settings = MakeUninstallSettings();
    Installer installer;
    RunSteps(&installer, settings.get(), MakeSteps(Step(&StepCleanupRegistry)));
    ASSERT_TRUE(installer.succeeded());

    base::win::RegKey shared(HKEY_CURRENT_USER, shared_key.c_str(), KEY_READ);
    EXPECT_TRUE(shared.Valid());
    EXPECT_FALSE(shared.HasValue(kOurs));
    base::win::RegKey own(HKEY_CURRENT_USER, own_key.c_str(),
                          KEY_READ | KEY_SET_VALUE);
    EXPECT_EQ(other_stream, own.Valid());
    EXPECT_FALSE(own.HasValue(kOurs));
    if (other_stream) {
      EXPECT_TRUE(own.HasValue(kOtherStream));
      own.DeleteValue(kOtherStream);
    } else {
      EXPECT_FALSE(
          base::win::RegKey(HKEY_CURRENT_USER, kOwnFileTypeKey, KEY_READ)
              .Valid());
    }
  }
}

TEST_F(UninstallStepsTest, UninstallUndoesTheInstall) {
  ExpectUninstallUndoesTheInstall();
}

// Shortcuts into a folder named in letters outside the ANSI code page are
// found again by the upgrade and the uninstall.
TEST_F(UninstallStepsTest, UninstallUndoesTheInstallInANonAnsiFolder) {
  set_install_folder(root().Append(L"Programs\\Kelvo \u65e5\u672c\u8a9e"));
  ExpectUninstallUndoesTheInstall();
}

}  // namespace
}  // namespace installer
