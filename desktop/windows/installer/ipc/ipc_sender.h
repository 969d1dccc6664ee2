// The backend's end of the installer mailslot: sends installer messages
// (installer_message.h) to the front end, which owns the mailslot. The
// messages are written in order on the sender's own "Installer IPC thread",
// so that Send never blocks the caller.
//
//   IPCSender sender;
//   sender.Connect(GetInstallerEndpointName(canonical_folder),
//                  {front_end_process, interrupted_event});
//   sender.SendBatched(MakeStepMessage());  // one per copied file
//   sender.SendResult(MakeSuccessMessage());  // goes behind the steps
//   ...
//   sender.Close();  // writes what was sent before it
//
// Use it from one thread; SendBatched needs that thread's message loop.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/pickle.h"
#include "base/threading/thread.h"
#include "base/time/time.h"
#include "base/timer/timer.h"
#include "base/win/scoped_handle.h"

namespace installer {

class MailslotWriter;

class IPCSender {
 public:
  // How long a batched message may wait for the ones after it. Handing a
  // message to the I/O thread wakes that thread, and the front end's reader
  // and main thread after it: one step message per copied file cost more
  // than a third of copying a small file. Far below what a progress bar
  // shows.
  static constexpr base::TimeDelta kBatchWindow =
      base::TimeDelta::FromMilliseconds(8);

  IPCSender();
  IPCSender(const IPCSender&) = delete;
  IPCSender& operator=(const IPCSender&) = delete;
  // Closes the sender.
  ~IPCSender();

  // Opens the mailslot "\\.\mailslot\" + |name| (|name| from
  // GetInstallerEndpointName) and starts the thread that writes to it.
  // |front_end| are handles (duplicated here) signalled once the front end
  // no longer reads: its process, its interruption event; a result message
  // is kept trying until then (MailslotWriter::WriteResult). Whether the
  // mailslot is open now; when it is not, each later message tries to open
  // it again, and without the thread every message is dropped: the caller
  // may go on without a front end either way.
  bool Connect(const std::wstring& name,
               const std::vector<HANDLE>& front_end = {});

  // Queues |message| for writing, behind every message sent before it
  // (batched ones too), and hands it to the I/O thread now. A message that
  // cannot be written (over kMaxInstallerMessageSize, or refused by the
  // mailslot) is logged and dropped; the messages after it are still
  // written.
  void Send(std::unique_ptr<base::Pickle> message);

  // Like Send, for a message that settles the installation's outcome
  // (success or error): it is not dropped while the front end may still
  // read it, up to MailslotWriter::kResultTimeLimit.
  void SendResult(std::unique_ptr<base::Pickle> message);

  // Like Send, but |message| may wait up to kBatchWindow to be handed to
  // the I/O thread together with the messages sent after it. Each message
  // is still written on its own; only when they leave changes.
  void SendBatched(std::unique_ptr<base::Pickle> message);

  // Writes every message sent before (batched ones too), closes the
  // mailslot and ends the thread. Each write waits at most
  // MailslotWriter::kWriteTimeLimit, and after a time-out the rest is dropped
  // at once, so Close ends soon even when the front end reads nothing; only
  // a result message may hold it up to MailslotWriter::kResultTimeLimit, and
  // only while the front end lives and has not given up. Connect may follow.
  void Close();

 private:
  using Messages = std::vector<std::unique_ptr<base::Pickle>>;

  // Hands the batched messages to the I/O thread.
  void Flush();

  // On the I/O thread.
  void StartWriter(const std::wstring& full_name,
                   base::win::ScopedHandle mailslot,
                   std::vector<base::win::ScopedHandle> front_end);
  void WriteMessages(Messages messages);
  void WriteResult(std::unique_ptr<base::Pickle> message);
  void CloseWriter();

  // Runs from Connect to Close.
  std::unique_ptr<base::Thread> thread_;
  // Batched messages not yet handed to the I/O thread, and the end of their
  // wait.
  Messages batch_;
  base::OneShotTimer flush_timer_;
  // Used on the I/O thread only.
  std::unique_ptr<MailslotWriter> writer_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_IPC_SENDER_H_
