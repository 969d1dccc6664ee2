// Running the programs that come with a download: the package executable
// asked for its version and stream, and a component's self-extracting
// archive. Each is created under the process launch lock, held only while
// the child is created so that a child that hangs blocks no other launch,
// and waited for with a time limit, after which it is ended.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_PROGRAM_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_PROGRAM_H_

#include <string>

#include "base/files/file_path.h"
#include "base/time/time.h"

namespace base {
class WaitableEvent;
}

namespace installer {

// How long a program may take to print what it is asked.
constexpr base::TimeDelta kPackageQueryTimeLimit =
    base::TimeDelta::FromSeconds(60);
// How long a self-extracting archive may take to unpack.
constexpr base::TimeDelta kPackageArchiveTimeLimit =
    base::TimeDelta::FromMinutes(5);

// Runs |program| with the switch |switch_name| and collects its standard
// output. False when it could not start or did not end within
// kPackageQueryTimeLimit (it is ended then).
bool QueryPackageProgram(const base::FilePath& program,
                         const char* switch_name,
                         std::string* output);

enum class PackageProgramEnd {
  kExited,  // Its exit code tells how it went.
  kNotStarted,
  kTimedOut,  // Ended by us after kPackageArchiveTimeLimit.
  kStopped,   // Ended by us when asked to stop.
};

// Runs |program| without arguments and waits until it ends, at most
// kPackageArchiveTimeLimit or until |stop| (may be null) is signalled; then
// it is ended. Its exit code goes to |exit_code| when it exited by itself.
PackageProgramEnd RunPackageProgram(const base::FilePath& program,
                                    base::WaitableEvent* stop,
                                    int* exit_code);

// The limits are |query_limit| and |archive_limit| while this lives (tests
// only).
class ScopedPackageProgramTimeLimitForTesting {
 public:
  ScopedPackageProgramTimeLimitForTesting(base::TimeDelta query_limit,
                                          base::TimeDelta archive_limit);
  ScopedPackageProgramTimeLimitForTesting(
      const ScopedPackageProgramTimeLimitForTesting&) = delete;
  ScopedPackageProgramTimeLimitForTesting& operator=(
      const ScopedPackageProgramTimeLimitForTesting&) = delete;
  ~ScopedPackageProgramTimeLimitForTesting();
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_PROGRAM_H_
