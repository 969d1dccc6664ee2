#include "desktop/windows/crash_reporter/crash_reporter_main.h"

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <string>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/scoped_handle.h"
#include "base/win/windows_version.h"
#include "components/crash_handler/crash_generation_server.h"
#include "components/crash_report/crash_file_v1.h"
#include "components/crash_report/crash_info.h"
#include "components/crash_report/minidump_writer.h"
#include "desktop/windows/crash_reporter/client_dump_request.h"
#include "desktop/windows/crash_reporter/client_text_crash_log.h"
#include "desktop/windows/crash_reporter/crash_files.h"
#include "desktop/windows/crash_reporter/crash_metadata.h"
#include "desktop/windows/crash_reporter/crash_reporter_client.h"
#include "desktop/windows/crash_reporter/crash_reporter_logging.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"
#include "desktop/windows/crash_reporter/crashed_reporter_report.h"
#include "desktop/windows/crash_reporter/named_counter_file.h"
#include "desktop/windows/crash_reporter/process_exit_waiter.h"
#include "desktop/windows/crash_reporter/self_crash_reporter.h"
#include "desktop/windows/crash_reporter/watched_process.h"
#include "desktop/windows/installer/product/installer_switches.h"

namespace crash_reporter {

namespace {

namespace switches = installer::switches;

// A crashed reporter is reported at most once in this many days.
constexpr int64_t kDaysBetweenReporterReports = 3;

// The pipe's security: a low mandatory label, so that clients of low
// integrity can connect too. Without a label, and always before Vista
// (which has no integrity levels), the pipe gets the default, which lets
// only this user's processes and administrators write to it.
class PipeSecurity {
 public:
  PipeSecurity() {
    if (base::win::GetVersion() < base::win::VERSION_VISTA)
      return;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"S:(ML;;NW;;;S-1-16-4096)", SDDL_REVISION_1, &descriptor,
            nullptr)) {
      PLOG(WARNING) << "No security descriptor for the crash pipe";
      return;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL sacl = nullptr;
    if (!::GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) ||
        !present) {
      ::LocalFree(descriptor);
      return;
    }
    descriptor_ = descriptor;
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = descriptor_;
    attributes_.bInheritHandle = FALSE;
  }
  PipeSecurity(const PipeSecurity&) = delete;
  PipeSecurity& operator=(const PipeSecurity&) = delete;
  ~PipeSecurity() {
    if (descriptor_)
      ::LocalFree(descriptor_);
  }

  SECURITY_ATTRIBUTES* attributes() {
    return descriptor_ ? &attributes_ : nullptr;
  }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_ = {};
};

// Reads the settings; true when the user consents to crash reporting.
bool SettleConsent(const base::CommandLine& command_line) {
  LoadCrashReporterFeatures(command_line, GetCrashReporterPrefsPath());
  if (IsCrashReportingEnabled())
    return true;
  LOG(INFO) << "No consent to crash reporting";
  return false;
}

// The report of a crashed reporter, in the temporary folder: a text log, or
// for the third reporter a V1 crash file, and with
// "alternative-crash-logging" a minidump.
CrashedReporterFiles WriteCrashReporterFiles(uint32_t pid,
                                             uint64_t record_address,
                                             bool third_reporter) {
  CrashedReporterFiles files;
  base::FilePath temp;
  uint32_t n = 0;
  if (!base::GetTempDir(&temp) || !(n = ClaimCrashFileNumber(temp)))
    return files;
  files.text_file = temp.AppendASCII(GetCrashLogTextFileName(n));
  bool written = false;
  if (third_reporter) {
    crash_report::CrashInfo info;
    SetCrashReporterProcessType(&info);
    written = crash_report::WriteCrashFileForProcess(
        pid, record_address, info, GetMinidumpVersionText(), files.text_file,
        GetMaxCrashReporterMinidumpSize());
  } else {
    written =
        WriteCrashReporterTextCrashLog(pid, record_address, files.text_file);
  }
  if (!written) {
    LOG(ERROR) << "No crash file of reporter " << pid;
    base::DeleteFileAtItsPlace(files.text_file);
    files.text_file.clear();
  }
  // The V1 file holds a minidump already.
  if (IsAlternativeCrashLoggingEnabled() && !third_reporter) {
    files.minidump = temp.AppendASCII(GetCrashDumpFileName(n));
    if (!crash_report::WriteMinidumpForProcess(
            pid, record_address, GetMinidumpVersionText(), files.minidump,
            GetMaxCrashReporterMinidumpSize())) {
      LOG(ERROR) << "No minidump of reporter " << pid;
      files.minidump.clear();
    }
  }
  return files;
}

