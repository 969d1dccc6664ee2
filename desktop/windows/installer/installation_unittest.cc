#include "desktop/windows/installer/installation.h"

#include <memory>
#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_path_override.h"
#include "base/values.h"
#include "base/win/scoped_com_initializer.h"
#include "components/prefs/json_pref_store.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/test/install_log_test_util.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::WriteTextFile;

std::string JsonString(const std::wstring& text) {
  std::string json;
  for (char c : base::WideToUTF8(text)) {
    if (c == '\\' || c == '"')
      json += '\\';
    json += c;
  }
  return "\"" + json + "\"";
}

class InstallationTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    folder_ = temp_dir_.GetPath().Append(L"Kelvo");
    ASSERT_TRUE(base::CreateDirectory(folder_));
    ASSERT_TRUE(GetUserName(&user_name_));
  }

  void WritePrefs(const std::string& json) {
    WriteTextFile(folder_.AppendASCII("installer_prefs.json"), json);
  }
  void WriteProfilePath(const std::wstring& profile_path) {
    WritePrefs("{\"profile_path\": " + JsonString(profile_path) + "}");
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_dir_;
  FilePath folder_;
  std::wstring user_name_;
};

TEST_F(InstallationTest, ExecutableFolderOrItsParentHoldingTheLauncher) {
  FilePath version_dir = folder_.Append(L"45.0.2531.0");
  base::ScopedPathOverride exe_dir(base::DIR_EXE, version_dir);
  // Neither folder has a launcher: the executable's own folder.
  EXPECT_EQ(version_dir, Installation().folder());

  // Only the parent has one: the installer runs from a version subfolder.
  WriteTextFile(folder_.AppendASCII("launcher.exe"), "MZ");
  EXPECT_EQ(folder_, Installation().folder());

  // Its own folder has one too: it is the installation.
  WriteTextFile(version_dir.AppendASCII("launcher.exe"), "MZ");
  EXPECT_EQ(version_dir, Installation().folder());
}

TEST_F(InstallationTest, ProfilePathPref) {
  WritePrefs("{\"profile_path\": 7, \"single_profile\": \"yes\"}");
  TargetInstallation wrong_types(folder_);
  EXPECT_FALSE(wrong_types.ReadProfilePathPref());
  EXPECT_FALSE(wrong_types.IsSingleProfile());

  // Text after an embedded NUL is cut off.
  WritePrefs("{\"profile_path\": \"D:\\\\Data\\u0000junk\"}");
  TargetInstallation cut(folder_);
  base::FilePath path;
  ASSERT_TRUE(cut.GetUserDataDir(&path));
  EXPECT_EQ(L"D:\\Data", path.value());
}

TEST_F(InstallationTest, UserNamePlaceholder) {
  WriteProfilePath(L"D:\\<USERNAME>\\Kelvo");
  TargetInstallation inner_component(folder_);
  FilePath path;
  ASSERT_TRUE(inner_component.GetUserDataDirForRemoval(&path));
  EXPECT_EQ(L"D:\\" + user_name_ + L"\\Kelvo", path.value());
}

TEST_F(InstallationTest, RemovalNeverReachesOtherUsersProfiles) {
  // A home folder whose parent holds every user's home.
  FilePath users = temp_dir_.GetPath().Append(L"Users");
  base::ScopedPathOverride home(base::DIR_HOME, users.Append(user_name_));
  FilePath app_data = temp_dir_.GetPath().Append(L"Data\\Roaming");
  base::ScopedPathOverride roaming(base::DIR_APP_DATA, app_data);
  struct {
    std::wstring profile_path;
    bool removable;
  } cases[] = {
      {users.value() + L"\\<USERNAME>", false},    // The home folder itself.
      {users.value(), false},                      // Every user's home.
      {users.value() + L"\\Other", false},         // Another user's home...
      {users.value() + L"\\Other\\Kelvo", false},  // ...and what it holds.
      {L"D:\\Profiles", false},                    // Nobody's own folder.
      {L"D:\\", false},                            // A drive root.
      {L"D:\\Profiles\\..", false},                // Climbs to the root.
      {L"<USERNAME>", false},                      // Relative.
      {app_data.value(), false},                   // Every program's data.
      {app_data.DirName().value(), false},         // Above that.
      {folder_.value(), false},                    // The installation.
      {app_data.value() + L"\\Kelvo", true},
      {users.value() + L"\\<USERNAME>\\Kelvo", true},
      {L"D:\\Profiles\\<USERNAME>\\", true},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.profile_path);
    WriteProfilePath(test.profile_path);
    TargetInstallation installation(folder_);
    FilePath path(L"C:\\untouched");
    // Using the folder is fine; deleting it with everything below is not.
    EXPECT_TRUE(installation.GetUserDataDir(&path));
    FilePath removal(L"C:\\untouched");
    EXPECT_EQ(test.removable, installation.GetUserDataDirForRemoval(&removal));
    if (test.removable)
      EXPECT_EQ(path, removal);
    else
      EXPECT_EQ(L"C:\\untouched", removal.value());
  }
}

