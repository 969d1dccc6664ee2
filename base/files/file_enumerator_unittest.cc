#include "base/files/file_enumerator.h"

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class FileEnumeratorTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    root_ = temp_dir_.GetPath();
    // root\{b.lnk, a.txt, status.xml.17, sub\{c.lnk, deep\{d.lnk}}, z.dir\}
    ASSERT_TRUE(CreateDirectory(root_.Append(L"sub\\deep")));
    ASSERT_TRUE(CreateDirectory(root_.Append(L"z.dir")));
    for (const wchar_t* name : {L"b.lnk", L"a.txt", L"status.xml.17",
                                L"sub\\c.lnk", L"sub\\deep\\d.lnk"}) {
      ASSERT_EQ(4, WriteFile(root_.Append(name), "data", 4));
    }
  }

  // The paths listed, relative to the root, in the order listed.
  std::vector<std::wstring> List(bool recursive,
                                 int types,
                                 const wchar_t* pattern = L"*") {
    std::vector<std::wstring> names;
    FileEnumerator enumerator(root_, recursive, types, pattern);
    for (FilePath path = enumerator.Next(); !path.empty();
         path = enumerator.Next()) {
      FilePath relative;
      EXPECT_TRUE(root_.AppendRelativePath(path, &relative)) << path;
      names.push_back(relative.value());
    }
    return names;
  }

  static std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
  }

  ScopedTempDir temp_dir_;
  FilePath root_;
};

using Names = std::vector<std::wstring>;

TEST_F(FileEnumeratorTest, OneFolderByTypeAndPattern) {
  EXPECT_EQ((Names{L"a.txt", L"b.lnk", L"status.xml.17"}),
            Sorted(List(false, FileEnumerator::FILES)));
  EXPECT_EQ((Names{L"sub", L"z.dir"}),
            Sorted(List(false, FileEnumerator::DIRECTORIES)));
  EXPECT_EQ((Names{L"status.xml.17"}),
            List(false, FileEnumerator::FILES, L"*.xml.*"));
  EXPECT_TRUE(List(false, FileEnumerator::FILES, L"*.none").empty());
  FileEnumerator missing(root_.Append(L"missing"), true, FileEnumerator::FILES);
  EXPECT_TRUE(missing.Next().empty());
}

TEST_F(FileEnumeratorTest, RecursionReachesFoldersThePatternHides) {
  Names found = List(true, FileEnumerator::FILES, L"*.lnk");
  EXPECT_EQ((Names{L"b.lnk", L"sub\\c.lnk", L"sub\\deep\\d.lnk"}), found);

  Names all = List(true, FileEnumerator::FILES | FileEnumerator::DIRECTORIES);
  EXPECT_EQ((Names{L"a.txt", L"b.lnk", L"status.xml.17", L"sub", L"sub\\c.lnk",
                   L"sub\\deep", L"sub\\deep\\d.lnk", L"z.dir"}),
            Sorted(all));
  // A folder's entries are listed before anything below them.
  auto position = [&all](const wchar_t* name) {
    return std::find(all.begin(), all.end(), name) - all.begin();
  };
  EXPECT_LT(position(L"z.dir"), position(L"sub\\c.lnk"));
  EXPECT_LT(position(L"sub\\deep"), position(L"sub\\deep\\d.lnk"));
}

}  // namespace
}  // namespace base
