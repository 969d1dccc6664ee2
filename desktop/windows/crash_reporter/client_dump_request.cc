#include "desktop/windows/crash_reporter/client_dump_request.h"

#include <wchar.h>

#include <string>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "components/crash_handler/client_info.h"
#include "components/crash_report/minidump_writer.h"
#include "desktop/windows/crash_reporter/client_text_crash_log.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_logger_capture.h"
#include "desktop/windows/crash_reporter/crash_metadata.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/crash_reporter/named_counter_file.h"
#include "desktop/windows/crash_reporter/process_exit_waiter.h"

namespace crash_reporter {

namespace {

using crash_handler::CustomInfoEntry;

// The largest minidump of a crashed installer process that is kept.
constexpr uint64_t kClientMinidumpLimit = 3072000;

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

// The value of the first entry named |name|; empty when there is none.
std::wstring GetKeyValue(const crash_handler::CustomClientInfo& keys,
                         const wchar_t* name) {
  for (size_t i = 0; i < keys.count; ++i) {
    const CustomInfoEntry& entry = keys.entries[i];
    if (!wcsncmp(entry.name, name, CustomInfoEntry::kNameMaxLength)) {
      return std::wstring(
          entry.value, wcsnlen(entry.value, CustomInfoEntry::kValueMaxLength));
    }
  }
  return std::wstring();
}

}  // namespace

DumpCallbackContext::DumpCallbackContext() = default;
DumpCallbackContext::~DumpCallbackContext() = default;

void OnClientDumpRequest(void* context,
                         const crash_handler::ClientInfo* client) {
  auto* dump_context = static_cast<DumpCallbackContext*>(context);
  ScopedWaiterCount count(dump_context->waiter);
  CrashLoggerCapture capture;
  LOG(INFO) << "Crash report requested by process " << client->pid();

  crash_handler::CustomClientInfo keys = {};
  client->GetCustomInfo(&keys);
  std::wstring process_type = GetKeyValue(keys, L"process_type");
  if (!process_type.empty() && dump_context->counters)
    dump_context->counters->Add(base::WideToUTF8(process_type), 1, true);

  const base::FilePath& folder = GetCrashLogDir();
  uint32_t n = ClaimCrashFileNumber(folder);
  if (!n) {
    LOG(ERROR) << "Report of process " << client->pid()
               << " dropped: no crash file";
    return;
  }
  base::FilePath text_log = folder.AppendASCII(GetCrashLogTextFileName(n));
  if (!WriteClientTextCrashLog(*client, text_log)) {
    LOG(ERROR) << "Report of process " << client->pid()
               << " dropped: no text log";
    return;
  }
  base::FilePath dump;
  if (IsAlternativeCrashLoggingEnabled()) {
    dump = folder.AppendASCII(GetCrashDumpFileName(n));
    if (!crash_report::WriteMinidumpFromParts(
            client->pid(), client->thread_id_address(),
            client->exception_pointers_address(),
            client->assertion_info_address(), GetMinidumpVersionText(), dump,
            kClientMinidumpLimit)) {
      LOG(ERROR) << "No minidump of process " << client->pid();
      dump.clear();
    }
  }
  if (!capture.AppendToFile(text_log))
    LOG(ERROR) << "Cannot add the report's log lines to " << text_log;
  // The crash id and the uploads go here; until they exist the files stay
  // in the crash directory.
  LOG(INFO) << "Crash files of process " << client->pid()
            << " kept: " << text_log << (dump.empty() ? "" : ", ") << dump;
}

}  // namespace crash_reporter
