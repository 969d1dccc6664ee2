#include "desktop/windows/installer/ipc/ipc_receiver.h"

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/threading/thread_task_runner_handle.h"
#include "desktop/windows/installer/ipc/ipc_util.h"
#include "desktop/windows/installer/ipc/mailslot_reader.h"
#include "desktop/windows/installer/ipc/mailslot_writer.h"

namespace installer {

IPCReceiver::IPCReceiver(Delegate* delegate)
    : delegate_(delegate),
      owner_task_runner_(base::ThreadTaskRunnerHandle::Get()) {
  DCHECK(delegate_);
  weak_this_ = weak_factory_.GetWeakPtr();
}

IPCReceiver::~IPCReceiver() {
  Close();
  weak_factory_.InvalidateWeakPtrs();
}

bool IPCReceiver::Connect(const std::wstring& name) {
  DCHECK(owner_task_runner_->BelongsToCurrentThread());
  DCHECK(!thread_) << "IPCReceiver connected twice";
  VLOG(1) << "Preparing to receive IPC on " << name;
  // Created here rather than on the I/O thread so that the caller learns
  // whether the name was free before it starts a backend.
  const std::wstring full_name = GetMailslotFullName(name);
  base::win::ScopedHandle mailslot = MailslotReader::CreateMailslot(full_name);
  if (!mailslot.IsValid())
    return false;
  // Without it the receiver still works; stopping waits for the read
  // time-out.
  waker_ = MailslotWriter::OpenMailslot(full_name);
  thread_ = StartIPCThread(base::BindOnce(
      &IPCReceiver::StartReader, base::Unretained(this), std::move(mailslot)));
  return thread_ != nullptr;
}

void IPCReceiver::Close() {
  DCHECK(owner_task_runner_->BelongsToCurrentThread());
  VLOG(1) << "Stopping RPC receiver";
  if (!thread_)
    return;
  // Always posted, behind the reader's creation when Connect was just
  // called, so that no reader outlives the thread.
  StopIPCThread(
      std::move(thread_),
      base::BindOnce(&IPCReceiver::CloseReader, base::Unretained(this)),
      base::BindOnce(&IPCReceiver::WakeReader, base::Unretained(this)));
  waker_.Close();
}

void IPCReceiver::DeliverPendingThen(base::OnceClosure done) {
  DCHECK(owner_task_runner_->BelongsToCurrentThread());
  if (!thread_) {
    owner_task_runner_->PostTask(FROM_HERE, std::move(done));
    return;
  }
  thread_->task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&IPCReceiver::ReadPendingThen,
                                base::Unretained(this), std::move(done)));
  WakeReader();
}

void IPCReceiver::WakeReader() {
  if (waker_.IsValid())
    MailslotWriter::WriteEmptyMessage(waker_.Get());
}

void IPCReceiver::ReadPendingThen(base::OnceClosure done) {
  if (reader_)
    reader_->ReadAvailable();
  // Behind the deliveries that the reads just posted.
  owner_task_runner_->PostTask(FROM_HERE, std::move(done));
}

void IPCReceiver::StartReader(base::win::ScopedHandle mailslot) {
  DCHECK(!reader_);
  reader_ = std::make_unique<MailslotReader>(
      std::move(mailslot), base::BindRepeating(&IPCReceiver::OnMessagesReceived,
                                               base::Unretained(this)));
  reader_->Start();
}

void IPCReceiver::CloseReader() {
  reader_.reset();
}

void IPCReceiver::OnMessagesReceived(std::vector<base::Pickle> messages) {
  // One task for all that arrived together: a task each woke the owner
  // thread once per copied file.
  owner_task_runner_->PostTask(
      FROM_HERE, base::BindOnce(&IPCReceiver::DeliverMessages, weak_this_,
                                std::move(messages)));
}

void IPCReceiver::DeliverMessages(const std::vector<base::Pickle>& messages) {
  const base::WeakPtr<IPCReceiver> alive = weak_factory_.GetWeakPtr();
  for (const base::Pickle& message : messages) {
    delegate_->OnMessageReceived(message);
    // The delegate may have destroyed the receiver; the rest is dropped as
    // if it were still queued.
    if (!alive)
      return;
  }
}

}  // namespace installer
