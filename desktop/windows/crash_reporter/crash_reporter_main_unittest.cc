#include "desktop/windows/crash_reporter/crash_reporter_main.h"

#include <windows.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_environment_variable_override.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "components/crash_handler/crash_handler_types.h"
#include "components/crash_handler/test/raw_registration_client.h"
#include "components/crash_report/test/minidump_streams.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_reporter_client.h"
#include "desktop/windows/crash_reporter/self_crash_reporter.h"
#include "desktop/windows/installer/service/utils.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

constexpr base::TimeDelta kProcessTimeout = base::TimeDelta::FromSeconds(30);
constexpr char kConsent[] =
    R"({"user_experience_metrics":{"reporting_enabled":true}})";
// Minidumps take seconds under Wine: most tests go without.
constexpr wchar_t kNoMinidump[] =
    L"--with-feature:alternative-crash-logging=off";

std::wstring UniqueName(const wchar_t* prefix) {
  static int counter = 0;
  return prefix + base::NumberToString16(::GetCurrentProcessId()) + L"_" +
         base::NumberToString16(++counter);
}

std::wstring HostPath() {
  wchar_t self[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.rfind(L'\\') + 1) +
         L"crash_reporter_test_host.exe";
}

// One run of the test host: an installer process with the client start-up,
// which holds still after it until the test lets it act.
class Host {
 public:
  explicit Host(const std::wstring& switches)
      : go_name_(UniqueName(L"KelvoCrashReporterTestGo")),
        go_(::CreateEventW(nullptr, TRUE, FALSE, go_name_.c_str())) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    EXPECT_TRUE(::CreatePipe(&read_end, &write_end, &inheritable, 0));
    ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    output_.Set(read_end);
    base::win::ScopedHandle write(write_end);
    base::LaunchOptions options;
    options.inherit_handles = true;
    options.handles_to_inherit = {write.Get()};
    options.stdout_handle = write.Get();
    process_ = base::LaunchProcess(
        L"\"" + HostPath() + L"\" " + switches + L" --test-event=" + go_name_,
        options);
    ReadStartLine();
  }

  // The reporter the host reports to (0 for none) and whether its crash
  // handler is connected.
  DWORD reporter_pid() const { return reporter_pid_; }
  bool handler_installed() const { return handler_installed_; }
  DWORD pid() const { return process_.Pid(); }

  // Lets the host end normally, or crash in the way given at start.
  void Go() { ::SetEvent(go_.Get()); }

  int WaitForExit() {
    int exit_code = -1;
    if (!process_.WaitForExitWithTimeout(kProcessTimeout, &exit_code))
      process_.Terminate(1, false);
    return exit_code;
  }

 private:
  void ReadStartLine() {
    std::string line;
    char c = 0;
    DWORD read = 0;
    while (::ReadFile(output_.Get(), &c, 1, &read, nullptr) && read == 1 &&
           c != '\n') {
      line += c;
    }
    std::istringstream fields(line);
    int handler = 0;
    fields >> reporter_pid_ >> handler;
    handler_installed_ = handler == 1;
  }

  std::wstring go_name_;
  base::win::ScopedHandle go_;
  base::win::ScopedHandle output_;
  base::Process process_;
  DWORD reporter_pid_ = 0;
  bool handler_installed_ = false;
};

