#include "base/bind.h"

#include <memory>
#include <string>
#include <utility>

#include "base/callback.h"
#include "base/memory/ref_counted.h"
#include "base/memory/weak_ptr.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class Counter {
 public:
  void Add(int n) { count_ += n; }
  int Get() const { return count_; }
  WeakPtr<Counter> AsWeakPtr() { return weak_factory_.GetWeakPtr(); }

 private:
  int count_ = 0;
  WeakPtrFactory<Counter> weak_factory_{this};
};

class RefCountedCounter : public RefCountedThreadSafe<RefCountedCounter> {
 public:
  explicit RefCountedCounter(bool* deleted) : deleted_(deleted) {}
  void Increment() { ++count_; }

 private:
  friend class RefCountedThreadSafe<RefCountedCounter>;
  ~RefCountedCounter() { *deleted_ = true; }

  bool* deleted_;
  int count_ = 0;
};

// Sets a flag when destroyed.
class DeleteMarker {
 public:
  explicit DeleteMarker(bool* deleted) : deleted_(deleted) {}
  ~DeleteMarker() { *deleted_ = true; }
  void Touch() {}

 private:
  bool* deleted_;
};

int Sum(int a, int b, int c) {
  return a + b + c;
}

int TakeUnique(std::unique_ptr<int> value) {
  return value ? *value : -1;
}

TEST(BindTest, ArgumentsSplitBetweenBindAndRun) {
  RepeatingCallback<int(int, int)> two_left = BindRepeating(&Sum, 1);
  EXPECT_EQ(6, two_left.Run(2, 3));
  EXPECT_EQ(8, two_left.Run(3, 4));  // Runs again.
  OnceCallback<int()> none_left = BindOnce(&Sum, 1, 2, 3);
  EXPECT_EQ(6, std::move(none_left).Run());
  EXPECT_TRUE(none_left.is_null());
  // Move-only values, bound or passed at run time.
  EXPECT_EQ(7, BindOnce(&TakeUnique, std::make_unique<int>(7)).Run());
  EXPECT_EQ(3, BindOnce(&TakeUnique).Run(std::make_unique<int>(3)));
}

TEST(BindTest, OwnedDeletesWithTheLastCopyOfTheCallback) {
  bool deleted = false;
  RepeatingClosure touch =
      BindRepeating(&DeleteMarker::Touch, Owned(new DeleteMarker(&deleted)));
  RepeatingClosure copy = touch;
  touch.Run();
  touch.Reset();
  EXPECT_FALSE(deleted);
  copy.Reset();
  EXPECT_TRUE(deleted);
}

TEST(BindTest, RefCountedReceiverIsKeptAlive) {
  bool deleted = false;
  OnceClosure task;
  {
    scoped_refptr<RefCountedCounter> counter =
        MakeRefCounted<RefCountedCounter>(&deleted);
    task = BindOnce(&RefCountedCounter::Increment, counter.get());
  }
  EXPECT_FALSE(deleted);
  std::move(task).Run();
  EXPECT_TRUE(deleted);  // The callback's reference was the last one.
}

TEST(BindTest, WeakReceiverDropsTheCallOnceTheObjectIsGone) {
  auto counter = std::make_unique<Counter>();
  RepeatingCallback<void(int)> add =
      BindRepeating(&Counter::Add, counter->AsWeakPtr());
  add.Run(5);
  EXPECT_EQ(5, counter->Get());
  EXPECT_FALSE(add.IsCancelled());
  counter.reset();
  EXPECT_TRUE(add.IsCancelled());
  add.Run(1);  // Dropped, not a use after free.
}

TEST(BindTest, CallbacksBindAndConvert) {
  int total = 0;
  RepeatingCallback<void(int)> add =
      BindRepeating([](int* total, int n) { *total += n; }, &total);
  // A callback as the function, with one more argument bound.
  BindOnce(add, 3).Run();
  // A once callback converts from a repeating one and keeps its copies.
  OnceCallback<void(int)> once = add;
  std::move(once).Run(1);
  add.Run(1);
  EXPECT_EQ(5, total);
}

TEST(BindTest, NullCallbacks) {
  RepeatingClosure closure;
  EXPECT_TRUE(closure.is_null());
  EXPECT_FALSE(closure.IsCancelled());
  EXPECT_DEATH(closure.Run(), "null callback");
}

}  // namespace
}  // namespace base
