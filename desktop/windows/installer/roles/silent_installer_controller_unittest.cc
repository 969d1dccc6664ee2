#include "desktop/windows/installer/roles/silent_installer_controller.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/base64.h"
#include "base/base_paths.h"
#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/atomic_flag.h"
#include "base/test/scoped_log_capture.h"
#include "base/test/scoped_path_override.h"
#include "base/threading/thread.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/test/engine_test.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/net_install_test_util.h"
#include "desktop/windows/installer/test/runner_event_recorder.h"
#include "desktop/windows/installer/test/sample_package.h"
#include "desktop/windows/installer/test/scoped_feature_state.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace installer {
namespace {

using base::FilePath;
using test::WriteTextFile;

constexpr base::TimeDelta kRunLimit = base::TimeDelta::FromSeconds(60);

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The silent front end in this process, against backend processes.
using SilentControllerTest = test::EngineTest;

TEST_F(SilentControllerTest, SilentRunTakesTheLaunchedBackendsOwnOutcome) {
  // A scripted backend in the package folder (the executable's folder).
  const FilePath backend = package_dir().Append(L"installer.exe");
  ASSERT_TRUE(
      base::CopyFile(bin_dir().Append(L"ipc_test_sender.exe"), backend));
  // The statistics of each run go to the test server.
  test_server::HttpTestServer server;
  ASSERT_TRUE(server.Connect());
  const std::string server_prefix = server.NewPathPrefix();
  const std::string feedback = server_prefix + "/netinstaller/feedback";
  ASSERT_TRUE(server.Script(feedback, R"([{"status": 200}])"));
  auto branding = test::OverrideUpdateServer(
      server.GetURL("127.0.0.1", server_prefix + "/"));
  test::ScopedFeatureState no_overrides(kInstallerPrefDefaultOverridesSupport,
                                        false);
  const struct {
    const char* script;
    bool succeeded;
    const char* log;
    const char* failure_reason;
  } kCases[] = {
      {"connect\nstep\nsuccess\nclose\nexit 0\n", true, "Sending stats",
       nullptr},
      // A nested installer's success does not outweigh the launched
      // backend's failure.
      {"connect\nsuccess\nclose\nexit 1\n", false,
       "The installer backend failed after a success message", nullptr},
      {"connect\nerror 37055 - 6E6F\nclose\nexit 1\n", false, "Sending stats",
       "no"},
      {"crash\n", false, "exited with code -1073741819", nullptr},
      // Any program can write an error message: the backend's exit code
      // decides, and a failure reason of a success is none.
      {"connect\nerror 37055 - 6E6F\nsleep 300\nstep\nsuccess\nclose\n"
       "exit 0\n",
       true, "Dropping the failure reason", nullptr},
      {"connect\nerror 37055 - 6E6F\nclose\nexit 0\n", true,
       "Ignoring an error message", nullptr},
      // Nor does a missing success message: a backend killed in the middle
      // of its work is told by the journal it leaves.
      {"connect\ntotal 5\nstep\nclose\nexit 0\n", true,
       "exited with 0 without a success message", nullptr},
  };
  size_t uploads = 0;
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.script);
    WriteTextFile(FilePath(backend.value() + L".script"), test_case.script);
    base::ScopedLogCapture log;
    std::unique_ptr<Settings> settings = MakeSettings(false, true);
    SilentInstallerController controller;
    EXPECT_EQ(test_case.succeeded,
              controller.Run(settings.get(), nullptr, root()));
    EXPECT_TRUE(log.Contains(test_case.log));

    std::vector<test_server::RecordedRequest> sent =
        server.GetRequests(feedback);
    ASSERT_EQ(++uploads, sent.size());
    std::unique_ptr<base::DictionaryValue> stats =
        base::DictionaryValue::From(base::JSONReader::Read(sent.back().body));
    ASSERT_TRUE(stats);
    int success = -1;
    EXPECT_TRUE(stats->GetInteger("installation_success", &success));
    EXPECT_EQ(test_case.succeeded ? 1 : 0, success);
    std::string failure_reason;
    stats->GetString("failure_reason", &failure_reason);
    EXPECT_EQ(test_case.failure_reason ? test_case.failure_reason : "",
              failure_reason);
  }
}

