// Sends one HTTP request over WinHTTP and waits for its reply: the
// minidump upload to the crash-statistics collector.
//
//   std::unique_ptr<HTTPTransport> transport = HTTPTransport::Create();
//   transport->SetMethod("POST");
//   transport->SetURL(collector_url);
//   transport->SetHeader("Content-Type", builder.GetContentType());
//   transport->SetBodyStream(builder.GetBodyStream());
//   bool sent = transport->ExecuteSynchronously(nullptr);
//
// The body is read whole before anything is sent and goes out with a
// Content-Length header: WinHTTP's chunked sending deadlocks under Wine, and
// a body that fails half-way is then never half-sent.

#ifndef COMPONENTS_UPLOAD_HTTP_TRANSPORT_H_
#define COMPONENTS_UPLOAD_HTTP_TRANSPORT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace upload {

class HTTPBodyStream;

class HTTPTransport {
 public:
  // The request body is held in memory: minidumps are a few MB at most.
  static constexpr size_t kMaxBodySize = 64 * 1024 * 1024;
  // A collector's answer is a short text.
  static constexpr size_t kMaxResponseBodySize = 1024 * 1024;

  static std::unique_ptr<HTTPTransport> Create();

  HTTPTransport(const HTTPTransport&) = delete;
  HTTPTransport& operator=(const HTTPTransport&) = delete;
  ~HTTPTransport();

  // "POST" unless set.
  void SetMethod(const std::string& method);
  // UTF-8; "http" or "https".
  void SetURL(const std::string& url);
  // A header replaces an earlier one of the same name.
  void SetHeader(const std::string& name, const std::string& value);
  void SetBodyStream(std::unique_ptr<HTTPBodyStream> stream);
  // Seconds, 60 unless set. Every step (resolving, connecting, sending,
  // each wait for reply data) is bounded by it, and reading the reply's
  // body stops once it has passed since the request began.
  void SetTimeout(double timeout);

  // True only when the server answered 200. |response_body| (may be null)
  // then receives the reply's body.
  bool ExecuteSynchronously(std::string* response_body);

 private:
  HTTPTransport();

  // "Name: value" lines of the headers; false when one is unsafe to send.
  bool GetHeaderText(std::wstring* text) const;
  // Whether |request| was answered with 200; then reads the reply's body
  // into |response_body| unless it is null.
  bool CheckReply(void* request,
                  uint64_t deadline,
                  std::string* response_body) const;

  std::string method_ = "POST";
  std::string url_;
  // Header names compare without case, as HTTP compares them.
  struct HeaderNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, std::string, HeaderNameLess> headers_;
  std::unique_ptr<HTTPBodyStream> body_stream_;
  double timeout_ = 60.0;
};

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_HTTP_TRANSPORT_H_
