// Cancelling an overlapped operation of the calling thread on every Windows.

#ifndef BASE_WIN_CANCEL_IO_H_
#define BASE_WIN_CANCEL_IO_H_

#include <windows.h>

namespace base {
namespace win {

// Asks the system to cancel |overlapped|, an operation on |handle| that the
// calling thread started; the caller still waits for it to end before its
// buffer and OVERLAPPED go. CancelIoEx from Vista on; before Vista
// CancelIo, which cancels every operation the calling thread started on
// |handle|. False when the request failed (the operation may have ended).
bool CancelOwnIo(HANDLE handle, OVERLAPPED* overlapped);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_CANCEL_IO_H_
