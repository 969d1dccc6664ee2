#include "desktop/windows/crash_reporter/crash_reporter_main.h"

#include <windows.h>

#include <tlhelp32.h>

#include <string.h>

#include <algorithm>
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
#include "components/crash_handler/test/pipe_squatter.h"
#include "components/crash_handler/test/raw_registration_client.h"
#include "components/crash_report/test/minidump_streams.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_reporter_client.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"
#include "desktop/windows/crash_reporter/crashed_reporter_report.h"
#include "desktop/windows/crash_reporter/self_crash_reporter.h"
#include "desktop/windows/crash_reporter/test/crash_upload_test_util.h"
#include "desktop/windows/installer/service/utils.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace crash_reporter {
namespace {

constexpr base::TimeDelta kProcessTimeout = base::TimeDelta::FromSeconds(30);
// How long each reporter of a chain of crashing ones may take: minidumps of
// a reporter take Wine tens of seconds on a busy machine.
constexpr base::TimeDelta kReporterChainTimeout = kProcessTimeout * 4;
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
    // Only the host may hold the pipe open: a host that fails to start, or
    // ends without a word, must end the read.
    write.Close();
    EXPECT_TRUE(process_.IsValid());
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
    SetVariable(kCrashLogDirEnvVar, base::WideToUTF8(crash_dir_.value()));
    // Unless a test says otherwise the files stay, for the test to read.
    SetVariable("KELVO_CRASH_KEEP_LOGS", "1");
    ASSERT_TRUE(server_.Connect());
    prefix_ = "/crash" + server_.NewPathPrefix();
    UseCrashServer("id");
  }

  // Sets an environment variable of this process and so of the hosts and
  // reporters it starts, until the test ends.
  void SetVariable(const std::string& name, const std::string& value) {
    variables_.push_back(
        std::make_unique<base::ScopedEnvironmentVariableOverride>(name, value));
  }

  // The crash server behaves as |behaviour| says (see crash_server.py);
  // the collector takes every well-formed upload.
  void UseCrashServer(const std::string& behaviour) {
    SetVariable(kCrashServerUrlEnvVar, CrashServerUrl(behaviour));
    SetVariable(kCollectorUrlEnvVar, CrashServerUrl("collector"));
  }

  std::string CrashServerUrl(const std::string& behaviour) {
    return server_.GetURL("127.0.0.1", prefix_ + "/" + behaviour);
  }

  std::vector<test_server::RecordedRequest> ServerRequests() {
    return server_.GetRequests(prefix_);
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

  // The files in the crash directory, or those named "*<pattern>".
  std::vector<base::FilePath> CrashFiles(const wchar_t* pattern = L"") {
    std::vector<base::FilePath> files;
    base::FileEnumerator enumerator(crash_dir_, false,
                                    base::FileEnumerator::FILES,
                                    std::wstring(L"*") + pattern);
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

  base::FilePath CrashLogPath(DWORD reporter_pid, const char* extension) {
    return crash_dir_.AppendASCII("kelvo-crashlog-" +
                                  base::NumberToString(reporter_pid) + "-1" +
                                  extension);
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath crash_dir_;
  base::FilePath user_data_;
  test_server::HttpTestServer server_;
  std::string prefix_;
  std::vector<std::unique_ptr<base::ScopedEnvironmentVariableOverride>>
      variables_;
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
  EXPECT_EQ(static_cast<size_t>(crashes), CrashFiles(L"crashlog-*.txt").size());
  // Every report asked for its id and sent its log.
  EXPECT_EQ(static_cast<size_t>(crashes),
            CrashFiles(L"last_crash_id-*.txt").size());
  EXPECT_EQ(static_cast<size_t>(crashes * 2), ServerRequests().size());
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
  EXPECT_TRUE(ServerRequests().empty());
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
  EXPECT_EQ(1u, CrashFiles(L"crashlog-*.txt").size());

  // The reporter outlives the child, not the parent.
  EXPECT_FALSE(reporter.WaitForExitWithTimeout(base::TimeDelta(), nullptr));
  parent->Go();
  EXPECT_EQ(0, parent->WaitForExit());
  EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, nullptr));
}

