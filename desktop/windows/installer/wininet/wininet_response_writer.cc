#include "desktop/windows/installer/wininet/wininet_response_writer.h"

#include <limits>

#include "base/logging.h"

namespace installer {

bool ResponseWriter::Write(const char* data, size_t size) {
  return true;
}

bool ResponseWriter::Restart() {
  return true;
}

FileResponseWriter::~FileResponseWriter() {
  Finish();
}

bool FileResponseWriter::Open(const base::FilePath& path) {
  Finish();
  file_ = ::CreateFileW(path.value().c_str(), GENERIC_WRITE, 0, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) {
    PLOG(ERROR) << "Could not open download file for writing " << path;
    return false;
  }
  return true;
}

bool FileResponseWriter::Write(const char* data, size_t size) {
  DCHECK_LE(size, std::numeric_limits<DWORD>::max());
  DWORD written = 0;
  if (file_ == INVALID_HANDLE_VALUE ||
      !::WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) ||
      written != size) {
    PLOG(ERROR) << "Failed writing response to downloading file";
    return false;
  }
  return true;
}

bool FileResponseWriter::Restart() {
  LARGE_INTEGER start = {};
  if (file_ == INVALID_HANDLE_VALUE ||
      !::SetFilePointerEx(file_, start, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(file_)) {
    PLOG(ERROR) << "Could not empty the downloading file";
    return false;
  }
  return true;
}

void FileResponseWriter::Finish() {
  if (file_ == INVALID_HANDLE_VALUE)
    return;
  ::CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

StringResponseWriter::StringResponseWriter(std::string* target, size_t max_size)
    : target_(target), max_size_(max_size) {
  CHECK(target_);
  target_->clear();
}

bool StringResponseWriter::Write(const char* data, size_t size) {
  if (size > max_size_ - target_->size()) {
    LOG(ERROR) << "The reply is longer than " << max_size_ << " bytes: refused";
    return false;
  }
  target_->append(data, size);
  return true;
}

bool StringResponseWriter::Restart() {
  target_->clear();
  return true;
}

}  // namespace installer
