#include "components/crash_handler/crash_generation_server.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/synchronization/lock.h"
#include "base/threading/simple_thread.h"
#include "base/win/scoped_handle.h"
#include "components/crash_handler/client_info.h"
#include "components/crash_handler/crash_handler_types.h"
#include "components/crash_handler/registration_protocol.h"
#include "components/crash_handler/test/raw_registration_client.h"
#include "gtest/gtest.h"

namespace crash_handler {
namespace {

constexpr base::TimeDelta kChildTimeout = base::TimeDelta::FromSeconds(30);
constexpr DWORD kEventTimeoutMs = 10000;

// What the server's callback saw of one crashed client.
struct Report {
  DWORD pid = 0;
  DWORD thread_id = 0;
  bool exception_read = false;
  DWORD code = 0;
  MDRawAssertionInfo assertion = {};
  std::map<std::wstring, std::wstring> keys;
};

std::wstring KeyValue(const Report& report, const std::wstring& name) {
  auto it = report.keys.find(name);
  return it == report.keys.end() ? L"<missing>" : it->second;
}

// The dump callback's context: records every report, and can hold a report
// until the test releases it.
class ReportRecorder {
 public:
  ReportRecorder()
      : entered_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
        release_(::CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

  static void OnDumpRequest(void* context, const ClientInfo* client) {
    static_cast<ReportRecorder*>(context)->Record(*client);
  }

  // Later reports wait in the callback until Release.
  void Hold() { ::ResetEvent(release_.Get()); }
  void Release() { ::SetEvent(release_.Get()); }
  bool WaitUntilEntered() {
    return ::WaitForSingleObject(entered_.Get(), kEventTimeoutMs) ==
           WAIT_OBJECT_0;
  }

  std::vector<Report> reports() {
    base::AutoLock lock(lock_);
    return reports_;
  }
  int max_concurrent() {
    base::AutoLock lock(lock_);
    return max_concurrent_;
  }

 private:
  void Record(const ClientInfo& client) {
    Report report;
    report.pid = client.pid();
    report.thread_id = client.ReadCrashedThreadId();
    uint64_t address = 0;
    report.exception_read = client.ReadExceptionRecord(&report.code, &address);
    client.ReadAssertionInfo(&report.assertion);
    CustomClientInfo keys = {};
    if (client.GetCustomInfo(&keys)) {
      for (size_t i = 0; i < keys.count; ++i)
        report.keys[keys.entries[i].name] = keys.entries[i].value;
    }
    {
      base::AutoLock lock(lock_);
      max_concurrent_ = std::max(max_concurrent_, ++running_);
    }
    ::SetEvent(entered_.Get());
    ::WaitForSingleObject(release_.Get(), kEventTimeoutMs);
    base::AutoLock lock(lock_);
    --running_;
    reports_.push_back(report);
  }

  base::win::ScopedHandle entered_;
  base::win::ScopedHandle release_;
  base::Lock lock_;
  std::vector<Report> reports_;
  int running_ = 0;
  int max_concurrent_ = 0;
};

std::wstring UniqueName(const wchar_t* prefix) {
  static int counter = 0;
  return prefix + base::NumberToString16(::GetCurrentProcessId()) + L"_" +
         base::NumberToString16(++counter);
}

// An event that children open by its name.
class NamedEvent {
 public:
  NamedEvent()
      : name_(UniqueName(L"KelvoCrashHandlerGo")),
        event_(::CreateEventW(nullptr, TRUE, FALSE, name_.c_str())) {}
  const std::wstring& name() const { return name_; }
  void Signal() { ::SetEvent(event_.Get()); }

 private:
  std::wstring name_;
  base::win::ScopedHandle event_;
};

class CrashGenerationServerTest : public testing::Test {
 protected:
  void SetUp() override {
    pipe_name_ = UniqueName(L"\\\\.\\pipe\\KelvoCrashHandlerTest");
    server_ = std::make_unique<CrashGenerationServer>(
        pipe_name_, nullptr, &ReportRecorder::OnDumpRequest, &recorder_);
    ASSERT_TRUE(server_->Start());
  }

  // The child expects the server in |server_pid|, by default this process.
  base::Process StartChild(const std::wstring& action,
                           const std::wstring& event_name = L"",
                           DWORD server_pid = ::GetCurrentProcessId()) {
    wchar_t self[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, length);
    dir.resize(dir.rfind(L'\\') + 1);
    std::wstring command =
        L"\"" + dir + L"crash_handler_test_child.exe\" " + pipe_name_ + L" " +
        base::NumberToString16(server_pid) + L" " + action + L" " + event_name;
    return base::LaunchProcess(command, base::LaunchOptions());
  }

