#include "base/json/json_reader.h"

#include <stdint.h>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"

namespace base {

namespace {

using Json = nlohmann::json;

constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// Index of the first byte that does not belong to well-formed UTF-8, or
// npos.
size_t FindInvalidUTF8(StringPiece text) {
  size_t i = 0;
  uint32_t code_point = 0;
  while (i < text.size()) {
    size_t start = i;
    if (!ReadUTF8CodePoint(text, &i, &code_point))
      return start;
  }
  return StringPiece::npos;
}

bool IsJsonWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// What a lexical pass over the text finds before anything is built. The
// pass follows strings exactly as the parser does, so for any text the parser
// accepts its findings are exact.
struct Structure {
  // Commas that follow a value and precede a closing bracket or brace.
  std::vector<size_t> trailing_commas;
  // Where the nesting first exceeds the limit, or npos.
  size_t too_deep_at = StringPiece::npos;
};

Structure ScanStructure(StringPiece text) {
  Structure result;
  int depth = 0;
  bool in_string = false;
  bool escaped = false;
  // The last character outside strings and whitespace; '"' after a string.
  char last_significant = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (in_string) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        in_string = false;
      continue;
    }
    if (IsJsonWhitespace(c))
      continue;
    if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > JSONReader::kStackMaxDepth &&
          result.too_deep_at == StringPiece::npos) {
        result.too_deep_at = i;
      }
    } else if (c == ']' || c == '}') {
      --depth;
    } else if (c == ',' && last_significant != 0 && last_significant != '[' &&
               last_significant != '{' && last_significant != ',' &&
               last_significant != ':') {
      size_t next = i + 1;
      while (next < text.size() && IsJsonWhitespace(text[next]))
        ++next;
      if (next < text.size() && (text[next] == ']' || text[next] == '}'))
        result.trailing_commas.push_back(i);
    }
    last_significant = c;
  }
  return result;
}

// Builds the Value tree from the parser's events, iteratively: the parser
// keeps its own state on the heap and so does this builder.
class ValueBuilder {
 public:
  ValueBuilder() = default;
  ValueBuilder(const ValueBuilder&) = delete;
  ValueBuilder& operator=(const ValueBuilder&) = delete;

  bool null() { return Add(Value::CreateNullValue()); }
  bool boolean(bool value) {
    return Add(std::make_unique<FundamentalValue>(value));
  }
  bool number_integer(Json::number_integer_t value) {
    if (value >= std::numeric_limits<int>::min() &&
        value <= std::numeric_limits<int>::max()) {
      return Add(std::make_unique<FundamentalValue>(static_cast<int>(value)));
    }
    return Add(std::make_unique<FundamentalValue>(static_cast<double>(value)));
  }
  bool number_unsigned(Json::number_unsigned_t value) {
    if (value <= static_cast<uint64_t>(std::numeric_limits<int>::max()))
      return Add(std::make_unique<FundamentalValue>(static_cast<int>(value)));
    return Add(std::make_unique<FundamentalValue>(static_cast<double>(value)));
  }
  bool number_float(Json::number_float_t value, const std::string&) {
    return Add(std::make_unique<FundamentalValue>(value));
  }
  bool string(std::string& value) {
    return Add(std::make_unique<StringValue>(value));
  }
  bool binary(Json::binary_t&) {
    NOTREACHED();  // JSON text has no binary values.
    return false;
  }
  bool start_object(size_t) {
    return Push(std::make_unique<DictionaryValue>());
  }
  bool key(std::string& key) {
    keys_.back() = std::move(key);
    return true;
  }
  bool end_object() { return Pop(); }
  bool start_array(size_t) { return Push(std::make_unique<ListValue>()); }
  bool end_array() { return Pop(); }

  bool parse_error(size_t position,
                   const std::string&,
                   const nlohmann::detail::exception& error) {
    error_position_ = position;
    error_code_ = Classify(error.what());
    return false;
  }

