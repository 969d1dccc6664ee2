// Installs and upgrades from an unpacked package of a few hundred files,
// with real files and registry, and failures injected into the middle of
// them. The task scheduler and the firewall are fakes (Wine stores neither).

#include "desktop/windows/installer/install_steps.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/platform_thread.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/registry_steps.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/test/engine_test.h"
#include "desktop/windows/installer/test/fake_firewall_manager.h"
#include "desktop/windows/installer/test/fake_task_scheduler.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_operation_fault.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/version_info.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

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

std::string ReadFile(const FilePath& path) {
  std::string text;
  base::ReadFileToString(path, &text);
  return text;
}

void WriteFile(const FilePath& path, const std::string& text) {
  ASSERT_TRUE(base::CreateDirectory(path.DirName()));
  ASSERT_EQ(static_cast<int>(text.size()),
            base::WriteFile(path, text.data(), static_cast<int>(text.size())));
}

class InstallStepsTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    MakePackage();
    SetCommandLine(L"--launchkelvo=0");
  }

  // The package: the browser stand-in, data files in nested folders, a root
  // file, the launcher, prefs to include, overrides and tracking data, and
  // a component beside it.
  void MakePackage() {
    files_ = {"kelvo.exe"};
    ASSERT_TRUE(base::CopyFile(bin_dir().Append(L"stand_in.exe"),
                               package_dir().Append(L"kelvo.exe")));
    for (int i = 0; i < kPackageFiles; ++i) {
      const std::string name =
          base::StringPrintf("resources\\%02d\\data_%04d.pak", i % 16, i);
      files_.push_back(name);
      WriteFile(package_dir().AppendASCII(name),
                std::string(64 + i, static_cast<char>('a' + i % 26)));
    }
    root_files_ = {"kelvo_visual_elements.xml"};
    WriteFile(package_dir().AppendASCII(root_files_[0]), "<Application/>");
    WriteFilesList(files_, &root_files_);
    MakeStandIn(package_dir(), L"launcher.exe", 0);
    WriteFile(package_dir().AppendASCII("installer_prefs_include.json"),
              "{\"welcome-url\": \"https://welcome.example/\"}");
    WriteFile(package_dir().AppendASCII("pref_default_overrides"), "{}");
    WriteFile(package_dir().AppendASCII("server_tracking_data"), "tracking");
    component_ =
        MakeStandIn(root().Append(L"suite"), L"suite_installer.exe", 0);
  }

  // One run of the backend on |folder|; its events. With |fault| >= 0 that
  // change fails; without, |*operations| gets the number of changes made.
  std::vector<std::string> RunInstall(const FilePath& folder,
                                      int fault = -1,
                                      int* operations = nullptr) {
    set_install_folder(folder);
    SetCommandLine(
        L"--allusers=0 --launchkelvo=0"
        L" --server-tracking-data=server_tracking_data"
        L" --components=suite:suite");
    std::unique_ptr<Settings> settings = MakeSettings();
    Installer installer;
    test::InstallerEventRecorder recorder(&installer);
    std::unique_ptr<test::ScopedOperationFault> injector =
        fault < 0 ? std::make_unique<test::ScopedOperationFault>()
                  : std::make_unique<test::ScopedOperationFault>(
                        fault, Transaction::InjectedFault::kAfterChange);
    RunToOutcome(&installer, settings.get());
    EXPECT_EQ(fault >= 0, injector->fired());
    if (operations)
      *operations = injector->operations_started();
    return recorder.events();
  }

  // Removes what the installation at |folder| registered, as an upgrade
  // cleans up before it writes the tables again.
  void CleanUpRegistry(const FilePath& folder) {
    set_install_folder(folder);
    SetCommandLine(L"");
    std::unique_ptr<Settings> settings = MakeSettings();
    Installer installer;
    std::vector<base::OnceClosure> steps;
    steps.push_back(base::BindOnce(&StepCleanupRegistry, &installer));
    steps.push_back(
        base::BindOnce(&Installer::OnSuccess, base::Unretained(&installer)));
    installer.SetStepListForTesting(std::move(steps));
    RunToOutcome(&installer, settings.get());
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

  InstallLog ReadInstallLog() {
    InstallLog log;
    InstallLogReader reader;
    EXPECT_TRUE(reader.Read(
        &log, install_folder().AppendASCII("installation_status.xml")))
        << reader.error();
    return log;
  }

  // Every file of the package in the installation, with the same bytes;
  // every value the log records in the registry, in its view.
  void ExpectInstalled(const InstallLog& log) {
    const FilePath version_folder = install_folder().Append(log.subfolder);
    ASSERT_EQ(files_.size(), log.files.size());
    for (const std::string& file : files_) {
      EXPECT_EQ(ReadFile(package_dir().AppendASCII(file)),
                ReadFile(version_folder.AppendASCII(file)))
          << file;
    }
    EXPECT_EQ(std::vector<FilePath>{FilePath(L"kelvo_visual_elements.xml")},
              log.root_files);
    EXPECT_TRUE(log.hklm_keys.empty());
    EXPECT_EQ(kPerUserRows, CountValues(log.hkcu_keys));
    for (const InstallLog::RegistryKey& key : log.hkcu_keys) {
      const std::wstring path = base::UTF8ToWide(key.key_path);
      const REGSAM view =
          path.rfind(GetUninstallRegistryKey(), 0) == 0 ? KEY_WOW64_32KEY : 0;
      base::win::RegKey reg_key(HKEY_CURRENT_USER, path.c_str(),
                                KEY_READ | view);
      for (const InstallLog::RegistryValue& value : key.values) {
        std::wstring data;
        const std::wstring name = base::UTF8ToWide(value.name);
        EXPECT_TRUE(reg_key.HasValue(name.c_str()))
            << key.key_path << " " << value.name;
        if (value.type == "REG_SZ" &&
            reg_key.ReadValue(name.c_str(), &data) == ERROR_SUCCESS) {
          EXPECT_EQ(value.data, base::WideToUTF8(data)) << key.key_path;
        }
      }
    }
    std::wstring location;
    base::win::RegKey uninstall(HKEY_CURRENT_USER,
                                UninstallKeyName(L"").c_str(),
                                KEY_READ | KEY_WOW64_32KEY);
    ASSERT_EQ(ERROR_SUCCESS,
              uninstall.ReadValue(L"InstallLocation", &location));
    EXPECT_EQ(install_folder().value(), location);
    ASSERT_EQ(1u, log.components.size());
    EXPECT_EQ("suite", log.components[0].name);
  }

  std::unique_ptr<base::DictionaryValue> ReadPrefs() {
    return base::DictionaryValue::From(base::JSONReader::Read(
        ReadFile(install_folder().AppendASCII("installer_prefs.json"))));
  }

  std::vector<std::string> files_;
  std::vector<std::string> root_files_;
  FilePath component_;
  FakeTaskScheduler::Record tasks_;
  ScopedTaskSchedulerFactoryForTesting task_factory_{
      FakeTaskScheduler::Factory(&tasks_)};
  FakeFirewallManager::Record firewall_;
  FirewallManager::ScopedFactoryForTesting firewall_factory_{
      FakeFirewallManager::Factory(&firewall_)};
};

