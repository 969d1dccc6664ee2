#include "desktop/windows/crash_reporter/client_dump_request.h"

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "components/crash_handler/client_info.h"
#include "components/crash_report/minidump_writer.h"
#include "desktop/windows/crash_reporter/client_crash_report.h"
#include "desktop/windows/crash_reporter/client_text_crash_log.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_key_reader.h"
#include "desktop/windows/crash_reporter/crash_logger_capture.h"
#include "desktop/windows/crash_reporter/crash_metadata.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/crash_reporter/named_counter_file.h"
#include "desktop/windows/crash_reporter/process_exit_waiter.h"

namespace crash_reporter {

namespace {

// Holds one count of the waiter for its scope.
class ScopedWaiterCount {
 public:
  explicit ScopedWaiterCount(ProcessExitWaiter* waiter) : waiter_(waiter) {
    if (waiter_)
      waiter_->AddRef();
  }
  ScopedWaiterCount(const ScopedWaiterCount&) = delete;
  ScopedWaiterCount& operator=(const ScopedWaiterCount&) = delete;
  ~ScopedWaiterCount() {
    if (waiter_)
      waiter_->Release();
  }

 private:
  ProcessExitWaiter* const waiter_;
};

}  // namespace

DumpCallbackContext::DumpCallbackContext() = default;
DumpCallbackContext::~DumpCallbackContext() = default;

void OnClientDumpRequest(void* context,
                         const crash_handler::ClientInfo* client) {
  auto* dump_context = static_cast<DumpCallbackContext*>(context);
  ScopedWaiterCount count(dump_context->waiter);
  CrashLoggerCapture capture;
  LOG(INFO) << "Crash report requested by process " << client->pid();

  // A copy: the client's table is read again while the log is written.
  crash_handler::CustomClientInfo read_keys = {};
  client->GetCustomInfo(&read_keys);
  const std::vector<crash_handler::CustomInfoEntry> key_entries(
      read_keys.entries, read_keys.entries + read_keys.count);
  const crash_handler::CustomClientInfo keys = {key_entries.data(),
                                                key_entries.size()};
  std::wstring process_type;
  if (GetCrashKeyValue(keys, L"process_type", &process_type) &&
      !process_type.empty() && dump_context->counters) {
    dump_context->counters->Add(base::WideToUTF8(process_type), 1, true);
  }

  const base::FilePath& folder = GetCrashLogDir();
  ClientCrashFiles files;
  files.number = ClaimCrashFileNumber(folder);
  if (!files.number) {
    LOG(ERROR) << "Report of process " << client->pid()
               << " dropped: no crash file";
    return;
  }
  files.text_log = folder.AppendASCII(GetCrashLogTextFileName(files.number));
  if (!WriteClientTextCrashLog(*client, files.text_log)) {
    LOG(ERROR) << "Report of process " << client->pid()
               << " dropped: no text log";
    return;
  }
  if (IsAlternativeCrashLoggingEnabled()) {
    files.minidump = folder.AppendASCII(GetCrashDumpFileName(files.number));
    if (!crash_report::WriteMinidumpFromParts(
            client->pid(), client->thread_id_address(),
            client->exception_pointers_address(),
            client->assertion_info_address(), GetMinidumpVersionText(),
            files.minidump, kMaxClientMinidumpSize)) {
      LOG(ERROR) << "No minidump of process " << client->pid();
      files.minidump.clear();
    }
  }
  if (!capture.AppendToFile(files.text_log))
    LOG(ERROR) << "Cannot add the report's log lines to " << files.text_log;
  SendClientCrashReport(*dump_context, client->process_handle(), keys, files);
}

}  // namespace crash_reporter
