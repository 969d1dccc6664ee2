#include "desktop/windows/installer/ipc/ipc_sender.h"

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/ipc_util.h"
#include "desktop/windows/installer/ipc/mailslot_writer.h"

namespace installer {

IPCSender::IPCSender() = default;

IPCSender::~IPCSender() {
  Close();
}

bool IPCSender::Connect(const std::wstring& name,
                        const std::vector<HANDLE>& front_end) {
  DCHECK(!thread_) << "IPCSender connected twice";
  VLOG(1) << "Preparing to send IPC on " << name;
  std::vector<base::win::ScopedHandle> front_end_copies;
  for (HANDLE handle : front_end) {
    HANDLE copy = nullptr;
    if (::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(),
                          &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      front_end_copies.emplace_back(copy);
    } else {
      PLOG(ERROR) << "Cannot keep a handle of the front end";
    }
  }
  const std::wstring full_name = GetMailslotFullName(name);
  base::win::ScopedHandle mailslot = MailslotWriter::OpenMailslot(full_name);
  const bool opened = mailslot.IsValid();
  thread_ = StartIPCThread(
      base::BindOnce(&IPCSender::StartWriter, base::Unretained(this), full_name,
                     std::move(mailslot), std::move(front_end_copies)));
  return opened && thread_;
}

void IPCSender::Send(std::unique_ptr<base::Pickle> message) {
  if (!thread_) {
    // Said once by Connect; this comes with every message.
    VLOG(2) << "Dropping an installer message: no mailslot";
    return;
  }
  batch_.push_back(std::move(message));
  Flush();
}

void IPCSender::SendResult(std::unique_ptr<base::Pickle> message) {
  if (!thread_) {
    LOG(ERROR) << "Dropping a result message: no IPC thread";
    return;
  }
  // Behind everything sent before it.
  Flush();
  thread_->task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&IPCSender::WriteResult, base::Unretained(this),
                                std::move(message)));
}

void IPCSender::SendBatched(std::unique_ptr<base::Pickle> message) {
  if (!thread_) {
    // Said once by Connect; this comes with every message.
    VLOG(2) << "Dropping an installer message: no mailslot";
    return;
  }
  batch_.push_back(std::move(message));
  if (!flush_timer_.IsRunning()) {
    flush_timer_.Start(
        FROM_HERE, kBatchWindow,
        base::BindOnce(&IPCSender::Flush, base::Unretained(this)));
  }
}

void IPCSender::Flush() {
  flush_timer_.Stop();
  if (batch_.empty() || !thread_)
    return;
  thread_->task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&IPCSender::WriteMessages,
                                base::Unretained(this), std::move(batch_)));
  batch_.clear();
}

void IPCSender::Close() {
  VLOG(1) << "Stopping RPC sender";
  Flush();
  if (!thread_)
    return;
  // Posted behind every message sent so far, which are written first.
  StopIPCThread(std::move(thread_), base::BindOnce(&IPCSender::CloseWriter,
                                                   base::Unretained(this)));
}

void IPCSender::StartWriter(const std::wstring& full_name,
                            base::win::ScopedHandle mailslot,
                            std::vector<base::win::ScopedHandle> front_end) {
  DCHECK(!writer_);
  writer_ = std::make_unique<MailslotWriter>(full_name, std::move(mailslot),
                                             std::move(front_end));
}

void IPCSender::WriteMessages(Messages messages) {
  for (std::unique_ptr<base::Pickle>& message : messages)
    writer_->Write(std::move(message));
}

void IPCSender::WriteResult(std::unique_ptr<base::Pickle> message) {
  writer_->WriteResult(std::move(message));
}

void IPCSender::CloseWriter() {
  writer_.reset();
}

}  // namespace installer
