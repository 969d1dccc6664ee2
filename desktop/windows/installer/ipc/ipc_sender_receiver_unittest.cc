// The installer mailslot end to end: IPCReceiver in this process, IPCSender
// here or in ipc_test_sender.exe playing a backend.

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/message_loop/message_loop.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/run_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/threading/platform_thread.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/ipc_receiver.h"
#include "desktop/windows/installer/ipc/ipc_sender.h"
#include "desktop/windows/installer/ipc/ipc_util.h"
#include "desktop/windows/installer/ipc/mailslot_reader.h"
#include "desktop/windows/installer/ipc/mailslot_security.h"
#include "desktop/windows/installer/ipc/mailslot_writer.h"
#include "desktop/windows/installer/test/installer_message_test_util.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using Calls = std::vector<std::string>;
using test::Int32Bytes;
using test::ScriptHex;
using test::SignatureBytes;
using test::WithPickleHeader;

constexpr base::TimeDelta kDeliveryTimeLimit = base::TimeDelta::FromSeconds(10);

// Shaped like the real names: a folder with a drive colon, backslashes and
// a blank; unique, since every test shares the prefix's namespace.
std::wstring UniqueEndpointName() {
  static int counter = 0;
  return GetInstallerEndpointName(L"C:\\Program Files\\Kelvo IPC " +
                                  std::to_wstring(::GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(++counter));
}

// Replays what the receiver delivers onto a recording observer.
class MessageCollector : public IPCReceiver::Delegate {
 public:
  void OnMessageReceived(const base::Pickle& message) override {
    ++delivered_;
    observer_.Replay(message);
    if (run_loop_ && calls().size() >= wanted_)
      run_loop_->Quit();
  }

  // Runs the loop until |count| calls were recorded, at most |time_limit|.
  bool WaitForCalls(size_t count,
                    base::TimeDelta time_limit = kDeliveryTimeLimit) {
    if (calls().size() < count) {
      base::RunLoop run_loop;
      run_loop_ = &run_loop;
      wanted_ = count;
      base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
          FROM_HERE, run_loop.QuitClosure(), time_limit);
      run_loop.Run();
      run_loop_ = nullptr;
    }
    return calls().size() >= count;
  }

  const Calls& calls() const { return observer_.calls(); }
  size_t delivered() const { return delivered_; }

 private:
  test::RecordingInstallerObserver observer_;
  size_t delivered_ = 0;
  base::RunLoop* run_loop_ = nullptr;
  size_t wanted_ = 0;
};

struct SenderResult {
  bool finished = false;
  int exit_code = -1;
  std::string output;
};

class IPCTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  // The command line of ipc_test_sender.exe running |script|.
  std::wstring SenderCommand(const std::wstring& name,
                             const std::vector<std::string>& script,
                             bool direct) {
    std::string text;
    for (const std::string& line : script)
      text += line + "\n";
    const base::FilePath file = temp_dir_.GetPath().AppendASCII(
        "script" + std::to_string(++scripts_) + ".txt");
    test::WriteTextFile(file, text);
    base::CommandLine command(
        test::GetBuildBinDir().AppendASCII("ipc_test_sender.exe"));
    command.AppendSwitchNative("mailslot", name);
    command.AppendSwitchPath("script", file);
    if (direct)
      command.AppendSwitch("direct");
    return command.GetCommandLineString();
  }

  // Runs the sender to its end. The receiver meanwhile queues what it reads
  // for this thread, which delivers it on the next WaitForCalls.
  SenderResult RunSender(const std::wstring& name,
                         const std::vector<std::string>& script,
                         bool direct = false) {
    SenderResult result;
    result.finished = base::GetAppOutputWithExitCode(
        SenderCommand(name, script, direct), &result.output, &result.exit_code,
        base::TimeDelta::FromSeconds(30));
    return result;
  }

  base::Process LaunchSender(const std::wstring& name,
                             const std::vector<std::string>& script) {
    base::LaunchOptions options;
    options.start_hidden = true;
    return base::LaunchProcess(SenderCommand(name, script, false), options);
  }

  base::MessageLoop loop_;
  base::ScopedTempDir temp_dir_;
  int scripts_ = 0;
};

