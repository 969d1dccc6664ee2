#include "desktop/windows/installer/xml_document.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_util.h"
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

TEST_F(XmlDocumentTest, SaveIndentedPrintsWhatWasBuilt) {
  XmlDocument document;
  ASSERT_TRUE(document.Create());
  XmlWriter writer(&document);
  ASSERT_TRUE(writer.StartElement("root"));
  // Attributes keep the order of their first setting, not their names'.
  ASSERT_TRUE(writer.SetAttribute("z", "tab\there, cr\rgone"));
  ASSERT_TRUE(writer.SetAttribute("a", "<&\"\xC3\xA9>"));
  ASSERT_TRUE(writer.SetAttribute("z", "set again"));
  ASSERT_TRUE(writer.StartElement("item"));
  ASSERT_TRUE(writer.SetAttribute("b", "tab\there, cr\rgone"));
  ASSERT_TRUE(writer.SetText("x\ty\r\nz <&> \xE6\x97\xA5"));
  ASSERT_TRUE(writer.EndElement());
  ASSERT_TRUE(writer.StartElement("empty"));
  ASSERT_TRUE(writer.EndElement());
  std::string text;
  ASSERT_TRUE(document.SaveIndented(&text));

  EXPECT_EQ(0u, text.find("<?xml version=\"1.0\"?>\n<root z=\"set again\" "
                          "a=\"&lt;&amp;&quot;\xC3\xA9&gt;\">\n"))
      << text;
  EXPECT_NE(std::string::npos, text.find("<empty/>")) << text;
  EXPECT_EQ(std::string::npos, text.find('\r'));
  EXPECT_EQ(std::string::npos, text.find('\t'));
  EXPECT_EQ("</root>\n", text.substr(text.size() - 8));

  // Read back: a tab became a blank and a carriage return went.
  XmlDocument read;
  ASSERT_TRUE(read.Load(WriteXml(text)));
  XmlReader reader(&read);
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("x y\nz <&> \xE6\x97\xA5",
            base::TrimWhitespaceASCII(Text(reader), base::TRIM_ALL));
  std::string value;
  ASSERT_TRUE(reader.GetAttribute("b", &value));
  EXPECT_EQ("tab here, crgone", value);
}

TEST_F(XmlDocumentTest, SaveIndentedRefusesNestingBeyondTheLimit) {
  for (int depth : {XmlDocument::kMaxDepth, XmlDocument::kMaxDepth + 1}) {
    XmlDocument document;
    ASSERT_TRUE(document.Create());
    XmlWriter writer(&document);
    for (int i = 0; i < depth; ++i)
      ASSERT_TRUE(writer.StartElement("e"));
    std::string text;
    EXPECT_EQ(depth == XmlDocument::kMaxDepth, document.SaveIndented(&text))
        << depth;
  }
}

}  // namespace
}  // namespace installer
