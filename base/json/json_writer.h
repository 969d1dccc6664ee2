// Writes a Value tree as JSON text (UTF-8). Dictionary members come out in
// key order, so equal trees give equal text.
//
//   std::string json;
//   base::JSONWriter::Write(value, &json);               // compact
//   base::JSONWriter::WriteWithOptions(
//       value, base::JSONWriter::OPTIONS_PRETTY_PRINT, &json);

#ifndef BASE_JSON_JSON_WRITER_H_
#define BASE_JSON_JSON_WRITER_H_

#include <string>

namespace base {

class Value;

class JSONWriter {
 public:
  enum Options {
    // A double with an integral value in the 64-bit range is written as an
    // integer ("2", not "2.0"); it then reads back as a number of either
    // type.
    OPTIONS_OMIT_DOUBLE_TYPE_PRESERVATION = 1 << 0,
    // One member per line, three spaces of indent per level, CR LF line
    // ends and a line end after the last line.
    OPTIONS_PRETTY_PRINT = 1 << 1,
  };

  JSONWriter() = delete;

  // False (with |json| holding what was written so far) when the tree holds
  // a double that JSON cannot express (NaN or infinity). Invalid UTF-8 in
  // strings is written as U+FFFD.
  static bool Write(const Value& node, std::string* json);
  static bool WriteWithOptions(const Value& node,
                               int options,
                               std::string* json);
};

}  // namespace base

#endif  // BASE_JSON_JSON_WRITER_H_
