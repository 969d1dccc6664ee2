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

TEST(ScopedVariantTest, HoldsEachKindOfValue) {
  ScopedVariant text(L"text");
  EXPECT_EQ(VT_BSTR, text.type());
  EXPECT_STREQ(L"text", V_BSTR(text.ptr()));
  EXPECT_EQ(4u, ::SysStringLen(V_BSTR(text.ptr())));

  ScopedVariant flag(true);
  EXPECT_EQ(VT_BOOL, flag.type());
  EXPECT_EQ(VARIANT_TRUE, V_BOOL(flag.ptr()));
  ScopedVariant number(7, VT_UI4);
  EXPECT_EQ(VT_UI4, number.type());
  ScopedVariant real(2.5);
  EXPECT_EQ(VT_R8, real.type());

  // Real VARIANT APIs accept them.
  ScopedVariant converted;
  ASSERT_EQ(S_OK, ::VariantChangeTypeEx(converted.Receive(), number.AsInput(),
                                        LOCALE_INVARIANT, 0, VT_BSTR));
  EXPECT_STREQ(L"7", V_BSTR(converted.ptr()));

  // Set clears what was there before.
  converted.Set(3);
  EXPECT_EQ(VT_I4, converted.type());
  EXPECT_EQ(3, V_I4(converted.ptr()));
  converted.Set(false);
  EXPECT_EQ(VARIANT_FALSE, V_BOOL(converted.ptr()));
  converted.Reset();
  EXPECT_EQ(VT_EMPTY, converted.type());
}

TEST(ScopedVariantTest, CopiesAreDeepAndOwnershipMoves) {
  ScopedVariant text(L"text");
  VARIANT copy = text.Copy();
  EXPECT_EQ(VT_BSTR, V_VT(&copy));
  EXPECT_NE(V_BSTR(text.ptr()), V_BSTR(&copy));
  EXPECT_STREQ(L"text", V_BSTR(&copy));

  ScopedVariant owner;
  owner.Reset(copy);  // Takes it over; no leak, no double free.
  ScopedVariant from_copy(static_cast<const VARIANT&>(owner));
  EXPECT_STREQ(L"text", V_BSTR(from_copy.ptr()));
  EXPECT_NE(V_BSTR(owner.ptr()), V_BSTR(from_copy.ptr()));

  VARIANT released = owner.Release();
  EXPECT_EQ(VT_EMPTY, owner.type());
  EXPECT_EQ(S_OK, ::VariantClear(&released));

  owner.Swap(text);
  EXPECT_EQ(VT_BSTR, owner.type());
  EXPECT_EQ(VT_EMPTY, text.type());
}

TEST(ScopedVariantTest, InterfacesAreReferencedAndReleased) {
  CountingUnknown object;
  {
    ScopedVariant held(static_cast<IUnknown*>(&object));
    EXPECT_EQ(VT_UNKNOWN, held.type());
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
