#include "desktop/windows/installer/package_fetcher/package_fetcher.h"

#include <windows.h>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/package_fetcher/download_address.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_core.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_proxy.h"

namespace installer {

namespace {

constexpr char kPackageBaseName[] = "kelvo_installer";
constexpr char kSuiteBaseName[] = "suite";
// Runs of one second that share a download folder take the names after
// the plain stamp; beyond this many something else is wrong.
constexpr int kMaxNameCandidates = 100;

base::FilePath NamedPath(const base::FilePath& folder,
                         const char* base_name,
                         const std::string& stamp) {
  return folder.AppendASCII(
      base::StringPrintf("%s_%s.exe", base_name, stamp.c_str()));
}

// Creates the package executable's path as an empty file, which no other
// run can then take (its attempt files and folders derive from it).
bool ReserveName(const base::FilePath& path) {
  if (base::PathExists(path.RemoveExtension()))
    return false;
  base::win::ScopedHandle marker(
      ::CreateFileW(path.value().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  return marker.IsValid();
}

// The local time of |now| as YYYYMMDDhhmmss, followed by the process id
// and a counter when runs started in the same second took the plain stamp.
std::string ReserveStamp(const base::FilePath& folder,
                         const base::Time::Exploded& now) {
  const std::string stamp =
      base::StringPrintf("%02d%02d%02d%02d%02d%02d", now.year, now.month,
                         now.day_of_month, now.hour, now.minute, now.second);
  const std::string with_pid =
      stamp + "_" + base::NumberToString(::GetCurrentProcessId());
  std::string candidate = stamp;
  for (int i = 0; i < kMaxNameCandidates; ++i) {
    if (ReserveName(NamedPath(folder, kPackageBaseName, candidate)))
      return candidate;
    candidate = i == 0 ? with_pid : with_pid + "_" + base::NumberToString(i);
  }
  LOG(ERROR) << "No free name for the package in " << folder;
  return with_pid;
}

}  // namespace

PackageFetcher::PackageFetcher(const base::FilePath& download_folder,
                               const InstallerStatsNode& stats,
                               UICallbackRunner* ui_callback_runner,
                               PackageFetcherObserver* observer,
                               const PayloadReader* payload_reader,
                               int x64_download,
                               bool want_suite,
                               const base::CommandLine& command_line)
    : proxy_(base::MakeRefCounted<PackageFetcherProxy>(observer,
                                                       ui_callback_runner)),
      worker_("Package fetcher worker") {
  DCHECK(payload_reader);
  base::Time::Exploded now;
  base::Time::Now().LocalExplode(&now);
  const std::string stamp = ReserveStamp(download_folder, now);
  package_path_ = NamedPath(download_folder, kPackageBaseName, stamp);
  if (want_suite)
    suite_path_ = NamedPath(download_folder, kSuiteBaseName, stamp);
  core_ = std::make_unique<Core>(
      proxy_, payload_reader,
      Core::Paths{download_folder, package_path_, suite_path_}, stats,
      GetDownloadAddressURL(command_line, x64_download), want_suite, &stop_);
  // Without a thread of its own nothing could be fetched, nor reported.
  CHECK(worker_.Start()) << "Cannot start the package fetcher's worker";
}

PackageFetcher::~PackageFetcher() {
  // Reports on their way are dropped from now on; a program the worker
  // waits for is ended.
  proxy_->Detach();
  stop_.Signal();
  worker_.task_runner()->DeleteSoon(FROM_HERE, core_.release());
  worker_.Stop();
}

void PackageFetcher::Start() {
  // The core is deleted by a task posted after this one.
  worker_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&Core::Start, base::Unretained(core_.get())));
}

bool PackageFetcher::Retry() {
  if (!core_->CanRetry())
    return false;
  LOG(INFO) << "Retrying a fetch attempt";
  worker_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&Core::Start, base::Unretained(core_.get())));
  return true;
}

base::FilePath PackageFetcher::package_folder() const {
  return package_path_.RemoveExtension();
}

base::FilePath PackageFetcher::suite_folder() const {
  return suite_path_.RemoveExtension();
}

}  // namespace installer
