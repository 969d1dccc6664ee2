#include "desktop/windows/installer/package_fetcher/package_program.h"

#include <windows.h>

#include <atomic>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "desktop/windows/installer/process/launch_lock.h"

namespace installer {

namespace {

// Microseconds; 0 keeps the real limits.
std::atomic<int64_t> g_query_limit_for_testing{0};
std::atomic<int64_t> g_archive_limit_for_testing{0};

base::TimeDelta Limit(const std::atomic<int64_t>& for_testing,
                      base::TimeDelta limit) {
  const int64_t testing = for_testing.load();
  return testing ? base::TimeDelta::FromMicroseconds(testing) : limit;
}

}  // namespace

bool QueryPackageProgram(const base::FilePath& program,
                         const char* switch_name,
                         std::string* output) {
  base::CommandLine command_line(program);
  command_line.AppendSwitch(switch_name);
  int exit_code = 0;
  if (!base::GetAppOutputWithExitCode(
          command_line.GetCommandLineString(), output, &exit_code,
          Limit(g_query_limit_for_testing, kPackageQueryTimeLimit),
          &GetProcessLaunchLock())) {
    LOG(ERROR) << "No answer from " << command_line.GetCommandLineString();
    return false;
  }
  if (exit_code != 0) {
    LOG(WARNING) << command_line.GetCommandLineString() << " exited with "
                 << exit_code;
  }
  return true;
}

PackageProgramEnd RunPackageProgram(const base::FilePath& program,
                                    base::WaitableEvent* stop,
                                    int* exit_code) {
  const base::CommandLine command_line(program);
  base::Process process;
  {
    base::AutoLock hold(GetProcessLaunchLock());
    process = base::LaunchProcess(command_line, base::LaunchOptions());
  }
  if (!process.IsValid())
    return PackageProgramEnd::kNotStarted;
  const HANDLE handles[] = {process.Handle(),
                            stop ? stop->handle() : process.Handle()};
  const DWORD waited = ::WaitForMultipleObjects(
      stop ? 2 : 1, handles, FALSE,
      Limit(g_archive_limit_for_testing, kPackageArchiveTimeLimit)
          .InMillisecondsForWait());
  if (waited == WAIT_OBJECT_0 &&
      process.WaitForExitWithTimeout(base::TimeDelta(), exit_code)) {
    return PackageProgramEnd::kExited;
  }
  // A process ended from outside may report any exit code, even 0: only
  // its own end within the limit counts.
  const bool stopped = waited == WAIT_OBJECT_0 + 1;
  LOG(ERROR) << program
             << (stopped ? " is ended: the fetcher stops"
                         : " did not end in time; ending it");
  process.Terminate(1, /*wait=*/true);
  return stopped ? PackageProgramEnd::kStopped : PackageProgramEnd::kTimedOut;
}

ScopedPackageProgramTimeLimitForTesting::
    ScopedPackageProgramTimeLimitForTesting(base::TimeDelta query_limit,
                                            base::TimeDelta archive_limit) {
  g_query_limit_for_testing.store(query_limit.InMicroseconds());
  g_archive_limit_for_testing.store(archive_limit.InMicroseconds());
}

ScopedPackageProgramTimeLimitForTesting::
    ~ScopedPackageProgramTimeLimitForTesting() {
  g_query_limit_for_testing.store(0);
  g_archive_limit_for_testing.store(0);
}

}  // namespace installer
