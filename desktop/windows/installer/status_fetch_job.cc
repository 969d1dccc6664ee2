#include "desktop/windows/installer/status_fetch_job.h"

#include <utility>

#include "base/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/threading/worker_pool.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/status.h"

namespace installer {

namespace {

// Never destroyed: a job may still run while the process ends.
base::Lock& GetRunHookLock() {
  static base::Lock* const lock = new base::Lock();
  return *lock;
}

StatusFetchJob::RunHook& GetRunHook() {
  static StatusFetchJob::RunHook* const hook = new StatusFetchJob::RunHook();
  return *hook;
}

}  // namespace

StatusFetchJob::StatusFetchJob(const base::FilePath& folder,
                               bool replace_former_product,
                               Callback callback)
    : task_runner_(base::ThreadTaskRunnerHandle::Get()),
      folder_(folder),
      callback_(std::move(callback)),
      replace_former_product_(replace_former_product) {}

StatusFetchJob::~StatusFetchJob() = default;

bool StatusFetchJob::Start() {
  DCHECK(task_runner_->RunsTasksOnCurrentThread());
  if (base::WorkerPool::PostTaskAndReply(
          FROM_HERE_WITH_EXPLICIT_FUNCTION("FetchStatus"),
          base::BindOnce(&StatusFetchJob::Run, this),
          base::BindOnce(&StatusFetchJob::Reply, this), true)) {
    return true;
  }
  LOG(ERROR) << "Cannot start the status computation of " << folder_;
  return false;
}

void StatusFetchJob::Cancel() {
  DCHECK(task_runner_->RunsTasksOnCurrentThread());
  callback_.Reset();
}

bool StatusFetchJob::cancelled() const {
  DCHECK(task_runner_->RunsTasksOnCurrentThread());
  return callback_.is_null();
}

// static
void StatusFetchJob::SetRunHookForTesting(RunHook hook) {
  base::AutoLock lock(GetRunHookLock());
  GetRunHook() = std::move(hook);
}

void StatusFetchJob::Run() {
  RunHook hook;
  {
    base::AutoLock lock(GetRunHookLock());
    hook = GetRunHook();
  }
  if (hook)
    hook.Run(folder_);
  // Shortcuts, the install log and the shell's associations are COM.
  base::win::ScopedCOMInitializer com;
  auto status = std::make_unique<Status>(replace_former_product_);
  status->InitForPath(folder_);
  base::AutoLock lock(lock_);
  status_ = std::move(status);
}

void StatusFetchJob::Reply() {
  DCHECK(task_runner_->RunsTasksOnCurrentThread());
  std::unique_ptr<Status> status;
  {
    base::AutoLock lock(lock_);
    status = std::move(status_);
  }
  if (callback_.is_null()) {
    VLOG(1) << "Dropping the status of " << folder_ << ": cancelled";
    return;
  }
  std::move(callback_).Run(std::move(status));
}

}  // namespace installer
