// Collects the log lines written on any thread while it lives, with verbose
// logging up to level 1 on, and keeps them out of the test output.

#ifndef BASE_TEST_SCOPED_LOG_CAPTURE_H_
#define BASE_TEST_SCOPED_LOG_CAPTURE_H_

#include <string>
#include <vector>

#include "base/logging.h"
#include "base/synchronization/lock.h"

namespace base {

class ScopedLogCapture {
 public:
  ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;
  ~ScopedLogCapture();

  // How many captured lines contain |text|.
  size_t Count(const std::string& text) const;
  bool Contains(const std::string& text) const { return Count(text) > 0; }
  // Whether a line of exactly |severity| contains |text|.
  bool Contains(logging::LogSeverity severity, const std::string& text) const;
  bool ContainsError(const std::string& text) const {
    return Contains(logging::LOG_ERROR, text);
  }
  // The lines of at least |severity|.
  std::vector<std::string> LinesOf(logging::LogSeverity severity) const;

 private:
  struct Line {
    logging::LogSeverity severity;
    std::string text;
  };

  static bool Collect(logging::LogSeverity severity,
                      const char* file,
                      int line,
                      const std::string& message);

  mutable base::Lock lock_;
  std::vector<Line> lines_;
  int old_vlog_level_;
};

}  // namespace base

#endif  // BASE_TEST_SCOPED_LOG_CAPTURE_H_
