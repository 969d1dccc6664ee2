#include "desktop/windows/crash_reporter/client_crash_report.h"

#include <string>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/crash_reporter/client_dump_request.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_id_request.h"
#include "desktop/windows/crash_reporter/crash_key_reader.h"
#include "desktop/windows/crash_reporter/crash_upload_params.h"
#include "desktop/windows/crash_reporter/upload_queue.h"

namespace crash_reporter {

namespace {

// "<guid>=<Location>", no line end: which crash of the browser's session
// the server's id belongs to. An installer process has no guid; a crash
// directory of its own (a test rig's) still gets its records, as "0".
void WriteCrashIdRecord(const crash_handler::CustomClientInfo& keys,
                        uint32_t number,
                        const std::wstring& location) {
  std::wstring guid;
  GetCrashKeyValue(keys, L"crash_guid", &guid);
  if (guid.empty() && IsCrashLogDirOverridden())
    guid = L"0";
  base::FilePath record = GetCrashIdRecordPath(number);
  if (guid.empty() || record.empty())
    return;
  if (!base::WriteFile(record, base::WideToUTF8(guid + L"=" + location)))
    LOG(ERROR) << "Cannot write the crash id record " << record;
}

}  // namespace

void SendClientCrashReport(const DumpCallbackContext& context,
                           HANDLE process,
                           const crash_handler::CustomClientInfo& keys,
                           const ClientCrashFiles& files) {
  std::wstring url;
  GetJoinedCrashKeyValue(keys, L"URL", &url);
  std::wstring crash_id;
  std::wstring location;
  CrashIdResult result = RequestCrashId(url, GetCrashOrigin(keys), &crash_id,
                                        &location, kCrashIdRequestTimeoutMs);
  base::FilePath text_log = files.text_log;
  if (result == kCrashIdServerBusy && !text_log.empty()) {
    // The server wants no text log of this crash.
    if (!context.keep_logs)
      base::DeleteFileAtItsPlace(text_log);
    text_log.clear();
  }
  if (!text_log.empty()) {
    UploadParams params;
    BuildTextLogUploadParams(keys, &params);
    AddStacktraceIdParam(crash_id, &params);
    if (!QueueTextLogUpload(text_log, std::move(params), !context.keep_logs,
                            context.waiter)) {
      location.clear();
    }
  }
  if (!files.minidump.empty()) {
    UploadParams params;
    BuildMinidumpUploadParams(process, keys, &params);
    QueueMinidumpUpload(files.minidump, std::move(params), !context.keep_logs,
                        kMaxClientMinidumpSize, context.waiter);
  }
  if (!location.empty())
    WriteCrashIdRecord(keys, files.number, location);
}

}  // namespace crash_reporter
