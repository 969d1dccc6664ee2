#include "desktop/windows/installer/package_fetcher/archive_entry_path.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ArchiveEntryNameToRelativePathTest, AcceptsPlainRelativePaths) {
  struct {
    const wchar_t* name;
    const wchar_t* expected;
  } cases[] = {
      {L"a", L"a"},
      {L"app/lib/helper.dll", L"app\\lib\\helper.dll"},
      {L"app\\lib/helper.dll", L"app\\lib\\helper.dll"},
      {L"données/übersicht.txt", L"données\\übersicht.txt"},
      {L"日本語.pak", L"日本語.pak"},
      {L".hidden", L".hidden"},
      {L"..name", L"..name"},
      {L"a..b", L"a..b"},
      {L"empty folder", L"empty folder"},
      // Near the device names, but none.
      {L"com10", L"com10"},
      {L"lpt0.txt", L"lpt0.txt"},
      {L"console", L"console"},
      {L"aux_data/nul_", L"aux_data\\nul_"},
  };
  for (const auto& c : cases) {
    base::FilePath path;
    EXPECT_TRUE(ArchiveEntryNameToRelativePath(c.name, &path)) << c.name;
    EXPECT_EQ(c.expected, path.value());
  }
}

TEST(ArchiveEntryNameToRelativePathTest, RefusesEverythingElse) {
  for (const wchar_t* name : {L"",
                              L"/a",
                              L"\\a",
                              L"\\\\server\\share\\a",
                              L"\\\\?\\C:\\a",
                              L"a//b",
                              L"a/",
                              L".",
                              L"..",
                              L"a/./b",
                              L"../a",
                              L"a/../../b",
                              L"C:a",
                              L"C:/a",
                              L"a:stream",
                              L"a.",
                              L"a ",
                              L"a/... /b",
                              L"a\x01",
                              L"a\tb",
                              L"a<b",
                              L"a>b",
                              L"a\"b",
                              L"a|b",
                              L"a?b",
                              L"a*b",
                              L"CON",
                              L"con",
                              L"nul.txt",
                              L"Aux.tar.gz",
                              L"PRN .log",
                              L"com1",
                              L"LPT9.dat",
                              L"com\u00B9",
                              L"conout$",
                              L"CONIN$",
                              L"dir/NUL/a"}) {
    base::FilePath path(L"unchanged");
    EXPECT_FALSE(ArchiveEntryNameToRelativePath(name, &path)) << name;
    EXPECT_EQ(L"unchanged", path.value());
  }
  // An embedded NUL would cut the name short for Windows.
  base::FilePath path;
  EXPECT_FALSE(
      ArchiveEntryNameToRelativePath(std::wstring_view(L"a\0b", 3), &path));
}

}  // namespace
}  // namespace installer
