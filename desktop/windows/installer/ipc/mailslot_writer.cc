#include "desktop/windows/installer/ipc/mailslot_writer.h"

#include <utility>
#include <vector>

#include "base/logging.h"
#include "base/win/cancel_io.h"
#include "desktop/windows/installer/ipc/installer_message.h"

namespace installer {

namespace {

// How long a cancelled write may take to let go of its buffer.
constexpr base::TimeDelta kCancelTimeLimit =
    base::TimeDelta::FromMilliseconds(200);
// How often a pending write is looked at.
constexpr DWORD kPollIntervalMs = 1;

// Waits up to |ms| for one of |handles|; whether one was signalled. With
// none, only sleeps.
bool WaitForAny(const std::vector<HANDLE>& handles, DWORD ms) {
  if (handles.empty()) {
    ::Sleep(ms);
    return false;
  }
  const DWORD count = static_cast<DWORD>(handles.size());
  const DWORD result =
      ::WaitForMultipleObjects(count, handles.data(), FALSE, ms);
  if (result == WAIT_FAILED) {
    // Not a sign of an ended front end; the caller's time limit still
    // ends the wait.
    ::Sleep(ms);
    return false;
  }
  return result < WAIT_OBJECT_0 + count ||
         (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count);
}

// An overlapped write and what the system uses until it ends. It has no
// event: creating one per write cost two thirds of the write under Wine,
// and the mailslot handle cannot stand in for it there (waiting on it
// fails). A write that does not end at once is rare (a full mailslot) and
// is polled instead.
struct PendingWrite {
  enum class End { kEnded, kTimedOut, kStopped };

  // Null for an empty message.
  std::unique_ptr<base::Pickle> message;
  OVERLAPPED overlapped = {};

