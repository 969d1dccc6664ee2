#include "base/win/scoped_co_mem.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

TEST(ScopedCoMemTest, OwnsWhatCOMHandsOut) {
  ScopedCoMem<wchar_t> path;
  ASSERT_EQ(S_OK,
            ::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path));
  EXPECT_EQ(L':', path.get()[1]);
  // Reset frees the old block and owns the new one.
  auto* block = static_cast<wchar_t*>(::CoTaskMemAlloc(4 * sizeof(wchar_t)));
  path.Reset(block);
  EXPECT_EQ(block, path.get());
}

}  // namespace
}  // namespace win
}  // namespace base
