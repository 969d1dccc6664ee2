// What a download tells about its connections, for the statistics. Every
// method does nothing here, so the base serves as the observer that records
// nothing (NullDownloadObserver). The downloader calls it on the thread that
// started the download.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_OBSERVER_H_

#include <stdint.h>

#include <string>

namespace installer {

class DownloadObserver {
 public:
  virtual ~DownloadObserver() = default;

  // A request for the body starts, |bytes_received| bytes into it.
  virtual void OnChunkStart(int64_t bytes_received) {}
  // The address of the server the request connected to.
  virtual void OnServerIp(const std::string& address) {}
  // The request is redirected to |url|.
  virtual void OnRedirect(const std::wstring& url) {}
  // A response header's raw value (empty when the header is absent).
  virtual void OnHeader(const std::wstring& name, const std::wstring& value) {}
  // The WinINet error of a completed request, 0 for none.
  virtual void OnWininetError(int error) {}
  virtual void OnHttpStatus(int status) {}
  // A further request after a failure; |retry_count| counts failures in a
  // row.
  virtual void OnRetry(int retry_count) {}
  // The request of the current chunk ends with |bytes_received| in total.
  virtual void OnChunkEnd(int64_t bytes_received) {}
};

using NullDownloadObserver = DownloadObserver;

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_OBSERVER_H_
