#include "base/process/launch.h"

#include "base/command_line.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

#include "base/logging.h"
#include "base/process/kill.h"
#include "base/synchronization/lock.h"
#include "base/win/cancel_io.h"
#include "base/win/scoped_handle.h"
#include "base/win/vista_function.h"

namespace base {

namespace {

// Owns a PROC_THREAD_ATTRIBUTE_LIST holding one handle list. Windows before
// Vista has no attribute lists: a child inherits every inheritable handle.
class HandleListAttribute {
 public:
  HandleListAttribute() = default;
  HandleListAttribute(const HandleListAttribute&) = delete;
  HandleListAttribute& operator=(const HandleListAttribute&) = delete;
  ~HandleListAttribute() {
    if (initialized_)
      functions().remove(list());
  }

  // Whether this Windows has attribute lists.
  static bool IsAvailable() { return functions().update != nullptr; }

  // |handles| must outlive the attribute list.
  bool Init(std::vector<HANDLE>* handles) {
    DCHECK(IsAvailable());
    SIZE_T size = 0;
    functions().initialize(nullptr, 1, 0, &size);
    buffer_ = std::make_unique<char[]>(size);
    if (!functions().initialize(list(), 1, 0, &size)) {
      PLOG(ERROR) << "InitializeProcThreadAttributeList failed";
      return false;
    }
    initialized_ = true;
    if (!functions().update(list(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                            handles->data(), handles->size() * sizeof(HANDLE),
                            nullptr, nullptr)) {
      PLOG(ERROR) << "UpdateProcThreadAttribute failed";
      return false;
    }
    return true;
  }

  LPPROC_THREAD_ATTRIBUTE_LIST list() {
    return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.get());
  }

 private:
  struct Functions {
    decltype(&::InitializeProcThreadAttributeList) initialize;
    decltype(&::UpdateProcThreadAttribute) update;
    decltype(&::DeleteProcThreadAttributeList) remove;
  };

  // All three, or none.
  static const Functions& functions() {
    static const Functions functions = [] {
      Functions found = {
          win::GetVistaFunction<decltype(&::InitializeProcThreadAttributeList)>(
              "InitializeProcThreadAttributeList"),
          win::GetVistaFunction<decltype(&::UpdateProcThreadAttribute)>(
              "UpdateProcThreadAttribute"),
          win::GetVistaFunction<decltype(&::DeleteProcThreadAttributeList)>(
              "DeleteProcThreadAttributeList")};
      if (!found.initialize || !found.update || !found.remove)
        found = {};
      return found;
    }();
    return functions;
  }

  std::unique_ptr<char[]> buffer_;
  bool initialized_ = false;
};

bool IsInheritable(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) &&
         (flags & HANDLE_FLAG_INHERIT) != 0;
}

// The handles the child may inherit: the explicit list and the standard
// handles, each once. False when one of them is not inheritable.
bool BuildHandleList(const LaunchOptions& options, std::vector<HANDLE>* list) {
  *list = options.handles_to_inherit;
  for (HANDLE handle :
       {options.stdin_handle, options.stdout_handle, options.stderr_handle}) {
    if (handle)
      list->push_back(handle);
  }
  std::sort(list->begin(), list->end());
  list->erase(std::unique(list->begin(), list->end()), list->end());
  for (HANDLE handle : *list) {
    if (!IsInheritable(handle)) {
      LOG(ERROR) << "Handle " << handle << " is not inheritable";
      return false;
    }
  }
  return true;
}

// A pipe whose read end this process reads with a time limit (overlapped)
// and whose write end a child inherits as its standard output.
bool CreateOutputPipe(win::ScopedHandle* read_end,
                      win::ScopedHandle* write_end) {
  static std::atomic<unsigned> counter{0};
  std::wstring name = L"\\\\.\\pipe\\kelvo.app_output." +
                      std::to_wstring(::GetCurrentProcessId()) + L"." +
                      std::to_wstring(counter++) + L"." +
                      std::to_wstring(::GetTickCount64());
  read_end->Set(::CreateNamedPipeW(name.c_str(),
                                   PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED |
                                       FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE |
                                       PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                   1, 0, 64 * 1024, 0, nullptr));
  if (!read_end->IsValid()) {
    PLOG(ERROR) << "Cannot create the output pipe";
    return false;
  }
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  write_end->Set(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable,
                               OPEN_EXISTING, 0, nullptr));
  if (!write_end->IsValid()) {
    PLOG(ERROR) << "Cannot open the output pipe for writing";
    return false;
  }
  return true;
}

enum class ReadResult { kEndOfData, kTimedOut, kFailed };

// Appends everything readable from |pipe| to |output| until the writers are
// gone or |deadline| passes.
ReadResult ReadPipeUntil(HANDLE pipe, TimeTicks deadline, std::string* output) {
  win::ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event.IsValid()) {
    PLOG(ERROR) << "CreateEvent failed";
    return ReadResult::kFailed;
  }
  char buffer[4096];
  for (;;) {
    TimeDelta remaining = deadline - TimeTicks::Now();
    if (remaining <= TimeDelta())
      return ReadResult::kTimedOut;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event.Get();
    ::ResetEvent(event.Get());
    BOOL ok = ::ReadFile(pipe, buffer, sizeof(buffer), nullptr, &overlapped);
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (!ok && error == ERROR_IO_PENDING) {
      if (::WaitForSingleObject(event.Get(),
                                remaining.InMillisecondsForWait()) !=
          WAIT_OBJECT_0) {
        // Out of time: take the read back before its buffer goes away.
        base::win::CancelOwnIo(pipe, &overlapped);
        DWORD ignored = 0;
        ::GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
        return ReadResult::kTimedOut;
      }
      ok = TRUE;
    }
    // The count comes from here even when ReadFile finished at once.
    DWORD read = 0;
    if (ok && !::GetOverlappedResult(pipe, &overlapped, &read, FALSE)) {
      ok = FALSE;
      error = ::GetLastError();
    }
    if (!ok) {
      if (error == ERROR_BROKEN_PIPE)
        return ReadResult::kEndOfData;
      LOG(ERROR) << "Cannot read the output pipe: "
                 << logging::SystemErrorCodeToString(error);
      return ReadResult::kFailed;
    }
    output->append(buffer, read);
  }
}

}  // namespace