TEST_F(IPCTest, EveryMessageTypeCrossesFromTwoBackendsInTurn) {
  // Texts that fill a message to exactly 2048 bytes: 500 units and 1004
  // bytes, non-ASCII both.
  std::wstring largest_text;
  while (largest_text.size() < 498)
    largest_text += L"\u00c4\U0001F600";
  largest_text += L"\u00e4\u00e4";
  std::string largest_detail;
  for (int i = 0; i < 502; ++i)
    largest_detail += "\xC3\xA9";
  ASSERT_EQ(kMaxInstallerMessageSize,
            MakeErrorMessage(1, largest_text, largest_detail)->size());

  MessageCollector collector;
  IPCReceiver receiver(&collector);
  const std::wstring name = UniqueEndpointName();
  ASSERT_TRUE(receiver.Connect(name));
  SenderResult first = RunSender(
      name, {"connect", "folder", "starting 1", "returned", "total 17", "step",
             "error 37062 " + ScriptHex(base::WideToUTF8(largest_text)) + " " +
                 ScriptHex(largest_detail),
             "error 37053 - -",
             // Refused by the sender; the rest goes on.
             "big 2052", "success"});  // No "close": the destructor closes.
  SenderResult second = RunSender(
      name,
      {"connect", "total 3", "error 37057 - " + ScriptHex("busy"), "close"});
  EXPECT_TRUE(first.finished && second.finished);
  EXPECT_EQ(0, first.exit_code);
  EXPECT_EQ(0, second.exit_code);
  EXPECT_NE(std::string::npos, first.output.find("connect 1"));

  const Calls expected = {"folder", "starting(1)", "returned", "total(17)",
                          "step",
                          "error(37062," + base::WideToUTF8(largest_text) +
                              "," + largest_detail + ")",
                          "error(37053,,)", "success",
                          // The second backend, as after a hand-over.
                          "total(3)", "error(37057,,busy)"};
  EXPECT_TRUE(collector.WaitForCalls(expected.size()));
  EXPECT_EQ(expected, collector.calls());
  EXPECT_EQ(expected.size(), collector.delivered());
}

TEST_F(IPCTest, BatchedMessagesKeepTheirPlaceAndAllArrive) {
  MessageCollector collector;
  IPCReceiver receiver(&collector);
  const std::wstring name = UniqueEndpointName();
  ASSERT_TRUE(receiver.Connect(name));
  IPCSender sender;
  ASSERT_TRUE(sender.Connect(name));

  // Batched steps go out ahead of the message sent at once behind them.
  sender.Send(MakeTotalStepsMessage(4));
  for (int i = 0; i < 3; ++i)
    sender.SendBatched(MakeStepMessage());
  sender.Send(MakeInstallFolderCreatedMessage());
  Calls expected = {"total(4)", "step", "step", "step", "folder"};
  EXPECT_TRUE(collector.WaitForCalls(expected.size()));
  EXPECT_EQ(expected, collector.calls());

  // A batched step leaves on its own when nothing follows it.
  sender.SendBatched(MakeStepMessage());
  expected.push_back("step");
  EXPECT_TRUE(collector.WaitForCalls(expected.size()));
  EXPECT_EQ(expected, collector.calls());

  // Close writes what is still batched.
  sender.SendBatched(MakeStepMessage());
  sender.SendBatched(MakeStepMessage());
  sender.Close();
  expected.insert(expected.end(), {"step", "step"});
  EXPECT_TRUE(collector.WaitForCalls(expected.size()));
  EXPECT_EQ(expected, collector.calls());
}