  // The child's exit code, or -1 when it did not end in time.
  static int WaitForExit(const base::Process& child) {
    int exit_code = -1;
    if (!child.WaitForExitWithTimeout(kChildTimeout, &exit_code)) {
      child.Terminate(1, false);
      return -1;
    }
    return exit_code;
  }

  std::vector<Report> ReportsOf(DWORD pid) {
    std::vector<Report> result;
    for (const Report& report : recorder_.reports()) {
      if (report.pid == pid)
        result.push_back(report);
    }
    return result;
  }

  std::wstring pipe_name_;
  ReportRecorder recorder_;
  std::unique_ptr<CrashGenerationServer> server_;
};

// Abort and a throw on another thread are left to the reporter's end-to-end
// test, which checks the code of every crash kind.
TEST_F(CrashGenerationServerTest, EachCrashKindIsReportedAndEndsWithItsCode) {
  constexpr DWORD kNoReport = 0;
  struct {
    const wchar_t* action;
    DWORD exit_code;
    DWORD reported_code;
    uint32_t assertion_type;
  } cases[] = {
      {L"access-violation", EXCEPTION_ACCESS_VIOLATION,
       EXCEPTION_ACCESS_VIOLATION, kAssertionTypeUnknown},
      {L"pure-call", kPureVirtualCallExceptionCode,
       kPureVirtualCallExceptionCode, kAssertionTypePureVirtualCall},
      {L"invalid-parameter", kInvalidParameterExceptionCode,
       kInvalidParameterExceptionCode, kAssertionTypeInvalidParameter},
      // Debug exceptions are reported only when the client asks for them.
      {L"breakpoint", EXCEPTION_BREAKPOINT, kNoReport, kAssertionTypeUnknown},
      {L"breakpoint-handled", EXCEPTION_BREAKPOINT, EXCEPTION_BREAKPOINT,
       kAssertionTypeUnknown},
      // The report of a caught exception lets the client go on.
      {L"write-dump", 1, 0xE0000042, kAssertionTypeUnknown},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.action);
    base::Process child = StartChild(test.action);
    ASSERT_TRUE(child.IsValid());
    EXPECT_EQ(static_cast<int>(test.exit_code), WaitForExit(child));
    std::vector<Report> reports = ReportsOf(child.Pid());
    if (test.reported_code == kNoReport) {
      EXPECT_TRUE(reports.empty());
      continue;
    }
    ASSERT_EQ(1u, reports.size());
    const Report& report = reports[0];
    EXPECT_NE(0u, report.thread_id);
    EXPECT_TRUE(report.exception_read);
    EXPECT_EQ(test.reported_code, report.code);
    EXPECT_EQ(test.assertion_type, report.assertion.type);
    EXPECT_EQ(L"crash-test", KeyValue(report, L"process_type"));
    EXPECT_EQ(L"1", KeyValue(report, L"child"));
    uint64_t uptime = 0;
    EXPECT_TRUE(base::StringToUint64(KeyValue(report, L"ptime"), &uptime));
    if (test.assertion_type == kAssertionTypeInvalidParameter) {
      EXPECT_STREQ(L"buffer != nullptr", report.assertion.expression);
      EXPECT_STREQ(L"strcpy_s", report.assertion.function);
      EXPECT_EQ(42u, report.assertion.line);
    }
  }
}

// Destroys the server on a thread of its own, so that the test can watch
// the destruction wait.
class ServerDestroyer : public base::SimpleThread {
 public:
  explicit ServerDestroyer(std::unique_ptr<CrashGenerationServer> server)
      : SimpleThread("ServerDestroyer"),
        server_(std::move(server)),
        done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  void Run() override {
    server_.reset();
    ::SetEvent(done_.Get());
  }
  bool WaitForDone(DWORD timeout_ms) {
    return ::WaitForSingleObject(done_.Get(), timeout_ms) == WAIT_OBJECT_0;
  }

 private:
  std::unique_ptr<CrashGenerationServer> server_;
  base::win::ScopedHandle done_;
};

// Two held reports run at once, and destroying the server waits for them.
TEST_F(CrashGenerationServerTest, ReportsRunConcurrentlyAndDelayDestruction) {
  NamedEvent go;
  recorder_.Hold();
  base::Process first = StartChild(L"crash-on-event", go.name());
  base::Process second = StartChild(L"crash-on-event", go.name());
  ASSERT_TRUE(first.IsValid() && second.IsValid());
  go.Signal();
  ASSERT_TRUE(recorder_.WaitUntilEntered());
  ASSERT_TRUE(recorder_.WaitUntilEntered());
  EXPECT_EQ(2, recorder_.max_concurrent());

  ServerDestroyer destroyer(std::move(server_));
  ASSERT_TRUE(destroyer.Start());
  EXPECT_FALSE(destroyer.WaitForDone(300));
  recorder_.Release();
  EXPECT_TRUE(destroyer.WaitForDone(kEventTimeoutMs));
  destroyer.Join();
  EXPECT_EQ(2u, recorder_.reports().size());
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), WaitForExit(first));
  EXPECT_EQ(static_cast<int>(EXCEPTION_ACCESS_VIOLATION), WaitForExit(second));
}

