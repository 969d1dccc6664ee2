#include "base/win/final_path.h"

#include "base/win/vista_function.h"

namespace base {
namespace win {

bool GetFinalPathOfHandle(HANDLE handle, DWORD flags, std::wstring* path) {
  static const auto get_final_path =
      GetVistaFunction<decltype(&::GetFinalPathNameByHandleW)>(
          "GetFinalPathNameByHandleW");
  if (!get_final_path) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  std::wstring text(MAX_PATH, L'\0');
  // A second try with the size the first one asked for; the name may
  // still grow in between (a rename), which fails.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = get_final_path(handle, text.data(),
                                        static_cast<DWORD>(text.size()), flags);
    if (length == 0)
      return false;
    if (length < text.size()) {
      text.resize(length);
      *path = std::move(text);
      return true;
    }
    text.resize(length);
  }
  ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return false;
}

}  // namespace win
}  // namespace base
