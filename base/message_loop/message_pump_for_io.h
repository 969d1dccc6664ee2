// The pump of an I/O thread: an I/O completion port that delivers both the
// completions of overlapped I/O and the wake-ups for tasks.
//
// A handle is registered with its IOHandler; each overlapped operation on it
// uses an IOContext (an OVERLAPPED with the handler beside it), and its
// completion is delivered to the handler on this thread.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_IO_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_IO_H_

#include <windows.h>

#include <list>

#include "base/message_loop/message_pump_win.h"
#include "base/win/scoped_handle.h"

namespace base {

class MessagePumpForIO : public MessagePumpWin {
 public:
  class IOHandler;

  struct IOContext {
    IOContext();
    // Must stay first: the port hands back the OVERLAPPED pointer.
    OVERLAPPED overlapped;
    IOHandler* handler;
  };

  class IOHandler {
   public:
    virtual ~IOHandler() = default;

    // |error| is 0 on success, else the Windows error of the operation
    // (ERROR_OPERATION_ABORTED when it was cancelled).
    virtual void OnIOCompleted(IOContext* context,
                               DWORD bytes_transferred,
                               DWORD error) = 0;
  };

  MessagePumpForIO();
  ~MessagePumpForIO() override;

  void ScheduleWork() override;
  void ScheduleDelayedWork(const TimeTicks& delayed_work_time) override;

  // Associates |file_handle| (opened for overlapped I/O) with the port; its
  // completions go to |handler|.
  bool RegisterIOHandler(HANDLE file_handle, IOHandler* handler);

  // Waits up to |timeout_ms| for one completion. When it belongs to
  // |filter| (or |filter| is null) the handler runs now; another handler's
  // completion is kept and delivered later from the loop, so that an object
  // can wait for its own I/O without running foreign callbacks. Returns
  // true when a completion (or a wake-up) arrived, false on time-out.
  bool WaitForIOCompletion(DWORD timeout_ms, IOHandler* filter);

 private:
  struct IOItem {
    IOHandler* handler;
    IOContext* context;
    DWORD bytes_transferred;
    DWORD error;
  };

  void DoRunLoop() override;
  bool MatchCompletedIOItem(IOHandler* filter, IOItem* item);
  bool GetIOItem(DWORD timeout_ms, IOItem* item);
  bool ProcessInternalIOItem(const IOItem& item);

  win::ScopedHandle port_;
  // Completions waiting for their handler (see WaitForIOCompletion).
  std::list<IOItem> completed_io_;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_IO_H_
