// Obtains the unpacked browser package for one install run of a front end:
// asks the update server where the package is, downloads it, checks it,
// unpacks it into the package folder and fetches the additional files the
// server lists; an installer that carries the whole package unpacks its own
// archive instead. The front-end controllers create, start, retry and
// destroy it; it tells them how each attempt goes through their
// PackageFetcherObserver, always on the thread that created it.
//
//   PackageFetcher fetcher(download_folder, stats.root(), this, this,
//                          payload_reader, x64_download, want_suite,
//                          command_line);
//   fetcher.Start();
//   ... NotifyStatusChanged(FETCHER_STATUS_DOWNLOAD_FAILED):
//   if (!fetcher.Retry()) ... give up ...
//   ... NotifyStatusChanged(FETCHER_STATUS_PACKAGE_READY): the package is in
//   fetcher.package_folder().
//
// The network and disk work runs on the worker thread "Package fetcher
// worker" (PackageFetcher::Core); reports and requests for dialogs come back
// through a PackageFetcherProxy. A failed attempt deletes what it
// downloaded and unpacked at once; destroying the fetcher stops an attempt
// under way, deletes everything the attempts left, and no observer call
// follows.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_H_

#include <stdint.h>

#include <memory>

#include "base/files/file_path.h"
#include "base/memory/scoped_refptr.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/thread.h"
#include "base/time/time.h"
#include "desktop/windows/installer/installer_stats_node.h"

namespace base {
class CommandLine;
}

namespace installer {

class PackageFetcherObserver;
class PackageFetcherProxy;
class PayloadReader;
class UICallbackRunner;

class PackageFetcher {
 public:
  // Every attempt after the third failure is refused by Retry.
  static constexpr int kMaxFailedAttempts = 3;
  // The largest package taken, whatever the server announces: several
  // times the browser's package, so that a body without end cannot fill
  // the disk. The same holds for each additional file. A download that
  // keeps bringing bytes has no time limit: on a slow link the package
  // comes in the end; one that stops is ended by the downloader's stall
  // rule, and the user may cancel.
  static constexpr int64_t kMaxPackageSize = int64_t{1} << 30;

  // Every fetcher of the process takes |max_package_size| instead of
  // kMaxPackageSize while this lives (tests only).
  class ScopedMaxPackageSizeForTesting {
   public:
    explicit ScopedMaxPackageSizeForTesting(int64_t max_package_size);
    ScopedMaxPackageSizeForTesting(const ScopedMaxPackageSizeForTesting&) =
        delete;
    ScopedMaxPackageSizeForTesting& operator=(
        const ScopedMaxPackageSizeForTesting&) = delete;
    ~ScopedMaxPackageSizeForTesting();

   private:
    const int64_t previous_max_size_;
  };

  class Core;

  // Downloads go to |download_folder|. |stats| is the node under which the
  // attempts are recorded ("fetches"). |ui_callback_runner| (required) and
  // |observer| are called on this thread until the fetcher goes.
  // |payload_reader| is the running installer's own (not owned; it must
  // outlive the fetcher): its tracking data goes to the server and into the
  // package, a full package in it is unpacked without the network, and its
  // file's certificate table decides whether downloads must be signed.
  // |x64_download| (1) asks for the 64-bit package; with |want_suite| the
  // "suite" component is fetched too. The update server's address comes
  // from |command_line| (GetDownloadAddressURL).
  PackageFetcher(const base::FilePath& download_folder,
                 const InstallerStatsNode& stats,
                 UICallbackRunner* ui_callback_runner,
                 PackageFetcherObserver* observer,
                 const PayloadReader* payload_reader,
                 int x64_download,
                 bool want_suite,
                 const base::CommandLine& command_line);
  PackageFetcher(const PackageFetcher&) = delete;
  PackageFetcher& operator=(const PackageFetcher&) = delete;
  ~PackageFetcher();

  // Starts an attempt; it ends with one of the statuses 5 to 8.
  void Start();
  // Starts a new attempt after a failed one, unless kMaxFailedAttempts
  // failures were reported; false (and nothing happens) then.
  bool Retry();

  // "kelvo_installer_YYYYMMDDhhmmss.exe" in the download folder (local time
  // at construction), with "_" and the process id (and "_N" after that)
  // added when another run took that name: the fetcher holds it as an
  // empty file until it goes. The package folder is this path without
  // extension.
  const base::FilePath& package_path() const { return package_path_; }
  base::FilePath package_folder() const;
  // The same with "suite" instead of "kelvo_installer" when the suite is
  // wanted, else empty; so are the suite folder and its path.
  const base::FilePath& suite_path() const { return suite_path_; }
  base::FilePath suite_folder() const;

 private:
  base::FilePath package_path_;
  base::FilePath suite_path_;
  scoped_refptr<PackageFetcherProxy> proxy_;
  // Signalled when the fetcher goes: a program the worker waits for is
  // ended.
  base::WaitableEvent stop_{base::WaitableEvent::ResetPolicy::MANUAL,
                            base::WaitableEvent::InitialState::NOT_SIGNALED};
  // Lives on the worker, where it is deleted.
  std::unique_ptr<Core> core_;
  base::Thread worker_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_H_
