#include "desktop/windows/installer/roles/installer_main.h"

#include <windows.h>

#include <optional>

#include "base/base64.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_path_override.h"
#include "desktop/windows/installer/abandoned_run_repair.h"
#include "desktop/windows/installer/process/temp_folder.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/ui/installer_ui_lock.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using test::FindInstallerLogs;
using test::ReadInstallerLogs;
using test::RunProgram;

TEST(InstallerMainTest, RecoverInstallFolderTakesOnlyAnAbsoluteLastArgument) {
  auto recover = [](const wchar_t* command_line) {
    return RecoverInstallFolderFromCommandLine(
               base::CommandLine::FromString(command_line))
        .value();
  };
  EXPECT_EQ(L"C:\\Apps\\Kelvo",
            recover(L"installer.exe --installfolder= --autoupdate "
                    L"C:\\first C:\\Apps\\Kelvo"));
  EXPECT_EQ(L"", recover(L"installer.exe --installfolder= relative\\dir"));
  EXPECT_EQ(L"", recover(L"installer.exe --installfolder= --silent"));
  EXPECT_EQ(L"\\\\server\\share\\x",
            recover(L"installer.exe \"\\\\server\\share\\x\""));
}

// The built installer.exe, run as a child with its own temporary folder.
class InstallerExeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.CreateUniqueTempDir()); }

  test::InstallerRunResult Run(const std::wstring& arguments) {
    return RunCopy(test::GetBuildBinDir().Append(L"installer.exe"), arguments);
  }
  test::InstallerRunResult RunCopy(const base::FilePath& exe,
                                   const std::wstring& arguments) {
    return RunProgram(exe, arguments + L" " + test::kNoUpdateServerSwitches,
                      temp_.GetPath());
  }
  std::string Log() { return ReadInstallerLogs(temp_.GetPath()); }
  // Plays an installer window that already runs, so that an interactive
  // run ends as soon as it has started.
  void HoldUILock() {
    const base::FilePath downloads =
        temp_.GetPath().Append(GetInstallerTempFolderName());
    ASSERT_TRUE(base::CreateDirectory(downloads));
    ui_lock_.emplace();
    ASSERT_EQ(::GetCurrentThreadId(), ui_lock_->Acquire(downloads));
  }

  base::ScopedTempDir temp_;
  std::optional<InstallerUILock> ui_lock_;
};

TEST_F(InstallerExeTest, InfoSwitchesPrintOneTextWithoutLogging) {
  test::InstallerRunResult stream = Run(L"--stream");
  ASSERT_TRUE(stream.finished);
  EXPECT_EQ(0, stream.exit_code);
  EXPECT_EQ("developer", stream.output);
  EXPECT_EQ("2531.0", Run(L"/internal-version").output);

  // The first present info switch in the fixed order wins.
  EXPECT_EQ("45.0.2531.0", Run(L"--stream --version").output);
  EXPECT_FALSE(base::PathExists(temp_.GetPath().Append(L"Kelvo Installer")));
}

TEST_F(InstallerExeTest, PlainRunLogsStartFlagsAndExperiments) {
  test::InstallerRunResult run =
      Run(L"--silent --autoupdate "
          L"--with-feature:installer-experiment-test=on");
  ASSERT_TRUE(run.finished);
  // The backend, launched while the package is fetched, logs on its own.
  ASSERT_FALSE(FindInstallerLogs(temp_.GetPath()).empty());
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Silent:1"));
  EXPECT_NE(std::string::npos, log.find("Autoupdate:1"));
  EXPECT_NE(std::string::npos, log.find("Inside package0"));
  EXPECT_NE(std::string::npos, log.find("Using default message loop"));
  EXPECT_NE(std::string::npos, log.find("Test experiment is enabled"));
}

TEST_F(InstallerExeTest, UninstallReadsTheInstalledExperimentStates) {
  base::ScopedTempDir installation;
  ASSERT_TRUE(installation.CreateUniqueTempDir());
  base::FilePath exe = test::CopyInstallerTo(installation.GetPath());
  ASSERT_FALSE(exe.empty());
  test::WriteTextFile(installation.GetPath().Append(L"kelvo.exe"), "x");
  test::WriteTextFile(
      installation.GetPath().Append(L"installer_prefs.json"),
      R"({"installer-experiments": ["installer-experiment-test@1"]})");
  // The switches do not count for an uninstall, which runs its window.
  HoldUILock();
  RunCopy(exe, L"--uninstall --with-feature:installer-experiment-test=off");
  std::string log = Log();
  EXPECT_NE(std::string::npos,
            log.find("Retrieved experiment states from installation folder"));
  EXPECT_NE(std::string::npos, log.find("Test experiment is enabled"));
}

// An uninstaller copied into a download folder belongs to no installation:
// journals of that folder's parent, which any program of the user could
// have written, are not replayed.
TEST_F(InstallerExeTest, AnUninstallerCopyRepairsNoFolderAroundIt) {
  base::ScopedTempDir root;
  ASSERT_TRUE(root.CreateUniqueTempDir());
  const base::FilePath downloads = root.GetPath().Append(L"Downloads");
  const base::FilePath document = root.GetPath().Append(L"document.txt");
  test::WriteTextFile(document, "mine");
  ASSERT_TRUE(base::CreateDirectory(downloads));
  base::FilePath exe = test::CopyInstallerTo(downloads);
  ASSERT_FALSE(exe.empty());
  const base::FilePath journals = GetTransactionJournalFolder();
  ASSERT_TRUE(base::CreateDirectory(journals));
  const base::FilePath forged =
      journals.Append(journal::FileNamePrefix(root.GetPath()) + L"0.journal");
  test::WriteTextFile(forged,
                      journal::EncodeHeader({0, 0, root.GetPath()}) +
                          journal::EncodeEntry(journal::CopiedFile{document}));

  test::InstallerRunResult run = RunCopy(exe, L"--uninstall --silent");
  EXPECT_TRUE(run.finished);
  EXPECT_EQ("mine", test::ReadTextFile(document));
  EXPECT_TRUE(base::PathExists(forged));
  base::DeleteFile(forged, false);
}

