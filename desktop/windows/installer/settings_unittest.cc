#include "desktop/windows/installer/settings.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/path_service.h"
#include "base/run_loop.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/test/scoped_path_override.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/threading/worker_pool.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/install_folder_choice.h"
#include "desktop/windows/installer/install_log_writer.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/status_fetch_job.h"
#include "desktop/windows/installer/test/fake_drive_access.h"
#include "desktop/windows/installer/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/scoped_process_command_line.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/version_info.h"
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
  void OnLanguageChanged() override { ++languages; }
  void OnPathChanged() override {
    ++paths;
    if (on_path_changed)
      on_path_changed.Run();
  }

  int options = 0;
  int languages = 0;
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
      registry_.push_back(std::make_unique<test::ScopedRegistryValue>(
          HKEY_CURRENT_USER, kProductKey, name));
      registry_.back()->Delete();
    }
    SetCommandLine(L"");
  }

  void TearDown() override {
    // Computations still under way end before their folders go.
    EXPECT_TRUE(base::WorkerPool::WaitForIdle(kMaxWait));
    base::RunLoop().RunUntilIdle();
  }

  void SetCommandLine(const std::wstring& arguments) {
    command_line_.reset();
    command_line_ = std::make_unique<test::ScopedProcessCommandLine>(arguments);
  }
  void SetCommandLine(const base::CommandLine& command_line) {
    command_line_.reset();
    command_line_ =
        std::make_unique<test::ScopedProcessCommandLine>(command_line);
  }

  // Settings of a run with the current command line, its first Status in.
  std::unique_ptr<Settings> Make(const FilePath& folder = FilePath(),
                                 Flags flags = Flags()) {
    auto settings = std::make_unique<Settings>(flags.uninstall, flags.silent,
                                               flags.autoupdate, folder,
                                               flags.replace, flags.x64);
    WaitForStatus(settings.get());
    return settings;
  }

  // The backend that |front|'s command line starts.
  std::unique_ptr<Settings> MakeBackend(const Settings& front) {
    base::CommandLine line(FilePath(L"installer.exe"));
    line.AppendArguments(front.ToCommandLine(false), false);
    SetCommandLine(line);
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

  // An installation of this product at |folder|.
  void Install(const FilePath& folder,
               const InstallLog& log,
               const std::string& prefs) {
    ASSERT_TRUE(base::CreateDirectory(folder));
    ASSERT_TRUE(InstallLogWriter().WriteToFile(
        log, folder.AppendASCII("installation_status.xml")));
    if (!prefs.empty()) {
      ASSERT_EQ(static_cast<int>(prefs.size()),
                base::WriteFile(folder.AppendASCII("installer_prefs.json"),
                                prefs.data(), static_cast<int>(prefs.size())));
    }
  }

  static InstallLog LogOf(const FilePath& folder, bool all_users) {
    InstallLog log;
    log.all_users = all_users;
    log.install_path = folder;
    log.version = "45.0.2531.0";
    log.subfolder = FilePath(L"45.0.2531.0");
    log.files = {FilePath(L"launcher.exe")};
    return log;
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
    EXPECT_EQ(expected.GetInstallMode(), actual.GetInstallMode());
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
  std::vector<std::unique_ptr<test::ScopedRegistryValue>> registry_;
  std::unique_ptr<test::ScopedProcessCommandLine> command_line_;
};

TEST(SettingsSwitchTest, BoolSwitchValues) {
  for (const wchar_t* value : {L"yes", L"YES", L"True", L"1", L"2", L"-1"})
    EXPECT_TRUE(ParseBoolSwitchValue(value)) << value;
  for (const wchar_t* value : {L"", L"0", L"no", L"false", L"1abc", L" 1"})
    EXPECT_FALSE(ParseBoolSwitchValue(value)) << value;
  EXPECT_STREQ("COPY_ONLY", GetSettingsOptionName(COPY_ONLY));
  EXPECT_STREQ("REPLACE_TAVREL_INSTALLATION",
               GetSettingsOptionName(REPLACE_TAVREL_INSTALLATION));
  EXPECT_STREQ("", GetSettingsOptionName(kSettingsOptionCount));
  EXPECT_STREQ("", GetSettingsOptionName(-1));
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
        ENABLE_INSTALLER_STATS, DESKTOP_SHORTCUT, START_MENU_SHORTCUT,
        QUICK_LAUNCH_SHORTCUT, PINNED_SHORTCUT},
       {COPY_ONLY, SINGLE_PROFILE, DEFAULT_BROWSER, INSTALL_ASSISTANT,
        UNINSTALL_FLAG, SILENT, AUTOUPDATE, DELETE_PROFILE,
        REPLACE_TAVREL_INSTALLATION}},
      {L"--enable-stats=0", {}, {ENABLE_KELVO_STATS, ENABLE_INSTALLER_STATS}},
      {L"--enable-stats=0 --enable-installer-stats=1",
       {ENABLE_INSTALLER_STATS},
       {ENABLE_KELVO_STATS}},
      {L"--copyonly=1 --allusers=1 --desktopshortcut=1 --install-assistant",
       {COPY_ONLY, SINGLE_PROFILE},
       {ALL_USERS_FLAG, DEFAULT_BROWSER, DESKTOP_SHORTCUT, START_MENU_SHORTCUT,
        QUICK_LAUNCH_SHORTCUT, PINNED_SHORTCUT, INSTALL_ASSISTANT}},
      {L"--copyonly=1 --singleprofile=0", {COPY_ONLY}, {SINGLE_PROFILE}},
      {L"--launchbrowser=0", {}, {LAUNCH_KELVO}},
      {L"--launchbrowser=0 --launchkelvo=1", {LAUNCH_KELVO}, {}},
      {L"--allusers=no --setdefaultbrowser=yes --pintotaskbar=0 "
       L"--quicklaunchshortcut=false --install-assistant",
       {DEFAULT_BROWSER, INSTALL_ASSISTANT},
       {ALL_USERS_FLAG, PINNED_SHORTCUT, QUICK_LAUNCH_SHORTCUT}},
      {L"--allusers=TRUE --import-browser-data=0 --singleprofile=1",
       {ALL_USERS_FLAG, SINGLE_PROFILE},
       {IMPORT_BROWSER_DATA}},
      {L"--allusers=2", {ALL_USERS_FLAG}, {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.arguments);
    SetCommandLine(test.arguments);
    std::unique_ptr<Settings> settings = Make(folder);
    EXPECT_EQ(OPERATION_INSTALLING, settings->operation());
    EXPECT_EQ(folder, settings->GetStatus().folder());
    for (int id : test.on)
      EXPECT_TRUE(settings->GetOption(id)) << GetSettingsOptionName(id);
    for (int id : test.off)
      EXPECT_FALSE(settings->GetOption(id)) << GetSettingsOptionName(id);
  }

  SetCommandLine(L"--profile-folder=D:\\Profiles --language=de");
  std::unique_ptr<Settings> settings = Make(folder);
  EXPECT_EQ(L"D:\\Profiles", settings->profile_folder().value());
  EXPECT_EQ(L"de", settings->language());
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
      {"own switches",
       L"--profile-folder=D:\\P --initial-pid=7 --v=1",
       {},
       nullptr},
      {"run flags", L"", {false, true, true, true, 0}, nullptr},
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
         EXPECT_TRUE(s->SetImportBrowserData(false));
         EXPECT_TRUE(s->SetEnableStats(false));
         EXPECT_TRUE(s->SetLanguage(L"nb"));
       }},
      {"installer stats",
       L"",
       {},
       [](Settings* s, const FilePath&) {
         EXPECT_TRUE(s->SetEnableInstallerStats(false));
       }},
      {"shortcuts off",
       L"",
       {},
       [](Settings* s, const FilePath&) {
         for (int id : {DESKTOP_SHORTCUT, START_MENU_SHORTCUT,
                        QUICK_LAUNCH_SHORTCUT, PINNED_SHORTCUT, LAUNCH_KELVO})
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
    std::unique_ptr<Settings> backend = MakeBackend(*front);
    ExpectSameSettings(*front, *backend);
  }
}

