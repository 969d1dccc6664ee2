// Collects the log lines written while it lives, verbose ones included, and
// keeps them off standard error. Not thread-safe: for single-threaded tests.
//
//   ScopedLogCapture log;
//   DoSomething();
//   EXPECT_TRUE(log.ContainsError("File removal failed"));

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_LOG_CAPTURE_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_LOG_CAPTURE_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/logging.h"

namespace installer {
namespace test {

class ScopedLogCapture {
 public:
  struct Line {
    logging::LogSeverity severity;
    std::string message;
  };

  ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;
  ~ScopedLogCapture();

  // Whether some line (some error line) holds |text|.
  bool Contains(std::string_view text) const;
  bool ContainsError(std::string_view text) const;
  // The number of lines holding |text|.
  int Count(std::string_view text) const;

  const std::vector<Line>& lines() const { return lines_; }
  void Clear() { lines_.clear(); }

 private:
  static bool OnLogMessage(logging::LogSeverity severity,
                           const char* file,
                           int line,
                           const std::string& message);

  std::vector<Line> lines_;
  ScopedLogCapture* const previous_capture_;
  const logging::LogMessageHandlerFunction previous_handler_;
  const int previous_vlog_level_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_LOG_CAPTURE_H_
