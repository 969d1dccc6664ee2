#include "desktop/windows/crash_reporter/text_log_upload_job.h"

#include "base/files/file_util.h"
#include "base/logging.h"
#include "components/upload/http_upload.h"
#include "components/zip/zip_writer.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"

namespace crash_reporter {

namespace {

constexpr char kZipEntryName[] = "crashlog.txt";
constexpr int kZipLevel = 9;

}  // namespace

TextLogUploadJob::TextLogUploadJob(const base::FilePath& file_path,
                                   bool delete_file_when_done,
                                   UploadParams params,
                                   bool compress)
    : UploadJob(file_path, delete_file_when_done, std::move(params), compress) {
}

TextLogUploadJob::~TextLogUploadJob() = default;

bool TextLogUploadJob::Run() {
  base::FilePath upload_file = file_path();
  if (compress()) {
    upload_file = file_path().ReplaceExtension(L".zip");
    if (!zip::WriteSingleEntryZip(upload_file, kZipEntryName, file_path(),
                                  kZipLevel)) {
      LOG(ERROR) << "Crash log " << file_path() << " not sent: cannot zip it";
      return false;
    }
  }
  int timeout_ms = GetTimeoutMs();
  bool sent = upload::HTTPUpload::SendRequest(
      GetCrashServerUrl(), params(), {{L"file", upload_file.value()}},
      &timeout_ms, nullptr, nullptr, GetUserAgentSuffix());
  if (compress() && !base::DeleteFileAtItsPlace(upload_file))
    LOG(ERROR) << "Cannot delete " << upload_file;
  if (sent)
    LOG(INFO) << "Crash log " << file_path() << " sent";
  else
    LOG(ERROR) << "Crash log " << file_path() << " not sent";
  return sent;
}

}  // namespace crash_reporter
