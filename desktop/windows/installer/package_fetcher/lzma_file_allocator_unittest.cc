#include "desktop/windows/installer/package_fetcher/lzma_file_allocator.h"

#include <string.h>

#include <string>
#include <vector>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/planted_link.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Small enough for tests.
constexpr size_t kLarge = 1 << 20;

bool IsFilled(const void* block, size_t size, char value) {
  const char* bytes = static_cast<const char*>(block);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != value)
      return false;
  }
  return true;
}

// The decoders allocate and free other blocks, large and small, through the
// same allocator while the window is in use.
TEST(LzmaFileAllocatorTest, OnlyTheViewIsFileBacked) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  base::FilePath temp_file;
  {
    LzmaFileAllocator allocator(temp_dir.GetPath(), kLarge);
    ISzAlloc* sz = &allocator;  // As the decoders call it.
    ASSERT_TRUE(allocator.is_file_backed());
    temp_file = allocator.temp_file_path();
    EXPECT_TRUE(temp_dir.GetPath().IsParent(temp_file));
    EXPECT_EQ(nullptr, sz->Alloc(sz, 0));

    void* window = sz->Alloc(sz, 2 * kLarge);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, allocator.view());
    memset(window, 'w', 2 * kLarge);
    int64_t size = 0;
    ASSERT_TRUE(base::GetFileSize(temp_file, &size));
    EXPECT_EQ(static_cast<int64_t>(2 * kLarge), size);

    // Neither a smaller block nor a second large one touches the view.
    void* small = sz->Alloc(sz, kLarge - 1);
    void* second = sz->Alloc(sz, 3 * kLarge);
    ASSERT_NE(nullptr, small);
    ASSERT_NE(nullptr, second);
    EXPECT_FALSE(allocator.IsInView(small));
    EXPECT_FALSE(allocator.IsInView(second));
    memset(second, 's', 3 * kLarge);
    sz->Free(sz, small);
    sz->Free(sz, second);
    EXPECT_EQ(window, allocator.view());
    EXPECT_TRUE(IsFilled(window, 2 * kLarge, 'w'));

    sz->Free(sz, window);
    EXPECT_EQ(nullptr, allocator.view());
    EXPECT_FALSE(allocator.IsInView(window));
    // Without a view, the next large block is file-backed again.
    void* again = sz->Alloc(sz, kLarge);
    EXPECT_EQ(again, allocator.view());
    sz->Free(sz, again);
  }
  EXPECT_FALSE(base::PathExists(temp_file));
  EXPECT_TRUE(base::IsDirectoryEmpty(temp_dir.GetPath()));
}

// The window's file lies in the package folder, which other programs may
// write: a link at a name it could take is passed over, and nobody else may
// open the file.
TEST(LzmaFileAllocatorTest, WindowFileIsMadeNewAndNobodyElses) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  const base::FilePath victim = temp_dir.GetPath().Append(L"victim.txt");
  ASSERT_TRUE(base::WriteFile(victim, std::string_view("precious")));
  const std::wstring stem =
      L"lzma_" + std::to_wstring(::GetCurrentProcessId()) + L"_";
  unsigned next = 0;
  {
    LzmaFileAllocator first(temp_dir.GetPath(), kLarge);
    ASSERT_EQ(1, swscanf(first.temp_file_path().BaseName().value().c_str(),
                         (stem + L"%u.tmp").c_str(), &next));
  }
  std::vector<base::FilePath> links;
  for (unsigned n = next + 1; n <= next + 5; ++n) {
    links.push_back(
        temp_dir.GetPath().Append(stem + std::to_wstring(n) + L".tmp"));
    ASSERT_TRUE(base::test::MakeFileLink(links.back(), victim));
  }
  {
    LzmaFileAllocator allocator(temp_dir.GetPath(), kLarge);
    ISzAlloc* sz = &allocator;
    void* window = sz->Alloc(sz, kLarge);
    ASSERT_EQ(window, allocator.view());
    memset(window, 'w', kLarge);
    EXPECT_FALSE(base::File(allocator.temp_file_path(),
                            base::File::FLAG_OPEN | base::File::FLAG_WRITE)
                     .IsValid());
    sz->Free(sz, window);
  }
  std::string text;
  EXPECT_TRUE(base::ReadFileToString(victim, &text));
  EXPECT_EQ("precious", text);
  for (const base::FilePath& link : links)
    base::test::RemoveLink(link);
}

// Without a temporary file everything comes from the heap; a large block
// freed serves the next window that fits it.
TEST(LzmaFileAllocatorTest, HeapWindowsServeTheNextOne) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  LzmaFileAllocator allocator(temp_dir.GetPath().AppendASCII("missing"),
                              kLarge);
  ISzAlloc* sz = &allocator;
  EXPECT_FALSE(allocator.is_file_backed());
  void* window = sz->Alloc(sz, 2 * kLarge);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(nullptr, allocator.view());
  memset(window, 'h', 2 * kLarge);
  sz->Free(sz, window);

  // Far smaller: a block of its own.
  void* small = sz->Alloc(sz, kLarge / 2);
  EXPECT_NE(window, small);
  void* next = sz->Alloc(sz, 2 * kLarge - 100);
  EXPECT_EQ(window, next);
  // Handed out once only.
  void* other = sz->Alloc(sz, 2 * kLarge);
  EXPECT_NE(next, other);
  memset(other, 'o', 2 * kLarge);
  EXPECT_TRUE(IsFilled(next, 2 * kLarge - 100, 'h'));
  sz->Free(sz, small);
  sz->Free(sz, next);
  sz->Free(sz, other);
  EXPECT_TRUE(base::IsDirectoryEmpty(temp_dir.GetPath()));
}

TEST(LzmaFileAllocatorTest, ReplacedViewIsZeroedMemoryAtTheSameAddress) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  LzmaFileAllocator allocator(temp_dir.GetPath(), kLarge);
  ISzAlloc* sz = &allocator;
  EXPECT_FALSE(allocator.ReplaceViewWithZeroedMemory());
  void* window = sz->Alloc(sz, kLarge);
  ASSERT_EQ(window, allocator.view());
  memset(window, 'w', kLarge);
  ASSERT_TRUE(allocator.ReplaceViewWithZeroedMemory());
  EXPECT_EQ(window, allocator.view());
  EXPECT_TRUE(allocator.IsInView(window));
  EXPECT_TRUE(IsFilled(window, kLarge, '\0'));
  // Once is enough: private memory has no disk to fail.
  EXPECT_FALSE(allocator.ReplaceViewWithZeroedMemory());
  sz->Free(sz, window);
  EXPECT_EQ(nullptr, allocator.view());
}

}  // namespace
}  // namespace installer