// A crash of a host that the reporter serves, reported once the host has
// ended and the reporter with it. Returns the reporter's id.
DWORD CrashAndWaitForTheReporter(Host* host) {
  EXPECT_TRUE(host->handler_installed());
  base::Process reporter = OpenReporter(*host);
  EXPECT_TRUE(reporter.IsValid());
  host->Go();
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), host->WaitForExit());
  EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, nullptr));
  return host->reporter_pid();
}

// A client's crash with the minidump on, sent to the crash servers: the id
// request, the zipped whole text log with the report's own log lines at its
// end, and the gzip-wrapped minidump.
TEST_F(CrashReporterTest, CrashReachesTheCrashServersWithItsId) {
  GiveConsent();
  SetVariable("CRASH_ORIGIN", "Testrig");
  SetVariable("KELVO_CRASH_EMAIL", "a+b&c@x.org");
  DWORD reporter_pid =
      CrashAndWaitForTheReporter(StartHost(L"access-violation").get());

  std::vector<test_server::RecordedRequest> requests = ServerRequests();
  ASSERT_EQ(3u, requests.size());
  const test_server::RecordedRequest& get = requests[0];
  const std::string target = prefix_ + "/id?email=a%2Bb%26c%40x.org";
  EXPECT_EQ("GET", get.method);
  EXPECT_EQ(target, get.target);
  EXPECT_EQ("Breakpad/1.0 (Windows) (Edition developer)",
            get.GetHeader("User-Agent"));
  EXPECT_EQ("Testrig", get.GetHeader("X-Origin"));
  EXPECT_FALSE(get.HasHeader("X-Kelvo-Crash-URL"));
  // The two uploads run side by side.
  std::vector<test_server::RecordedRequest> posts =
      FilterRequests(requests, "POST");
  ASSERT_EQ(2u, posts.size());
  if (posts[0].target != target)
    std::swap(posts[0], posts[1]);

  // The id the server gave is the record's and the log's.
  const std::string record = ReadFile(crash_dir_.AppendASCII(
      "last_crash_id-" + base::NumberToString(reporter_pid) + "-1.txt"));
  const std::string location_prefix =
      "0=http://127.0.0.1:" + base::NumberToString(server_.port()) +
      "/crash/issued?id=";
  ASSERT_EQ(0u, record.find(location_prefix)) << record;
  const std::string crash_id = record.substr(
      location_prefix.size(), record.find('&') - location_prefix.size());

  // The log's fields in name order (the run time from its first second
  // on), and the log zipped.
  std::vector<std::pair<std::string, std::string>> fields =
      GetFormFields(posts[0]);
  std::erase_if(fields, [](const auto& field) {
    return field.first == "ptime" &&
           field.second.find_first_not_of("0123456789") == std::string::npos;
  });
  EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{
                {"ProductName", "Kelvo"},
                {"ReleaseChannel", "developer"},
                {"Version", "45.0.2531.0"},
                {"build_number", "816662"},
                {"email", "a+b&c@x.org"},
                {"origin", "Testrig"},
                {"stacktraceId", crash_id}}),
            fields);
  std::vector<test_server::FormPart> files = GetFileParts(posts[0]);
  ASSERT_EQ(1u, files.size());
  EXPECT_EQ("file", files[0].name);
  EXPECT_EQ(CrashLogPath(reporter_pid, ".zip").BaseName().AsUTF8Unsafe(),
            files[0].filename);
  std::string name, text;
  ASSERT_TRUE(ReadSingleEntryZip(files[0].body, &name, &text));
  EXPECT_EQ("crashlog.txt", name);
  EXPECT_EQ(ReadFile(CrashLogPath(reporter_pid, ".txt")), text);
  EXPECT_FALSE(base::PathExists(CrashLogPath(reporter_pid, ".zip")));
  for (const char* part :
       {"\r\nThread: ", "\r\nRegisters: ", "\r\nStack dump: ",
        "\r\nUsed DLLs:\r\ncrash_reporter_test_host.exe ",
        "\r\nMemory dumps:\r\n", "\r\nmem_working_set_size=\"",
        "\r\ncpu_architecture=\"0x9\"",
        "\r\nCrash Logger:\r\nclient_dump_request.cc:"}) {
    EXPECT_NE(std::string::npos, text.find(part)) << part;
  }

  // The minidump's form, gzip-encoded: every field, empty ones too, before
  // the dump.
  EXPECT_EQ(prefix_ + "/collector", posts[1].target);
  EXPECT_EQ("gzip", posts[1].GetHeader("Content-Encoding"));
  std::string names;
  std::map<std::string, std::string> values;
  for (const auto& [field, value] : GetFormFields(posts[1])) {
    names += field + " ";
    values[field] = value;
  }
  EXPECT_EQ(
      "BuildID CrashTime Email InstallTime Origin ProcessType ProductName "
      "ReleaseChannel StartupTime UBN URL Version ab_tests "
      "blacklisted_extensions disabled_extensions enabled_extensions "
      "gpu_device_id gpu_driver_version gpu_pixel_shader_version "
      "gpu_vendor_id gpu_vertex_shader_version symbols-package "
      "terminated_extensions third_party_installs ",
      names);
  EXPECT_EQ("installer", values["ProcessType"]);
  EXPECT_EQ("a+b&c@x.org", values["Email"]);
  EXPECT_EQ("Testrig", values["Origin"]);
  EXPECT_LE(std::stoll(values["StartupTime"]), std::stoll(values["CrashTime"]));
  std::vector<test_server::FormPart> dumps = GetFileParts(posts[1]);
  ASSERT_EQ(1u, dumps.size());
  EXPECT_EQ("upload_file_minidump", dumps[0].name);
  EXPECT_EQ(ReadFile(CrashLogPath(reporter_pid, ".dmp")), dumps[0].body);
  EXPECT_EQ("45.0.2531.0 816662",
            crash_report::ReadMinidumpStreams(dumps[0].body)[0x10000]);
}

