// The registry clean-up against forged install-log records, and the check
// of records against the registry tables.

#include "desktop/windows/installer/steps/registry_steps.h"

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/bind.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_record_check.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/template_resolver.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using Names = std::vector<std::wstring>;

const wchar_t kFolder[] = L"C:\\Apps\\Kelvo";

// The records the tables write for an installation at kFolder under
// |root|, as the registry step makes them.
InstallLog RecordTables(HKEY root, const std::wstring& uninstall_suffix) {
  RowTemplates templates{FilePath(kFolder)};
  templates.set_uninstall_key_name(UninstallKeyName(uninstall_suffix));
  InstallLog log;
  templates.set_record(&log);
  std::vector<const RegistryRow*> rows;
  for (const RegistryRow& row : GetMainRegistryTable())
    rows.push_back(&row);
  rows.push_back(&GetHideFromProgramsRow());
  for (const RegistryRow* row : rows) {
    std::unique_ptr<Operation> operation;
    EXPECT_TRUE(
        RegistryEntry(*row, &templates).CreateOperation(root, &operation));
  }
  return log;
}

bool Accepts(const RegistryRecordCheck& check,
             const std::wstring& key,
             int clean_level,
             Names* values) {
  return check.FilterRecord(key, clean_level, values);
}

TEST(RegistryRecordCheckTest, EveryRecordTheTablesWritePasses) {
  RowTemplates templates{FilePath(kFolder)};
  RegistryRecordCheck check(&templates, {});
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const InstallLog log = RecordTables(root, L"2");
    const auto& keys =
        root == HKEY_CURRENT_USER ? log.hkcu_keys : log.hklm_keys;
    ASSERT_GT(keys.size(), 10u);
    for (const InstallLog::RegistryKey& key : keys) {
      Names values;
      for (const InstallLog::RegistryValue& value : key.values)
        values.push_back(base::UTF8ToWide(value.name));
      const Names recorded = values;
      EXPECT_TRUE(Accepts(check, base::UTF8ToWide(key.key_path),
                          key.clean_level, &values))
          << key.key_path;
      EXPECT_EQ(recorded, values) << key.key_path;
    }
  }
}

TEST(RegistryRecordCheckTest,
     KeysValuesAndLevelsTheTablesNeverWriteAreRefused) {
  RowTemplates templates{FilePath(kFolder)};
  RegistryRecordCheck check(&templates, {});
  const std::wstring uninstall = GetUninstallRegistryKey() + L"\\";
  const struct {
    std::wstring key;
    int clean_level;
    bool accepted;
  } kCases[] = {
      {L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 1, false},
      {L"Software\\Microsoft", 1, false},
      {L"Software\\Policies\\Kelvo", 1, false},
      {L"Software\\Kelvo\\Settings", 1, false},
      {L"Software\\Classes\\Kelvodeveloper", 1, true},
      {L"SOFTWARE\\CLASSES\\KELVODEVELOPER", 1, true},
      {L"Software\\Classes\\Kelvodeveloper\\Extra", 1, false},
      {L"Software\\Classes\\Kelvodeveloperx", 1, false},
      // A level above the rows' would reach the key's parents.
      {L"Software\\Classes\\Kelvodeveloper\\shell\\open\\command", 2, true},
      {L"Software\\Classes\\Kelvodeveloper\\shell\\open\\command", 3, false},
      {L"Software\\Classes\\Kelvodeveloper", -1, false},
      // Entries of earlier versions and second entries.
      {uninstall + L"Kelvo 57.0.1.0", 1, true},
      {uninstall + L"Kelvo 1.2.3.41", 1, true},
      {uninstall + L"Kelvo ", 1, false},
      {uninstall + L"Kelvo 1.2.3.4\\Sub", 1, false},
      {uninstall + L"Other 1.2.3.4", 1, false},
      {uninstall + L"Kelvo1.2.3.4", 1, false},
  };
  for (const auto& test_case : kCases) {
    Names values = {L"DisplayName"};
    EXPECT_EQ(test_case.accepted,
              Accepts(check, test_case.key, test_case.clean_level, &values))
        << test_case.key << " " << test_case.clean_level;
  }

  // A key of values only keeps the values the rows write there.
  const std::wstring compat =
      L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags"
      L"\\Compatibility Assistant\\Persisted";
  Names values = {L"C:\\Windows\\explorer.exe",
                  std::wstring(kFolder) + L"\\Launcher.exe"};
  EXPECT_TRUE(Accepts(check, compat, 0, &values));
  EXPECT_EQ(Names{std::wstring(kFolder) + L"\\Launcher.exe"}, values);
  values = {L"C:\\Windows\\explorer.exe"};
  EXPECT_FALSE(Accepts(check, compat, 0, &values));
  EXPECT_TRUE(values.empty());
  values = {L"Kelvo developer", L"Other Browser"};
  EXPECT_TRUE(Accepts(check, L"Software\\RegisteredApplications", 0, &values));
  EXPECT_EQ(Names{L"Kelvo developer"}, values);
  // The clean-up of a key of values removes nothing but them.
  values = {L"Kelvo developer"};
  EXPECT_FALSE(Accepts(check, L"Software\\RegisteredApplications", 1, &values));
}

