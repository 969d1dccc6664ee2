#include "base/memory/weak_ptr.h"

#include <memory>
#include <thread>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(WeakPtrTest, NullAfterTheFactoryGoesOrInvalidates) {
  int value = 1;
  WeakPtr<int> weak;
  {
    WeakPtrFactory<int> factory(&value);
    weak = factory.GetWeakPtr();
    EXPECT_EQ(&value, WeakPtr<int>(weak).get());
    WeakPtr<int> before = factory.GetWeakPtr();
    factory.InvalidateWeakPtrs();
    EXPECT_FALSE(before);
    // Only pointers handed out earlier are touched.
    weak = factory.GetWeakPtr();
    EXPECT_EQ(&value, weak.get());
  }
  EXPECT_EQ(nullptr, weak.get());
  EXPECT_DEATH(*weak, "null WeakPtr");
}

TEST(WeakPtrTest, MayBeHandedToAnotherThreadThatChecksIt) {
  auto value = std::make_unique<int>(5);
  auto factory = std::make_unique<WeakPtrFactory<int>>(value.get());
  WeakPtr<int> weak = factory->GetWeakPtr();
  int seen = 0;
  // The other thread checks and invalidates; this one never checks.
  std::thread other([&] {
    seen = *weak;
    factory.reset();
    EXPECT_FALSE(weak);
  });
  other.join();
  EXPECT_EQ(5, seen);
}

TEST(WeakPtrTest, CheckingOnTwoThreadsIsAnError) {
  int value = 1;
  WeakPtrFactory<int> factory(&value);
  WeakPtr<int> weak = factory.GetWeakPtr();
  EXPECT_TRUE(weak);  // Binds to this thread.
  EXPECT_DEATH(
      {
        std::thread other([&] { (void)weak.get(); });
        other.join();
      },
      "one thread");
}

}  // namespace
}  // namespace base