  // Whether the write ended within |time_limit|, or one of |stop| was
  // signalled first; reads the status the system fills in, without a call.
  End WaitForEnd(base::TimeDelta time_limit,
                 const std::vector<HANDLE>& stop = {}) {
    const base::TimeTicks end = base::TimeTicks::Now() + time_limit;
    while (!HasOverlappedIoCompleted(&overlapped)) {
      if (base::TimeTicks::Now() >= end)
        return End::kTimedOut;
      if (WaitForAny(stop, kPollIntervalMs))
        return End::kStopped;
    }
    return End::kEnded;
  }
};

// Cancels |write| and waits for the cancellation or, when the system does
// not let go of it, leaves it allocated for good, since the system may
// still use it.
void CancelWrite(HANDLE mailslot, std::unique_ptr<PendingWrite> write) {
  base::win::CancelOwnIo(mailslot, &write->overlapped);
  if (write->WaitForEnd(kCancelTimeLimit) != PendingWrite::End::kEnded) {
    // The system still owns the buffer and the OVERLAPPED.
    LOG(ERROR) << "A mailslot write could not be cancelled; leaving it be";
    [[maybe_unused]] PendingWrite* leaked = write.release();
  }
}

base::win::ScopedHandle OpenForWriting(const std::wstring& full_name) {
  return base::win::ScopedHandle(
      ::CreateFileW(full_name.c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
}

bool HasValidSize(const base::Pickle& message) {
  const size_t size = message.size();
  if (size > 0 && size <= kMaxInstallerMessageSize)
    return true;
  LOG(ERROR) << "Cannot write to mailslot: a message of " << size
             << " bytes, the limit is " << kMaxInstallerMessageSize;
  return false;
}

}  // namespace

// static
base::win::ScopedHandle MailslotWriter::OpenMailslot(
    const std::wstring& full_name) {
  VLOG(1) << "Opening mailslot " << full_name;
  base::win::ScopedHandle mailslot = OpenForWriting(full_name);
  if (!mailslot.IsValid()) {
    LOG(ERROR) << "Failed opening " << full_name << ": "
               << logging::SystemErrorCodeToString(::GetLastError());
  }
  return mailslot;
}

MailslotWriter::MailslotWriter(const std::wstring& full_name,
                               base::win::ScopedHandle mailslot,
                               std::vector<base::win::ScopedHandle> front_end)
    : full_name_(full_name),
      mailslot_(std::move(mailslot)),
      front_end_(std::move(front_end)),
      open_failed_(!mailslot_.IsValid()) {}

MailslotWriter::~MailslotWriter() {
  VLOG(1) << "Closing mailslot.";
  if (dropped_messages_ > 0)
    LOG(WARNING) << "Messages unsent: " << dropped_messages_;
}

bool MailslotWriter::Write(std::unique_ptr<base::Pickle> message) {
  if (!HasValidSize(*message) || !EnsureOpen()) {
    ++dropped_messages_;
    return false;
  }
  switch (
      TryWrite(&message, stalled_ ? base::TimeDelta() : kWriteTimeLimit, {})) {
    case Attempt::kWritten:
      stalled_ = false;
      return true;
    case Attempt::kTimedOut:
      // Once stalled, the drops are only counted: one line each would
      // flood the log of a backend whose front end has gone.
      LOG_IF(ERROR, !stalled_)
          << "Cannot write to mailslot: no reader took the message within "
          << kWriteTimeLimit.InMilliseconds()
          << " ms; not waiting for the next ones";
      stalled_ = true;
      break;
    case Attempt::kRefused:
    case Attempt::kFrontEndGone:
      break;
  }
  ++dropped_messages_;
  return false;
}

bool MailslotWriter::WriteResult(std::unique_ptr<base::Pickle> message,
                                 base::TimeDelta time_limit) {
  if (front_end_.empty())
    return Write(std::move(message));
  if (!HasValidSize(*message)) {
    ++dropped_messages_;
    return false;
  }
  const std::vector<HANDLE> front_end = FrontEndHandles();
  const base::TimeTicks end = base::TimeTicks::Now() + time_limit;
  int attempts = 0;
  while (true) {
    if (FrontEndGone()) {
      LOG(WARNING) << "The front end no longer reads " << full_name_
                   << "; the result message is not sent";
      break;
    }
    const base::TimeDelta left = end - base::TimeTicks::Now();
    if (left <= base::TimeDelta()) {
      LOG(ERROR) << "Cannot write the result message to " << full_name_
                 << " within " << time_limit.InSeconds() << " s (" << attempts
                 << " attempts)";
      break;
    }
    if (EnsureOpen()) {
      ++attempts;
      const Attempt attempt = TryWrite(&message, left, front_end);
      if (attempt == Attempt::kWritten) {
        stalled_ = false;
        LOG_IF(INFO, attempts > 1)
            << "The result message went through at attempt " << attempts;
        return true;
      }
      // A pending write was waited for until the front end went or the
      // time was up: the loop says which.
      if (attempt != Attempt::kRefused)
        continue;
      // The handle may be one to a mailslot that has gone: the next
      // attempt opens it anew.
      mailslot_.Close();
    }
    WaitForAny(front_end, static_cast<DWORD>(kReopenInterval.InMilliseconds()));
  }
  ++dropped_messages_;
  return false;
}

bool MailslotWriter::EnsureOpen() {
  if (mailslot_.IsValid())
    return true;
  mailslot_ = OpenForWriting(full_name_);
  if (mailslot_.IsValid()) {
    LOG_IF(INFO, open_failed_) << "Opened mailslot " << full_name_;
    open_failed_ = false;
    return true;
  }
  const DWORD error = ::GetLastError();
  LOG_IF(ERROR, !open_failed_) << "Failed opening " << full_name_ << ": "
                               << logging::SystemErrorCodeToString(error);
  open_failed_ = true;
  return false;
}

MailslotWriter::Attempt MailslotWriter::TryWrite(
    std::unique_ptr<base::Pickle>* message,
    base::TimeDelta wait,
    const std::vector<HANDLE>& stop) {
  auto write = std::make_unique<PendingWrite>();
  write->message = std::move(*message);
  const DWORD size = static_cast<DWORD>(write->message->size());
  if (!::WriteFile(mailslot_.Get(), write->message->data(), size, nullptr,
                   &write->overlapped)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      LOG(ERROR) << "Cannot write to mailslot: "
                 << logging::SystemErrorCodeToString(error);
      *message = std::move(write->message);
      return Attempt::kRefused;
    }
    const PendingWrite::End end = write->WaitForEnd(wait, stop);
    if (end != PendingWrite::End::kEnded) {
      CancelWrite(mailslot_.Get(), std::move(write));
      return end == PendingWrite::End::kTimedOut ? Attempt::kTimedOut
                                                 : Attempt::kFrontEndGone;
    }
  }
  DWORD written = 0;
  if (!::GetOverlappedResult(mailslot_.Get(), &write->overlapped, &written,
                             FALSE) ||
      written != size) {
    LOG(ERROR) << "Cannot write to mailslot: " << written << " of " << size
               << " bytes written: "
               << logging::SystemErrorCodeToString(::GetLastError());
    *message = std::move(write->message);
    return Attempt::kRefused;
  }
  return Attempt::kWritten;
}

bool MailslotWriter::FrontEndGone() const {
  return WaitForAny(FrontEndHandles(), 0);
}

std::vector<HANDLE> MailslotWriter::FrontEndHandles() const {
  std::vector<HANDLE> handles;
  for (const base::win::ScopedHandle& handle : front_end_)
    handles.push_back(handle.Get());
  return handles;
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
