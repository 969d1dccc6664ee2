#include "desktop/windows/installer/install_folder_choice.h"

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/drive_access.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/test/fake_drive_access.h"
#include "desktop/windows/installer/test/scoped_registry_values.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

constexpr wchar_t kProductKey[] = L"Software\\Kelvo Software";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::vector<FilePath> Paths(std::initializer_list<const wchar_t*> paths) {
  std::vector<FilePath> result;
  for (const wchar_t* path : paths)
    result.push_back(FilePath(path));
  return result;
}

TEST(InstallFolderChoiceTest, StandaloneDrivesBestFirst) {
  test::FakeDriveAccess drives;
  drives.AddDrive(L'C', DRIVE_FIXED, true);
  drives.AddDrive(L'D', DRIVE_CDROM, true);
  drives.AddDrive(L'E', DRIVE_REMOVABLE, true);
  drives.AddDrive(L'F', DRIVE_REMOVABLE, false);  // A card reader, empty.
  drives.AddDrive(L'R', DRIVE_RAMDISK, true);
  drives.AddDrive(L'Z', DRIVE_REMOTE, true);
  EXPECT_EQ(Paths({L"E:\\Kelvo developer", L"Z:\\Kelvo developer",
                   L"C:\\Kelvo developer", L"R:\\Kelvo developer"}),
            FindStandaloneInstallPaths());
}

TEST(InstallFolderChoiceTest, PoorDrivesOnlyWhenNothingBetter) {
  // A CD-ROM and worse are kept only as the best there is, and end the list.
  EXPECT_EQ(Paths({L"D:"}), RankStandaloneCandidates({{FilePath(L"D:"), 5},
                                                      {FilePath(L"X:"), 6},
                                                      {FilePath(L"Y:"), 7}}));
  EXPECT_EQ(Paths({L"C:"}), RankStandaloneCandidates(
                                {{FilePath(L"D:"), 5}, {FilePath(L"C:"), 3}}));
  // Drives of one rank stay in letter order.
  EXPECT_EQ(
      Paths({L"E:", L"G:", L"C:"}),
      RankStandaloneCandidates(
          {{FilePath(L"C:"), 3}, {FilePath(L"E:"), 0}, {FilePath(L"G:"), 0}}));
}

class LastInstallPathTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    for (const wchar_t* name :
         {L"Last developer Install Path x64", L"Last developer Install Path",
          L"Last Stable Install Path", L"Last install path"}) {
      values_.Keep(HKEY_CURRENT_USER, kProductKey, name)->Delete();
    }
  }

  FilePath MakeFolder(const wchar_t* name) {
    FilePath folder = temp_dir_.GetPath().Append(name);
    EXPECT_TRUE(base::CreateDirectory(folder));
    return folder;
  }

  void Store(const wchar_t* name, const std::wstring& value) {
    base::win::RegKey key(HKEY_CURRENT_USER, kProductKey,
                          KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
    ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(name, value.c_str()));
  }

  base::ScopedTempDir temp_dir_;
  test::ScopedRegistryValues values_;
};

TEST_F(LastInstallPathTest, ValuesInOrderAndPerChannel) {
  EXPECT_TRUE(ReadLastInstallPath(1, CHANNEL_DEVELOPER).empty());
  const FilePath x64 = MakeFolder(L"x64");
  const FilePath standard = MakeFolder(L"standard");
  Store(L"Last developer Install Path x64", x64.value());
  Store(L"Last developer Install Path", standard.value() + L"\\");
  EXPECT_EQ(x64, ReadLastInstallPath(1, CHANNEL_DEVELOPER));
  EXPECT_EQ(standard, ReadLastInstallPath(0, CHANNEL_DEVELOPER));

  // A folder that was deleted, or a relative one, is no proposal.
  ASSERT_TRUE(base::DeleteFile(x64, true));
  EXPECT_TRUE(ReadLastInstallPath(1, CHANNEL_DEVELOPER).empty());
  Store(L"Last developer Install Path", L"standard");
  EXPECT_TRUE(ReadLastInstallPath(0, CHANNEL_DEVELOPER).empty());

  // The oldest builds' value belongs to the Stable channel only.
  values_.at(1)->Delete();
  const FilePath next = MakeFolder(L"stable");
  const FilePath oldest = MakeFolder(L"oldest");
  Store(L"Last install path", oldest.value());
  EXPECT_TRUE(ReadLastInstallPath(0, CHANNEL_DEVELOPER).empty());
  EXPECT_EQ(oldest, ReadLastInstallPath(0, CHANNEL_STABLE));
  // The channel's own stream name comes first.
  Store(L"Last Stable Install Path", next.value());
  EXPECT_EQ(next, ReadLastInstallPath(0, CHANNEL_STABLE));
}

class UninstallEntriesTest : public testing::Test {
 protected:
  void AddEntry(HKEY root,
                REGSAM view,
                const std::wstring& name,
                const wchar_t* publisher,
                const wchar_t* display_name) {
    const std::wstring path = kUninstallKey + name;
    entries_.Keep(root, path, L"DisplayName", view);
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(root, path.c_str(), KEY_SET_VALUE | view));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"Publisher", publisher));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"DisplayName", display_name));
  }

  test::ScopedRegistryValues entries_;
};

TEST_F(UninstallEntriesTest, CountsEntriesOfTheChannel) {
  const int before = CountUninstallEntriesOfChannel(CHANNEL_DEVELOPER, 100);
  const int stable_before = CountUninstallEntriesOfChannel(CHANNEL_STABLE, 100);
  AddEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"Kelvo Test A",
           L"Kelvo Software AS", L"Kelvo Developer 45.0.2531.0");
  EXPECT_EQ(before + 1, CountUninstallEntriesOfChannel(CHANNEL_DEVELOPER, 100));
  // Entries that are not the product's, or cannot be read, do not count.
  AddEntry(HKEY_CURRENT_USER, 0, L"Kelvo Test B", L"Someone Else",
           L"Kelvo Developer 45.0.2531.0");
  AddEntry(HKEY_CURRENT_USER, 0, L"Kelvo Test D", L"Kelvo Software",
           L"Kelvo Developer");
  AddEntry(HKEY_CURRENT_USER, 0, L"Other Kelvo", L"Kelvo Software",
           L"Kelvo Developer 45.0.2531.0");
  AddEntry(HKEY_CURRENT_USER, 0, L"Kelvo Test F", L"Kelvo Software",
           L"KelvoX Developer 45.0.2531.0");
  EXPECT_EQ(before + 1, CountUninstallEntriesOfChannel(CHANNEL_DEVELOPER, 100));

  AddEntry(HKEY_CURRENT_USER, 0, L"Kelvo Test G", L"Kelvo Software",
           L"Kelvo developer 44.0.1.0");
  AddEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"Kelvo Test H",
           L"Kelvo Software", L"Kelvo Stable 45.0.2531.0");
  EXPECT_EQ(before + 2, CountUninstallEntriesOfChannel(CHANNEL_DEVELOPER, 100));
  EXPECT_EQ(stable_before + 1,
            CountUninstallEntriesOfChannel(CHANNEL_STABLE, 100));
  // Counting stops at the limit.
  EXPECT_EQ(1, CountUninstallEntriesOfChannel(CHANNEL_DEVELOPER, 1));
}

}  // namespace
}  // namespace installer
