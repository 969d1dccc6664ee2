#include "desktop/windows/installer/settings.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/message_loop/message_loop.h"
#include "base/path_service.h"
#include "base/run_loop.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/test/scoped_path_override.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/threading/worker_pool.h"
#include "base/time/time.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/install_log_writer.h"
#include "desktop/windows/installer/installer_stats_node.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/status_fetch_job.h"
#include "desktop/windows/installer/test/fake_drive_access.h"
#include "desktop/windows/installer/test/install_log_test_util.h"
#include "desktop/windows/installer/test/scoped_http_handler.h"
#include "desktop/windows/installer/test/scoped_registry_values.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

constexpr wchar_t kProductKey[] = L"Software\\Kelvo Software";
constexpr base::TimeDelta kMaxWait = base::TimeDelta::FromSeconds(20);

class RecordingObserver : public SettingsObserver {
 public:
  void OnOptionChanged() override { ++options; }
  void OnLanguageChanged() override {}
  void OnPathChanged() override {
    ++paths;
    if (on_path_changed)
      on_path_changed.Run();
  }

  int options = 0;
  int paths = 0;
  base::RepeatingClosure on_path_changed;
};

// Holds the computation of one folder until released, and records which
// folders were computed.
class StatusGate {
 public:
  StatusGate() {
    StatusFetchJob::SetRunHookForTesting(
        base::BindRepeating(&StatusGate::OnRun, base::Unretained(this)));
  }
  ~StatusGate() {
    Release();
    EXPECT_TRUE(base::WorkerPool::WaitForIdle(kMaxWait));
    StatusFetchJob::SetRunHookForTesting(StatusFetchJob::RunHook());
  }

  void Hold(const FilePath& folder) { held_ = folder; }
  void Release() { release_.Signal(); }
  std::vector<FilePath> started() {
    base::AutoLock lock(lock_);
    return started_;
  }

 private:
  void OnRun(const FilePath& folder) {
    {
      base::AutoLock lock(lock_);
      started_.push_back(folder);
    }
    if (folder == held_) {
      EXPECT_TRUE(release_.TimedWait(kMaxWait));
    }
  }

  FilePath held_;
  base::WaitableEvent release_{base::WaitableEvent::ResetPolicy::MANUAL,
                               base::WaitableEvent::InitialState::NOT_SIGNALED};
  base::Lock lock_;
  std::vector<FilePath> started_;
};

