#include "base/json/json_writer.h"

#include <stdint.h>

#include <charconv>
#include <cmath>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"

namespace base {

namespace {

constexpr char kPrettyPrintLineEnding[] = "\r\n";
constexpr int kIndentSpaces = 3;

void AppendUnicodeEscape(uint32_t unit, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out->append("\\u");
  for (int shift = 12; shift >= 0; shift -= 4)
    out->push_back(kHex[(unit >> shift) & 0xF]);
}

void AppendUTF8(uint32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

// Quotes |text|. Besides what JSON requires, '<' is escaped so that the text
// can sit inside HTML, and U+2028/U+2029 so that it is valid JavaScript.
void AppendQuoted(StringPiece text, std::string* out) {
  out->push_back('"');
  size_t i = 0;
  while (i < text.size()) {
    uint32_t code_point = 0;
    if (!ReadUTF8CodePoint(text, &i, &code_point))
      code_point = 0xFFFD;
    switch (code_point) {
      case '\b':
        out->append("\\b");
        break;
      case '\f':
        out->append("\\f");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '"':
        out->append("\\\"");
        break;
      case '<':
      case 0x2028:
      case 0x2029:
        AppendUnicodeEscape(code_point, out);
        break;
      default:
        if (code_point < 0x20)
          AppendUnicodeEscape(code_point, out);
        else
          AppendUTF8(code_point, out);
    }
  }
  out->push_back('"');
}

class Writer {
 public:
  Writer(int options, std::string* out)
      : omit_double_type_(options &
                          JSONWriter::OPTIONS_OMIT_DOUBLE_TYPE_PRESERVATION),
        pretty_(options & JSONWriter::OPTIONS_PRETTY_PRINT),
        out_(out) {}

  bool Write(const Value& node) {
    bool result = WriteNode(node, 0);
    if (pretty_)
      out_->append(kPrettyPrintLineEnding);
    return result;
  }

 private:
  bool WriteNode(const Value& node, int depth) {
    switch (node.GetType()) {
      case Value::Type::NONE:
        out_->append("null");
        return true;
      case Value::Type::BOOLEAN: {
        bool value = false;
        node.GetAsBoolean(&value);
        out_->append(value ? "true" : "false");
        return true;
      }
      case Value::Type::INTEGER: {
        int value = 0;
        node.GetAsInteger(&value);
        out_->append(std::to_string(value));
        return true;
      }
      case Value::Type::DOUBLE: {
        double value = 0;
        node.GetAsDouble(&value);
        return WriteDouble(value);
      }
      case Value::Type::STRING: {
        std::string value;
        node.GetAsString(&value);
        AppendQuoted(value, out_);
        return true;
      }
      case Value::Type::LIST: {
        const ListValue* list = nullptr;
        node.GetAsList(&list);
        return WriteList(*list, depth);
      }
      case Value::Type::DICTIONARY: {
        const DictionaryValue* dictionary = nullptr;
        node.GetAsDictionary(&dictionary);
        return WriteDictionary(*dictionary, depth);
      }
    }
    NOTREACHED();
    return false;
  }

  // Shortest text that reads back as the same double, and as a double.
  bool WriteDouble(double value) {
    if (!std::isfinite(value)) {
      LOG(ERROR) << "JSON cannot hold the number " << value;
      return false;
    }
    if (omit_double_type_ && value == std::trunc(value) &&
        value >= -9223372036854775808.0 && value < 9223372036854775808.0) {
      out_->append(std::to_string(static_cast<int64_t>(value)));
      return true;
    }
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    DCHECK(result.ec == std::errc());
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".eE") == std::string::npos)
      text.append(".0");
    out_->append(text);
    return true;
  }

  bool WriteList(const ListValue& list, int depth) {
    bool result = true;
    out_->push_back('[');
    if (pretty_)
      out_->push_back(' ');
    bool first = true;
    for (const auto& element : list) {
      if (!first)
        out_->append(pretty_ ? ", " : ",");
      first = false;
      result = WriteNode(*element, depth) && result;
    }
    if (pretty_)
      out_->push_back(' ');
    out_->push_back(']');
    return result;
  }

  bool WriteDictionary(const DictionaryValue& dictionary, int depth) {
    bool result = true;
    out_->push_back('{');
    if (pretty_)
      out_->append(kPrettyPrintLineEnding);
    bool first = true;
    for (DictionaryValue::Iterator it(dictionary); !it.IsAtEnd();
         it.Advance()) {
      if (!first) {
        out_->push_back(',');
        if (pretty_)
          out_->append(kPrettyPrintLineEnding);
      }
      first = false;
      if (pretty_)
        Indent(depth + 1);
      AppendQuoted(it.key(), out_);
      out_->append(pretty_ ? ": " : ":");
      result = WriteNode(it.value(), depth + 1) && result;
    }
    if (pretty_) {
      out_->append(kPrettyPrintLineEnding);
      Indent(depth);
    }
    out_->push_back('}');
    return result;
  }

  void Indent(int depth) { out_->append(kIndentSpaces * depth, ' '); }

  const bool omit_double_type_;
  const bool pretty_;
  std::string* const out_;
};

}  // namespace

// static
bool JSONWriter::Write(const Value& node, std::string* json) {
  return WriteWithOptions(node, 0, json);
}

// static
bool JSONWriter::WriteWithOptions(const Value& node,
                                  int options,
                                  std::string* json) {
  DCHECK(json);
  json->clear();
  return Writer(options, json).Write(node);
}

}  // namespace base
