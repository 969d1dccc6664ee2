#include "components/prefs/pref_file_writer.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/values.h"
#include "gtest/gtest.h"

namespace {

class PrefFileWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    path_ = temp_dir_.GetPath().AppendASCII("prefs.json");
    fallback_ = base::DictionaryValue::From(
        base::JSONReader::Read("{\"mine\":{\"a\":1,\"b\":2}}"));
    ASSERT_TRUE(fallback_);
  }

  void WriteText(const std::string& text) {
    ASSERT_EQ(
        static_cast<int>(text.size()),
        base::WriteFile(path_, text.data(), static_cast<int>(text.size())));
  }
  std::string ReadText() {
    std::string text;
    base::ReadFileToString(path_, &text);
    return text;
  }

  void Set(const std::string& key, std::unique_ptr<base::Value> value) {
    changes_.emplace_back(key, std::move(value));
  }
  void Remove(const std::string& key) { changes_.emplace_back(key, nullptr); }

  base::ScopedTempDir temp_dir_;
  base::FilePath path_;
  std::unique_ptr<base::DictionaryValue> fallback_;
  std::vector<PrefFileWriter::Change> changes_;
};

TEST_F(PrefFileWriterTest, ChangesApplyInOrderOntoTheFileOnDisk) {
  WriteText("{\"other\":{\"x\":1},\"mine\":{\"a\":0,\"c\":3}}");
  Set("mine.a", std::make_unique<base::FundamentalValue>(1));
  Remove("mine.c");
  Set("other.y", std::make_unique<base::FundamentalValue>(2));
  // A later removal of a whole branch undoes the earlier change inside it.
  Set("gone.z", std::make_unique<base::FundamentalValue>(5));
  Remove("gone");
  ASSERT_TRUE(PrefFileWriter::ApplyChangesToFile(path_, changes_, *fallback_));
  EXPECT_EQ("{\"mine\":{\"a\":1},\"other\":{\"x\":1,\"y\":2}}", ReadText());
}

TEST_F(PrefFileWriterTest, MissingOrBrokenFileIsReplacedByTheStoreContents) {
  Set("mine.a", std::make_unique<base::FundamentalValue>(1));
  ASSERT_TRUE(PrefFileWriter::ApplyChangesToFile(path_, changes_, *fallback_));
  EXPECT_EQ("{\"mine\":{\"a\":1,\"b\":2}}", ReadText());

  for (const char* broken : {"{\"mine\":", "[\"mine\"]", "\xff\xfe{}"}) {
    WriteText(broken);
    ASSERT_TRUE(
        PrefFileWriter::ApplyChangesToFile(path_, changes_, *fallback_));
    EXPECT_EQ("{\"mine\":{\"a\":1,\"b\":2}}", ReadText()) << broken;
  }
}

TEST_F(PrefFileWriterTest, UnwritableValueLeavesTheFileAlone) {
  WriteText("{\"a\":1}");
  Set("nan", std::make_unique<base::FundamentalValue>(std::nan("")));
  EXPECT_FALSE(PrefFileWriter::ApplyChangesToFile(path_, changes_, *fallback_));
  EXPECT_EQ("{\"a\":1}", ReadText());
}

TEST_F(PrefFileWriterTest, MissingFolderFailsWithoutCreatingIt) {
  path_ = temp_dir_.GetPath().AppendASCII("missing").AppendASCII("p.json");
  Set("a", std::make_unique<base::FundamentalValue>(1));
  EXPECT_FALSE(PrefFileWriter::ApplyChangesToFile(path_, changes_, *fallback_));
  EXPECT_FALSE(base::PathExists(path_.DirName()));
}

}  // namespace
