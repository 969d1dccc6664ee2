// Sees every window message that a UI loop takes from the queue, before the
// loop translates and dispatches it. A modeless dialog's dispatcher, for
// example, hands keyboard messages to IsDialogMessage.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_DISPATCHER_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_DISPATCHER_H_

#include <windows.h>

#include <cstdint>

namespace base {

class MessagePumpDispatcher {
 public:
  // Flags of the result of Dispatch.
  enum PostDispatchAction : uint32_t {
    POST_DISPATCH_NONE = 0x0,
    // End the run loop after this message.
    POST_DISPATCH_QUIT_LOOP = 0x1,
    // Translate and dispatch the message as the loop would without a
    // dispatcher.
    POST_DISPATCH_PERFORM_DEFAULT = 0x2,
  };

  virtual ~MessagePumpDispatcher() = default;

  virtual uint32_t Dispatch(const MSG& msg) = 0;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_DISPATCHER_H_
