#include "desktop/windows/installer/ipc/mailslot_writer.h"

#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/ipc/installer_message.h"

namespace installer {

namespace {

// How long a cancelled write may take to let go of its buffer.
constexpr base::TimeDelta kCancelTimeLimit =
    base::TimeDelta::FromMilliseconds(200);

bool WaitForEvent(HANDLE event, base::TimeDelta time_limit) {
  return ::WaitForSingleObject(event, time_limit.InMillisecondsForWait()) ==
         WAIT_OBJECT_0;
}

}  // namespace

// An overlapped write and what the system uses until it ends.
struct MailslotWriter::PendingWrite {
  std::unique_ptr<base::Pickle> message;
  base::win::ScopedHandle event;
  OVERLAPPED overlapped = {};
};

// static
base::win::ScopedHandle MailslotWriter::OpenMailslot(
    const std::wstring& full_name) {
  VLOG(1) << "Opening mailslot " << full_name;
  base::win::ScopedHandle mailslot(
      ::CreateFileW(full_name.c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
  if (!mailslot.IsValid()) {
    LOG(ERROR) << "Failed opening " << full_name << ": "
               << logging::SystemErrorCodeToString(::GetLastError());
  }
  return mailslot;
}

MailslotWriter::MailslotWriter(base::win::ScopedHandle mailslot)
    : mailslot_(std::move(mailslot)) {
  DCHECK(mailslot_.IsValid());
}

MailslotWriter::~MailslotWriter() {
  VLOG(1) << "Closing mailslot.";
  if (dropped_messages_ > 0)
    LOG(WARNING) << "Messages unsent: " << dropped_messages_;
}

bool MailslotWriter::Write(std::unique_ptr<base::Pickle> message) {
  const size_t size = message->size();
  if (size == 0 || size > kMaxInstallerMessageSize) {
    LOG(ERROR) << "Cannot write to mailslot: a message of " << size
               << " bytes, the limit is " << kMaxInstallerMessageSize;
    ++dropped_messages_;
    return false;
  }
  auto write = std::make_unique<PendingWrite>();
  write->message = std::move(message);
  write->event.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!write->event.IsValid()) {
    LOG(ERROR) << "Cannot write to mailslot without an event: "
               << logging::SystemErrorCodeToString(::GetLastError());
    ++dropped_messages_;
    return false;
  }
  write->overlapped.hEvent = write->event.Get();
  if (!::WriteFile(mailslot_.Get(), write->message->data(),
                   static_cast<DWORD>(size), nullptr, &write->overlapped)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      LOG(ERROR) << "Cannot write to mailslot: "
                 << logging::SystemErrorCodeToString(error);
      ++dropped_messages_;
      return false;
    }
    if (!WaitForEvent(write->event.Get(),
                      stalled_ ? base::TimeDelta() : kWriteTimeLimit)) {
      GiveUpWrite(std::move(write));
      return false;
    }
  }
  DWORD written = 0;
  if (!::GetOverlappedResult(mailslot_.Get(), &write->overlapped, &written,
                             FALSE) ||
      written != size) {
    LOG(ERROR) << "Cannot write to mailslot: " << written << " of " << size
               << " bytes written: "
               << logging::SystemErrorCodeToString(::GetLastError());
    ++dropped_messages_;
    return false;
  }
  stalled_ = false;
  return true;
}

void MailslotWriter::GiveUpWrite(std::unique_ptr<PendingWrite> write) {
  // Once stalled, the drops are only counted: one line each would flood
  // the log of a backend whose front end has gone.
  LOG_IF(ERROR, !stalled_)
      << "Cannot write to mailslot: no reader took the message within "
      << kWriteTimeLimit.InMilliseconds()
      << " ms; not waiting for the next ones";
  stalled_ = true;
  ++dropped_messages_;
  ::CancelIoEx(mailslot_.Get(), &write->overlapped);
  if (!WaitForEvent(write->event.Get(), kCancelTimeLimit)) {
    // The system still owns the buffer and the OVERLAPPED.
    LOG(ERROR) << "A mailslot write could not be cancelled; leaving it be";
    [[maybe_unused]] PendingWrite* leaked = write.release();
  }
}

}  // namespace installer
