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
//
// A result message (WriteResult) is the exception: the front end decides
// the outcome of the installation by it, so it is not dropped while the
// front end may still read it. It is written however long the mailslot is
// full, and the mailslot is opened again while it cannot be opened or
// refuses the write, until the front end ends or gives the installation up
// (|front_end| handles), or kResultTimeLimit has passed.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/pickle.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"

namespace installer {

class MailslotWriter {
 public:
  static constexpr base::TimeDelta kWriteTimeLimit =
      base::TimeDelta::FromSeconds(1);
  // How long a result message is tried for while the front end lives:
  // far beyond any stall of a reader that still works, short enough that a
  // backend whose front end hangs still ends.
  static constexpr base::TimeDelta kResultTimeLimit =
      base::TimeDelta::FromSeconds(30);
  // The pause between two attempts to open the mailslot for a result.
  static constexpr base::TimeDelta kReopenInterval =
      base::TimeDelta::FromMilliseconds(100);

  // Opens the existing mailslot |full_name| ("\\.\mailslot\...") for
  // writing. An invalid handle when it cannot be opened (logged), for
  // example when no front end has created it.
  static base::win::ScopedHandle OpenMailslot(const std::wstring& full_name);

  // Writes an empty message to |mailslot| (from OpenMailslot), which ends a
  // reader's wait at once and is never delivered (MailslotReader). Does not
  // wait: a mailslot too full to take it holds a message for the reader
  // anyway.
  static void WriteEmptyMessage(HANDLE mailslot);

  // Writes to the mailslot |full_name|; |mailslot| is its handle when it is
  // open already. |front_end| are handles signalled once the front end no
  // longer reads (its process, its interruption event); without any, a
  // result message is written like any other.
  MailslotWriter(const std::wstring& full_name,
                 base::win::ScopedHandle mailslot,
                 std::vector<base::win::ScopedHandle> front_end);
  MailslotWriter(const MailslotWriter&) = delete;
  MailslotWriter& operator=(const MailslotWriter&) = delete;
  // Closes the mailslot, logging how many messages were dropped.
  ~MailslotWriter();

  // Writes |message| as one mailslot message, waiting for it at most
  // kWriteTimeLimit; a mailslot that is not open is tried once. False when
  // it was dropped.
  bool Write(std::unique_ptr<base::Pickle> message);

  // Writes the result message |message| (success or error) as said above,
  // trying at most |time_limit|. False when it was not written.
  bool WriteResult(std::unique_ptr<base::Pickle> message,
                   base::TimeDelta time_limit = kResultTimeLimit);

 private:
  // How one attempt to write a message ended.
  enum class Attempt {
    kWritten,
    // Refused at once, or the write failed: nothing is pending.
    kRefused,
    // Still pending at the time limit; cancelled.
    kTimedOut,
    // The front end went away while the write was pending; cancelled.
    kFrontEndGone,
  };

  // Whether the mailslot is open, opening it when not.
  bool EnsureOpen();
  // Writes |*message|, waiting at most |wait| for a pending write, or until
  // a handle of |stop| is signalled. Unless written or pending when given
  // up, the message is handed back in |*message|.
  Attempt TryWrite(std::unique_ptr<base::Pickle>* message,
                   base::TimeDelta wait,
                   const std::vector<HANDLE>& stop);
  bool FrontEndGone() const;
  std::vector<HANDLE> FrontEndHandles() const;

  const std::wstring full_name_;
  base::win::ScopedHandle mailslot_;
  const std::vector<base::win::ScopedHandle> front_end_;
  // A write timed out and none has gone through since.
  bool stalled_ = false;
  // An opening failed and none has succeeded since: later failures are
  // not logged again.
  bool open_failed_ = false;
  int dropped_messages_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_WRITER_H_