TEST_F(IPCTest, EmptyMessagesWakeTheReaderAndAreNotDelivered) {
  base::ScopedLogCapture log;
  MessageCollector collector;
  IPCReceiver receiver(&collector);
  const std::wstring name = UniqueEndpointName();
  ASSERT_TRUE(receiver.Connect(name));
  base::win::ScopedHandle writer =
      MailslotWriter::OpenMailslot(GetMailslotFullName(name));
  ASSERT_TRUE(writer.IsValid());
  // More than the failures in a row after which the reader gives up.
  for (int i = 0; i < 30; ++i)
    MailslotWriter::WriteEmptyMessage(writer.Get());
  IPCSender sender;
  ASSERT_TRUE(sender.Connect(name));
  sender.Send(MakeSuccessMessage());

  EXPECT_TRUE(collector.WaitForCalls(1));
  EXPECT_EQ(Calls({"success"}), collector.calls());
  EXPECT_EQ(1u, collector.delivered());
  EXPECT_EQ(0u, log.Count("Cannot read from mailslot"));
}

TEST_F(IPCTest, MalformedAndOversizeBlocksAreDroppedAndLaterOnesArrive) {
  const std::string signature = SignatureBytes();
  const std::string step = WithPickleHeader(signature + Int32Bytes(4));
  const std::vector<std::string> script = {
      "connect",
      "raw -",
      "raw " + ScriptHex(step.substr(0, 20)),
      "step",
      "raw " + ScriptHex(WithPickleHeader(signature + Int32Bytes(7))),
      // The largest message passes; anything bigger is refused whole, also
      // when the read cuts it to the buffer.
      "big 2048",
      "big 2052",
      "big 10000",
      "success",
      "close",
  };
  base::ScopedLogCapture log;
  MessageCollector collector;
  IPCReceiver receiver(&collector);
  const std::wstring name = UniqueEndpointName();
  ASSERT_TRUE(receiver.Connect(name));
  SenderResult result = RunSender(name, script, /*direct=*/true);
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(0, result.exit_code);

  const Calls expected = {"step", "step", "success"};
  EXPECT_TRUE(collector.WaitForCalls(expected.size()));
  EXPECT_EQ(expected, collector.calls());
  EXPECT_EQ(1u, log.Count("Dropping a mailslot message of 2052 bytes"));
  EXPECT_EQ(1u, log.Count("Dropping a mailslot message of 4096 bytes"));
}

TEST_F(IPCTest, CloseIsBoundedWhenNobodyReads) {
  const std::wstring name = UniqueEndpointName();
  // A front end that never reads: its mailslot fills up.
  base::win::ScopedHandle slot(::CreateMailslotW(
      GetMailslotFullName(name).c_str(), kMaxInstallerMessageSize, 0, nullptr));
  ASSERT_TRUE(slot.IsValid());
  base::ScopedLogCapture log;
  IPCSender sender;
  ASSERT_TRUE(sender.Connect(name));
  constexpr int kMessages = 200;
  const base::TimeTicks first_send = base::TimeTicks::Now();
  for (int i = 0; i < kMessages; ++i)
    sender.Send(MakeErrorMessage(37055, L"", std::string(1990, 'e')));
  const base::TimeTicks start = base::TimeTicks::Now();
  sender.Close();
  const base::TimeTicks end = base::TimeTicks::Now();
  // One wait, not one per message (200 s): a margin that a loaded machine
  // never uses up, far below the waits of every message.
  EXPECT_LT(end - start, MailslotWriter::kWriteTimeLimit * 30);
  // The message that found the mailslot full was given its time for a
  // reader before it was dropped: Close writes every message sent before
  // it, and that wait began after the first send.
  EXPECT_GE(end - first_send, MailslotWriter::kWriteTimeLimit);
  // Wine's mailslot fills up: one wait, then no more.
  EXPECT_EQ(1u, log.Count("not waiting for the next ones"));
  EXPECT_TRUE(log.Contains("Messages unsent: "));
}

