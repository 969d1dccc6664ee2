// InstallerStats::Send: the upload of the statistics at the end of a front
// end's run.

#include <memory>

#include "base/bind.h"
#include "base/command_line.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/wininet/download_observer.h"
#include "desktop/windows/installer/wininet/host_allow_list.h"
#include "desktop/windows/installer/wininet/wininet_response_writer.h"

namespace installer {

namespace {

constexpr wchar_t kLocalStatsServerURL[] = L"http://localhost:3000/";
constexpr char kFeedbackPath[] = "netinstaller/feedback";
// Without a network download behind it the upload gives up early.
constexpr int kMaxRetriesWithoutNetwork = 2;

void RunPending(std::shared_ptr<base::OnceClosure> completion) {
  std::move(*completion).Run();
}

}  // namespace

bool InstallerStats::Send(const base::CommandLine& command_line,
                          base::OnceClosure completion,
                          bool wait_for_network) {
  root_node_.RecordFetchStats();
  root_node_.RecordTime("stats_sending_time");
  sender_.set_allowed_hosts(AllowedServerHosts());
  if (!wait_for_network) {
    VLOG(1) << "Don't wait for network when sending stats";
    sender_.set_max_retries(kMaxRetriesWithoutNetwork);
  }
  sender_.set_time_limit(kSendTimeLimit);
  std::string json;
  bool written = false;
  {
    base::AutoLock hold(lock_);
    written = base::JSONWriter::Write(root_, &json);
  }
  if (!written) {
    LOG(ERROR) << "Failed to write stats as JSON";
    std::move(completion).Run();
    return false;
  }
  // A refused start drops what it was given: the completion stays here
  // until it runs.
  auto pending = std::make_shared<base::OnceClosure>(std::move(completion));
  if (!sender_.Start(GetStatsUploadURL(command_line), json,
                     base::BindOnce(&RunPending, pending),
                     std::make_unique<ResponseWriter>(),
                     std::make_unique<NullDownloadObserver>())) {
    RunPending(pending);
    LOG(ERROR) << "Failed to send the stats request";
    return false;
  }
  return true;
}

std::wstring GetStatsUploadURL(const base::CommandLine& command_line) {
  if (command_line.HasSwitch(switches::kLocalStatsServer))
    return kLocalStatsServerURL;
  return base::UTF8ToWide(GetBrandingUrl("autoupdate") + kFeedbackPath);
}

}  // namespace installer
