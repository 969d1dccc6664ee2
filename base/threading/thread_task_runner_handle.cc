#include "base/threading/thread_task_runner_handle.h"

#include <utility>

#include "base/logging.h"

namespace base {

namespace {
thread_local ThreadTaskRunnerHandle* g_current_handle = nullptr;
}  // namespace

// static
scoped_refptr<SingleThreadTaskRunner> ThreadTaskRunnerHandle::Get() {
  CHECK(g_current_handle) << "this thread has no message loop";
  return g_current_handle->task_runner_;
}

// static
bool ThreadTaskRunnerHandle::IsSet() {
  return g_current_handle != nullptr;
}

ThreadTaskRunnerHandle::ThreadTaskRunnerHandle(
    scoped_refptr<SingleThreadTaskRunner> task_runner)
    : task_runner_(std::move(task_runner)) {
  DCHECK(task_runner_->BelongsToCurrentThread());
  DCHECK(!g_current_handle) << "this thread already has a task runner";
  g_current_handle = this;
}

ThreadTaskRunnerHandle::~ThreadTaskRunnerHandle() {
  DCHECK_EQ(g_current_handle, this);
  g_current_handle = nullptr;
}

}  // namespace base
