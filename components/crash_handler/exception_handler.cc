#include "components/crash_handler/exception_handler.h"

#include <signal.h>
#include <string.h>

#include <atomic>

#include "base/logging.h"
#include "components/crash_handler/crash_generation_client.h"
#include "components/crash_handler/runtime_crash.h"
#include "components/crash_handler/runtime_hooks.h"

namespace crash_handler {

namespace {

std::atomic<ExceptionHandler*> g_current_handler{nullptr};
std::atomic<PurecallHandler> g_pure_virtual_call_fallback{nullptr};

// One report at a time: a second crashing thread waits here until the first
// report is done (and the process normally ends). A flag it polls, not a
// lock object: it must work from the first instruction, on every Windows,
// without anything allocated.
std::atomic<bool> g_report_in_progress{false};
constexpr DWORD kReportPollMs = 10;
// The thread inside the report, so that a crash of the report itself is
// not reported again (it would wait on its own lock).
std::atomic<DWORD> g_reporting_thread{0};

bool IsDebugException(DWORD code) {
  return code == EXCEPTION_BREAKPOINT || code == EXCEPTION_SINGLE_STEP ||
         code == DBG_PRINTEXCEPTION_C;
}

}  // namespace

ExceptionHandler::ExceptionHandler(const std::wstring& dump_path,
                                   FilterCallback filter,
                                   MinidumpCallback callback,
                                   void* callback_context,
                                   int handler_types,
                                   MINIDUMP_TYPE dump_type,
                                   const wchar_t* pipe_name,
                                   DWORD reporter_pid,
                                   const CustomClientInfo* custom_info)
    : dump_path_(dump_path),
      filter_(filter),
      callback_(callback),
      callback_context_(callback_context),
      handler_types_(handler_types) {
  if (!pipe_name)
    return;
  client_ = std::make_unique<CrashGenerationClient>(
      pipe_name, reporter_pid, dump_type, custom_info, &requesting_thread_id_,
      &exception_info_, &assertion_info_);
  // A handler that cannot reach its reporter takes over nothing: a crash
  // then goes where it went before.
  if (client_->Register())
    InstallCrashEntries();
}

ExceptionHandler::~ExceptionHandler() {
  if (installed_)
    RestoreCrashEntries();
}

bool ExceptionHandler::IsOutOfProcess() const {
  return client_ && client_->IsRegistered();
}

bool ExceptionHandler::WriteMinidumpForException(EXCEPTION_POINTERS* exinfo) {
  return WriteMinidumpWithException(::GetCurrentThreadId(), exinfo, nullptr);
}

// static
void ExceptionHandler::SetPureVirtualCallFallback(PurecallHandler handler) {
  g_pure_virtual_call_fallback.store(handler);
}

// static
ExceptionHandler* ExceptionHandler::Current() {
  return g_current_handler.load(std::memory_order_acquire);
}

void ExceptionHandler::InstallCrashEntries() {
  DCHECK(!installed_);
  installed_ = true;
  previous_handler_ = g_current_handler.exchange(this);
  if (handler_types_ & HANDLER_EXCEPTION) {
    previous_filter_ = ::SetUnhandledExceptionFilter(&HandleException);
    previous_terminate_handler_ = std::set_terminate(&HandleTerminate);
    previous_abort_handler_ = ::signal(SIGABRT, &HandleAbortSignal);
  }
  if (handler_types_ & HANDLER_INVALID_PARAMETER) {
    previous_invalid_parameter_handler_ =
        SetRuntimeInvalidParameterHandler(&HandleInvalidParameter);
  }
  if (handler_types_ & HANDLER_PURECALL) {
    // Compiled C++ code reaches HandlePureVirtualCall through
    // __cxa_pure_virtual below; this covers code built for the runtime's
    // own pure-call entry.
    previous_purecall_handler_ =
        SetRuntimePurecallHandler(&HandlePureVirtualCall);
  }
}

void ExceptionHandler::RestoreCrashEntries() {
  DCHECK_EQ(Current(), this) << "crash handlers must go in reverse order";
  if (handler_types_ & HANDLER_EXCEPTION) {
    ::SetUnhandledExceptionFilter(previous_filter_);
    std::set_terminate(previous_terminate_handler_);
    ::signal(SIGABRT, previous_abort_handler_ == SIG_ERR
                          ? SIG_DFL
                          : previous_abort_handler_);
  }
  if (handler_types_ & HANDLER_INVALID_PARAMETER) {
    SetRuntimeInvalidParameterHandler(previous_invalid_parameter_handler_);
  }
  if (handler_types_ & HANDLER_PURECALL) {
    SetRuntimePurecallHandler(previous_purecall_handler_);
  }
  g_current_handler.store(previous_handler_, std::memory_order_release);
  installed_ = false;
}

bool ExceptionHandler::WriteMinidumpWithException(
    DWORD thread_id,
    EXCEPTION_POINTERS* exinfo,
    MDRawAssertionInfo* assertion) {
  if (g_reporting_thread.load() == thread_id)
    return false;
  if (filter_ && !filter_(callback_context_, exinfo, assertion))
    return false;
  while (g_report_in_progress.exchange(true, std::memory_order_acquire))
    ::Sleep(kReportPollMs);
  g_reporting_thread.store(thread_id);
  requesting_thread_id_ = thread_id;
  exception_info_ = exinfo;
  if (assertion)
    assertion_info_ = *assertion;
  else
    memset(&assertion_info_, 0, sizeof(assertion_info_));
  bool succeeded =
      client_ && client_->RequestDump(CrashGenerationClient::kDumpTimeoutMs);
  g_reporting_thread.store(0);
  g_report_in_progress.store(false, std::memory_order_release);
  if (!callback_)
    return succeeded;
  return callback_(dump_path_.c_str(), L"", callback_context_, exinfo,
                   assertion, succeeded);
}

// static
LONG WINAPI ExceptionHandler::HandleException(EXCEPTION_POINTERS* exinfo) {
  ExceptionHandler* handler = Current();
  if (!handler)
    return EXCEPTION_CONTINUE_SEARCH;
  DWORD code = exinfo->ExceptionRecord->ExceptionCode;
  if (!IsDebugException(code) || handler->handle_debug_exceptions_) {
    if (handler->WriteMinidumpWithException(::GetCurrentThreadId(), exinfo,
                                            nullptr)) {
      return EXCEPTION_EXECUTE_HANDLER;
    }
  }
  if (handler->previous_filter_)
    return handler->previous_filter_(exinfo);
  return EXCEPTION_CONTINUE_SEARCH;
}

// static
void __cdecl ExceptionHandler::HandleInvalidParameter(const wchar_t* expression,
                                                      const wchar_t* function,
                                                      const wchar_t* file,
                                                      unsigned int line,
                                                      uintptr_t reserved) {
  MDRawAssertionInfo assertion =
      MakeInvalidParameterAssertion(expression, function, file, line);
  ReportAndTerminate(HANDLER_INVALID_PARAMETER, kInvalidParameterExceptionCode,
                     &assertion);
}

// static
void __cdecl ExceptionHandler::HandlePureVirtualCall() {
  PurecallHandler fallback = g_pure_virtual_call_fallback.load();
  if (!Current() && fallback)
    fallback();
  MDRawAssertionInfo assertion = {};
  assertion.type = kAssertionTypePureVirtualCall;
  ReportAndTerminate(HANDLER_PURECALL, kPureVirtualCallExceptionCode,
                     &assertion);
}

// static
void ExceptionHandler::HandleTerminate() {
  ReportAndTerminate(HANDLER_EXCEPTION, kTerminateExceptionCode, nullptr);
}

// static
void __cdecl ExceptionHandler::HandleAbortSignal(int) {
  ReportAndTerminate(HANDLER_EXCEPTION, kAbortExceptionCode, nullptr);
}

// static
void ExceptionHandler::ReportAndTerminate(HandlerType type,
                                          uint32_t code,
                                          MDRawAssertionInfo* assertion) {
  ExceptionHandler* handler = Current();
  if (handler && (handler->handler_types_ & type)) {
    CapturedException exception;
    CaptureException(code, &exception);
    handler->WriteMinidumpWithException(::GetCurrentThreadId(),
                                        &exception.pointers, assertion);
  }
  // Never a normal exit: at-exit work would run beside the crashed state,
  // and a parent must not read the crash as success.
  ::TerminateProcess(::GetCurrentProcess(), code);
  for (;;)
    ::Sleep(INFINITE);
}

}  // namespace crash_handler

// Pure virtual calls of code from this compiler come here instead of to the
// runtime's _purecall.
extern "C" void __cxa_pure_virtual() {
  crash_handler::ExceptionHandler::HandlePureVirtualCall();
}

extern "C" void __cxa_deleted_virtual() {
  crash_handler::ExceptionHandler::HandlePureVirtualCall();
}
