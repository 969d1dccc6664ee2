#include "desktop/windows/crash_reporter/crash_logger_capture.h"

#include <stdio.h>
#include <string.h>

#include "base/files/file_path.h"
#include "base/files/file_util.h"

namespace crash_reporter {

namespace {

thread_local CrashLoggerCapture* g_thread_capture = nullptr;

const char* BaseName(const char* file) {
  const char* name = file;
  for (const char* c = file; *c; ++c) {
    if (*c == '\\' || *c == '/')
      name = c + 1;
  }
  return name;
}

}  // namespace

CrashLoggerCapture::CrashLoggerCapture() : previous_(g_thread_capture) {
  g_thread_capture = this;
}

CrashLoggerCapture::~CrashLoggerCapture() {
  g_thread_capture = previous_;
}

bool CrashLoggerCapture::AppendToFile(const base::FilePath& path) {
  if (text_.empty())
    return true;
  // Text mode: the lines end in CR LF like the rest of the log. The crash
  // folder is often the temporary folder: a link there is not followed.
  FILE* file = base::OpenFileStreamToAppend(path);
  if (!file)
    return false;
  static constexpr char kHeader[] = "\nCrash Logger:\n";
  bool written = fwrite(kHeader, 1, strlen(kHeader), file) == strlen(kHeader) &&
                 fwrite(text_.data(), 1, text_.size(), file) == text_.size();
  if (fclose(file))
    written = false;
  if (written)
    text_.clear();
  return written;
}

// static
bool CrashLoggerCapture::HandleLogMessage(logging::LogSeverity severity,
                                          const char* file,
                                          int line,
                                          const std::string& message) {
  CrashLoggerCapture* capture = g_thread_capture;
  if (!capture)
    return false;
  capture->text_ += BaseName(file);
  capture->text_ += ':';
  capture->text_ += std::to_string(line);
  capture->text_ += ':';
  capture->text_ += message;
  return true;
}

}  // namespace crash_reporter
