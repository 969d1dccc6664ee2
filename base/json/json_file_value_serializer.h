// Reads a JSON file into a Value tree, telling a missing, locked or
// unreadable file apart from one that does not parse.

#ifndef BASE_JSON_JSON_FILE_VALUE_SERIALIZER_H_
#define BASE_JSON_JSON_FILE_VALUE_SERIALIZER_H_

#include <stddef.h>

#include <memory>
#include <string>

#include "base/files/file_path.h"

#include "base/json/json_reader.h"

namespace base {

class Value;

class JSONFileValueDeserializer {
 public:
  // Codes beyond those of JSONReader::JsonParseError.
  enum JsonFileError {
    JSON_NO_ERROR = 0,
    JSON_ACCESS_DENIED = 1000,
    JSON_CANNOT_READ_FILE,
    JSON_FILE_LOCKED,
    JSON_NO_SUCH_FILE,
  };

  static constexpr char kAccessDenied[] = "Access denied.";
  static constexpr char kCannotReadFile[] = "Can't read file.";
  static constexpr char kFileLocked[] = "File locked.";
  static constexpr char kNoSuchFile[] = "File doesn't exist.";

  // |options| are those of JSONReader.
  explicit JSONFileValueDeserializer(const FilePath& json_file_path,
                                     int options = JSON_PARSE_RFC);
  JSONFileValueDeserializer(const JSONFileValueDeserializer&) = delete;
  JSONFileValueDeserializer& operator=(const JSONFileValueDeserializer&) =
      delete;
  ~JSONFileValueDeserializer();

  // The file's value, or null. On failure |error_code| (a JsonFileError or a
  // JSONReader::JsonParseError) and |error_message| are filled when not null.
  std::unique_ptr<Value> Deserialize(int* error_code,
                                     std::string* error_message);

  // The message of a JsonFileError.
  static const char* GetErrorMessageForCode(int error_code);

  // Bytes read by the last Deserialize.
  size_t get_last_read_size() const { return last_read_size_; }

 private:
  // A JsonFileError.
  int ReadFileToString(std::string* json_string);

  const FilePath json_file_path_;
  const int options_;
  size_t last_read_size_ = 0;
};

}  // namespace base

#endif  // BASE_JSON_JSON_FILE_VALUE_SERIALIZER_H_
