// The backend role in this process: the front end it must be told about,
// the protocol-handler run that needs none, and a front end that ends while
// the installation is under way.

#include "desktop/windows/installer/roles/installer_runner_backend.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

class InstallerRunnerBackendTest : public test::StepsTest {
 protected:
  // A stand-in front end that ends after |wait_ms|.
  base::Process StartFrontEnd(int wait_ms) {
    return base::LaunchProcess(
        base::CommandLine(test::MakeStandIn(root().Append(L"front"),
                                            L"front.exe", 0, wait_ms)),
        base::LaunchOptions());
  }
};

TEST_F(InstallerRunnerBackendTest, RefusesToRunWithoutItsFrontEnd) {
  const struct {
    std::wstring switches;
    const char* log;
  } kCases[] = {
      {L"", "Missing information about initial process"},
      {L"--initial-proc-handle=ABC", "Failed parsing initial process handle"},
      {L"--initial-proc-handle=GG00000000000000",
       "Failed parsing initial process handle"},
      // A value that is no handle of this process.
      {L"--initial-proc-handle=FCFF000000000000",
       "Failed parsing initial process handle"},
      {L"--initial-proc-handle=FFFFFFFFFFFFFFFF",
       "Failed parsing initial process handle"},
      {L"--initial-pid=front", "Failed parsing initial pid"},
      // No process has this id.
      {L"--initial-pid=4294967292", "Failed opening initial process"},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.switches);
    SetCommandLine(test.switches);
    std::unique_ptr<Settings> settings = MakeSettings();
    base::ScopedLogCapture log;
    InstallerRunnerBackend backend;
    EXPECT_FALSE(backend.Run(settings.get()));
    EXPECT_TRUE(log.ContainsError(test.log));
    EXPECT_FALSE(base::PathExists(install_folder()));
  }
}

// Registering the protocol handler of an installation needs no front end.
TEST_F(InstallerRunnerBackendTest, ProtocolHandlerRunWatchesNothing) {
  MakeInstallation(MakeLog());
  SetCommandLine(L"--register-kelvo-as-protocol-handler=kelvotest");
  std::unique_ptr<Settings> settings = MakeSettings();
  ASSERT_EQ(OPERATION_REGISTERING_PROTOCOL_HANDLER, settings->operation());
  base::ScopedLogCapture log;
  InstallerRunnerBackend backend;
  EXPECT_TRUE(backend.Run(settings.get()));
  EXPECT_FALSE(log.Contains("Failed watching initial process"));
  EXPECT_TRUE(
      base::PathExists(install_folder().AppendASCII("installer_prefs.json")));
}

// The front end, given by its handle or its id, ends while the backend waits
// for the package: the run ends unsuccessful and leaves nothing behind.
TEST_F(InstallerRunnerBackendTest, FrontEndEndingEndsTheRun) {
  for (bool by_handle : {true, false}) {
    SCOPED_TRACE(by_handle);
    base::Process front_end = StartFrontEnd(300);
    ASSERT_TRUE(front_end.IsValid());
    std::wstring front_end_switch;
    if (by_handle) {
      // The backend takes this handle as the one it inherited.
      HANDLE watched = nullptr;
      ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), front_end.Handle(),
                                    ::GetCurrentProcess(), &watched,
                                    SYNCHRONIZE, FALSE, 0));
      front_end_switch =
          L"--initial-proc-handle=" +
          base::ASCIIToWide(InstallerRunner::EncodeHandleValue(watched));
    } else {
      front_end_switch =
          L"--initial-pid=" + base::NumberToString16(front_end.Pid());
    }
    SetCommandLine(front_end_switch + L" \"--wait-for-package=" +
                   root().Append(L"never").value() + L"\"");
    base::win::ScopedHandle ready = CreateFrontEndEvent(
        InstallerObjectNames::ForFolder(install_folder()).package_ready_event);
    std::unique_ptr<Settings> settings = MakeSettings();
    {
      InstallerRunnerBackend backend;
      EXPECT_FALSE(backend.Run(settings.get()));
    }
    EXPECT_TRUE(front_end.WaitForExitWithTimeout(
        base::TimeDelta::FromSeconds(30), nullptr));
    EXPECT_FALSE(base::PathExists(install_folder()));
  }
}

}  // namespace
}  // namespace installer
