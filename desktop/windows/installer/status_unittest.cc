#include "desktop/windows/installer/status.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "base/at_exit.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/test/scoped_log_capture.h"
#include "base/test/scoped_path_override.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/install_log_writer.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/test/fake_drive_access.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/install_log_test_util.h"
#include "desktop/windows/installer/test/scoped_http_handler.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::WriteTextFile;

void CreateShortcut(const FilePath& shortcut, const FilePath& target) {
  ASSERT_TRUE(base::CreateDirectory(shortcut.DirName()));
  base::win::ShortcutProperties properties;
  properties.set_target(target);
  ASSERT_TRUE(base::win::CreateOrUpdateShortcutLink(
      shortcut, properties, base::win::SHORTCUT_CREATE_ALWAYS));
}

class StatusTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    root_ = temp_dir_.GetPath();
    folder_ = root_.Append(L"Kelvo developer");
    start_menu_ = std::make_unique<base::ScopedPathOverride>(
        base::DIR_START_MENU, root_.Append(L"Start Menu"));
    pins_ = std::make_unique<base::ScopedPathOverride>(base::DIR_TASKBAR_PINS,
                                                       root_.Append(L"Pins"));
    roaming_ = std::make_unique<base::ScopedPathOverride>(
        base::DIR_APP_DATA, root_.Append(L"Roaming"));
    // Made on this thread, as Settings does before it posts a computation.
    PrefsTaskPool::GetInstance();
  }

  std::unique_ptr<Status> Examine(const FilePath& path, bool replace = false) {
    auto status = std::make_unique<Status>(replace);
    status->InitForPath(path);
    return status;
  }

  // Makes |command| the open command of the user's http handler.
  void ChooseHttpHandler(const std::wstring& command) {
    http_handler_.SetCommand(command);
  }

  std::wstring LauncherCommand(const char* exe = "launcher.exe") {
    return L"\"" + folder_.AppendASCII(exe).value() + L"\" -- \"%1\"";
  }

  // The process-wide objects the tests create (the pref pool above all)
  // go with each test, as they go with each run.
  base::ShadowingAtExitManager at_exit_;
  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_dir_;
  FilePath root_;
  FilePath folder_;
  std::unique_ptr<base::ScopedPathOverride> start_menu_;
  std::unique_ptr<base::ScopedPathOverride> pins_;
  std::unique_ptr<base::ScopedPathOverride> roaming_;
  test::ScopedHttpHandler http_handler_{L"KelvoStatusTestHTML"};
};

