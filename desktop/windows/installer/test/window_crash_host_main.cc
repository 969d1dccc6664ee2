// The installer window in a process of its own, for the tests of crashes
// inside window procedures:
//
//   window_crash_host.exe --user-data-dir=DIR --test-crash=KIND
//
// Started with "crash-reporter-parent-id" it is a crash reporter, as
// RunInstaller makes one. Otherwise it runs the client start-up of every
// installer process, writes "<reporter pid> <handler 0|1>" and a line end
// to standard output, shows the installer window in the UI run loop with
// the dialog dispatcher, as the interactive front end does, and crashes
// inside a procedure that the system calls:
//   dialog  another thread sends the main dialog a WM_NOTIFY whose header
//           cannot be read, which its dialog procedure reads;
//   task    while the cancel confirmation is up, a task of the UI loop,
//           which the message pump's window runs inside the box's modal
//           loop, writes through a null pointer.
// A crash handled by the window procedures' filter ends the process with 1.
// Exit codes of its own: 2 for an unknown kind, 3 when no window opened,
// 90 when the loop ended although it crashed (a box left up keeps it).

#include <windows.h>

#include <stdio.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "base/at_exit.h"
#include "base/bind.h"
#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/crash_reporter/crash_reporter_client.h"
#include "desktop/windows/crash_reporter/crash_reporter_main.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/process/crash_reporter_pid.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/test/installer_window_driver.h"
#include "desktop/windows/installer/test/window_capture.h"
#include "desktop/windows/installer/ui/installer_window.h"
#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"

namespace installer {
namespace {

constexpr int kUnknownKind = 2;
constexpr int kNoWindow = 3;
constexpr int kNotCrashed = 90;

// Read by the procedures at run time, so that no compiler can drop the
// access.
int* volatile g_null_pointer = nullptr;
// Below 64 KiB: never mapped.
constexpr LPARAM kUnreadableHeader = 0x10;

// Crashes once |dialog|'s message box is up; until then looks again.
void CrashInsideTheBox(HWND dialog) {
  if (!test::FindMessageBox(dialog)) {
    base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
        FROM_HERE, base::BindOnce(&CrashInsideTheBox, dialog),
        base::TimeDelta::FromMilliseconds(20));
    return;
  }
  *g_null_pointer = 1;
}

int ShowWindowAndCrash(const std::wstring& kind) {
  if (kind != L"dialog" && kind != L"task")
    return kUnknownKind;
  base::win::ScopedCOMInitializer com;
  base::MessageLoopForUI loop;
  const base::CommandLine no_switches(base::CommandLine::NO_PROGRAM);
  Settings settings(no_switches, false, false, false, base::FilePath(), false,
                    1);
  while (settings.IsStatusPending())
    test::PumpUntilIdle(nullptr);
  test::RefusingUICallbackRunner no_ui;
  InstallerStats stats(&no_ui);
  std::unique_ptr<InstallerWindow> window =
      InstallerWindow::Init(&settings, stats.root(), false);
  if (!window)
    return kNoWindow;
  base::RunLoop run_loop(Win32DialogDispatcher::GetInstance());
  // A crash that something swallowed ends the loop at once.
  base::OnceClosure quit = run_loop.QuitClosure();
  scoped_refptr<base::SingleThreadTaskRunner> task_runner =
      base::ThreadTaskRunnerHandle::Get();
  std::thread sender;
  if (kind == L"dialog") {
    // Sent from another thread, the message reaches the dialog while the
    // loop waits for messages, with no procedure of the loop around it.
    sender = std::thread(
        [](HWND dialog, scoped_refptr<base::SingleThreadTaskRunner> runner,
           base::OnceClosure quit) {
          ::SendMessageW(dialog, WM_NOTIFY, 0, kUnreadableHeader);
          runner->PostTask(FROM_HERE, std::move(quit));
        },
        window->hwnd(), task_runner, std::move(quit));
  } else {
    // The box opens from a window message, as a user's close does: the
    // loop's tasks run inside it.
    ::PostMessageW(window->hwnd(), WM_CLOSE, 0, 0);
    task_runner->PostTask(FROM_HERE,
                          base::BindOnce(&CrashInsideTheBox, window->hwnd()));
  }
  run_loop.Run();
  if (sender.joinable())
    sender.join();
  return kNotCrashed;
}

}  // namespace
}  // namespace installer

int wmain() {
  base::AtExitManager at_exit;
  base::CommandLine::Init(0, nullptr);
  const base::CommandLine& command_line =
      *base::CommandLine::ForCurrentProcess();
  if (crash_reporter::RunCrashReporterRole(command_line))
    return 0;
  crash_reporter::StartCrashReporterClient(command_line);
  printf("%u %d\n", installer::GetCrashReporterProcessId(),
         crash_reporter::IsCrashHandlerInstalled() ? 1 : 0);
  fflush(stdout);
  return installer::ShowWindowAndCrash(
      command_line.GetSwitchValueNative("test-crash"));
}