TEST_F(CrashReporterTest, BusyCrashServerGetsNoTextLog) {
  GiveConsent();
  UseCrashServer("busy");
  // Kept, the log stays; and the minidump still goes.
  DWORD reporter_pid =
      CrashAndWaitForTheReporter(StartHost(L"access-violation").get());
  EXPECT_TRUE(base::PathExists(CrashLogPath(reporter_pid, ".txt")));
  std::vector<test_server::RecordedRequest> posts =
      FilterRequests(ServerRequests(), "POST");
  ASSERT_EQ(1u, posts.size());
  EXPECT_EQ(prefix_ + "/collector", posts[0].target);
  ASSERT_EQ(1u, GetFileParts(posts[0]).size());
  EXPECT_EQ(ReadFile(CrashLogPath(reporter_pid, ".dmp")),
            GetFileParts(posts[0])[0].body);

  SetVariable("KELVO_CRASH_KEEP_LOGS", "0");
  reporter_pid = CrashAndWaitForTheReporter(
      StartHost(L"access-violation", kNoMinidump).get());
  EXPECT_FALSE(base::PathExists(CrashLogPath(reporter_pid, ".txt")));
  // No id, so no record either.
  EXPECT_EQ(2u, CrashFiles().size());
  EXPECT_EQ(3u, ServerRequests().size());
}

TEST_F(CrashReporterTest, ServersDownOrSilentCostBoundedTime) {
  GiveConsent();
  SetVariable("KELVO_CRASH_KEEP_LOGS", "0");
  // Answers every request 30 s after it arrived.
  ASSERT_TRUE(
      server_.Script(prefix_ + "/silent", R"([{"delay": 30, "status": 200}])"));
  const std::string closed =
      "http://127.0.0.1:" + base::NumberToString(test_server::GetClosedPort()) +
      "/crash";
  const struct {
    std::string crash_server;
    const wchar_t* switches;
    size_t requests;
  } cases[] = {
      {closed, kNoMinidump, 0},
      // The id request gives up after 3 s, the uploads after the host's 2 s.
      {CrashServerUrl("silent"), L"", 3},
      // No id: the log goes without one.
      {CrashServerUrl("error"), kNoMinidump, 2},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.crash_server);
    SetVariable(kCrashServerUrlEnvVar, test.crash_server);
    SetVariable(kCollectorUrlEnvVar, test.crash_server);
    const size_t before = ServerRequests().size();
    std::unique_ptr<Host> host = StartHost(
        L"access-violation",
        test.switches + std::wstring(L" --test-upload-timeout-ms=2000"));
    base::Process reporter = OpenReporter(*host);
    host->Go();
    EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION),
              host->WaitForExit());
    // The uploads start when the crashed host is let go.
    const ULONGLONG released = ::GetTickCount64();
    EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, nullptr));
    EXPECT_LT(::GetTickCount64() - released, 6000u);
    // Sent or not, the files are gone.
    EXPECT_TRUE(CrashFiles().empty());
    EXPECT_EQ(test.requests, ServerRequests().size() - before);
  }
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