  std::unique_ptr<Value> TakeRoot() { return std::move(root_); }
  JSONReader::JsonParseError error_code() const { return error_code_; }
  // The parser counts characters read, so the offending one is the last.
  size_t error_offset() const {
    return error_position_ > 0 ? error_position_ - 1 : 0;
  }

 private:
  static JSONReader::JsonParseError Classify(StringPiece message) {
    auto has = [message](StringPiece text) {
      return message.find(text) != StringPiece::npos;
    };
    if (has("ill-formed UTF-8"))
      return JSONReader::JSON_UNSUPPORTED_ENCODING;
    if (has("after backslash") || has("\\u") || has("surrogate"))
      return JSONReader::JSON_INVALID_ESCAPE;
    if (has("; expected end of input"))
      return JSONReader::JSON_UNEXPECTED_DATA_AFTER_ROOT;
    if (has("object key"))
      return JSONReader::JSON_UNQUOTED_DICTIONARY_KEY;
    return JSONReader::JSON_SYNTAX_ERROR;
  }

  bool Add(std::unique_ptr<Value> value) {
    AddAndGet(std::move(value));
    return true;
  }

  Value* AddAndGet(std::unique_ptr<Value> value) {
    if (containers_.empty()) {
      DCHECK(!root_);
      root_ = std::move(value);
      return root_.get();
    }
    ListValue* list = nullptr;
    if (containers_.back()->GetAsList(&list))
      return list->Append(std::move(value));
    DictionaryValue* dictionary = nullptr;
    containers_.back()->GetAsDictionary(&dictionary);
    // Of duplicate keys the last one wins.
    return dictionary->SetWithoutPathExpansion(keys_.back(), std::move(value));
  }

  bool Push(std::unique_ptr<Value> container) {
    if (containers_.size() >= static_cast<size_t>(JSONReader::kStackMaxDepth)) {
      error_code_ = JSONReader::JSON_TOO_MUCH_NESTING;
      return false;
    }
    containers_.push_back(AddAndGet(std::move(container)));
    keys_.emplace_back();
    return true;
  }

  bool Pop() {
    DCHECK(!containers_.empty());
    containers_.pop_back();
    keys_.pop_back();
    return true;
  }

  std::unique_ptr<Value> root_;
  // The open containers, innermost last; each is owned by its parent.
  std::vector<Value*> containers_;
  // The pending member name of each open container.
  std::vector<std::string> keys_;
  JSONReader::JsonParseError error_code_ = JSONReader::JSON_NO_ERROR;
  size_t error_position_ = 0;
};

struct ParseResult {
  std::unique_ptr<Value> value;
  JSONReader::JsonParseError error = JSONReader::JSON_NO_ERROR;
  size_t error_offset = 0;
};

ParseResult Fail(JSONReader::JsonParseError error, size_t offset) {
  ParseResult result;
  result.error = error;
  result.error_offset = offset;
  return result;
}

// |json| is the text after any byte-order mark.
ParseResult Parse(StringPiece json, int options) {
  // The parser would skip a second mark too.
  if (json.substr(0, 3) == kUtf8ByteOrderMark)
    return Fail(JSONReader::JSON_SYNTAX_ERROR, 0);
  size_t invalid = FindInvalidUTF8(json);
  if (invalid != StringPiece::npos)
    return Fail(JSONReader::JSON_UNSUPPORTED_ENCODING, invalid);

  Structure structure = ScanStructure(json);
  if (structure.too_deep_at != StringPiece::npos)
    return Fail(JSONReader::JSON_TOO_MUCH_NESTING, structure.too_deep_at);

  // Allowed trailing commas become blanks, which keeps error offsets true.
  std::string blanked;
  bool allow_trailing = (options & JSON_ALLOW_TRAILING_COMMAS) != 0;
  if (allow_trailing && !structure.trailing_commas.empty()) {
    blanked.assign(json);
    for (size_t comma : structure.trailing_commas)
      blanked[comma] = ' ';
    json = blanked;
  }

  ValueBuilder builder;
  bool parsed =
      Json::sax_parse(json.data(), json.data() + json.size(), &builder,
                      nlohmann::detail::input_format_t::json,
                      /*strict=*/true, /*ignore_comments=*/false);
  if (parsed) {
    ParseResult result;
    result.value = builder.TakeRoot();
    return result;
  }
  if (!allow_trailing && !structure.trailing_commas.empty() &&
      structure.trailing_commas.front() < builder.error_offset()) {
    return Fail(JSONReader::JSON_TRAILING_COMMA,
                structure.trailing_commas.front());
  }
  return Fail(builder.error_code(), builder.error_offset());
}