TEST_F(SettingsTest, RoundTripOfAnUpgrade) {
  const FilePath folder = root_.Append(L"Installed");
  InstallLog log = LogOf(folder, /*all_users=*/false);
  Install(folder, log,
          "{\"single_profile\": true, \"import_browser_data\": false,"
          " \"enable_stats\": false, \"language\": \"de\"}");
  SetCommandLine(L"--installfolder=\"" + folder.value() + L"\"");
  std::unique_ptr<Settings> front = Make(folder, {false, false, true});
  ASSERT_EQ(OPERATION_UPGRADING, front->operation());
  // What the installation recorded wins over the defaults.
  EXPECT_FALSE(front->GetOption(ALL_USERS_FLAG));
  EXPECT_TRUE(front->GetOption(SINGLE_PROFILE));
  EXPECT_FALSE(front->GetOption(IMPORT_BROWSER_DATA));
  EXPECT_FALSE(front->GetOption(ENABLE_KELVO_STATS));
  EXPECT_FALSE(front->GetOption(ENABLE_INSTALLER_STATS));
  EXPECT_EQ(L"de", front->language());
  // An upgrade keeps the kind of installation.
  EXPECT_FALSE(front->SetAllUsers(true));
  EXPECT_FALSE(front->SetCopyOnly(true));
  std::unique_ptr<Settings> backend = MakeBackend(*front);
  ExpectSameSettings(*front, *backend);
}

