// Writes messages to the client end of a mailslot, one at a time, on the
// current thread.
//
// A mailslot buffers what its reader has not read yet, but only so much: on
// Wine a write into a full mailslot stays pending until the reader reads,
// and forever when the reader has closed its end. So every write waits a
// limited time (kWriteTimeLimit), and once one has timed out the writer no
// longer waits at all until a write goes through again: a reader that is
// gone costs one time limit, not one per message. A message that cannot be
// written is logged and dropped; the messages after it are still written.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_

#include <windows.h>

#include <memory>
#include <string>

#include "base/pickle.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"

namespace installer {

class MailslotWriter {
 public:
  static constexpr base::TimeDelta kWriteTimeLimit =
      base::TimeDelta::FromSeconds(1);

  // Opens the existing mailslot |full_name| ("\\.\mailslot\...") for
  // writing. An invalid handle when it cannot be opened (logged), for
  // example when no front end has created it.
  static base::win::ScopedHandle OpenMailslot(const std::wstring& full_name);

  // Writes an empty message to |mailslot| (from OpenMailslot), which ends a
  // reader's wait at once and is never delivered (MailslotReader). Does not
  // wait: a mailslot too full to take it holds a message for the reader
  // anyway.
  static void WriteEmptyMessage(HANDLE mailslot);

  explicit MailslotWriter(base::win::ScopedHandle mailslot);
  MailslotWriter(const MailslotWriter&) = delete;
  MailslotWriter& operator=(const MailslotWriter&) = delete;
  // Closes the mailslot, logging how many messages were dropped.
  ~MailslotWriter();

  // Writes |message| as one mailslot message, waiting for it at most
  // kWriteTimeLimit. False when it was dropped.
  bool Write(std::unique_ptr<base::Pickle> message);

 private:
  base::win::ScopedHandle mailslot_;
  // A write timed out and none has gone through since.
  bool stalled_ = false;
  int dropped_messages_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_