// A process of the user's that holds an instance of a reporter's pipe name
// hears nothing from the installer's processes: a client speaks only to
// the reporter it was given. It passes over the other instance and
// registers with its reporter, or, when nothing else serves the name, goes
// on without a crash handler at once rather than wait for an answer.
TEST_F(CrashReporterTest, ClientsSpeakOnlyToTheirReporter) {
  GiveConsent();
  constexpr DWORD kSquatterWaitMs = 30000;
  {
    SCOPED_TRACE("no reporter behind the name");
    crash_handler::PipeSquatter squatter(
        FormatCrashReporterObjectName(kCrashReporterPipePrefix, 4294967292u),
        kSquatterWaitMs, kSquatterWaitMs);
    ASSERT_TRUE(squatter.created());
    ASSERT_TRUE(squatter.Start());
    std::unique_ptr<Host> host =
        StartHost(L"access-violation", L"--crash-reporter-pid=4294967292");
    EXPECT_FALSE(host->handler_installed());
    crash_handler::PipeSquatter::Visit visit = squatter.TakeVisit();
    EXPECT_TRUE(visit.connected);
    EXPECT_EQ(0u, visit.bytes_received);
    EXPECT_TRUE(visit.closed);
    // Far less than the 5 s a client waits for a server's answer.
    EXPECT_LT(visit.milliseconds_connected, 4000u);
    host->Go();
    EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION),
              host->WaitForExit());
  }
  SCOPED_TRACE("the reporter behind the name");
  std::unique_ptr<Host> parent = StartHost(L"", kNoMinidump);
  const DWORD reporter_pid = parent->reporter_pid();
  ASSERT_NE(0u, reporter_pid);
  base::Process reporter = OpenReporter(*parent);
  const std::wstring pipe_name =
      FormatCrashReporterObjectName(kCrashReporterPipePrefix, reporter_pid);
  crash_handler::PipeSquatter squatter(pipe_name, kSquatterWaitMs,
                                       kSquatterWaitMs);
  ASSERT_TRUE(squatter.created());
  {
    // The reporter's listening instance is older than the squatter's, and
    // clients reach the oldest first. A passing connection makes the
    // reporter listen on a newer one, so that the squatter's comes first.
    crash_handler::RawRegistrationClient passing(pipe_name);
    ASSERT_TRUE(passing.connected());
  }
  ASSERT_TRUE(squatter.Start());
  std::unique_ptr<Host> child =
      StartHost(L"access-violation", L"--crash-reporter-pid=" +
                                         base::NumberToString16(reporter_pid));
  EXPECT_TRUE(child->handler_installed());
  crash_handler::PipeSquatter::Visit visit = squatter.TakeVisit();
  EXPECT_TRUE(visit.connected);
  EXPECT_EQ(0u, visit.bytes_received);
  child->Go();
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), child->WaitForExit());
  EXPECT_EQ(1u, CrashFiles(L"crashlog-*.txt").size());
  parent->Go();
  EXPECT_EQ(0, parent->WaitForExit());
  EXPECT_TRUE(reporter.WaitForExitWithTimeout(kProcessTimeout, nullptr));
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

// The processes that |parent| started and that still exist.
std::vector<DWORD> GetChildProcesses(DWORD parent) {
  std::vector<DWORD> children;
  base::win::ScopedHandle snapshot(
      ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {sizeof(entry)};
  if (!snapshot.IsValid() || !::Process32FirstW(snapshot.Get(), &entry))
    return children;
  do {
    if (entry.th32ParentProcessID == parent && entry.th32ProcessID != parent)
      children.push_back(entry.th32ProcessID);
  } while (::Process32NextW(snapshot.Get(), &entry));
  return children;
}

// A reporter that reported a crashed one, as the test saw it end.
struct ReporterRun {
  DWORD pid = 0;
  int exit_code = -1;
  // From its start to its end.
  int64_t lived_ms = -1;
};

int64_t LifetimeMs(const base::Process& process) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process.Handle(), &created, &exited, &kernel, &user))
    return -1;
  auto ticks = [](const FILETIME& time) {
    return static_cast<int64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
  };
  return (ticks(exited) - ticks(created)) / 10000;
}

