// Runs crash file uploads: queued on the thread pool by the serving
// reporter, which must not hold a crashed client any longer than it takes
// to write the files, or sent at once by a reporter that reports a crashed
// reporter and has nothing else to do.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_UPLOAD_QUEUE_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_UPLOAD_QUEUE_H_

#include <stdint.h>

#include <memory>

#include "desktop/windows/crash_reporter/crash_upload_params.h"

namespace base {
class FilePath;
}  // namespace base

namespace crash_reporter {

class ProcessExitWaiter;
class UploadJob;

// Hands |job| to the thread pool, holding one count of |waiter| until the
// job has run and is gone. When it cannot be queued the job is destroyed at
// once (deleting its file if it was to) and false is returned.
bool QueueUploadJob(std::unique_ptr<UploadJob> job, ProcessExitWaiter* waiter);

// Queues the zipped upload of a text log.
bool QueueTextLogUpload(const base::FilePath& path,
                        UploadParams params,
                        bool delete_file_when_done,
                        ProcessExitWaiter* waiter);
// Queues the gzip-encoded upload of a minidump of at most |max_size| bytes.
bool QueueMinidumpUpload(const base::FilePath& path,
                         UploadParams params,
                         bool delete_file_when_done,
                         uint64_t max_size,
                         ProcessExitWaiter* waiter);

// Upload on the calling thread and delete the file; true when the server
// took it.
bool UploadTextLogNow(const base::FilePath& path,
                      UploadParams params,
                      bool compress);
bool UploadMinidumpNow(const base::FilePath& path,
                       UploadParams params,
                       bool compress,
                       uint64_t max_size);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_UPLOAD_QUEUE_H_