TEST_F(SettingsTest, UninstallCommandLine) {
  const FilePath folder = root_.Append(L"Installed");
  Install(folder, LogOf(folder, false), "");
  SetCommandLine(
      L"--uninstall --deleteuserprofile=1 --temp-folder=C:\\T --components=x "
      L"--v=2 --import-session=s --language=de");
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
      L"--backend --temp-folder=C:\\T --components=x --v=2 --uninstall "
      L"--deleteuserprofile=1",
      front->ToCommandLine(false).GetArgumentsString());
  std::unique_ptr<Settings> backend = MakeBackend(*front);
  for (int id : {UNINSTALL_FLAG, DELETE_PROFILE, SILENT, AUTOUPDATE})
    EXPECT_EQ(front->GetOption(id), backend->GetOption(id));
  EXPECT_TRUE(front->SetDeleteProfile(false));
  EXPECT_EQ(
      L"--backend --temp-folder=C:\\T --components=x --v=2 --uninstall "
      L"--deleteuserprofile=0",
      front->ToCommandLine(true).GetArgumentsString());
}

TEST_F(SettingsTest, SuppressedLaunchAndCopiedSwitches) {
  SetCommandLine(
      L"--import-bookmarks=b --import-topsites-to-speeddial=t "
      L"--server-tracking-data=C:\\t.dat");
  std::unique_ptr<Settings> settings = Make(MakeFolder(L"Kelvo"));
  base::CommandLine line = settings->ToCommandLine(true);
  EXPECT_EQ("0", line.GetSwitchValueASCII("launchkelvo"));
  EXPECT_EQ("1",
            settings->ToCommandLine(false).GetSwitchValueASCII("launchkelvo"));
  EXPECT_EQ("b", line.GetSwitchValueASCII("import-bookmarks"));
  EXPECT_EQ("t", line.GetSwitchValueASCII("import-topsites-to-speeddial"));
  EXPECT_FALSE(line.HasSwitch("import-session"));
  EXPECT_EQ(L"C:\\t.dat",
            line.GetSwitchValuePath("server-tracking-data").value());

  base::CommandLine browser(FilePath(L"launcher.exe"));
  Settings::CopyImportSwitches(&browser);
  EXPECT_EQ(L"--import-bookmarks=b --import-topsites-to-speeddial=t",
            browser.GetArgumentsString());
}