class CrashReporterTest : public testing::Test {
 protected:
  // The client gives a new reporter 2 s to get ready; the first start of a
  // program under Wine can take longer than the later ones.
  static void SetUpTestSuite() {
    std::string output;
    int exit_code = -1;
    base::GetAppOutputWithExitCode(
        L"\"" + HostPath() + L"\" --test-action=count --test-count=0", &output,
        &exit_code, kProcessTimeout);
  }

  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    crash_dir_ = temp_dir_.GetPath().Append(L"crash");
    user_data_ = temp_dir_.GetPath().Append(L"User Data");
    ASSERT_TRUE(base::CreateDirectory(user_data_));
    crash_dir_override_ =
        std::make_unique<base::ScopedEnvironmentVariableOverride>(
            kCrashLogDirEnvVar, base::WideToUTF8(crash_dir_.value()));
  }

  void GiveConsent() { WritePrefs(kConsent); }

  void WritePrefs(const char* text) {
    ASSERT_EQ(static_cast<int>(strlen(text)),
              base::WriteFile(user_data_.Append(L"Local State"), text,
                              static_cast<int>(strlen(text))));
  }

  std::wstring UserDataSwitch() const {
    return L"\"--user-data-dir=" + user_data_.value() + L"\"";
  }

  // A host that crashes in the way named, or ends normally without one,
  // once the test lets it go.
  std::unique_ptr<Host> StartHost(const std::wstring& crash_kind,
                                  const std::wstring& extra = L"") {
    std::wstring switches = UserDataSwitch() + L" " + extra;
    if (!crash_kind.empty())
      switches += L" --test-crash=" + crash_kind;
    return std::make_unique<Host>(switches);
  }

  std::vector<base::FilePath> CrashFiles() {
    std::vector<base::FilePath> files;
    base::FileEnumerator enumerator(crash_dir_, false,
                                    base::FileEnumerator::FILES);
    for (base::FilePath file = enumerator.Next(); !file.empty();
         file = enumerator.Next()) {
      files.push_back(file);
    }
    return files;
  }

  std::string ReadFile(const base::FilePath& path) {
    std::string text;
    EXPECT_TRUE(base::ReadFileToString(path, &text)) << path;
    return text;
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath crash_dir_;
  base::FilePath user_data_;
  std::unique_ptr<base::ScopedEnvironmentVariableOverride> crash_dir_override_;
};

// Opens the reporter while it surely runs (its parent holds still).
base::Process OpenReporter(const Host& host) {
  return base::Process::OpenWithAccess(host.reporter_pid(),
                                       SYNCHRONIZE | PROCESS_QUERY_INFORMATION);
}

TEST_F(CrashReporterTest, EachCrashLeavesItsLogAndEndsWithItsCode) {
  GiveConsent();
  struct {
    const wchar_t* kind;
    uint32_t code;
    int exit_code;
  } cases[] = {
      {L"access-violation", EXCEPTION_ACCESS_VIOLATION},
      {L"pure-call", crash_handler::kPureVirtualCallExceptionCode},
      {L"invalid-parameter", crash_handler::kInvalidParameterExceptionCode},
      {L"abort", crash_handler::kAbortExceptionCode},
      {L"terminate", crash_handler::kTerminateExceptionCode},
      {L"throw", crash_handler::kTerminateExceptionCode},
      {L"throw-on-thread", crash_handler::kCppExceptionCode},
      {L"breakpoint", EXCEPTION_BREAKPOINT},
      {L"two-threads", EXCEPTION_ACCESS_VIOLATION},
      // Reported by the window procedures' filter, which ends with 1.
      {L"window-procedure", EXCEPTION_ACCESS_VIOLATION, 1},
  };
  int crashes = 0;
  for (const auto& test : cases) {
    SCOPED_TRACE(test.kind);
    std::unique_ptr<Host> host = StartHost(test.kind, kNoMinidump);
    ASSERT_NE(0u, host->reporter_pid());
    ASSERT_TRUE(host->handler_installed());
    base::Process reporter = OpenReporter(*host);
    ASSERT_TRUE(reporter.IsValid());
    host->Go();
    EXPECT_EQ(test.exit_code ? test.exit_code : static_cast<int>(test.code),
              host->WaitForExit());
    // The reporter ends once its parent is gone and the report is done.
    int reporter_exit = -1;
    EXPECT_TRUE(
        reporter.WaitForExitWithTimeout(kProcessTimeout, &reporter_exit));
    ++crashes;

    base::FilePath log = crash_dir_.AppendASCII(
        "kelvo-crashlog-" + base::NumberToString(host->reporter_pid()) +
        "-1.txt");
    std::string text = ReadFile(log);
    EXPECT_EQ(0u, text.find("KELVO-CRASHLOG V1 desktop 45.0.2531.0 816662 "
                            "windows x64 release\r\n"));
    char exception[64];
    snprintf(exception, sizeof(exception), " caused exception %X at address ",
             test.code);
    EXPECT_NE(std::string::npos, text.find("crash_reporter_test_host.exe" +
                                           std::string(exception)));
    EXPECT_NE(std::string::npos,
              text.find("\r\nmetadata:\r\nBuildID=\"20170312286388\"\r\n"
                        "process_type=\"installer\"\r\n"));
    EXPECT_EQ(std::string::npos, text.find("ptime"));
  }
  EXPECT_EQ(static_cast<size_t>(crashes), CrashFiles().size());
  EXPECT_EQ("{\"installer\":" + base::NumberToString(crashes) + "}",
            ReadFile(user_data_.Append(L"crash_counters.json")));
}

