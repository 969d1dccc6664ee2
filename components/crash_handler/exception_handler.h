// The in-process half of out-of-process crash reporting. It registers with
// a crash reporter's pipe at construction and, once registered, takes over
// the process's crash entries: unhandled exceptions, the runtime's invalid
// parameter and pure call handlers, and for this toolchain also pure virtual
// calls of compiled C++ code, std::terminate (an uncaught C++ exception) and
// abort(). A crash stores the crashed thread, its exception pointers and an
// assertion record where the reporter can read them, signals the reporter
// and waits, within a limit, until it has read them.
//
//   auto handler = std::make_unique<ExceptionHandler>(
//       L"", FilterCallback, MinidumpCallback, nullptr,
//       ExceptionHandler::HANDLER_ALL, MiniDumpNormal, pipe_name,
//       reporter_pid, &keys);
//   if (!handler->IsOutOfProcess())
//     handler.reset();  // Not registered: the process has no crash handler.
//
// Crashes without an exception of their own end the process with the codes
// of crash_handler_types.h, never with 0, so a crashed child is never taken
// for a successful one.

#ifndef COMPONENTS_CRASH_HANDLER_EXCEPTION_HANDLER_H_
#define COMPONENTS_CRASH_HANDLER_EXCEPTION_HANDLER_H_

#include <windows.h>

#include <dbghelp.h>
#include <stdint.h>

#include <exception>
#include <memory>
#include <string>

#include "components/crash_handler/crash_handler_types.h"
#include "components/crash_handler/runtime_hooks.h"

namespace crash_handler {

class CrashGenerationClient;

class ExceptionHandler {
 public:
  enum HandlerType {
    HANDLER_NONE = 0,
    HANDLER_EXCEPTION = 1 << 0,  // Also std::terminate and abort().
    HANDLER_INVALID_PARAMETER = 1 << 1,
    HANDLER_PURECALL = 1 << 2,
    HANDLER_ALL =
        HANDLER_EXCEPTION | HANDLER_INVALID_PARAMETER | HANDLER_PURECALL,
  };

  // Runs first, on the crashing thread; false leaves the crash unreported.
  // It may block for ever (to hold back later crashing threads).
  using FilterCallback = bool (*)(void* context,
                                  EXCEPTION_POINTERS* exinfo,
                                  MDRawAssertionInfo* assertion);
  // Runs after the reporter answered (|succeeded|) or the wait ended. True
  // means handled: the process ends with the exception code.
  using MinidumpCallback = bool (*)(const wchar_t* dump_path,
                                    const wchar_t* minidump_id,
                                    void* context,
                                    EXCEPTION_POINTERS* exinfo,
                                    MDRawAssertionInfo* assertion,
                                    bool succeeded);

  // |dump_path| is kept for the callbacks only: the reporter writes every
  // file. The callbacks and |custom_info| may be null. The reporter is
  // process |reporter_pid|, serving |pipe_name|.
  ExceptionHandler(const std::wstring& dump_path,
                   FilterCallback filter,
                   MinidumpCallback callback,
                   void* callback_context,
                   int handler_types,
                   MINIDUMP_TYPE dump_type,
                   const wchar_t* pipe_name,
                   DWORD reporter_pid,
                   const CustomClientInfo* custom_info);
  ExceptionHandler(const ExceptionHandler&) = delete;
  ExceptionHandler& operator=(const ExceptionHandler&) = delete;
  // Gives back every crash entry to what it was before. Handlers are
  // destroyed in the reverse order of their creation.
  ~ExceptionHandler();

  // Whether the registration with the reporter succeeded.
  bool IsOutOfProcess() const;

  // Breakpoints, single steps and debug output are reported too when set;
  // otherwise they go on to the next filter.
  void set_handle_debug_exceptions(bool handle) {
    handle_debug_exceptions_ = handle;
  }
  bool handle_debug_exceptions() const { return handle_debug_exceptions_; }

  // Reports |exinfo| now, through the reporter, and returns once it has
  // answered: for exceptions that something else has caught.
  bool WriteMinidumpForException(EXCEPTION_POINTERS* exinfo);

  // The crash entries, public so that the runtime (and tests standing in for
  // it where the runtime offers no hook) can call them. With no handler
  // installed they end the process with their crash code.
  static LONG WINAPI HandleException(EXCEPTION_POINTERS* exinfo);
  static void __cdecl HandleInvalidParameter(const wchar_t* expression,
                                             const wchar_t* function,
                                             const wchar_t* file,
                                             unsigned int line,
                                             uintptr_t reserved);
  static void __cdecl HandlePureVirtualCall();
  static void HandleTerminate();

  // Where pure virtual calls go while no handler is installed, for a
  // process that reports its own crashes another way (a crash reporter);
  // without one they end the process with their crash code.
  static void SetPureVirtualCallFallback(PurecallHandler handler);
  static void __cdecl HandleAbortSignal(int signal_number);

 private:
  using SignalHandler = void(__cdecl*)(int);

  // The handler the crash entries report to; null when none is installed.
  static ExceptionHandler* Current();

  void InstallCrashEntries();
  void RestoreCrashEntries();

  // The shared report: true when handled (see MinidumpCallback).
  bool WriteMinidumpWithException(DWORD thread_id,
                                  EXCEPTION_POINTERS* exinfo,
                                  MDRawAssertionInfo* assertion);

  // Reports a crash that raised no exception, with a record and context
  // made here, when the current handler takes crashes of |type|; then ends
  // the process with |code|.
  [[noreturn]] static void ReportAndTerminate(HandlerType type,
                                              uint32_t code,
                                              MDRawAssertionInfo* assertion);

  const std::wstring dump_path_;
  const FilterCallback filter_;
  const MinidumpCallback callback_;
  void* const callback_context_;
  const int handler_types_;
  bool handle_debug_exceptions_ = false;

  // Where the reporter reads the crash: registered addresses, so they live
  // as long as the handler.
  DWORD requesting_thread_id_ = 0;
  EXCEPTION_POINTERS* exception_info_ = nullptr;
  MDRawAssertionInfo assertion_info_ = {};

  std::unique_ptr<CrashGenerationClient> client_;

  // What the crash entries were before this handler; restored on
  // destruction.
  bool installed_ = false;
  ExceptionHandler* previous_handler_ = nullptr;
  LPTOP_LEVEL_EXCEPTION_FILTER previous_filter_ = nullptr;
  InvalidParameterHandler previous_invalid_parameter_handler_ = nullptr;
  PurecallHandler previous_purecall_handler_ = nullptr;
  std::terminate_handler previous_terminate_handler_ = nullptr;
  SignalHandler previous_abort_handler_ = nullptr;
};

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_EXCEPTION_HANDLER_H_