// The constructor arguments of Settings that come from RunInstaller.
struct Flags {
  bool uninstall = false;
  bool silent = false;
  bool autoupdate = false;
  bool replace = false;
  int32_t x64 = 1;
};

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    root_ = temp_dir_.GetPath();
    for (auto [key, name] :
         {std::pair{base::DIR_PROGRAM_FILES6432, L"Program Files"},
          std::pair{base::DIR_PROGRAM_FILESX86, L"Program Files (x86)"},
          std::pair{base::DIR_START_MENU, L"Start Menu"},
          std::pair{base::DIR_TASKBAR_PINS, L"Pins"},
          std::pair{base::DIR_APP_DATA, L"Roaming"}}) {
      overrides_.push_back(
          std::make_unique<base::ScopedPathOverride>(key, root_.Append(name)));
    }
    for (const wchar_t* name :
         {L"Last developer Install Path x64", L"Last developer Install Path",
          L"Last Developer Install Path"}) {
      registry_.Keep(HKEY_CURRENT_USER, kProductKey, name)->Delete();
    }
    SetCommandLine(L"");
  }

  void TearDown() override {
    // Computations still under way end before their folders go.
    EXPECT_TRUE(base::WorkerPool::WaitForIdle(kMaxWait));
    base::RunLoop().RunUntilIdle();
    // Newest first: the registry ignores case, so two of the names are one
    // value, and the first one saved what the machine held.
    registry_.Restore();
  }

  void SetCommandLine(const std::wstring& arguments) {
    command_line_ =
        base::CommandLine::FromString(L"installer.exe " + arguments);
  }

  // Settings of a run with the current command line, its first Status in.
  std::unique_ptr<Settings> Make(const FilePath& folder = FilePath(),
                                 Flags flags = Flags()) {
    auto settings = std::make_unique<Settings>(
        command_line_, flags.uninstall, flags.silent, flags.autoupdate, folder,
        flags.replace, flags.x64);
    WaitForStatus(settings.get());
    return settings;
  }

  // The backend that |front|'s command line starts.
  std::unique_ptr<Settings> MakeBackend(const Settings& front) {
    SetCommandLine(front.ToCommandLine(false).GetArgumentsString());
    const base::CommandLine& line = command_line_;
    Flags flags;
    flags.uninstall = line.HasSwitch("uninstall");
    flags.silent = line.HasSwitch("silent");
    flags.autoupdate = line.HasSwitch("autoupdate");
    flags.replace = line.HasSwitch("replacetavrelinstallation");
    flags.x64 = front.x64_download();
    return Make(line.GetSwitchValuePath("installfolder"), flags);
  }

  static void WaitForStatus(Settings* settings) {
    if (!settings->IsStatusPending())
      return;
    base::RunLoop run_loop;
    RecordingObserver observer;
    observer.on_path_changed = run_loop.QuitClosure();
    settings->AddObserver(&observer);
    base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
        FROM_HERE, run_loop.QuitClosure(), kMaxWait);
    run_loop.Run();
    settings->RemoveObserver(&observer);
    EXPECT_FALSE(settings->IsStatusPending());
  }

  FilePath MakeFolder(const wchar_t* name) {
    FilePath folder = root_.Append(name);
    EXPECT_TRUE(base::CreateDirectory(folder));
    return folder;
  }

  // An installation of this product at |folder|, with |prefs| when given.
  void Install(const FilePath& folder,
               const std::string& prefs = std::string(),
               bool all_users = false) {
    InstallLog log = MinimalInstallLog(folder);
    log.all_users = all_users;
    WriteInstallLog(log);
    if (!prefs.empty())
      test::WriteTextFile(folder.AppendASCII("installer_prefs.json"), prefs);
  }

  static void ExpectSameSettings(const Settings& expected,
                                 const Settings& actual) {
    EXPECT_EQ(expected.operation(), actual.operation());
    for (int id = 0; id < kSettingsOptionCount; ++id) {
      // The front end's choice of components reaches the backend as the
      // components it fetched.
      if (id != INSTALL_ASSISTANT) {
        EXPECT_EQ(expected.GetOption(id), actual.GetOption(id))
            << GetSettingsOptionName(id);
      }
    }
    EXPECT_EQ(expected.language(), actual.language());
    EXPECT_EQ(expected.GetStatus().folder(), actual.GetStatus().folder());
    EXPECT_EQ(expected.profile_folder(), actual.profile_folder());
    EXPECT_EQ(expected.ToCommandLine(false).GetCommandLineString(),
              actual.ToCommandLine(false).GetCommandLineString());
  }

  // The process-wide objects the tests create (the pref pool above all)
  // go with each test, as they go with each run.
  base::ShadowingAtExitManager at_exit_;
  base::win::ScopedCOMInitializer com_;
  base::MessageLoop message_loop_;
  base::ScopedTempDir temp_dir_;
  FilePath root_;
  l10n::ScopedLanguagesForTesting languages_{{L"en", L"de", L"nb"}, {L"en-US"}};
  test::FakeDriveAccess drives_;
  std::vector<std::unique_ptr<base::ScopedPathOverride>> overrides_;
  test::ScopedRegistryValues registry_;
  base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
};

TEST(SettingsSwitchTest, BoolSwitchValues) {
  for (const wchar_t* value : {L"yes", L"True", L"1", L"-1"})
    EXPECT_TRUE(ParseBoolSwitchValue(value)) << value;
  for (const wchar_t* value : {L"", L"0", L"no", L"1abc", L" 1"})
    EXPECT_FALSE(ParseBoolSwitchValue(value)) << value;
}

