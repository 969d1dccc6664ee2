// What both ends of the installer mailslot share.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_IPC_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_IPC_UTIL_H_

#include <memory>
#include <string>

#include "base/callback.h"
#include "base/threading/thread.h"

namespace installer {

// "\\.\mailslot\" followed by the endpoint name |name|.
std::wstring GetMailslotFullName(const std::wstring& name);

// Starts the I/O thread of an endpoint, "Installer IPC thread", and posts
// |first_task| to it; null when it cannot start (logged).
std::unique_ptr<base::Thread> StartIPCThread(base::OnceClosure first_task);

// Posts |last_task| to |thread| behind everything posted before, runs
// |after_posting| (when given) on the calling thread, then stops and
// destroys the thread.
void StopIPCThread(std::unique_ptr<base::Thread> thread,
                   base::OnceClosure last_task,
                   base::OnceClosure after_posting = base::OnceClosure());

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_IPC_UTIL_H_
