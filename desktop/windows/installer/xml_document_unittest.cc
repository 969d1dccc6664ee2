#include "desktop/windows/installer/xml_document.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_com_initializer.h"
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

  base::FilePath WriteXml(const std::string& text,
                          const wchar_t* folder = L"xml") {
    base::FilePath dir = temp_dir_.GetPath().Append(folder);
    EXPECT_TRUE(base::CreateDirectory(dir));
    base::FilePath file = dir.Append(L"doc.xml");
    EXPECT_EQ(
        static_cast<int>(text.size()),
        base::WriteFile(file, text.data(), static_cast<int>(text.size())));
    return file;
  }

  // Serialises |document| and loads the text into |loaded|.
  void SaveAndLoad(const XmlDocument& document,
                   XmlDocument* loaded,
                   std::string* text) {
    ASSERT_TRUE(document.SaveIndented(text));
    ASSERT_TRUE(loaded->Load(WriteXml(*text, L"saved")));
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
};

TEST_F(XmlDocumentTest, SaveIndentedWritesOurFileForm) {
  XmlDocument document;
  ASSERT_TRUE(document.Create());
  XmlWriter writer(&document);
  ASSERT_TRUE(writer.StartElement("root"));
  ASSERT_TRUE(writer.SetAttribute("second", "2"));
  ASSERT_TRUE(writer.SetAttribute("first", "1"));
  ASSERT_TRUE(writer.SetAttribute("second", "two"));
  ASSERT_TRUE(writer.StartElement("outer"));
  ASSERT_TRUE(writer.StartElement("inner"));
  ASSERT_TRUE(writer.SetText("a&b<c"));
  ASSERT_TRUE(writer.EndElement());
  ASSERT_TRUE(writer.EndElement());
  ASSERT_TRUE(writer.StartElement("empty"));

  std::string text;
  ASSERT_TRUE(document.SaveIndented(&text));
  EXPECT_EQ(0u, text.find("<?xml version=\"1.0\"?>\n<root "));
  EXPECT_EQ(std::string::npos, text.find('\r'));
  EXPECT_EQ(std::string::npos, text.find('\t'));
  EXPECT_EQ(std::string::npos, text.find("\n\n"));
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ("</root>\n", text.substr(text.size() - 8));
  // Attributes keep the order in which they were first set.
  EXPECT_NE(std::string::npos,
            text.find("<root second=\"two\" first=\"1\">\n <outer>\n  <inner>"))
      << text;
  EXPECT_NE(std::string::npos, text.find("a&amp;b&lt;c")) << text;
  EXPECT_NE(std::string::npos, text.find("\n <empty/>\n</root>")) << text;
}

TEST_F(XmlDocumentTest,
       SaveIndentedTurnsTabsIntoBlanksAndDropsCarriageReturns) {
  XmlDocument document;
  ASSERT_TRUE(document.Create());
  XmlWriter writer(&document);
  ASSERT_TRUE(writer.StartElement("root"));
  ASSERT_TRUE(writer.SetAttribute("value", "a\tb\rc"));
  // Wine's reader hands a carriage return in a text on as a line feed
  // before the writer sees it, so only tabs are checked in texts.
  ASSERT_TRUE(writer.SetText("x\ty"));

  XmlDocument loaded;
  std::string text;
  SaveAndLoad(document, &loaded, &text);
  XmlReader reader(&loaded);
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  std::string value;
  ASSERT_TRUE(reader.GetAttribute("value", &value));
  EXPECT_EQ("a bc", value);
  EXPECT_EQ("x y", Text(reader));
}

TEST_F(XmlDocumentTest, NonAsciiNamesAndTextsRoundTrip) {
  const std::string kName =
      "gr\xC3\xB6\xC3\x9F"
      "e";                                                         // größe
  const std::string kValue = "\xE6\x97\xA5\xE6\x9C\xAC";           // 日本
  const std::string kText = "\xC3\x86r\xC3\xB8 \xF0\x9F\x98\x80";  // Ærø 😀
  XmlDocument document;
  ASSERT_TRUE(document.Create());
  XmlWriter writer(&document);
  ASSERT_TRUE(writer.StartElement(kName));
  ASSERT_TRUE(writer.SetAttribute(kName, kValue));
  ASSERT_TRUE(writer.StartElement("child"));
  ASSERT_TRUE(writer.SetText(kText));

  XmlDocument loaded;
  std::string text;
  SaveAndLoad(document, &loaded, &text);
  XmlReader reader(&loaded);
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ(kName, Name(reader));
  std::string value;
  ASSERT_TRUE(reader.GetAttribute(kName, &value));
  EXPECT_EQ(kValue, value);
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ(kText, Text(reader));
}

