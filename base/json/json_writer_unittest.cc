#include "base/json/json_writer.h"

#include <limits>
#include <memory>
#include <string>

#include "base/json/json_reader.h"
#include "base/values.h"
#include "gtest/gtest.h"

namespace base {
namespace {

std::string Write(const Value& value) {
  std::string json;
  EXPECT_TRUE(JSONWriter::Write(value, &json));
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
  for (double number : {1.0, 0.1, 1e20, 3e300, 2147483648.0, 1.0 / 3.0}) {
    std::string json = Write(FundamentalValue(number));
    std::unique_ptr<Value> back = JSONReader::Read(json);
    ASSERT_TRUE(back) << json;
    EXPECT_TRUE(back->IsType(Value::Type::DOUBLE)) << json;
    double read = 0;
    back->GetAsDouble(&read);
    EXPECT_EQ(number, read) << json;
  }
  EXPECT_EQ("1.0", Write(FundamentalValue(1.0)));

  // Numbers JSON cannot hold fail the write.
  DictionaryValue root;
  root.SetDouble("bad", std::numeric_limits<double>::quiet_NaN());
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

TEST(JSONWriterTest, OutputRoundTripsThroughTheReader) {
  DictionaryValue root;
  root.SetString("text", L"Gr\u00fc\u00dfe \"quoted\" <tag>\n");
  root.SetInteger("n.min", -2147483647 - 1);
  root.SetDouble("n.d", 0.30000000000000004);
  root.Set("empty", std::make_unique<DictionaryValue>());
  ListValue* list = root.SetList("list", std::make_unique<ListValue>());
  list->Append(root.DeepCopy());
  std::unique_ptr<Value> back = JSONReader::Read(Write(root));
  ASSERT_TRUE(back);
  EXPECT_TRUE(root.Equals(back.get()));
}

}  // namespace
}  // namespace base