// A user who may not write the remembered folder, and cannot be asked for
// elevation, installs into the default folder of the current options; an
// administrator, or an autoupdate, stays where the installation is.
TEST_F(SilentControllerTest, FolderThatNeedsElevationGivesWayToTheDefault) {
  const FilePath backend =
      test::MakeScriptedBackend(package_dir(), L"installer.exe", 0);
  const FilePath locked = root().Append(L"Locked");
  ASSERT_TRUE(base::CreateDirectory(locked));
  security()->SetObject(locked.value(), L"O:BAG:BAD:");
  ASSERT_EQ(
      ERROR_SUCCESS,
      base::win::RegKey(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(),
                        KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
          .WriteValue(L"Last developer Install Path", locked.value().c_str()));
  const struct {
    bool admin;
    bool autoupdate;
    bool redirected;
  } kCases[] = {
      {false, false, true}, {true, false, false}, {false, true, false}};
  for (const auto& test : kCases) {
    SCOPED_TRACE(testing::Message() << test.admin << test.autoupdate);
    security()->set_admin(test.admin, test.admin);
    base::DeleteFile(FilePath(backend.value() + L".log"), false);
    // No statistics: they would go to the update server.
    Settings settings(base::CommandLine::FromString(
                          L"installer.exe --silent --enable-installer-stats=0"),
                      false, true, test.autoupdate, FilePath(), false, 1);
    SilentInstallerController controller;
    EXPECT_TRUE(controller.Run(&settings, nullptr, root()));
    const FilePath expected =
        test.redirected
            ? settings.GetDefaultInstallFolder(INSTALL_FOLDER_COMMAND_LINE |
                                               INSTALL_FOLDER_STANDARD)
            : locked;
    ASSERT_NE(locked,
              settings.GetDefaultInstallFolder(INSTALL_FOLDER_COMMAND_LINE |
                                               INSTALL_FOLDER_STANDARD));
    EXPECT_EQ(expected, settings.GetStatus().folder());
    const std::vector<std::string> runs = test::StandInRuns(backend);
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(expected, base::CommandLine::FromString(base::UTF8ToWide(runs[0]))
                            .GetSwitchValuePath("installfolder"));
  }
}

// installer.exe of an unpacked package run as a silent front end, as a user
// would, with its own temporary folder.
class SilentInstallTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(server_.Connect());
    overrides_path_ = server_.NewPathPrefix() + "/prefs";
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    ASSERT_TRUE(dir_.CreateUniqueTempDir());
    package_ = dir_.GetPath().Append(L"package");
    ASSERT_TRUE(base::CreateDirectory(package_));
    folder_ = dir_.GetPath().Append(L"Programs").Append(L"KelvoE2E");
    files_ = test::MakeSamplePackage(package_);
  }

  // What the installation registered goes, as its uninstall would do it.
  void TearDown() override { test::RemoveRegisteredKeys(InstallLogPath()); }

  // |folder| goes unquoted, so that a trailing separator stays one (the
  // test folders hold no blanks). The pref default overrides come from the
  // test server; the statistics stay unsent (their local server has a fixed
  // port).
  test::InstallerRunResult Install(const FilePath& folder) {
    return InstallWith(package_.Append(L"installer.exe"), folder,
                       std::wstring());
  }
  test::InstallerRunResult InstallWith(const FilePath& installer,
                                       const FilePath& folder,
                                       const std::wstring& switches) {
    return test::RunProgram(
        installer,
        L"--silent --allusers=0 --launchkelvo=0 --desktopshortcut=0 "
        L"--startmenushortcut=0 --quicklaunchshortcut=0 --pintotaskbar=0 "
        L"--enable-installer-stats=0 "
        L"--with-feature:installer-pref-default-overrides-support=on "
        L"--local-pref-default-overrides-server=" +
            server_.GetWideURL("127.0.0.1", overrides_path_) +
            L" --installfolder=" + folder.value() + L" " + switches,
        temp_.GetPath(), kRunLimit);
  }
  // What the update server hands out: the installer that needs no
  // installer.dll, carrying |payload|.
  FilePath Standalone(const std::string& payload, const wchar_t* name) {
    const FilePath exe = dir_.GetPath().Append(name);
    EXPECT_TRUE(test::CopyWithPayload(
        test::GetBuildBinDir().Append(L"installer_standalone.exe"), payload,
        exe));
    return exe;
  }
  // Scripts the update server's download-address reply at |prefix|
  // "/address": the package executable |package|, at |prefix|
  // "/package.exe", with its checksum.
  void ScriptAddressReply(const std::string& prefix, const FilePath& package) {
    std::string reply;
    base::Base64Encode(test::DownloadAddressReply(
                           server_.GetURL("127.0.0.1", prefix + "/package.exe"),
                           test::FileChecksum(package), std::string()),
                       &reply);
    ASSERT_TRUE(server_.Script(prefix + "/address",
                               "[{\"body_base64\": \"" + reply + "\"}]"));
  }
  // Runs |net_installer| against the update server whose download-address
  // requests go to |address|.
  test::InstallerRunResult NetInstall(const FilePath& net_installer,
                                      const std::string& address) {
    return InstallWith(net_installer, folder_,
                       L"--internal-package-server=" +
                           server_.GetWideURL("127.0.0.1", address));
  }
  // Every file of files_list is in the installation as in the package.
  void ExpectInstalled() {
    InstallLog log;
    ASSERT_TRUE(InstallLogReader().Read(&log, InstallLogPath()));
    for (const std::string& file : files_) {
      std::string expected, installed;
      ASSERT_TRUE(
          base::ReadFileToString(package_.AppendASCII(file), &expected));
      EXPECT_TRUE(base::ReadFileToString(
          folder_.Append(log.subfolder).AppendASCII(file), &installed));
      EXPECT_EQ(expected, installed) << file;
    }
  }
  std::string Log() { return test::ReadInstallerLogs(temp_.GetPath()); }
  // The run found the folder taken and started no backend.
  void ExpectRefused(const test::InstallerRunResult& run) {
    ASSERT_TRUE(run.finished);
    EXPECT_NE(0, run.exit_code);
    const std::string text = Log();
    EXPECT_TRUE(Contains(text, "Could not acquire installer mutex"));
    EXPECT_FALSE(Contains(text, "launching installer backend"));
  }
  FilePath InstallLogPath() {
    return folder_.Append(L"installation_status.xml");
  }

  base::win::ScopedCOMInitializer com_;
  test_server::HttpTestServer server_;
  std::string overrides_path_;
  base::ScopedTempDir temp_;
  base::ScopedTempDir dir_;
  FilePath package_;
  FilePath folder_;
  std::vector<std::string> files_;
  test::ScopedRegistryValue last_path_{HKEY_CURRENT_USER,
                                       GetProductRegistryKey(),
                                       L"Last developer Install Path"};
};

