#include "base/at_exit.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/lazy_instance_helpers.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(AtExitTest, NewestFirstAndShadowingKeepsOuterRegistrations) {
  std::string order;
  {
    ShadowingAtExitManager outer;
    AtExitManager::RegisterTask([&] { order += "outer"; });
    {
      ShadowingAtExitManager inner;
      AtExitManager::RegisterTask([&] { order += "b;"; });
      AtExitManager::RegisterTask([&] { order += "c;"; });
    }
    EXPECT_EQ("c;b;", order);
  }
  EXPECT_EQ("c;b;outer", order);
}

struct Counted {
  Counted() { ++created; }
  ~Counted() { ++destroyed; }
  static std::atomic<int> created;
  static std::atomic<int> destroyed;
};
std::atomic<int> Counted::created{0};
std::atomic<int> Counted::destroyed{0};

TEST(LazySingletonTest, OneInstanceUnderRaceAndRecreatedAfterExit) {
  static LazySingleton<Counted> g_counted;
  Counted::created = 0;
  Counted::destroyed = 0;
  {
    ShadowingAtExitManager manager;
    std::vector<std::thread> threads;
    std::atomic<Counted*> seen[8];
    for (int i = 0; i < 8; ++i)
      threads.emplace_back([&, i] { seen[i] = g_counted.Get(); });
    for (auto& t : threads)
      t.join();
    for (int i = 1; i < 8; ++i)
      EXPECT_EQ(seen[0].load(), seen[i].load());
    EXPECT_EQ(1, Counted::created);
  }
  EXPECT_EQ(1, Counted::destroyed);
  EXPECT_FALSE(g_counted.IsCreated());
  {
    ShadowingAtExitManager manager;
    g_counted.Get();
    EXPECT_EQ(2, Counted::created);
  }
  EXPECT_EQ(2, Counted::destroyed);
}

}  // namespace
}  // namespace base
