// Collects the crash reporter's own log lines of one report, on the thread
// that writes it, so that they travel at the end of that report's text log
// instead of going to the reporter's log file. Reports run on server
// threads of their own, so each collects only its own lines.
//
//   CrashLoggerCapture capture;
//   ... write the report's files, logging as usual ...
//   capture.AppendToFile(text_log_path);

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_LOGGER_CAPTURE_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_LOGGER_CAPTURE_H_

#include <string>

#include "base/logging.h"

namespace base {
class FilePath;
}  // namespace base

namespace crash_reporter {

class CrashLoggerCapture {
 public:
  // Becomes the calling thread's capture until it goes away.
  CrashLoggerCapture();
  CrashLoggerCapture(const CrashLoggerCapture&) = delete;
  CrashLoggerCapture& operator=(const CrashLoggerCapture&) = delete;
  ~CrashLoggerCapture();

  // Appends "Crash Logger:" and the lines collected so far to the text
  // file at |path| and forgets them; true at once when there are none.
  bool AppendToFile(const base::FilePath& path);

  // The reporter's log message handler: a line of a thread with a capture
  // goes to the capture, as "<source file>:<line>:<text>", and not to the
  // log (true).
  static bool HandleLogMessage(logging::LogSeverity severity,
                               const char* file,
                               int line,
                               const std::string& message);

 private:
  CrashLoggerCapture* const previous_;
  std::string text_;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_LOGGER_CAPTURE_H_