TEST_F(SettingsTest, OptionsFromTheCommandLine) {
  const FilePath folder = MakeFolder(L"Kelvo");
  struct Case {
    const wchar_t* arguments;
    std::vector<int> on;
    std::vector<int> off;
  } cases[] = {
      {L"",
       {LAUNCH_KELVO, ALL_USERS_FLAG, IMPORT_BROWSER_DATA, ENABLE_KELVO_STATS,
        ENABLE_INSTALLER_STATS, DESKTOP_SHORTCUT, PINNED_SHORTCUT},
       {COPY_ONLY, SINGLE_PROFILE, DEFAULT_BROWSER, INSTALL_ASSISTANT}},
      {L"--enable-stats=0 --launchbrowser=0",
       {},
       {ENABLE_KELVO_STATS, ENABLE_INSTALLER_STATS, LAUNCH_KELVO}},
      {L"--enable-stats=0 --enable-installer-stats=1",
       {ENABLE_INSTALLER_STATS},
       {ENABLE_KELVO_STATS}},
      // Copy-only ignores the switches a standalone copy cannot have.
      {L"--copyonly=1 --allusers=1 --desktopshortcut=1 --install-assistant",
       {COPY_ONLY, SINGLE_PROFILE},
       {ALL_USERS_FLAG, DESKTOP_SHORTCUT, PINNED_SHORTCUT, INSTALL_ASSISTANT}},
      {L"--copyonly=1 --singleprofile=0", {COPY_ONLY}, {SINGLE_PROFILE}},
      {L"--launchbrowser=1 --launchkelvo=0 --allusers=no "
       L"--setdefaultbrowser=yes --pintotaskbar=0",
       {DEFAULT_BROWSER},
       {LAUNCH_KELVO, ALL_USERS_FLAG, PINNED_SHORTCUT}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.arguments);
    SetCommandLine(test.arguments);
    std::unique_ptr<Settings> settings = Make(folder);
    for (int id : test.on)
      EXPECT_TRUE(settings->GetOption(id)) << GetSettingsOptionName(id);
    for (int id : test.off)
      EXPECT_FALSE(settings->GetOption(id)) << GetSettingsOptionName(id);
  }
}