TEST_F(CrashReporterTest, ReportThatCannotBeReadLeavesTheClientRunning) {
  GiveConsent();
  // The reporter attaches to the client as its debugger and must detach
  // even when it cannot read the crash, or the client stays frozen.
  std::unique_ptr<Host> host = StartHost(L"unreadable-report");
  ASSERT_TRUE(host->handler_installed());
  base::Process reporter = OpenReporter(*host);
  host->Go();
  EXPECT_EQ(0, host->WaitForExit());
  EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, nullptr));
  EXPECT_TRUE(CrashFiles().empty());
}

TEST_F(CrashReporterTest, ReporterEndsWithItsParentAndWritesNothing) {
  GiveConsent();
  std::unique_ptr<Host> host = StartHost(L"");
  ASSERT_NE(0u, host->reporter_pid());
  base::Process reporter = OpenReporter(*host);
  ASSERT_TRUE(reporter.IsValid());
  host->Go();
  EXPECT_EQ(0, host->WaitForExit());
  int reporter_exit = -1;
  EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, &reporter_exit));
  EXPECT_TRUE(CrashFiles().empty());
  EXPECT_FALSE(base::PathExists(user_data_.Append(L"crash_counters.json")));
}

TEST_F(CrashReporterTest, WithoutConsentNoReporterServes) {
  const char* prefs[] = {
      nullptr, "{corrupt",
      R"({"user_experience_metrics":{"reporting_enabled":false}})"};
  for (const char* text : prefs) {
    SCOPED_TRACE(text ? text : "no prefs file");
    base::DeleteFile(user_data_.Append(L"Local State"), false);
    if (text) {
      base::WriteFile(user_data_.Append(L"Local State"), text,
                      static_cast<int>(strlen(text)));
    }
    std::unique_ptr<Host> host = StartHost(L"access-violation");
    EXPECT_EQ(0u, host->reporter_pid());
    EXPECT_FALSE(host->handler_installed());
    host->Go();
    EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION),
              host->WaitForExit());
  }
  EXPECT_TRUE(CrashFiles().empty());
}

TEST_F(CrashReporterTest, ChildrenShareTheReporterThatRefusesLiars) {
  GiveConsent();
  // The reporter reads its settings from its parent's command line.
  std::unique_ptr<Host> parent = StartHost(L"", kNoMinidump);
  DWORD reporter_pid = parent->reporter_pid();
  ASSERT_NE(0u, reporter_pid);
  base::Process reporter = OpenReporter(*parent);

  // A process that claims to be the parent gets nothing.
  {
    crash_handler::RawRegistrationClient liar(
        FormatCrashReporterObjectName(kCrashReporterPipePrefix, reporter_pid));
    ASSERT_TRUE(liar.connected());
    crash_handler::RegistrationMessage request =
        crash_handler::RawRegistrationClient::ValidRequest();
    request.pid = parent->pid();
    EXPECT_FALSE(liar.Register(request, sizeof(request)));
  }

  // A child given the reporter starts none of its own and is served.
  std::unique_ptr<Host> child =
      StartHost(L"access-violation", L"--crash-reporter-pid=" +
                                         base::NumberToString16(reporter_pid));
  EXPECT_EQ(reporter_pid, child->reporter_pid());
  EXPECT_TRUE(child->handler_installed());
  child->Go();
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), child->WaitForExit());
  EXPECT_EQ(1u, CrashFiles().size());

  // The reporter outlives the child, not the parent.
  EXPECT_FALSE(reporter.WaitForExitWithTimeout(base::TimeDelta(), nullptr));
  parent->Go();
  EXPECT_EQ(0, parent->WaitForExit());
  EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, nullptr));
}

