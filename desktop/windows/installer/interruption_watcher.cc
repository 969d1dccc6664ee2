#include "desktop/windows/installer/interruption_watcher.h"

#include <utility>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

namespace {

// Set by ScopedChildExitGraceForTesting; zero when none is.
base::TimeDelta g_child_exit_grace_for_testing;

base::TimeDelta ChildExitGrace() {
  return g_child_exit_grace_for_testing.is_zero()
             ? InterruptionWatcher::kChildExitGrace
             : g_child_exit_grace_for_testing;
}

}  // namespace

InterruptionWatcher::ScopedChildExitGraceForTesting::
    ScopedChildExitGraceForTesting(base::TimeDelta grace) {
  DCHECK(!grace.is_zero());
  DCHECK(g_child_exit_grace_for_testing.is_zero()) << "Nested override";
  g_child_exit_grace_for_testing = grace;
}

InterruptionWatcher::ScopedChildExitGraceForTesting::
    ~ScopedChildExitGraceForTesting() {
  g_child_exit_grace_for_testing = base::TimeDelta();
}

InterruptionWatcher::InterruptionWatcher() = default;

InterruptionWatcher::~InterruptionWatcher() {
  interrupted_watcher_.StopWatching();
  front_end_watcher_.StopWatching();
}

StepResult InterruptionWatcher::Start(const base::FilePath& install_folder,
                                      uint32_t front_end_pid,
                                      InterruptedCallback on_interrupted) {
  on_interrupted_ = std::move(on_interrupted);
  const std::wstring name =
      InstallerObjectNames::ForFolder(install_folder).interrupted_event;
  LOG(INFO) << "Event name for interrupted installation: " << name;
  interrupted_event_.Set(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  if (!interrupted_event_.IsValid()) {
    PLOG(ERROR) << "OpenEvent failed";
    return StepResult::Error(
        IDS_ERROR_INSTALL,
        "Failed to open a handle to the installation interrupted event");
  }
  if (!interrupted_watcher_.StartWatchingOnce(interrupted_event_.Get(), this)) {
    return StepResult::Error(
        IDS_ERROR_INSTALL,
        "Failed to watch the installation interrupted event");
  }

  // The front end's own end is a way out of every wait too; the backend
  // watches it as well, but not while this run blocks its thread.
  if (front_end_pid == 0) {
    LOG(INFO) << "No front-end process to watch";
    return StepResult::Next();
  }
  front_end_process_ =
      base::Process::OpenWithAccess(front_end_pid, SYNCHRONIZE);
  if (!front_end_process_.IsValid()) {
    PLOG(WARNING) << "Cannot watch the front-end process " << front_end_pid;
    return StepResult::Next();
  }
  if (!front_end_watcher_.StartWatchingOnce(front_end_process_.Handle(),
                                            this)) {
    LOG(WARNING) << "Cannot watch the front-end process " << front_end_pid;
  }
  return StepResult::Next();
}

ChildWaitResult InterruptionWatcher::WaitForChildProcess(
    const base::Process& child,
    const std::string& what,
    int* exit_code) {
  std::vector<HANDLE> handles = {child.Handle()};
  const std::vector<HANDLE> way_out = GetHandles();
  handles.insert(handles.end(), way_out.begin(), way_out.end());
  const DWORD result = ::WaitForMultipleObjects(
      static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
  if (result == WAIT_OBJECT_0) {
    if (child.WaitForExitWithTimeout(base::TimeDelta(), exit_code))
      return ChildWaitResult::kExited;
    LOG(ERROR) << "Cannot read the exit code of " << what;
    return ChildWaitResult::kFailed;
  }
  if (result > WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size()) {
    LOG(WARNING) << Describe(handles[result - WAIT_OBJECT_0])
                 << " while waiting for " << what;
    // The child watches the same event and process and ends by itself.
    if (!child.WaitForExitWithTimeout(ChildExitGrace(), nullptr)) {
      LOG(ERROR) << what << " (process " << child.Pid()
                 << ") still runs; not waiting for it any longer";
      abandoned_child_ = child.Duplicate();
    }
    return ChildWaitResult::kAbandoned;
  }
  if (result == WAIT_FAILED) {
    PLOG(ERROR) << "Failed waiting for " << what;
    return ChildWaitResult::kFailed;
  }
  LOG(ERROR) << "Waiting for " << what << " ended with result " << result;
  return ChildWaitResult::kUnexpected;
}

std::vector<HANDLE> InterruptionWatcher::GetHandles() const {
  std::vector<HANDLE> handles;
  if (interrupted_event_.IsValid())
    handles.push_back(interrupted_event_.Get());
  if (front_end_process_.IsValid())
    handles.push_back(front_end_process_.Handle());
  return handles;
}

std::string InterruptionWatcher::Describe(HANDLE handle) const {
  if (handle == interrupted_event_.Get())
    return "Installation was interrupted";
  return "The front end's process ended";
}

bool InterruptionWatcher::IsInterrupted(std::string* why) const {
  for (HANDLE handle : GetHandles()) {
    if (::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) {
      *why = Describe(handle);
      return true;
    }
  }
  return false;
}

bool InterruptionWatcher::AbandonedChildRuns() const {
  return abandoned_child_.IsValid() &&
         !abandoned_child_.WaitForExitWithTimeout(base::TimeDelta(), nullptr);
}

void InterruptionWatcher::OnObjectSignaled(HANDLE object) {
  const std::string why = Describe(object);
  LOG(WARNING) << why;
  if (on_interrupted_)
    std::move(on_interrupted_).Run(why);
}

}  // namespace installer
