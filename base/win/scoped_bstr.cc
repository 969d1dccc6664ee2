#include "base/win/scoped_bstr.h"

#include <limits>
#include <utility>

#include "base/logging.h"

namespace base {
namespace win {

ScopedBstr::ScopedBstr(StringPiece16 non_bstr) {
  Allocate(non_bstr);
}

ScopedBstr::~ScopedBstr() {
  ::SysFreeString(bstr_);
}

void ScopedBstr::Reset(BSTR bstr) {
  if (bstr != bstr_) {
    ::SysFreeString(bstr_);
    bstr_ = bstr;
  }
}

BSTR ScopedBstr::Release() {
  BSTR bstr = bstr_;
  bstr_ = nullptr;
  return bstr;
}

BSTR ScopedBstr::Allocate(StringPiece16 str) {
  DCHECK_LE(str.size(), std::numeric_limits<UINT>::max());
  Reset(::SysAllocStringLen(str.data(), static_cast<UINT>(str.size())));
  LOG_IF(ERROR, !bstr_) << "SysAllocStringLen failed";
  return bstr_;
}

void ScopedBstr::Swap(ScopedBstr& bstr2) {
  std::swap(bstr_, bstr2.bstr_);
}

BSTR* ScopedBstr::Receive() {
  DCHECK(!bstr_) << "A BSTR is already owned";
  return &bstr_;
}

size_t ScopedBstr::Length() const {
  return ::SysStringLen(bstr_);
}

size_t ScopedBstr::ByteLength() const {
  return ::SysStringByteLen(bstr_);
}

std::wstring BstrToString(BSTR bstr) {
  return bstr ? std::wstring(bstr, ::SysStringLen(bstr)) : std::wstring();
}

}  // namespace win
}  // namespace base