TEST(RegistryRecordCheckTest, FormerProductStreamsPassOnlyWhenGiven) {
  RowTemplates templates{FilePath(kFolder)};
  Names values;
  EXPECT_FALSE(RegistryRecordCheck(&templates, {})
                   .FilterRecord(L"Software\\Classes\\KelvoNext", 1, &values));
  EXPECT_TRUE(RegistryRecordCheck(&templates, {L"Next", L" Next"})
                  .FilterRecord(L"Software\\Classes\\KelvoNext", 1, &values));
  EXPECT_TRUE(
      RegistryRecordCheck(&templates, {L"Next", L" Next"})
          .FilterRecord(L"Software\\Clients\\StartMenuInternet\\Kelvo Next", 1,
                        &values));
}

using RegistryStepsTest = test::StepsTest;

// An uninstall of an installation whose log was forged to name keys and
// values of other programs removes only what the installer made.
TEST_F(RegistryStepsTest, CleanupLeavesForgedRecordsAlone) {
  const std::wstring victim_key = L"Software\\KelvoTestVictim\\Settings";
  const std::wstring run_key =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring own_key = L"Software\\Classes\\Kelvodeveloper";
  for (const std::wstring* key : {&victim_key, &run_key, &own_key}) {
    base::win::RegKey reg_key;
    ASSERT_EQ(ERROR_SUCCESS,
              reg_key.Create(HKEY_CURRENT_USER, key->c_str(), KEY_SET_VALUE));
    const wchar_t* name = key == &victim_key ? L"Keep"
                          : key == &run_key  ? L"KelvoTestVictim"
                                             : L"URL Protocol";
    ASSERT_EQ(ERROR_SUCCESS, reg_key.WriteValue(name, L"x"));
  }

  InstallLog log = MakeLog();
  log.hkcu_keys.push_back({1, base::WideToUTF8(victim_key), {}});
  log.hkcu_keys.push_back(
      {0, base::WideToUTF8(run_key), {{"REG_SZ", "KelvoTestVictim", "x"}}});
  log.hkcu_keys.push_back(
      {1, base::WideToUTF8(own_key), {{"REG_SZ", "URL Protocol", ""}}});
  MakeInstallation(log);
  std::unique_ptr<Settings> settings = MakeUninstallSettings();
  Installer installer;
  test::InstallerEventRecorder events(&installer);
  RunSteps(&installer, settings.get(), MakeSteps(Step(&StepCleanupRegistry)));
  EXPECT_EQ("success", events.events().back());

  EXPECT_TRUE(base::win::RegKey(HKEY_CURRENT_USER, victim_key.c_str(), KEY_READ)
                  .HasValue(L"Keep"));
  base::win::RegKey run(HKEY_CURRENT_USER, run_key.c_str(),
                        KEY_READ | KEY_SET_VALUE);
  EXPECT_TRUE(run.HasValue(L"KelvoTestVictim"));
  EXPECT_FALSE(
      base::win::RegKey(HKEY_CURRENT_USER, own_key.c_str(), KEY_READ).Valid());
  run.DeleteValue(L"KelvoTestVictim");
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KelvoTestVictim");
}

// An entry of this version already pointing at the folder (left by a run
// that could not finish) is taken over, not joined by a second one. The
// run fails afterwards, which takes its rows back.
TEST_F(RegistryStepsTest, FolderIsRegisteredOnce) {
  std::unique_ptr<Settings> settings = MakeSettings();
  const HKEY root = settings->GetOption(ALL_USERS_FLAG) ? HKEY_LOCAL_MACHINE
                                                        : HKEY_CURRENT_USER;
  const std::wstring entry = UninstallKeyName(L"");
  const std::wstring second = UninstallKeyName(L"1");
  test::ScopedRegistryValue guard(root, entry, L"InstallLocation",
                                  KEY_WOW64_32KEY);
  base::win::RegKey orphan;
  ASSERT_EQ(ERROR_SUCCESS, orphan.Create(root, entry.c_str(),
                                         KEY_SET_VALUE | KEY_WOW64_32KEY));
  ASSERT_EQ(ERROR_SUCCESS, orphan.WriteValue(L"InstallLocation",
                                             install_folder().value().c_str()));
  orphan.Close();
  auto check = [](HKEY root, const std::wstring& entry,
                  const std::wstring& second, InstallRun* run) {
    EXPECT_EQ(entry, run->templates()->uninstall_key_name());
    EXPECT_TRUE(
        base::win::RegKey(root, entry.c_str(), KEY_READ | KEY_WOW64_32KEY)
            .HasValue(L"DisplayIcon"));
    EXPECT_FALSE(
        base::win::RegKey(root, second.c_str(), KEY_READ | KEY_WOW64_32KEY)
            .Valid());
    return StepResult::Error(IDS_ERROR_INSTALL, "checked");
  };
  Installer installer;
  test::InstallerEventRecorder events(&installer);
  RunSteps(&installer, settings.get(),
           MakeSteps(Step(&StepSetupRegistry),
                     Step(base::BindRepeating(check, root, entry, second))));
  EXPECT_EQ("error 37055 checked", events.events()[events.events().size() - 2]);
  EXPECT_FALSE(
      base::win::RegKey(root, entry.c_str(), KEY_READ | KEY_WOW64_32KEY)
          .HasValue(L"DisplayIcon"));
}

