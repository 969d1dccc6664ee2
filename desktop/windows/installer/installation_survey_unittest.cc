#include "desktop/windows/installer/installation_survey.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/shortcut_file_name.h"
#include "desktop/windows/installer/test/scoped_registry_values.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

constexpr wchar_t kClassKey[] = L"Software\\Classes\\Kelvodeveloper";
constexpr wchar_t kCommandKey[] =
    L"Software\\Classes\\Kelvodeveloper\\shell\\open\\command";
constexpr wchar_t kCompatibilityKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\"
    L"Compatibility Assistant\\Persisted";

TEST(VersionFolderNameTest, FourNumbersAndAnOptionalSuffix) {
  for (const wchar_t* name :
       {L"45.0.2531.0", L"45.0.2531.0_0", L"45.0.2531.0_12", L"1.2.3.4"}) {
    EXPECT_TRUE(IsVersionFolderName(name)) << name;
  }
  for (const wchar_t* name :
       {L"", L"45.0.2531", L"45.0.2531.0.1", L"45.0.2531.0_", L"45.0.2531.0_x",
        L"45.0.2531.0_1_2", L"45.0.2531.a", L"45..2531.0", L"Documents",
        L"45.0.2531.0 copy", L"-1.0.0.0"}) {
    EXPECT_FALSE(IsVersionFolderName(name)) << name;
  }
}

class InstallationSurveyTest : public test::StepsTest {
 protected:
  void TearDown() override {
    saved_.Restore();
    StepsTest::TearDown();
  }

  // A value written for the test, restored when the test ends.
  void Write(const std::wstring& key,
             const std::wstring& name,
             const std::wstring& data,
             REGSAM view = 0) {
    saved_.Keep(HKEY_CURRENT_USER, key, name, view);
    base::win::RegKey reg_key;
    ASSERT_EQ(ERROR_SUCCESS, reg_key.Create(HKEY_CURRENT_USER, key.c_str(),
                                            KEY_SET_VALUE | view));
    ASSERT_EQ(ERROR_SUCCESS, reg_key.WriteValue(name.c_str(), data.c_str()));
  }

  // An uninstall entry |name| whose install location is |folder|.
  void WriteUninstallEntry(const std::wstring& name, const FilePath& folder) {
    const std::wstring key = GetUninstallRegistryKey() + L"\\" + name;
    Write(key, L"InstallLocation", folder.value(), KEY_WOW64_32KEY);
    Write(key, L"Publisher", L"Kelvo Software", KEY_WOW64_32KEY);
  }

  // The stream's URL class with its open command starting |folder|'s
  // launcher.
  void WriteClass(const FilePath& folder) {
    Write(kClassKey, L"FriendlyTypeName", L"Kelvo Web Document");
    Write(kCommandKey, L"",
          L"\"" + folder.value() + L"\\Launcher.exe\" -noautoupdate -- \"%1\"");
  }

  static void MakeShortcut(const FilePath& path, const FilePath& target) {
    base::win::ShortcutProperties properties;
    properties.set_target(target);
    ASSERT_TRUE(base::win::CreateOrUpdateShortcutLink(
        path, properties, base::win::SHORTCUT_CREATE_ALWAYS));
  }

  static const InstallLog::RegistryKey* FindKey(const InstallLog& log,
                                                const std::wstring& path) {
    const std::string utf8 = base::WideToUTF8(path);
    auto key = std::find_if(log.hkcu_keys.begin(), log.hkcu_keys.end(),
                            [&utf8](const InstallLog::RegistryKey& record) {
                              return record.key_path == utf8;
                            });
    return key == log.hkcu_keys.end() ? nullptr : &*key;
  }

  test::ScopedRegistryValues saved_;
};

// The version folders with the product executable and all their files are
// the installation's; other folders and files in it are not.
TEST_F(InstallationSurveyTest, VersionFoldersWithTheProductExecutable) {
  const FilePath folder = install_folder();
  WriteFile(folder.Append(L"45.0.2531.0\\kelvo.exe"), "exe");
  WriteFile(folder.Append(L"45.0.2531.0\\resources\\a.pak"), "a");
  WriteFile(folder.Append(L"44.0.1.0_1\\kelvo.exe"), "exe");
  // No product executable, or no version name: the user's.
  WriteFile(folder.Append(L"43.0.1.0\\notes.txt"), "mine");
  WriteFile(folder.Append(L"Backup\\kelvo.exe"), "mine");
  WriteFile(folder.Append(L"mine.txt"), "mine");

  InstallLog log;
  std::vector<FilePath> version_folders;
  SurveyInstallation(folder, &log, &version_folders);
  std::sort(version_folders.begin(), version_folders.end());
  EXPECT_EQ((std::vector<FilePath>{FilePath(L"44.0.1.0_1"),
                                   FilePath(L"45.0.2531.0")}),
            version_folders);
  std::vector<FilePath> files = log.files;
  std::sort(files.begin(), files.end());
  EXPECT_EQ((std::vector<FilePath>{FilePath(L"44.0.1.0_1\\kelvo.exe"),
                                   FilePath(L"45.0.2531.0\\kelvo.exe"),
                                   FilePath(L"45.0.2531.0\\resources\\a.pak")}),
            files);
  EXPECT_EQ(folder, log.install_path);
  EXPECT_TRUE(log.subfolder.empty());
  EXPECT_TRUE(log.root_files.empty());
  EXPECT_TRUE(log.components.empty());
  EXPECT_TRUE(log.copy_only);
}

