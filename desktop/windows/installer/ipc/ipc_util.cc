#include "desktop/windows/installer/ipc/ipc_util.h"

#include "base/logging.h"

namespace installer {

std::wstring GetMailslotFullName(const std::wstring& name) {
  return L"\\\\.\\mailslot\\" + name;
}

std::unique_ptr<base::Thread> StartIPCThread() {
  auto thread = std::make_unique<base::Thread>("Installer IPC thread");
  if (!thread->StartWithOptions(
          base::Thread::Options(base::MessageLoop::TYPE_IO, 0))) {
    LOG(ERROR) << "Could not start IPC thread";
    return nullptr;
  }
  return thread;
}

}  // namespace installer
