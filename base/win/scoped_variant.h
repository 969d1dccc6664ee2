// Owns a VARIANT and clears it (VariantClear) when it goes away: strings are
// freed, interfaces released.

#ifndef BASE_WIN_SCOPED_VARIANT_H_
#define BASE_WIN_SCOPED_VARIANT_H_

#include <windows.h>

#include <oleauto.h>
#include <stdint.h>

namespace base {
namespace win {

class ScopedVariant {
 public:
  // A VT_EMPTY variant, for Reset and optional arguments.
  static const VARIANT kEmptyVariant;

  ScopedVariant() { var_.vt = VT_EMPTY; }
  // VT_BSTR holding a copy of |str|.
  explicit ScopedVariant(const wchar_t* str);
  // An integer of type |vt| (VT_I4 by default; VT_I1 to VT_UI4, VT_INT,
  // VT_UINT or VT_ERROR).
  explicit ScopedVariant(int32_t value, VARTYPE vt = VT_I4);
  // VT_BOOL.
  explicit ScopedVariant(bool value);
  // VT_R8.
  explicit ScopedVariant(double value);
  // VT_DISPATCH and VT_UNKNOWN; the variant takes a reference.
  explicit ScopedVariant(IDispatch* dispatch);
  explicit ScopedVariant(IUnknown* unknown);
  // A deep copy of |var|.
  explicit ScopedVariant(const VARIANT& var);
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant();

  VARTYPE type() const { return var_.vt; }

  // Clears the variant owned and takes ownership of |var| (no copy).
  void Reset(const VARIANT& var = kEmptyVariant);
  // Gives up ownership; the caller must clear the result.
  [[nodiscard]] VARIANT Release();
  void Swap(ScopedVariant& var);
  // A deep copy the caller must clear.
  [[nodiscard]] VARIANT Copy() const;

  // For functions that return a VARIANT through an out parameter; the
  // variant must be empty at that point.
  VARIANT* Receive();

  // Each clears the variant owned first.
  void Set(const wchar_t* str);
  void Set(int32_t value);
  void Set(bool value);
  void Set(IDispatch* dispatch);
  // A deep copy of |var|.
  void Set(const VARIANT& var);

  // For [in] parameters declared as VARIANT*; the callee must not change it.
  VARIANT* AsInput() const { return const_cast<VARIANT*>(&var_); }
  const VARIANT* ptr() const { return &var_; }
  operator const VARIANT&() const { return var_; }

 private:
  VARIANT var_ = {};
};

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_SCOPED_VARIANT_H_