// Only the rows that the registry holds as the tables write them for this
// folder: its uninstall entry, the value named by its path, and the
// stream's keys while their command starts this folder's launcher.
TEST_F(InstallationSurveyTest, RegistryRowsOfThisFolderOnly) {
  const FilePath folder = install_folder();
  const FilePath other = root().Append(L"Programs\\Other Kelvo");
  const std::wstring ours = L"Kelvo 45.0.2531.0";
  const std::wstring theirs = L"Kelvo 45.0.2531.01";
  WriteUninstallEntry(ours, folder);
  WriteUninstallEntry(theirs, other);
  // A name that is not the product's.
  WriteUninstallEntry(L"Kelvox 1.0.0.0", folder);
  saved_.Keep(HKEY_CURRENT_USER, kCompatibilityKey,
              folder.value() + L"\\Launcher.exe");
  ASSERT_EQ(
      ERROR_SUCCESS,
      base::win::RegKey(HKEY_CURRENT_USER, kCompatibilityKey, KEY_SET_VALUE)
          .WriteValue((folder.value() + L"\\Launcher.exe").c_str(), 32));

  for (bool owned : {true, false}) {
    SCOPED_TRACE(owned ? "class of this folder" : "class of another folder");
    WriteClass(owned ? folder : other);
    InstallLog log;
    std::vector<FilePath> version_folders;
    SurveyInstallation(folder, &log, &version_folders);
    EXPECT_TRUE(log.hklm_keys.empty());

    const InstallLog::RegistryKey* entry =
        FindKey(log, GetUninstallRegistryKey() + L"\\" + ours);
    ASSERT_TRUE(entry);
    EXPECT_EQ(1, entry->clean_level);
    EXPECT_FALSE(FindKey(log, GetUninstallRegistryKey() + L"\\" + theirs));
    EXPECT_FALSE(FindKey(log, GetUninstallRegistryKey() + L"\\Kelvox 1.0.0.0"));
    const InstallLog::RegistryKey* compatibility =
        FindKey(log, kCompatibilityKey);
    ASSERT_TRUE(compatibility);
    EXPECT_EQ(0, compatibility->clean_level);
    ASSERT_EQ(1u, compatibility->values.size());
    EXPECT_EQ("00000020", compatibility->values[0].data);

    const InstallLog::RegistryKey* class_key = FindKey(log, kClassKey);
    const InstallLog::RegistryKey* command = FindKey(log, kCommandKey);
    EXPECT_EQ(owned, class_key != nullptr);
    EXPECT_EQ(owned, command != nullptr);
    if (owned) {
      EXPECT_EQ(1, class_key->clean_level);
      EXPECT_EQ(2, command->clean_level);
    }
    // Rows whose values the registry does not hold are left out.
    EXPECT_FALSE(FindKey(log, std::wstring(kClassKey) + L"\\DefaultIcon"));
  }
}

// The shortcuts of the fixed names whose targets lie in the folder,
// whether or not the target is still there.
TEST_F(InstallationSurveyTest, ShortcutsOfFixedNamesIntoTheFolder) {
  const FilePath folder = install_folder();
  const FilePath launcher = folder.Append(L"launcher.exe");
  const FilePath other_launcher = root().Append(L"Other\\launcher.exe");
  const FilePath beside = FilePath(folder.value() + L" Old\\launcher.exe");
  for (const FilePath& target : {launcher, other_launcher, beside})
    WriteFile(target, "launcher");
  ASSERT_TRUE(base::CreateDirectory(desktop()));
  ASSERT_TRUE(base::CreateDirectory(start_menu()));
  FilePath public_desktop;
  ASSERT_TRUE(
      base::PathService::Get(base::DIR_COMMON_DESKTOP, &public_desktop));
  ASSERT_TRUE(base::CreateDirectory(public_desktop));
  // The user's desktop: a fixed name into another folder, another name
  // into this one; the public desktop: the versioned name into this one.
  MakeShortcut(desktop().Append(GetShortcutFileName(false)), other_launcher);
  MakeShortcut(desktop().Append(L"Mine.lnk"), launcher);
  MakeShortcut(public_desktop.Append(GetShortcutFileName(true)), launcher);
  // A target beside the folder whose name begins like it.
  MakeShortcut(start_menu().Append(GetShortcutFileName(false)), beside);
  ASSERT_TRUE(base::DeleteFile(launcher, false));

  InstallLog log;
  std::vector<FilePath> version_folders;
  SurveyInstallation(folder, &log, &version_folders);
  EXPECT_EQ(public_desktop.Append(GetShortcutFileName(true)),
            log.desktop_shortcut);
  EXPECT_TRUE(log.start_menu_shortcut.empty());
  EXPECT_TRUE(log.quick_launch_shortcut.empty());
}

}  // namespace
}  // namespace installer
