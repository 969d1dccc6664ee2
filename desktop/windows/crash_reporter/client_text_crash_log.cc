#include "desktop/windows/crash_reporter/client_text_crash_log.h"

#include <stddef.h>

#include <vector>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "components/crash_handler/client_info.h"
#include "components/crash_report/address_range_list.h"
#include "components/crash_report/crash_info.h"
#include "components/crash_report/crash_reporter_exception_info.h"
#include "components/crash_report/module_list.h"
#include "components/crash_report/process_state_impl.h"
#include "components/crash_report/text_crash_log.h"
#include "desktop/windows/crash_reporter/crash_key_reader.h"
#include "desktop/windows/crash_reporter/crash_metadata.h"
#include "desktop/windows/crash_reporter/debugger_attachment.h"

namespace crash_reporter {

namespace {

using crash_report::CrashReporterExceptionInfo;

bool WriteLog(const crash_report::ProcessStateImpl& state,
              const crash_report::CrashInfo& info,
              const base::FilePath& path) {
  crash_report::AddressRangeList ranges;
  return crash_report::WriteTextCrashLog(&ranges, state, info, path);
}

}  // namespace

bool WriteClientTextCrashLog(const crash_handler::ClientInfo& client,
                             const base::FilePath& path) {
  DebuggerAttachment attachment(client.pid());
  crash_handler::CustomClientInfo keys = {};
  client.GetCustomInfo(&keys);
  std::wstring modules;
  GetJoinedCrashKeyValue(keys, L"modules", &modules);
  crash_report::ProcessStateImpl state;
  if (!state.Init(client.pid(), client.exception_pointers_address(),
                  client.thread_id_address(),
                  crash_report::ParseModuleList(modules))) {
    LOG(ERROR) << "Cannot read the crash of process " << client.pid();
    base::DeleteFileAtItsPlace(path);
    return false;
  }
  crash_report::CrashInfo info;
  FillCrashInfoFromCrashKeys(keys, &info);
  AddProcessMemoryMetadata(state.working_set_size(),
                           state.peak_working_set_size(), state.private_usage(),
                           &info);
  return WriteLog(state, info, path);
}

bool WriteCrashReporterTextCrashLog(uint32_t pid,
                                    uint64_t record_address,
                                    const base::FilePath& path) {
  DebuggerAttachment attachment(pid);
  crash_report::ProcessStateImpl state;
  if (!state.Init(
          pid,
          record_address +
              offsetof(CrashReporterExceptionInfo, exception_pointers),
          record_address + offsetof(CrashReporterExceptionInfo, thread_id),
          {})) {
    LOG(ERROR) << "Cannot read the crash of reporter " << pid;
    return false;
  }
  crash_report::CrashInfo info;
  SetCrashReporterProcessType(&info);
  return WriteLog(state, info, path);
}

}  // namespace crash_reporter