TEST_F(CrashGenerationServerTest, RefusesHostileClientsAndKeepsServing) {
  // Another live process, whose memory a lying client would have us read.
  NamedEvent go;
  base::Process victim = StartChild(L"wait", go.name());
  ASSERT_TRUE(victim.IsValid());

  struct {
    const char* what;
    void (*change)(RegistrationMessage*, DWORD victim);
    size_t size = sizeof(RegistrationMessage);
  } cases[] = {
      {"another process's id",
       [](RegistrationMessage* m, DWORD victim) { m->pid = victim; }},
      {"1000 crash keys",
       [](RegistrationMessage* m, DWORD) { m->custom_info_count = 1000; }},
      {"a null thread id address",
       [](RegistrationMessage* m, DWORD) { m->thread_id_address = 0; }},
      {"a null table with entries",
       [](RegistrationMessage* m, DWORD) { m->custom_info_address = 0; }},
      {"an ack instead of a request",
       [](RegistrationMessage* m, DWORD) { m->tag = kRegistrationAck; }},
      {"half a message", [](RegistrationMessage*, DWORD) {},
       sizeof(RegistrationMessage) / 2},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    RawRegistrationClient client(pipe_name_);
    ASSERT_TRUE(client.connected());
    RegistrationMessage request = RawRegistrationClient::ValidRequest();
    test.change(&request, victim.Pid());
    EXPECT_FALSE(client.Register(request, test.size));
  }
  {
    // One that connects and says nothing holds the server only briefly.
    RawRegistrationClient silent(pipe_name_);
    ASSERT_TRUE(silent.connected());
    base::Process client = StartChild(L"write-dump");
    EXPECT_EQ(1, WaitForExit(client));
  }
  go.Signal();
  EXPECT_EQ(0, WaitForExit(victim));
  // Only the real client was ever served.
  std::vector<Report> reports = recorder_.reports();
  ASSERT_EQ(1u, reports.size());
  EXPECT_NE(victim.Pid(), reports[0].pid);
}

// A client registers only with the process it takes for its server: one
// that expects another process behind the pipe's name tells this server
// nothing.
TEST_F(CrashGenerationServerTest, ClientsRegisterOnlyWithTheServerTheyExpect) {
  NamedEvent go;
  base::Process other = StartChild(L"wait", go.name());
  ASSERT_TRUE(other.IsValid());
  constexpr int kNotRegistered = 90;
  base::Process client = StartChild(L"write-dump", L"", other.Pid());
  EXPECT_EQ(kNotRegistered, WaitForExit(client));
  go.Signal();
  EXPECT_EQ(0, WaitForExit(other));
  EXPECT_TRUE(ReportsOf(client.Pid()).empty());
  // The server took no harm: the next client is served.
  base::Process served = StartChild(L"write-dump");
  EXPECT_EQ(1, WaitForExit(served));
  EXPECT_EQ(1u, ReportsOf(served.Pid()).size());
}

TEST(RegistrationRequestTest, BoundsAndAddresses) {
  const DWORD self = ::GetCurrentProcessId();
  RegistrationMessage request = RawRegistrationClient::ValidRequest();
  EXPECT_EQ(RequestCheck::kAccepted, CheckRegistrationRequest(request, self));
  EXPECT_EQ(RequestCheck::kPidMismatch,
            CheckRegistrationRequest(request, self + 4));

  request.custom_info_count = kMaxCustomInfoCount;
  EXPECT_EQ(RequestCheck::kAccepted, CheckRegistrationRequest(request, self));
  request.custom_info_count = kMaxCustomInfoCount + 1;
  EXPECT_EQ(RequestCheck::kTooManyEntries,
            CheckRegistrationRequest(request, self));

  // No table at all is allowed; a table without an address is not.
  request.custom_info_count = 0;
  request.custom_info_address = 0;
  EXPECT_EQ(RequestCheck::kAccepted, CheckRegistrationRequest(request, self));
  request.custom_info_count = 1;
  EXPECT_EQ(RequestCheck::kNullAddress,
            CheckRegistrationRequest(request, self));

  request = RawRegistrationClient::ValidRequest();
  request.assertion_info_address = 0;
  EXPECT_EQ(RequestCheck::kNullAddress,
            CheckRegistrationRequest(request, self));
  request = RawRegistrationClient::ValidRequest();
  request.pid = 0;
  EXPECT_EQ(RequestCheck::kPidMismatch, CheckRegistrationRequest(request, 0));
}

}  // namespace
}  // namespace crash_handler
