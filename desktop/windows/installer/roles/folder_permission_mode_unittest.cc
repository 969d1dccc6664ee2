// The folder-permission mode with real named events and processes. Wine
// stores no file ACLs, so the folder's DACL lives in FakeSecurityAccess and
// is checked there as SDDL; the merged list itself is built by the system.

#include "desktop/windows/installer/roles/folder_permission_mode.h"

#include <windows.h>

#include <tlhelp32.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/waitable_event.h"
#include "base/test/scoped_log_capture.h"
#include "base/threading/platform_thread.h"
#include "base/threading/simple_thread.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr wchar_t kOriginalSddl[] =
    L"O:BAG:SYD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr base::TimeDelta kUndoDelay = base::TimeDelta::FromMilliseconds(300);
// Generous limits for what should happen at once, so that a slow machine
// does not fail the suite while a hang still does.
constexpr base::TimeDelta kPromptly = base::TimeDelta::FromSeconds(15);
constexpr DWORD kPromptlyMs = 15000;

bool IsSignaled(HANDLE event) {
  return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// Runs the mode on its own thread, as the tests must set and watch events
// while it blocks. A mode still running at the end of a failed test is
// released through |undo_event|.
class ModeThread : public base::SimpleThread {
 public:
  ModeThread(const base::CommandLine& command_line,
             base::TimeDelta undo_delay,
             HANDLE undo_event)
      : base::SimpleThread("folder_permission_mode"),
        command_line_(command_line),
        undo_delay_(undo_delay),
        undo_event_(undo_event),
        done_(base::WaitableEvent::ResetPolicy::MANUAL,
              base::WaitableEvent::InitialState::NOT_SIGNALED) {}
  ~ModeThread() override {
    if (!HasBeenStarted())
      return;
    if (!done_.IsSignaled())
      ::SetEvent(undo_event_);
    Join();
  }

  // Whether the mode ended within |timeout|.
  bool WaitUntilDone(base::TimeDelta timeout) {
    return done_.TimedWait(timeout);
  }

  void Run() override {
    RunFolderPermissionMode(command_line_, undo_delay_);
    done_.Signal();
  }

 private:
  const base::CommandLine command_line_;
  const base::TimeDelta undo_delay_;
  const HANDLE undo_event_;
  base::WaitableEvent done_;
};

class FolderPermissionModeTest : public testing::Test {
 protected:
  FolderPermissionModeTest() : override_(&fake_) {}

  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    // The unique folder gives every test its own event names.
    folder_ = temp_dir_.GetPath().Append(L"Install Folder");
    ASSERT_TRUE(GetUserName(&user_));
    user_sid_ = test::CurrentUserSid();
  }

  void TearDown() override {
    for (base::Process& process : processes_)
      process.Terminate(0, true);
  }

  bool Logged(const std::string& part) { return log_.Contains(part); }

  // An event as the unelevated installer creates it.
  base::win::ScopedHandle MakeEvent(const wchar_t* base_name,
                                    bool global,
                                    bool manual_reset) {
    std::wstring name = MakeKernelObjectName(folder_, base_name, global);
    base::win::ScopedHandle event(
        ::CreateEventW(nullptr, manual_reset, FALSE, name.c_str()));
    EXPECT_TRUE(event.IsValid()) << name;
    return event;
  }

  void CreateGrantEvents() {
    grant_ = MakeEvent(L"KelvoInstaller/GiveInstallPermission", false, false);
    undo_ =
        MakeEvent(L"KelvoInstaller/GiveInstallPermission/Undo", false, false);
  }

  // Starts a stand-in that plays the installer process being served.
  base::ProcessId StartServedProcess(int wait_ms) {
    std::wstring name =
        L"served" + base::NumberToString16(processes_.size()) + L".exe";
    base::FilePath exe =
        test::MakeStandIn(temp_dir_.GetPath(), name, 0, wait_ms);
    base::Process process =
        base::LaunchProcess(base::CommandLine(exe), base::LaunchOptions());
    EXPECT_TRUE(process.IsValid());
    base::ProcessId pid = process.Pid();
    processes_.push_back(std::move(process));
    return pid;
  }

  base::CommandLine GrantCommandLine(base::ProcessId served_pid) {
    base::CommandLine command_line(base::FilePath(L"installer.exe"));
    command_line.AppendSwitchPath(switches::kSetFolderPermission, folder_);
    command_line.AppendSwitchNative(switches::kPermissionsForUser, user_);
    command_line.AppendSwitchASCII(switches::kInitialPid,
                                   base::NumberToString(served_pid));
    return command_line;
  }

  // Registers the folder's descriptor with the fake; returns it as the fake
  // spells it.
  std::wstring SetOriginalDacl(const std::wstring& sddl = kOriginalSddl) {
    fake_.SetObject(folder_.value(), sddl);
    return Sddl();
  }

  std::wstring Sddl() { return fake_.GetSddl(folder_.value()); }

  // The entry that the mode adds for the user.
  std::wstring GrantEntry() { return L"(A;OICI;GA;;;" + user_sid_ + L")"; }

  bool HasGrant() { return Sddl().find(GrantEntry()) != std::wstring::npos; }

  std::vector<std::wstring> Calls(int writes) {
    std::vector<std::wstring> calls = {L"read " + folder_.value()};
    for (int i = 0; i < writes; ++i)
      calls.push_back(L"write_dacl " + folder_.value());
    return calls;
  }

  FakeSecurityAccess fake_;
  SecurityAccess::ScopedOverrideForTesting override_;
  base::ScopedTempDir temp_dir_;
  base::FilePath folder_;
  std::wstring user_;
  std::wstring user_sid_;
  base::win::ScopedHandle grant_;
  base::win::ScopedHandle undo_;
  std::vector<base::Process> processes_;
  base::ScopedLogCapture log_;
};

