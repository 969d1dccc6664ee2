#include "desktop/windows/installer/xml_document.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/xml_reader.h"
#include "desktop/windows/installer/xml_writer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class XmlDocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
  }

  base::FilePath WriteXml(const std::string& text) {
    base::FilePath file =
        temp_dir_.GetPath().AppendASCII("doc" + std::to_string(++files_));
    test::WriteTextFile(file, text);
    return file;
  }

  static std::string Name(const XmlReader& reader) {
    std::string name;
    EXPECT_TRUE(reader.GetNodeName(&name));
    return name;
  }

  static std::string Text(const XmlReader& reader) {
    std::string text;
    EXPECT_TRUE(reader.GetText(&text));
    return text;
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_dir_;
  int files_ = 0;
};

TEST_F(XmlDocumentTest, CursorMovesKeepToElements) {
  XmlDocument document;
  ASSERT_TRUE(document.Load(
      WriteXml("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- before -->\n"
               "<root a=\"&quot;x&amp;\">text<!-- c --><?pi data?><a/>"
               "between<b>\xC3\xA9</b><only_text>t<!-- c --></only_text>"
               "</root>\n")));
  XmlReader reader(&document);
  std::string value = "unchanged";
  // The document node has no attributes; the root comes past the comment.
  EXPECT_FALSE(reader.GetAttribute("a", &value));
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("root", Name(reader));
  ASSERT_TRUE(reader.GetAttribute("a", &value));
  EXPECT_EQ("\"x&", value);
  EXPECT_FALSE(reader.GetAttribute("missing", &value));
  // The root has no element to go up to.
  EXPECT_EQ(XmlReader::kNoElement, reader.Parent());
  EXPECT_EQ("root", Name(reader));

  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("a", Name(reader));
  ASSERT_EQ(XmlReader::kMoved, reader.NextSiblingElement());
  EXPECT_EQ("\xC3\xA9", Text(reader));
  ASSERT_EQ(XmlReader::kMoved, reader.NextSiblingElement());
  // Text and a comment are no elements: the cursor stays.
  EXPECT_EQ(XmlReader::kNoElement, reader.FirstChildElement());
  EXPECT_EQ(XmlReader::kNoElement, reader.NextSiblingElement());
  EXPECT_EQ("only_text", Name(reader));
  ASSERT_EQ(XmlReader::kMoved, reader.Parent());
  EXPECT_EQ("root", Name(reader));
}

}  // namespace
}  // namespace installer
