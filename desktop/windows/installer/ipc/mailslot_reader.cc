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
                               MessageCallback on_message)
    : mailslot_(std::move(mailslot)),
      on_message_(std::move(on_message)),
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
  DWORD next_size = MAILSLOT_NO_MESSAGE;
  // Bounded: a writer that never stops cannot keep this loop going.
  for (int read = 0; read < kMaxMessagesPerDrain; ++read) {
    if (!::GetMailslotInfo(mailslot_.Get(), nullptr, &next_size, nullptr,
                           nullptr) ||
        next_size == MAILSLOT_NO_MESSAGE || !ReadOnce()) {
      return;
    }
  }
}

void MailslotReader::ReadNext() {
  if (!ReadOnce())
    return;
  base::ThreadTaskRunnerHandle::Get()->PostTask(
      FROM_HERE,
      base::BindOnce(&MailslotReader::ReadNext, weak_factory_.GetWeakPtr()));
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
  on_message_.Run(base::Pickle(buffer_.data(), static_cast<int>(size)));
}

}  // namespace installer
