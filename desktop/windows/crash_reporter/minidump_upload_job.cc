#include "desktop/windows/crash_reporter/minidump_upload_job.h"

#include <memory>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "components/compression/gzip_stream.h"
#include "components/upload/http_body_stream.h"
#include "components/upload/http_multipart_builder.h"
#include "components/upload/http_transport.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"

namespace crash_reporter {

namespace {

constexpr char kMinidumpField[] = "upload_file_minidump";

}  // namespace

MinidumpUploadJob::MinidumpUploadJob(const base::FilePath& file_path,
                                     bool delete_file_when_done,
                                     UploadParams params,
                                     bool compress,
                                     uint64_t max_size)
    : UploadJob(file_path, delete_file_when_done, std::move(params), compress),
      max_size_(max_size) {}

MinidumpUploadJob::~MinidumpUploadJob() = default;

bool MinidumpUploadJob::Run() {
  int64_t size = 0;
  if (!base::GetFileSize(file_path(), &size) || size <= 0 ||
      static_cast<uint64_t>(size) > max_size_) {
    LOG(ERROR) << "Minidump " << file_path() << " not sent: it is missing, "
               << "empty or larger than " << max_size_ << " bytes";
    return false;
  }
  upload::HTTPMultipartBuilder builder;
  for (const auto& [name, value] : params())
    builder.SetFormData(base::WideToUTF8(name), base::WideToUTF8(value));
  builder.SetFileAttachment(kMinidumpField,
                            file_path().BaseName().AsUTF8Unsafe(), file_path(),
                            "application/octet-stream");
  std::unique_ptr<upload::HTTPBodyStream> body = builder.GetBodyStream();
  if (!body) {
    LOG(ERROR) << "Minidump " << file_path() << " not sent: cannot read it";
    return false;
  }
  if (compress()) {
    auto gzip = std::make_unique<compression::GzipStream>(std::move(body));
    if (!gzip->Init()) {
      LOG(ERROR) << "Minidump " << file_path() << " not sent: no gzip";
      return false;
    }
    body = std::move(gzip);
  }
  std::unique_ptr<upload::HTTPTransport> transport =
      upload::HTTPTransport::Create();
  if (!transport)
    return false;
  transport->SetMethod("POST");
  transport->SetBodyStream(std::move(body));
  transport->SetURL(base::WideToUTF8(GetCollectorUrl()));
  if (compress())
    transport->SetHeader("Content-Encoding", "gzip");
  transport->SetHeader("Content-Type", builder.GetContentType());
  transport->SetTimeout(GetTimeoutMs() / 1000.0);
  bool sent = transport->ExecuteSynchronously(nullptr);
  if (sent)
    LOG(INFO) << "Minidump " << file_path() << " sent";
  else
    LOG(ERROR) << "Minidump " << file_path() << " not sent";
  return sent;
}

}  // namespace crash_reporter