TEST_F(CrashReporterTest, ReporterThatCannotBeReachedLeavesNoHandler) {
  GiveConsent();
  // No process has this id: the switch is kept and nothing is launched.
  std::unique_ptr<Host> host =
      StartHost(L"access-violation", L"--crash-reporter-pid=4294967292");
  EXPECT_EQ(4294967292u, host->reporter_pid());
  EXPECT_FALSE(host->handler_installed());
  host->Go();
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), host->WaitForExit());
  EXPECT_TRUE(CrashFiles().empty());
}

// How many processes ran in the job of an installer.exe started with
// |arguments|: the installer and whatever it started.
int CountInstallerProcesses(const std::wstring& arguments) {
  // Wine starts its desktop process from the first program that needs the
  // desktop, and ends it soon after the last one has gone: an installer of
  // the job would start it, or a second one while the first still starts,
  // and count it among its own. Windows always has its desktop; this
  // process waits for it and keeps it while it counts.
  ::GetDesktopWindow();
  std::wstring installer = HostPath();
  installer =
      installer.substr(0, installer.rfind(L'\\') + 1) + L"installer.exe";
  std::wstring command = L"\"" + installer + L"\" " + arguments;
  base::win::ScopedHandle job(::CreateJobObjectW(nullptr, nullptr));
  STARTUPINFOW startup_info = {sizeof(startup_info)};
  PROCESS_INFORMATION process_info = {};
  if (!job.IsValid() ||
      !::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup_info,
                        &process_info)) {
    return -1;
  }
  base::Process process(process_info.hProcess);
  base::win::ScopedHandle thread(process_info.hThread);
  if (!::AssignProcessToJobObject(job.Get(), process.Handle())) {
    process.Terminate(1, false);
    return -1;
  }
  ::ResumeThread(thread.Get());
  process.WaitForExitWithTimeout(kProcessTimeout, nullptr);
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
  if (!::QueryInformationJobObject(job.Get(),
                                   JobObjectBasicAccountingInformation, &info,
                                   sizeof(info), nullptr)) {
    return -1;
  }
  return static_cast<int>(info.TotalProcesses);
}

TEST_F(CrashReporterTest, InstallerProcessesStartOrJoinAReporter) {
  GiveConsent();
  EXPECT_EQ(2, CountInstallerProcesses(L"--help " + UserDataSwitch()));
  // Without consent a reporter starts, finds none and ends.
  base::DeleteFile(user_data_.Append(L"Local State"), false);
  EXPECT_EQ(2, CountInstallerProcesses(L"--help " + UserDataSwitch()));
  // A child of an installation joins the reporter it is given.
  EXPECT_EQ(1, CountInstallerProcesses(
                   L"--help --crash-reporter-pid=" +
                   base::NumberToString16(::GetCurrentProcessId())));
}

