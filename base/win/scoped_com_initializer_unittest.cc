#include "base/win/scoped_com_initializer.h"

#include <windows.h>

#include <objbase.h>

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
  if (FAILED(::CoGetApartmentType(&type, &qualifier)))
    return -1;
  return type == APTTYPE_MAINSTA ? APTTYPE_STA : static_cast<int>(type);
}

// Runs on a thread of its own, so that the apartment it sees is new.
TEST(ScopedCOMInitializerTest, NestsAndUndoesOnlyWhatSucceeded) {
  std::thread([] {
    {
      ScopedCOMInitializer outer;
      ASSERT_TRUE(outer.Succeeded());
      EXPECT_EQ(APTTYPE_STA, ApartmentType());
      {
        ScopedCOMInitializer same;
        EXPECT_EQ(S_FALSE, same.hr());
        ScopedCOMInitializer other(ScopedCOMInitializer::kMTA);
        EXPECT_FALSE(other.Succeeded());
        EXPECT_EQ(RPC_E_CHANGED_MODE, other.hr());
      }
      // Only the successful inner one was undone.
      EXPECT_EQ(APTTYPE_STA, ApartmentType());
    }
    EXPECT_EQ(-1, ApartmentType());
  }).join();
}

}  // namespace
}  // namespace win
}  // namespace base
