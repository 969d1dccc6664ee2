#include "desktop/windows/installer/shell_integration.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/fake_shell_platform.h"
#include "desktop/windows/installer/test/install_log_test_util.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_operation_fault.h"
#include "desktop/windows/installer/test/scoped_registry_values.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kUrlAssociations[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";
constexpr wchar_t kFileExts[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr wchar_t kBrowserClass[] = L"Kelvodeveloper";
constexpr wchar_t kStartMenuInternet[] =
    L"Software\\Clients\\StartMenuInternet";
constexpr wchar_t kProductKey[] = L"Software\\Kelvo Software";
// A protocol and a file type of the tests' own.
constexpr wchar_t kTestProtocol[] = L"kelvotestproto";
constexpr wchar_t kTestExtension[] = L".kelvotestext";
constexpr wchar_t kTestProgId[] = L"KelvoShellTestHTML";

std::wstring ReadString(HKEY root,
                        const std::wstring& key_path,
                        const wchar_t* name) {
  base::win::RegKey key;
  std::wstring value;
  if (key.Open(root, key_path.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS ||
      key.ReadValue(name, &value) != ERROR_SUCCESS) {
    return L"<none>";
  }
  return value;
}

void DeleteValue(HKEY root, const std::wstring& key_path, const wchar_t* name) {
  base::win::RegKey key;
  if (key.Open(root, key_path.c_str(), KEY_SET_VALUE) == ERROR_SUCCESS)
    key.DeleteValue(name);
}

bool KeyExists(HKEY root, const std::wstring& key_path) {
  base::win::RegKey key;
  return key.Open(root, key_path.c_str(), KEY_QUERY_VALUE) == ERROR_SUCCESS;
}

void WriteString(HKEY root,
                 const std::wstring& key_path,
                 const wchar_t* name,
                 const std::wstring& value,
                 DWORD type = REG_SZ) {
  base::win::RegKey key(root, key_path.c_str(),
                        KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
  ASSERT_EQ(ERROR_SUCCESS,
            key.WriteValue(name, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * 2), type));
}

class ShellIntegrationTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    folder_ = temp_dir_.GetPath().Append(L"Kelvo Apps");
    ASSERT_TRUE(base::CreateDirectory(folder_));
    // Everything the tests may write comes back as it was.
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      for (const wchar_t* name :
           {kBrowserClass, kTestProtocol, kTestExtension, kTestProgId}) {
        Keep(root, kClasses + std::wstring(name), L"");
      }
      Keep(root, kProductKey, L"Previous Default Browser");
      Keep(root, kStartMenuInternet, L"");
    }
    for (size_t i = 0; i < kBrowserAssociationCount; ++i) {
      const std::wstring association = kBrowserAssociations[i];
      Keep(HKEY_CURRENT_USER, kClasses + association, L"");
      Keep(HKEY_CURRENT_USER, UserChoiceKey(association), L"ProgId");
    }
    Keep(HKEY_CURRENT_USER, UserChoiceKey(kTestProtocol), L"ProgId");
    Keep(HKEY_CURRENT_USER, UserChoiceKey(kTestExtension), L"ProgId");
  }

  void TearDown() override { kept_.Restore(); }

  void Keep(HKEY root, const std::wstring& key_path, const wchar_t* value) {
    kept_.Keep(root, key_path, value);
  }

  static std::wstring UserChoiceKey(const std::wstring& association) {
    return (association[0] == L'.' ? kFileExts : kUrlAssociations) +
           association + L"\\UserChoice";
  }

  // A per-user class whose open command is |command|, chosen by the user
  // for |association|.
  static void ChooseClass(const std::wstring& association,
                          const std::wstring& command) {
    WriteString(
        HKEY_CURRENT_USER,
        kClasses + std::wstring(kTestProgId) + L"\\shell\\open\\command",
        nullptr, command);
    WriteString(HKEY_CURRENT_USER, UserChoiceKey(association), L"ProgId",
                kTestProgId);
  }

  std::wstring LauncherCommand() const {
    return L"\"" + folder_.Append(L"launcher.exe").value() + L"\" \"%1\"";
  }

  base::win::ScopedCOMInitializer com_;
  test::FakeShellPlatform platform_;
  base::ScopedTempDir temp_dir_;
  FilePath folder_;
  test::ScopedRegistryValues kept_;
};