// ----------------------------------------------------------------------------
// Granting variant.

TEST_F(FolderPermissionModeTest, TemporaryGrantIsUndoneAfterTheUndoEvent) {
  const std::wstring original = SetOriginalDacl();
  CreateGrantEvents();
  ModeThread mode(GrantCommandLine(StartServedProcess(120000)), kUndoDelay,
                  undo_.Get());
  ASSERT_TRUE(mode.Start());

  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(grant_.Get(), kPromptlyMs));
  // The user's entry is merged into the list, which keeps every old entry.
  std::wstring granted = Sddl();
  size_t entry = granted.find(GrantEntry());
  ASSERT_NE(std::wstring::npos, entry) << granted;
  EXPECT_EQ(original, granted.erase(entry, GrantEntry().size()));
  EXPECT_FALSE(mode.WaitUntilDone(base::TimeDelta::FromMilliseconds(200)))
      << "The mode must hold the grant until the undo event";

  base::TimeTicks undo_time = base::TimeTicks::Now();
  ASSERT_TRUE(::SetEvent(undo_.Get()));
  ASSERT_TRUE(mode.WaitUntilDone(kPromptly));
  EXPECT_GE(base::TimeTicks::Now() - undo_time, kUndoDelay);
  EXPECT_EQ(original, Sddl());
  EXPECT_EQ(Calls(2), fake_.calls());
  EXPECT_TRUE(Logged("The installer is done with the folder"));
}

TEST_F(FolderPermissionModeTest, GrantIsUndoneWhenTheServedProcessEnds) {
  const std::wstring original = SetOriginalDacl();
  CreateGrantEvents();
  // The pause after the undo event would outlast the limit below: the end
  // of the served process restores at once.
  ModeThread mode(GrantCommandLine(StartServedProcess(120000)),
                  base::TimeDelta::FromSeconds(30), undo_.Get());
  ASSERT_TRUE(mode.Start());
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(grant_.Get(), kPromptlyMs));
  EXPECT_TRUE(HasGrant()) << Sddl();

  ASSERT_TRUE(processes_[0].Terminate(1, true));
  EXPECT_TRUE(mode.WaitUntilDone(kPromptly));
  EXPECT_EQ(original, Sddl());
  EXPECT_TRUE(Logged("installer process ended without releasing the folder"));
}

TEST_F(FolderPermissionModeTest, PermanentGrantOnANewFolderStays) {
  folder_ = folder_.Append(L"Kelvo").Append(L"Browser");
  SetOriginalDacl();
  CreateGrantEvents();
  ASSERT_FALSE(base::PathExists(folder_.DirName()));
  base::CommandLine command_line = GrantCommandLine(StartServedProcess(120000));
  command_line.AppendSwitch(switches::kPermanentPermissions);

  // No wait for the undo event: the call returns by itself.
  RunFolderPermissionMode(command_line, base::TimeDelta::FromHours(1));
  EXPECT_TRUE(base::DirectoryExists(folder_));
  EXPECT_TRUE(IsSignaled(grant_.Get()));
  EXPECT_TRUE(HasGrant()) << Sddl();
  EXPECT_EQ(Calls(1), fake_.calls());
}