// Waits for the reporters that report a crash of |reporter|, each started
// by the one before; those that still ran, in that order. One that had
// ended already had done all its work.
std::vector<ReporterRun> WaitForReportersBelow(DWORD reporter) {
  std::vector<ReporterRun> chain;
  std::vector<DWORD> waiting = GetChildProcesses(reporter);
  while (!waiting.empty()) {
    ReporterRun run;
    run.pid = waiting.front();
    waiting.erase(waiting.begin());
    base::Process process = base::Process::OpenWithAccess(
        run.pid, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION);
    if (!process.IsValid())
      continue;  // Gone already, with all it did.
    EXPECT_TRUE(
        process.WaitForExitWithTimeout(kReporterChainTimeout, &run.exit_code));
    run.lived_ms = LifetimeMs(process);
    chain.push_back(run);
    std::vector<DWORD> children = GetChildProcesses(run.pid);
    waiting.insert(waiting.end(), children.begin(), children.end());
  }
  return chain;
}

// How long a crashed reporter of these tests waits for the one that
// reports it, in place of the product's 20 s: on a busy machine a minidump
// of it can take longer, and a dump of a process that has gone fails. So
// every report here must be whole; the crashed reporter still ends as soon
// as it is released. Below the time the tests wait for each reporter.
constexpr char kTestCrashedReporterWaitMs[] = "90000";

// The limit of a crashed reporter's minidump, and of the dump in a V1
// file, that the reporters of these tests apply: under Wine every
// reporter's minidump is larger than the product's 512000 bytes.
constexpr char kTestReporterDumpLimit[] = "8000000";

// The parts of a V1 crash file: the two header lines, the metadata lines
// and the minidump, each without its marker; false when the markers are
// missing or out of order.
struct CrashFileV1 {
  std::string header;
  std::string metadata;
  std::string minidump;
};
bool SplitCrashFileV1(const std::string& bytes, CrashFileV1* file) {
  constexpr char kMetadata[] = "\r\n\r\nmetadata:\r\n";
  constexpr char kMinidump[] = "\r\nminidump:\r\n";
  const size_t metadata = bytes.find(kMetadata);
  if (metadata == std::string::npos)
    return false;
  const size_t metadata_start = metadata + strlen(kMetadata);
  const size_t minidump = bytes.find(kMinidump, metadata_start);
  if (minidump == std::string::npos)
    return false;
  file->header = bytes.substr(0, metadata + 2);
  file->metadata = bytes.substr(metadata_start, minidump - metadata_start);
  file->minidump = bytes.substr(minidump + strlen(kMinidump));
  return true;
}

