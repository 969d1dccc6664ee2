#include "testing/servers/http_test_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <memory>

#include "base/base64.h"
#include "base/environment.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/guid.h"
#include "base/json/json_reader.h"
#include "base/logging.h"
#include "base/strings/escape.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"

namespace test_server {

const char kServerInfoVariable[] = "KELVO_TEST_SERVER_INFO";

namespace {

// A control request that takes longer than this means the server hangs.
constexpr DWORD kControlTimeoutMs = 20000;
// Recorded requests of one test stay far below this.
constexpr size_t kMaxControlReply = 256 * 1024 * 1024;

bool EnsureWinsock() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

class ScopedSocket {
 public:
  explicit ScopedSocket(SOCKET socket) : socket_(socket) {}
  ScopedSocket(const ScopedSocket&) = delete;
  ScopedSocket& operator=(const ScopedSocket&) = delete;
  ~ScopedSocket() {
    if (socket_ != INVALID_SOCKET)
      ::closesocket(socket_);
  }
  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

bool SendAll(SOCKET socket, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const int result = ::send(socket, data.data() + sent,
                              static_cast<int>(data.size() - sent), 0);
    if (result <= 0)
      return false;
    sent += result;
  }
  return true;
}

// Everything the peer sends until it closes.
bool ReceiveAll(SOCKET socket, std::string* data) {
  char buffer[64 * 1024];
  while (data->size() < kMaxControlReply) {
    const int result = ::recv(socket, buffer, sizeof(buffer), 0);
    if (result == 0)
      return true;
    if (result < 0)
      return false;
    data->append(buffer, result);
  }
  return false;
}

bool ParseFormPart(const base::DictionaryValue& value, FormPart* part) {
  std::string body_base64;
  if (!value.GetString("name", &part->name) ||
      !value.GetString("body_base64", &body_base64) ||
      !base::Base64Decode(body_base64, &part->body)) {
    return false;
  }
  // Null when the part has no such parameter or header.
  part->has_filename = value.GetString("filename", &part->filename);
  value.GetString("content_type", &part->content_type);
  return true;
}

// The optional results of the server's decoding of the body.
bool ParseDecodedBody(const base::DictionaryValue& value,
                      RecordedRequest* request) {
  value.GetString("form_error", &request->form_error);
  const base::ListValue* parts = nullptr;
  if (!value.GetList("form_parts", &parts))
    return true;
  for (size_t i = 0; i < parts->GetSize(); ++i) {
    const base::DictionaryValue* part_value = nullptr;
    FormPart part;
    if (!parts->GetDictionary(i, &part_value) ||
        !ParseFormPart(*part_value, &part)) {
      return false;
    }
    request->form_parts.push_back(part);
  }
  return true;
}

bool ParseRecordedRequest(const base::DictionaryValue& value,
                          RecordedRequest* request) {
  std::string body_base64;
  const base::ListValue* headers = nullptr;
  if (!value.GetString("host", &request->host) ||
      !value.GetString("method", &request->method) ||
      !value.GetString("target", &request->target) ||
      !value.GetString("body_base64", &body_base64) ||
      !value.GetList("headers", &headers) ||
      !base::Base64Decode(body_base64, &request->body)) {
    return false;
  }
  for (size_t i = 0; i < headers->GetSize(); ++i) {
    const base::ListValue* pair = nullptr;
    std::string name, header_value;
    if (!headers->GetList(i, &pair) || !pair->GetString(0, &name) ||
        !pair->GetString(1, &header_value)) {
      return false;
    }
    request->headers.emplace_back(name, header_value);
  }
  // Null while the answer goes on.
  value.GetString("answer_end", &request->answer_end);
  double answer_bytes = 0;
  value.GetDouble("answer_bytes", &answer_bytes);
  request->answer_bytes = static_cast<int64_t>(answer_bytes);
  return ParseDecodedBody(value, request);
}

}  // namespace

std::string PatternBody(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i)
    body[i] = static_cast<char>(i % 251);
  return body;
}

int GetClosedPort() {
  if (!EnsureWinsock())
    return 0;
  // A port the system just handed out and took back: nothing listens there.
  ScopedSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof(address);
  if (socket.get() == INVALID_SOCKET ||
      ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address),
             sizeof(address)) != 0 ||
      ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address),
                    &size) != 0) {
    return 0;
  }
  return ntohs(address.sin_port);
}

FormPart::FormPart() = default;
FormPart::FormPart(const FormPart& other) = default;
FormPart::~FormPart() = default;