TEST_F(SettingsTest, ObserversAndTheEditableGate) {
  std::unique_ptr<Settings> settings = Make(MakeFolder(L"Kelvo"));
  RecordingObserver observer;
  settings->AddObserver(&observer);
  EXPECT_TRUE(settings->SetDefaultBrowser(true));
  EXPECT_TRUE(settings->SetEnableStats(false));
  EXPECT_EQ(2, observer.options);
  EXPECT_TRUE(settings->SetCopyOnly(true));
  EXPECT_EQ(3, observer.options);
  EXPECT_FALSE(settings->GetOption(DEFAULT_BROWSER));
  // Guards refuse silently.
  EXPECT_FALSE(settings->SetDefaultBrowser(true));
  EXPECT_FALSE(settings->SetAllUsers(true));
  EXPECT_FALSE(settings->SetDeleteProfile(true));
  EXPECT_FALSE(settings->SetOption(kSettingsOptionCount, true));
  EXPECT_EQ(3, observer.options);

  EXPECT_TRUE(settings->SetLanguage(L"de"));
  EXPECT_FALSE(settings->SetLanguage(L"de"));
  EXPECT_EQ(1, observer.languages);
  // A language that is not offered settles on one that is.
  EXPECT_TRUE(settings->SetLanguage(L"xx"));
  EXPECT_EQ(L"en", settings->language());

  settings->SetEditable(false);
  test::ScopedLogCapture log;
  EXPECT_FALSE(settings->SetOption(DESKTOP_SHORTCUT, true));
  EXPECT_FALSE(settings->SetCopyOnly(false));
  EXPECT_FALSE(settings->SetLanguage(L"nb"));
  EXPECT_FALSE(settings->SetMode(INSTALL_MODE_CURRENT_USER));
  EXPECT_FALSE(settings->SelectInstallFolder(MakeFolder(L"Other")));
  settings->FromCommandLine();
  EXPECT_FALSE(settings->IsStatusPending());
  EXPECT_TRUE(settings->GetOption(COPY_ONLY));
  EXPECT_EQ(3, observer.options);
  EXPECT_EQ(2, observer.languages);
  EXPECT_EQ(0, observer.paths);
  EXPECT_FALSE(log.Contains("set to:"));

  settings->SetEditable(true);
  EXPECT_TRUE(settings->SetOption(DESKTOP_SHORTCUT, true));
  EXPECT_EQ(4, observer.options);
  settings->RemoveObserver(&observer);
}

TEST_F(SettingsTest, NewerFolderSupersedesASlowComputation) {
  const FilePath shown = MakeFolder(L"Shown");
  const FilePath slow = MakeFolder(L"Slow");
  const FilePath fast = MakeFolder(L"Fast");
  std::unique_ptr<Settings> settings = Make(shown);
  StatusGate gate;
  gate.Hold(slow);
  RecordingObserver observer;
  settings->AddObserver(&observer);

  EXPECT_TRUE(settings->SelectInstallFolder(slow));
  EXPECT_TRUE(settings->IsStatusPending());
  // The same folder again starts nothing new.
  EXPECT_TRUE(settings->SelectInstallFolder(slow));
  EXPECT_TRUE(settings->SelectInstallFolder(fast));
  WaitForStatus(settings.get());
  EXPECT_EQ(fast, settings->GetStatus().folder());
  EXPECT_EQ(1, observer.paths);

  // The slow result arrives late and is dropped.
  gate.Release();
  ASSERT_TRUE(base::WorkerPool::WaitForIdle(kMaxWait));
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(fast, settings->GetStatus().folder());
  EXPECT_EQ(1, observer.paths);
  // Both ran; only the newer one counted.
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

  // Choosing the shown folder computes nothing.
  EXPECT_TRUE(settings->SelectInstallFolder(shown));
  EXPECT_FALSE(settings->IsStatusPending());
  EXPECT_EQ(0, observer.paths);

  EXPECT_TRUE(settings->SelectInstallFolder(slow));
  EXPECT_TRUE(settings->IsStatusPending());
  EXPECT_TRUE(settings->SelectInstallFolder(shown));
  // Whoever waited for a status may go on with the one shown.
  EXPECT_FALSE(settings->IsStatusPending());
  EXPECT_EQ(1, observer.paths);
  gate.Release();
  ASSERT_TRUE(base::WorkerPool::WaitForIdle(kMaxWait));
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(shown, settings->GetStatus().folder());
  EXPECT_EQ(OPERATION_INSTALLING, settings->operation());
  EXPECT_EQ(1, observer.paths);
  settings->RemoveObserver(&observer);

  // Settings that go while a computation runs receive nothing later.
  gate.Hold(root_.Append(L"Late"));
  EXPECT_TRUE(settings->SelectInstallFolder(root_.Append(L"Late")));
  settings.reset();
}