TEST_F(SilentInstallTest, InstallsThePackage) {
  const std::string overrides = R"({"homepage": "https://kelvo.example/"})";
  ASSERT_TRUE(server_.Script(
      overrides_path_,
      R"([{"body": "{\"homepage\": \"https://kelvo.example/\"}"}])"));
  test::InstallerRunResult run = Install(folder_);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0, run.exit_code);
  ExpectInstalled();
  InstallLog log;
  ASSERT_TRUE(InstallLogReader().Read(&log, InstallLogPath()));
  // The uninstall entry, in the 32-bit view, points at the installation.
  bool uninstall_entry = false;
  for (const InstallLog::RegistryKey& key : log.hkcu_keys) {
    const std::wstring path = base::UTF8ToWide(key.key_path);
    std::wstring location;
    if (path.rfind(GetUninstallRegistryKey(), 0) == 0 &&
        base::win::RegKey(HKEY_CURRENT_USER, path.c_str(),
                          KEY_READ | KEY_WOW64_32KEY)
                .ReadValue(L"InstallLocation", &location) == ERROR_SUCCESS) {
      uninstall_entry = location == folder_.value();
    }
  }
  EXPECT_TRUE(uninstall_entry);
  const std::string text = Log();
  EXPECT_TRUE(Contains(text, "IPC_MESSAGE_SUCCESS received"));
  EXPECT_TRUE(Contains(text, "The installer backend exited with code 0"));
  // The overrides fetched into the package before the backend went on
  // were installed.
  EXPECT_TRUE(Contains(text, "Default prefs overrides fetched successfully"));
  EXPECT_EQ(overrides,
            test::ReadTextFile(folder_.Append(L"pref_default_overrides")));
  EXPECT_EQ(1u, server_.GetRequests(overrides_path_).size());
}

