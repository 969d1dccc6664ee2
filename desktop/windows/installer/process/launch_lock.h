// The one lock of a process under which child processes are started.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_LAUNCH_LOCK_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_LAUNCH_LOCK_H_

namespace base {
class Lock;
}  // namespace base

namespace installer {

// Held while handles meant for one child process are made inheritable and
// the child is started, so that no other child inherits them.
base::Lock& GetProcessLaunchLock();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_LAUNCH_LOCK_H_
