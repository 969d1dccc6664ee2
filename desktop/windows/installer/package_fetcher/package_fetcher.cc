#include "desktop/windows/installer/package_fetcher/package_fetcher.h"

#include "base/bind.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "base/time/time.h"
#include "desktop/windows/installer/package_fetcher/download_address.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_core.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_proxy.h"

namespace installer {

namespace {

constexpr char kPackageBaseName[] = "kelvo_installer";
constexpr char kSuiteBaseName[] = "suite";

base::FilePath StampedPath(const base::FilePath& folder,
                           const char* base_name,
                           const base::Time::Exploded& now) {
  return folder.AppendASCII(base::StringPrintf(
      "%s_%02d%02d%02d%02d%02d%02d.exe", base_name, now.year, now.month,
      now.day_of_month, now.hour, now.minute, now.second));
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
  package_path_ = StampedPath(download_folder, kPackageBaseName, now);
  if (want_suite)
    suite_path_ = StampedPath(download_folder, kSuiteBaseName, now);
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
