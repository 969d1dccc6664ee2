// Told how a download (or the unpacking after it) advances, on the thread
// that started it.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_PROGRESS_DELEGATE_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_PROGRESS_DELEGATE_H_

namespace installer {

class DownloadProgressDelegate {
 public:
  virtual ~DownloadProgressDelegate() = default;

  // The bytes to download, or the entries of an archive being unpacked.
  virtual void SetTotalProgress(int total) = 0;
  // The bytes received so far, or the index of the entry being written.
  virtual void SetCurrentProgress(int current) = 0;
  // The download keeps failing and schedules a further retry; |error| is
  // the WinINet error or the HTTP status of the last failure.
  virtual void NotifyStalled(int error) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_PROGRESS_DELEGATE_H_