// The registry value of the three-day rule, and its key, put back after
// the test.
class ScopedLastReporterCrash {
 public:
  ScopedLastReporterCrash() {
    had_key_ =
        base::win::RegKey().Open(HKEY_CURRENT_USER,
                                 installer::GetProductRegistryKey().c_str(),
                                 KEY_QUERY_VALUE) == ERROR_SUCCESS;
    key_.Create(HKEY_CURRENT_USER, installer::GetProductRegistryKey().c_str(),
                KEY_QUERY_VALUE | KEY_SET_VALUE);
    had_value_ = key_.ReadInt64(kLastCrashReporterCrashValue, &old_value_) ==
                 ERROR_SUCCESS;
    key_.DeleteValue(kLastCrashReporterCrashValue);
  }
  ~ScopedLastReporterCrash() {
    if (had_value_) {
      key_.WriteValue(kLastCrashReporterCrashValue, &old_value_,
                      sizeof(old_value_), REG_QWORD);
    } else {
      key_.DeleteValue(kLastCrashReporterCrashValue);
    }
    key_.Close();
    if (!had_key_) {
      // "Software\<company>": the company's key goes when empty.
      std::wstring product_key = installer::GetProductRegistryKey();
      base::win::RegKey(HKEY_CURRENT_USER, L"Software", KEY_ALL_ACCESS)
          .DeleteEmptyKey(
              product_key.substr(product_key.find(L'\\') + 1).c_str());
    }
  }
  // An hour more, so that the clocks' rounding cannot make it a day less.
  void SetDaysAgo(int64_t days) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    int64_t value =
        (static_cast<int64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) -
        days * 864000000000LL - 36000000000LL;
    key_.WriteValue(kLastCrashReporterCrashValue, &value, sizeof(value),
                    REG_QWORD);
  }

 private:
  base::win::RegKey key_;
  bool had_key_ = false;
  bool had_value_ = false;
  int64_t old_value_ = 0;
};

// A client's crash with the minidump on: the whole text log, the report's
// own log lines at its end, and the dump.
TEST_F(CrashReporterTest, AClientCrashLeavesTheFullLogAndAMinidump) {
  GiveConsent();
  std::unique_ptr<Host> host = StartHost(L"access-violation");
  ASSERT_TRUE(host->handler_installed());
  base::Process reporter = OpenReporter(*host);
  host->Go();
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), host->WaitForExit());
  EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, nullptr));
  std::string name =
      "kelvo-crashlog-" + base::NumberToString(host->reporter_pid()) + "-1";
  std::string text = ReadFile(crash_dir_.AppendASCII(name + ".txt"));
  for (const char* part :
       {"\r\nThread: ", "\r\nRegisters: ", "\r\nStack dump: ",
        "\r\nUsed DLLs:\r\ncrash_reporter_test_host.exe ",
        "\r\nMemory dumps:\r\n", "\r\nmem_working_set_size=\"",
        "\r\nCrash Logger:\r\nclient_dump_request.cc:"}) {
    EXPECT_NE(std::string::npos, text.find(part)) << part;
  }
  EXPECT_EQ("45.0.2531.0 816662",
            crash_report::ReadMinidumpStreams(
                ReadFile(crash_dir_.AppendASCII(name + ".dmp")))[0x10000]);
}

// Reporters that crash on purpose (see crash_reporter_test_host_main.cc),
// with a temporary folder, where their reports go, whose name lies outside
// the ANSI code page.
class CrashedReporterTest : public CrashReporterTest {
 protected:
  void SetUp() override {
    CrashReporterTest::SetUp();
    GiveConsent();
    temp_ = temp_dir_.GetPath().Append(L"Temp \x65E5\x672C");
    ASSERT_TRUE(base::CreateDirectory(temp_));
    for (const char* name : {"TMP", "TEMP"}) {
      temp_overrides_.push_back(
          std::make_unique<base::ScopedEnvironmentVariableOverride>(
              name, base::WideToUTF8(temp_.value())));
    }
  }

  void CrashReporters(const char* serving, const char* second = nullptr) {
    crash_overrides_.clear();
    crash_overrides_.push_back(
        std::make_unique<base::ScopedEnvironmentVariableOverride>(
            "KELVO_TEST_SERVING_CRASH", serving));
    if (second) {
      crash_overrides_.push_back(
          std::make_unique<base::ScopedEnvironmentVariableOverride>(
              "KELVO_TEST_SECOND_CRASH", second));
    }
  }