// Reads |slot| (made with a short read time-out) until a success message
// arrives, at most |time_limit|; other messages are skipped.
bool ReadUntilSuccess(HANDLE slot, base::TimeDelta time_limit) {
  const base::TimeTicks end = base::TimeTicks::Now() + time_limit;
  std::vector<char> buffer(2 * kMaxInstallerMessageSize);
  while (base::TimeTicks::Now() < end) {
    DWORD size = 0;
    if (!::ReadFile(slot, buffer.data(), static_cast<DWORD>(buffer.size()),
                    &size, nullptr) ||
        size == 0) {
      continue;
    }
    InstallerMessage message;
    if (DecodeInstallerMessage(
            base::Pickle(buffer.data(), static_cast<int>(size)), &message) &&
        message.type == IPC_MESSAGE_SUCCESS) {
      return true;
    }
  }
  return false;
}

// The result of an installation is not dropped while its front end lives:
// not when the front end reads late, not when its mailslot is not there
// for a while.
TEST_F(IPCTest, ResultOutlastsAFullMailslotThatIsReadLate) {
  const std::wstring name = UniqueEndpointName();
  base::win::ScopedHandle slot(
      ::CreateMailslotW(GetMailslotFullName(name).c_str(),
                        kMaxInstallerMessageSize, 20, nullptr));
  ASSERT_TRUE(slot.IsValid());
  base::win::ScopedHandle front_end(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::ScopedLogCapture log;
  IPCSender sender;
  ASSERT_TRUE(sender.Connect(name, {front_end.Get()}));
  for (int i = 0; i < 200; ++i)
    sender.Send(MakeErrorMessage(37055, L"", std::string(1990, 'e')));
  sender.SendResult(MakeSuccessMessage());
  // Nothing is read for well beyond the time an ordinary message waits.
  base::PlatformThread::Sleep(MailslotWriter::kWriteTimeLimit * 3);
  EXPECT_EQ(1u, log.Count("not waiting for the next ones"))
      << "the mailslot never filled up";
  EXPECT_TRUE(ReadUntilSuccess(slot.Get(), kDeliveryTimeLimit));
  sender.Close();
}

TEST_F(IPCTest, ResultWaitsForTheMailslotToAppear) {
  const std::wstring name = UniqueEndpointName();
  base::win::ScopedHandle front_end(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  IPCSender sender;
  EXPECT_FALSE(sender.Connect(name, {front_end.Get()}));
  sender.Send(MakeTotalStepsMessage(3));
  sender.SendResult(MakeSuccessMessage());
  base::PlatformThread::Sleep(MailslotWriter::kWriteTimeLimit * 2);

  MessageCollector collector;
  IPCReceiver receiver(&collector);
  ASSERT_TRUE(receiver.Connect(name));
  // The step count went while nobody listened; the result did not.
  EXPECT_TRUE(collector.WaitForCalls(1));
  EXPECT_EQ(Calls({"success"}), collector.calls());
  sender.Close();
}

// Without a front end to wait for, a result is tried once; once the front
// end has gone, or at the time limit, it is given up.
TEST_F(IPCTest, ResultIsGivenUpWithoutAFrontEndToReadIt) {
  const std::wstring full_name = GetMailslotFullName(UniqueEndpointName());
  {
    base::ScopedLogCapture log;
    {
      MailslotWriter writer(full_name, base::win::ScopedHandle(), {});
      const base::TimeTicks start = base::TimeTicks::Now();
      EXPECT_FALSE(writer.WriteResult(MakeSuccessMessage()));
      EXPECT_LT(base::TimeTicks::Now() - start,
                MailslotWriter::kResultTimeLimit / 2);
    }
    EXPECT_TRUE(log.Contains("Messages unsent: 1"));
  }
  {
    std::vector<base::win::ScopedHandle> front_end;
    front_end.emplace_back(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE gone = front_end[0].Get();
    MailslotWriter writer(full_name, base::win::ScopedHandle(),
                          std::move(front_end));
    std::thread front_end_ends([gone] {
      ::Sleep(300);
      ::SetEvent(gone);
    });
    base::ScopedLogCapture log;
    const base::TimeTicks start = base::TimeTicks::Now();
    EXPECT_FALSE(writer.WriteResult(MakeSuccessMessage()));
    front_end_ends.join();
    EXPECT_LT(base::TimeTicks::Now() - start,
              MailslotWriter::kResultTimeLimit / 2);
    EXPECT_TRUE(log.Contains("no longer reads"));
  }
  {
    std::vector<base::win::ScopedHandle> front_end;
    front_end.emplace_back(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    MailslotWriter writer(full_name, base::win::ScopedHandle(),
                          std::move(front_end));
    base::ScopedLogCapture log;
    const base::TimeDelta limit = base::TimeDelta::FromMilliseconds(500);
    const base::TimeTicks start = base::TimeTicks::Now();
    EXPECT_FALSE(writer.WriteResult(MakeSuccessMessage(), limit));
    EXPECT_GE(base::TimeTicks::Now() - start, limit);
    EXPECT_TRUE(log.ContainsError("Cannot write the result message"));
  }
}

TEST_F(IPCTest, ReceiverClosedWhileABackendStillWrites) {
  const std::wstring name = UniqueEndpointName();
  std::vector<std::string> script = {"connect"};
  for (int i = 0; i < 20; ++i)
    script.push_back("step");
  script.push_back("sleep 300");
  for (int i = 0; i < 300; ++i)
    script.push_back("error 37055 - " + ScriptHex(std::string(1000, 'e')));
  script.push_back("success");
  script.push_back("close");

  auto collector = std::make_unique<MessageCollector>();
  auto receiver = std::make_unique<IPCReceiver>(collector.get());
  ASSERT_TRUE(receiver->Connect(name));
  base::Process backend = LaunchSender(name, script);
  ASSERT_TRUE(backend.IsValid());
  EXPECT_TRUE(collector->WaitForCalls(20));
  receiver.reset();

  int exit_code = -1;
  EXPECT_TRUE(backend.WaitForExitWithTimeout(base::TimeDelta::FromSeconds(15),
                                             &exit_code))
      << "the backend hangs on a mailslot nobody reads";
  EXPECT_EQ(0, exit_code);
  if (exit_code == -1)
    backend.Terminate(1, true);
  // The name is free for the next front end.
  IPCReceiver next(collector.get());
  EXPECT_TRUE(next.Connect(name));
}

// The mailslot's name is predictable: its descriptor must keep other users'
// processes from writing messages into it.
TEST(MailslotSecurityTest, OnlyTheUserAndAdministratorsMayOpenTheMailslot) {
  const std::wstring user = test::CurrentUserSid();
  ASSERT_FALSE(user.empty());
  EXPECT_EQ(L"D:P(A;;GA;;;" + user + L")(A;;GA;;;BA)",
            MailslotSecurity::GetDescriptorText());

  base::win::ScopedHandle slot =
      MailslotReader::CreateMailslot(GetMailslotFullName(UniqueEndpointName()));
  ASSERT_TRUE(slot.IsValid());
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(
      static_cast<DWORD>(ERROR_SUCCESS),
      ::GetSecurityInfo(slot.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, &dacl, nullptr, &descriptor));
  wchar_t* text = nullptr;
  ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
      descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
  const std::wstring sddl(text);
  ::LocalFree(text);
  ::LocalFree(descriptor);
  // Everyone, the world and other users' groups are not admitted.
  ASSERT_NE(nullptr, dacl);
  EXPECT_EQ(2u, dacl->AceCount) << sddl;
  EXPECT_NE(std::wstring::npos, sddl.find(L";;;" + user + L")")) << sddl;
  EXPECT_NE(std::wstring::npos, sddl.find(L";;;BA)")) << sddl;
  EXPECT_EQ(std::wstring::npos, sddl.find(L";;;WD)")) << sddl;
  EXPECT_EQ(std::wstring::npos, sddl.find(L";;;BU)")) << sddl;
}

}  // namespace
}  // namespace installer
