#include "base/values.h"

#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(DictionaryValueTest, DottedSetCreatesAndReplacesIntermediates) {
  DictionaryValue root;
  root.SetInteger("os.version.major", 10);
  const DictionaryValue* os = nullptr;
  const DictionaryValue* version = nullptr;
  ASSERT_TRUE(root.GetDictionary("os", &os));
  ASSERT_TRUE(os->GetDictionary("version", &version));
  int major = 0;
  EXPECT_TRUE(version->GetInteger("major", &major));
  EXPECT_EQ(10, major);

  // A non-dictionary in the way gives way to a dictionary.
  root.SetString("os.version", "old");
  root.SetBoolean("os.version.beta", true);
  bool beta = false;
  EXPECT_TRUE(root.GetBoolean("os.version.beta", &beta));
  EXPECT_TRUE(beta);
  EXPECT_FALSE(root.GetInteger("os.version.major", &major));

  // Siblings on the way survive a deeper write.
  root.SetString("os.name", "windows");
  root.SetInteger("os.version.minor", 0);
  std::string name;
  EXPECT_TRUE(root.GetString("os.name", &name));
  EXPECT_EQ("windows", name);
  EXPECT_EQ(1u, root.size());
}

TEST(DictionaryValueTest, WithoutPathExpansionTakesKeysLiterally) {
  DictionaryValue root;
  root.SetIntegerWithoutPathExpansion("a.b", 1);
  EXPECT_TRUE(root.HasKey("a.b"));
  EXPECT_FALSE(root.HasKey("a"));
  int value = 0;
  EXPECT_FALSE(root.GetInteger("a.b", &value));
  EXPECT_TRUE(root.GetIntegerWithoutPathExpansion("a.b", &value));
  EXPECT_EQ(1, value);

  // HasKey looks at this dictionary only.
  root.SetInteger("x.y", 2);
  EXPECT_TRUE(root.HasKey("x"));
  EXPECT_FALSE(root.HasKey("x.y"));
  EXPECT_TRUE(root.Get("x.y", static_cast<const Value**>(nullptr)));
}