TEST_F(StatusTest, UnusablePaths) {
  WriteTextFile(root_.Append(L"file.txt"), "x");
  struct {
    std::wstring path;
    const char* verdict;
  } cases[] = {
      {L"", "Path is empty"},
      {L"\\Kelvo", "Path is relative"},
      {L"C:\\a\\con", "Path is not a valid Win32 path"},
      {root_.Append(L"file.txt\\Kelvo\\sub").value(),
       "Path is child of a file (invalid)"},
      // No drive Q:: the walk up ends at its root.
      {L"Q:\\Kelvo",
       "Path is a root folder that's not valid(probably invalid drive "
       "letter)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.path);
    base::ScopedLogCapture log;
    std::unique_ptr<Status> status = Examine(FilePath(test.path));
    EXPECT_FALSE(status->valid_install_path());
    EXPECT_TRUE(log.Contains(test.verdict));
  }
}

// A path of |length| characters below |root|.
FilePath PathOfLength(const FilePath& root, size_t length) {
  const std::wstring base = root.value() + L"\\";
  EXPECT_LT(base.size() + 2, length);
  std::wstring rest(length - base.size(), L'k');
  // Components of at most 100 characters.
  for (size_t i = 100; i < rest.size(); i += 101)
    rest[i] = L'\\';
  if (rest.back() == L'\\')
    rest.back() = L'k';
  return FilePath(base + rest);
}

// The installer's own deepest path in the folder stays below MAX_PATH for
// new installations; an installation that exists already in a longer
// folder may still be upgraded and removed.
TEST_F(StatusTest, LongFoldersAreRefusedForNewInstallations) {
  EXPECT_EQ(192u, kMaxInstallFolderLength);
  const FilePath longest = PathOfLength(root_, kMaxInstallFolderLength);
  const FilePath too_long = PathOfLength(root_, kMaxInstallFolderLength + 1);
  EXPECT_TRUE(Examine(longest)->valid_install_path());
  base::ScopedLogCapture log;
  EXPECT_FALSE(Examine(too_long)->valid_install_path());
  EXPECT_TRUE(log.Contains("Path is too long for the files"));
  // An existing folder with a trailing separator counts without it.
  ASSERT_TRUE(base::CreateDirectory(longest));
  EXPECT_TRUE(Examine(FilePath(longest.value() + L"\\"))->valid_install_path());

  const FilePath installed = PathOfLength(root_, 230);
  InstallLog log_file;
  log_file.install_path = installed;
  log_file.version = "57.0.1.0";
  log_file.files.push_back(FilePath(L"kelvo.exe"));
  ASSERT_TRUE(base::CreateDirectory(installed));
  ASSERT_TRUE(InstallLogWriter().WriteToFile(
      log_file, installed.AppendASCII(kInstallLogFileName)));
  std::unique_ptr<Status> status = Examine(installed);
  EXPECT_TRUE(status->valid_install_path());
  EXPECT_TRUE(status->existing_installation());
}

TEST_F(StatusTest, MissingFolderIsCheckedOnItsNearestAncestor) {
  FakeSecurityAccess security;
  SecurityAccess::ScopedOverrideForTesting override(&security);
  // The ancestor lets the user add folders, and nothing more.
  security.SetObject(root_.value(), L"O:BAG:BAD:(A;;0x100004;;;WD)");
  FilePath missing = root_.Append(L"a\\b\\Kelvo");
  std::unique_ptr<Status> status = Examine(missing);
  EXPECT_EQ(root_, status->valid_parent());
  EXPECT_TRUE(status->has_write_access());

  // The same rights on an existing folder are not enough to install there.
  ASSERT_TRUE(base::CreateDirectory(folder_));
  security.SetObject(folder_.value(), L"O:BAG:BAD:(A;;0x100004;;;WD)");
  EXPECT_FALSE(Examine(folder_)->has_write_access());
}

TEST_F(StatusTest, ForeignFolder) {
  // Somebody else's files, and prefs that are not ours to read.
  WriteTextFile(folder_.Append(L"readme.txt"), "hello");
  WriteTextFile(folder_.AppendASCII("installer_prefs.json"),
                "{\"language\": \"de\"}");
  std::unique_ptr<Status> status = Examine(folder_);
  EXPECT_TRUE(status->valid_install_path());
  EXPECT_FALSE(status->existing_installation());
  EXPECT_FALSE(status->tavrel_installation());
  EXPECT_TRUE(status->language().empty());
  // A launcher without a log: the former product installed it.
  WriteTextFile(folder_.AppendASCII("launcher.exe"), "MZ");
  EXPECT_TRUE(Examine(folder_)->tavrel_installation());
}

TEST_F(StatusTest, InstallationOfThisStream) {
  const FilePath launcher = folder_.AppendASCII("launcher.exe");
  const FilePath old_exe = folder_.Append(L"45.0.2531.0\\kelvo.exe");
  WriteTextFile(launcher, "MZ launcher");
  WriteTextFile(old_exe, "MZ old");
  InstallLog log = MinimalInstallLog(folder_);
  log.desktop_shortcut = root_.Append(L"Desktop\\Kelvo.lnk");
  log.start_menu_shortcut = root_.Append(L"Programs\\Kelvo.lnk");
  WriteInstallLog(log);
  CreateShortcut(log.desktop_shortcut, launcher);
  // Still pointing at the version folder's executable: to be renewed.
  CreateShortcut(log.start_menu_shortcut, old_exe);
  CreateShortcut(root_.Append(L"Pins\\Kelvo.lnk"), old_exe);
  CreateShortcut(root_.Append(L"Pins\\Other.lnk"), root_.Append(L"x.exe"));
  WriteTextFile(folder_.AppendASCII("server_tracking_data"), "tracking\n");
  WriteTextFile(folder_.AppendASCII("installer_prefs.json"),
                "{\"language\": \"de\", \"all-installer-experiments\":"
                " [\"installer-experiment-test@1\"]}");
  const FilePath user_data =
      root_.Append(L"Roaming\\Kelvo Software\\Kelvo Developer");
  WriteTextFile(user_data.AppendASCII("Local State"),
                "{\"intl\": {\"app_locale\": \"nb\"}}");
  ChooseHttpHandler(LauncherCommand());

  std::unique_ptr<Status> status = Examine(folder_);
  EXPECT_TRUE(status->existing_installation());
  EXPECT_FALSE(status->tavrel_installation());
  EXPECT_EQ(std::vector<FilePath>{FilePath(L"45.0.2531.0")},
            status->InstalledVersionFolders());
  EXPECT_TRUE(status->desktop_shortcut_exists());
  EXPECT_FALSE(status->recreate_desktop_shortcut());
  EXPECT_TRUE(status->recreate_start_menu_shortcut());
  EXPECT_FALSE(status->quick_launch_shortcut_exists());
  EXPECT_EQ(std::vector<FilePath>{root_.Append(L"Pins\\Kelvo.lnk")},
            status->pinned_shortcut_paths());
  EXPECT_TRUE(status->recreate_pinned_shortcut());
  EXPECT_TRUE(status->is_http_handler());
  EXPECT_EQ("tracking\n", status->tracking_data());
  EXPECT_TRUE(status->experiments().IsEnabled(kInstallerExperimentTest));
  EXPECT_EQ(user_data, status->profile_path());
  // The profile's own language beats the installation's.
  EXPECT_EQ(L"nb", status->language());
}

// Shortcuts and pins whose stored target lies in the folder belong to the
// installation whatever became of the target; those into other folders do
// not, even when the log records them.
TEST_F(StatusTest, ShortcutsIntoTheFolderWhoseTargetIsGone) {
  const FilePath launcher = folder_.AppendASCII("launcher.exe");
  const FilePath old_exe = folder_.Append(L"45.0.2531.0\\kelvo.exe");
  const FilePath elsewhere = root_.Append(L"Kelvo developer Old\\launcher.exe");
  for (const FilePath& target : {launcher, old_exe, elsewhere})
    WriteTextFile(target, "MZ");
  InstallLog log = MinimalInstallLog(folder_);
  log.desktop_shortcut = root_.Append(L"Desktop\\Kelvo.lnk");
  log.start_menu_shortcut = root_.Append(L"Programs\\Kelvo.lnk");
  log.quick_launch_shortcut = root_.Append(L"Quick Launch\\Kelvo.lnk");
  WriteInstallLog(log);
  CreateShortcut(log.desktop_shortcut, launcher);
  CreateShortcut(log.start_menu_shortcut, old_exe);
  CreateShortcut(log.quick_launch_shortcut, elsewhere);
  CreateShortcut(root_.Append(L"Pins\\Kelvo.lnk"), launcher);
  CreateShortcut(root_.Append(L"Pins\\Other.lnk"), elsewhere);
  for (const FilePath& target : {launcher, old_exe, elsewhere})
    ASSERT_TRUE(base::DeleteFile(target, false));

  std::unique_ptr<Status> status = Examine(folder_);
  ASSERT_TRUE(status->existing_installation());
  EXPECT_TRUE(status->desktop_shortcut_exists());
  EXPECT_FALSE(status->recreate_desktop_shortcut());
  EXPECT_TRUE(status->start_menu_shortcut_exists());
  EXPECT_TRUE(status->recreate_start_menu_shortcut());
  EXPECT_FALSE(status->quick_launch_shortcut_exists());
  EXPECT_EQ(std::vector<FilePath>{root_.Append(L"Pins\\Kelvo.lnk")},
            status->pinned_shortcut_paths());
}

// A log that cannot be read gives no installation, but what the folder
// shows of it for an uninstall; the former product's log gives nothing.
TEST_F(StatusTest, DamagedInstallLogIsRecoveredFromTheFolder) {
  WriteTextFile(folder_.AppendASCII("launcher.exe"), "MZ");
  WriteTextFile(folder_.Append(L"45.0.2531.0\\kelvo.exe"), "MZ");
  WriteTextFile(folder_.AppendASCII("installation_status.xml"),
                "<?xml version=\"1.0\"?>\n<install_log");
  std::unique_ptr<Status> status = Examine(folder_);
  EXPECT_FALSE(status->existing_installation());
  EXPECT_FALSE(status->install_log_parse_error().empty());
  EXPECT_TRUE(status->install_log_recovered());
  EXPECT_EQ(std::vector<FilePath>{FilePath(L"45.0.2531.0")},
            status->recovered_version_folders());
  EXPECT_EQ(std::vector<FilePath>{FilePath(L"45.0.2531.0\\kelvo.exe")},
            status->install_log().files);
  EXPECT_TRUE(status->install_log().copy_only);
  // Every version folder that holds the browser may run it.
  WriteTextFile(folder_.Append(L"44.0.1.0_1\\kelvo.exe"), "MZ");
  status = Examine(folder_);
  std::vector<FilePath> version_folders = status->InstalledVersionFolders();
  std::sort(version_folders.begin(), version_folders.end());
  EXPECT_EQ((std::vector<FilePath>{FilePath(L"44.0.1.0_1"),
                                   FilePath(L"45.0.2531.0")}),
            version_folders);

  ASSERT_TRUE(base::Move(folder_.AppendASCII("installation_status.xml"),
                         folder_.AppendASCII("kelvo_install_log.xml")));
  status = Examine(folder_);
  EXPECT_FALSE(status->install_log_parse_error().empty());
  EXPECT_FALSE(status->install_log_recovered());
  EXPECT_TRUE(status->install_log().files.empty());
}

// Undocumented: the tracking data is read up to 1 MiB; a larger file is
// no tracking data the server gave out, and gives none.
TEST_F(StatusTest, TrackingDataUpToItsLimit) {
  WriteTextFile(folder_.AppendASCII("launcher.exe"), "MZ");
  WriteInstallLog(MinimalInstallLog(folder_));
  const FilePath tracking = folder_.AppendASCII("server_tracking_data");
  WriteTextFile(tracking, std::string(1024 * 1024, 't'));
  EXPECT_EQ(1024u * 1024u, Examine(folder_)->tracking_data().size());
  WriteTextFile(tracking, std::string(1024 * 1024 + 1, 't'));
  EXPECT_TRUE(Examine(folder_)->tracking_data().empty());
}

TEST_F(StatusTest, FormerProductTraces) {
  ASSERT_TRUE(base::CreateDirectory(folder_));
  ASSERT_TRUE(InstallLogWriter().WriteToFile(
      MinimalInstallLog(folder_),
      folder_.AppendASCII("kelvo_install_log.xml")));
  WriteTextFile(folder_.AppendASCII("kelvo.exe"), "MZ");
  WriteTextFile(folder_.AppendASCII("kelvoprefs_default.ini"),
                "[System]\r\nKelvo Product=2\r\nMulti User=0\r\n"
                "[User Prefs]\r\n"
                "Language Files Directory=C:\\Kelvo\\locale\\pt-BR\\\r\n");
  // Prefs of this product in a folder of the former one are not read.
  WriteTextFile(folder_.AppendASCII("installer_prefs.json"),
                "{\"language\": \"de\", \"single_profile\": false}");
  // The former product registered its own executable.
  ChooseHttpHandler(LauncherCommand("kelvo.exe"));

  std::unique_ptr<Status> kept = Examine(folder_, /*replace=*/false);
  EXPECT_FALSE(kept->existing_installation());
  EXPECT_TRUE(kept->existing_installation_traces());
  EXPECT_TRUE(kept->is_http_handler());
  EXPECT_EQ(2, kept->old_product_type());
  EXPECT_EQ(1, kept->single_profile());
  EXPECT_EQ(L"pt-BR", kept->language());

  std::unique_ptr<Status> replaced = Examine(folder_, /*replace=*/true);
  EXPECT_TRUE(replaced->existing_installation());

  // A directory text that filled the whole buffer was cut: no language.
  WriteTextFile(folder_.AppendASCII("kelvoprefs_default.ini"),
                "[System]\r\nKelvo Product=7\r\nMulti User=1\r\n"
                "[User Prefs]\r\nLanguage Files Directory=C:\\" +
                    std::string(257, 'x') + "\r\n");
  std::unique_ptr<Status> cut = Examine(folder_, true);
  EXPECT_EQ(0, cut->old_product_type());
  EXPECT_EQ(0, cut->single_profile());
  EXPECT_TRUE(cut->language().empty());
}

TEST_F(StatusTest, InstallLogFlagsAreNormalised) {
  auto read_back = [this](bool copy_only, bool shortcut, bool hklm_key) {
    InstallLog log = MinimalInstallLog(folder_);
    log.copy_only = copy_only;
    log.all_users = true;
    if (shortcut)
      log.desktop_shortcut = root_.Append(L"Desktop\\Kelvo.lnk");
    if (hklm_key)
      log.hklm_keys = {{1, "Software\\Kelvo Software\\Kelvo", {}}};
    WriteInstallLog(log);
    return Examine(folder_)->install_log();
  };
  // A copy-only log is never for all users...
  EXPECT_TRUE(read_back(true, false, false).copy_only);
  EXPECT_FALSE(read_back(true, false, false).all_users);
  // ...unless it records a shortcut or a machine key: a full install.
  EXPECT_FALSE(read_back(true, true, false).copy_only);
  InstallLog machine = read_back(true, false, true);
  EXPECT_FALSE(machine.copy_only);
  EXPECT_TRUE(machine.all_users);
}

TEST_F(StatusTest, CdRom) {
  test::FakeDriveAccess drives;
  const wchar_t drive = root_.value()[0];
  drives.AddDrive(drive, DRIVE_CDROM, true);
  base::ScopedLogCapture log;
  // A folder that cannot be opened to add files, on an optical drive.
  std::unique_ptr<Status> status = Examine(root_.Append(L"missing\\Kelvo"));
  EXPECT_FALSE(status->valid_install_path());
  EXPECT_TRUE(log.Contains("Path is to a non-writable CD-ROM"));
  // One that can be opened so is a writable medium.
  ASSERT_TRUE(base::CreateDirectory(folder_));
  EXPECT_TRUE(Examine(folder_)->valid_install_path());
}

}  // namespace
}  // namespace installer
