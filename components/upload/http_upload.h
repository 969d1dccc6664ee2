// Posts form fields and files as multipart/form-data over WinINet: the
// text-log upload to the crash server, which expects the uploader's
// "Breakpad/1.0 (Windows)" user agent.
//
//   bool sent = HTTPUpload::SendRequest(url, parameters, {{L"file", zip}},
//                                       nullptr, nullptr, nullptr,
//                                       L" (Edition developer)");

#ifndef COMPONENTS_UPLOAD_HTTP_UPLOAD_H_
#define COMPONENTS_UPLOAD_HTTP_UPLOAD_H_

#include <map>
#include <string>

namespace upload {

class HTTPUpload {
 public:
  // Without a caller's time-out every step still has one.
  static constexpr int kDefaultTimeoutMs = 60000;
  // The files are held in memory to be sent with their length: crash logs
  // and their zips are a few MB at most.
  static constexpr size_t kMaxBodySize = 64 * 1024 * 1024;
  static constexpr size_t kMaxResponseBodySize = 1024 * 1024;

  HTTPUpload() = delete;

  // POSTs |parameters| (UTF-8 form fields, in name order), then one part
  // per entry of |files| (field name to path; sent with the file's base
  // name as "application/octet-stream") to the http or https |url|.
  // Returns true only when the server answered 200.
  //
  // Names holding '"', CR or LF are refused before anything is sent, as is
  // a file that cannot be read. |timeout_ms| (null: kDefaultTimeoutMs)
  // bounds connecting, sending and each wait for the reply, and reading the
  // reply's body stops once it has passed since the call began. Redirects
  // are not followed: their target never received the upload.
  // |response_code| (may be null) receives the HTTP status when there was
  // one, |response_body| (may be null) the reply's body as UTF-8 text.
  static bool SendRequest(
      const std::wstring& url,
      const std::map<std::wstring, std::wstring>& parameters,
      const std::map<std::wstring, std::wstring>& files,
      int* timeout_ms,
      std::wstring* response_body,
      int* response_code,
      const std::wstring& user_agent_suffix);
};

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_HTTP_UPLOAD_H_
