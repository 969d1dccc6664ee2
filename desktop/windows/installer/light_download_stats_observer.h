// Records only how a download ended: its last HTTP status and WinINet
// error, under keys with a prefix (for the download-address request,
// "fetch_download_url_http_status" and "fetch_download_url_wininet_error").

#ifndef DESKTOP_WINDOWS_INSTALLER_LIGHT_DOWNLOAD_STATS_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_LIGHT_DOWNLOAD_STATS_OBSERVER_H_

#include <string>

#include "desktop/windows/installer/installer_stats_node.h"
#include "desktop/windows/installer/wininet/download_observer.h"

namespace installer {

class LightDownloadStatsObserver : public DownloadObserver {
 public:
  LightDownloadStatsObserver(const InstallerStatsNode& node,
                             const std::string& key_prefix);
  ~LightDownloadStatsObserver() override;

  void OnWininetError(int error) override;
  void OnHttpStatus(int status) override;

 private:
  InstallerStatsNode node_;
  const std::string key_prefix_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_LIGHT_DOWNLOAD_STATS_OBSERVER_H_