TEST_F(XmlDocumentTest, CursorMovesKeepToElements) {
  XmlDocument document;
  ASSERT_TRUE(document.Load(
      WriteXml("<?xml version=\"1.0\"?>\n<!-- before -->\n"
               "<root>text<!-- c --><?pi data?><a/>between<b>b text</b>"
               "<only_text>t<!-- c --></only_text></root>\n")));
  XmlReader reader(&document);
  // From the document node the first element is the root, past the comment.
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("root", Name(reader));
  // The root has no element to go up to.
  EXPECT_EQ(XmlReader::kNoElement, reader.Parent());
  EXPECT_EQ("root", Name(reader));
  EXPECT_EQ(XmlReader::kNoElement, reader.NextSiblingElement());
  EXPECT_EQ("root", Name(reader));

  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("a", Name(reader));
  EXPECT_EQ(XmlReader::kNoElement, reader.FirstChildElement());
  ASSERT_EQ(XmlReader::kMoved, reader.NextSiblingElement());
  EXPECT_EQ("b", Name(reader));
  EXPECT_EQ("b text", Text(reader));
  ASSERT_EQ(XmlReader::kMoved, reader.NextSiblingElement());
  EXPECT_EQ("only_text", Name(reader));
  // Text and a comment are no elements: the cursor stays.
  EXPECT_EQ(XmlReader::kNoElement, reader.FirstChildElement());
  EXPECT_EQ("only_text", Name(reader));
  EXPECT_EQ(XmlReader::kNoElement, reader.NextSiblingElement());
  EXPECT_EQ("only_text", Name(reader));
  ASSERT_EQ(XmlReader::kMoved, reader.Parent());
  EXPECT_EQ("root", Name(reader));
}

TEST_F(XmlDocumentTest, GetAttribute) {
  XmlDocument document;
  ASSERT_TRUE(document.Load(
      WriteXml("<root empty=\"\" quoted=\"&quot;a&amp;b&quot;\"/>")));
  XmlReader reader(&document);
  std::string value = "unchanged";
  // The document node has no attributes.
  EXPECT_FALSE(reader.GetAttribute("empty", &value));
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_FALSE(reader.GetAttribute("missing", &value));
  EXPECT_EQ("unchanged", value);
  ASSERT_TRUE(reader.GetAttribute("empty", &value));
  EXPECT_EQ("", value);
  ASSERT_TRUE(reader.GetAttribute("quoted", &value));
  EXPECT_EQ("\"a&b\"", value);
}

TEST_F(XmlDocumentTest, EndElementStopsAtTheRoot) {
  XmlDocument document;
  ASSERT_TRUE(document.Create());
  XmlWriter writer(&document);
  ASSERT_TRUE(writer.StartElement("root"));
  ASSERT_TRUE(writer.StartElement("child"));
  ASSERT_TRUE(writer.EndElement());
  EXPECT_FALSE(writer.EndElement());
  // The cursor stayed on the root: the next element is its child.
  ASSERT_TRUE(writer.StartElement("second"));
  ASSERT_TRUE(writer.SetText("one"));
  ASSERT_TRUE(writer.SetText("two"));

  XmlDocument loaded;
  std::string text;
  SaveAndLoad(document, &loaded, &text);
  XmlReader reader(&loaded);
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ(XmlReader::kNoElement, reader.NextSiblingElement());
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("child", Name(reader));
  ASSERT_EQ(XmlReader::kMoved, reader.NextSiblingElement());
  EXPECT_EQ("second", Name(reader));
  // SetText replaces the text.
  EXPECT_EQ("two", Text(reader));
}

TEST_F(XmlDocumentTest, LoadRefusesMissingAndMalformedFiles) {
  XmlDocument document;
  EXPECT_FALSE(document.Load(temp_dir_.GetPath().Append(L"missing.xml")));
  EXPECT_FALSE(document.Load(WriteXml("<root><open></root>", L"malformed")));
  EXPECT_FALSE(document.Load(WriteXml("", L"empty")));
  // A failed load leaves nothing to walk, read, build or save.
  XmlReader reader(&document);
  XmlWriter writer(&document);
  std::string text;
  EXPECT_EQ(XmlReader::kFailed, reader.FirstChildElement());
  EXPECT_EQ(XmlReader::kFailed, reader.Parent());
  EXPECT_FALSE(reader.GetNodeName(&text));
  EXPECT_FALSE(reader.GetAttribute("a", &text));
  EXPECT_FALSE(writer.StartElement("root"));
  EXPECT_FALSE(writer.SetText("a"));
  EXPECT_FALSE(document.SaveIndented(&text));
}

TEST_F(XmlDocumentTest, LoadReadsFilesWithAByteOrderMark) {
  XmlDocument document;
  ASSERT_TRUE(document.Load(WriteXml(
      "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<root>\xC3\xA9</root>\n")));
  XmlReader reader(&document);
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("\xC3\xA9", Text(reader));
}

// The file name is a path, not a URL: "%20" and "#" are plain characters.
TEST_F(XmlDocumentTest, LoadTakesFolderNamesLiterally) {
  WriteXml("<wrong/>", L"a b");
  WriteXml("<wrong/>", L"a");
  base::FilePath escaped = WriteXml("<escaped/>", L"a%20b");
  base::FilePath hashed = WriteXml("<hashed/>", L"a#b");
  XmlDocument document;
  XmlReader reader(&document);
  ASSERT_TRUE(document.Load(escaped));
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("escaped", Name(reader));
  ASSERT_TRUE(document.Load(hashed));
  ASSERT_EQ(XmlReader::kMoved, reader.FirstChildElement());
  EXPECT_EQ("hashed", Name(reader));
}

}  // namespace
}  // namespace installer
