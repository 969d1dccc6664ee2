#include "desktop/windows/installer/ui/rich_text_links.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(RichTextLinksTest, AnchorsBecomeRangesOfPlainText) {
  const struct {
    const wchar_t* html;
    const wchar_t* text;
    std::vector<TextLink> links;
  } kCases[] = {
      {L"No links here", L"No links here", {}},
      {L"Read the <a href=\"tos\">Terms</a>.",
       L"Read the Terms.",
       {{9, 14, L"tos"}}},
      {L"<a href=\"a\">A</a> and <a href=\"b\">Bee</a>",
       L"A and Bee",
       {{0, 1, L"a"}, {6, 9, L"b"}}},
      // Unclosed or malformed anchors stay literal.
      {L"x <a href=\"tos\">never closed",
       L"x <a href=\"tos\">never closed",
       {}},
      {L"<a href=\"tos\" class=\"x\">T</a>",
       L"<a href=\"tos\" class=\"x\">T</a>",
       {}},
      {L"<a href=\"tos", L"<a href=\"tos", {}},
      {L"<a href=\"\"></a>", L"", {{0, 0, L""}}},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.html);
    const LinkedText linked = ParseLinkedText(test_case.html);
    EXPECT_EQ(test_case.text, linked.text);
    ASSERT_EQ(test_case.links.size(), linked.links.size());
    for (size_t i = 0; i < linked.links.size(); ++i) {
      EXPECT_EQ(test_case.links[i].start, linked.links[i].start);
      EXPECT_EQ(test_case.links[i].end, linked.links[i].end);
      EXPECT_EQ(test_case.links[i].address, linked.links[i].address);
    }
  }
}

TEST(RichTextLinksTest, FindsTheLinkUnderAPosition) {
  const LinkedText linked = ParseLinkedText(L"ab <a href=\"x\">cd</a> ef");
  EXPECT_EQ(nullptr, FindLinkAt(linked, 2));
  ASSERT_NE(nullptr, FindLinkAt(linked, 3));
  EXPECT_EQ(L"x", FindLinkAt(linked, 4)->address);
  EXPECT_EQ(nullptr, FindLinkAt(linked, 5));
  EXPECT_EQ(nullptr, FindLinkAt(linked, -1));
}

}  // namespace
}  // namespace installer