// A net installer: the installer with tracking data, run from a folder of
// its own. It fetches the package from the loopback server, the backend it
// launched meanwhile waits for it and hands over to the package's own
// installer.exe.
TEST_F(SilentInstallTest, NetInstallerFetchesThePackageAndInstallsIt) {
  const std::string tracking_data = "eyJ1dG0iOiB7fX0=";
  const FilePath net_installer =
      Standalone(tracking_data, L"kelvo_net_installer.exe");
  const FilePath package =
      Standalone(test::MakeArchiveOfTree(package_), L"kelvo_package.exe");
  const std::string prefix = server_.NewPathPrefix();
  ASSERT_TRUE(
      server_.Script(prefix + "/package.exe", test::FileBodySteps(package)));
  ASSERT_NO_FATAL_FAILURE(ScriptAddressReply(prefix, package));
  ASSERT_TRUE(server_.Script(overrides_path_, R"([{"body": "{}"}])"));

  test::InstallerRunResult run = NetInstall(net_installer, prefix + "/address");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0, run.exit_code);
  ExpectInstalled();
  std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(prefix);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("POST", requests[0].method);
  EXPECT_EQ(tracking_data, requests[0].body);
  EXPECT_EQ(prefix + "/package.exe", requests[1].target);
  // The overrides were fetched into the fetched package.
  EXPECT_EQ(1u, server_.GetRequests(overrides_path_).size());
  const std::string text = Log();
  EXPECT_TRUE(Contains(text, "Package ready."));
  EXPECT_TRUE(Contains(text, "The installer backend exited with code 0"));
  test::ExpectOnlyLogsIn(temp_.GetPath().Append(L"Kelvo Installer"));
}

// Another program of the user, racing the installer: whenever a package
// folder in the download folder holds installer.dll or the last data file,
// it tries to put its own library, or its own bytes, in their place.
class PackageRacer {
 public:
  PackageRacer(const FilePath& download_folder, const FilePath& planted_dll)
      : download_folder_(download_folder),
        planted_dll_(planted_dll),
        thread_("package racer") {}
  ~PackageRacer() { Stop(); }

  bool Start() {
    if (!thread_.Start())
      return false;
    thread_.task_runner()->PostTask(
        FROM_HERE, base::BindOnce(&PackageRacer::Race, base::Unretained(this)));
    return true;
  }
  void Stop() {
    stop_.Set();
    thread_.Stop();
  }

