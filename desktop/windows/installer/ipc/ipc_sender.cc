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

bool IPCSender::Connect(const std::wstring& name) {
  DCHECK(!thread_) << "IPCSender connected twice";
  VLOG(1) << "Preparing to send IPC on " << name;
  base::win::ScopedHandle mailslot =
      MailslotWriter::OpenMailslot(GetMailslotFullName(name));
  if (!mailslot.IsValid())
    return false;
  thread_ = StartIPCThread(base::BindOnce(
      &IPCSender::StartWriter, base::Unretained(this), std::move(mailslot)));
  return thread_ != nullptr;
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

void IPCSender::StartWriter(base::win::ScopedHandle mailslot) {
  DCHECK(!writer_);
  writer_ = std::make_unique<MailslotWriter>(std::move(mailslot));
}

void IPCSender::WriteMessages(Messages messages) {
  for (std::unique_ptr<base::Pickle>& message : messages)
    writer_->Write(std::move(message));
}

void IPCSender::CloseWriter() {
  writer_.reset();
}

}  // namespace installer
