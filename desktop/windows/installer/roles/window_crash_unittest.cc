// A crash inside the installer window's procedures, from end to end: the
// window in a process of its own (window_crash_host.exe) with the crash
// reporter of every installer process, reporting to the loopback crash
// server.

#include <windows.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_environment_variable_override.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace installer {
namespace {

constexpr base::TimeDelta kProcessTimeout = base::TimeDelta::FromSeconds(90);
constexpr char kConsent[] =
    R"({"user_experience_metrics":{"reporting_enabled":true}})";

// One run of the host: the reporter it reports to, whether its handler is
// connected, and how it ended.
struct HostRun {
  DWORD reporter_pid = 0;
  bool handler_installed = false;
  int exit_code = -1;
};

// Reads the host's first line from |output| until it ends.
std::string ReadLine(HANDLE output) {
  std::string line;
  char c = 0;
  DWORD read = 0;
  while (::ReadFile(output, &c, 1, &read, nullptr) && read == 1 && c != '\n')
    line += c;
  return line;
}

// Runs the host with |switches| and waits for it and for its reporter.
HostRun RunHost(const std::wstring& switches) {
  HostRun run;
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  EXPECT_TRUE(::CreatePipe(&read_end, &write_end, &inheritable, 0));
  ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  base::win::ScopedHandle output(read_end);
  base::win::ScopedHandle write(write_end);
  base::LaunchOptions options;
  options.inherit_handles = true;
  options.handles_to_inherit = {write.Get()};
  options.stdout_handle = write.Get();
  base::Process host = base::LaunchProcess(
      L"\"" + test::GetBuildBinDir().Append(L"window_crash_host.exe").value() +
          L"\" " + switches,
      options);
  // Only the host may hold the pipe open: one that ends without a word
  // ends the read.
  write.Close();
  if (!host.IsValid()) {
    ADD_FAILURE() << "The host did not start";
    return run;
  }
  std::istringstream fields(ReadLine(output.Get()));
  int handler = 0;
  fields >> run.reporter_pid >> handler;
  run.handler_installed = handler == 1;
  // The reporter ends once its parent is gone and the report is done.
  base::Process reporter = base::Process::OpenWithAccess(
      run.reporter_pid, SYNCHRONIZE | PROCESS_QUERY_INFORMATION);
  if (!host.WaitForExitWithTimeout(kProcessTimeout, &run.exit_code)) {
    ADD_FAILURE() << "The host did not end";
    host.Terminate(99, true);
  }
  if (reporter.IsValid()) {
    EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, nullptr));
  }
  return run;
}

TEST(WindowCrashTest, CrashInAWindowProcedureIsReportedAndEndsWithOne) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  const base::FilePath crash_dir = temp.GetPath().Append(L"crash");
  const base::FilePath user_data = temp.GetPath().Append(L"User Data");
  ASSERT_TRUE(base::CreateDirectory(user_data));
  ASSERT_TRUE(base::WriteFile(user_data.Append(L"Local State"), kConsent,
                              sizeof(kConsent) - 1));
  test_server::HttpTestServer server;
  ASSERT_TRUE(server.Connect());
  const std::string prefix = "/crash" + server.NewPathPrefix();
  base::ScopedEnvironmentVariableOverride crash_log_dir(
      crash_reporter::kCrashLogDirEnvVar, base::WideToUTF8(crash_dir.value()));
  base::ScopedEnvironmentVariableOverride keep_logs("KELVO_CRASH_KEEP_LOGS",
                                                    "1");
  base::ScopedEnvironmentVariableOverride crash_server(
      crash_reporter::kCrashServerUrlEnvVar,
      server.GetURL("127.0.0.1", prefix + "/id"));
  base::ScopedEnvironmentVariableOverride collector(
      crash_reporter::kCollectorUrlEnvVar,
      server.GetURL("127.0.0.1", prefix + "/collector"));

  // The main dialog's procedure, called by the system for a message sent
  // from another thread; and the message pump's window, which runs the
  // UI loop's tasks.
  const wchar_t* const kinds[] = {L"dialog", L"task"};
  int reports = 0;
  for (const wchar_t* kind : kinds) {
    SCOPED_TRACE(kind);
    // Minidumps take seconds under Wine; the text log tells the crash.
    const HostRun run =
        RunHost(L"\"--user-data-dir=" + user_data.value() +
                L"\" --with-feature:alternative-crash-logging=off "
                L"--test-crash=" +
                kind);
    ASSERT_NE(0u, run.reporter_pid);
    ASSERT_TRUE(run.handler_installed);
    // The window procedures' filter reports and ends the process with 1;
    // without it the crash ends it with its exception code, or is
    // swallowed.
    EXPECT_EQ(1, run.exit_code);
    std::string log;
    EXPECT_TRUE(base::ReadFileToString(
        crash_dir.AppendASCII(
            base::StringPrintf("kelvo-crashlog-%lu-1.txt", run.reporter_pid)),
        &log));
    EXPECT_NE(std::string::npos,
              log.find("window_crash_host.exe caused exception C0000005 at "
                       "address "));
    ++reports;
    // Each report asked for its id and sent its log.
    EXPECT_EQ(static_cast<size_t>(reports * 2),
              server.GetRequests(prefix).size());
  }
}

}  // namespace
}  // namespace installer