TEST_F(InstallationTest, SingleProfile) {
  WritePrefs("{\"single_profile\": true, \"profile_path\": \"D:\\\\P\"}");
  TargetInstallation installation(folder_);
  EXPECT_TRUE(installation.IsSingleProfile());
  FilePath data;
  ASSERT_TRUE(installation.GetUserDataDirForRemoval(&data));
  EXPECT_EQ(folder_.Append(L"profile\\data"), data);
}

TEST_F(InstallationTest, DefaultUserDataDirPerChannelAndCache) {
  FilePath roaming = temp_dir_.GetPath().Append(L"Roaming");
  FilePath local = temp_dir_.GetPath().Append(L"Local");
  base::ScopedPathOverride roaming_override(base::DIR_APP_DATA, roaming);
  base::ScopedPathOverride local_override(base::DIR_LOCAL_APP_DATA, local);
  TargetInstallation installation(folder_);  // No prefs at all.

  FilePath path;
  // An unknown channel takes the build's stream name.
  ASSERT_TRUE(installation.GetDefaultUserDataDir(&path, 7));
  EXPECT_EQ(roaming.Append(L"Kelvo Software\\Kelvo developer"), path);

  ASSERT_TRUE(installation.GetUserDataDir(&path));
  EXPECT_EQ(roaming.Append(L"Kelvo Software\\Kelvo Developer"), path);
  // The default profile's cache sits at the same place below local data.
  FilePath cache;
  ASSERT_TRUE(installation.GetUserCacheDir(path, &cache));
  EXPECT_EQ(local.Append(L"Kelvo Software\\Kelvo Developer"), cache);
  // A profile elsewhere has no separate cache.
  ASSERT_TRUE(installation.GetUserCacheDir(FilePath(L"D:\\P"), &cache));
  EXPECT_EQ(L"D:\\P", cache.value());
}

TEST_F(InstallationTest, PrefStoreNeverWritesTheFile) {
  const std::string kPrefs = "{\"language\": \"de\"}";
  WritePrefs(kPrefs);
  {
    TargetInstallation installation(folder_);
    scoped_refptr<JsonPrefStore> store = installation.GetPrefStore();
    store->SetValue("language", std::make_unique<base::StringValue>("fr"));
    store->CommitPendingWrite();
  }
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(
      folder_.AppendASCII("installer_prefs.json"), &text));
  EXPECT_EQ(kPrefs, text);
}

TEST_F(InstallationTest, InstallLogLoadedOnce) {
  InstallLog log = MinimalInstallLog(folder_);
  log.copy_only = true;
  WriteInstallLog(log);
  TargetInstallation installed(folder_);
  installed.LoadInstallLog();
  EXPECT_TRUE(installed.install_log().copy_only);

  // Loaded once: a later change of the file is not seen.
  log.copy_only = false;
  WriteInstallLog(log);
  installed.LoadInstallLog();
  EXPECT_TRUE(installed.install_log().copy_only);

  // A log handed in counts as loaded; the file is not read.
  InstallLog in_memory;
  in_memory.copy_only = true;
  TargetInstallation finalising(folder_, in_memory);
  finalising.LoadInstallLog();
  EXPECT_TRUE(finalising.install_log().copy_only);

  // An unreadable log leaves the defaults.
  WriteTextFile(folder_.AppendASCII("installation_status.xml"), "<broken");
  TargetInstallation broken(folder_);
  broken.LoadInstallLog();
  EXPECT_FALSE(broken.install_log().copy_only);
  EXPECT_TRUE(broken.install_log().all_users);
}

}  // namespace
}  // namespace installer
