#include "desktop/windows/installer/test/scoped_log_capture.h"

namespace installer {
namespace test {

namespace {

ScopedLogCapture* g_capture = nullptr;

}  // namespace

ScopedLogCapture::ScopedLogCapture()
    : previous_capture_(g_capture),
      previous_handler_(logging::GetLogMessageHandler()),
      previous_vlog_level_(logging::GetVlogLevel()) {
  g_capture = this;
  logging::SetLogMessageHandler(&ScopedLogCapture::OnLogMessage);
  logging::SetVlogLevel(1);
}

ScopedLogCapture::~ScopedLogCapture() {
  logging::SetVlogLevel(previous_vlog_level_);
  logging::SetLogMessageHandler(previous_handler_);
  g_capture = previous_capture_;
}

bool ScopedLogCapture::Contains(std::string_view text) const {
  return Count(text) > 0;
}

bool ScopedLogCapture::ContainsError(std::string_view text) const {
  for (const Line& line : lines_) {
    if (line.severity == logging::LOG_ERROR &&
        line.message.find(text) != std::string::npos) {
      return true;
    }
  }
  return false;
}

int ScopedLogCapture::Count(std::string_view text) const {
  int count = 0;
  for (const Line& line : lines_) {
    if (line.message.find(text) != std::string::npos)
      ++count;
  }
  return count;
}

// static
bool ScopedLogCapture::OnLogMessage(logging::LogSeverity severity,
                                    const char* file,
                                    int line,
                                    const std::string& message) {
  if (!g_capture)
    return false;
  g_capture->lines_.push_back({severity, message});
  return true;
}

}  // namespace test
}  // namespace installer
