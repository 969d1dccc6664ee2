#include "base/win/scoped_variant.h"

#include <windows.h>

#include <oleauto.h>
#include <unknwn.h>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

// Counts its references so tests can see who holds one.
class CountingUnknown : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid,
                                           void** object) override {
    if (!IsEqualIID(riid, IID_IUnknown))
      return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  ULONG references() const { return references_; }

 private:
  ULONG references_ = 1;
};

TEST(ScopedVariantTest, ValuesAreWhatVariantApisExpect) {
  EXPECT_EQ(VARIANT_TRUE, V_BOOL(ScopedVariant(true).ptr()));
  ScopedVariant number(7, VT_UI4);
  ScopedVariant converted;
  ASSERT_EQ(S_OK, ::VariantChangeTypeEx(converted.Receive(), number.AsInput(),
                                        LOCALE_INVARIANT, 0, VT_BSTR));
  EXPECT_STREQ(L"7", V_BSTR(converted.ptr()));

  // Copies are deep: each owns its own string.
  ScopedVariant copy(static_cast<const VARIANT&>(converted));
  EXPECT_NE(V_BSTR(converted.ptr()), V_BSTR(copy.ptr()));
  VARIANT released = copy.Release();
  EXPECT_EQ(VT_EMPTY, copy.type());
  EXPECT_EQ(S_OK, ::VariantClear(&released));
}

TEST(ScopedVariantTest, InterfacesAreReferencedAndReleased) {
  CountingUnknown object;
  {
    ScopedVariant held(static_cast<IUnknown*>(&object));
    EXPECT_EQ(2u, object.references());
    {
      ScopedVariant copy(static_cast<const VARIANT&>(held));
      EXPECT_EQ(3u, object.references());
    }
    EXPECT_EQ(2u, object.references());
    held.Set(L"replaced");
    EXPECT_EQ(1u, object.references());
    held.Set(static_cast<const VARIANT&>(
        ScopedVariant(static_cast<IUnknown*>(&object))));
    EXPECT_EQ(2u, object.references());
  }
  EXPECT_EQ(1u, object.references());
}

}  // namespace
}  // namespace win
}  // namespace base
