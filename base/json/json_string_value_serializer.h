// Serialises a Value tree to a caller's string, and back.

#ifndef BASE_JSON_JSON_STRING_VALUE_SERIALIZER_H_
#define BASE_JSON_JSON_STRING_VALUE_SERIALIZER_H_

#include <memory>
#include <string>

#include "base/json/json_reader.h"
#include "base/strings/string16.h"

namespace base {

class Value;

class JSONStringValueSerializer {
 public:
  // |json_string| receives the text and must outlive the serializer.
  explicit JSONStringValueSerializer(std::string* json_string);
  JSONStringValueSerializer(const JSONStringValueSerializer&) = delete;
  JSONStringValueSerializer& operator=(const JSONStringValueSerializer&) =
      delete;
  ~JSONStringValueSerializer();

  // As JSONWriter::Write; false when the tree cannot be written as JSON.
  bool Serialize(const Value& root);

  void set_pretty_print(bool new_value) { pretty_print_ = new_value; }
  bool pretty_print() const { return pretty_print_; }

 private:
  std::string* const json_string_;
  bool pretty_print_ = false;
};

class JSONStringValueDeserializer {
 public:
  // |json_string| must outlive the deserializer; |options| are JSONReader's.
  explicit JSONStringValueDeserializer(StringPiece json_string,
                                       int options = JSON_PARSE_RFC);
  JSONStringValueDeserializer(const JSONStringValueDeserializer&) = delete;
  JSONStringValueDeserializer& operator=(const JSONStringValueDeserializer&) =
      delete;
  ~JSONStringValueDeserializer();

  // As JSONReader::ReadAndReturnError.
  std::unique_ptr<Value> Deserialize(int* error_code,
                                     std::string* error_message);

 private:
  const StringPiece json_string_;
  const int options_;
};

}  // namespace base

#endif  // BASE_JSON_JSON_STRING_VALUE_SERIALIZER_H_