  // Runs a host whose serving reporter crashes once ready; the reporter's
  // exit code, and how long it took to end after the host started.
  int RunHostWithCrashingReporter(int64_t* milliseconds) {
    ULONGLONG start = ::GetTickCount64();
    std::unique_ptr<Host> host = StartHost(L"", kNoMinidump);
    base::Process reporter = OpenReporter(*host);
    EXPECT_TRUE(reporter.IsValid());
    int exit_code = -1;
    EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, &exit_code));
    *milliseconds = static_cast<int64_t>(::GetTickCount64() - start);
    host->Go();
    EXPECT_EQ(0, host->WaitForExit());
    return exit_code;
  }

  // The crash files in the temporary folder, by name.
  std::map<std::string, std::string> ReportFiles() {
    std::map<std::string, std::string> files;
    base::FileEnumerator enumerator(temp_, false, base::FileEnumerator::FILES,
                                    L"kelvo-crashlog-*");
    for (base::FilePath file = enumerator.Next(); !file.empty();
         file = enumerator.Next()) {
      files[base::WideToUTF8(file.BaseName().value())] = ReadFile(file);
    }
    return files;
  }

  // Waits until the reporter that wrote the crash file |name|
  // ("kelvo-crashlog-<pid>-<n>...") has ended: it releases the crashed
  // reporter before it logs what it kept, and holds its log open until it
  // ends. Its exit code, or -1 when it cannot be waited for.
  int WaitForWriterOf(const std::string& name) {
    DWORD pid = 0;
    if (sscanf(name.c_str(), "kelvo-crashlog-%lu-", &pid) != 1)
      return -1;
    base::Process writer = base::Process::OpenWithAccess(
        pid, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION);
    int exit_code = -1;
    if (!writer.IsValid() ||
        !writer.WaitForExitWithTimeout(kProcessTimeout, &exit_code)) {
      return -1;
    }
    return exit_code;
  }

  std::string ReporterLog() {
    std::string log;
    base::ReadFileToString(temp_.Append(L"kelvo_crashreporter.log"), &log);
    return log;
  }

  // Under Wine a minidump of a reporter can come out larger than the 512000
  // bytes a crashed reporter's dump may have in every dump type (Wine adds
  // every module's import and export names), and how large depends on the
  // threads the crashed reporter had running. The second reporter's log
  // says, before it releases the first one, whether the first one's dump
  // fitted.
  bool ReporterDumpsFit() {
    return ReporterLog().find("No minidump of reporter") == std::string::npos;
  }

  base::FilePath temp_;
  std::vector<std::unique_ptr<base::ScopedEnvironmentVariableOverride>>
      temp_overrides_;
  std::vector<std::unique_ptr<base::ScopedEnvironmentVariableOverride>>
      crash_overrides_;
  ScopedLastReporterCrash last_crash_;
};

// The second reporter writes a text log and a minidump of the crashed
// one, then releases it. A crash that the runtime reports through a
// handler ends the reporter with its crash code, as anywhere else.
TEST_F(CrashedReporterTest, ACrashedReporterIsReportedByASecondOne) {
  struct {
    const char* kind;
    uint32_t code;
    bool minidump;
  } cases[] = {
      {"access-violation", EXCEPTION_ACCESS_VIOLATION, true},
      // Minidumps take seconds under Wine: the second case goes without.
      {"invalid-parameter", crash_handler::kInvalidParameterExceptionCode,
       false},
      {"pure-call", crash_handler::kPureVirtualCallExceptionCode, false},
  };
  int reports = 0;
  for (const auto& test : cases) {
    SCOPED_TRACE(test.kind);
    CrashReporters(test.kind);
    if (!test.minidump) {
      WritePrefs(R"({"user_experience_metrics":{"reporting_enabled":true},)"
                 R"("browser":{"flags":{"alternative-crash-logging":2}}})");
    }
    int64_t milliseconds = 0;
    EXPECT_EQ(static_cast<int>(test.code),
              RunHostWithCrashingReporter(&milliseconds));
    ++reports;
    auto files = ReportFiles();
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(0, WaitForWriterOf(files.begin()->first));
    files = ReportFiles();
    EXPECT_NE(std::string::npos, ReporterLog().find("Crash files of reporter"));
    bool dump_fits = test.minidump && ReporterDumpsFit();
    ASSERT_EQ(dump_fits ? 2u : 1u, files.size());
    const std::string& text = files.rbegin()->second;  // ".txt" after ".dmp"
    char exception[64];
    snprintf(exception, sizeof(exception), " caused exception %X at address ",
             test.code);
    EXPECT_NE(std::string::npos, text.find("\r\ncrash_reporter_test_host.exe" +
                                           std::string(exception)));
    EXPECT_NE(std::string::npos,
              text.find("\r\n\r\nmetadata:\r\nprocess_type=\"crash_reporter\""
                        "\r\n\r\nThread: "));
    if (dump_fits) {
      EXPECT_EQ("45.0.2531.0 816662", crash_report::ReadMinidumpStreams(
                                          files.begin()->second)[0x10000]);
    }
    EXPECT_EQ("{\"crash_reporter\":" + base::NumberToString(reports) + "}",
              ReadFile(user_data_.Append(L"crash_counters.json")));
    for (const auto& [name, bytes] : files)
      base::DeleteFile(temp_.AppendASCII(name), false);
  }
}

