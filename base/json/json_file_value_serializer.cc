#include "base/json/json_file_value_serializer.h"

#include <windows.h>

#include "base/logging.h"
#include "base/values.h"
#include "base/win/scoped_handle.h"

namespace base {

namespace {

int FileErrorFromSystemError(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
      return JSONFileValueDeserializer::JSON_ACCESS_DENIED;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return JSONFileValueDeserializer::JSON_FILE_LOCKED;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return JSONFileValueDeserializer::JSON_NO_SUCH_FILE;
    default:
      return JSONFileValueDeserializer::JSON_CANNOT_READ_FILE;
  }
}

}  // namespace

JSONFileValueDeserializer::JSONFileValueDeserializer(
    const FilePath& json_file_path,
    int options)
    : json_file_path_(json_file_path), options_(options) {}

JSONFileValueDeserializer::~JSONFileValueDeserializer() = default;

int JSONFileValueDeserializer::ReadFileToString(std::string* json_string) {
  json_string->clear();
  win::ScopedHandle file(::CreateFileW(
      json_file_path_.value().c_str(), GENERIC_READ,
      // Shared for deletion: a writer may replace the file atomically.
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    DWORD error = ::GetLastError();
    VLOG(1) << "Cannot open " << json_file_path_ << ": "
            << logging::SystemErrorCodeToString(error);
    return FileErrorFromSystemError(error);
  }
  char buffer[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) {
      DWORD error = ::GetLastError();
      LOG(ERROR) << "Cannot read " << json_file_path_ << ": "
                 << logging::SystemErrorCodeToString(error);
      return FileErrorFromSystemError(error);
    }
    if (read == 0)
      break;
    json_string->append(buffer, read);
  }
  last_read_size_ = json_string->size();
  return JSON_NO_ERROR;
}

// static
const char* JSONFileValueDeserializer::GetErrorMessageForCode(int error_code) {
  switch (error_code) {
    case JSON_NO_ERROR:
      return "";
    case JSON_ACCESS_DENIED:
      return kAccessDenied;
    case JSON_FILE_LOCKED:
      return kFileLocked;
    case JSON_NO_SUCH_FILE:
      return kNoSuchFile;
    default:
      return kCannotReadFile;
  }
}

std::unique_ptr<Value> JSONFileValueDeserializer::Deserialize(
    int* error_code,
    std::string* error_message) {
  last_read_size_ = 0;
  std::string json_string;
  int file_error = ReadFileToString(&json_string);
  if (file_error != JSON_NO_ERROR) {
    if (error_code)
      *error_code = file_error;
    if (error_message)
      *error_message = GetErrorMessageForCode(file_error);
    return nullptr;
  }
  return JSONReader::ReadAndReturnError(json_string, options_, error_code,
                                        error_message);
}

}  // namespace base