// An install puts everything in place; a failed install leaves nothing,
// not even its prefs; an upgrade replaces the installation, and a failed
// upgrade leaves it as it was.
TEST_F(InstallStepsTest, InstallUpgradeAndFailuresOfBoth) {
  const FilePath first = root().Append(L"Programs\\Kelvo");
  const FilePath second = root().Append(L"Programs\\Second");

  std::vector<std::string> events = RunInstall(first);
  ASSERT_EQ("success", events.back());
  const InstallLog installed = ReadInstallLog();
  ExpectInstalled(installed);
  EXPECT_EQ(1,
            std::count(events.begin(), events.end(),
                       "total " + base::IntToString(std::count(
                                      events.begin(), events.end(), "step"))));
  EXPECT_EQ(base::ASCIIToWide(GetProductVersion()),
            installed.subfolder.value());
  EXPECT_EQ("tracking", ReadFile(first.AppendASCII("server_tracking_data")));
  EXPECT_TRUE(base::PathExists(first.AppendASCII("pref_default_overrides")));
  EXPECT_EQ(1u, StandInRuns(component_).size());
  std::unique_ptr<base::DictionaryValue> prefs = ReadPrefs();
  ASSERT_TRUE(prefs);
  std::string welcome_url;
  EXPECT_TRUE(prefs->GetString("welcome-url", &welcome_url));
  EXPECT_EQ("https://welcome.example/", welcome_url);
  for (const char* key :
       {"single_profile", "installer-experiments", "all-installer-experiments",
        "autoupdate", "import_browser_data", "enable_stats"}) {
    EXPECT_TRUE(prefs->HasKey(key)) << key;
  }
  ASSERT_EQ(1u, tasks_.created.size());
  EXPECT_EQ(L"Autoupdate " + base::UTF8ToWide(installed.app_id),
            tasks_.created[0].name);
  EXPECT_EQ(
      (std::vector<std::wstring>{
          L"Create " +
              first.Append(installed.subfolder).Append(L"kelvo.exe").value(),
          L"AddFirewallRules " +
              first.Append(installed.subfolder).Append(L"kelvo.exe").value()}),
      firewall_.calls);

  // A second installation of the same version takes the next free
  // uninstall entry.
  RunInstall(second);
  EXPECT_TRUE(base::win::RegKey(HKEY_CURRENT_USER,
                                UninstallKeyName(L"1").c_str(),
                                KEY_READ | KEY_WOW64_32KEY)
                  .Valid());

  // Installs that fail among the files, or when saving the install log
  // after the prefs were written, leave no trace.
  const FilePath failing = root().Append(L"Programs\\Failing");
  const test::MachineSnapshot before_failure = Snapshot();
  events = RunInstall(failing, 20);
  ASSERT_EQ("terminated", events.back());
  EXPECT_EQ(0u, events[events.size() - 2].rfind(
                    "error 37062 Failed copying resources\\", 0));
  EXPECT_TRUE(test::SnapshotsEqual(before_failure, Snapshot()));
  ASSERT_TRUE(
      base::CreateDirectory(failing.AppendASCII("installation_status.xml")));
  const test::MachineSnapshot before_log_failure = Snapshot();
  events = RunInstall(failing);
  EXPECT_EQ("error 37055 Failed saving the installation status",
            events[events.size() - 2]);
  EXPECT_FALSE(base::PathExists(failing.AppendASCII("installer_prefs.json")));
  EXPECT_TRUE(test::SnapshotsEqual(before_log_failure, Snapshot()));

  // The upgrade cleans up what the first install recorded, by level: the
  // open command's parent with its whole subtree, only our own value
  // beside those of others.
  ASSERT_EQ(
      ERROR_SUCCESS,
      base::win::RegKey(HKEY_CURRENT_USER,
                        (std::wstring(kClassKey) + L"\\shell\\open\\x").c_str(),
                        KEY_WRITE)
          .WriteValue(L"foreign", L"1"));
  const std::wstring open_with = L"Software\\Classes\\.htm\\OpenWithProgIDs";
  ASSERT_EQ(ERROR_SUCCESS,
            base::win::RegKey(HKEY_CURRENT_USER, open_with.c_str(), KEY_WRITE)
                .WriteValue(L"Foreign", L""));
  WriteFile(first.AppendASCII("installer_prefs.json"),
            "{\"au_task_error_count\": 2, \"kept\": true}");
  int operations = 0;
  events = RunInstall(first, -1, &operations);
  ASSERT_EQ("success", events.back());
  const InstallLog upgraded = ReadInstallLog();
  ExpectInstalled(upgraded);
  EXPECT_EQ(installed.app_id, upgraded.app_id);
  EXPECT_EQ(base::ASCIIToWide(GetProductVersion() + "_0"),
            upgraded.subfolder.value());
  EXPECT_FALSE(
      base::win::RegKey(HKEY_CURRENT_USER,
                        (std::wstring(kClassKey) + L"\\shell\\open\\x").c_str(),
                        KEY_READ)
          .Valid());
  EXPECT_TRUE(base::win::RegKey(HKEY_CURRENT_USER, open_with.c_str(), KEY_READ)
                  .HasValue(L"Foreign"));
  prefs = ReadPrefs();
  ASSERT_TRUE(prefs);
  int error_count = 0;
  EXPECT_TRUE(prefs->GetInteger("au_task_error_count", &error_count));
  EXPECT_EQ(1, error_count);
  EXPECT_TRUE(prefs->HasKey("kept"));
  EXPECT_TRUE(prefs->HasKey("all-installer-experiments"));
  ASSERT_EQ(1u, upgraded.components.size());

  // Removing the versions preserved by earlier upgrades is final at once;
  // without them a failed upgrade leaves no trace.
  ASSERT_TRUE(base::DeleteFile(first.Append(L"old_status"), true));
  const test::MachineSnapshot before_failed_upgrade = Snapshot();
  events = RunInstall(first, operations / 2);
  EXPECT_EQ("terminated", events.back());
  EXPECT_TRUE(test::SnapshotsEqual(before_failed_upgrade, Snapshot()));

  CleanUpRegistry(second);
  CleanUpRegistry(first);
  base::win::RegKey(HKEY_CURRENT_USER, open_with.c_str(), KEY_WRITE)
      .DeleteValue(L"Foreign");
}

