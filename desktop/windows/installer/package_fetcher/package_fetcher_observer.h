// Told by the package fetcher, on the thread that created it, what the
// current fetch attempt is doing and how it ended.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_OBSERVER_H_

#include <string>

#include "desktop/windows/installer/wininet/download_progress_delegate.h"

namespace installer {

enum FetcherStatus : int {
  FETCHER_STATUS_ATTEMPT_STARTED = 0,
  FETCHER_STATUS_FETCHING_ADDRESS = 1,
  FETCHER_STATUS_DOWNLOADING = 2,
  FETCHER_STATUS_UNPACKING = 3,
  FETCHER_STATUS_DOWNLOADING_ADDITIONAL_FILES = 4,
  FETCHER_STATUS_PACKAGE_READY = 5,
  FETCHER_STATUS_INITIALIZATION_FAILED = 6,
  FETCHER_STATUS_DOWNLOAD_FAILED = 7,
  FETCHER_STATUS_UNPACKING_FAILED = 8,
};

// The name that the statistics record as an attempt's "result":
// "package_ready", "initialization_failed", "download_failed",
// "unpacking_failed"; "invalid" for the statuses of an attempt under way and
// anything else.
std::string FetcherStatusToString(int status);

class PackageFetcherObserver : public DownloadProgressDelegate {
 public:
  // |status| is a FetcherStatus.
  virtual void NotifyStatusChanged(int status) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_OBSERVER_H_