TEST_F(SettingsTest, RoundTripThroughTheBackendCommandLine) {
  const FilePath portable = root_.Append(L"Portable");
  struct Case {
    const char* name;
    const wchar_t* arguments;
    Flags flags;
    void (*change)(Settings* settings, const FilePath& portable);
  } cases[] = {
      {"defaults", L"", {}, nullptr},
      {"own switches and run flags",
       L"--profile-folder=D:\\P --initial-pid=7 --v=1",
       {false, true, true, true, 0},
       nullptr},
      {"current user",
       L"",
       {},
       [](Settings* s, const FilePath&) {
         EXPECT_TRUE(s->SetMode(INSTALL_MODE_CURRENT_USER));
       }},
      {"standalone",
       L"",
       {},
       [](Settings* s, const FilePath& portable) {
         EXPECT_TRUE(s->SetMode(INSTALL_MODE_STANDALONE));
         EXPECT_TRUE(s->SelectInstallFolder(portable));
       }},
      {"choices",
       L"",
       {},
       [](Settings* s, const FilePath&) {
         EXPECT_TRUE(s->SetDefaultBrowser(true));
         EXPECT_TRUE(s->SetLanguage(L"nb"));
         for (int id : {DESKTOP_SHORTCUT, PINNED_SHORTCUT, LAUNCH_KELVO})
           EXPECT_TRUE(s->SetOption(id, false));
         EXPECT_TRUE(s->SetOption(SINGLE_PROFILE, true));
       }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    SetCommandLine(test.arguments);
    std::unique_ptr<Settings> front = Make(FilePath(), test.flags);
    if (test.change) {
      test.change(front.get(), portable);
      WaitForStatus(front.get());
    }
    ASSERT_EQ(OPERATION_INSTALLING, front->operation());
    ExpectSameSettings(*front, *MakeBackend(*front));
  }
}

TEST_F(SettingsTest, RoundTripOfAnUpgrade) {
  const FilePath folder = root_.Append(L"Installed");
  Install(folder,
          "{\"single_profile\": true, \"import_browser_data\": false,"
          " \"enable_stats\": false, \"language\": \"de\"}");
  SetCommandLine(L"--import-bookmarks=b --installfolder=\"" + folder.value() +
                 L"\"");
  std::unique_ptr<Settings> front = Make(folder, {false, false, true});
  ASSERT_EQ(OPERATION_UPGRADING, front->operation());
  // What the installation recorded wins over the defaults.
  EXPECT_FALSE(front->GetOption(ALL_USERS_FLAG));
  EXPECT_TRUE(front->GetOption(SINGLE_PROFILE));
  EXPECT_FALSE(front->GetOption(ENABLE_INSTALLER_STATS));
  EXPECT_EQ(L"de", front->language());
  // An upgrade keeps the kind of installation.
  EXPECT_FALSE(front->SetCopyOnly(true));
  base::CommandLine suppressed = front->ToCommandLine(true);
  EXPECT_EQ("0", suppressed.GetSwitchValueASCII("launchkelvo"));
  EXPECT_EQ("b", suppressed.GetSwitchValueASCII("import-bookmarks"));
  ExpectSameSettings(*front, *MakeBackend(*front));
}

TEST_F(SettingsTest, UninstallCommandLine) {
  const FilePath folder = root_.Append(L"Installed");
  Install(folder);
  SetCommandLine(
      L"--uninstall --deleteuserprofile=1 --temp-folder=C:\\T --v=2 "
      L"--import-session=s --language=de");
  Flags flags;
  flags.uninstall = true;
  std::unique_ptr<Settings> front = Make(FilePath(), flags);
  EXPECT_TRUE(front->GetOption(DELETE_PROFILE));
  // The executable's own folder holds no installation.
  EXPECT_EQ(OPERATION_NONE, front->operation());
  front->SelectInstallFolder(folder);
  WaitForStatus(front.get());
  ASSERT_EQ(OPERATION_UNINSTALLING, front->operation());
  EXPECT_EQ(
      L"--backend --temp-folder=C:\\T --v=2 --uninstall "
      L"--deleteuserprofile=1",
      front->ToCommandLine(false).GetArgumentsString());
  EXPECT_TRUE(MakeBackend(*front)->GetOption(DELETE_PROFILE));
}

TEST_F(SettingsTest, GuardsAndTheEditableGate) {
  std::unique_ptr<Settings> settings = Make(MakeFolder(L"Kelvo"));
  RecordingObserver observer;
  settings->AddObserver(&observer);
  EXPECT_TRUE(settings->SetDefaultBrowser(true));
  EXPECT_TRUE(settings->SetCopyOnly(true));
  EXPECT_FALSE(settings->GetOption(DEFAULT_BROWSER));
  EXPECT_FALSE(settings->SetDefaultBrowser(true));

  settings->SetEditable(false);
  EXPECT_FALSE(settings->SetCopyOnly(false));
  EXPECT_FALSE(settings->SetLanguage(L"nb"));
  EXPECT_FALSE(settings->SelectInstallFolder(MakeFolder(L"Other")));
  settings->FromCommandLine();
  EXPECT_TRUE(settings->GetOption(COPY_ONLY));
  EXPECT_EQ(2, observer.options);
  EXPECT_EQ(0, observer.paths);
  settings->RemoveObserver(&observer);
}

TEST_F(SettingsTest, NewerFolderSupersedesASlowComputation) {
  const FilePath slow = MakeFolder(L"Slow");
  const FilePath fast = MakeFolder(L"Fast");
  std::unique_ptr<Settings> settings = Make(MakeFolder(L"Shown"));
  StatusGate gate;
  gate.Hold(slow);
  RecordingObserver observer;
  settings->AddObserver(&observer);

  EXPECT_TRUE(settings->SelectInstallFolder(slow));
  // The same folder again starts nothing new.
  EXPECT_TRUE(settings->SelectInstallFolder(slow));
  EXPECT_TRUE(settings->SelectInstallFolder(fast));
  WaitForStatus(settings.get());
  EXPECT_EQ(fast, settings->GetStatus().folder());

  // The slow result arrives late and is dropped.
  gate.Release();
  ASSERT_TRUE(base::WorkerPool::WaitForIdle(kMaxWait));
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(fast, settings->GetStatus().folder());
  EXPECT_EQ(1, observer.paths);
  std::vector<FilePath> started = gate.started();
  std::sort(started.begin(), started.end());
  EXPECT_EQ((std::vector<FilePath>{fast, slow}), started);
  settings->RemoveObserver(&observer);
}

TEST_F(SettingsTest, BackToTheShownFolderCancelsTheComputation) {
  const FilePath shown = MakeFolder(L"Shown");
  const FilePath slow = MakeFolder(L"Slow");
  std::unique_ptr<Settings> settings = Make(shown);
  StatusGate gate;
  gate.Hold(slow);
  RecordingObserver observer;
  settings->AddObserver(&observer);

  EXPECT_TRUE(settings->SelectInstallFolder(slow));
  EXPECT_TRUE(settings->SelectInstallFolder(shown));
  // Whoever waited for a status may go on with the one shown.
  EXPECT_FALSE(settings->IsStatusPending());
  gate.Release();
  ASSERT_TRUE(base::WorkerPool::WaitForIdle(kMaxWait));
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(shown, settings->GetStatus().folder());
  EXPECT_EQ(1, observer.paths);
  settings->RemoveObserver(&observer);

  // Settings that go while a computation runs receive nothing later.
  gate.Hold(root_.Append(L"Late"));
  EXPECT_TRUE(settings->SelectInstallFolder(root_.Append(L"Late")));
  settings.reset();
}

TEST_F(SettingsTest, X64InstallOverAnX86Installation) {
  const FilePath x86_folder =
      root_.Append(L"Program Files (x86)\\Kelvo developer");
  ASSERT_TRUE(base::CreateDirectory(x86_folder));
  base::win::RegKey(HKEY_CURRENT_USER, kProductKey,
                    KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
      .WriteValue(L"Last developer Install Path", x86_folder.value().c_str());
  // Nothing installed there: the 64-bit folder.
  EXPECT_EQ(root_.Append(L"Program Files\\Kelvo developer"),
            Make()->GetStatus().folder());
  // An installation there is upgraded in place, its status taken at once.
  Install(x86_folder, "", true);
  Settings settings(command_line_, false, false, false, FilePath(), false, 1);
  EXPECT_FALSE(settings.IsStatusPending());
  EXPECT_EQ(x86_folder, settings.GetStatus().folder());
  EXPECT_EQ(OPERATION_UPGRADING, settings.operation());
}

TEST_F(SettingsTest, StatisticsOfTheSettings) {
  SetCommandLine(L"--setdefaultbrowser=1 --allusers=0");
  Flags flags;
  flags.autoupdate = true;
  flags.x64 = 0;
  std::unique_ptr<Settings> settings = Make(FilePath(), flags);
  base::Lock lock;
  base::DictionaryValue root;
  root.SetString("xml_status_parse_error", "from an earlier folder");
  settings->WriteStats("settings.",
                       InstallerStatsNode(&root, &lock, base::TimeTicks()));
  auto text = [&root](const char* key) {
    std::string value;
    EXPECT_TRUE(root.GetString(key, &value)) << key;
    return value;
  };
  auto number = [&root](const char* key) {
    int value = -1;
    EXPECT_TRUE(root.GetInteger(key, &value)) << key;
    return value;
  };
  EXPECT_EQ("current_user", text("settings.installation_mode"));
  EXPECT_EQ("installing", text("settings.installation_operation"));
  EXPECT_EQ(1, number("settings.make_default"));
  EXPECT_EQ(1, number("settings.using_default_installation_folder"));
  // An administrator needs no elevation.
  EXPECT_EQ(0, number("settings.using_privileged_installation_folder"));
  // These three keys carry no prefix.
  EXPECT_EQ(1, number("autoupdate"));
  EXPECT_EQ("X86", text("build_arch"));
  EXPECT_FALSE(root.HasKey("xml_status_parse_error"));

  const FilePath broken = MakeFolder(L"Broken");
  test::WriteTextFile(broken.AppendASCII("installation_status.xml"), "<x");
  ASSERT_TRUE(settings->SetMode(INSTALL_MODE_STANDALONE));
  ASSERT_TRUE(settings->SelectInstallFolder(broken));
  WaitForStatus(settings.get());
  settings->WriteStats("", InstallerStatsNode(&root, &lock, base::TimeTicks()));
  EXPECT_EQ("standalone", text("installation_mode"));
  EXPECT_EQ(0, number("using_default_installation_folder"));
  EXPECT_EQ("Cannot parse the file as XML", text("xml_status_parse_error"));
}

// A mode brings its own default folder when the folder shown was the
// default one; a folder the user chose stays.
TEST_F(SettingsTest, ModesAndTheirFolders) {
  drives_.AddDrive(L'E', DRIVE_REMOVABLE, true);
  std::unique_ptr<Settings> settings = Make();
  const FilePath all_users = root_.Append(L"Program Files\\Kelvo developer");
  ASSERT_EQ(all_users, settings->GetStatus().folder());

  ASSERT_TRUE(settings->SetMode(INSTALL_MODE_STANDALONE));
  WaitForStatus(settings.get());
  EXPECT_EQ(INSTALL_MODE_STANDALONE, settings->GetInstallMode());
  EXPECT_TRUE(settings->GetOption(SINGLE_PROFILE));
  EXPECT_EQ(L"E:\\Kelvo developer", settings->GetStatus().folder().value());

  ASSERT_TRUE(settings->SetMode(INSTALL_MODE_ALL_USERS));
  WaitForStatus(settings.get());
  EXPECT_EQ(INSTALL_MODE_ALL_USERS, settings->GetInstallMode());
  EXPECT_FALSE(settings->GetOption(SINGLE_PROFILE));
  EXPECT_EQ(all_users, settings->GetStatus().folder());

  const FilePath chosen = MakeFolder(L"Chosen");
  ASSERT_TRUE(settings->SelectInstallFolder(chosen));
  WaitForStatus(settings.get());
  ASSERT_TRUE(settings->SetMode(INSTALL_MODE_CURRENT_USER));
  EXPECT_FALSE(settings->IsStatusPending());
  EXPECT_EQ(INSTALL_MODE_CURRENT_USER, settings->GetInstallMode());
  EXPECT_EQ(chosen, settings->GetStatus().folder());

  // A single profile given on the command line stays whatever the mode.
  SetCommandLine(L"--singleprofile=1");
  settings = Make(chosen);
  ASSERT_TRUE(settings->SetMode(INSTALL_MODE_ALL_USERS));
  EXPECT_TRUE(settings->GetOption(SINGLE_PROFILE));

  // An upgrade keeps its kind.
  Install(chosen);
  SetCommandLine(L"");
  settings = Make(chosen);
  ASSERT_EQ(OPERATION_UPGRADING, settings->operation());
  EXPECT_FALSE(settings->SetMode(INSTALL_MODE_STANDALONE));
  EXPECT_FALSE(settings->SetMode(INSTALL_MODE_ALL_USERS));
  EXPECT_FALSE(settings->GetOption(COPY_ONLY));
}

// An autoupdate pins the browser again only when the last check of the pin
// lies more than 182 days back; any other run pins as the user chose.
TEST_F(SettingsTest, PinAgainAfterHalfAYearOfAutoupdates) {
  const FilePath folder = MakeFolder(L"Installed");
  Flags autoupdate;
  autoupdate.autoupdate = true;
  for (int days : {181, 183}) {
    SCOPED_TRACE(days);
    InstallLog log = MinimalInstallLog(folder);
    log.all_users = false;
    log.last_band_check = base::Time::Now() - base::TimeDelta::FromDays(days);
    WriteInstallLog(log);
    EXPECT_EQ(days > 182, Make(folder, autoupdate)->GetOption(PINNED_SHORTCUT));
    EXPECT_TRUE(Make(folder)->GetOption(PINNED_SHORTCUT));
  }
  SetCommandLine(L"--pintotaskbar=0");
  EXPECT_FALSE(Make(folder, autoupdate)->GetOption(PINNED_SHORTCUT));
}

// Undocumented: an upgrade of a standalone copy takes no shortcut or pin
// from what it finds, as a copy has none.
TEST_F(SettingsTest, StandaloneCopyGetsNoShortcutsOnUpgrade) {
  const FilePath folder = MakeFolder(L"Portable");
  InstallLog log = MinimalInstallLog(folder);
  log.copy_only = true;
  log.all_users = false;
  WriteInstallLog(log);
  std::unique_ptr<Settings> settings = Make(folder);
  ASSERT_EQ(OPERATION_UPGRADING, settings->operation());
  EXPECT_TRUE(settings->GetOption(COPY_ONLY));
  for (int id : {DESKTOP_SHORTCUT, START_MENU_SHORTCUT, QUICK_LAUNCH_SHORTCUT,
                 PINNED_SHORTCUT}) {
    EXPECT_FALSE(settings->GetOption(id)) << GetSettingsOptionName(id);
  }
}

// The former product's installation: an autoupdate from it starts the
// browser, and it keeps being the default browser when it handled the web.
TEST_F(SettingsTest, FormerProductTracesGiveTheirOptions) {
  const FilePath folder = MakeFolder(L"Former");
  ASSERT_TRUE(InstallLogWriter().WriteToFile(
      MinimalInstallLog(folder), folder.AppendASCII("kelvo_install_log.xml")));
  test::WriteTextFile(folder.AppendASCII("kelvo.exe"), "MZ");
  test::ScopedHttpHandler http_handler(L"KelvoSettingsTestHTML");
  http_handler.SetCommand(L"\"" + folder.Append(L"kelvo.exe").value() +
                          L"\" \"%1\"");
  SetCommandLine(L"--launchkelvo=0");

  Flags autoupdate;
  autoupdate.autoupdate = true;
  std::unique_ptr<Settings> updated = Make(folder, autoupdate);
  EXPECT_EQ(OPERATION_INSTALLING, updated->operation());
  EXPECT_TRUE(updated->GetOption(LAUNCH_KELVO));
  EXPECT_TRUE(updated->GetOption(DEFAULT_BROWSER));

  Flags replace;
  replace.replace = true;
  std::unique_ptr<Settings> replaced = Make(folder, replace);
  EXPECT_EQ(OPERATION_UPGRADING, replaced->operation());
  EXPECT_FALSE(replaced->GetOption(LAUNCH_KELVO));
  EXPECT_TRUE(replaced->GetOption(DEFAULT_BROWSER));

  // Another browser handles the web: not made the default.
  http_handler.SetCommand(L"\"C:\\Other\\browser.exe\" \"%1\"");
  EXPECT_FALSE(Make(folder, replace)->GetOption(DEFAULT_BROWSER));
}

// The machine's and the user's registry are keys of the test's own, empty
// at first, whatever the shared prefix holds: the uninstall entries that
// count are those the test writes. The user's key has one view, so the
// entries go there.
class ProfileDeletionOfferTest : public SettingsTest {
 protected:
  static constexpr wchar_t kRoot[] = L"Software\\KelvoProfileDeletionOffer";

  void SetUp() override {
    SettingsTest::SetUp();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
    const std::wstring root = kRoot;
    ASSERT_EQ(ERROR_SUCCESS,
              machine_.Create(HKEY_CURRENT_USER, (root + L"\\machine").c_str(),
                              KEY_ALL_ACCESS));
    ASSERT_EQ(ERROR_SUCCESS,
              user_.Create(HKEY_CURRENT_USER, (root + L"\\user").c_str(),
                           KEY_ALL_ACCESS));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.Handle()));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOverridePredefKey(HKEY_CURRENT_USER, user_.Handle()));
    overridden_ = true;
  }

  void TearDown() override {
    if (overridden_) {
      ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
      ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    }
    machine_.Close();
    user_.Close();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
    SettingsTest::TearDown();
  }

  void AddEntry(const std::wstring& name, const std::wstring& display_name) {
    base::win::RegKey entry;
    ASSERT_EQ(ERROR_SUCCESS,
              entry.Create(HKEY_CURRENT_USER,
                           (GetUninstallRegistryKey() + L"\\" + name).c_str(),
                           KEY_SET_VALUE));
    ASSERT_EQ(ERROR_SUCCESS,
              entry.WriteValue(L"DisplayName", display_name.c_str()));
    ASSERT_EQ(ERROR_SUCCESS, entry.WriteValue(L"Publisher", L"Kelvo Software"));
  }

  bool Offered(const wchar_t* command_line) {
    SetCommandLine(command_line);
    Flags uninstalling;
    uninstalling.uninstall = true;
    return Make(FilePath(), uninstalling)->offer_profile_deletion();
  }

 private:
  base::win::RegKey machine_;
  base::win::RegKey user_;
  bool overridden_ = false;
};

// The uninstall window offers to delete the profile unless two
// installations of this stream are registered; the backend does not ask.
TEST_F(ProfileDeletionOfferTest, OfferedUnlessTwoInstallationsOfTheStream) {
  EXPECT_TRUE(Offered(L"--uninstall"));
  AddEntry(L"Kelvo 45.0.2531.0", L"Kelvo developer 45.0.2531.0");
  EXPECT_TRUE(Offered(L"--uninstall"));
  // Another stream's installation is no second one of this stream.
  AddEntry(L"Kelvo 44.0.1.0", L"Kelvo Stable 44.0.1.0");
  EXPECT_TRUE(Offered(L"--uninstall"));
  AddEntry(L"Kelvo 45.0.2531.01", L"Kelvo developer 45.0.2531.0");
  EXPECT_FALSE(Offered(L"--uninstall"));
  EXPECT_TRUE(Offered(L"--uninstall --backend"));
}

}  // namespace
}  // namespace installer
