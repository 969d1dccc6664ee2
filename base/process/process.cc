#include "base/process/process.h"

#include <utility>

#include "base/logging.h"
#include "base/process/kill.h"

namespace base {

Process::Process(ProcessHandle handle) : process_(handle) {
  DCHECK(handle != ::GetCurrentProcess());
}

Process::Process(Process&& other) noexcept
    : process_(std::move(other.process_)),
      is_current_process_(other.is_current_process_) {
  other.is_current_process_ = false;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    process_ = std::move(other.process_);
    is_current_process_ = other.is_current_process_;
    other.is_current_process_ = false;
  }
  return *this;
}

Process::~Process() = default;

// static
Process Process::Current() {
  Process process;
  process.is_current_process_ = true;
  return process;
}

// static
Process Process::Open(ProcessId pid) {
  return OpenWithAccess(pid, kBasicProcessAccess);
}

// static
Process Process::OpenWithAccess(ProcessId pid, DWORD desired_access) {
  HANDLE handle = ::OpenProcess(desired_access, FALSE, pid);
  if (!handle)
    PLOG(WARNING) << "Cannot open process " << pid;
  return Process(handle);
}

bool Process::IsValid() const {
  return is_current_process_ || process_.IsValid();
}

ProcessHandle Process::Handle() const {
  return is_current_process_ ? ::GetCurrentProcess() : process_.Get();
}

Process Process::Duplicate() const {
  if (is_current_process_)
    return Current();
  if (!IsValid())
    return Process();
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), Handle(), ::GetCurrentProcess(),
                         &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    PLOG(ERROR) << "Cannot duplicate a process handle";
    return Process();
  }
  return Process(copy);
}

ProcessId Process::Pid() const {
  DCHECK(IsValid());
  return GetProcId(Handle());
}

void Process::Close() {
  is_current_process_ = false;
  process_.Close();
}

bool Process::Terminate(int exit_code, bool wait) const {
  DCHECK(IsValid());
  return KillProcess(Handle(), exit_code, wait);
}

bool Process::WaitForExitWithTimeout(TimeDelta timeout, int* exit_code) const {
  DCHECK(IsValid());
  DWORD result =
      ::WaitForSingleObject(Handle(), timeout.InMillisecondsForWait());
  if (result != WAIT_OBJECT_0) {
    if (result == WAIT_FAILED)
      PLOG(ERROR) << "Cannot wait for a process";
    return false;
  }
  if (!exit_code)
    return true;
  DWORD code = 0;
  if (!::GetExitCodeProcess(Handle(), &code)) {
    PLOG(ERROR) << "Cannot read the exit code of a process";
    return false;
  }
  *exit_code = static_cast<int>(code);
  return true;
}

}  // namespace base
