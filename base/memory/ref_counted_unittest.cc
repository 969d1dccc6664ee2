#include "base/memory/ref_counted.h"

#include <thread>
#include <utility>
#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

class Tracked : public RefCountedThreadSafe<Tracked> {
 public:
  explicit Tracked(int* deletions) : deletions_(deletions) {}

 private:
  friend class RefCountedThreadSafe<Tracked>;
  ~Tracked() { ++*deletions_; }
  int* deletions_;
};

TEST(RefCountedTest, DeletedWithTheLastReference) {
  int deletions = 0;
  scoped_refptr<Tracked> a = MakeRefCounted<Tracked>(&deletions);
  scoped_refptr<Tracked> b = a;
  EXPECT_FALSE(a->HasOneRef());
  scoped_refptr<Tracked> c = std::move(b);
  a = nullptr;
  EXPECT_TRUE(c->HasOneRef());
  c = c;  // Self-assignment keeps the object.
  EXPECT_EQ(0, deletions);
  c.reset();
  EXPECT_EQ(1, deletions);
}

TEST(RefCountedTest, ThreadSafeCountSurvivesConcurrentCopies) {
  int deletions = 0;
  scoped_refptr<Tracked> shared = MakeRefCounted<Tracked>(&deletions);
  for (int round = 0; round < 10; ++round) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([shared] {
        for (int i = 0; i < 2000; ++i) {
          scoped_refptr<Tracked> copy = shared;
          scoped_refptr<Tracked> moved = std::move(copy);
        }
      });
    }
    for (auto& thread : threads)
      thread.join();
    EXPECT_TRUE(shared->HasOneRef());
  }
  EXPECT_EQ(0, deletions);
}

TEST(RefCountedTest, ReleaseOfTheLastReferenceOnAnyThreadDeletesOnce) {
  for (int round = 0; round < 100; ++round) {
    int deletions = 0;
    scoped_refptr<Tracked> a = MakeRefCounted<Tracked>(&deletions);
    scoped_refptr<Tracked> b = a;
    std::thread t1([r = std::move(a)]() mutable { r = nullptr; });
    std::thread t2([r = std::move(b)]() mutable { r = nullptr; });
    t1.join();
    t2.join();
    ASSERT_EQ(1, deletions);
  }
}

}  // namespace
}  // namespace base