TEST(DictionaryValueTest, GettersCheckTypesAndLeaveOutputAloneOnFailure) {
  DictionaryValue root;
  root.SetInteger("int", 7);
  root.SetDouble("double", 1.0);
  root.SetString("text", L"h\u00e9");
  root.SetBoolean("flag", false);

  int integer = -1;
  EXPECT_FALSE(root.GetInteger("double", &integer));  // 1.0 is no integer.
  EXPECT_FALSE(root.GetInteger("text", &integer));
  EXPECT_FALSE(root.GetInteger("missing", &integer));
  EXPECT_FALSE(root.GetInteger("int.deeper", &integer));
  EXPECT_EQ(-1, integer);

  double number = 0;
  EXPECT_TRUE(root.GetDouble("int", &number));  // An integer widens.
  EXPECT_EQ(7.0, number);
  EXPECT_FALSE(root.GetDouble("flag", &number));

  std::string narrow;
  string16 wide;
  EXPECT_TRUE(root.GetString("text", &narrow));
  EXPECT_EQ("h\xC3\xA9", narrow);
  EXPECT_TRUE(root.GetString("text", &wide));
  EXPECT_EQ(L"h\u00e9", wide);
  EXPECT_FALSE(root.GetString("int", &narrow));

  bool flag = true;
  EXPECT_TRUE(root.GetBoolean("flag", &flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(root.GetBoolean("int", &flag));

  const ListValue* list = nullptr;
  EXPECT_FALSE(root.GetList("int", &list));
  EXPECT_EQ(nullptr, list);
}

TEST(DictionaryValueTest, RemoveFollowsPathsAndHandsBackTheValue) {
  DictionaryValue root;
  root.SetInteger("a.b", 1);
  root.SetInteger("a.c", 2);
  root.SetIntegerWithoutPathExpansion("a.b", 3);

  std::unique_ptr<Value> removed;
  ASSERT_TRUE(root.Remove("a.b", &removed));
  int value = 0;
  EXPECT_TRUE(removed->GetAsInteger(&value));
  EXPECT_EQ(1, value);
  EXPECT_FALSE(root.Get("a.b", static_cast<const Value**>(nullptr)));
  EXPECT_TRUE(root.GetInteger("a.c", &value));
  EXPECT_FALSE(root.Remove("a.b", nullptr));
  EXPECT_FALSE(root.Remove("missing.b", nullptr));

  ASSERT_TRUE(root.RemoveWithoutPathExpansion("a.b", &removed));
  EXPECT_TRUE(removed->GetAsInteger(&value));
  EXPECT_EQ(3, value);
  EXPECT_EQ(1u, root.size());
  root.Clear();
  EXPECT_TRUE(root.empty());
}

TEST(DictionaryValueTest, MergeDictionaryMergesNestedAndCopies) {
  DictionaryValue base;
  base.SetString("keep", "base");
  base.SetString("replace", "base");
  base.SetInteger("nested.a", 1);
  base.SetInteger("nested.b", 1);
  base.SetInteger("becomes_dict", 5);

  DictionaryValue incoming;
  incoming.SetString("replace", "incoming");
  incoming.SetInteger("nested.b", 2);
  incoming.SetInteger("nested.c", 3);
  incoming.SetInteger("becomes_dict.x", 9);

  base.MergeDictionary(&incoming);
  std::string text;
  int value = 0;
  EXPECT_TRUE(base.GetString("keep", &text));
  EXPECT_EQ("base", text);
  EXPECT_TRUE(base.GetString("replace", &text));
  EXPECT_EQ("incoming", text);
  EXPECT_TRUE(base.GetInteger("nested.a", &value));
  EXPECT_EQ(1, value);
  EXPECT_TRUE(base.GetInteger("nested.b", &value));
  EXPECT_EQ(2, value);
  EXPECT_TRUE(base.GetInteger("nested.c", &value));
  EXPECT_EQ(3, value);
  EXPECT_TRUE(base.GetInteger("becomes_dict.x", &value));

  // The merge copied: later changes to the source do not show through.
  incoming.SetInteger("nested.c", 30);
  EXPECT_TRUE(base.GetInteger("nested.c", &value));
  EXPECT_EQ(3, value);
}

TEST(DictionaryValueTest, IteratesInKeyOrder) {
  DictionaryValue root;
  root.SetInteger("b", 2);
  root.SetInteger("c", 3);
  root.SetInteger("a", 1);
  root.SetInteger("B", 0);
  std::vector<std::string> keys;
  int sum = 0;
  for (DictionaryValue::Iterator it(root); !it.IsAtEnd(); it.Advance()) {
    keys.push_back(it.key());
    int value = 0;
    ASSERT_TRUE(it.value().GetAsInteger(&value));
    sum += value;
  }
  EXPECT_EQ((std::vector<std::string>{"B", "a", "b", "c"}), keys);
  EXPECT_EQ(6, sum);
}

TEST(DictionaryValueTest, FromAcceptsOnlyDictionaries) {
  EXPECT_NE(nullptr,
            DictionaryValue::From(std::make_unique<DictionaryValue>()));
  EXPECT_EQ(nullptr, DictionaryValue::From(std::make_unique<ListValue>()));
  EXPECT_EQ(nullptr, DictionaryValue::From(nullptr));
  EXPECT_NE(nullptr, ListValue::From(std::make_unique<ListValue>()));
  EXPECT_EQ(nullptr, ListValue::From(Value::CreateNullValue()));
}

TEST(ListValueTest, ElementsKeepTheirAddresses) {
  ListValue list;
  DictionaryValue* first = static_cast<DictionaryValue*>(
      list.Append(std::make_unique<DictionaryValue>()));
  for (int i = 0; i < 1000; ++i)
    list.AppendInteger(i);
  first->SetString("still", "here");
  const DictionaryValue* got = nullptr;
  ASSERT_TRUE(list.GetDictionary(0, &got));
  EXPECT_EQ(first, got);
  EXPECT_TRUE(got->HasKey("still"));

  // Removing an element before another does not move the other.
  Value* last = nullptr;
  ASSERT_TRUE(list.Get(1000, &last));
  ASSERT_TRUE(list.Remove(0, nullptr));
  Value* moved = nullptr;
  ASSERT_TRUE(list.Get(999, &moved));
  EXPECT_EQ(last, moved);
}

TEST(ListValueTest, SetPadsRemoveShiftsAndBoundsAreChecked) {
  ListValue list;
  ASSERT_TRUE(list.Set(2, std::make_unique<StringValue>("two")));
  ASSERT_EQ(3u, list.GetSize());
  const Value* padding = nullptr;
  ASSERT_TRUE(list.Get(0, &padding));
  EXPECT_TRUE(padding->IsType(Value::Type::NONE));
  EXPECT_FALSE(list.Set(0, nullptr));

  list.AppendInteger(3);
  list.AppendString(L"w\u00fc");
  list.AppendBoolean(true);
  list.AppendDouble(0.5);
  std::unique_ptr<Value> removed;
  ASSERT_TRUE(list.Remove(1, &removed));
  EXPECT_TRUE(removed->IsType(Value::Type::NONE));
  std::string text;
  EXPECT_TRUE(list.GetString(1, &text));
  EXPECT_EQ("two", text);
  int integer = 0;
  EXPECT_TRUE(list.GetInteger(2, &integer));
  EXPECT_EQ(3, integer);
  string16 wide;
  EXPECT_TRUE(list.GetString(3, &wide));
  EXPECT_EQ(L"w\u00fc", wide);
  double number = 0;
  EXPECT_TRUE(list.GetDouble(5, &number));
  EXPECT_EQ(0.5, number);
  EXPECT_FALSE(list.GetInteger(1, &integer));
  EXPECT_FALSE(list.Get(6, static_cast<const Value**>(nullptr)));
  EXPECT_FALSE(list.Remove(6, nullptr));

  int strings = 0;
  for (const auto& element : list)
    strings += element->IsType(Value::TYPE_STRING) ? 1 : 0;
  EXPECT_EQ(2, strings);
}

TEST(ValueTest, DeepCopyAndEquals) {
  DictionaryValue root;
  root.SetInteger("n", 1);
  ListValue* list = root.SetList("l", std::make_unique<ListValue>());
  list->AppendString("x");
  list->Append(std::make_unique<DictionaryValue>());
  root.Set("null", Value::CreateNullValue());

  std::unique_ptr<DictionaryValue> copy = root.DeepCopy();
  EXPECT_TRUE(root.Equals(copy.get()));
  EXPECT_TRUE(Value::Equals(copy.get(), &root));

  ListValue* copied_list = nullptr;
  ASSERT_TRUE(copy->GetList("l", &copied_list));
  EXPECT_NE(list, copied_list);
  copied_list->AppendInteger(2);
  EXPECT_FALSE(root.Equals(copy.get()));
  EXPECT_EQ(2u, list->GetSize());

  // An integer and a double of the same value are different values.
  FundamentalValue one_int(1);
  FundamentalValue one_double(1.0);
  EXPECT_FALSE(one_int.Equals(&one_double));
  EXPECT_TRUE(one_int.Equals(one_int.DeepCopy().get()));
  EXPECT_FALSE(StringValue("1").Equals(&one_int));
  EXPECT_TRUE(Value::Equals(nullptr, nullptr));
  EXPECT_FALSE(Value::Equals(&one_int, nullptr));
}

}  // namespace
}  // namespace base