TEST_F(ShellIntegrationTest, AssociationCommandFromTheUsersChoice) {
  ChooseClass(kTestProtocol, L"\"C:\\APPS\\BROWSER\\LAUNCHER.EXE\" \"%1\"");
  std::wstring command;
  ASSERT_TRUE(GetAssociationCommand(kTestProtocol, false, &command));
  EXPECT_EQ(L"\"C:\\APPS\\BROWSER\\LAUNCHER.EXE\" \"%1\"", command);

  // ASCII case does not matter, the rest of the path does.
  TargetInstallation ours(FilePath(L"C:\\Apps\\Browser"));
  EXPECT_TRUE(IsOurAssociation(&ours, kTestProtocol, false));
  EXPECT_FALSE(IsOurAssociation(&ours, kTestProtocol, true));
  TargetInstallation other(FilePath(L"C:\\Apps\\Browser2"));
  EXPECT_FALSE(IsOurAssociation(&other, kTestProtocol, false));
  // A folder not known yet (a status still computed) is no installation:
  // the launcher's name alone does not make the handler ours.
  TargetInstallation unknown{FilePath()};
  EXPECT_FALSE(IsOurAssociation(&unknown, kTestProtocol, false));

  // Environment strings of an expandable command are filled in.
  WriteString(HKEY_CURRENT_USER,
              kClasses + std::wstring(kTestProgId) + L"\\shell\\open\\command",
              nullptr, L"%SystemRoot%\\b.exe \"%1\"", REG_EXPAND_SZ);
  ASSERT_TRUE(GetAssociationCommand(kTestProtocol, false, &command));
  EXPECT_EQ(std::wstring::npos, command.find(L"%SystemRoot%")) << command;
}

TEST_F(ShellIntegrationTest, AssociationCommandWithoutAChoice) {
  const std::wstring protocol_command =
      kClasses + std::wstring(kTestProtocol) + L"\\shell\\open\\command";
  WriteString(HKEY_LOCAL_MACHINE, protocol_command, nullptr, L"machine");
  // A choice that names no class: the protocol's own class, the user's
  // hiding the machine's.
  WriteString(HKEY_CURRENT_USER, UserChoiceKey(kTestProtocol), L"Other", L"");
  std::wstring command;
  ASSERT_TRUE(GetAssociationCommand(kTestProtocol, false, &command));
  EXPECT_EQ(L"machine", command);
  WriteString(HKEY_CURRENT_USER, protocol_command, nullptr, L"user");
  ASSERT_TRUE(GetAssociationCommand(kTestProtocol, false, &command));
  EXPECT_EQ(L"user", command);
  ASSERT_TRUE(GetAssociationCommand(kTestProtocol, true, &command));
  EXPECT_EQ(L"machine", command);

  // No choice at all: Windows 8 and later ask the user, Windows 7 takes the
  // class.
  ::RegDeleteTreeW(HKEY_CURRENT_USER, UserChoiceKey(kTestProtocol).c_str());
  EXPECT_FALSE(GetAssociationCommand(kTestProtocol, false, &command));
  platform_.version = base::win::VERSION_WIN7;
  ASSERT_TRUE(GetAssociationCommand(kTestProtocol, false, &command));
  EXPECT_EQ(L"user", command);
}

TEST_F(ShellIntegrationTest, DefaultBrowserWithUserChoiceSetAndUnset) {
  TargetInstallation installation(folder_);
  WriteInstallLog(MinimalInstallLog(folder_));
  ChooseClass(L"http", LauncherCommand());
  EXPECT_FALSE(IsDefaultBrowser(&installation));  // https still elsewhere.
  ChooseClass(L"https", LauncherCommand());
  EXPECT_TRUE(IsDefaultBrowser(&installation));

  // Before Windows 8 the StartMenuInternet client must be ours as well.
  platform_.version = base::win::VERSION_WIN7;
  WriteString(HKEY_CURRENT_USER, kStartMenuInternet, nullptr, L"Other");
  EXPECT_FALSE(IsDefaultBrowser(&installation));
  // A user key without a client defers to the machine's.
  DeleteValue(HKEY_CURRENT_USER, kStartMenuInternet, nullptr);
  WriteString(HKEY_LOCAL_MACHINE, kStartMenuInternet, nullptr, kBrowserClass);
  EXPECT_TRUE(IsDefaultBrowser(&installation));
}

