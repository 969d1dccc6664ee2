#include "desktop/windows/crash_reporter/upload_job.h"

#include <atomic>

#include "base/files/file_util.h"
#include "base/logging.h"

namespace crash_reporter {

namespace {

constexpr int kDefaultUploadTimeoutMs = 60000;

std::atomic<int> g_upload_timeout_ms{kDefaultUploadTimeoutMs};

}  // namespace

UploadJob::UploadJob(const base::FilePath& file_path,
                     bool delete_file_when_done,
                     UploadParams params,
                     bool compress)
    : file_path_(file_path),
      delete_file_when_done_(delete_file_when_done),
      params_(std::move(params)),
      compress_(compress) {}

UploadJob::~UploadJob() {
  if (delete_file_when_done_ && !base::DeleteFileAtItsPlace(file_path_))
    LOG(ERROR) << "Cannot delete the crash file " << file_path_;
}

// static
void UploadJob::SetTimeoutForTesting(int timeout_ms) {
  g_upload_timeout_ms = timeout_ms;
}

// static
int UploadJob::GetTimeoutMs() {
  return g_upload_timeout_ms;
}

}  // namespace crash_reporter
