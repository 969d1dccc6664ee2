#include "base/threading/sequenced_worker_pool.h"

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "base/logging.h"
#include "base/pending_task.h"
#include "base/synchronization/condition_variable.h"
#include "base/synchronization/lock.h"
#include "base/threading/platform_thread.h"

namespace base {

namespace {
// Set on the pool's threads: which pool, and which sequence runs now.
thread_local const void* g_current_pool_inner = nullptr;
thread_local int g_current_sequence_id = 0;
}  // namespace

// The state shared by the pool object and its threads. The threads hold
// references to this, not to the pool.
class SequencedWorkerPool::Inner : public RefCountedThreadSafe<Inner> {
 public:
  Inner(size_t max_threads, const std::string& thread_name_prefix)
      : max_threads_(max_threads), thread_name_prefix_(thread_name_prefix) {
    DCHECK_GT(max_threads, 0u);
  }

  int GetNewSequenceId() {
    AutoLock lock(lock_);
    return next_sequence_id_++;
  }

  int GetNamedSequenceId(const std::string& name) {
    AutoLock lock(lock_);
    auto found = named_sequences_.find(name);
    if (found != named_sequences_.end())
      return found->second;
    int id = next_sequence_id_++;
    named_sequences_[name] = id;
    return id;
  }

  bool PostTask(int sequence_id,
                WorkerShutdown shutdown_behavior,
                const Location& from_here,
                OnceClosure task,
                TimeDelta delay);

  bool RunsTasksOnCurrentThread() const { return g_current_pool_inner == this; }
  bool IsRunningSequenceOnCurrentThread(int sequence_id) const {
    return g_current_pool_inner == this && sequence_id != 0 &&
           g_current_sequence_id == sequence_id;
  }

  bool Shutdown(TimeDelta max_wait);
  // The pool object is gone: drop everything queued and let the threads go.
  void Terminate();

  // The body of each worker thread.
  void ThreadLoop(int thread_number);

 private:
  friend class RefCountedThreadSafe<Inner>;

  struct Task {
    PendingTask pending_task;
    int sequence_id;
    WorkerShutdown shutdown_behavior;
  };
  // Run time first, then posting order.
  using TaskKey = std::pair<TimeTicks, uint64_t>;
  using TaskMap = std::map<TaskKey, Task>;

  ~Inner() = default;

  // The first task that may run now, or end(); |next_run_time| gets the
  // time of the first task not yet due (null when none).
  TaskMap::iterator FindRunnableTask(TimeTicks* next_run_time);
  void StartThread(int thread_number);

  const size_t max_threads_;
  const std::string thread_name_prefix_;

  Lock lock_;
  // Signalled on new work, on every finished task and on shutdown.
  ConditionVariable cv_{&lock_};
  TaskMap pending_tasks_;
  uint64_t next_task_number_ = 0;
  int next_sequence_id_ = 1;  // 0: no sequence.
  std::map<std::string, int> named_sequences_;
  std::set<int> running_sequences_;
  size_t thread_count_ = 0;
  size_t waiting_threads_ = 0;
  // Queued BLOCK_SHUTDOWN tasks, and running tasks that block shutdown.
  int blocking_tasks_pending_ = 0;
  int blocking_tasks_running_ = 0;
  bool shutdown_called_ = false;
  bool terminated_ = false;
};

class SequencedWorkerPool::Worker : public PlatformThread::Delegate {
 public:
  Worker(scoped_refptr<Inner> inner, int thread_number)
      : inner_(std::move(inner)), thread_number_(thread_number) {}
  ~Worker() override = default;

  void ThreadMain() override {
    inner_->ThreadLoop(thread_number_);
    delete this;
  }