// 1-based line and column of |offset| in |text|.
void LineAndColumn(StringPiece text, size_t offset, int* line, int* column) {
  offset = std::min(offset, text.size());
  *line = 1;
  size_t line_start = 0;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++*line;
      line_start = i + 1;
    }
  }
  *column = static_cast<int>(offset - line_start) + 1;
}

std::string FormatErrorMessage(int line, int column, const std::string& text) {
  return "Line: " + std::to_string(line) +
         ", column: " + std::to_string(column) + ", " + text;
}

}  // namespace

JSONReader::JSONReader(int options) : options_(options) {}

JSONReader::~JSONReader() = default;

// static
std::unique_ptr<Value> JSONReader::Read(StringPiece json, int options) {
  JSONReader reader(options);
  return reader.ReadToValue(json);
}

// static
std::unique_ptr<Value> JSONReader::ReadAndReturnError(
    StringPiece json,
    int options,
    int* error_code_out,
    std::string* error_msg_out,
    int* error_line_out,
    int* error_column_out) {
  JSONReader reader(options);
  std::unique_ptr<Value> value = reader.ReadToValue(json);
  if (value)
    return value;
  if (error_code_out)
    *error_code_out = reader.error_code();
  if (error_msg_out)
    *error_msg_out = reader.GetErrorMessage();
  if (error_line_out)
    *error_line_out = reader.error_line();
  if (error_column_out)
    *error_column_out = reader.error_column();
  return nullptr;
}

// static
std::string JSONReader::ErrorCodeToString(JsonParseError error_code) {
  switch (error_code) {
    case JSON_NO_ERROR:
      return std::string();
    case JSON_INVALID_ESCAPE:
      return "Invalid escape sequence.";
    case JSON_SYNTAX_ERROR:
      return "Syntax error.";
    case JSON_TRAILING_COMMA:
      return "Trailing comma not allowed.";
    case JSON_TOO_MUCH_NESTING:
      return "Too much nesting.";
    case JSON_UNEXPECTED_DATA_AFTER_ROOT:
      return "Unexpected data after root element.";
    case JSON_UNSUPPORTED_ENCODING:
      return "Unsupported encoding. JSON must be UTF-8.";
    case JSON_UNQUOTED_DICTIONARY_KEY:
      return "Dictionary keys must be quoted.";
    case JSON_PARSE_ERROR_COUNT:
      break;
  }
  NOTREACHED();
  return std::string();
}

std::unique_ptr<Value> JSONReader::ReadToValue(StringPiece json) {
  if (json.substr(0, 3) == kUtf8ByteOrderMark)
    json.remove_prefix(3);
  ParseResult result = Parse(json, options_);
  error_code_ = result.error;
  error_line_ = 0;
  error_column_ = 0;
  if (result.value)
    return std::move(result.value);
  LineAndColumn(json, result.error_offset, &error_line_, &error_column_);
  return nullptr;
}

std::string JSONReader::GetErrorMessage() const {
  if (error_code_ == JSON_NO_ERROR)
    return std::string();
  return FormatErrorMessage(error_line_, error_column_,
                            ErrorCodeToString(error_code_));
}

}  // namespace base