// Serves until the parent has ended and every report and upload is done.
int Serve(uint32_t parent_id) {
  ProcessExitWaiter* waiter = ProcessExitWaiter::GetInstance();
  WatchedProcess parent(waiter);
  if (!parent.Watch(parent_id))
    return -1;
  std::wstring ready_name =
      FormatCrashReporterObjectName(kCrashReporterInitEventPrefix, parent_id);
  base::win::ScopedHandle ready(
      ready_name.empty()
          ? nullptr
          : ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready_name.c_str()));
  if (!ready.IsValid()) {
    PLOG(ERROR) << "Cannot open the ready event of process " << parent_id;
    return -1;
  }
  std::wstring pipe_name = FormatCrashReporterObjectName(
      kCrashReporterPipePrefix, ::GetCurrentProcessId());
  if (pipe_name.empty() ||
      !::SetCurrentDirectoryW(GetCrashLogDir().value().c_str())) {
    PLOG(ERROR) << "Cannot work in the crash directory " << GetCrashLogDir();
    return -1;
  }
  PipeSecurity security;
  auto context = std::make_unique<DumpCallbackContext>();
  context->keep_logs = IsKeepCrashLogsEnabled(false);
  context->waiter = waiter;
  if (!GetCrashCounterFilePath().empty()) {
    context->counters =
        std::make_unique<NamedCounterFile>(GetCrashCounterFilePath());
  }
  auto server = std::make_unique<crash_handler::CrashGenerationServer>(
      pipe_name, security.attributes(), &OnClientDumpRequest, context.get());
  if (!server->Start())
    return -1;
  ::SetEvent(ready.Get());
  ready.Close();
  LOG(INFO) << "Serving crash reports of process " << parent_id << " on "
            << pipe_name;

  waiter->Wait();
  // A report may have started while the parent ended: the server's end
  // waits for it, and what it queued holds the waiter again.
  server.reset();
  waiter->Wait();
  context.reset();
  LOG(INFO) << "The crash reporter's work is done";
  return 0;
}

}  // namespace

bool RunCrashReporterRole(const base::CommandLine& command_line) {
  if (!command_line.HasSwitch(switches::kCrashReporterParentId))
    return false;
  InstallCrashReporterExceptionFilter();
  if (command_line.HasSwitch(switches::kCrashReporterExceptionInfo))
    RunCrashReporterForCrashReporter(command_line);
  else
    RunCrashReporterServer(command_line);
  return true;
}

int RunCrashReporterServer(const base::CommandLine& command_line) {
  uint32_t parent_id = 0;
  if (!GetCrashReporterParentIdSwitch(command_line, &parent_id))
    return -1;
  InitCrashReporterLogging();
  if (!InitCrashLogDirectories(command_line))
    return -1;
  // Nothing is served, and no crash of this reporter reported, before the
  // user's consent is known.
  if (!SettleConsent(command_line))
    return -1;
  PrepareSelfCrashReporter(false);
  InitCrashServerUrls();
  return Serve(parent_id);
}

void RunCrashReporterForCrashReporter(const base::CommandLine& command_line) {
  uint32_t parent_id = 0;
  if (!GetCrashReporterParentIdSwitch(command_line, &parent_id))
    return;
  uint64_t record_address = 0;
  int64_t days = 0;
  if (!GetCrashReporterExceptionInfoSwitch(command_line, &record_address) ||
      !GetDaysSinceLastCrashReporterCrash(&days) ||
      days < kDaysBetweenReporterReports) {
    SignalCrashReporterExceptionEvent(parent_id);
    return;
  }
  // The third reporter, started by a crashed second one, keeps no log of
  // its own and prepares no further reporter: its crash ends the chain.
  bool third_reporter =
      command_line.HasSwitch(switches::kCrashReporterMinidump);
  if (!third_reporter)
    InitCrashReporterLogging();
  if (!InitCrashLogDirectories(command_line) || !SettleConsent(command_line)) {
    SignalCrashReporterExceptionEvent(parent_id);
    return;
  }
  if (!third_reporter) {
    PrepareSelfCrashReporter(true);
    if (!GetCrashCounterFilePath().empty()) {
      // Destroyed at once, which writes the count.
      NamedCounterFile counters(GetCrashCounterFilePath());
      counters.Add("crash_reporter", 1, true);
    }
  }
  SendCrashedReporterReport(
      parent_id, third_reporter,
      WriteCrashReporterFiles(parent_id, record_address, third_reporter));
}

bool GetCrashReporterParentIdSwitch(const base::CommandLine& command_line,
                                    uint32_t* pid) {
  unsigned value = 0;
  if (!base::StringToUint(
          command_line.GetSwitchValueASCII(switches::kCrashReporterParentId),
          &value)) {
    return false;
  }
  *pid = value;
  return true;
}

bool GetCrashReporterExceptionInfoSwitch(const base::CommandLine& command_line,
                                         uint64_t* address) {
  return base::StringToUint64(
      command_line.GetSwitchValueASCII(switches::kCrashReporterExceptionInfo),
      address);
}

}  // namespace crash_reporter