TEST_F(ShellIntegrationTest, PreviousDefaultBrowser) {
  TargetInstallation installation(folder_);
  ChooseClass(L"http", L"\"C:\\Other\\browser.exe\" \"%1\"");
  ASSERT_TRUE(SavePreviousDefaultBrowser(&installation, false));
  EXPECT_EQ(
      L"\"C:\\Other\\browser.exe\" \"%1\"",
      ReadString(HKEY_CURRENT_USER, kProductKey, L"Previous Default Browser"));

  // Already the handler: nothing to remember.
  ChooseClass(L"http", LauncherCommand());
  ASSERT_TRUE(StorePreviousDefaultBrowser(L"unchanged", false));
  EXPECT_TRUE(SavePreviousDefaultBrowser(&installation, false));
  EXPECT_EQ(L"unchanged", ReadString(HKEY_CURRENT_USER, kProductKey,
                                     L"Previous Default Browser"));
}

TEST_F(ShellIntegrationTest, FailedRowLeavesTheTableUnwritten) {
  TargetInstallation installation(folder_);
  platform_.version = base::win::VERSION_WIN7;
  WriteInstallLog(MinimalInstallLog(folder_));
  WriteString(HKEY_CURRENT_USER, UserChoiceKey(kTestProtocol), L"Progid",
              L"Before");
  test::SnapshotScope scope;
  scope.keys.push_back(
      {HKEY_CURRENT_USER, kClasses + std::wstring(kTestProtocol)});
  scope.keys.push_back(
      {HKEY_CURRENT_USER, kUrlAssociations + std::wstring(kTestProtocol)});
  const test::MachineSnapshot before = test::TakeSnapshot(scope);
  int operations = 0;
  {
    test::ScopedOperationFault counter;
    ASSERT_TRUE(SetAsDefaultFor(&installation, kTestProtocol, false));
    operations = counter.operations_started();
  }
  ASSERT_GE(operations, 9);
  for (int k = 0; k < operations; ++k) {
    SCOPED_TRACE(k);
    // Back to the state before, then fail operation k.
    ::RegDeleteTreeW(HKEY_CURRENT_USER,
                     (kClasses + std::wstring(kTestProtocol)).c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER,
                    (kClasses + std::wstring(kTestProtocol)).c_str());
    WriteString(HKEY_CURRENT_USER, UserChoiceKey(kTestProtocol), L"Progid",
                L"Before");
    ASSERT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
    test::ScopedOperationFault fault(k,
                                     Transaction::InjectedFault::kAfterChange);
    EXPECT_FALSE(SetAsDefaultFor(&installation, kTestProtocol, false));
    EXPECT_TRUE(fault.fired());
    EXPECT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
  }
}

TEST_F(ShellIntegrationTest, SetAsDefaultForOnWindows7) {
  TargetInstallation installation(folder_);
  platform_.version = base::win::VERSION_WIN7;
  const std::wstring command_key =
      kClasses + std::wstring(kTestProtocol) + L"\\shell\\open\\command";
  const std::wstring expected =
      L"\"" + folder_.value() + L"\\launcher.exe\" -noautoupdate -- \"%1\"";
  WriteString(HKEY_CURRENT_USER, UserChoiceKey(kTestProtocol), L"Progid",
              L"Other");

  // A per-user installation writes the class and drops the user's choice.
  WriteInstallLog(MinimalInstallLog(folder_));
  ASSERT_TRUE(SetAsDefaultFor(&installation, kTestProtocol, false));
  EXPECT_EQ(expected, ReadString(HKEY_CURRENT_USER, command_key, nullptr));
  EXPECT_EQ(L"<none>", ReadString(HKEY_CURRENT_USER,
                                  UserChoiceKey(kTestProtocol), L"Progid"));
  EXPECT_TRUE(IsOurAssociation(&installation, kTestProtocol, false));
  // With no choice of the user's at all, Windows 7 opens what the class
  // says: the browser is the handler all the same.
  ::RegDeleteTreeW(HKEY_CURRENT_USER, UserChoiceKey(kTestProtocol).c_str());
  EXPECT_TRUE(IsOurAssociation(&installation, kTestProtocol, false));

  // A file type points at the browser's class.
  ASSERT_TRUE(SetAsDefaultFor(&installation, kTestExtension, false));
  EXPECT_EQ(kBrowserClass,
            ReadString(HKEY_CURRENT_USER,
                       kClasses + std::wstring(kTestExtension), nullptr));
  EXPECT_TRUE(platform_.calls.empty());
}

