#include "base/json/json_writer.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "base/json/json_reader.h"
#include "base/json/json_string_value_serializer.h"
#include "base/values.h"
#include "gtest/gtest.h"

namespace base {
namespace {

std::string Write(const Value& value, int options = 0) {
  std::string json;
  EXPECT_TRUE(JSONWriter::WriteWithOptions(value, options, &json));
  return json;
}

TEST(JSONWriterTest, CompactOutputInKeyOrder) {
  DictionaryValue root;
  root.SetInteger("b", -3);
  ListValue* list = root.SetList("a", std::make_unique<ListValue>());
  list->AppendBoolean(true);
  list->Append(Value::CreateNullValue());
  list->AppendString("x");
  list->Append(std::make_unique<DictionaryValue>());
  list->Append(std::make_unique<ListValue>());
  root.SetInteger("a_b.c", 1);
  EXPECT_EQ("{\"a\":[true,null,\"x\",{},[]],\"a_b\":{\"c\":1},\"b\":-3}",
            Write(root));
}

TEST(JSONWriterTest, DoublesReadBackAsDoubles) {
  const double values[] = {1.0,  -0.0,  0.1,         -2.5,         1e20,
                           1e-7, 3e300, 123456789.0, 2147483648.0, 1.0 / 3.0};
  for (double number : values) {
    std::string json = Write(FundamentalValue(number));
    std::unique_ptr<Value> back = JSONReader::Read(json);
    ASSERT_TRUE(back) << json;
    EXPECT_TRUE(back->IsType(Value::Type::DOUBLE)) << json;
    double read = 0;
    back->GetAsDouble(&read);
    EXPECT_EQ(number, read) << json;
  }
  EXPECT_EQ("1.0", Write(FundamentalValue(1.0)));
  EXPECT_EQ("-0.5", Write(FundamentalValue(-0.5)));
  EXPECT_EQ("0.1", Write(FundamentalValue(0.1)));

  const int omit = JSONWriter::OPTIONS_OMIT_DOUBLE_TYPE_PRESERVATION;
  EXPECT_EQ("2", Write(FundamentalValue(2.0), omit));
  EXPECT_EQ("-3000000000", Write(FundamentalValue(-3e9), omit));
  EXPECT_EQ("2.5", Write(FundamentalValue(2.5), omit));
  EXPECT_EQ("1e+20", Write(FundamentalValue(1e20), omit));
}

TEST(JSONWriterTest, NumbersJSONCannotHoldFailTheWrite) {
  DictionaryValue root;
  root.SetDouble("bad", std::numeric_limits<double>::quiet_NaN());
  root.SetInteger("good", 1);
  std::string json;
  EXPECT_FALSE(JSONWriter::Write(root, &json));
  EXPECT_FALSE(JSONWriter::Write(
      FundamentalValue(std::numeric_limits<double>::infinity()), &json));
}

TEST(JSONWriterTest, StringsAreEscapedAndMadeValid) {
  EXPECT_EQ("\"q\\\"b\\\\s/\"", Write(StringValue("q\"b\\s/")));
  EXPECT_EQ("\"\\b\\f\\n\\r\\t\\u0001\\u001F\"",
            Write(StringValue(std::string("\b\f\n\r\t\x01\x1F"))));
  EXPECT_EQ("\"\\u0000\"", Write(StringValue(std::string("\0", 1))));
  EXPECT_EQ("\"\\u003C/script>\"", Write(StringValue("</script>")));
  EXPECT_EQ("\"\\u2028\\u2029\"", Write(StringValue(L"\u2028\u2029")));
  // Other text stays UTF-8; broken UTF-8 becomes U+FFFD.
  EXPECT_EQ("\"h\xC3\xA9\xF0\x9F\x98\x80\"",
            Write(StringValue("h\xC3\xA9\xF0\x9F\x98\x80")));
  EXPECT_EQ(
      "\"a\xEF\xBF\xBD"
      "b\xEF\xBF\xBD\"",
      Write(StringValue("a\xFF"
                        "b\xC3")));

  DictionaryValue root;
  root.SetStringWithoutPathExpansion("k\"", "v");
  EXPECT_EQ("{\"k\\\"\":\"v\"}", Write(root));
}

TEST(JSONWriterTest, PrettyPrintLayout) {
  DictionaryValue root;
  root.SetInteger("a.b", 1);
  ListValue* list = root.SetList("c", std::make_unique<ListValue>());
  list->AppendInteger(1);
  list->AppendString("x");
  root.Set("d", std::make_unique<DictionaryValue>());
  EXPECT_EQ(
      "{\r\n"
      "   \"a\": {\r\n"
      "      \"b\": 1\r\n"
      "   },\r\n"
      "   \"c\": [ 1, \"x\" ],\r\n"
      "   \"d\": {\r\n"
      "\r\n"
      "   }\r\n"
      "}\r\n",
      Write(root, JSONWriter::OPTIONS_PRETTY_PRINT));
}

TEST(JSONWriterTest, RoundTripsThroughTheReader) {
  DictionaryValue root;
  root.SetString("text", L"Gr\u00fc\u00dfe \"quoted\" <tag>\n");
  root.SetInteger("n.min", -2147483647 - 1);
  root.SetDouble("n.d", 0.30000000000000004);
  root.SetBoolean("flag", false);
  ListValue* list = root.SetList("list", std::make_unique<ListValue>());
  list->Append(root.DeepCopy());
  for (int options : {0, static_cast<int>(JSONWriter::OPTIONS_PRETTY_PRINT)}) {
    std::unique_ptr<Value> back = JSONReader::Read(Write(root, options));
    ASSERT_TRUE(back);
    EXPECT_TRUE(root.Equals(back.get())) << options;
  }
}

TEST(JSONStringValueSerializerTest, SerializesAndDeserializes) {
  DictionaryValue root;
  root.SetInteger("installer", 1);
  root.SetInteger("crash_reporter", 2);
  std::string json;
  JSONStringValueSerializer serializer(&json);
  ASSERT_TRUE(serializer.Serialize(root));
  EXPECT_EQ("{\"crash_reporter\":2,\"installer\":1}", json);
  serializer.set_pretty_print(true);
  ASSERT_TRUE(serializer.Serialize(root));
  EXPECT_EQ("{\r\n   \"crash_reporter\": 2,\r\n   \"installer\": 1\r\n}\r\n",
            json);

  JSONStringValueDeserializer deserializer(json);
  std::unique_ptr<Value> back = deserializer.Deserialize(nullptr, nullptr);
  ASSERT_TRUE(back);
  EXPECT_TRUE(root.Equals(back.get()));

  int code = 0;
  std::string message;
  JSONStringValueDeserializer broken("{\"a\":}");
  EXPECT_FALSE(broken.Deserialize(&code, &message));
  EXPECT_EQ(JSONReader::JSON_SYNTAX_ERROR, code);
  EXPECT_EQ("Line: 1, column: 6, Syntax error.", message);
}

}  // namespace
}  // namespace base
