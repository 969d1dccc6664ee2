#include "base/files/file_path.h"

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/logging.h"
#include "gtest/gtest.h"

namespace base {
namespace {

struct UnaryCase {
  const wchar_t* input;
  const wchar_t* expected;
};

struct BinaryCase {
  const wchar_t* input;
  const wchar_t* argument;
  const wchar_t* expected;
};

TEST(FilePathTest, DirNameAndBaseNameKeepRootsAndDriveLetters) {
  const UnaryCase dir_names[] = {{L"", L"."},
                                 {L"a", L"."},
                                 {L"a\\\\\\b", L"a"},
                                 {L"C:", L"C:"},
                                 {L"C:a", L"C:"},
                                 {L"C:\\\\\\", L"C:\\"},
                                 {L"C:\\a\\", L"C:\\"},
                                 {L"C:/a/b", L"C:/a"},
                                 {L"\\a", L"\\"},
                                 {L"\\\\server\\share", L"\\\\server"},
                                 {L"\\\\server", L"\\\\"},
                                 {L"\\\\", L"\\\\"}};
  for (const UnaryCase& c : dir_names)
    EXPECT_EQ(c.expected, FilePath(c.input).DirName().value()) << c.input;
  const UnaryCase base_names[] = {{L"", L""},
                                  {L"C:", L""},
                                  {L"C:a", L"a"},
                                  {L"C:\\", L"\\"},
                                  {L"C:\\a\\b\\\\", L"b"},
                                  {L"C:/a/b", L"b"},
                                  {L"\\\\", L"\\\\"}};
  for (const UnaryCase& c : base_names)
    EXPECT_EQ(c.expected, FilePath(c.input).BaseName().value()) << c.input;
}

TEST(FilePathTest, IsAbsoluteNeedsDriveAndSeparatorOrUnc) {
  for (const wchar_t* path : {L"C:\\a", L"c:/", L"\\\\server\\share", L"//s"})
    EXPECT_TRUE(FilePath(path).IsAbsolute()) << path;
  for (const wchar_t* path : {L"C:", L"C:a", L"\\a", L"1:\\a", L"a\\b", L""})
    EXPECT_FALSE(FilePath(path).IsAbsolute()) << path;
}

TEST(FilePathTest, AppendJoinsWithOneSeparator) {
  const BinaryCase cases[] = {
      {L"C:\\a\\\\", L"b", L"C:\\a\\b"},
      {L"C:\\", L"b", L"C:\\b"},
      {L"C:", L"b", L"C:b"},
      {L"", L"b", L"b"},
      {L".", L"b", L"b"},
      {L"C:\\a\\", L"", L"C:\\a"},
      {L"\\\\server", L"share", L"\\\\server\\share"},
  };
  for (const BinaryCase& c : cases) {
    EXPECT_EQ(c.expected, FilePath(c.input).Append(c.argument).value())
        << c.input << " + " << c.argument;
  }
  EXPECT_EQ(L"C:\\a\\b.json", FilePath(L"C:\\a").AppendASCII("b.json").value());
  // A NUL ends the component, as it would end the name for Windows.
  EXPECT_EQ(L"C:\\a\\b",
            FilePath(L"C:\\a").Append(std::wstring(L"b\0c", 3)).value());
  EXPECT_EQ(L"a", FilePath(std::wstring(L"a\0b", 3)).value());
  // "\x" is rooted but has no drive: it must not climb out of the base.
  FilePath joined = FilePath(L"C:\\a").Append(L"\\x");
  EXPECT_TRUE(FilePath(L"C:\\a").IsParent(joined)) << joined;
}

TEST(FilePathDeathTest, AppendRefusesAbsoluteComponents) {
  const FilePath base(L"C:\\Program Files\\Kelvo");
  for (const wchar_t* component :
       {L"D:\\evil", L"\\\\server\\share\\evil", L"D:evil", L"C:"}) {
    EXPECT_DEATH((void)base.Append(component), "Refusing to append")
        << component;
  }
}

TEST(FilePathTest, Extensions) {
  struct Case {
    const wchar_t* path;
    const wchar_t* extension;
    const wchar_t* final_extension;
    const wchar_t* without_extension;
  };
  const Case cases[] = {
      {L"a.tar.gz", L".tar.gz", L".gz", L"a"},
      {L"a.toolong.gz", L".gz", L".gz", L"a.toolong"},
      {L"a.", L".", L".", L"a"},
      {L".profile", L".profile", L".profile", L""},
      {L"C:\\dir.x\\file", L"", L"", L"C:\\dir.x\\file"},
      {L"C:\\a.txt\\", L".txt", L".txt", L"C:\\a"},
      {L"..", L"", L"", L".."},
  };
  for (const Case& c : cases) {
    FilePath path(c.path);
    EXPECT_EQ(c.extension, path.Extension()) << c.path;
    EXPECT_EQ(c.final_extension, path.FinalExtension()) << c.path;
    EXPECT_EQ(c.without_extension, path.RemoveExtension().value()) << c.path;
  }
  const BinaryCase added[] = {
      {L"C:\\a\\b.txt", L".1700000000.old", L"C:\\a\\b.txt.1700000000.old"},
      {L"b.", L"old", L"b.old"},
      {L"b", L".", L"b"},
      {L"C:\\a\\..", L"old", L""},
  };
  for (const BinaryCase& c : added) {
    EXPECT_EQ(c.expected, FilePath(c.input).AddExtension(c.argument).value())
        << c.input;
  }
}

TEST(FilePathTest, GetComponentsAndParents) {
  using Strings = std::vector<std::wstring>;
  EXPECT_EQ((Strings{L"C:", L"\\", L"a", L"b"}),
            FilePath(L"C:\\a\\b\\").GetComponents());
  EXPECT_EQ((Strings{L"\\\\", L"server", L"share"}),
            FilePath(L"\\\\server\\share").GetComponents());

  EXPECT_TRUE(FilePath(L"c:\\a\\").IsParent(FilePath(L"C:\\a\\b\\c")));
  EXPECT_TRUE(FilePath(L"C:\\").IsParent(FilePath(L"C:\\a")));
  EXPECT_FALSE(FilePath(L"C:\\A").IsParent(FilePath(L"C:\\a\\b")));
  EXPECT_FALSE(FilePath(L"C:\\a").IsParent(FilePath(L"C:\\ab")));
  EXPECT_FALSE(FilePath(L"C:\\a").IsParent(FilePath(L"C:\\a")));
  EXPECT_FALSE(FilePath().IsParent(FilePath(L"a")));

  EXPECT_TRUE(FilePath(L"c:\\A\\").IsParentIgnoringCase(FilePath(L"C:\\a\\b")));
  EXPECT_TRUE(FilePath(L"C:\\\u00c9T\u00c9")
                  .IsParentIgnoringCase(FilePath(L"c:\\\u00e9t\u00e9\\x")));
  EXPECT_TRUE(FilePath(L"\\\\Server\\Share")
                  .IsParentIgnoringCase(FilePath(L"\\\\server\\share\\x")));
  EXPECT_FALSE(FilePath(L"C:\\a").IsParentIgnoringCase(FilePath(L"C:\\AB\\c")));
  EXPECT_FALSE(FilePath(L"C:\\a").IsParentIgnoringCase(FilePath(L"c:\\A\\")));
  EXPECT_FALSE(FilePath(L"C:\\a").IsParentIgnoringCase(FilePath(L"D:\\a\\b")));
  EXPECT_FALSE(FilePath(L"a").IsParentIgnoringCase(FilePath(L"C:\\a\\b")));
  EXPECT_FALSE(FilePath().IsParentIgnoringCase(FilePath(L"a")));

  const FilePath roaming(L"C:\\Users\\u\\AppData\\Roaming");
  FilePath local(L"C:\\Users\\u\\AppData\\Local");
  EXPECT_TRUE(roaming.AppendRelativePath(
      FilePath(L"C:\\Users\\u\\AppData\\Roaming\\Kelvo\\User Data"), &local));
  EXPECT_EQ(L"C:\\Users\\u\\AppData\\Local\\Kelvo\\User Data", local.value());
  EXPECT_FALSE(
      roaming.AppendRelativePath(FilePath(L"C:\\Users\\u\\Other"), &local));
}

TEST(FilePathTest, ReferencesParent) {
  // Windows treats dot-and-blank names as the parent too.
  for (const wchar_t* path :
       {L"a\\..\\b", L"..", L"C:\\a\\..", L"a\\...\\b", L"a\\.. \\b", L"C:..",
        L"a/../b", L"\\\\server\\share\\..\\x", L"a\\b\\..\\"}) {
    EXPECT_TRUE(FilePath(path).ReferencesParent()) << path;
  }
  for (const wchar_t* path : {L"a\\..b\\c", L"a..b", L"a\\.\\b", L"", L"C:",
                              L"C:\\", L"\\\\server\\share", L"a\\b..\\.c"})
    EXPECT_FALSE(FilePath(path).ReferencesParent()) << path;
}

TEST(FilePathTest, TrailingSeparators) {
  const UnaryCase stripped[] = {{L"C:\\a\\\\", L"C:\\a"},
                                {L"C:\\\\\\", L"C:\\"},
                                {L"\\\\", L"\\\\"},
                                {L"\\\\\\", L"\\"},
                                {L"a/", L"a"}};
  for (const UnaryCase& c : stripped) {
    EXPECT_EQ(c.expected, FilePath(c.input).StripTrailingSeparators().value())
        << c.input;
  }
  EXPECT_EQ(L"C:\\a\\b\\c",
            FilePath(L"C:/a/b\\c").NormalizePathSeparators().value());
}

TEST(FilePathTest, EqualityIgnoresOnlyDriveLetterCase) {
  EXPECT_EQ(FilePath(L"c:\\a"), FilePath(L"C:\\a"));
  EXPECT_NE(FilePath(L"C:\\A"), FilePath(L"C:\\a"));
  EXPECT_NE(FilePath(L"C:\\a"), FilePath(L"C:/a"));
  // The order agrees with equality, so sorted sets hold one of each.
  std::set<FilePath> paths = {FilePath(L"c:\\b"), FilePath(L"C:\\b"),
                              FilePath(L"C:\\a"), FilePath(L"D:\\a")};
  EXPECT_EQ(3u, paths.size());
}

TEST(FilePathTest, CompareIgnoreCaseFollowsWindowsUpperCasing) {
  EXPECT_TRUE(
      FilePath::CompareEqualIgnoreCase(L"\u00c9t\u00e9", L"\u00e9T\u00c9"));
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(L"\u0414\u043e\u043c",
                                               L"\u0434\u041e\u041c"));
  EXPECT_EQ(-1, FilePath::CompareIgnoreCase(L"a", L"B"));
  // One character per character: no expansions as in linguistic folding.
  EXPECT_FALSE(FilePath::CompareEqualIgnoreCase(L"stra\u00dfe", L"STRASSE"));
}

TEST(FilePathTest, Utf8Conversions) {
  const FilePath path(L"C:\\Caf\u00e9\\\u65e5");
  const std::string utf8 = "C:\\Caf\xc3\xa9\\\xe6\x97\xa5";
  EXPECT_EQ(utf8, path.AsUTF8Unsafe());
  std::ostringstream out;
  out << path;
  EXPECT_EQ(utf8, out.str());
}

}  // namespace
}  // namespace base