 private:
  void Race() {
    // Bounded: the run it races ends well within its own limit.
    const base::TimeTicks end = base::TimeTicks::Now() + kRunLimit;
    while (!stop_.IsSet() && base::TimeTicks::Now() < end) {
      WIN32_FIND_DATAW found;
      const FilePath pattern = download_folder_.Append(L"kelvo_installer_*");
      HANDLE search = ::FindFirstFileW(pattern.value().c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        do {
          if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Replace(download_folder_.Append(found.cFileName));
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
      }
      ::Sleep(1);
    }
  }
  void Replace(const FilePath& package) {
    const FilePath library = package.Append(L"installer.dll");
    if (base::PathExists(library)) {
      ::CopyFileW(planted_dll_.value().c_str(), library.value().c_str(), FALSE);
    }
    base::win::ScopedHandle data(::CreateFileW(
        package.Append(L"resources").Append(L"data_19.pak").value().c_str(),
        GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (data.IsValid())
      ::WriteFile(data.Get(), "planted", 7, &written, nullptr);
  }

  const FilePath download_folder_;
  const FilePath planted_dll_;
  base::Thread thread_;
  base::AtomicFlag stop_;
};

// A net install raced by another program that plants its own installer
// library and data into the package the run unpacked: the planted code
// never runs, and the run either installs the package as it was fetched or
// fails; it never reports success with nothing installed.
TEST_F(SilentInstallTest, NetInstallRunsAndCopiesOnlyWhatItUnpacked) {
  const FilePath net_installer =
      Standalone("eyJ1dG0iOiB7fX0=", L"kelvo_net_installer.exe");
  const FilePath package =
      Standalone(test::MakeArchiveOfTree(package_), L"kelvo_package.exe");
  const std::string prefix = server_.NewPathPrefix();
  ASSERT_TRUE(
      server_.Script(prefix + "/package.exe", test::FileBodySteps(package)));
  ASSERT_NO_FATAL_FAILURE(ScriptAddressReply(prefix, package));
  ASSERT_TRUE(server_.Script(overrides_path_, R"([{"body": "{}"}])"));
  const FilePath download = temp_.GetPath().Append(L"Kelvo Installer");
  ASSERT_TRUE(base::CreateDirectory(download));
  PackageRacer racer(download,
                     test::GetBuildBinDir().Append(L"planted_installer.dll"));
  ASSERT_TRUE(racer.Start());

  test::InstallerRunResult run = NetInstall(net_installer, prefix + "/address");
  racer.Stop();

  ASSERT_TRUE(run.finished);
  EXPECT_FALSE(base::PathExists(temp_.GetPath().Append(L"planted_code_ran")));
  if (run.exit_code == 0) {
    ExpectInstalled();
  } else {
    EXPECT_FALSE(base::PathExists(InstallLogPath()));
  }
}

// The update server fails every attempt: after the third the backend,
// which waited for the package, is interrupted and leaves nothing.
TEST_F(SilentInstallTest, NetInstallThatCannotFetchTheAddressFails) {
  const FilePath net_installer =
      Standalone("eyJ1dG0iOiB7fX0=", L"kelvo_net_installer.exe");
  const std::string address = server_.NewPathPrefix() + "/address";
  ASSERT_TRUE(server_.Script(address, R"([{"status": 404}])"));
  test::InstallerRunResult run = NetInstall(net_installer, address);
  ASSERT_TRUE(run.finished);
  EXPECT_NE(0, run.exit_code);
  EXPECT_EQ(3u, server_.GetRequests(address).size());
  EXPECT_TRUE(Contains(Log(), "Package fetcher failed."));
  EXPECT_FALSE(base::PathExists(folder_));
}

// An update server that lies about the package's length fails each of the
// three attempts at once, with the product's own limits: the run ends with
// an error well within its time limit and leaves no download behind.
TEST_F(SilentInstallTest, NetInstallFromALyingServerFailsAndLeavesNothing) {
  const FilePath net_installer =
      Standalone("eyJ1dG0iOiB7fX0=", L"kelvo_net_installer.exe");
  const FilePath package =
      Standalone(test::MakeArchiveOfTree(package_), L"kelvo_package.exe");
  const std::string file_steps = test::FileBodySteps(package);
  const struct {
    const char* name;
    std::string steps;
  } kCases[] = {
      // Its real bytes, then the connection closes.
      {"announces a terabyte", file_steps.substr(0, file_steps.rfind('}')) +
                                   R"(, "content_length": 1000000000000}])"},
      {"endless past its length",
       R"([{"endless": true, "content_length": 300000}])"},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    // This case's log alone.
    ASSERT_TRUE(
        base::DeleteFile(temp_.GetPath().Append(L"Kelvo Installer"), true));
    const std::string prefix = server_.NewPathPrefix();
    ASSERT_TRUE(server_.Script(prefix + "/package.exe", test_case.steps));
    ASSERT_NO_FATAL_FAILURE(ScriptAddressReply(prefix, package));
    const base::TimeTicks start = base::TimeTicks::Now();
    test::InstallerRunResult run =
        NetInstall(net_installer, prefix + "/address");
    ASSERT_TRUE(run.finished);
    EXPECT_NE(0, run.exit_code);
    EXPECT_LT(base::TimeTicks::Now() - start, base::TimeDelta::FromSeconds(45));
    EXPECT_EQ(3u, server_.GetRequests(prefix + "/package.exe").size());
    EXPECT_TRUE(Contains(Log(), "Package fetcher failed."));
    EXPECT_FALSE(base::PathExists(folder_));
    test::ExpectOnlyLogsIn(temp_.GetPath().Append(L"Kelvo Installer"));
  }
}

// Another program writes a well-formed error message into the front end's
// mailslot while the installation runs: the installation completes, and so
// does the run.
TEST_F(SilentInstallTest, ErrorMessageOfAnotherProgramFailsNothing) {
  ASSERT_TRUE(server_.Script(overrides_path_, R"([{"body": "{}"}])"));
  const std::wstring mailslot =
      L"\\\\.\\mailslot\\" +
      InstallerObjectNames::ForFolder(folder_).mailslot_endpoint;
  std::atomic<bool> stop{false};
  std::atomic<bool> written{false};
  std::thread forger([&] {
    const std::unique_ptr<base::Pickle> message =
        MakeErrorMessage(IDS_ERROR_INSTALL, std::wstring(), "forged");
    // Again and again while the installation runs: one lands within it,
    // however late this thread gets to run.
    const base::TimeTicks deadline = base::TimeTicks::Now() + kRunLimit;
    while (!stop && base::TimeTicks::Now() < deadline) {
      base::win::ScopedHandle slot(::CreateFileW(
          mailslot.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!slot.IsValid()) {
        ::Sleep(5);
        continue;
      }
      DWORD size = 0;
      if (::WriteFile(slot.Get(), message->data(),
                      static_cast<DWORD>(message->size()), &size, nullptr) &&
          size == message->size()) {
        written = true;
      }
      ::Sleep(20);
    }
  });
  test::InstallerRunResult run =
      InstallWith(package_.Append(L"installer.exe"), folder_, L"--v=1");
  stop = true;
  forger.join();
  ASSERT_TRUE(written);
  ASSERT_TRUE(run.finished);
  EXPECT_TRUE(Contains(Log(), "IPC_MESSAGE_ERROR(37055,,forged) received"));
  EXPECT_EQ(0, run.exit_code);
  ExpectInstalled();
}

// A full installer carries the package itself and asks no server for it.
TEST_F(SilentInstallTest, FullInstallerInstallsItsOwnPackage) {
  const FilePath full_installer =
      Standalone(test::MakeArchiveOfTree(package_), L"kelvo_full.exe");
  ASSERT_TRUE(server_.Script(overrides_path_, R"([{"body": "{}"}])"));
  test::InstallerRunResult run = InstallWith(
      full_installer, folder_, L"--internal-package-server=no-server:");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0, run.exit_code);
  ExpectInstalled();
  EXPECT_TRUE(Contains(Log(), "Found full package"));
}

// A front end of this version holds the folder before it exists, then an
// installer of another version under the name of the folder's own spelling:
// either way the folder is taken, however the user typed it.
TEST_F(SilentInstallTest, FolderHeldByAnotherFrontEndIsRefused) {
  {
    const InstallerObjectNames names = InstallerObjectNames::ForFolder(folder_);
    base::win::ScopedHandle mutex(
        ::CreateMutexW(nullptr, TRUE, names.mutex.c_str()));
    ASSERT_TRUE(mutex.IsValid());
    base::win::ScopedHandle lock(
        ::CreateMutexW(nullptr, TRUE, names.folder_lock.c_str()));
    ASSERT_TRUE(lock.IsValid());
    test::InstallerRunResult run =
        Install(FilePath(base::ToLowerASCII(folder_.value()) + L"\\"));
    ::ReleaseMutex(mutex.Get());
    ::ReleaseMutex(lock.Get());
    ExpectRefused(run);
    EXPECT_FALSE(base::PathExists(folder_));
  }
  // The second run's log alone.
  ASSERT_TRUE(
      base::DeleteFile(temp_.GetPath().Append(L"Kelvo Installer"), true));
  ASSERT_TRUE(base::CreateDirectory(folder_));
  std::wstring peer_name = L"Global\\Kelvo/Installer/" + folder_.value();
  std::replace(peer_name.begin() + 7, peer_name.end(), L'\\', L'/');
  base::win::ScopedHandle mutex(
      ::CreateMutexW(nullptr, TRUE, peer_name.c_str()));
  ASSERT_TRUE(mutex.IsValid());
  test::InstallerRunResult run =
      Install(FilePath(base::ToUpperASCII(folder_.value())));
  ::ReleaseMutex(mutex.Get());
  ExpectRefused(run);
}

}  // namespace
}  // namespace installer
