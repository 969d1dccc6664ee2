// Records every request of a download as one dictionary ("chunk") appended
// to a list of the statistics: where it started and ended in the body, the
// server's address and headers, its status and error, and its times. A
// resumed request starts a chunk of its own.

#ifndef DESKTOP_WINDOWS_INSTALLER_DOWNLOAD_STATS_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_DOWNLOAD_STATS_OBSERVER_H_

#include <memory>
#include <string>

#include "desktop/windows/installer/installer_stats_node.h"
#include "desktop/windows/installer/wininet/download_observer.h"

namespace installer {

class DownloadStatsObserver : public DownloadObserver {
 public:
  // The chunks go to the list |list_key| of |parent|.
  DownloadStatsObserver(const InstallerStatsNode& parent,
                        const std::string& list_key);
  ~DownloadStatsObserver() override;

  void OnChunkStart(int64_t bytes_received) override;
  void OnServerIp(const std::string& address) override;
  void OnRedirect(const std::wstring& url) override;
  void OnHeader(const std::wstring& name, const std::wstring& value) override;
  void OnWininetError(int error) override;
  void OnHttpStatus(int status) override;
  void OnRetry(int retry_count) override;
  void OnChunkEnd(int64_t bytes_received) override;

 private:
  InstallerStatsNode parent_;
  // Null before the first chunk: events without a chunk are not recorded.
  std::unique_ptr<InstallerStatsNode> chunk_;
  const std::string list_key_;
  int chunk_count_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_DOWNLOAD_STATS_OBSERVER_H_
