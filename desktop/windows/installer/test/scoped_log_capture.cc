#include "desktop/windows/installer/test/scoped_log_capture.h"

#include <atomic>

namespace installer {

namespace {

std::atomic<ScopedLogCapture*> g_capture{nullptr};

}  // namespace

ScopedLogCapture::ScopedLogCapture() {
  ScopedLogCapture* expected = nullptr;
  CHECK(g_capture.compare_exchange_strong(expected, this))
      << "log captures do not nest";
  logging::SetLogMessageHandler(&Collect);
}

ScopedLogCapture::~ScopedLogCapture() {
  logging::SetLogMessageHandler(nullptr);
  g_capture = nullptr;
}

std::vector<std::string> ScopedLogCapture::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> messages;
  for (const Line& line : lines_)
    messages.push_back(line.message);
  return messages;
}

bool ScopedLogCapture::Contains(logging::LogSeverity severity,
                                const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Line& line : lines_) {
    if (line.severity == severity &&
        line.message.find(text) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// static
bool ScopedLogCapture::Collect(logging::LogSeverity severity,
                               const char* file,
                               int line,
                               const std::string& message) {
  ScopedLogCapture* capture = g_capture.load();
  if (!capture)
    return false;
  std::string text = message;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  std::lock_guard<std::mutex> lock(capture->mutex_);
  capture->lines_.push_back(Line{severity, text});
  return true;
}

}  // namespace installer