LaunchOptions::LaunchOptions() = default;
LaunchOptions::LaunchOptions(const LaunchOptions&) = default;
LaunchOptions& LaunchOptions::operator=(const LaunchOptions&) = default;
LaunchOptions::~LaunchOptions() = default;

Process LaunchProcess(const std::wstring& cmdline,
                      const LaunchOptions& options) {
  if (options.wait && options.wait_timeout <= TimeDelta()) {
    LOG(ERROR) << "Not starting " << cmdline
               << ": waiting for it needs a time limit";
    return Process();
  }
  bool std_handles =
      options.stdin_handle || options.stdout_handle || options.stderr_handle;
  if (std_handles && !options.inherit_handles) {
    LOG(ERROR) << "Not starting " << cmdline
               << ": standard handles need handle inheritance";
    return Process();
  }

  STARTUPINFOEXW startup_info = {};
  startup_info.StartupInfo.cb = sizeof(startup_info.StartupInfo);
  DWORD flags = 0;
  if (options.start_hidden) {
    startup_info.StartupInfo.dwFlags |= STARTF_USESHOWWINDOW;
    startup_info.StartupInfo.wShowWindow = SW_HIDE;
  }
  if (std_handles) {
    startup_info.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup_info.StartupInfo.hStdInput = options.stdin_handle;
    startup_info.StartupInfo.hStdOutput = options.stdout_handle;
    startup_info.StartupInfo.hStdError = options.stderr_handle;
  }

  std::vector<HANDLE> handle_list;
  if (options.inherit_handles && !BuildHandleList(options, &handle_list)) {
    LOG(ERROR) << "Not starting " << cmdline;
    return Process();
  }
  // An explicit list limits inheritance to the handles on it.
  HandleListAttribute attribute;
  if (options.inherit_handles && !options.handles_to_inherit.empty() &&
      !HandleListAttribute::IsAvailable()) {
    LOG(WARNING) << "Before Windows Vista " << cmdline
                 << " inherits every inheritable handle, not only its own";
  } else if (options.inherit_handles && !options.handles_to_inherit.empty()) {
    if (!attribute.Init(&handle_list)) {
      LOG(ERROR) << "Not starting " << cmdline;
      return Process();
    }
    startup_info.StartupInfo.cb = sizeof(startup_info);
    startup_info.lpAttributeList = attribute.list();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }

  // CreateProcessW may write into the command line.
  std::vector<wchar_t> writable(cmdline.begin(), cmdline.end());
  writable.push_back(L'\0');
  PROCESS_INFORMATION process_info = {};
  if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr,
                        options.inherit_handles, flags, nullptr,
                        options.current_directory.empty()
                            ? nullptr
                            : options.current_directory.c_str(),
                        &startup_info.StartupInfo, &process_info)) {
    PLOG(ERROR) << "Cannot start " << cmdline;
    return Process();
  }
  ::CloseHandle(process_info.hThread);
  Process process(process_info.hProcess);

  if (options.wait &&
      !process.WaitForExitWithTimeout(options.wait_timeout, nullptr)) {
    LOG(ERROR) << cmdline << " did not end within "
               << options.wait_timeout.InMilliseconds() << " ms";
  }
  return process;
}

bool GetAppOutput(const std::wstring& cmdline, std::string* output) {
  int exit_code = -1;
  return GetAppOutputWithExitCode(cmdline, output, &exit_code,
                                  kGetAppOutputTimeout) &&
         exit_code == 0;
}

bool GetAppOutputWithExitCode(const std::wstring& cmdline,
                              std::string* output,
                              int* exit_code,
                              TimeDelta timeout,
                              Lock* launch_lock) {
  DCHECK(output);
  DCHECK(exit_code);
  output->clear();
  const TimeTicks deadline = TimeTicks::Now() + timeout;
  win::ScopedHandle read_end;
  Process process;
  {
    std::optional<AutoLock> hold;
    if (launch_lock)
      hold.emplace(*launch_lock);
    win::ScopedHandle write_end;
    if (!CreateOutputPipe(&read_end, &write_end))
      return false;
    LaunchOptions options;
    options.start_hidden = true;
    options.inherit_handles = true;
    options.handles_to_inherit = {write_end.Get()};
    options.stdout_handle = write_end.Get();
    process = LaunchProcess(cmdline, options);
    // Only the child may hold the write end now, so the pipe breaks when
    // the child (and whatever it passed the handle to) is gone.
  }
  if (!process.IsValid())
    return false;

  ReadResult read = ReadPipeUntil(read_end.Get(), deadline, output);
  if (read == ReadResult::kEndOfData &&
      process.WaitForExitWithTimeout(deadline - TimeTicks::Now(), exit_code)) {
    return true;
  }
  if (read != ReadResult::kFailed) {
    LOG(ERROR) << cmdline << " did not end within " << timeout.InMilliseconds()
               << " ms; ending it";
  }
  process.Terminate(1, /*wait=*/false);
  return false;
}

Process LaunchProcess(const CommandLine& cmdline,
                      const LaunchOptions& options) {
  return LaunchProcess(cmdline.GetCommandLineString(), options);
}

}  // namespace base
