// Parses JSON text (RFC 8259) into a Value tree.
//
//   std::unique_ptr<base::Value> value = base::JSONReader::Read(text);
//
// By default the text must be exactly one JSON value; a leading UTF-8
// byte-order mark is skipped, comments and trailing commas are refused.
// Inputs are treated as untrusted: the text must be valid UTF-8, nesting is
// limited to kStackMaxDepth levels (deeper input fails without exhausting the
// stack), numbers without fraction or exponent that fit in 32 bits become
// INTEGER values and every other number a DOUBLE, and of duplicate keys in an
// object the last one wins.

#ifndef BASE_JSON_JSON_READER_H_
#define BASE_JSON_JSON_READER_H_

#include <memory>
#include <string>

#include "base/strings/string16.h"

namespace base {

class Value;

enum JSONParserOptions {
  // Strict RFC parsing.
  JSON_PARSE_RFC = 0,
  // A comma may follow the last member of an object or element of a list.
  JSON_ALLOW_TRAILING_COMMAS = 1 << 0,
};

class JSONReader {
 public:
  static constexpr int kStackMaxDepth = 200;

  enum JsonParseError {
    JSON_NO_ERROR = 0,
    JSON_INVALID_ESCAPE,
    JSON_SYNTAX_ERROR,
    JSON_TRAILING_COMMA,
    JSON_TOO_MUCH_NESTING,
    JSON_UNEXPECTED_DATA_AFTER_ROOT,
    JSON_UNSUPPORTED_ENCODING,
    JSON_UNQUOTED_DICTIONARY_KEY,
    JSON_PARSE_ERROR_COUNT
  };

  explicit JSONReader(int options = JSON_PARSE_RFC);
  JSONReader(const JSONReader&) = delete;
  JSONReader& operator=(const JSONReader&) = delete;
  ~JSONReader();

  // Null on failure.
  static std::unique_ptr<Value> Read(StringPiece json,
                                     int options = JSON_PARSE_RFC);

  // As Read; on failure fills those of the outputs that are not null. The
  // message reads "Line: L, column: C, <what went wrong>".
  static std::unique_ptr<Value> ReadAndReturnError(
      StringPiece json,
      int options,
      int* error_code_out,
      std::string* error_msg_out,
      int* error_line_out = nullptr,
      int* error_column_out = nullptr);

  // A short English text for |error_code|.
  static std::string ErrorCodeToString(JsonParseError error_code);

  // Parses with this reader's options and keeps the error for the getters.
  std::unique_ptr<Value> ReadToValue(StringPiece json);

  JsonParseError error_code() const { return error_code_; }
  int error_line() const { return error_line_; }
  int error_column() const { return error_column_; }
  // Empty when the last read succeeded.
  std::string GetErrorMessage() const;

 private:
  const int options_;
  JsonParseError error_code_ = JSON_NO_ERROR;
  int error_line_ = 0;
  int error_column_ = 0;
};

}  // namespace base

#endif  // BASE_JSON_JSON_READER_H_