 private:
  scoped_refptr<Inner> inner_;
  const int thread_number_;
};

bool SequencedWorkerPool::Inner::PostTask(int sequence_id,
                                          WorkerShutdown shutdown_behavior,
                                          const Location& from_here,
                                          OnceClosure task,
                                          TimeDelta delay) {
  DCHECK(task) << from_here.ToString();
  if (delay > TimeDelta() && shutdown_behavior == BLOCK_SHUTDOWN)
    shutdown_behavior = SKIP_ON_SHUTDOWN;
  bool accepted = false;
  int new_thread_number = 0;
  {
    AutoLock lock(lock_);
    if (!shutdown_called_ && !terminated_) {
      accepted = true;
      TimeTicks run_time = TimeTicks::Now();
      if (delay > TimeDelta())
        run_time += delay;
      TaskKey key(run_time, next_task_number_++);
      pending_tasks_.emplace(
          key, Task{PendingTask(from_here, std::move(task), run_time),
                    sequence_id, shutdown_behavior});
      if (shutdown_behavior == BLOCK_SHUTDOWN)
        ++blocking_tasks_pending_;
      if (waiting_threads_ == 0 && thread_count_ < max_threads_)
        new_thread_number = static_cast<int>(++thread_count_);
      else
        cv_.Broadcast();
    }
  }
  if (!accepted) {
    // |task| is destroyed on return, outside the lock.
    LOG(ERROR) << "Task from " << from_here.ToString() << " refused: the pool "
               << thread_name_prefix_ << " is shut down";
    return false;
  }
  if (new_thread_number)
    StartThread(new_thread_number);
  return true;
}

void SequencedWorkerPool::Inner::StartThread(int thread_number) {
  auto* worker = new Worker(this, thread_number);
  if (PlatformThread::CreateNonJoinable(0, worker))
    return;
  delete worker;
  AutoLock lock(lock_);
  --thread_count_;
  LOG(ERROR) << "Could not start a thread of the pool " << thread_name_prefix_
             << "; " << thread_count_ << " left";
}

SequencedWorkerPool::Inner::TaskMap::iterator
SequencedWorkerPool::Inner::FindRunnableTask(TimeTicks* next_run_time) {
  *next_run_time = TimeTicks();
  TimeTicks now = TimeTicks::Now();
  for (auto it = pending_tasks_.begin(); it != pending_tasks_.end(); ++it) {
    if (it->first.first > now) {
      // The map is in run-time order: nothing after this is due either.
      *next_run_time = it->first.first;
      break;
    }
    // A sequence that runs elsewhere blocks its later tasks too, which
    // keeps the sequence in order.
    if (it->second.sequence_id == 0 ||
        !running_sequences_.count(it->second.sequence_id)) {
      return it;
    }
  }
  return pending_tasks_.end();
}

void SequencedWorkerPool::Inner::ThreadLoop(int thread_number) {
  PlatformThread::SetName(thread_name_prefix_ + "Worker" +
                          std::to_string(thread_number));
  g_current_pool_inner = this;
  AutoLock lock(lock_);
  for (;;) {
    TimeTicks next_run_time;
    auto it = FindRunnableTask(&next_run_time);
    if (it != pending_tasks_.end()) {
      Task task = std::move(it->second);
      pending_tasks_.erase(it);
      if (task.shutdown_behavior == BLOCK_SHUTDOWN)
        --blocking_tasks_pending_;
      bool blocks_shutdown = task.shutdown_behavior != CONTINUE_ON_SHUTDOWN;
      if (blocks_shutdown)
        ++blocking_tasks_running_;
      if (task.sequence_id)
        running_sequences_.insert(task.sequence_id);
      {
        AutoUnlock unlock(lock_);
        g_current_sequence_id = task.sequence_id;
        std::move(task.pending_task.task).Run();
        g_current_sequence_id = 0;
      }
      if (task.sequence_id)
        running_sequences_.erase(task.sequence_id);
      if (blocks_shutdown)
        --blocking_tasks_running_;
      // The sequence is free for another thread; Shutdown may be waiting.
      cv_.Broadcast();
      continue;
    }
    if (terminated_ || (shutdown_called_ && pending_tasks_.empty()))
      break;
    ++waiting_threads_;
    if (next_run_time.is_null())
      cv_.Wait();
    else
      cv_.TimedWait(next_run_time - TimeTicks::Now());
    --waiting_threads_;
  }
  --thread_count_;
  g_current_pool_inner = nullptr;
}

bool SequencedWorkerPool::Inner::Shutdown(TimeDelta max_wait) {
  DCHECK(!RunsTasksOnCurrentThread()) << "Shutdown from a task of its pool";
  TimeTicks end = TimeTicks::Now() + max_wait;
  std::vector<Task> dropped;
  {
    AutoLock lock(lock_);
    if (!shutdown_called_) {
      shutdown_called_ = true;
      for (auto it = pending_tasks_.begin(); it != pending_tasks_.end();) {
        if (it->second.shutdown_behavior == BLOCK_SHUTDOWN) {
          ++it;
          continue;
        }
        dropped.push_back(std::move(it->second));
        it = pending_tasks_.erase(it);
      }
      cv_.Broadcast();
    }
  }
  // Outside the lock: a task's bound state may do anything when it goes.
  dropped.clear();

  AutoLock lock(lock_);
  while (blocking_tasks_pending_ > 0 || blocking_tasks_running_ > 0) {
    TimeDelta left = end - TimeTicks::Now();
    if (left <= TimeDelta()) {
      LOG(ERROR) << "Shutdown of the pool " << thread_name_prefix_
                 << " gave up waiting: " << blocking_tasks_pending_
                 << " queued and " << blocking_tasks_running_
                 << " running tasks left";
      return false;
    }
    cv_.TimedWait(left);
  }
  return true;
}

void SequencedWorkerPool::Inner::Terminate() {
  TaskMap dropped;
  {
    AutoLock lock(lock_);
    terminated_ = true;
    dropped.swap(pending_tasks_);
    blocking_tasks_pending_ = 0;
    cv_.Broadcast();
  }
}

// A runner for one sequence of the pool. It holds the pool, so that the
// pool's reference count shows the runners still in use.
class SequencedWorkerPool::PoolSequencedTaskRunner
    : public SequencedTaskRunner {
 public:
  PoolSequencedTaskRunner(scoped_refptr<SequencedWorkerPool> pool,
                          SequenceToken token,
                          WorkerShutdown shutdown_behavior)
      : pool_(std::move(pool)),
        token_(token),
        shutdown_behavior_(shutdown_behavior) {}

  bool PostDelayedTask(const Location& from_here,
                       OnceClosure task,
                       TimeDelta delay) override {
    return pool_->PostTaskInternal(token_.id_, shutdown_behavior_, from_here,
                                   std::move(task), delay);
  }
  // The pool has no nesting.
  bool PostNonNestableDelayedTask(const Location& from_here,
                                  OnceClosure task,
                                  TimeDelta delay) override {
    return PostDelayedTask(from_here, std::move(task), delay);
  }
  bool RunsTasksOnCurrentThread() const override {
    return pool_->IsRunningSequenceOnCurrentThread(token_);
  }

 private:
  ~PoolSequencedTaskRunner() override = default;

  const scoped_refptr<SequencedWorkerPool> pool_;
  const SequenceToken token_;
  const WorkerShutdown shutdown_behavior_;
};

SequencedWorkerPool::SequencedWorkerPool(size_t max_threads,
                                         const std::string& thread_name_prefix)
    : inner_(MakeRefCounted<Inner>(max_threads, thread_name_prefix)) {}

SequencedWorkerPool::~SequencedWorkerPool() {
  // Possibly on one of the pool's own threads (a task that held the last
  // runner), so nothing here may wait for them.
  inner_->Terminate();
}

SequencedWorkerPool::SequenceToken SequencedWorkerPool::GetSequenceToken() {
  return SequenceToken(inner_->GetNewSequenceId());
}

SequencedWorkerPool::SequenceToken SequencedWorkerPool::GetNamedSequenceToken(
    const std::string& name) {
  return SequenceToken(inner_->GetNamedSequenceId(name));
}

scoped_refptr<SequencedTaskRunner> SequencedWorkerPool::GetSequencedTaskRunner(
    SequenceToken token) {
  return GetSequencedTaskRunnerWithShutdownBehavior(token, BLOCK_SHUTDOWN);
}

scoped_refptr<SequencedTaskRunner>
SequencedWorkerPool::GetSequencedTaskRunnerWithShutdownBehavior(
    SequenceToken token,
    WorkerShutdown shutdown_behavior) {
  DCHECK(token.IsValid());
  return MakeRefCounted<PoolSequencedTaskRunner>(this, token,
                                                 shutdown_behavior);
}

bool SequencedWorkerPool::PostWorkerTask(const Location& from_here,
                                         OnceClosure task) {
  return PostTaskInternal(0, BLOCK_SHUTDOWN, from_here, std::move(task),
                          TimeDelta());
}

bool SequencedWorkerPool::PostSequencedWorkerTask(SequenceToken sequence_token,
                                                  const Location& from_here,
                                                  OnceClosure task) {
  return PostSequencedWorkerTaskWithShutdownBehavior(
      sequence_token, from_here, std::move(task), BLOCK_SHUTDOWN);
}

bool SequencedWorkerPool::PostSequencedWorkerTaskWithShutdownBehavior(
    SequenceToken sequence_token,
    const Location& from_here,
    OnceClosure task,
    WorkerShutdown shutdown_behavior) {
  DCHECK(sequence_token.IsValid());
  return PostTaskInternal(sequence_token.id_, shutdown_behavior, from_here,
                          std::move(task), TimeDelta());
}

bool SequencedWorkerPool::PostDelayedTask(const Location& from_here,
                                          OnceClosure task,
                                          TimeDelta delay) {
  return PostTaskInternal(0, BLOCK_SHUTDOWN, from_here, std::move(task), delay);
}

bool SequencedWorkerPool::RunsTasksOnCurrentThread() const {
  return inner_->RunsTasksOnCurrentThread();
}

bool SequencedWorkerPool::IsRunningSequenceOnCurrentThread(
    SequenceToken sequence_token) const {
  return inner_->IsRunningSequenceOnCurrentThread(sequence_token.id_);
}

bool SequencedWorkerPool::Shutdown(TimeDelta max_wait) {
  return inner_->Shutdown(max_wait);
}

bool SequencedWorkerPool::PostTaskInternal(int sequence_id,
                                           WorkerShutdown shutdown_behavior,
                                           const Location& from_here,
                                           OnceClosure task,
                                           TimeDelta delay) {
  return inner_->PostTask(sequence_id, shutdown_behavior, from_here,
                          std::move(task), delay);
}

}  // namespace base