// Leaves a copy of |bytes| where KELVO_TEST_V1_FILE_COPY names, when it
// does, for the readers that run outside Wine (check_crashed_reporter.py).
void SaveCrashFileForReaders(const std::string& bytes) {
  const std::string path =
      GetEnvironmentVariableString("KELVO_TEST_V1_FILE_COPY");
  if (path.empty())
    return;
  EXPECT_TRUE(base::WriteFile(base::FilePath(base::UTF8ToWide(path)), bytes))
      << path;
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
    SetVariable("KELVO_TEST_REPORTER_DUMP_LIMIT", kTestReporterDumpLimit);
    SetVariable("KELVO_TEST_CRASHED_REPORTER_WAIT_MS",
                kTestCrashedReporterWaitMs);
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
  // exit code, and how long it took to end after the host started. Returns
  // once the reporters that report it have ended too (|chain|, in the
  // order they were started).
  int RunHostWithCrashingReporter(int64_t* milliseconds,
                                  std::vector<ReporterRun>* chain = nullptr) {
    ULONGLONG start = ::GetTickCount64();
    std::unique_ptr<Host> host = StartHost(L"", kNoMinidump);
    base::Process reporter = OpenReporter(*host);
    EXPECT_TRUE(reporter.IsValid());
    int exit_code = -1;
    EXPECT_TRUE(
        reporter.WaitForExitWithTimeout(kReporterChainTimeout, &exit_code));
    *milliseconds = static_cast<int64_t>(::GetTickCount64() - start);
    host->Go();
    EXPECT_EQ(0, host->WaitForExit());
    std::vector<ReporterRun> reporters =
        WaitForReportersBelow(host->reporter_pid());
    if (chain)
      *chain = reporters;
    return exit_code;
  }

  // The crash files the crash servers received since the last call, by
  // name: a zipped text log under its own name.
  std::map<std::string, std::string> TakeSentReports() {
    std::vector<test_server::RecordedRequest> requests = ServerRequests();
    std::map<std::string, std::string> files;
    for (size_t i = seen_requests_; i < requests.size(); ++i) {
      for (const test_server::FormPart& part : GetFileParts(requests[i])) {
        std::string name, content;
        if (ReadSingleEntryZip(part.body, &name, &content)) {
          files[part.filename.substr(0, part.filename.rfind('.')) + ".txt"] =
              content;
        } else {
          files[part.filename] = part.body;
        }
      }
    }
    seen_requests_ = requests.size();
    return files;
  }

  // Whether crash files are left in the temporary folder.
  bool HasReportFiles() {
    base::FileEnumerator enumerator(temp_, false, base::FileEnumerator::FILES,
                                    L"kelvo-crashlog-*");
    return !enumerator.Next().empty();
  }

  // The logs of the reporters that wrote one (the third keeps none): a
  // reporter whose log name is held by another makes its own.
  std::string ReporterLog() {
    std::string all;
    base::FileEnumerator logs(temp_, false, base::FileEnumerator::FILES,
                              L"kelvo_crashreporter*.log");
    for (base::FilePath log = logs.Next(); !log.empty(); log = logs.Next()) {
      std::string text;
      base::ReadFileToString(log, &text);
      all += text;
    }
    return all;
  }

  base::FilePath temp_;
  size_t seen_requests_ = 0;
  std::vector<std::unique_ptr<base::ScopedEnvironmentVariableOverride>>
      temp_overrides_;
  std::vector<std::unique_ptr<base::ScopedEnvironmentVariableOverride>>
      crash_overrides_;
  ScopedLastReporterCrash last_crash_;
};

// The second reporter writes a text log and a minidump of the crashed
// one, then releases it. A crash that the runtime reports through a
// handler ends the reporter with its crash code, as anywhere else. The
// dump's limit holds: a dump above it is not sent.
TEST_F(CrashedReporterTest, ACrashedReporterIsReportedByASecondOne) {
  struct {
    const char* kind;
    uint32_t code;
    bool minidump;
    // Replaces the tests' limit; a reporter's dump is far above it.
    const char* dump_limit = nullptr;
  } cases[] = {
      {"access-violation", EXCEPTION_ACCESS_VIOLATION, true},
      // Minidumps take seconds under Wine: the second case goes without.
      {"invalid-parameter", crash_handler::kInvalidParameterExceptionCode,
       false},
      {"pure-call", crash_handler::kPureVirtualCallExceptionCode, true,
       "100000"},
  };
  int reports = 0;
  for (const auto& test : cases) {
    SCOPED_TRACE(test.kind);
    last_crash_.SetDaysAgo(100);
    CrashReporters(test.kind);
    SetVariable("KELVO_TEST_REPORTER_DUMP_LIMIT",
                test.dump_limit ? test.dump_limit : kTestReporterDumpLimit);
    WritePrefs(test.minidump
                   ? kConsent
                   : R"({"user_experience_metrics":{"reporting_enabled":true},)"
                     R"("browser":{"flags":{"alternative-crash-logging":2}}})");
    int64_t milliseconds = 0;
    EXPECT_EQ(static_cast<int>(test.code),
              RunHostWithCrashingReporter(&milliseconds));
    ++reports;
    // Sent, and gone from the temporary folder; the three days begin.
    auto files = TakeSentReports();
    EXPECT_FALSE(HasReportFiles());
    int64_t days = -1;
    EXPECT_TRUE(GetDaysSinceLastCrashReporterCrash(&days));
    EXPECT_EQ(0, days);
    const bool dump_sent = test.minidump && !test.dump_limit;
    ASSERT_EQ(dump_sent ? 2u : 1u, files.size()) << ReporterLog();
    const std::string& text = files.rbegin()->second;  // ".txt" after ".dmp"
    char exception[64];
    snprintf(exception, sizeof(exception), " caused exception %X at address ",
             test.code);
    EXPECT_NE(std::string::npos, text.find("\r\ncrash_reporter_test_host.exe" +
                                           std::string(exception)));
    EXPECT_NE(std::string::npos,
              text.find("\r\n\r\nmetadata:\r\nprocess_type=\"crash_reporter\""
                        "\r\n\r\nThread: "));
    if (dump_sent) {
      const std::string& dump = files.begin()->second;
      EXPECT_TRUE(crash_report::IsWholeMinidump(dump));
      EXPECT_EQ("45.0.2531.0 816662",
                crash_report::ReadMinidumpStreams(dump)[0x10000]);
      // Gzip-encoded, as the collector wants it.
      std::vector<test_server::RecordedRequest> posts =
          FilterRequests(ServerRequests(), "POST");
      auto collector = std::find_if(
          posts.rbegin(), posts.rend(), [this](const auto& request) {
            return request.target == prefix_ + "/collector";
          });
      ASSERT_NE(posts.rend(), collector);
      EXPECT_EQ("gzip", collector->GetHeader("Content-Encoding"));
    } else if (test.dump_limit) {
      EXPECT_NE(
          std::string::npos,
          ReporterLog().find(std::string("more than ") + test.dump_limit));
    }
    EXPECT_EQ("{\"crash_reporter\":" + base::NumberToString(reports) + "}",
              ReadFile(user_data_.Append(L"crash_counters.json")));
  }
}

