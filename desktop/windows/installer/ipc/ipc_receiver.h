// The front end's end of the installer mailslot: owns the mailslot, reads
// it on its own "Installer IPC thread" and hands every message to its
// delegate on the thread that constructed it. Every backend of the
// installation writes to it (see IPCSender).
//
//   IPCReceiver receiver(this);  // this: an IPCReceiver::Delegate
//   if (!receiver.Connect(GetInstallerEndpointName(canonical_folder)))
//     ...  // the name is taken (another front end) or no thread
//   ...
//   receiver.Close();
//
// Use it from the thread that constructed it, which must run a message
// loop.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_IPC_RECEIVER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_IPC_RECEIVER_H_

#include <memory>
#include <string>
#include <vector>

#include "base/callback.h"
#include "base/memory/scoped_refptr.h"
#include "base/memory/weak_ptr.h"
#include "base/pickle.h"
#include "base/single_thread_task_runner.h"
#include "base/threading/thread.h"
#include "base/win/scoped_handle.h"

namespace installer {

class MailslotReader;

class IPCReceiver {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;

    // One message as it was received: not yet checked beyond its pickle
    // header (see DecodeInstallerMessage).
    virtual void OnMessageReceived(const base::Pickle& message) = 0;
  };

  // |delegate| must outlive the receiver.
  explicit IPCReceiver(Delegate* delegate);
  IPCReceiver(const IPCReceiver&) = delete;
  IPCReceiver& operator=(const IPCReceiver&) = delete;
  // Closes the receiver; messages not yet delivered are dropped.
  ~IPCReceiver();

  // Creates the mailslot "\\.\mailslot\" + |name| (|name| from
  // GetInstallerEndpointName) and starts reading it. False when the
  // mailslot cannot be created (another process owns the name) or the
  // thread cannot start; nothing is received then.
  bool Connect(const std::wstring& name);

  // Runs |done| on the owner thread after every message that the mailslot
  // holds now has been delivered: a backend that has exited wrote all its
  // messages, so this tells when its last one has arrived.
  void DeliverPendingThen(base::OnceClosure done);

  // Stops reading and closes the mailslot; the name is free again
  // afterwards and Connect may follow. Messages read before are still
  // delivered.
  void Close();

 private:
  // Ends the reader's wait for the next message, so that a task posted to
  // the I/O thread runs now rather than after the read time-out.
  void WakeReader();

  // On the I/O thread.
  void StartReader(base::win::ScopedHandle mailslot);
  void CloseReader();
  void ReadPendingThen(base::OnceClosure done);
  void OnMessagesReceived(std::vector<base::Pickle> messages);

  // On the owner thread.
  void DeliverMessages(const std::vector<base::Pickle>& messages);

  Delegate* const delegate_;
  const scoped_refptr<base::SingleThreadTaskRunner> owner_task_runner_;
  // Runs from Connect to Close.
  std::unique_ptr<base::Thread> thread_;
  // A writing end of the mailslot, for WakeReader; from Connect to Close.
  base::win::ScopedHandle waker_;
  // Used on the I/O thread only.
  std::unique_ptr<MailslotReader> reader_;
  // Made on the owner thread, copied on the I/O thread.
  base::WeakPtr<IPCReceiver> weak_this_;

  base::WeakPtrFactory<IPCReceiver> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_IPC_RECEIVER_H_