TEST_F(ShellIntegrationTest, SetAsDefaultForOnWindows8) {
  TargetInstallation installation(folder_);
  platform_.version = base::win::VERSION_WIN8;
  const std::wstring command_key =
      kClasses + std::wstring(kTestProtocol) + L"\\shell\\open\\command";
  WriteString(HKEY_CURRENT_USER, UserChoiceKey(kTestProtocol), L"Progid",
              L"Other");
  EXPECT_FALSE(SetAsDefaultFor(&installation, kTestProtocol, true));

  // The dialog fails: nothing is written.
  EXPECT_FALSE(SetAsDefaultFor(&installation, kTestProtocol, false));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, command_key));
  // The user is asked; the choice itself is the user's to keep.
  platform_.dialog_result = true;
  ASSERT_TRUE(SetAsDefaultFor(&installation, kTestProtocol, false));
  EXPECT_EQ(2u, platform_.calls.size());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, command_key));
  EXPECT_EQ(L"Other", ReadString(HKEY_CURRENT_USER,
                                 UserChoiceKey(kTestProtocol), L"Progid"));

  // Already the handler: no dialog, the rows are written all the same.
  platform_.calls.clear();
  ChooseClass(kTestProtocol, LauncherCommand());
  ::RegDeleteTreeW(HKEY_CURRENT_USER, command_key.c_str());
  ASSERT_TRUE(SetAsDefaultFor(&installation, kTestProtocol, false));
  EXPECT_TRUE(platform_.calls.empty());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, command_key));
}

TEST_F(ShellIntegrationTest, SetAsDefaultBrowserOnWindows10OpensSettings) {
  TargetInstallation installation(folder_);
  ChooseClass(L"http", L"\"C:\\Other\\browser.exe\" \"%1\"");
  EXPECT_FALSE(SetAsDefaultBrowser(&installation, false));
  EXPECT_EQ((std::vector<std::wstring>{
                L"settings SystemSettings_DefaultApps_Browser"}),
            platform_.calls);
  EXPECT_TRUE(
      KeyExists(HKEY_CURRENT_USER, kClasses + std::wstring(kBrowserClass)));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClasses + std::wstring(L"http")));

  // The Settings app's answer is the result.
  platform_.calls.clear();
  EXPECT_FALSE(SetAsDefaultFor(&installation, L"mailto", false));
  platform_.settings_result = true;
  EXPECT_TRUE(SetAsDefaultFor(&installation, L"mailto", false));
  EXPECT_EQ(
      (std::vector<std::wstring>{L"settings SystemSettings_DefaultApps_Email",
                                 L"settings SystemSettings_DefaultApps_Email"}),
      platform_.calls);
  // No Settings app for all users.
  platform_.calls.clear();
  EXPECT_FALSE(SetAsDefaultFor(&installation, L"http", true));
  EXPECT_TRUE(platform_.calls.empty());

  // Already the handler: nothing to show.
  ChooseClass(L"http", LauncherCommand());
  EXPECT_FALSE(SetAsDefaultFor(&installation, L"http", false));
  EXPECT_TRUE(platform_.calls.empty());
}

TEST_F(ShellIntegrationTest, SingleProfileIsNeverTheDefault) {
  platform_.version = base::win::VERSION_WIN7;
  test::WriteTextFile(folder_.Append(L"installer_prefs.json"),
                      "{\"single_profile\": true}");
  TargetInstallation installation(folder_);
  test::SnapshotScope scope;
  scope.keys.push_back(
      {HKEY_CURRENT_USER, kClasses + std::wstring(kBrowserClass)});
  scope.keys.push_back({HKEY_CURRENT_USER, kClasses + std::wstring(L"http")});
  scope.keys.push_back({HKEY_CURRENT_USER, kStartMenuInternet});
  test::MachineSnapshot before = test::TakeSnapshot(scope);
  EXPECT_FALSE(SetAsDefaultBrowser(&installation, false));
  EXPECT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
}

TEST(ShellIntegrationPolicyTest, NeedsElevation) {
  FakeSecurityAccess security;
  SecurityAccess::ScopedOverrideForTesting override(&security);
  security.set_admin(/*elevated=*/true, /*user_is_admin=*/true);
  EXPECT_FALSE(NeedsElevation(true, false));
  // An administrator who is not elevated is asked like anyone else.
  security.set_admin(/*elevated=*/false, /*user_is_admin=*/true);
  EXPECT_TRUE(NeedsElevation(true, true));
  EXPECT_TRUE(NeedsElevation(false, false));
  EXPECT_FALSE(NeedsElevation(false, true));
}

}  // namespace
}  // namespace installer