// A second reporter that crashes in turn is reported by a third, in a V1
// crash file, and released: the end of the chain.
TEST_F(CrashedReporterTest, ACrashedSecondReporterIsReportedByAThird) {
  CrashReporters("access-violation", "access-violation");
  // A crash server that keeps what it is sent but refuses it: a report of
  // the second that reached the servers would start the three days in
  // which the third reports nothing, and the second goes on sending while
  // its crash is reported.
  ASSERT_TRUE(server_.Script(prefix_ + "/refuse", R"([{"status": 500}])"));
  UseCrashServer("refuse");
  // The second reporter writes only its text log, so that its wait for the
  // third begins soon.
  WritePrefs(R"({"user_experience_metrics":{"reporting_enabled":true},)"
             R"("browser":{"flags":{"alternative-crash-logging":2}}})");
  int64_t milliseconds = 0;
  std::vector<ReporterRun> chain;
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION),
            RunHostWithCrashingReporter(&milliseconds, &chain));
  // The second crashed and ended once the third had written its file; the
  // third may have sent it and ended before the second was gone.
  ASSERT_FALSE(chain.empty());
  const ReporterRun& second = chain[0];
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), second.exit_code);
  EXPECT_LE(chain.size(), 2u);

  std::vector<std::string> v1_files;
  for (const auto& [name, bytes] : TakeSentReports()) {
    if (name.find("kelvo-crashlog-" + base::NumberToString(second.pid)) != 0)
      v1_files.push_back(bytes);
  }
  // The third reporter writes nothing but the V1 file, sent as it is.
  ASSERT_EQ(1u, v1_files.size()) << ReporterLog();
  CrashFileV1 file;
  ASSERT_TRUE(SplitCrashFileV1(v1_files[0], &file)) << v1_files[0];
  EXPECT_EQ(0u, file.header.find(
                    "KELVO-CRASHLOG V1 desktop 45.0.2531.0 816662 windows "
                    "x64 release\r\ncrash_reporter_test_host.exe caused "
                    "exception C0000005 at address "));
  EXPECT_EQ(std::string::npos, file.header.find("address 000000000000 "));
  EXPECT_EQ(file.header.size() - strlen(" (BASE: 00000000)\r\n"),
            file.header.find(" (BASE: 00000000)\r\n"));
  EXPECT_EQ("process_type=\"crash_reporter\"\r\n", file.metadata);
  EXPECT_TRUE(crash_report::IsWholeMinidump(file.minidump));
  EXPECT_EQ("45.0.2531.0 816662",
            crash_report::ReadMinidumpStreams(file.minidump)[0x10000]);
  SaveCrashFileForReaders(v1_files[0]);
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
    EXPECT_TRUE(TakeSentReports().empty());
    EXPECT_FALSE(HasReportFiles());
    EXPECT_FALSE(base::PathExists(user_data_.Append(L"crash_counters.json")));
  }
  // Whole days count: three and an hour are three.
  int64_t days = 0;
  last_crash_.SetDaysAgo(3);
  ASSERT_TRUE(GetDaysSinceLastCrashReporterCrash(&days));
  EXPECT_EQ(3, days);
}

