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
struct Recorder {
  std::vector<int> Seen(const std::string& sequence) {
    AutoLock auto_lock(lock);
    return seen[sequence];
  }
  Lock lock;
  std::map<std::string, std::vector<int>> seen;
  std::set<std::string> inside;  // Sequences with a task running.
  bool overlapped = false;
};

scoped_refptr<SequencedTaskRunner> Runner(SequencedWorkerPool* pool,
                                          const std::string& name) {
  return pool->GetSequencedTaskRunnerWithShutdownBehavior(
      pool->GetNamedSequenceToken(name), SequencedWorkerPool::BLOCK_SHUTDOWN);
}

void SequencedStep(Recorder* recorder, std::string sequence, int value) {
  {
    AutoLock lock(recorder->lock);
    if (!recorder->inside.insert(sequence).second)
      recorder->overlapped = true;
  }
  // Long enough for the other thread to try the same sequence meanwhile.
  if (value % 8 == 0)
    PlatformThread::YieldCurrentThread();
  AutoLock lock(recorder->lock);
  recorder->seen[sequence].push_back(value);
  recorder->inside.erase(sequence);
}

TEST(SequencedWorkerPoolTest, ASequenceRunsInOrderAcrossBothThreads) {
  std::vector<int> expected;
  for (int i = 0; i < 30; ++i)
    expected.push_back(i);
  for (int iteration = 0; iteration < 50; ++iteration) {
    scoped_refptr<SequencedWorkerPool> pool =
        MakeRefCounted<SequencedWorkerPool>(2, "PrefsTaskPool");
    Recorder recorder;
    scoped_refptr<SequencedTaskRunner> a =
        Runner(pool.get(), "installer_prefs.json");
    scoped_refptr<SequencedTaskRunner> b = Runner(pool.get(), "Local State");
    for (int i : expected) {
      a->PostTask(FROM_HERE, BindOnce(&SequencedStep, &recorder, "a", i));
      b->PostTask(FROM_HERE, BindOnce(&SequencedStep, &recorder, "b", i));
    }
    ASSERT_TRUE(pool->Shutdown(TimeDelta::FromSeconds(10)));
    ASSERT_EQ(expected, recorder.Seen("a")) << "iteration " << iteration;
    ASSERT_EQ(expected, recorder.Seen("b")) << "iteration " << iteration;
    ASSERT_FALSE(recorder.overlapped) << "iteration " << iteration;
  }
}

TEST(SequencedWorkerPoolTest, TwoSequencesRunAtOnceEachKnowingItsOwn) {
  scoped_refptr<SequencedWorkerPool> pool =
      MakeRefCounted<SequencedWorkerPool>(2, "ParallelTest");
  scoped_refptr<SequencedTaskRunner> x = Runner(pool.get(), "x");
  scoped_refptr<SequencedTaskRunner> y = Runner(pool.get(), "y");
  EXPECT_FALSE(x->RunsTasksOnCurrentThread());
  WaitableEvent x_inside(WaitableEvent::ResetPolicy::MANUAL,
                         WaitableEvent::InitialState::NOT_SIGNALED);
  WaitableEvent y_inside(WaitableEvent::ResetPolicy::MANUAL,
                         WaitableEvent::InitialState::NOT_SIGNALED);
  // Each waits for the other: only two threads at once can finish them.
  auto meet = [](SequencedTaskRunner* own, SequencedTaskRunner* other,
                 WaitableEvent* mine, WaitableEvent* theirs, bool* ok) {
    mine->Signal();
    *ok = own->RunsTasksOnCurrentThread() &&
          !other->RunsTasksOnCurrentThread() &&
          theirs->TimedWait(TimeDelta::FromSeconds(10));
  };
  bool x_ok = false;
  bool y_ok = false;
  x->PostTask(FROM_HERE,
              BindOnce(meet, Unretained(x.get()), Unretained(y.get()),
                       &x_inside, &y_inside, &x_ok));
  y->PostTask(FROM_HERE,
              BindOnce(meet, Unretained(y.get()), Unretained(x.get()),
                       &y_inside, &x_inside, &y_ok));
  ASSERT_TRUE(pool->Shutdown());
  EXPECT_TRUE(x_ok);
  EXPECT_TRUE(y_ok);
}

TEST(SequencedWorkerPoolTest, ShutdownRunsQueuedWorkAndRefusesNewWork) {
  for (int iteration = 0; iteration < 20; ++iteration) {
    scoped_refptr<SequencedWorkerPool> pool =
        MakeRefCounted<SequencedWorkerPool>(2, "ShutdownTest");
    scoped_refptr<SequencedTaskRunner> runner = Runner(pool.get(), "store");
    WaitableEvent release(WaitableEvent::ResetPolicy::MANUAL,
                          WaitableEvent::InitialState::NOT_SIGNALED);
    WaitableEvent blocked(WaitableEvent::ResetPolicy::MANUAL,
                          WaitableEvent::InitialState::NOT_SIGNALED);
    std::atomic<int> runs{0};
    // Holds the sequence so that everything after it is still queued when
    // Shutdown starts.
    runner->PostTask(FROM_HERE,
                     BindOnce(
                         [](WaitableEvent* blocked, WaitableEvent* release) {
                           blocked->Signal();
                           release->TimedWait(TimeDelta::FromSeconds(10));
                         },
                         &blocked, &release));
    ASSERT_TRUE(blocked.TimedWait(TimeDelta::FromSeconds(10)));
    for (int i = 0; i < 5; ++i) {
      runner->PostTask(FROM_HERE, BindOnce(
                                      [](std::atomic<int>* runs) {
                                        PlatformThread::Sleep(
                                            TimeDelta::FromMilliseconds(2));
                                        ++*runs;
                                      },
                                      &runs));
    }
    // Released while Shutdown already waits.
    std::thread releaser([&] {
      PlatformThread::Sleep(TimeDelta::FromMilliseconds(5));
      release.Signal();
    });
    ASSERT_TRUE(pool->Shutdown(TimeDelta::FromSeconds(10)));
    // Everything queued finished before Shutdown returned.
    EXPECT_EQ(5, runs);
    releaser.join();
    EXPECT_FALSE(runner->PostTask(FROM_HERE, BindOnce([] {})));
  }
}

TEST(SequencedWorkerPoolTest, ShutdownGivesUpAfterItsLimit) {
  scoped_refptr<SequencedWorkerPool> pool =
      MakeRefCounted<SequencedWorkerPool>(1, "SlowShutdownTest");
  WaitableEvent release(WaitableEvent::ResetPolicy::MANUAL,
                        WaitableEvent::InitialState::NOT_SIGNALED);
  Runner(pool.get(), "slow")
      ->PostTask(FROM_HERE,
                 BindOnce(
                     [](WaitableEvent* release) {
                       release->TimedWait(TimeDelta::FromSeconds(10));
                     },
                     &release));
  EXPECT_FALSE(pool->Shutdown(TimeDelta::FromMilliseconds(50)));
  release.Signal();
  EXPECT_TRUE(pool->Shutdown(TimeDelta::FromSeconds(10)));
}

}  // namespace
}  // namespace base
