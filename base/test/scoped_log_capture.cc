#include "base/test/scoped_log_capture.h"

#include <atomic>

namespace base {

namespace {
std::atomic<ScopedLogCapture*> g_capture{nullptr};
}  // namespace

ScopedLogCapture::ScopedLogCapture()
    : old_vlog_level_(logging::GetVlogLevel()) {
  ScopedLogCapture* expected = nullptr;
  CHECK(g_capture.compare_exchange_strong(expected, this))
      << "one log capture at a time";
  logging::SetVlogLevel(1);
  logging::SetLogMessageHandler(&Collect);
}

ScopedLogCapture::~ScopedLogCapture() {
  logging::SetLogMessageHandler(nullptr);
  logging::SetVlogLevel(old_vlog_level_);
  g_capture.store(nullptr);
}

size_t ScopedLogCapture::Count(const std::string& text) const {
  base::AutoLock lock(lock_);
  size_t count = 0;
  for (const Line& line : lines_) {
    if (line.text.find(text) != std::string::npos)
      ++count;
  }
  return count;
}

bool ScopedLogCapture::Contains(logging::LogSeverity severity,
                                const std::string& text) const {
  base::AutoLock lock(lock_);
  for (const Line& line : lines_) {
    if (line.severity == severity && line.text.find(text) != std::string::npos)
      return true;
  }
  return false;
}

std::vector<std::string> ScopedLogCapture::LinesOf(
    logging::LogSeverity severity) const {
  base::AutoLock lock(lock_);
  std::vector<std::string> lines;
  for (const Line& line : lines_) {
    if (line.severity >= severity)
      lines.push_back(line.text);
  }
  return lines;
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
  base::AutoLock lock(capture->lock_);
  capture->lines_.push_back({severity, text});
  return true;
}

}  // namespace base
