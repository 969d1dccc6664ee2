#include "desktop/windows/installer/service/com_util.h"

#include <windows.h>

#include <objidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "desktop/windows/installer/test/fake_com_object.h"
#include "gtest/gtest.h"

using Microsoft::WRL::ComPtr;

namespace installer {
namespace {

class Dispatch : public test::FakeDispatch<IDispatch> {};

// The references an object has besides the probe's own.
ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// A query replaces what the result held and lets go of it, whether it
// finds the interface or not: nothing leaks.
TEST(ComUtilTest, QueryForLetsGoOfWhatTheResultHeld) {
  ComPtr<IDispatch> first(new Dispatch());
  ComPtr<IDispatch> second(new Dispatch());
  ComPtr<IDispatch> result;

  ASSERT_HRESULT_SUCCEEDED(QueryFor(first.Get(), IID_IDispatch, result));
  EXPECT_EQ(first.Get(), result.Get());
  EXPECT_EQ(2u, References(first.Get()));

  ASSERT_HRESULT_SUCCEEDED(QueryFor(second.Get(), IID_IDispatch, result));
  EXPECT_EQ(second.Get(), result.Get());
  EXPECT_EQ(1u, References(first.Get()));
  EXPECT_EQ(2u, References(second.Get()));

  ComPtr<IUnknown> held;
  ASSERT_HRESULT_SUCCEEDED(QueryFor(first.Get(), IID_IUnknown, held));
  EXPECT_EQ(2u, References(first.Get()));
  EXPECT_EQ(E_NOINTERFACE, QueryFor(second.Get(), IID_IPersist, held));
  EXPECT_EQ(nullptr, held.Get());
  EXPECT_EQ(1u, References(first.Get()));
  EXPECT_EQ(2u, References(second.Get()));
}

}  // namespace
}  // namespace installer
