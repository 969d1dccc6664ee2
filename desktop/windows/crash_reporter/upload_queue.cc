#include "desktop/windows/crash_reporter/upload_queue.h"

#include "base/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/threading/worker_pool.h"
#include "desktop/windows/crash_reporter/minidump_upload_job.h"
#include "desktop/windows/crash_reporter/process_exit_waiter.h"
#include "desktop/windows/crash_reporter/text_log_upload_job.h"

namespace crash_reporter {

namespace {

void RunUploadJob(std::unique_ptr<UploadJob> job, ProcessExitWaiter* waiter) {
  job->Run();
  // The file goes before the reporter may end.
  job.reset();
  waiter->Release();
}

}  // namespace

bool QueueUploadJob(std::unique_ptr<UploadJob> job, ProcessExitWaiter* waiter) {
  DCHECK(job);
  DCHECK(waiter);
  const base::FilePath path = job->file_path();
  waiter->AddRef();
  if (base::WorkerPool::PostTask(
          FROM_HERE, base::BindOnce(&RunUploadJob, std::move(job), waiter),
          true)) {
    return true;
  }
  // The pool did not take the task, which took the job with it.
  LOG(ERROR) << "Cannot queue the upload of " << path;
  waiter->Release();
  return false;
}

bool QueueTextLogUpload(const base::FilePath& path,
                        UploadParams params,
                        bool delete_file_when_done,
                        ProcessExitWaiter* waiter) {
  return QueueUploadJob(
      std::make_unique<TextLogUploadJob>(path, delete_file_when_done,
                                         std::move(params), true),
      waiter);
}

bool QueueMinidumpUpload(const base::FilePath& path,
                         UploadParams params,
                         bool delete_file_when_done,
                         uint64_t max_size,
                         ProcessExitWaiter* waiter) {
  return QueueUploadJob(
      std::make_unique<MinidumpUploadJob>(path, delete_file_when_done,
                                          std::move(params), true, max_size),
      waiter);
}

bool UploadTextLogNow(const base::FilePath& path,
                      UploadParams params,
                      bool compress) {
  return TextLogUploadJob(path, true, std::move(params), compress).Run();
}

bool UploadMinidumpNow(const base::FilePath& path,
                       UploadParams params,
                       bool compress,
                       uint64_t max_size) {
  return MinidumpUploadJob(path, true, std::move(params), compress, max_size)
      .Run();
}

}  // namespace crash_reporter
