#include "base/win/scoped_variant.h"

#include <utility>

#include "base/logging.h"

namespace base {
namespace win {

namespace {

VARIANT MakeEmpty() {
  VARIANT var = {};
  var.vt = VT_EMPTY;
  return var;
}

}  // namespace

const VARIANT ScopedVariant::kEmptyVariant = MakeEmpty();

ScopedVariant::ScopedVariant(const wchar_t* str) {
  var_.vt = VT_EMPTY;
  Set(str);
}

ScopedVariant::ScopedVariant(int32_t value, VARTYPE vt) {
  DCHECK(vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 ||
         vt == VT_I4 || vt == VT_UI4 || vt == VT_INT || vt == VT_UINT ||
         vt == VT_ERROR);
  var_.vt = vt;
  var_.lVal = value;
}

ScopedVariant::ScopedVariant(bool value) {
  var_.vt = VT_BOOL;
  var_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ScopedVariant::ScopedVariant(double value) {
  var_.vt = VT_R8;
  var_.dblVal = value;
}

ScopedVariant::ScopedVariant(IDispatch* dispatch) {
  var_.vt = VT_EMPTY;
  Set(dispatch);
}

ScopedVariant::ScopedVariant(IUnknown* unknown) {
  var_.vt = VT_UNKNOWN;
  var_.punkVal = unknown;
  if (unknown)
    unknown->AddRef();
}

ScopedVariant::ScopedVariant(const VARIANT& var) {
  var_.vt = VT_EMPTY;
  Set(var);
}

ScopedVariant::~ScopedVariant() {
  ::VariantClear(&var_);
}

void ScopedVariant::Reset(const VARIANT& var) {
  if (&var != &var_) {
    ::VariantClear(&var_);
    var_ = var;
  }
}

VARIANT ScopedVariant::Release() {
  VARIANT var = var_;
  var_.vt = VT_EMPTY;
  return var;
}

void ScopedVariant::Swap(ScopedVariant& var) {
  std::swap(var_, var.var_);
}

VARIANT ScopedVariant::Copy() const {
  VARIANT copy = MakeEmpty();
  // VariantCopy does not change its source; mingw declares it non-const.
  HRESULT hr = ::VariantCopy(&copy, const_cast<VARIANT*>(&var_));
  LOG_IF(ERROR, FAILED(hr))
      << "VariantCopy failed: 0x" << std::hex << static_cast<unsigned long>(hr);
  return copy;
}

VARIANT* ScopedVariant::Receive() {
  DCHECK(var_.vt == VT_EMPTY) << "The variant already holds a value";
  return &var_;
}

void ScopedVariant::Set(const wchar_t* str) {
  ::VariantClear(&var_);
  var_.vt = VT_BSTR;
  var_.bstrVal = ::SysAllocString(str);
  LOG_IF(ERROR, str && !var_.bstrVal) << "SysAllocString failed";
}

void ScopedVariant::Set(int32_t value) {
  ::VariantClear(&var_);
  var_.vt = VT_I4;
  var_.lVal = value;
}

void ScopedVariant::Set(bool value) {
  ::VariantClear(&var_);
  var_.vt = VT_BOOL;
  var_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void ScopedVariant::Set(IDispatch* dispatch) {
  ::VariantClear(&var_);
  var_.vt = VT_DISPATCH;
  var_.pdispVal = dispatch;
  if (dispatch)
    dispatch->AddRef();
}

void ScopedVariant::Set(const VARIANT& var) {
  ::VariantClear(&var_);
  HRESULT hr = ::VariantCopy(&var_, const_cast<VARIANT*>(&var));
  if (FAILED(hr)) {
    LOG(ERROR) << "VariantCopy failed: 0x" << std::hex
               << static_cast<unsigned long>(hr);
    var_.vt = VT_EMPTY;
  }
}

}  // namespace win
}  // namespace base
