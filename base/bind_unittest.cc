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
  void Increment() { ++count_; }
  void Add(int n) { count_ += n; }
  int Get() const { return count_; }
  int AddAndGet(int n) {
    count_ += n;
    return count_;
  }
  WeakPtr<Counter> AsWeakPtr() { return weak_factory_.GetWeakPtr(); }

 private:
  int count_ = 0;
  WeakPtrFactory<Counter> weak_factory_{this};
};

class RefCountedCounter : public RefCountedThreadSafe<RefCountedCounter> {
 public:
  explicit RefCountedCounter(bool* deleted) : deleted_(deleted) {}
  void Increment() { ++count_; }
  int count() const { return count_; }

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
  void Touch() { touched_ = true; }
  bool touched_ = false;

 private:
  bool* deleted_;
};

int Sum(int a, int b, int c) {
  return a + b + c;
}

int TakeUnique(std::unique_ptr<int> value) {
  return value ? *value : -1;
}

const std::string* AddressOf(const std::string& s) {
  return &s;
}

TEST(BindTest, FunctionArgumentsSplitBetweenBindAndRun) {
  RepeatingCallback<int(int, int)> two_left = BindRepeating(&Sum, 1);
  EXPECT_EQ(6, two_left.Run(2, 3));
  EXPECT_EQ(8, two_left.Run(3, 4));  // Runs again.
  OnceCallback<int()> none_left = BindOnce(&Sum, 1, 2, 3);
  EXPECT_EQ(6, std::move(none_left).Run());
  EXPECT_TRUE(none_left.is_null());
}

TEST(BindTest, MethodsWithReceiverWrappers) {
  Counter counter;
  RepeatingClosure increment =
      BindRepeating(&Counter::Increment, Unretained(&counter));
  increment.Run();
  increment.Run();
  EXPECT_EQ(2, counter.Get());
  EXPECT_EQ(12, BindOnce(&Counter::AddAndGet, Unretained(&counter), 10).Run());
  const Counter* const_counter = &counter;
  EXPECT_EQ(12, BindOnce(&Counter::Get, Unretained(const_counter)).Run());
}

TEST(BindTest, OwnedDeletesWithTheLastCopyOfTheCallback) {
  bool deleted = false;
  auto* marker = new DeleteMarker(&deleted);
  RepeatingClosure touch = BindRepeating(&DeleteMarker::Touch, Owned(marker));
  RepeatingClosure copy = touch;
  touch.Run();
  EXPECT_TRUE(marker->touched_);
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

TEST(BindTest, OnceCallbackMovesItsBoundValuesIntoTheCall) {
  auto value = std::make_unique<int>(7);
  OnceCallback<int()> take = BindOnce(&TakeUnique, std::move(value));
  EXPECT_EQ(7, std::move(take).Run());

  // A move-only value in a repeating callback goes through Passed, once.
  RepeatingCallback<int()> passed =
      BindRepeating(&TakeUnique, Passed(std::make_unique<int>(9)));
  EXPECT_EQ(9, passed.Run());
  EXPECT_DEATH(passed.Run(), "");
}

TEST(BindTest, RunTimeArgumentsAreForwardedWithoutCopies) {
  OnceCallback<int(std::unique_ptr<int>)> take = BindOnce(&TakeUnique);
  EXPECT_EQ(3, std::move(take).Run(std::make_unique<int>(3)));

  std::string text = "abc";
  RepeatingCallback<const std::string*(const std::string&)> address =
      BindRepeating(&AddressOf);
  EXPECT_EQ(&text, address.Run(text));
}

TEST(BindTest, BoundValuesAreCopiesUnlessConstRef) {
  std::string text = "before";
  RepeatingCallback<const std::string*()> copy =
      BindRepeating(&AddressOf, text);
  RepeatingCallback<const std::string*()> ref =
      BindRepeating(&AddressOf, ConstRef(text));
  EXPECT_NE(&text, copy.Run());
  EXPECT_EQ(&text, ref.Run());
  // A repeating callback lends its copy: the same object on every run.
  EXPECT_EQ(copy.Run(), copy.Run());
}

TEST(BindTest, LambdasAndCallbacksBind) {
  int calls = 0;
  RepeatingCallback<void(int)> add =
      BindRepeating([](int* total, int n) { *total += n; }, &calls);
  add.Run(2);
  EXPECT_EQ(2, calls);

  // A callback as the function, with one more argument bound.
  OnceClosure add_three = BindOnce(add, 3);
  std::move(add_three).Run();
  EXPECT_EQ(5, calls);

  // A once callback converts from a repeating one and keeps its copies.
  OnceCallback<void(int)> once = add;
  std::move(once).Run(1);
  add.Run(1);
  EXPECT_EQ(7, calls);
}

TEST(BindTest, NullCallbacks) {
  RepeatingClosure closure;
  EXPECT_TRUE(closure.is_null());
  EXPECT_FALSE(closure);
  EXPECT_FALSE(closure.IsCancelled());
  EXPECT_DEATH(closure.Run(), "null callback");
  OnceClosure once = nullptr;
  EXPECT_TRUE(once.is_null());
}

}  // namespace
}  // namespace base
