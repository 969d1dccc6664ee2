#include "base/json/json_reader.h"

#include <memory>
#include <string>

#include "base/values.h"
#include "gtest/gtest.h"

namespace base {
namespace {

// The error code of parsing |json|, or JSON_NO_ERROR when it parses.
int ErrorOf(const std::string& json, int options = JSON_PARSE_RFC) {
  int code = JSONReader::JSON_NO_ERROR;
  std::string message;
  std::unique_ptr<Value> value =
      JSONReader::ReadAndReturnError(json, options, &code, &message);
  EXPECT_EQ(value == nullptr, code != JSONReader::JSON_NO_ERROR) << json;
  EXPECT_EQ(value == nullptr, !message.empty()) << json;
  return code;
}

std::string Nested(int depth, char open, char close) {
  return std::string(depth, open) + std::string(depth, close);
}

TEST(JSONReaderTest, NumbersBecomeIntegersOnlyWhenWrittenAndSizedSo) {
  struct {
    const char* json;
    Value::Type type;
  } cases[] = {
      {"-2147483648", Value::Type::INTEGER},
      {"2147483647", Value::Type::INTEGER},
      {"2147483648", Value::Type::DOUBLE},
      {"-2147483649", Value::Type::DOUBLE},
      {"1.0", Value::Type::DOUBLE},
      {"1e2", Value::Type::DOUBLE},
  };
  for (const auto& c : cases) {
    std::unique_ptr<Value> value = JSONReader::Read(c.json);
    ASSERT_TRUE(value) << c.json;
    EXPECT_EQ(c.type, value->GetType()) << c.json;
  }
  // Too large for a double at all.
  EXPECT_EQ(JSONReader::JSON_SYNTAX_ERROR, ErrorOf("1e400"));
  for (const char* bad : {"01", "+1", ".5"})
    EXPECT_NE(JSONReader::JSON_NO_ERROR, ErrorOf(bad)) << bad;
}

TEST(JSONReaderTest, TheLastOfDuplicateKeysWinsAndDotsAreNoPaths) {
  std::unique_ptr<DictionaryValue> root = DictionaryValue::From(
      JSONReader::Read("{\"k\": 1, \"o\": {\"x\": 1}, \"k\": \"two\","
                       " \"o\": {\"y\": 2}, \"a.b\": [null]}"));
  ASSERT_TRUE(root);
  EXPECT_FALSE(root->HasKey("a"));
  EXPECT_TRUE(root->HasKey("a.b"));
  std::string text;
  EXPECT_TRUE(root->GetString("k", &text));
  EXPECT_EQ("two", text);
  EXPECT_FALSE(root->HasKey("o.x"));
  const DictionaryValue* o = nullptr;
  ASSERT_TRUE(root->GetDictionary("o", &o));
  EXPECT_FALSE(o->HasKey("x"));
  EXPECT_TRUE(o->HasKey("y"));
}

TEST(JSONReaderTest, WholeTextIsExactlyOneValueAfterAnOptionalBom) {
  EXPECT_TRUE(JSONReader::Read("\xEF\xBB\xBF{\"a\": 1}"));
  EXPECT_TRUE(JSONReader::Read(" \r\n\t[1] \n"));
  EXPECT_EQ(JSONReader::JSON_UNSUPPORTED_ENCODING, ErrorOf("\xEF\xBB"));
  EXPECT_NE(JSONReader::JSON_NO_ERROR, ErrorOf(" \xEF\xBB\xBF{}"));
  EXPECT_EQ(JSONReader::JSON_SYNTAX_ERROR,
            ErrorOf("\xEF\xBB\xBF\xEF\xBB\xBF[1]"));
  EXPECT_EQ(JSONReader::JSON_UNEXPECTED_DATA_AFTER_ROOT, ErrorOf("{} {}"));
  EXPECT_EQ(JSONReader::JSON_SYNTAX_ERROR, ErrorOf("   "));
  EXPECT_EQ(JSONReader::JSON_UNQUOTED_DICTIONARY_KEY, ErrorOf("{a: 1}"));
  EXPECT_EQ(JSONReader::JSON_TRAILING_COMMA, ErrorOf("{\"a\": 1,\n}"));
  for (const char* bad : {"[1] // note", "/* c */ [1]", "{\"a\": 1", "'x'"})
    EXPECT_NE(JSONReader::JSON_NO_ERROR, ErrorOf(bad)) << bad;
}

TEST(JSONReaderTest, NestingIsLimitedWithoutExhaustingTheStack) {
  const int limit = JSONReader::kStackMaxDepth;
  EXPECT_TRUE(JSONReader::Read(Nested(limit, '[', ']')));
  EXPECT_EQ(JSONReader::JSON_TOO_MUCH_NESTING,
            ErrorOf(Nested(limit + 1, '[', ']')));
  EXPECT_EQ(JSONReader::JSON_TOO_MUCH_NESTING,
            ErrorOf(Nested(1000 * 1000, '[', ']')));
  // Unbalanced and mixed nesting counts too.
  EXPECT_EQ(JSONReader::JSON_TOO_MUCH_NESTING,
            ErrorOf(std::string(limit + 1, '[')));
  std::string objects;
  for (int i = 0; i <= limit; ++i)
    objects += "{\"a\":";
  objects += "1" + std::string(limit + 1, '}');
  EXPECT_EQ(JSONReader::JSON_TOO_MUCH_NESTING, ErrorOf(objects));
  // Brackets inside strings are not nesting.
  EXPECT_TRUE(JSONReader::Read("[\"" + std::string(1000, '[') + "\"]"));
}

TEST(JSONReaderTest, TextMustBeValidUTF8) {
  std::string text;
  std::unique_ptr<Value> value =
      JSONReader::Read("\"h\xC3\xA9\xF0\x9F\x98\x80\"");
  ASSERT_TRUE(value);
  EXPECT_TRUE(value->GetAsString(&text));
  EXPECT_EQ("h\xC3\xA9\xF0\x9F\x98\x80", text);
  // Escapes are decoded to UTF-8, surrogate pairs included.
  value = JSONReader::Read("\"\\u00e9\\ud83d\\ude00\\n\\/\"");
  ASSERT_TRUE(value);
  EXPECT_TRUE(value->GetAsString(&text));
  EXPECT_EQ("\xC3\xA9\xF0\x9F\x98\x80\n/", text);

  const char* invalid[] = {
      "\"\xFF\"",              // never valid
      "\"\xC3\"",              // truncated
      "\"\xC0\xAF\"",          // overlong '/'
      "\"\xED\xA0\x80\"",      // encoded surrogate
      "\"\xF4\x90\x80\x80\"",  // above U+10FFFF
      "[1, \"ok\"] \x80",      // outside any string
  };
  for (const char* json : invalid)
    EXPECT_EQ(JSONReader::JSON_UNSUPPORTED_ENCODING, ErrorOf(json)) << json;

  EXPECT_EQ(JSONReader::JSON_INVALID_ESCAPE, ErrorOf("\"\\q\""));
  EXPECT_EQ(JSONReader::JSON_INVALID_ESCAPE, ErrorOf("\"\\ud800\""));
  EXPECT_EQ(JSONReader::JSON_INVALID_ESCAPE, ErrorOf("\"\\u12\""));
  // Raw control characters must be escaped.
  EXPECT_NE(JSONReader::JSON_NO_ERROR, ErrorOf("\"a\tb\""));
}

TEST(JSONReaderTest, ErrorsCarryLineAndColumn) {
  int code = 0;
  int line = 0;
  int column = 0;
  std::string message;
  EXPECT_FALSE(JSONReader::ReadAndReturnError("{\n  \"a\": x}", JSON_PARSE_RFC,
                                              &code, &message, &line, &column));
  EXPECT_EQ(JSONReader::JSON_SYNTAX_ERROR, code);
  EXPECT_EQ(2, line);
  EXPECT_EQ(8, column);
  EXPECT_EQ("Line: 2, column: 8, Syntax error.", message);
}

}  // namespace
}  // namespace base