// Fails the first operation that starts after a log line holding |text|.
class FailAfterLogLine : public Transaction::FaultInjector {
 public:
  FailAfterLogLine(const base::ScopedLogCapture* log, std::string text)
      : log_(log), text_(std::move(text)) {
    Transaction::SetFaultInjectorForTesting(this);
  }
  FailAfterLogLine(const FailAfterLogLine&) = delete;
  FailAfterLogLine& operator=(const FailAfterLogLine&) = delete;
  ~FailAfterLogLine() override {
    Transaction::SetFaultInjectorForTesting(nullptr);
  }

  bool fired() const { return fired_; }

  Transaction::InjectedFault OnExecute() override {
    if (fired_ || !log_->Contains(text_))
      return Transaction::InjectedFault::kNone;
    fired_ = true;
    return Transaction::InjectedFault::kBeforeChange;
  }

 private:
  const base::ScopedLogCapture* const log_;
  const std::string text_;
  bool fired_ = false;
};

// Only a row of the uninstall entry that cannot be written ends the run,
// with the install error; a failing row of any other key is logged and the
// rows after it are written all the same.
TEST_F(RegistryStepsTest, OnlyAFailingUninstallEntryRowEndsTheRun) {
  const struct {
    const char* value;
    const wchar_t* key;  // Null: the uninstall entry.
    bool ends_the_run;
  } kCases[] = {
      {"FriendlyTypeName", L"Software\\Classes\\Kelvodeveloper", false},
      {"mailto",
       L"Software\\Clients\\StartMenuInternet\\Kelvodeveloper\\"
       L"Capabilities\\UrlAssociations",
       false},
      // The first row of the entry, which creates its key, and the last.
      {"DisplayName", nullptr, true},
      {"URLUpdateInfo", nullptr, true},
  };
  std::unique_ptr<Settings> settings = MakeSettings();
  const HKEY root = settings->GetOption(ALL_USERS_FLAG) ? HKEY_LOCAL_MACHINE
                                                        : HKEY_CURRENT_USER;
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.value);
    // What the rows wrote, seen before the run is taken back.
    struct Seen {
      std::wstring entry;
      bool failed_value_written = true;
      bool last_value_written = false;
    } seen;
    auto check = [](HKEY root, const std::wstring& failed,
                    const std::wstring& failed_key, Seen* seen,
                    InstallRun* run) {
      seen->entry = run->templates()->uninstall_key_name();
      base::win::RegKey entry(root, seen->entry.c_str(),
                              KEY_READ | KEY_WOW64_32KEY);
      seen->last_value_written = entry.HasValue(L"URLUpdateInfo");
      seen->failed_value_written =
          base::win::RegKey(root, failed_key.c_str(), KEY_READ)
              .HasValue(failed.c_str());
      return StepResult::Error(IDS_ERROR_INSTALL, "checked");
    };
    base::ScopedLogCapture log;
    FailAfterLogLine fault(
        &log, std::string("Writing value ") + test_case.value + " to key ");
    Installer installer;
    test::InstallerEventRecorder events(&installer);
    RunSteps(&installer, settings.get(),
             MakeSteps(Step(&StepSetupRegistry),
                       Step(base::BindRepeating(
                           check, root, base::ASCIIToWide(test_case.value),
                           std::wstring(test_case.key ? test_case.key : L""),
                           &seen))));
    ASSERT_TRUE(fault.fired());
    ASSERT_GE(events.events().size(), 2u);
    const std::string error = events.events()[events.events().size() - 2];
    if (test_case.ends_the_run) {
      EXPECT_EQ("error 37055 Failed writing uninstallation information", error);
      EXPECT_TRUE(seen.entry.empty()) << "a step ran after the failure";
      EXPECT_TRUE(log.ContainsError("Failed writing uninstallation "
                                    "information"));
    } else {
      EXPECT_EQ("error 37055 checked", error);
      EXPECT_FALSE(seen.failed_value_written);
      EXPECT_TRUE(seen.last_value_written);
    }
    EXPECT_EQ("terminated", events.events().back());
    // Taken back either way.
    EXPECT_FALSE(base::win::RegKey(root, UninstallKeyName(L"").c_str(),
                                   KEY_READ | KEY_WOW64_32KEY)
                     .HasValue(L"DisplayName"));
  }
}

}  // namespace
}  // namespace installer
