#include "desktop/windows/installer/ipc/mailslot_reader.h"

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/threading/thread_task_runner_handle.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/mailslot_security.h"

namespace installer {

namespace {

// At most this many messages are read by one drain.
constexpr int kMaxMessagesPerDrain = 10000;

constexpr size_t kReadBufferSize = 2 * kMaxInstallerMessageSize;
// Failed reads in a row after which the reader gives up instead of
// spinning on a broken handle.
constexpr int kMaxConsecutiveReadErrors = 10;

}  // namespace

// static
base::win::ScopedHandle MailslotReader::CreateMailslot(
    const std::wstring& full_name) {
  VLOG(1) << "Creating mailslot " << full_name;
  MailslotSecurity security;
  if (!security.attributes()) {
    LOG(ERROR) << "Not creating " << full_name << " open to everyone";
    return base::win::ScopedHandle();
  }
  base::win::ScopedHandle mailslot(
      ::CreateMailslotW(full_name.c_str(), kMaxInstallerMessageSize,
                        kReadTimeoutMs, security.attributes()));
  if (!mailslot.IsValid()) {
    LOG(ERROR) << "Failed creating " << full_name << ": "
               << logging::SystemErrorCodeToString(::GetLastError());
  }
  return mailslot;
}

MailslotReader::MailslotReader(base::win::ScopedHandle mailslot,
                               MessagesCallback on_messages)
    : mailslot_(std::move(mailslot)),
      on_messages_(std::move(on_messages)),
      buffer_(kReadBufferSize) {
  DCHECK(mailslot_.IsValid());
}

MailslotReader::~MailslotReader() {
  VLOG(1) << "Closing mailslot";
}

void MailslotReader::Start() {
  ReadNext();
}

void MailslotReader::ReadAvailable() {
  Drain();
  DeliverBatch();
}

void MailslotReader::ReadNext() {
  const bool go_on = ReadOnce() && Drain();
  DeliverBatch();
  if (!go_on)
    return;
  base::ThreadTaskRunnerHandle::Get()->PostTask(
      FROM_HERE,
      base::BindOnce(&MailslotReader::ReadNext, weak_factory_.GetWeakPtr()));
}

bool MailslotReader::Drain() {
  // The count of waiting messages is asked for once per round: reading them
  // costs no wait, and asking before each one would double the calls.
  int read = 0;
  while (read < kMaxMessagesPerDrain) {
    DWORD waiting = 0;
    if (!::GetMailslotInfo(mailslot_.Get(), nullptr, nullptr, &waiting,
                           nullptr) ||
        waiting == 0) {
      return true;
    }
    // Bounded: a writer that never stops cannot keep this loop going.
    for (DWORD i = 0; i < waiting && read < kMaxMessagesPerDrain; ++i, ++read) {
      if (!ReadOnce())
        return false;
    }
  }
  return true;
}

void MailslotReader::DeliverBatch() {
  if (batch_.empty())
    return;
  std::vector<base::Pickle> batch;
  batch.swap(batch_);
  on_messages_.Run(std::move(batch));
}

bool MailslotReader::ReadOnce() {
  DWORD size = 0;
  if (::ReadFile(mailslot_.Get(), buffer_.data(),
                 static_cast<DWORD>(buffer_.size()), &size, nullptr)) {
    consecutive_errors_ = 0;
    HandleMessage(size);
    return true;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_SEM_TIMEOUT) {
    consecutive_errors_ = 0;
    return true;
  }
  // Wine answers an empty message, such as a wake-up, with this error
  // instead of an empty read; it took the message, so it is no failure.
  if (error == ERROR_BROKEN_PIPE && size == 0) {
    consecutive_errors_ = 0;
    return true;
  }
  LOG(ERROR) << "Cannot read from mailslot: "
             << logging::SystemErrorCodeToString(error);
  if (++consecutive_errors_ < kMaxConsecutiveReadErrors)
    return true;
  LOG(ERROR) << "Giving up reading from mailslot after " << consecutive_errors_
             << " failures";
  return false;
}

void MailslotReader::HandleMessage(DWORD size) {
  if (size == 0)
    return;
  if (size > kMaxInstallerMessageSize) {
    LOG(WARNING) << "Dropping a mailslot message of " << size
                 << " bytes or more, above the limit of "
                 << kMaxInstallerMessageSize;
    return;
  }
  // A copy owns its bytes; the buffer takes the next message.
  batch_.push_back(
      base::Pickle(base::Pickle(buffer_.data(), static_cast<int>(size))));
}

}  // namespace installer
