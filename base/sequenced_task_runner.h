// A task runner whose tasks run one at a time, in posting order (delayed
// tasks in the order of their run times).

#ifndef BASE_SEQUENCED_TASK_RUNNER_H_
#define BASE_SEQUENCED_TASK_RUNNER_H_

#include "base/task_runner.h"

namespace base {

class SequencedTaskRunner : public TaskRunner {
 public:
  // A non-nestable task never runs inside a nested run loop; it waits for
  // the outer loop. Runners without nesting treat it as any task.
  bool PostNonNestableTask(const Location& from_here, OnceClosure task);
  virtual bool PostNonNestableDelayedTask(const Location& from_here,
                                          OnceClosure task,
                                          TimeDelta delay) = 0;

  // Deletes |object| in a task of this sequence. When the sequence takes no
  // more tasks the object is leaked rather than deleted elsewhere.
  template <class T>
  bool DeleteSoon(const Location& from_here, const T* object) {
    return DeleteOrReleaseSoonInternal(from_here, &DeleteHelper<T>, object);
  }

 protected:
  ~SequencedTaskRunner() override = default;

 private:
  template <class T>
  static void DeleteHelper(const void* object) {
    delete static_cast<const T*>(object);
  }

  bool DeleteOrReleaseSoonInternal(const Location& from_here,
                                   void (*deleter)(const void*),
                                   const void* object);
};

}  // namespace base

#endif  // BASE_SEQUENCED_TASK_RUNNER_H_
