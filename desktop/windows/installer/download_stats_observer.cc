#include "desktop/windows/installer/download_stats_observer.h"

#include "base/strings/utf_string_conversions.h"

namespace installer {

DownloadStatsObserver::DownloadStatsObserver(const InstallerStatsNode& parent,
                                             const std::string& list_key)
    : parent_(parent), list_key_(list_key) {}

DownloadStatsObserver::~DownloadStatsObserver() = default;

void DownloadStatsObserver::OnChunkStart(int64_t bytes_received) {
  chunk_ =
      std::make_unique<InstallerStatsNode>(parent_.AppendListEntry(list_key_));
  chunk_->SetInteger64("chunk_start", bytes_received);
  chunk_->SetInteger("chunk_number", chunk_count_);
  chunk_->RecordTime("chunk_start_time");
}

void DownloadStatsObserver::OnServerIp(const std::string& address) {
  if (chunk_)
    chunk_->SetString("ip", address);
}

void DownloadStatsObserver::OnRedirect(const std::wstring& url) {
  if (chunk_)
    chunk_->SetString("redirected_url", base::WideToUTF8(url));
}

void DownloadStatsObserver::OnHeader(const std::wstring& name,
                                     const std::wstring& value) {
  if (chunk_)
    chunk_->SetString("headers." + base::WideToUTF8(name),
                      base::WideToUTF8(value));
}

void DownloadStatsObserver::OnWininetError(int error) {
  if (chunk_)
    chunk_->SetInteger("wininet_error", error);
}

void DownloadStatsObserver::OnHttpStatus(int status) {
  if (chunk_)
    chunk_->SetInteger("http_status", status);
}

void DownloadStatsObserver::OnRetry(int retry_count) {
  if (chunk_)
    chunk_->SetInteger("retry_count", retry_count);
}

void DownloadStatsObserver::OnChunkEnd(int64_t bytes_received) {
  if (!chunk_)
    return;
  chunk_->SetInteger64("chunk_end", bytes_received);
  chunk_->RecordTime("chunk_end_time");
  chunk_.reset();
  ++chunk_count_;
}

}  // namespace installer
