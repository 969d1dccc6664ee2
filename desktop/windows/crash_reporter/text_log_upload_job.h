// Sends a text crash log, or a V1 crash file, to the crash server as the
// form field "file" of a multipart POST; a text log travels zipped.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_TEXT_LOG_UPLOAD_JOB_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_TEXT_LOG_UPLOAD_JOB_H_

#include "desktop/windows/crash_reporter/upload_job.h"

namespace crash_reporter {

class TextLogUploadJob : public UploadJob {
 public:
  // With |compress| the log is sent as a zip beside it, named like it with
  // ".zip", which is deleted again after the upload.
  TextLogUploadJob(const base::FilePath& file_path,
                   bool delete_file_when_done,
                   UploadParams params,
                   bool compress);
  ~TextLogUploadJob() override;

  bool Run() override;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_TEXT_LOG_UPLOAD_JOB_H_