TEST_F(SettingsTest, ExistingInstallationBringsItsOptions) {
  const FilePath folder = root_.Append(L"Installed");
  InstallLog log = LogOf(folder, /*all_users=*/true);
  log.copy_only = true;
  Install(folder, log, "{\"enable_stats\": true}");
  SetCommandLine(L"--enable-installer-stats=0");
  std::unique_ptr<Settings> settings = Make(folder);
  EXPECT_EQ(OPERATION_UPGRADING, settings->operation());
  // A copy-only log stays copy-only, and so the upgrade.
  EXPECT_TRUE(settings->GetOption(COPY_ONLY));
  EXPECT_FALSE(settings->GetOption(ALL_USERS_FLAG));
  EXPECT_FALSE(settings->GetOption(PINNED_SHORTCUT));
  EXPECT_FALSE(settings->SetCopyOnly(false));
  EXPECT_EQ(INSTALL_MODE_STANDALONE, settings->GetInstallMode());
  EXPECT_TRUE(settings->GetOption(ENABLE_KELVO_STATS));
  EXPECT_FALSE(settings->GetOption(ENABLE_INSTALLER_STATS));
  // No single-profile pref: false, whatever COPY_ONLY says.
  EXPECT_FALSE(settings->GetOption(SINGLE_PROFILE));

  // Registering the protocol handler of an installation.
  SetCommandLine(L"--register-kelvo-as-protocol-handler");
  EXPECT_EQ(OPERATION_REGISTERING_PROTOCOL_HANDLER, Make(folder)->operation());
  SetCommandLine(L"");
  Flags uninstall;
  uninstall.uninstall = true;
  std::unique_ptr<Settings> uninstalling = Make(FilePath(), uninstall);
  uninstalling->SelectInstallFolder(folder);
  WaitForStatus(uninstalling.get());
  EXPECT_EQ(OPERATION_UNINSTALLING, uninstalling->operation());
  // Uninstalling needs an installation.
  uninstalling->SelectInstallFolder(MakeFolder(L"Empty"));
  WaitForStatus(uninstalling.get());
  EXPECT_EQ(OPERATION_NONE, uninstalling->operation());
}

TEST_F(SettingsTest, PinOfAnAutomaticallyUpdatedInstallation) {
  const FilePath folder = root_.Append(L"Installed");
  InstallLog log = LogOf(folder, false);
  log.last_band_check = base::Time::Now() - base::TimeDelta::FromDays(100);
  Install(folder, log, "");
  Flags autoupdate;
  autoupdate.autoupdate = true;
  // The user removed the pin lately: it stays away.
  EXPECT_FALSE(Make(folder, autoupdate)->GetOption(PINNED_SHORTCUT));
  EXPECT_TRUE(Make(folder)->GetOption(PINNED_SHORTCUT));
  log.last_band_check = base::Time::Now() - base::TimeDelta::FromDays(183);
  Install(folder, log, "");
  EXPECT_TRUE(Make(folder, autoupdate)->GetOption(PINNED_SHORTCUT));
}

