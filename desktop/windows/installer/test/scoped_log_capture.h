// Collects the log lines written, from any thread, while it lives. Not
// nestable.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_LOG_CAPTURE_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_LOG_CAPTURE_H_

#include <mutex>
#include <string>
#include <vector>

#include "base/logging.h"

namespace installer {

class ScopedLogCapture {
 public:
  ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;
  ~ScopedLogCapture();

  // The messages so far, without their prefixes and line ends.
  std::vector<std::string> lines() const;
  // Whether a message of |severity| holds |text|.
  bool Contains(logging::LogSeverity severity, const std::string& text) const;

 private:
  struct Line {
    logging::LogSeverity severity;
    std::string message;
  };

  static bool Collect(logging::LogSeverity severity,
                      const char* file,
                      int line,
                      const std::string& message);

  mutable std::mutex mutex_;
  std::vector<Line> lines_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_LOG_CAPTURE_H_