// A second reporter that crashes in turn is reported by a third, in a V1
// crash file, and released: the end of the chain.
TEST_F(CrashedReporterTest, ACrashedSecondReporterIsReportedByAThird) {
  CrashReporters("access-violation", "access-violation");
  int64_t milliseconds = 0;
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION),
            RunHostWithCrashingReporter(&milliseconds));
  // The second reporter wrote its files before it released the first; it
  // ends once the third has written its own.
  auto files = ReportFiles();
  ASSERT_FALSE(files.empty());
  DWORD second_pid = 0;
  ASSERT_EQ(1, sscanf(files.begin()->first.c_str(), "kelvo-crashlog-%lu-",
                      &second_pid));
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION),
            WaitForWriterOf(files.begin()->first));

  bool dump_fits = ReporterDumpsFit();
  files = ReportFiles();
  std::vector<std::string> v1_files;
  for (const auto& [name, bytes] : files) {
    if (name.find("kelvo-crashlog-" + base::NumberToString(second_pid)) != 0)
      v1_files.push_back(bytes);
  }
  // The third reporter writes nothing but the V1 file, whose dump part has
  // the same limit.
  ASSERT_EQ(dump_fits ? 1u : 0u, v1_files.size());
  if (dump_fits) {
    EXPECT_EQ(0u, v1_files[0].find(
                      "KELVO-CRASHLOG V1 desktop 45.0.2531.0 816662 windows "
                      "x64 release\r\ncrash_reporter_test_host.exe caused "
                      "exception C0000005 at address "));
    EXPECT_NE(std::string::npos,
              v1_files[0].find(" (BASE: 00000000)\r\n\r\nmetadata:\r\n"
                               "process_type=\"crash_reporter\"\r\n\r\n"
                               "minidump:\r\nMDMP"));
  }
  // Only the second reporter counts: the third keeps no settings.
  EXPECT_EQ("{\"crash_reporter\":1}",
            ReadFile(user_data_.Append(L"crash_counters.json")));
}

// Within three days of a reported crash of a reporter, or after one from
// the future, the next is not reported: the crashed one is released at
// once.
TEST_F(CrashedReporterTest, AReporterCrashIsReportedAtMostOnceInThreeDays) {
  CrashReporters("access-violation");
  for (int64_t days_ago : {2, -1}) {
    SCOPED_TRACE(days_ago);
    last_crash_.SetDaysAgo(days_ago);
    int64_t milliseconds = 0;
    EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION),
              RunHostWithCrashingReporter(&milliseconds));
    EXPECT_LT(milliseconds, 15000);
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_FALSE(base::PathExists(user_data_.Append(L"crash_counters.json")));
  }
  // Whole days count: three and an hour are three.
  int64_t days = 0;
  last_crash_.SetDaysAgo(3);
  ASSERT_TRUE(GetDaysSinceLastCrashReporterCrash(&days));
  EXPECT_EQ(3, days);
}

}  // namespace
}  // namespace crash_reporter