TEST_F(SettingsTest, DefaultFolders) {
  std::unique_ptr<Settings> settings =
      Make(FilePath(), {false, false, false, false, 0});
  const FilePath all_users_x64 =
      root_.Append(L"Program Files\\Kelvo developer");
  const FilePath all_users_x86 =
      root_.Append(L"Program Files (x86)\\Kelvo developer");
  EXPECT_EQ(all_users_x86, settings->GetStatus().folder());
  EXPECT_EQ(all_users_x64, settings->GetDefaultInstallFolderFor(
                               INSTALL_FOLDER_ALL_SOURCES, 1, true, false));
  // The current user's folder is absolute even where Windows lacks the
  // known folder for it.
  const FilePath current_user = settings->GetDefaultInstallFolderFor(
      INSTALL_FOLDER_STANDARD, 1, false, false);
  EXPECT_TRUE(current_user.IsAbsolute()) << current_user;
  EXPECT_EQ(L"Kelvo developer", current_user.BaseName().value());
  // No standalone drive, no standalone default.
  EXPECT_TRUE(settings
                  ->GetDefaultInstallFolderFor(INSTALL_FOLDER_ALL_SOURCES, 1,
                                               false, true)
                  .empty());
  EXPECT_TRUE(
      settings->GetDefaultInstallFolder(INSTALL_FOLDER_REGISTRY).empty());

  // A recorded folder comes before the standard one, the command line's
  // before both; standalone installs ignore the registry.
  const FilePath recorded = MakeFolder(L"Recorded");
  base::win::RegKey(HKEY_CURRENT_USER, kProductKey,
                    KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
      .WriteValue(L"Last developer Install Path", recorded.value().c_str());
  drives_.AddDrive(L'E', DRIVE_REMOVABLE, true);
  const FilePath given = MakeFolder(L"Given");
  settings = Make(given, {false, false, false, false, 0});
  EXPECT_EQ(given, settings->GetStatus().folder());
  EXPECT_EQ(recorded, settings->install_folder_from_registry());
  EXPECT_EQ(recorded, settings->GetDefaultInstallFolder(
                          INSTALL_FOLDER_REGISTRY | INSTALL_FOLDER_STANDARD));
  EXPECT_EQ(L"E:\\Kelvo developer",
            settings
                ->GetDefaultInstallFolderFor(
                    INSTALL_FOLDER_ALL_SOURCES & ~INSTALL_FOLDER_COMMAND_LINE,
                    0, false, true)
                .value());
  EXPECT_EQ(std::vector<FilePath>{recorded},
            settings->GetInstallFolderCandidates());
  EXPECT_TRUE(settings->SetCopyOnly(true));
  EXPECT_EQ(std::vector<FilePath>{FilePath(L"E:\\Kelvo developer")},
            settings->GetInstallFolderCandidates());
}

TEST_F(SettingsTest, SetModeMovesADefaultFolder) {
  std::unique_ptr<Settings> settings = Make();
  const FilePath all_users = root_.Append(L"Program Files\\Kelvo developer");
  ASSERT_EQ(all_users, settings->GetStatus().folder());
  ASSERT_EQ(INSTALL_MODE_ALL_USERS, settings->GetInstallMode());

  EXPECT_TRUE(settings->SetMode(INSTALL_MODE_CURRENT_USER));
  WaitForStatus(settings.get());
  EXPECT_EQ(INSTALL_MODE_CURRENT_USER, settings->GetInstallMode());
  EXPECT_EQ(settings->GetDefaultInstallFolder(INSTALL_FOLDER_STANDARD),
            settings->GetStatus().folder());

  // A folder the user chose stays.
  const FilePath chosen = MakeFolder(L"Chosen");
  settings->SelectInstallFolder(chosen);
  WaitForStatus(settings.get());
  EXPECT_TRUE(settings->SetMode(INSTALL_MODE_ALL_USERS));
  EXPECT_FALSE(settings->IsStatusPending());
  EXPECT_EQ(chosen, settings->GetStatus().folder());
  EXPECT_TRUE(settings->SetMode(INSTALL_MODE_STANDALONE));
  EXPECT_TRUE(settings->GetOption(COPY_ONLY));
  EXPECT_TRUE(settings->GetOption(SINGLE_PROFILE));
  EXPECT_FALSE(settings->GetOption(ALL_USERS_FLAG));
  EXPECT_EQ(chosen, settings->GetStatus().folder());
}

TEST_F(SettingsTest, X64InstallOverAnX86Installation) {
  const FilePath x86_folder =
      root_.Append(L"Program Files (x86)\\Kelvo developer");
  ASSERT_TRUE(base::CreateDirectory(x86_folder));
  base::win::RegKey(HKEY_CURRENT_USER, kProductKey,
                    KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
      .WriteValue(L"Last developer Install Path", x86_folder.value().c_str());
  // Nothing installed there: the 64-bit folder.
  std::unique_ptr<Settings> settings = Make();
  EXPECT_EQ(root_.Append(L"Program Files\\Kelvo developer"),
            settings->GetStatus().folder());
  EXPECT_EQ(OPERATION_INSTALLING, settings->operation());
  // An installation there is upgraded in place, its status taken at once.
  Install(x86_folder, LogOf(x86_folder, true), "");
  settings =
      std::make_unique<Settings>(false, false, false, FilePath(), false, 1);
  EXPECT_FALSE(settings->IsStatusPending());
  EXPECT_EQ(x86_folder, settings->GetStatus().folder());
  EXPECT_EQ(OPERATION_UPGRADING, settings->operation());
}

TEST_F(SettingsTest, WriteStats) {
  const FilePath folder = MakeFolder(L"Kelvo");
  ASSERT_EQ(5, base::WriteFile(folder.AppendASCII("installation_status.xml"),
                               "<bad>", 5));
  Flags flags;
  flags.autoupdate = true;
  std::unique_ptr<Settings> settings = Make(folder, flags);
  InstallerStats stats;
  settings->WriteStats("start.", stats.root());
  std::unique_ptr<base::Value> json = base::JSONReader::Read(stats.GetJson());
  const base::DictionaryValue* root = nullptr;
  ASSERT_TRUE(json && json->GetAsDictionary(&root));
  std::string text;
  int number = -1;
  EXPECT_TRUE(root->GetString("start.installation_mode", &text));
  EXPECT_EQ("all_users", text);
  EXPECT_TRUE(root->GetString("start.installation_operation", &text));
  EXPECT_EQ("installing", text);
  EXPECT_TRUE(root->GetInteger("autoupdate", &number));
  EXPECT_EQ(1, number);
  EXPECT_TRUE(root->GetInteger("start.make_default", &number));
  EXPECT_EQ(0, number);
  EXPECT_TRUE(
      root->GetInteger("start.using_default_installation_folder", &number));
  EXPECT_EQ(0, number);
  // The Wine user is an elevated administrator.
  EXPECT_TRUE(
      root->GetInteger("start.using_privileged_installation_folder", &number));
  EXPECT_EQ(0, number);
  EXPECT_TRUE(root->GetString("build_arch", &text));
  EXPECT_EQ("X64", text);
  EXPECT_TRUE(root->GetString("xml_status_parse_error", &text));
  EXPECT_FALSE(text.empty());

  // A readable folder removes the error of an earlier one.
  ASSERT_TRUE(
      base::DeleteFile(folder.AppendASCII("installation_status.xml"), false));
  settings = Make(folder, {false, false, false, false, 0});
  settings->WriteStats("end.", stats.root());
  json = base::JSONReader::Read(stats.GetJson());
  ASSERT_TRUE(json && json->GetAsDictionary(&root));
  EXPECT_FALSE(root->GetString("xml_status_parse_error", &text));
  EXPECT_TRUE(root->GetString("build_arch", &text));
  EXPECT_EQ("X86", text);
}

TEST_F(SettingsTest, ProfileDeletionOfferedForOneInstallation) {
  const int registered = CountUninstallEntriesOfChannel(GetChannel(), 2);
  Flags flags;
  flags.uninstall = true;
  EXPECT_EQ(registered < 2, Make(FilePath(), flags)->offer_profile_deletion());
  std::vector<std::unique_ptr<test::ScopedRegistryValue>> entries;
  for (auto [root, view] :
       {std::pair<HKEY, REGSAM>{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
        std::pair<HKEY, REGSAM>{HKEY_CURRENT_USER, 0}}) {
    const std::wstring key =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo "
        L"Settings Test";
    entries.push_back(std::make_unique<test::ScopedRegistryValue>(
        root, key, L"DisplayName", view));
    base::win::RegKey entry;
    ASSERT_EQ(ERROR_SUCCESS,
              entry.Create(root, key.c_str(), KEY_SET_VALUE | view));
    entry.WriteValue(L"Publisher", L"Kelvo Software");
    entry.WriteValue(L"DisplayName", L"Kelvo Developer 45.0.2531.0");
  }
  EXPECT_FALSE(Make(FilePath(), flags)->offer_profile_deletion());
  // The backend leaves the question to the front end.
  SetCommandLine(L"--backend");
  EXPECT_TRUE(Make(FilePath(), flags)->offer_profile_deletion());
}

}  // namespace
}  // namespace installer
