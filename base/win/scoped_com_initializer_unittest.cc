#include "base/win/scoped_com_initializer.h"

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <thread>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

// The apartment of the calling thread, or -1 when COM is not initialised.
// The first single-threaded apartment of a process is the main one.
int ApartmentType() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  HRESULT hr = ::CoGetApartmentType(&type, &qualifier);
  if (FAILED(hr))
    return -1;
  return type == APTTYPE_MAINSTA ? APTTYPE_STA : static_cast<int>(type);
}

// Runs |test| on a thread of its own, so that the apartment it sees is new.
template <typename Test>
void OnFreshThread(Test test) {
  std::thread thread(test);
  thread.join();
}

TEST(ScopedCOMInitializerTest, ChoosesTheApartmentAndUndoesIt) {
  OnFreshThread([] {
    {
      ScopedCOMInitializer com;
      EXPECT_TRUE(com.Succeeded());
      EXPECT_EQ(APTTYPE_STA, ApartmentType());
    }
    EXPECT_EQ(-1, ApartmentType());
  });
  OnFreshThread([] {
    {
      ScopedCOMInitializer com(ScopedCOMInitializer::kMTA);
      EXPECT_TRUE(com.Succeeded());
      EXPECT_EQ(APTTYPE_MTA, ApartmentType());
    }
    EXPECT_EQ(-1, ApartmentType());
  });
}

TEST(ScopedCOMInitializerTest, NestingBalancesAndAMismatchFails) {
  OnFreshThread([] {
    {
      ScopedCOMInitializer outer;
      ASSERT_TRUE(outer.Succeeded());
      {
        ScopedCOMInitializer same;
        EXPECT_TRUE(same.Succeeded());
        EXPECT_EQ(S_FALSE, same.hr());
        ScopedCOMInitializer other(ScopedCOMInitializer::kMTA);
        EXPECT_FALSE(other.Succeeded());
        EXPECT_EQ(RPC_E_CHANGED_MODE, other.hr());
      }
      // Only the successful inner one was undone.
      EXPECT_EQ(APTTYPE_STA, ApartmentType());
    }
    EXPECT_EQ(-1, ApartmentType());
  });
}

// COM pointers are Microsoft::WRL::ComPtr from the SDK's <wrl/client.h>.
TEST(ScopedCOMInitializerTest, ComPtrWorksWithARealObject) {
  OnFreshThread([] {
    ScopedCOMInitializer com;
    ASSERT_TRUE(com.Succeeded());
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    ASSERT_EQ(S_OK,
              ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&link)));
    ASSERT_EQ(S_OK, link->SetArguments(L"--flag"));
    Microsoft::WRL::ComPtr<IPersistFile> file;
    ASSERT_EQ(S_OK, link.As(&file));
    CLSID clsid;
    EXPECT_EQ(S_OK, file->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_ShellLink, clsid));
    wchar_t arguments[32] = {};
    EXPECT_EQ(S_OK, link->GetArguments(arguments, 32));
    EXPECT_STREQ(L"--flag", arguments);
    // Released before COM goes away.
    file.Reset();
    link.Reset();
  });
}

}  // namespace
}  // namespace win
}  // namespace base