RecordedRequest::RecordedRequest() = default;
RecordedRequest::RecordedRequest(const RecordedRequest& other) = default;
RecordedRequest::~RecordedRequest() = default;

std::string RecordedRequest::GetHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (base::EqualsCaseInsensitiveASCII(header.first, name))
      return header.second;
  }
  return std::string();
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (base::EqualsCaseInsensitiveASCII(header.first, name))
      return true;
  }
  return false;
}

HttpTestServer::HttpTestServer() = default;
HttpTestServer::~HttpTestServer() = default;

bool HttpTestServer::Connect() {
  std::string info_path;
  if (!base::Environment::Create()->GetVar(kServerInfoVariable, &info_path)) {
    LOG(ERROR) << kServerInfoVariable
               << " is not set: the test needs the loopback test server";
    return false;
  }
  std::string text;
  if (!base::ReadFileToString(base::FilePath(base::UTF8ToWide(info_path)),
                              &text)) {
    LOG(ERROR) << "No test server state in " << info_path;
    return false;
  }
  std::unique_ptr<base::DictionaryValue> info =
      base::DictionaryValue::From(base::JSONReader::Read(text));
  if (!info || !info->GetInteger("port", &port_) ||
      !info->GetInteger("control_port", &control_port_)) {
    LOG(ERROR) << "Malformed test server state: " << text;
    return false;
  }
  return EnsureWinsock();
}

std::string HttpTestServer::NewPathPrefix() {
  // Process ids come back under Wine, and the server outlives a test
  // process: a random tag keeps the paths of separate runs apart.
  static const std::string tag = base::GenerateGUID().substr(0, 8);
  static std::atomic<int> counter{0};
  return base::StringPrintf("/t%s-%d", tag.c_str(), ++counter);
}

std::string HttpTestServer::GetURL(const std::string& host,
                                   const std::string& path) const {
  const std::string authority =
      host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return "http://" + authority + ":" + base::IntToString(port_) + path;
}

std::wstring HttpTestServer::GetWideURL(const std::string& host,
                                        const std::string& path) const {
  return base::UTF8ToWide(GetURL(host, path));
}

bool HttpTestServer::Script(const std::string& path,
                            const std::string& steps_json) {
  std::string reply;
  return Control("POST", "/script?path=" + base::EscapeQueryParamValue(path),
                 steps_json, &reply);
}

std::vector<RecordedRequest> HttpTestServer::GetRequests(
    const std::string& prefix) {
  std::vector<RecordedRequest> requests;
  std::string reply;
  if (!Control("GET", "/requests?prefix=" + base::EscapeQueryParamValue(prefix),
               std::string(), &reply)) {
    return requests;
  }
  std::unique_ptr<base::ListValue> list =
      base::ListValue::From(base::JSONReader::Read(reply));
  if (!list) {
    LOG(ERROR) << "The test server's request list is not a JSON list";
    return requests;
  }
  for (size_t i = 0; i < list->GetSize(); ++i) {
    const base::DictionaryValue* value = nullptr;
    RecordedRequest request;
    if (!list->GetDictionary(i, &value) ||
        !ParseRecordedRequest(*value, &request)) {
      LOG(ERROR) << "Malformed recorded request " << i;
      return std::vector<RecordedRequest>();
    }
    requests.push_back(request);
  }
  return requests;
}

bool HttpTestServer::Control(const std::string& method,
                             const std::string& target,
                             const std::string& body,
                             std::string* reply) {
  DCHECK(control_port_) << "Connect first";
  ScopedSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (socket.get() == INVALID_SOCKET)
    return false;
  const DWORD timeout = kControlTimeoutMs;
  ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO,
               reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(control_port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string response;
  const std::string request = base::StringPrintf(
      "%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
      "Content-Length: %zu\r\n\r\n",
      method.c_str(), target.c_str(), body.size());
  if (::connect(socket.get(), reinterpret_cast<sockaddr*>(&address),
                sizeof(address)) != 0 ||
      !SendAll(socket.get(), request + body) ||
      !ReceiveAll(socket.get(), &response)) {
    LOG(ERROR) << "The test server's control port does not answer " << method
               << " " << target;
    return false;
  }
  const size_t body_start = response.find("\r\n\r\n");
  if (!base::StartsWith(response, "HTTP/1.1 200 ",
                        base::CompareCase::SENSITIVE) ||
      body_start == std::string::npos) {
    LOG(ERROR) << "The test server refused " << method << " " << target << ": "
               << response.substr(0, 300);
    return false;
  }
  reply->assign(response, body_start + 4, std::string::npos);
  return true;
}

}  // namespace test_server
