// A pool of a few threads whose tasks may be grouped in sequences: tasks of
// one sequence run one at a time, in posting order (delayed ones by run
// time), possibly on different threads; other tasks run in parallel.
//
//   scoped_refptr<base::SequencedWorkerPool> pool =
//       new base::SequencedWorkerPool(2, "PrefsTaskPool");
//   scoped_refptr<base::SequencedTaskRunner> runner =
//       pool->GetSequencedTaskRunnerWithShutdownBehavior(
//           pool->GetNamedSequenceToken(path), base::SequencedWorkerPool::
//           BLOCK_SHUTDOWN);
//   ...
//   pool->Shutdown();  // before the last reference goes
//
// Shutdown refuses new tasks, drops the queued tasks that need not finish
// and waits for the ones that must (see WorkerShutdown). The pool's threads
// end by themselves once no work is left after Shutdown; they do not keep
// the pool object alive, so its reference count tells who still uses it.

#ifndef BASE_THREADING_SEQUENCED_WORKER_POOL_H_
#define BASE_THREADING_SEQUENCED_WORKER_POOL_H_

#include <cstddef>
#include <string>

#include "base/memory/ref_counted.h"
#include "base/sequenced_task_runner.h"
#include "base/task_runner.h"
#include "base/time/time.h"

namespace base {

class SequencedWorkerPool : public TaskRunner {
 public:
  // What Shutdown does with a task.
  enum WorkerShutdown {
    // Not started: dropped. Running: not waited for; it may still run
    // after Shutdown returned.
    CONTINUE_ON_SHUTDOWN,
    // Not started: dropped. Running: Shutdown waits for it.
    SKIP_ON_SHUTDOWN,
    // Shutdown runs it and waits for it. Delayed tasks cannot be of this
    // kind and are treated as SKIP_ON_SHUTDOWN.
    BLOCK_SHUTDOWN,
  };

  class SequenceToken {
   public:
    SequenceToken() = default;
    bool Equals(const SequenceToken& other) const { return id_ == other.id_; }
    bool IsValid() const { return id_ != 0; }

   private:
    friend class SequencedWorkerPool;
    explicit SequenceToken(int id) : id_(id) {}
    int id_ = 0;
  };

  static constexpr TimeDelta kDefaultShutdownTimeout =
      TimeDelta::FromMinutes(1);

  // Threads are started as work arrives, at most |max_threads|, named
  // |thread_name_prefix| + "Worker" + a number.
  SequencedWorkerPool(size_t max_threads,
                      const std::string& thread_name_prefix);
  SequencedWorkerPool(const SequencedWorkerPool&) = delete;
  SequencedWorkerPool& operator=(const SequencedWorkerPool&) = delete;

  // A new sequence.
  SequenceToken GetSequenceToken();
  // The same name gives the same sequence.
  SequenceToken GetNamedSequenceToken(const std::string& name);

  // A runner for one sequence; its tasks get |shutdown_behavior|
  // (BLOCK_SHUTDOWN for GetSequencedTaskRunner).
  scoped_refptr<SequencedTaskRunner> GetSequencedTaskRunner(
      SequenceToken token);
  scoped_refptr<SequencedTaskRunner> GetSequencedTaskRunnerWithShutdownBehavior(
      SequenceToken token,
      WorkerShutdown shutdown_behavior);

  // A task in no sequence, BLOCK_SHUTDOWN.
  bool PostWorkerTask(const Location& from_here, OnceClosure task);
  // A task of |sequence_token|, BLOCK_SHUTDOWN.
  bool PostSequencedWorkerTask(SequenceToken sequence_token,
                               const Location& from_here,
                               OnceClosure task);
  bool PostSequencedWorkerTaskWithShutdownBehavior(
      SequenceToken sequence_token,
      const Location& from_here,
      OnceClosure task,
      WorkerShutdown shutdown_behavior);

  // TaskRunner: a task in no sequence.
  bool PostDelayedTask(const Location& from_here,
                       OnceClosure task,
                       TimeDelta delay) override;
  bool RunsTasksOnCurrentThread() const override;

  bool IsRunningSequenceOnCurrentThread(SequenceToken sequence_token) const;

  // Refuses new tasks, drops queued CONTINUE_ON_SHUTDOWN and
  // SKIP_ON_SHUTDOWN tasks, and waits until the BLOCK_SHUTDOWN tasks (and
  // running SKIP_ON_SHUTDOWN ones) are done. Returns false, with an error
  // line, when that took longer than |max_wait|. Not from a task of the
  // pool.
  bool Shutdown(TimeDelta max_wait = kDefaultShutdownTimeout);

 protected:
  ~SequencedWorkerPool() override;

 private:
  class Inner;
  class PoolSequencedTaskRunner;
  class Worker;

  bool PostTaskInternal(int sequence_id,
                        WorkerShutdown shutdown_behavior,
                        const Location& from_here,
                        OnceClosure task,
                        TimeDelta delay);

  const scoped_refptr<Inner> inner_;
};

}  // namespace base

#endif  // BASE_THREADING_SEQUENCED_WORKER_POOL_H_
