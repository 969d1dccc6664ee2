// Sends a minidump to the crash-statistics collector: a multipart form of
// the upload parameters and the dump as "upload_file_minidump", its whole
// body gzip-encoded unless asked otherwise.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_MINIDUMP_UPLOAD_JOB_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_MINIDUMP_UPLOAD_JOB_H_

#include <stdint.h>

#include "desktop/windows/crash_reporter/upload_job.h"

namespace crash_reporter {

class MinidumpUploadJob : public UploadJob {
 public:
  // A dump larger than |max_size| bytes is not sent: the collector takes
  // none beyond the limit the dump was written for.
  MinidumpUploadJob(const base::FilePath& file_path,
                    bool delete_file_when_done,
                    UploadParams params,
                    bool compress,
                    uint64_t max_size);
  ~MinidumpUploadJob() override;

  bool Run() override;

 private:
  const uint64_t max_size_;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_MINIDUMP_UPLOAD_JOB_H_
