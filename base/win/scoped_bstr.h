// Owns a BSTR and frees it with SysFreeString.

#ifndef BASE_WIN_SCOPED_BSTR_H_
#define BASE_WIN_SCOPED_BSTR_H_

#include <windows.h>

#include <oleauto.h>
#include <stddef.h>

#include <string>

#include "base/strings/string16.h"

namespace base {
namespace win {

class ScopedBstr {
 public:
  ScopedBstr() = default;
  // Copies |non_bstr| into a new BSTR.
  explicit ScopedBstr(StringPiece16 non_bstr);
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ~ScopedBstr();

  // Frees the BSTR owned and owns |bstr| instead.
  void Reset(BSTR bstr = nullptr);
  // Gives up ownership.
  [[nodiscard]] BSTR Release();

  // Frees the BSTR owned and allocates a copy of |str|; null on failure.
  BSTR Allocate(StringPiece16 str);
  void Swap(ScopedBstr& bstr2);

  // For functions that return a BSTR through an out parameter; the object
  // must not own a BSTR at that point.
  BSTR* Receive();

  // In characters and in bytes, as the BSTR records them.
  size_t Length() const;
  size_t ByteLength() const;

  BSTR Get() const { return bstr_; }
  operator BSTR() const { return bstr_; }

 private:
  BSTR bstr_ = nullptr;
};

// The whole text of |bstr|, embedded NULs included; empty for a null BSTR.
// COM objects hand out their strings as BSTRs, owned or not.
std::wstring BstrToString(BSTR bstr);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_SCOPED_BSTR_H_
