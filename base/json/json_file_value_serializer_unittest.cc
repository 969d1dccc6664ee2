#include "base/json/json_file_value_serializer.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/values.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class JSONFileValueDeserializerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.CreateUniqueTempDir()); }

  FilePath Write(const std::wstring& name, const std::string& content) {
    FilePath path = temp_.GetPath().Append(name);
    EXPECT_EQ(static_cast<int>(content.size()),
              base::WriteFile(path, content.data(),
                              static_cast<int>(content.size())));
    return path;
  }

  ScopedTempDir temp_;
};

TEST_F(JSONFileValueDeserializerTest, FileErrorsAreToldApart) {
  int code = 0;
  std::string message;
  JSONFileValueDeserializer missing(temp_.GetPath().Append(L"missing.json"));
  EXPECT_FALSE(missing.Deserialize(&code, &message));
  EXPECT_EQ(JSONFileValueDeserializer::JSON_NO_SUCH_FILE, code);
  EXPECT_EQ("File doesn't exist.", message);

  // Held open by a writer that shares nothing.
  FilePath locked_path = Write(L"locked.json", "{}");
  win::ScopedHandle holder(::CreateFileW(locked_path.value().c_str(),
                                         GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.IsValid());
  JSONFileValueDeserializer locked(locked_path);
  EXPECT_FALSE(locked.Deserialize(&code, &message));
  EXPECT_EQ(JSONFileValueDeserializer::JSON_FILE_LOCKED, code);
  EXPECT_EQ("File locked.", message);
  holder.Close();
  EXPECT_TRUE(locked.Deserialize(&code, &message));

  // A folder is no file to read.
  JSONFileValueDeserializer folder(temp_.GetPath());
  EXPECT_FALSE(folder.Deserialize(&code, &message));
  EXPECT_NE(JSONFileValueDeserializer::JSON_NO_ERROR, code);
  EXPECT_FALSE(message.empty());
}

TEST_F(JSONFileValueDeserializerTest, ParseErrorsComeFromTheReader) {
  JSONFileValueDeserializer good(
      Write(L"good.json", "\xEF\xBB\xBF{\"a\": {\"b\": [1, 2]}}\r\n"));
  std::unique_ptr<DictionaryValue> root =
      DictionaryValue::From(good.Deserialize(nullptr, nullptr));
  ASSERT_TRUE(root);
  const ListValue* list = nullptr;
  EXPECT_TRUE(root->GetList("a.b", &list));

  int code = 0;
  std::string message;
  JSONFileValueDeserializer empty(Write(L"empty.json", ""));
  EXPECT_FALSE(empty.Deserialize(&code, &message));
  EXPECT_EQ(JSONReader::JSON_SYNTAX_ERROR, code);

  JSONFileValueDeserializer trailing(Write(L"trailing.json", "[1,]"));
  EXPECT_FALSE(trailing.Deserialize(&code, &message));
  EXPECT_EQ(JSONReader::JSON_TRAILING_COMMA, code);
  EXPECT_EQ("Line: 1, column: 3, Trailing comma not allowed.", message);
}

}  // namespace
}  // namespace base
