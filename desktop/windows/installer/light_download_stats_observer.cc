#include "desktop/windows/installer/light_download_stats_observer.h"

namespace installer {

LightDownloadStatsObserver::LightDownloadStatsObserver(
    const InstallerStatsNode& node,
    const std::string& key_prefix)
    : node_(node), key_prefix_(key_prefix) {}

LightDownloadStatsObserver::~LightDownloadStatsObserver() = default;

void LightDownloadStatsObserver::OnWininetError(int error) {
  node_.SetInteger(key_prefix_ + "wininet_error", error);
}

void LightDownloadStatsObserver::OnHttpStatus(int status) {
  node_.SetInteger(key_prefix_ + "http_status", status);
}

}  // namespace installer
