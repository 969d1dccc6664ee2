#include "components/upload/http_upload.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "components/upload/http_body_stream.h"
#include "components/upload/http_multipart_builder.h"
#include "components/upload/http_url.h"
#include "components/upload/wininet_request.h"

namespace upload {

namespace {

constexpr wchar_t kUserAgent[] = L"Breakpad/1.0 (Windows)";

// The crash server reads the names as they are; one with a quote or a line
// break would end the part's header early.
bool AreNamesSafe(const std::map<std::wstring, std::wstring>& fields) {
  for (const auto& field : fields) {
    if (field.first.find_first_of(L"\"\r\n") != std::wstring::npos) {
      LOG(ERROR) << "Refusing the upload field \""
                 << base::WideToUTF8(field.first)
                 << "\": its name holds a quote or a line break";
      return false;
    }
  }
  return true;
}

bool BuildBody(const std::map<std::wstring, std::wstring>& parameters,
               const std::map<std::wstring, std::wstring>& files,
               std::string* body,
               std::wstring* content_type_header) {
  HTTPMultipartBuilder builder;
  for (const auto& [name, value] : parameters)
    builder.SetFormData(base::WideToUTF8(name), base::WideToUTF8(value));
  for (const auto& [name, path] : files) {
    const base::FilePath file(path);
    builder.SetFileAttachment(base::WideToUTF8(name),
                              file.BaseName().AsUTF8Unsafe(), file,
                              "application/octet-stream");
  }
  std::unique_ptr<HTTPBodyStream> stream = builder.GetBodyStream();
  if (!stream || !ReadWholeBody(stream.get(), HTTPUpload::kMaxBodySize, body))
    return false;
  *content_type_header =
      base::UTF8ToWide("Content-Type: " + builder.GetContentType() + "\r\n");
  return true;
}

bool ReadReply(HINTERNET request, ULONGLONG deadline, std::string* reply) {
  char buffer[16384];
  while (true) {
    if (::GetTickCount64() > deadline) {
      LOG(ERROR) << "The reply to the upload took too long";
      return false;
    }
    DWORD read = 0;
    if (!::InternetReadFile(request, buffer, sizeof(buffer), &read)) {
      PLOG(ERROR) << "Cannot read the reply to the upload";
      return false;
    }
    if (read == 0)
      return true;
    if (reply->size() + read > HTTPUpload::kMaxResponseBodySize) {
      LOG(ERROR) << "The reply to the upload exceeds "
                 << HTTPUpload::kMaxResponseBodySize << " bytes";
      return false;
    }
    reply->append(buffer, read);
  }
}

// Sends the request and reads its status, and its reply when asked.
bool Post(HINTERNET request,
          const std::wstring& headers,
          std::string* body,
          ULONGLONG deadline,
          std::wstring* response_body,
          int* response_code) {
  if (!::HttpSendRequestW(request, headers.c_str(),
                          static_cast<DWORD>(headers.size()), body->data(),
                          static_cast<DWORD>(body->size()))) {
    PLOG(ERROR) << "The upload failed";
    return false;
  }
  DWORD status = 0;
  DWORD status_size = sizeof(status);
  if (!::HttpQueryInfoW(request,
                        HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                        &status, &status_size, nullptr)) {
    PLOG(ERROR) << "The reply to the upload has no status";
    return false;
  }
  if (response_code)
    *response_code = static_cast<int>(status);
  if (status != 200) {
    LOG(ERROR) << "The upload was answered with " << status;
    return false;
  }
  if (!response_body)
    return true;
  std::string reply;
  if (!ReadReply(request, deadline, &reply))
    return false;
  *response_body = base::UTF8ToWide(reply);
  return true;
}

}  // namespace

// static
bool HTTPUpload::SendRequest(
    const std::wstring& url,
    const std::map<std::wstring, std::wstring>& parameters,
    const std::map<std::wstring, std::wstring>& files,
    int* timeout_ms,
    std::wstring* response_body,
    int* response_code,
    const std::wstring& user_agent_suffix) {
  const DWORD timeout = static_cast<DWORD>(
      timeout_ms && *timeout_ms > 0 ? *timeout_ms : kDefaultTimeoutMs);
  const ULONGLONG deadline = ::GetTickCount64() + timeout;
  std::string body;
  std::wstring headers;
  HttpURL cracked;
  if (!AreNamesSafe(parameters) || !AreNamesSafe(files) ||
      !BuildBody(parameters, files, &body, &headers) ||
      !CrackHttpURL(url, &cracked)) {
    return false;
  }

  WinINetRequest request;
  return request.Open(cracked, kUserAgent + user_agent_suffix, L"POST") &&
         request.SetTimeouts(timeout) &&
         Post(request.handle(), headers, &body, deadline, response_body,
              response_code);
}

}  // namespace upload
