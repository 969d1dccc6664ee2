// The computation of one folder's Status: built on a worker-pool thread
// with COM initialised for a single-threaded apartment, then handed to the
// thread that started the job. Shared by both threads; cancelling it on the
// starting thread drops a result still under way with the job.
//
//   job_ = base::MakeRefCounted<StatusFetchJob>(
//       folder, replace, base::BindOnce(&Settings::OnStatusFetched,
//                                       base::Unretained(this)));
//   job_->Start();
//   ...
//   job_->Cancel();  // OnStatusFetched will not run for it.

#ifndef DESKTOP_WINDOWS_INSTALLER_STATUS_FETCH_JOB_H_
#define DESKTOP_WINDOWS_INSTALLER_STATUS_FETCH_JOB_H_

#include <memory>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "base/single_thread_task_runner.h"
#include "base/synchronization/lock.h"

namespace installer {

class Status;

class StatusFetchJob : public base::RefCountedThreadSafe<StatusFetchJob> {
 public:
  using Callback = base::OnceCallback<void(std::unique_ptr<Status>)>;
  // Runs on the worker before the status of |folder| is computed.
  using RunHook = base::RepeatingCallback<void(const base::FilePath& folder)>;

  // |callback| receives the status on the thread that creates the job,
  // which must have a message loop.
  StatusFetchJob(const base::FilePath& folder,
                 bool replace_former_product,
                 Callback callback);
  StatusFetchJob(const StatusFetchJob&) = delete;
  StatusFetchJob& operator=(const StatusFetchJob&) = delete;

  // Posts the computation (a slow task, "FetchStatus"). False, with an
  // error line, when the pool refuses it; the callback then never runs.
  bool Start();
  // Drops the callback. On the creating thread.
  void Cancel();

  const base::FilePath& folder() const { return folder_; }
  bool cancelled() const;

  // Makes every job run |hook| first, so that a test can hold a
  // computation or learn when it starts; a null hook removes it.
  static void SetRunHookForTesting(RunHook hook);

 private:
  friend class base::RefCountedThreadSafe<StatusFetchJob>;
  ~StatusFetchJob();

  // On the worker.
  void Run();
  // On the creating thread.
  void Reply();

  base::Lock lock_;
  const scoped_refptr<base::SingleThreadTaskRunner> task_runner_;
  const base::FilePath folder_;
  // Touched only on the creating thread.
  Callback callback_;
  // Computed on the worker, owned here until handed over.
  std::unique_ptr<Status> status_;
  const bool replace_former_product_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STATUS_FETCH_JOB_H_
