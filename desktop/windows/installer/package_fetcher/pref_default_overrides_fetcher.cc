#include "desktop/windows/installer/package_fetcher/pref_default_overrides_fetcher.h"

#include <memory>

#include "base/bind.h"
#include "base/command_line.h"
#include "base/features/feature_registry.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/wininet/download_observer.h"
#include "desktop/windows/installer/wininet/host_allow_list.h"
#include "desktop/windows/installer/wininet/wininet_response_writer.h"

namespace installer {

namespace {

constexpr wchar_t kFileName[] = L"pref_default_overrides";
constexpr wchar_t kLocalServerURL[] = L"http://localhost:3001/";

}  // namespace

PrefDefaultOverridesFetcher::PrefDefaultOverridesFetcher(
    const base::FilePath& folder,
    UICallbackRunner* ui_callback_runner,
    const base::CommandLine& command_line)
    : target_path_(folder.Append(kFileName)),
      url_(GetPrefDefaultOverridesURL(command_line)),
      downloader_(ui_callback_runner, nullptr) {}

PrefDefaultOverridesFetcher::~PrefDefaultOverridesFetcher() = default;

void PrefDefaultOverridesFetcher::Fetch(const std::string& tracking_data,
                                        base::OnceClosure completion) {
  if (!IsFeatureEnabled(kInstallerPrefDefaultOverridesSupport)) {
    std::move(completion).Run();
    return;
  }
  LOG(INFO) << "Fetching default prefs overrides to " << target_path_
            << " with tracking data " << tracking_data;
  downloader_.set_allowed_hosts(AllowedServerHosts());
  // One retry after a retryable failure.
  downloader_.set_max_retries(0);
  downloader_.set_time_limit(kTimeLimit);
  // A writer that cannot open fails the download at its first byte.
  auto writer = std::make_unique<FileResponseWriter>();
  writer->Open(target_path_);
  completion_ = std::move(completion);
  if (!downloader_.Start(url_, tracking_data,
                         base::BindOnce(&PrefDefaultOverridesFetcher::OnFetched,
                                        base::Unretained(this)),
                         std::move(writer),
                         std::make_unique<NullDownloadObserver>())) {
    LOG(ERROR) << "Failed sending request for default prefs overrides";
    base::DeleteFile(target_path_, false);
    std::move(completion_).Run();
  }
}

void PrefDefaultOverridesFetcher::OnFetched() {
  if (downloader_.state() == WininetDownloader::STATE_COMPLETED) {
    LOG(INFO) << "Default prefs overrides fetched successfully";
  } else {
    base::DeleteFile(target_path_, false);
    LOG(ERROR) << "Failed fetching default prefs overrides";
  }
  std::move(completion_).Run();
}

std::wstring GetPrefDefaultOverridesURL(const base::CommandLine& command_line) {
  if (command_line.HasSwitch(switches::kLocalPrefDefaultOverridesServer)) {
    const std::wstring value = command_line.GetSwitchValueNative(
        switches::kLocalPrefDefaultOverridesServer);
    return value.empty() ? kLocalServerURL : value;
  }
  return base::UTF8ToWide(GetBrandingUrl("autoupdate") +
                          "api/prefs/?product=" + GetBrandingProductName() +
                          "&version=" + GetProductVersion());
}

}  // namespace installer
