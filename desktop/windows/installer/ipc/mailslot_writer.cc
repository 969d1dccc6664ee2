#include "desktop/windows/installer/ipc/mailslot_writer.h"

#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/ipc/installer_message.h"

namespace installer {

namespace {

// How long a cancelled write may take to let go of its buffer.
constexpr base::TimeDelta kCancelTimeLimit =
    base::TimeDelta::FromMilliseconds(200);
// How often a pending write is looked at.
constexpr DWORD kPollIntervalMs = 1;

// An overlapped write and what the system uses until it ends. It has no
// event: creating one per write cost two thirds of the write under Wine,
// and the mailslot handle cannot stand in for it there (waiting on it
// fails). A write that does not end at once is rare (a full mailslot) and
// is polled instead.
struct PendingWrite {
  // Null for an empty message.
  std::unique_ptr<base::Pickle> message;
  OVERLAPPED overlapped = {};

  // Whether the write ended within |time_limit|; reads the status the
  // system fills in, without a call.
  bool WaitForEnd(base::TimeDelta time_limit) {
    const base::TimeTicks end = base::TimeTicks::Now() + time_limit;
    while (!HasOverlappedIoCompleted(&overlapped)) {
      if (base::TimeTicks::Now() >= end)
        return false;
      ::Sleep(kPollIntervalMs);
    }
    return true;
  }
};

// Cancels |write| and waits for the cancellation or, when the system does
// not let go of it, leaves it allocated for good, since the system may
// still use it.
void CancelWrite(HANDLE mailslot, std::unique_ptr<PendingWrite> write) {
  ::CancelIoEx(mailslot, &write->overlapped);
  if (!write->WaitForEnd(kCancelTimeLimit)) {
    // The system still owns the buffer and the OVERLAPPED.
    LOG(ERROR) << "A mailslot write could not be cancelled; leaving it be";
    [[maybe_unused]] PendingWrite* leaked = write.release();
  }
}

}  // namespace

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
  if (!::WriteFile(mailslot_.Get(), write->message->data(),
                   static_cast<DWORD>(size), nullptr, &write->overlapped)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      LOG(ERROR) << "Cannot write to mailslot: "
                 << logging::SystemErrorCodeToString(error);
      ++dropped_messages_;
      return false;
    }
    if (!write->WaitForEnd(stalled_ ? base::TimeDelta() : kWriteTimeLimit)) {
      // Once stalled, the drops are only counted: one line each would
      // flood the log of a backend whose front end has gone.
      LOG_IF(ERROR, !stalled_)
          << "Cannot write to mailslot: no reader took the message within "
          << kWriteTimeLimit.InMilliseconds()
          << " ms; not waiting for the next ones";
      stalled_ = true;
      ++dropped_messages_;
      CancelWrite(mailslot_.Get(), std::move(write));
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

// static
void MailslotWriter::WriteEmptyMessage(HANDLE mailslot) {
  auto write = std::make_unique<PendingWrite>();
  if (!::WriteFile(mailslot, "", 0, nullptr, &write->overlapped) &&
      ::GetLastError() == ERROR_IO_PENDING) {
    CancelWrite(mailslot, std::move(write));
  }
}

}  // namespace installer