// For all users the tables go to the machine, the uninstall entry to the
// 32-bit view and there to the next free name; a failure takes it all back.
TEST_F(InstallStepsTest, AllUsersTablesGoToTheMachine) {
  base::win::RegKey taken;
  ASSERT_EQ(ERROR_SUCCESS,
            taken.Create(HKEY_LOCAL_MACHINE, UninstallKeyName(L"").c_str(),
                         KEY_WRITE | KEY_WOW64_32KEY));
  test::ScopedRegistryValue taken_guard(
      HKEY_LOCAL_MACHINE, UninstallKeyName(L""), L"", KEY_WOW64_32KEY);
  test::SnapshotScope scope;
  for (const wchar_t* key :
       {L"Software\\Classes\\Kelvodeveloper", L"Software\\Classes\\.zex",
        L"Software\\Classes\\.htm", L"Software\\Clients\\StartMenuInternet",
        L"Software\\RegisteredApplications",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}) {
    scope.keys.push_back({HKEY_LOCAL_MACHINE, key});
  }
  SetCommandLine(L"--allusers=1");
  std::unique_ptr<Settings> settings = MakeSettings();
  const test::MachineSnapshot before = test::TakeSnapshot(scope);
  Installer installer;
  test::InstallerEventRecorder recorder(&installer);
  std::vector<base::OnceClosure> steps;
  steps.push_back(base::BindOnce(&StepSetupRegistry, &installer));
  steps.push_back(base::BindOnce(
      [](Installer* installer) {
        const std::wstring entry = UninstallKeyName(L"1");
        EXPECT_EQ(entry, installer->uninstall_key_name());
        std::wstring location;
        EXPECT_EQ(ERROR_SUCCESS,
                  base::win::RegKey(HKEY_LOCAL_MACHINE, entry.c_str(),
                                    KEY_READ | KEY_WOW64_32KEY)
                      .ReadValue(L"InstallLocation", &location));
        EXPECT_EQ(installer->install_folder().value(), location);
        EXPECT_FALSE(base::win::RegKey(HKEY_LOCAL_MACHINE, entry.c_str(),
                                       KEY_READ | KEY_WOW64_64KEY)
                         .Valid());
        EXPECT_TRUE(
            base::win::RegKey(HKEY_LOCAL_MACHINE, kClassKey, KEY_READ).Valid());
        // The rows for the users' own classes are not among them.
        EXPECT_TRUE(installer->install_log()->hkcu_keys.empty());
        EXPECT_EQ(kPerUserRows - 3,
                  CountValues(installer->install_log()->hklm_keys));
        installer->NotifyError(IDS_ERROR_INSTALL, L"", "stop");
      },
      &installer));
  installer.SetStepListForTesting(std::move(steps));

  RunToOutcome(&installer, settings.get());

  EXPECT_EQ("terminated", recorder.events().back());
  EXPECT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
}

}  // namespace
}  // namespace installer
