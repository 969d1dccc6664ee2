#include "base/threading/sequenced_worker_pool.h"

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/bind.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/platform_thread.h"
#include "gtest/gtest.h"

namespace base {
namespace {

// What the tasks of one test saw, written from the pool's threads.
class Recorder {
 public:
  void Record(const std::string& sequence, int value) {
    AutoLock lock(lock_);
    seen_[sequence].push_back(value);
    threads_.insert(PlatformThread::CurrentId());
  }
  // Enters a sequence's task; fails when another task of it is inside.
  void Enter(const std::string& sequence) {
    AutoLock lock(lock_);
    if (!inside_.insert(sequence).second)
      overlapped_ = true;
  }
  void Leave(const std::string& sequence) {
    AutoLock lock(lock_);
    inside_.erase(sequence);
  }
  std::vector<int> seen(const std::string& sequence) {
    AutoLock lock(lock_);
    return seen_[sequence];
  }
  size_t thread_count() {
    AutoLock lock(lock_);
    return threads_.size();
  }
  bool overlapped() {
    AutoLock lock(lock_);
    return overlapped_;
  }

 private:
  Lock lock_;
  std::map<std::string, std::vector<int>> seen_;
  std::set<PlatformThreadId> threads_;
  std::set<std::string> inside_;
  bool overlapped_ = false;
};

void SequencedStep(Recorder* recorder, std::string sequence, int value) {
  recorder->Enter(sequence);
  // Long enough for the other thread to try the same sequence meanwhile.
  if (value % 8 == 0)
    PlatformThread::YieldCurrentThread();
  recorder->Record(sequence, value);
  recorder->Leave(sequence);
}

TEST(SequencedWorkerPoolTest, ASequenceRunsInOrderAcrossBothThreads) {
  for (int iteration = 0; iteration < 200; ++iteration) {
    scoped_refptr<SequencedWorkerPool> pool =
        MakeRefCounted<SequencedWorkerPool>(2, "PrefsTaskPool");
    Recorder recorder;
    scoped_refptr<SequencedTaskRunner> a = pool->GetSequencedTaskRunner(
        pool->GetNamedSequenceToken("installer_prefs.json"));
    scoped_refptr<SequencedTaskRunner> b = pool->GetSequencedTaskRunner(
        pool->GetNamedSequenceToken("Local State"));
    for (int i = 0; i < 30; ++i) {
      a->PostTask(FROM_HERE, BindOnce(&SequencedStep, &recorder, "a", i));
      b->PostTask(FROM_HERE, BindOnce(&SequencedStep, &recorder, "b", i));
      // Tasks in no sequence may run beside both.
      pool->PostWorkerTask(
          FROM_HERE,
          BindOnce(&Recorder::Record, Unretained(&recorder), "free", i));
    }
    ASSERT_TRUE(pool->Shutdown(TimeDelta::FromSeconds(10)));
    std::vector<int> expected;
    for (int i = 0; i < 30; ++i)
      expected.push_back(i);
    ASSERT_EQ(expected, recorder.seen("a")) << "iteration " << iteration;
    ASSERT_EQ(expected, recorder.seen("b")) << "iteration " << iteration;
    ASSERT_EQ(30u, recorder.seen("free").size());
    ASSERT_FALSE(recorder.overlapped()) << "iteration " << iteration;
    ASSERT_LE(recorder.thread_count(), 2u);
  }
}

TEST(SequencedWorkerPoolTest, TwoThreadsRunUnrelatedTasksAtOnce) {
  scoped_refptr<SequencedWorkerPool> pool =
      MakeRefCounted<SequencedWorkerPool>(2, "ParallelTest");
  WaitableEvent first_inside(WaitableEvent::ResetPolicy::MANUAL,
                             WaitableEvent::InitialState::NOT_SIGNALED);
  WaitableEvent second_inside(WaitableEvent::ResetPolicy::MANUAL,
                              WaitableEvent::InitialState::NOT_SIGNALED);
  // Each waits for the other: only two threads at once can finish them.
  auto meet = [](WaitableEvent* mine, WaitableEvent* other, bool* met) {
    mine->Signal();
    *met = other->TimedWait(TimeDelta::FromSeconds(10));
  };
  bool first_met = false;
  bool second_met = false;
  pool->PostWorkerTask(
      FROM_HERE, BindOnce(meet, &first_inside, &second_inside, &first_met));
  pool->PostWorkerTask(
      FROM_HERE, BindOnce(meet, &second_inside, &first_inside, &second_met));
  ASSERT_TRUE(pool->Shutdown());
  EXPECT_TRUE(first_met);
  EXPECT_TRUE(second_met);
}

TEST(SequencedWorkerPoolTest, RunnersKnowTheirSequence) {
  scoped_refptr<SequencedWorkerPool> pool =
      MakeRefCounted<SequencedWorkerPool>(2, "TokenTest");
  SequencedWorkerPool::SequenceToken named = pool->GetNamedSequenceToken("x");
  EXPECT_TRUE(named.Equals(pool->GetNamedSequenceToken("x")));
  EXPECT_FALSE(named.Equals(pool->GetNamedSequenceToken("y")));
  EXPECT_FALSE(named.Equals(pool->GetSequenceToken()));
  EXPECT_FALSE(SequencedWorkerPool::SequenceToken().IsValid());

  scoped_refptr<SequencedTaskRunner> runner =
      pool->GetSequencedTaskRunner(named);
  scoped_refptr<SequencedTaskRunner> other =
      pool->GetSequencedTaskRunner(pool->GetNamedSequenceToken("y"));
  EXPECT_FALSE(runner->RunsTasksOnCurrentThread());
  bool in_own = false, in_other = true, in_pool = false;
  runner->PostTask(
      FROM_HERE, BindOnce(
                     [](SequencedTaskRunner* own, SequencedTaskRunner* other,
                        SequencedWorkerPool* pool, bool* in_own, bool* in_other,
                        bool* in_pool) {
                       *in_own = own->RunsTasksOnCurrentThread();
                       *in_other = other->RunsTasksOnCurrentThread();
                       *in_pool = pool->RunsTasksOnCurrentThread();
                     },
                     Unretained(runner.get()), Unretained(other.get()),
                     Unretained(pool.get()), &in_own, &in_other, &in_pool));
  ASSERT_TRUE(pool->Shutdown());
  EXPECT_TRUE(in_own);
  EXPECT_FALSE(in_other);
  EXPECT_TRUE(in_pool);
}

TEST(SequencedWorkerPoolTest, ShutdownRunsBlockingWorkAndDropsTheRest) {
  for (int iteration = 0; iteration < 20; ++iteration) {
    scoped_refptr<SequencedWorkerPool> pool =
        MakeRefCounted<SequencedWorkerPool>(2, "ShutdownTest");
    SequencedWorkerPool::SequenceToken token = pool->GetSequenceToken();
    WaitableEvent release(WaitableEvent::ResetPolicy::MANUAL,
                          WaitableEvent::InitialState::NOT_SIGNALED);
    WaitableEvent blocked(WaitableEvent::ResetPolicy::MANUAL,
                          WaitableEvent::InitialState::NOT_SIGNALED);
    std::atomic<int> block_runs{0};
    std::atomic<int> skip_runs{0};
    // Holds the sequence so that everything after it is still queued when
    // Shutdown starts.
    pool->PostSequencedWorkerTask(
        token, FROM_HERE,
        BindOnce(
            [](WaitableEvent* blocked, WaitableEvent* release) {
              blocked->Signal();
              release->TimedWait(TimeDelta::FromSeconds(10));
            },
            &blocked, &release));
    ASSERT_TRUE(blocked.TimedWait(TimeDelta::FromSeconds(10)));
    for (int i = 0; i < 5; ++i) {
      pool->PostSequencedWorkerTask(
          token, FROM_HERE,
          BindOnce(
              [](std::atomic<int>* runs) {
                PlatformThread::Sleep(TimeDelta::FromMilliseconds(2));
                ++*runs;
              },
              &block_runs));
      pool->PostSequencedWorkerTaskWithShutdownBehavior(
          token, FROM_HERE,
          BindOnce([](std::atomic<int>* runs) { ++*runs; }, &skip_runs),
          SequencedWorkerPool::SKIP_ON_SHUTDOWN);
    }
    // Released while Shutdown already waits.
    std::thread releaser([&] {
      PlatformThread::Sleep(TimeDelta::FromMilliseconds(5));
      release.Signal();
    });
    ASSERT_TRUE(pool->Shutdown(TimeDelta::FromSeconds(10)));
    // Everything that must finish did, before Shutdown returned.
    EXPECT_EQ(5, block_runs);
    EXPECT_EQ(0, skip_runs);
    releaser.join();
    // New work is refused.
    EXPECT_FALSE(pool->PostWorkerTask(FROM_HERE, BindOnce([] {})));
  }
}

TEST(SequencedWorkerPoolTest, ShutdownGivesUpAfterItsLimit) {
  scoped_refptr<SequencedWorkerPool> pool =
      MakeRefCounted<SequencedWorkerPool>(1, "SlowShutdownTest");
  WaitableEvent release(WaitableEvent::ResetPolicy::MANUAL,
                        WaitableEvent::InitialState::NOT_SIGNALED);
  pool->PostWorkerTask(FROM_HERE,
                       BindOnce(
                           [](WaitableEvent* release) {
                             release->TimedWait(TimeDelta::FromSeconds(10));
                           },
                           &release));
  EXPECT_FALSE(pool->Shutdown(TimeDelta::FromMilliseconds(50)));
  release.Signal();
  EXPECT_TRUE(pool->Shutdown(TimeDelta::FromSeconds(10)));
}

TEST(SequencedWorkerPoolTest, RunnersHoldThePoolForItsReferenceCount) {
  scoped_refptr<SequencedWorkerPool> pool =
      MakeRefCounted<SequencedWorkerPool>(2, "RefTest");
  EXPECT_TRUE(pool->HasOneRef());
  scoped_refptr<SequencedTaskRunner> runner =
      pool->GetSequencedTaskRunner(pool->GetSequenceToken());
  EXPECT_FALSE(pool->HasOneRef());
  // Running threads do not count.
  WaitableEvent ran(WaitableEvent::ResetPolicy::MANUAL,
                    WaitableEvent::InitialState::NOT_SIGNALED);
  runner->PostTask(FROM_HERE,
                   BindOnce(&WaitableEvent::Signal, Unretained(&ran)));
  ASSERT_TRUE(ran.TimedWait(TimeDelta::FromSeconds(10)));
  runner = nullptr;
  EXPECT_TRUE(pool->HasOneRef());
  EXPECT_TRUE(pool->Shutdown());
}

TEST(SequencedWorkerPoolTest, DelayedTasksOfASequenceRunByTime) {
  scoped_refptr<SequencedWorkerPool> pool =
      MakeRefCounted<SequencedWorkerPool>(2, "DelayTest");
  Recorder recorder;
  scoped_refptr<SequencedTaskRunner> runner =
      pool->GetSequencedTaskRunner(pool->GetSequenceToken());
  WaitableEvent done(WaitableEvent::ResetPolicy::MANUAL,
                     WaitableEvent::InitialState::NOT_SIGNALED);
  runner->PostDelayedTask(FROM_HERE,
                          BindOnce(&SequencedStep, &recorder, "s", 2),
                          TimeDelta::FromMilliseconds(40));
  runner->PostDelayedTask(FROM_HERE,
                          BindOnce(&SequencedStep, &recorder, "s", 1),
                          TimeDelta::FromMilliseconds(20));
  runner->PostTask(FROM_HERE, BindOnce(&SequencedStep, &recorder, "s", 0));
  runner->PostDelayedTask(FROM_HERE,
                          BindOnce(&WaitableEvent::Signal, Unretained(&done)),
                          TimeDelta::FromMilliseconds(50));
  ASSERT_TRUE(done.TimedWait(TimeDelta::FromSeconds(10)));
  EXPECT_EQ((std::vector<int>{0, 1, 2}), recorder.seen("s"));
  EXPECT_TRUE(pool->Shutdown());
}

}  // namespace
}  // namespace base
