// Reads the server end of a mailslot on the current thread and hands the
// messages to a callback there, every message that has arrived at once.
//
// Wine can neither overlap nor interrupt a mailslot read: an overlapped
// ReadFile blocks, the handle cannot join a completion port, and neither
// CancelIoEx nor CloseHandle ends a blocked read. So each read is a plain
// ReadFile bounded by the mailslot's short read time-out (kReadTimeoutMs),
// and the next read is a posted task: the thread's other tasks, the one that
// deletes this reader among them, run between two reads. An empty message
// (MailslotWriter::WriteEmptyMessage) ends a waiting read at once, so that such
// a task need not wait for the time-out. Windows behaves the same way; an
// overlapped read through the thread's completion port would replace ReadOnce
// and the posting of ReadNext, nothing else.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_READER_H_

#include <windows.h>

#include <string>
#include <vector>

#include "base/callback.h"
#include "base/memory/weak_ptr.h"
#include "base/pickle.h"
#include "base/win/scoped_handle.h"

namespace installer {

class MailslotReader {
 public:
  // The messages read in one go, in the order they arrived; never empty.
  using MessagesCallback =
      base::RepeatingCallback<void(std::vector<base::Pickle>)>;

  // How long one read waits for a message; it bounds how long deleting the
  // reader (and so stopping its thread) can take.
  static constexpr DWORD kReadTimeoutMs = 50;

  // Creates the mailslot |full_name| ("\\.\mailslot\..."), with the message
  // size limit of installer messages and kReadTimeoutMs. An invalid handle
  // when it cannot be created (logged), for example when another process
  // owns the name.
  static base::win::ScopedHandle CreateMailslot(const std::wstring& full_name);

  MailslotReader(base::win::ScopedHandle mailslot,
                 MessagesCallback on_messages);
  MailslotReader(const MailslotReader&) = delete;
  MailslotReader& operator=(const MailslotReader&) = delete;
  // Closes the mailslot; no read is under way then, since reads run on this
  // thread.
  ~MailslotReader();

  // Starts reading; the current thread must run a message loop.
  void Start();

  // Reads every message the mailslot holds now, without waiting for more.
  void ReadAvailable();

 private:
  // Waits for a message, reads the ones behind it, then posts the next
  // read unless reading has to stop.
  void ReadNext();
  // Reads the messages the mailslot holds into |batch_|, at most
  // kMaxMessagesPerDrain; false after too many failures.
  bool Drain();
  // One read of at most kReadTimeoutMs; false after too many failures.
  bool ReadOnce();
  void HandleMessage(DWORD size);
  void DeliverBatch();

  base::win::ScopedHandle mailslot_;
  MessagesCallback on_messages_;
  // Read, not yet handed on.
  std::vector<base::Pickle> batch_;
  // Larger than any message the sender may build, so that an oversize one
  // (Wine does not enforce the limit and silently cuts a read to the
  // buffer) is seen and dropped rather than taken cut.
  std::vector<char> buffer_;
  int consecutive_errors_ = 0;

  base::WeakPtrFactory<MailslotReader> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_READER_H_
