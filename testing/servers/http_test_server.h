// The test side of the loopback HTTP test server (http_test_server.py),
// which a ctest fixture starts: tests script the answers of their paths
// and read back what the server received.
//
//   test_server::HttpTestServer server;
//   ASSERT_TRUE(server.Connect());
//   const std::string path = server.NewPathPrefix() + "/package.exe";
//   ASSERT_TRUE(server.Script(path, R"([{"status": 503},
//                                       {"pattern_size": 5000}])"));
//   ... download server.GetURL("127.0.0.1", path) ...
//   std::vector<test_server::RecordedRequest> requests =
//       server.GetRequests(path);
//
// Test executables running at the same time share one server: each test
// keeps to paths under a prefix of its own.

#ifndef TESTING_SERVERS_HTTP_TEST_SERVER_H_
#define TESTING_SERVERS_HTTP_TEST_SERVER_H_

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace test_server {

// The environment variable that names the server's state file.
extern const char kServerInfoVariable[];

// The first |size| bytes of a "pattern_size" or "endless" body.
std::string PatternBody(size_t size);

// A loopback port on 127.0.0.1 that nothing listens on (just now), for
// requests to a server that is down; 0 when none could be found.
int GetClosedPort();

// One part of a multipart/form-data body.
struct FormPart {
  FormPart();
  FormPart(const FormPart& other);
  ~FormPart();

  std::string name;
  // Only file parts have a file name (which may be empty).
  bool has_filename = false;
  std::string filename;
  // Empty when the part has no Content-Type.
  std::string content_type;
  std::string body;
};

struct RecordedRequest {
  RecordedRequest();
  RecordedRequest(const RecordedRequest& other);
  ~RecordedRequest();

  // The value of the first header called |name| (compared ignoring case),
  // or an empty text.
  std::string GetHeader(const std::string& name) const;
  bool HasHeader(const std::string& name) const;

  // The address that received it: "127.0.0.1", "::1" or "127.0.0.2".
  std::string host;
  std::string method;
  // Path and query exactly as sent.
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  // As received.
  std::string body;
  // The parts of a multipart/form-data body (its Content-Encoding, gzip,
  // undone), in order, checked strictly by
  // the server (CRLF delimiters, the closing delimiter, a form-data name on
  // every part). |form_error| says what is wrong when the body cannot be
  // decoded or is not such a form; it is empty otherwise.
  std::vector<FormPart> form_parts;
  std::string form_error;
  // How the answer ended: empty while it goes on, then "done", "client"
  // (the client went away mid-answer) or "limit" (the server ended a flood
  // of headers); and the bytes of the answer sent so far.
  std::string answer_end;
  int64_t answer_bytes = 0;
};

class HttpTestServer {
 public:
  HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;
  ~HttpTestServer();

  // Reads where the running server listens; false (logged) when no server
  // runs for this test.
  bool Connect();

  // The one port of every loopback host.
  int port() const { return port_; }

  // A path no other test process or earlier call uses, such as
  // "/t3f2a9c01-3".
  std::string NewPathPrefix();

  // "http://" + |host| (brackets added for "::1") + ":" + port + |path|.
  std::string GetURL(const std::string& host, const std::string& path) const;
  std::wstring GetWideURL(const std::string& host,
                          const std::string& path) const;

  // Answers the requests for |path| (without query) with |steps_json|, a
  // JSON list of steps as http_test_server.py describes them.
  bool Script(const std::string& path, const std::string& steps_json);

  // The requests whose target starts with |prefix|, oldest first.
  std::vector<RecordedRequest> GetRequests(const std::string& prefix);

 private:
  // One request to the control port; false unless it answered 200.
  bool Control(const std::string& method,
               const std::string& target,
               const std::string& body,
               std::string* reply);

  int port_ = 0;
  int control_port_ = 0;
};

}  // namespace test_server

#endif  // TESTING_SERVERS_HTTP_TEST_SERVER_H_
