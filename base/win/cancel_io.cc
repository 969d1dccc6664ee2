#include "base/win/cancel_io.h"

#include "base/win/vista_function.h"

namespace base {
namespace win {

bool CancelOwnIo(HANDLE handle, OVERLAPPED* overlapped) {
  static const auto cancel_io_ex =
      GetVistaFunction<decltype(&::CancelIoEx)>("CancelIoEx");
  if (cancel_io_ex)
    return cancel_io_ex(handle, overlapped);
  return ::CancelIo(handle);
}

}  // namespace win
}  // namespace base
