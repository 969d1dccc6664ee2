#include "desktop/windows/installer/ipc/ipc_util.h"

#include <utility>

#include "base/logging.h"

namespace installer {

std::wstring GetMailslotFullName(const std::wstring& name) {
  return L"\\\\.\\mailslot\\" + name;
}

std::unique_ptr<base::Thread> StartIPCThread(base::OnceClosure first_task) {
  auto thread = std::make_unique<base::Thread>("Installer IPC thread");
  if (!thread->StartWithOptions(
          base::Thread::Options(base::MessageLoop::TYPE_IO, 0))) {
    LOG(ERROR) << "Could not start IPC thread";
    return nullptr;
  }
  thread->task_runner()->PostTask(FROM_HERE, std::move(first_task));
  return thread;
}

void StopIPCThread(std::unique_ptr<base::Thread> thread,
                   base::OnceClosure last_task,
                   base::OnceClosure after_posting) {
  DCHECK(thread);
  thread->task_runner()->PostTask(FROM_HERE, std::move(last_task));
  if (after_posting)
    std::move(after_posting).Run();
  thread->Stop();
}

}  // namespace installer