TEST_F(FolderPermissionModeTest, FailuresGiveNoGrant) {
  // Owned by SYSTEM, so that the fake's locks hold.
  const std::wstring original =
      SetOriginalDacl(L"O:SYG:SYD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
  base::ProcessId served = StartServedProcess(120000);
  // The undo event is missing.
  grant_ = MakeEvent(L"KelvoInstaller/GiveInstallPermission", false, false);
  RunFolderPermissionMode(GrantCommandLine(served), kUndoDelay);
  EXPECT_TRUE(fake_.calls().empty());
  EXPECT_TRUE(Logged("Cannot open the event"));
  CreateGrantEvents();

  // No account.
  base::CommandLine no_user = GrantCommandLine(served);
  no_user.AppendSwitchNative(switches::kPermissionsForUser, L"");
  RunFolderPermissionMode(no_user, kUndoDelay);
  EXPECT_TRUE(fake_.calls().empty());

  // An initial process id that is no number, or names no process.
  for (const wchar_t* pid : {L"12ab", L"0"}) {
    base::CommandLine command_line = GrantCommandLine(served);
    command_line.AppendSwitchNative(switches::kInitialPid, pid);
    RunFolderPermissionMode(command_line, kUndoDelay);
    EXPECT_TRUE(fake_.calls().empty()) << pid;
  }
  // A served process that has ended (the test's handle keeps its id).
  base::ProcessId ended = StartServedProcess(0);
  ASSERT_TRUE(processes_.back().WaitForExitWithTimeout(kPromptly, nullptr));
  RunFolderPermissionMode(GrantCommandLine(ended), kUndoDelay);
  EXPECT_TRUE(fake_.calls().empty());

  // An access list that cannot be read, or written.
  fake_.Lock(folder_.value(), /*read=*/true, /*write=*/false);
  RunFolderPermissionMode(GrantCommandLine(served), kUndoDelay);
  EXPECT_EQ(Calls(0), fake_.calls());
  fake_.ClearCalls();
  fake_.Lock(folder_.value(), /*read=*/false, /*write=*/true);
  RunFolderPermissionMode(GrantCommandLine(served), kUndoDelay);
  EXPECT_EQ(Calls(1), fake_.calls());

  EXPECT_EQ(original, Sddl());
  EXPECT_FALSE(IsSignaled(grant_.Get()));
}

TEST_F(FolderPermissionModeTest, FolderWithoutAccessListIsLeftAlone) {
  SetOriginalDacl(L"O:BAG:SYD:NO_ACCESS_CONTROL");
  CreateGrantEvents();
  // Nothing is written, so there is nothing to undo and no wait.
  RunFolderPermissionMode(GrantCommandLine(StartServedProcess(120000)),
                          base::TimeDelta::FromHours(1));
  EXPECT_TRUE(IsSignaled(grant_.Get()));
  EXPECT_EQ(Calls(0), fake_.calls());
}

// ----------------------------------------------------------------------------
// Waiting variant.

class FolderPermissionWaitTest : public FolderPermissionModeTest {
 protected:
  void SetUp() override {
    FolderPermissionModeTest::SetUp();
    package_ = temp_dir_.GetPath().Append(L"Package Folder");
    test::MakeStandIn(package_, L"installer.exe", 5);
    ready_ = MakeEvent(L"KelvoInstaller/PackageReady", true, true);
    interrupted_ =
        MakeEvent(L"KelvoInstaller/InstallationInterrupted", true, true);
  }

  base::CommandLine WaitCommandLine(const std::wstring& initial_pid) {
    base::CommandLine command_line(base::FilePath(L"installer.exe"));
    command_line.AppendSwitchPath(switches::kSetFolderPermission, folder_);
    command_line.AppendSwitchNative(switches::kPermissionsForUser, user_);
    command_line.AppendSwitchASCII(switches::kCrashReporterPid, "4321");
    command_line.AppendSwitch(switches::kPermanentPermissions);
    command_line.AppendSwitch(switches::kRunUninstallBat);
    command_line.AppendSwitchPath(switches::kWaitForPackage, package_);
    command_line.AppendSwitchNative(switches::kInitialPid, initial_pid);
    return command_line;
  }

  std::wstring OwnPid() {
    return base::NumberToString16(base::GetCurrentProcId());
  }

  // The command lines the package's installer was started with.
  std::vector<std::string> InstallerRuns() {
    return test::StandInRuns(package_.Append(L"installer.exe"));
  }

  base::FilePath package_;
  base::win::ScopedHandle ready_;
  base::win::ScopedHandle interrupted_;
};

TEST_F(FolderPermissionWaitTest, HandsOverToThePackageInstaller) {
  ASSERT_TRUE(::SetEvent(ready_.Get()));
  RunFolderPermissionMode(WaitCommandLine(OwnPid()), kUndoDelay);

  std::vector<std::string> runs = InstallerRuns();
  ASSERT_EQ(1u, runs.size());
  const base::CommandLine run =
      base::CommandLine::FromString(base::UTF8ToWide(runs[0]));
  EXPECT_EQ(package_.Append(L"installer.exe"), run.GetProgram());
  // Only the switches of the grant; without `wait-for-package` the package's
  // installer grants itself.
  base::CommandLine::SwitchMap expected = {
      {switches::kSetFolderPermission, folder_.value()},
      {switches::kPermissionsForUser, user_},
      {switches::kCrashReporterPid, L"4321"},
      {switches::kPermanentPermissions, L""},
  };
  EXPECT_EQ(expected, run.GetSwitches());
  EXPECT_TRUE(run.GetArgs().empty());
  // Its exit code is known only once it has ended.
  EXPECT_TRUE(Logged("The package's installer ended with exit code 5"));
  // The waiting process grants nothing itself.
  EXPECT_TRUE(fake_.calls().empty());
}

TEST_F(FolderPermissionWaitTest, EndsWithoutStartWhenInterruptedOrIncomplete) {
  ASSERT_TRUE(::SetEvent(interrupted_.Get()));
  RunFolderPermissionMode(WaitCommandLine(OwnPid()), kUndoDelay);
  EXPECT_TRUE(Logged("The installation was interrupted"));

  ASSERT_TRUE(::ResetEvent(interrupted_.Get()));
  base::ProcessId initial = StartServedProcess(300);
  RunFolderPermissionMode(WaitCommandLine(base::NumberToString16(initial)),
                          kUndoDelay);
  EXPECT_TRUE(Logged("initial installer process ended before the package"));

  // The package is ready, but the initial process is unknown.
  ASSERT_TRUE(::SetEvent(ready_.Get()));
  RunFolderPermissionMode(WaitCommandLine(L"not a pid"), kUndoDelay);
  EXPECT_TRUE(InstallerRuns().empty());
}

// Ends this process's children named |name|; how many there were.
int EndChildrenNamed(const std::wstring& name) {
  base::win::ScopedHandle snapshot(
      ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid())
    return -1;
  int ended = 0;
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ParentProcessID != ::GetCurrentProcessId() ||
        _wcsicmp(entry.szExeFile, name.c_str()) != 0) {
      continue;
    }
    base::Process child = base::Process::OpenWithAccess(
        entry.th32ProcessID, PROCESS_TERMINATE | SYNCHRONIZE);
    if (child.IsValid() && child.Terminate(1, true))
      ++ended;
  }
  return ended;
}

TEST_F(FolderPermissionWaitTest, StopsWaitingForTheInstallerWithTheInitial) {
  // Both run until the test ends them.
  test::MakeStandIn(package_, L"installer.exe", 0, 120000);
  base::ProcessId initial = StartServedProcess(120000);
  ASSERT_TRUE(::SetEvent(ready_.Get()));
  ModeThread mode(WaitCommandLine(base::NumberToString16(initial)), kUndoDelay,
                  ready_.Get());
  mode.Start();
  const base::TimeTicks deadline = base::TimeTicks::Now() + kPromptly * 4;
  while (InstallerRuns().empty() && base::TimeTicks::Now() < deadline)
    base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(50));
  ASSERT_EQ(1u, InstallerRuns().size());

  processes_.back().Terminate(0, true);
  EXPECT_TRUE(mode.WaitUntilDone(kPromptly * 4))
      << "the mode waits for the package's installer";
  EXPECT_TRUE(Logged("ended while the package's installer runs"));
  // Still running: ending it also lets a mode that waits for it go.
  EXPECT_EQ(1, EndChildrenNamed(L"installer.exe"));
}

}  // namespace
}  // namespace installer