// Copies the installer with |tracking_json| appended as its payload.
base::FilePath CopyWithTrackingData(const base::FilePath& dir,
                                    const std::string& tracking_json) {
  base::FilePath exe = test::CopyInstallerTo(dir);
  std::string encoded;
  base::Base64Encode(tracking_json, &encoded);
  std::string payload = "KVX" + encoded + "\n";
  uint32_t length = static_cast<uint32_t>(payload.size() - 3);
  payload.append(reinterpret_cast<const char*>(&length), sizeof(length));
  if (exe.empty() || !base::AppendToFile(exe, payload.data(),
                                         static_cast<int>(payload.size())))
    return base::FilePath();
  return exe;
}

// The options come from tracking data with both keys, read from the payload
// or, without one, from the switch.
TEST_F(InstallerExeTest, TrackingDataSetsOptionsOnlyWithBothKeys) {
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  base::FilePath exe = CopyWithTrackingData(
      dir.GetPath(), R"({"utm": {"defbr": "true", "fsce": "false"}})");
  ASSERT_FALSE(exe.empty());
  RunCopy(exe, L"--silent");
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("defbr:true"));
  EXPECT_NE(std::string::npos, log.find("DEFAULT_BROWSER set to: 1"));

  ASSERT_TRUE(
      base::DeleteFile(temp_.GetPath().Append(L"Kelvo Installer"), true));
  std::string blob;
  base::Base64Encode(R"({"utm": {"defbr": "true"}})", &blob);
  Run(L"--silent --server-tracking-blob=" + base::ASCIIToWide(blob));
  log = Log();
  EXPECT_NE(std::string::npos,
            log.find("Using tracking data from command line"));
  EXPECT_EQ(std::string::npos, log.find("defbr:"));
}

TEST_F(InstallerExeTest, InteractiveRunUsesTheUiLoop) {
  HoldUILock();
  ASSERT_TRUE(Run(L"").finished);
  EXPECT_NE(std::string::npos, Log().find("Using UI message loop"));
}

TEST_F(InstallerExeTest, EmptyInstallFolderDuringAutoupdateIsRecovered) {
  HoldUILock();
  test::InstallerRunResult run =
      Run(L"--installfolder= --autoupdate --silent C:\\Apps\\Kelvo");
  ASSERT_TRUE(run.finished);
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Recovered install folder from "
                                        "command line: C:\\Apps\\Kelvo"));
  EXPECT_NE(std::string::npos, log.find("Silent:0"));
  EXPECT_NE(std::string::npos, log.find("Run Immediately1"));
}

// "?" is help as well; help starts no log and succeeds, with or without a
// console to show the text on.
TEST_F(InstallerExeTest, HelpAndQuestionMark) {
  for (const wchar_t* help : {L"--help", L"/?", L"-?"}) {
    SCOPED_TRACE(help);
    test::InstallerRunResult run = Run(help);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0, run.exit_code);
    EXPECT_TRUE(FindInstallerLogs(temp_.GetPath()).empty());
  }
}

// What the crash reporter did reaches nobody: the role succeeds even when
// it has nothing it can serve.
TEST_F(InstallerExeTest, CrashReporterRoleSucceeds) {
  test::InstallerRunResult run = Run(L"--crash-reporter-parent-id=none");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0, run.exit_code);
}

TEST_F(InstallerExeTest, UninstallOutsideAnInstallationFails) {
  test::InstallerRunResult run = Run(L"--uninstall");
  ASSERT_TRUE(run.finished);
  EXPECT_NE(0, run.exit_code);
  EXPECT_NE(std::string::npos,
            Log().find("Requested to uninstall, but we are not in a valid "
                       "installation folder"));
}

TEST_F(InstallerExeTest, InsidePackageNeedsTheExactHostName) {
  base::ScopedTempDir package;
  ASSERT_TRUE(package.CreateUniqueTempDir());
  base::FilePath exe = test::CopyInstallerTo(package.GetPath());
  ASSERT_FALSE(exe.empty());
  test::WriteTextFile(package.GetPath().Append(L"kelvo.exe"), "x");
  test::WriteTextFile(package.GetPath().Append(L"files_list"), "x");
  RunCopy(exe, L"--silent");
  EXPECT_NE(std::string::npos, Log().find("Inside package1"));

  // Another case of the host's name is not the package's host.
  base::FilePath renamed = package.GetPath().Append(L"Installer.exe");
  ASSERT_TRUE(base::Move(exe, renamed));
  ASSERT_TRUE(
      base::DeleteFile(temp_.GetPath().Append(L"Kelvo Installer"), true));
  RunCopy(renamed, L"--silent");
  EXPECT_NE(std::string::npos, Log().find("Inside package0"));
}

}  // namespace
}  // namespace installer
