// The package fetcher's work, on its worker thread: one attempt after the
// other, each from Start to exactly one final status. An attempt asks the
// update server where the package is, downloads the package executable
// into an attempt file of its own, checks its checksum, signer, version and
// stream, takes the 7z archive out of it, unpacks that into the package
// folder with the tracking data and the welcome page beside it, fetches the
// additional files and reports the package ready. An installer that
// carries the whole package skips the network and unpacks its own archive.
//
// Every step that waits for the network ends by starting the downloader
// with a completion bound to the next step; every failing step reports its
// status (6, 7 or 8) with a "failure_reason" and ends the attempt there.
// Tasks and completions are bound to weak pointers: nothing runs once the
// core is gone.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_CORE_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_CORE_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/new_file.h"
#include "base/memory/scoped_refptr.h"
#include "base/memory/weak_ptr.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "desktop/windows/installer/installer_stats_node.h"
#include "desktop/windows/installer/package_fetcher/download_address.h"
#include "desktop/windows/installer/package_fetcher/held_files.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_observer.h"

namespace base {
class WaitableEvent;
}

namespace installer {

class AdditionalFilesFetcher;
class PackageFetcherProxy;
class PayloadReader;
class WininetDownloader;

class PackageFetcher::Core {
 public:
  struct Paths {
    base::FilePath download_folder;
    base::FilePath package_path;
    // Empty when the suite is not wanted.
    base::FilePath suite_path;
  };

  // Constructed on the owner's thread, used and deleted on the worker.
  // |own_payload| must outlive the core; |stop| (may be null) is signalled
  // when the fetcher goes, to end the programs an attempt waits for.
  Core(scoped_refptr<PackageFetcherProxy> proxy,
       const PayloadReader* own_payload,
       const Paths& paths,
       const InstallerStatsNode& stats,
       const std::wstring& download_address_url,
       bool want_suite,
       base::WaitableEvent* stop);
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;
  // Stops an attempt under way and deletes every attempt file, their
  // archives, the package folder and the suite folder.
  ~Core();

  // Runs one attempt; it reports exactly one of the statuses 5 to 8.
  void Start();
  // Whether fewer than kMaxFailedAttempts failures were reported. Any
  // thread.
  bool CanRetry() const;

 private:
  void FetchDownloadURL();
  void OnDownloadURLFetched();
  void OnPackageDownloaded(const std::string& checksum);
  void ExtractArchive();
  void UnpackArchive(const base::FilePath& archive);
  void OnUnpacked();
  // "welcome-url" of installer_prefs_include.json, on disk before the
  // package is reported ready: the backend reads it next. False when the
  // file cannot be vouched for any more.
  bool WriteWelcomeUrl();
  // Writes |data| as the package folder's file |name|, held; an existing
  // one that this attempt holds is rewritten.
  bool WriteIntoPackage(const wchar_t* name, std::string_view data);
  void OnAdditionalFilesFetched();
  void OnPackageReady();

  void NotifyStatus(FetcherStatus status);
  // Ends the attempt with |status| (6 to 8) and deletes what it downloaded
  // and unpacked.
  void ReportResult(FetcherStatus status);
  // Ends the attempt with status 7; the downloader's error text follows
  // |message| in the "failure_reason".
  void ReportFailure(const std::string& message);
  // Ends the attempt with |status|, |message| being the "failure_reason".
  void Fail(FetcherStatus status, const std::string& message);

  base::FilePath ArchivePath() const;
  // Writes the archive of |payload| into a new file at ArchivePath (or
  // beside it when that name is taken), named in |archive|, and holds it.
  bool WriteArchive(const PayloadReader& payload, base::FilePath* archive);
  // Deletes what the attempt made: its download, and what it holds (the
  // checked download, its archive, the package and suite folders with
  // their files) where it still is what it made.
  void DeleteAttemptFiles();
  // Downloads must be signed unless the running installer is a PE image
  // without a certificate table.
  bool MustCheckSignatures() const;

  const scoped_refptr<PackageFetcherProxy> proxy_;
  const PayloadReader* const own_payload_;

  mutable base::Lock lock_;
  // Failure results reported so far; guarded by |lock_|.
  int result_count_ = 0;

  const base::FilePath download_folder_;
  const base::FilePath package_path_;
  const base::FilePath package_folder_;
  const base::FilePath suite_path_;
  const std::wstring download_address_url_;
  const bool want_suite_;
  base::WaitableEvent* const stop_;

  bool attempt_running_ = false;
  // The current attempt's file: its name, and the file made new and held
  // while the package downloads into it; once checked, |held_| holds it.
  // The download folder is one that other programs may write.
  base::FilePath attempt_file_;
  base::NewFile attempt_;
  std::unique_ptr<WininetDownloader> downloader_;
  std::string reply_text_;
  DownloadAddressReply reply_;
  // Of the package as it was downloaded into the attempt file.
  std::string package_sha256_;
  // What the current attempt wrote and vouches for: the attempt file once
  // checked, its archive, the package and suite folders with their files.
  HeldFiles held_;
  std::unique_ptr<AdditionalFilesFetcher> additional_files_;

  InstallerStatsNode root_stats_;
  std::optional<InstallerStatsNode> attempt_stats_;

  base::WeakPtrFactory<Core> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_CORE_H_