// Consent is read before a crashed reporter is counted or reported: without
// it the crashed one is only released.
TEST_F(CrashReporterTest, WithoutConsentACrashedReporterIsOnlyReleased) {
  ScopedLastReporterCrash last_crash;
  last_crash.SetDaysAgo(100);
  // This process plays the crashed reporter, with an empty record.
  DWORD crashed = ::GetCurrentProcessId();
  base::win::ScopedHandle exception_event(::CreateEventW(
      nullptr, TRUE, FALSE,
      FormatCrashReporterObjectName(kCrashReporterExceptionEventPrefix, crashed)
          .c_str()));
  std::string output;
  int exit_code = -1;
  ASSERT_TRUE(base::GetAppOutputWithExitCode(
      L"\"" + HostPath() + L"\" " + UserDataSwitch() +
          L" --crash-reporter-parent-id=" + base::NumberToString16(crashed) +
          L" --crash-reporter-exception-info=" +
          base::NumberToString16(
              reinterpret_cast<uintptr_t>(GetCrashReporterExceptionInfo())),
      &output, &exit_code, kProcessTimeout));
  EXPECT_EQ(0, exit_code);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0),
            ::WaitForSingleObject(exception_event.Get(), 0));
  EXPECT_FALSE(base::PathExists(user_data_.Append(L"crash_counters.json")));
  EXPECT_TRUE(ServerRequests().empty());
}

// The files of a crashed reporter as a third reporter leaves them: sent as
// they are, and deleted, but a crash the servers refused does not start the
// three days without reports.
TEST_F(CrashReporterTest, CrashedReporterSentAsItIsOrRefused) {
  ScopedLastReporterCrash last_crash;
  const DWORD crashed = ::GetCurrentProcessId();
  const base::FilePath text =
      temp_dir_.GetPath().Append(L"kelvo-crashlog-9-1.txt");
  const base::FilePath dump =
      temp_dir_.GetPath().Append(L"kelvo-crashlog-9-1.dmp");
  ASSERT_TRUE(server_.Script(prefix_ + "/refuse", R"([{"status": 500}])"));
  for (const char* server : {"id", "refuse"}) {
    SCOPED_TRACE(server);
    last_crash.SetDaysAgo(100);
    UseCrashServer(server);
    SetVariable(kCollectorUrlEnvVar, CrashServerUrl(server));
    ASSERT_TRUE(base::WriteFile(text, "V1 file"));
    ASSERT_TRUE(base::WriteFile(dump, "MDMP"));
    const size_t before = ServerRequests().size();
    SendCrashedReporterReport(crashed, true, {text, dump});
    EXPECT_FALSE(base::PathExists(text));
    EXPECT_FALSE(base::PathExists(dump));
    int64_t days = 0;
    ASSERT_TRUE(GetDaysSinceLastCrashReporterCrash(&days));
    EXPECT_EQ(server == std::string("id") ? 0 : 100, days);

    std::vector<test_server::RecordedRequest> requests = ServerRequests();
    ASSERT_EQ(before + 2, requests.size());
    // The log carries no field but the user's address (none here).
    EXPECT_TRUE(GetFormFields(requests[before]).empty());
    ASSERT_EQ(1u, GetFileParts(requests[before]).size());
    EXPECT_EQ("kelvo-crashlog-9-1.txt",
              GetFileParts(requests[before])[0].filename);
    EXPECT_EQ("V1 file", GetFileParts(requests[before])[0].body);
    EXPECT_FALSE(requests[before + 1].HasHeader("Content-Encoding"));
    std::map<std::string, std::string> fields;
    for (const auto& [name, value] : GetFormFields(requests[before + 1]))
      fields[name] = value;
    EXPECT_EQ(10u, fields.size());
    EXPECT_EQ("crash_reporter", fields["ProcessType"]);
    EXPECT_EQ("KelvoDesktop", fields["ProductName"]);
    EXPECT_EQ(1u, fields.count("InstallTime"));
  }
}

}  // namespace
}  // namespace crash_reporter
