#include "desktop/windows/crash_reporter/crashed_reporter_report.h"

#include "base/logging.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"
#include "desktop/windows/crash_reporter/crash_upload_params.h"
#include "desktop/windows/crash_reporter/self_crash_reporter.h"
#include "desktop/windows/crash_reporter/upload_queue.h"

namespace crash_reporter {

void SendCrashedReporterReport(DWORD crashed_pid,
                               bool third_reporter,
                               const CrashedReporterFiles& files) {
  UploadParams text_params;
  AddEmailParam(&text_params);
  // Its times are read while the crashed reporter still exists.
  UploadParams dump_params;
  BuildCrashReporterMinidumpParams(crashed_pid, &dump_params);
  SignalCrashReporterExceptionEvent(crashed_pid);
  LOG(INFO) << "Report of the crashed reporter " << crashed_pid << ": "
            << files.text_file << " " << files.minidump;
  if (files.text_file.empty() && files.minidump.empty()) {
    LOG(WARNING) << "Nothing to send of the crashed reporter " << crashed_pid;
    return;
  }
  InitCrashServerUrls();
  const bool compress = !third_reporter;
  bool sent = false;
  if (!files.text_file.empty()) {
    sent |= UploadTextLogNow(files.text_file, std::move(text_params), compress);
  }
  if (!files.minidump.empty()) {
    sent |= UploadMinidumpNow(files.minidump, std::move(dump_params), compress,
                              GetMaxCrashReporterMinidumpSize());
  }
  if (!sent)
    return;
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  SetLastCrashReporterCrashTime(now);
}

}  // namespace crash_reporter
