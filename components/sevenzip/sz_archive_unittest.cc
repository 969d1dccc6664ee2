#include "components/sevenzip/sz_archive.h"

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "components/sevenzip/sz_folder.h"
#include "components/sevenzip/test/extract_all.h"
#include "components/sevenzip/test/memory_look_stream.h"
#include "gtest/gtest.h"

namespace sevenzip {
namespace {

using test::CountingAlloc;
using test::ExtractAll;
using test::ExtractedEntry;
using test::ReadTestFile;

// Made by 7zz in the tests' set-up (test/make_test_archives.sh), next to
// the tree they were made of; the tests run in that folder's parent.
const std::string kTestFiles = "sevenzip_test_files/";

std::string ReadArchive(const std::string& name) {
  return ReadTestFile(kTestFiles + name);
}

// Whether some folder of |archive| uses |method|: the archives must keep
// covering the coders they were made for, whatever 7zz's defaults become.
bool UsesMethod(const std::string& archive, UInt64 method) {
  test::MemoryLookStream stream(archive);
  CountingAlloc alloc;
  CSzArEx db;
  SzArEx_Init(&db);
  bool found = false;
  if (SzArEx_Open(&db, stream.stream(), alloc.get(), alloc.get()) == SZ_OK) {
    for (UInt32 f = 0; f < db.NumFolders; ++f) {
      for (UInt32 c = 0; c < db.Folders[f].NumCoders; ++c)
        found |= db.Folders[f].Coders[c].MethodId == method;
    }
  }
  SzArEx_Free(&db, alloc.get());
  return found;
}

struct ArchiveCase {
  const char* file;
  UInt64 method;
};

class SevenZipArchiveTest : public testing::TestWithParam<ArchiveCase> {};

// The tree of the set-up, whatever coders and layout 7zz chose.
TEST_P(SevenZipArchiveTest, ExtractsTheTree) {
  const std::string archive = ReadArchive(GetParam().file);
  ASSERT_FALSE(archive.empty());
  EXPECT_TRUE(UsesMethod(archive, GetParam().method));

  for (bool lookahead : {false, true}) {
    std::vector<ExtractedEntry> entries;
    ASSERT_EQ(SZ_OK, ExtractAll(archive, &entries, nullptr, lookahead));
    ASSERT_EQ(12u, entries.size());
    std::map<std::u16string, ExtractedEntry> by_name;
    for (const ExtractedEntry& entry : entries) {
      EXPECT_TRUE(entry.mtime_defined) << testing::PrintToString(entry.name);
      by_name[entry.name] = entry;
    }
    for (const char16_t* dir : {u"app", u"app/lib", u"app/resources",
                                u"app/resources/données", u"empty folder"}) {
      EXPECT_TRUE(by_name[dir].is_dir) << testing::PrintToString(dir);
    }
    for (const char* file :
         {"app/kelvo.exe", "app/lib/helper.dll", "app/resources/readme.txt"}) {
      const ExtractedEntry& entry =
          by_name[std::u16string(file, file + strlen(file))];
      EXPECT_FALSE(entry.is_dir) << file;
      EXPECT_EQ(ReadTestFile(kTestFiles + "tree/" + file), entry.data) << file;
    }
    EXPECT_EQ(300000u, by_name[u"app/resources/日本語.pak"].data.size());
    EXPECT_EQ(6600u,
              by_name[u"app/resources/données/übersicht.txt"].data.size());
    EXPECT_FALSE(by_name[u"app/empty.txt"].is_dir);
    EXPECT_EQ("", by_name[u"app/empty.txt"].data);
    EXPECT_EQ("x", by_name[u"one byte"].data);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ,
    SevenZipArchiveTest,
    testing::Values(ArchiveCase{"copy.7z", kMethodCopy},
                    ArchiveCase{"default.7z", kMethodBcjX86},
                    ArchiveCase{"lzma.7z", kMethodLzma},
                    ArchiveCase{"bcj2.7z", kMethodBcj2},
                    ArchiveCase{"blocks.7z", kMethodLzma2}));

// Going back in a block decodes it again from its start.
TEST(SzArExExtractTest, EntriesInAnyOrder) {
  const std::string archive = ReadArchive("bcj2.7z");
  std::vector<ExtractedEntry> in_order, shuffled;
  ASSERT_EQ(SZ_OK, ExtractAll(archive, &in_order));
  const std::vector<UInt32> order = {11, 10, 9, 11, 6, 0, 7};
  ASSERT_EQ(SZ_OK, ExtractAll(archive, &shuffled, nullptr, false, order));
  ASSERT_EQ(order.size(), shuffled.size());
  for (size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(in_order[order[i]].name, shuffled[i].name);
    EXPECT_EQ(in_order[order[i]].data, shuffled[i].data);
  }
}

// Every allocation that can fail does so cleanly, and every block is
// freed, whatever failed.
TEST(SzArExExtractTest, AllocationFailuresLeakNothing) {
  for (const char* file : {"bcj2.7z", "default.7z"}) {
    const std::string archive = ReadArchive(file);
    CountingAlloc unlimited;
    std::vector<ExtractedEntry> entries;
    ASSERT_EQ(SZ_OK, ExtractAll(archive, &entries, unlimited.get()));
    EXPECT_EQ(0, unlimited.outstanding());
    const long needed = unlimited.allocations();
    ASSERT_GT(needed, 5);
    for (long fail_after = 0; fail_after < needed; ++fail_after) {
      CountingAlloc failing(fail_after);
      entries.clear();
      EXPECT_EQ(SZ_ERROR_MEM, ExtractAll(archive, &entries, failing.get()))
          << file << " " << fail_after;
      EXPECT_EQ(0, failing.outstanding()) << file << " " << fail_after;
    }
  }
}

}  // namespace
}  // namespace sevenzip
