#include "base/values.h"

#include <memory>
#include <string>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(DictionaryValueTest, DottedPathsCreateReplaceAndRemoveIntermediates) {
  DictionaryValue root;
  root.SetInteger("os.version.major", 10);
  root.SetString("os.name", "windows");
  int major = 0;
  EXPECT_TRUE(root.GetInteger("os.version.major", &major));
  EXPECT_EQ(10, major);
  // A non-dictionary in the way gives way to a dictionary; siblings stay.
  root.SetString("os.version", "old");
  root.SetBoolean("os.version.beta", true);
  EXPECT_FALSE(root.GetInteger("os.version.major", &major));
  EXPECT_TRUE(root.HasKey("os"));
  EXPECT_FALSE(root.HasKey("os.name"));  // This dictionary's keys only.
  std::string name;
  EXPECT_TRUE(root.GetString("os.name", &name));

  std::unique_ptr<Value> removed;
  ASSERT_TRUE(root.Remove("os.version.beta", &removed));
  EXPECT_TRUE(removed->IsType(Value::Type::BOOLEAN));
  EXPECT_FALSE(root.Remove("os.version.beta", nullptr));
  EXPECT_FALSE(root.Remove("missing.b", nullptr));
  EXPECT_TRUE(root.GetString("os.name", &name));
}

TEST(DictionaryValueTest, WithoutPathExpansionTakesKeysLiterally) {
  DictionaryValue root;
  root.SetStringWithoutPathExpansion("a.b", "literal");
  root.SetString("a.b", "nested");
  EXPECT_EQ(2u, root.size());
  std::string text;
  EXPECT_TRUE(root.GetString("a.b", &text));
  EXPECT_EQ("nested", text);
  ASSERT_TRUE(root.RemoveWithoutPathExpansion("a.b", nullptr));
  EXPECT_TRUE(root.GetString("a.b", &text));
  EXPECT_EQ(1u, root.size());
}

TEST(DictionaryValueTest, GettersCheckTypesAndLeaveOutputAloneOnFailure) {
  DictionaryValue root;
  root.SetInteger("int", 7);
  root.SetDouble("double", 1.0);
  root.SetString("text", L"h\u00e9");

  int integer = -1;
  EXPECT_FALSE(root.GetInteger("double", &integer));  // 1.0 is no integer.
  EXPECT_FALSE(root.GetInteger("text", &integer));
  EXPECT_FALSE(root.GetInteger("int.deeper", &integer));
  EXPECT_EQ(-1, integer);
  double number = 0;
  EXPECT_TRUE(root.GetDouble("int", &number));  // An integer widens.
  EXPECT_EQ(7.0, number);

  std::string narrow;
  string16 wide;
  EXPECT_TRUE(root.GetString("text", &narrow));
  EXPECT_EQ("h\xC3\xA9", narrow);
  EXPECT_TRUE(root.GetString("text", &wide));
  EXPECT_EQ(L"h\u00e9", wide);
  const ListValue* list = nullptr;
  EXPECT_FALSE(root.GetList("int", &list));
  EXPECT_EQ(nullptr, list);
}

TEST(ListValueTest, ElementsKeepTheirAddresses) {
  ListValue list;
  DictionaryValue* first = static_cast<DictionaryValue*>(
      list.Append(std::make_unique<DictionaryValue>()));
  for (int i = 0; i < 1000; ++i)
    list.AppendInteger(i);
  const DictionaryValue* got = nullptr;
  ASSERT_TRUE(list.GetDictionary(0, &got));
  EXPECT_EQ(first, got);

  // Removing an element before another does not move the other.
  Value* last = nullptr;
  ASSERT_TRUE(list.Get(1000, &last));
  ASSERT_TRUE(list.Remove(0, nullptr));
  Value* moved = nullptr;
  ASSERT_TRUE(list.Get(999, &moved));
  EXPECT_EQ(last, moved);
  EXPECT_FALSE(list.Get(1000, &moved));
  EXPECT_FALSE(list.Remove(1000, nullptr));
}

TEST(ValueTest, DeepCopyAndEquals) {
  DictionaryValue root;
  root.SetInteger("n", 1);
  ListValue* list = root.SetList("l", std::make_unique<ListValue>());
  list->AppendString("x");
  root.Set("null", Value::CreateNullValue());

  std::unique_ptr<DictionaryValue> copy = root.DeepCopy();
  EXPECT_TRUE(root.Equals(copy.get()));
  ListValue* copied_list = nullptr;
  ASSERT_TRUE(copy->GetList("l", &copied_list));
  copied_list->AppendInteger(2);
  EXPECT_FALSE(root.Equals(copy.get()));
  EXPECT_EQ(1u, list->GetSize());

  // An integer and a double of the same value are different values.
  FundamentalValue one_int(1);
  FundamentalValue one_double(1.0);
  EXPECT_FALSE(one_int.Equals(&one_double));
  EXPECT_FALSE(StringValue("1").Equals(&one_int));
  EXPECT_TRUE(Value::Equals(nullptr, nullptr));
  EXPECT_FALSE(Value::Equals(&one_int, nullptr));
}

}  // namespace
}  // namespace base
