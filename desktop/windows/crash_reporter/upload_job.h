// The upload of one crash file, run on the calling thread or queued on the
// thread pool. The file is deleted when the job ends if it was asked to,
// whether the upload succeeded or not: no upload is retried.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_UPLOAD_JOB_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_UPLOAD_JOB_H_

#include "base/files/file_path.h"
#include "desktop/windows/crash_reporter/crash_upload_params.h"

namespace crash_reporter {

class UploadJob {
 public:
  UploadJob(const base::FilePath& file_path,
            bool delete_file_when_done,
            UploadParams params,
            bool compress);
  UploadJob(const UploadJob&) = delete;
  UploadJob& operator=(const UploadJob&) = delete;
  // Deletes the file when asked to.
  virtual ~UploadJob();

  // True when the server took the file.
  virtual bool Run() = 0;

  const base::FilePath& file_path() const { return file_path_; }

  // Bounds every step of an upload (connecting, sending, each wait for the
  // reply); the default is 60 s.
  static void SetTimeoutForTesting(int timeout_ms);

 protected:
  static int GetTimeoutMs();

  const UploadParams& params() const { return params_; }
  bool compress() const { return compress_; }

 private:
  const base::FilePath file_path_;
  const bool delete_file_when_done_;
  const UploadParams params_;
  const bool compress_;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_UPLOAD_JOB_H_
