// The backend's end of the installer mailslot: sends installer messages
// (installer_message.h) to the front end, which owns the mailslot. The
// messages are written in order on the sender's own "Installer IPC thread",
// so that Send never blocks the caller.
//
//   IPCSender sender;
//   sender.Connect(GetInstallerEndpointName(canonical_folder));
//   sender.Send(MakeStepMessage());
//   ...
//   sender.Close();  // writes what was sent before it
//
// Use it from one thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_

#include <memory>
#include <string>

#include "base/pickle.h"
#include "base/threading/thread.h"
#include "base/win/scoped_handle.h"

namespace installer {

class MailslotWriter;

class IPCSender {
 public:
  IPCSender();
  IPCSender(const IPCSender&) = delete;
  IPCSender& operator=(const IPCSender&) = delete;
  // Closes the sender.
  ~IPCSender();

  // Opens the mailslot "\\.\mailslot\" + |name| (|name| from
  // GetInstallerEndpointName) and starts the thread that writes to it. False
  // when the mailslot cannot be opened (no front end listens) or the thread
  // cannot start; every message sent until the next Connect is then
  // dropped, and the caller may go on without a front end.
  bool Connect(const std::wstring& name);

  // Queues |message| for writing. A message that cannot be written (over
  // kMaxInstallerMessageSize, or refused by the mailslot) is logged and
  // dropped; the messages after it are still written.
  void Send(std::unique_ptr<base::Pickle> message);

  // Writes every message sent before, closes the mailslot and ends the
  // thread. Each write waits at most MailslotWriter::kWriteTimeLimit, and
  // after a time-out the rest is dropped at once, so Close ends soon even
  // when the front end reads nothing. Connect may follow.
  void Close();

 private:
  // On the I/O thread.
  void StartWriter(base::win::ScopedHandle mailslot);
  void WriteMessage(std::unique_ptr<base::Pickle> message);
  void CloseWriter();

  // Runs from Connect to Close.
  std::unique_ptr<base::Thread> thread_;
  // Used on the I/O thread only.
  std::unique_ptr<MailslotWriter> writer_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_
