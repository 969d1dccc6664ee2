// Told how far a download (bytes) or an unpacking (archive entries) has
// come, and when the downloader keeps failing.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOAD_PROGRESS_DELEGATE_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOAD_PROGRESS_DELEGATE_H_

namespace installer {

class DownloadProgressDelegate {
 public:
  virtual ~DownloadProgressDelegate() = default;

  // Bytes to download, or the number of archive entries to unpack.
  virtual void SetTotalProgress(int total) = 0;
  // Bytes received so far, or the index of the entry being written.
  virtual void SetCurrentProgress(int current) = 0;
  // The downloader schedules another retry after repeated failures;
  // |error| is the WinINet error or the HTTP status.
  virtual void NotifyStalled(int error) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOAD_PROGRESS_DELEGATE_H_
