#include "desktop/windows/installer/package_fetcher/lzma_util.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "components/sevenzip/header_parser.h"
#include "components/sevenzip/test/test_archive_writer.h"
#include "desktop/windows/installer/package_fetcher/lzma_file_allocator.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/wininet/download_progress_delegate.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using sevenzip::test::MakeCopyArchive;

// The archives and tree of the 7z reader's test set-up.
base::FilePath TestFiles() {
  base::FilePath exe_dir;
  EXPECT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_dir));
  return exe_dir.AppendASCII("sevenzip_test_files");
}

class RecordingDelegate : public DownloadProgressDelegate {
 public:
  void SetTotalProgress(int total) override {
    events.push_back("total " + std::to_string(total));
  }
  void SetCurrentProgress(int current) override {
    events.push_back(std::to_string(current));
  }
  void NotifyStalled(int) override { ADD_FAILURE() << "not a download"; }

  std::vector<std::string> events;
};

struct TreeEntry {
  bool is_dir = false;
  std::string data;
  ULONGLONG mtime = 0;
  bool operator==(const TreeEntry& other) const {
    return is_dir == other.is_dir && data == other.data && mtime == other.mtime;
  }
};

// Everything below |root| by relative path: folders, and files with their
// bytes and modification times.
std::map<std::wstring, TreeEntry> ReadTree(const base::FilePath& root) {
  std::map<std::wstring, TreeEntry> tree;
  base::FileEnumerator enumerator(
      root, true,
      base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = enumerator.Next(); !path.empty();
       path = enumerator.Next()) {
    base::FilePath relative;
    EXPECT_TRUE(root.AppendRelativePath(path, &relative));
    TreeEntry entry;
    const base::FileEnumerator::FileInfo info = enumerator.GetInfo();
    entry.is_dir = info.IsDirectory();
    if (!entry.is_dir) {
      EXPECT_TRUE(base::ReadFileToString(path, &entry.data));
      const FILETIME& time = info.find_data().ftLastWriteTime;
      entry.mtime = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) |
                    time.dwLowDateTime;
    }
    tree[relative.value()] = entry;
  }
  return tree;
}

bool WriteArchive(const base::FilePath& path, const std::string& archive) {
  return base::WriteFile(path, archive.data(),
                         static_cast<int>(archive.size())) ==
         static_cast<int>(archive.size());
}

class Archive7zTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    output_ = temp_dir_.GetPath().AppendASCII("package");
  }

  const base::FilePath& temp() const { return temp_dir_.GetPath(); }

  // Opens and extracts |archive| into output_.
  DWORD Unpack(const std::string& archive, Archive7z* unpacker) {
    const base::FilePath path = temp().AppendASCII("archive.7z");
    EXPECT_TRUE(WriteArchive(path, archive));
    EXPECT_EQ(0u, unpacker->Open(path));
    return unpacker->Extract(output_, nullptr);
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath output_;
};

class Archive7zTreeTest : public Archive7zTest,
                          public testing::WithParamInterface<const char*> {};

// Every archive 7zz made of the set-up's tree unpacks to the same tree:
// bytes, modification times, empty files and folders, nested and
// non-ASCII names, and nothing else (no temporary file stays).
TEST_P(Archive7zTreeTest, UnpacksTheTreeAsItWas) {
  RecordingDelegate delegate;
  Archive7z archive(&delegate);
  ASSERT_EQ(0u, archive.Open(TestFiles().AppendASCII(GetParam())));
  base::FilePath last_path;
  EXPECT_EQ(0u, archive.Extract(output_, &last_path));
  EXPECT_EQ(Archive7z::kNoError, archive.error_kind());

  const auto expected = ReadTree(TestFiles().AppendASCII("tree"));
  const auto actual = ReadTree(output_);
  ASSERT_EQ(12u, expected.size());
  for (const auto& [path, entry] : expected) {
    auto found = actual.find(path);
    ASSERT_NE(actual.end(), found) << path;
    EXPECT_EQ(entry, found->second) << path;
  }
  EXPECT_EQ(expected.size(), actual.size());

  // The number of entries first, then each index before its entry.
  std::vector<std::string> progress = {"total 12"};
  for (int i = 0; i < 12; ++i)
    progress.push_back(std::to_string(i));
  EXPECT_EQ(progress, delegate.events);
  base::FilePath relative;
  ASSERT_TRUE(output_.AppendRelativePath(last_path, &relative));
  EXPECT_EQ(1u, actual.count(relative.value()));
}

INSTANTIATE_TEST_SUITE_P(,
                         Archive7zTreeTest,
                         testing::Values("copy.7z",
                                         "default.7z",
                                         "lzma.7z",
                                         "bcj2.7z",
                                         "blocks.7z"));

TEST_F(Archive7zTest, OpenFailures) {
  Archive7z archive(nullptr);
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
            archive.Open(temp().AppendASCII("missing.7z")));
  EXPECT_EQ(Archive7z::kArchiveNotFound, archive.error_kind());
  // Nothing is open: the kind of the failed open stays.
  EXPECT_EQ(Archive7z::kArchiveError, archive.Extract(output_, nullptr));
  EXPECT_EQ(Archive7z::kArchiveNotFound, archive.error_kind());
  EXPECT_FALSE(base::PathExists(output_));

  // A folder cannot be read as a file.
  EXPECT_NE(0u, archive.Open(temp()));
  EXPECT_EQ(Archive7z::kArchiveOpenFailed, archive.error_kind());
}

TEST_F(Archive7zTest, RefusesWhatIsNotAWholeArchive) {
  std::string archive;
  ASSERT_TRUE(
      base::ReadFileToString(TestFiles().AppendASCII("default.7z"), &archive));
  struct {
    std::string bytes;
    const char* log;
  } cases[] = {
      {"A text file and not an archive at all.\r\n",
       "Error returned by SzArchiveOpen: 17"},
      {archive.substr(0, archive.size() - 10),
       "Error returned by SzArchiveOpen: 6"},
  };
  for (const auto& c : cases) {
    base::ScopedLogCapture log;
    Archive7z unpacker(nullptr);
    EXPECT_EQ(Archive7z::kArchiveError, Unpack(c.bytes, &unpacker));
    EXPECT_EQ(Archive7z::kArchiveReadFailed, unpacker.error_kind());
    EXPECT_TRUE(log.ContainsError(c.log)) << c.log;
    EXPECT_FALSE(base::PathExists(output_));
  }
}

// A CRC error in an entry leaves the entries before it and nothing of it.
TEST_F(Archive7zTest, DamagedDataLeavesNoPartialFile) {
  std::string archive, readme;
  ASSERT_TRUE(
      base::ReadFileToString(TestFiles().AppendASCII("copy.7z"), &archive));
  ASSERT_TRUE(base::ReadFileToString(
      TestFiles().AppendASCII("tree/app/resources/readme.txt"), &readme));
  const size_t at = archive.find(readme.substr(1000, 100));
  ASSERT_NE(std::string::npos, at);
  archive[at + 50] ^= 0x01;

  base::ScopedLogCapture log;
  Archive7z unpacker(nullptr);
  EXPECT_EQ(Archive7z::kArchiveError, Unpack(archive, &unpacker));
  EXPECT_EQ(Archive7z::kEntryDecodeFailed, unpacker.error_kind());
  EXPECT_TRUE(log.ContainsError("Error returned by SzExtract: 3"));
  EXPECT_FALSE(
      base::PathExists(output_.AppendASCII("app/resources/readme.txt")));
  EXPECT_TRUE(base::DirectoryExists(output_.AppendASCII("app/resources")));
}

// Names that could write outside the folder, or that Windows would read as
// something else, refuse the whole archive before anything is written.
TEST_F(Archive7zTest, RefusesUnsafeNamesAndWritesNothing) {
  const base::FilePath escaped = temp().AppendASCII("escaped.txt");
  for (const char16_t* name :
       {u"../escaped.txt", u"app/../../escaped.txt", u"C:\\escaped.txt",
        u"/escaped.txt", u"\\\\server\\share\\escaped.txt", u"app//escaped.txt",
        u"escaped.txt:stream", u"NUL.txt", u"escaped\u0001.txt",
        u"escaped.txt.", u""}) {
    base::ScopedLogCapture log;
    Archive7z unpacker(nullptr);
    EXPECT_EQ(Archive7z::kArchiveError,
              Unpack(MakeCopyArchive({{u"app/good.txt", "fine"},
                                      {name, "written where it should not"}}),
                     &unpacker));
    EXPECT_EQ(Archive7z::kEntryNameFailed, unpacker.error_kind());
    EXPECT_TRUE(log.ContainsError("Refusing the archive"));
    EXPECT_FALSE(base::PathExists(output_));
    EXPECT_FALSE(base::PathExists(escaped));
  }

  // An archive without names.
  sevenzip::test::HeaderWriter header;
  header.Number(sevenzip::kIdHeader).Number(sevenzip::kIdFilesInfo).Number(1);
  header.Property(sevenzip::kIdEmptyStream, "\x80");
  header.Number(sevenzip::kIdEnd).Number(sevenzip::kIdEnd);
  base::ScopedLogCapture log;
  Archive7z unpacker(nullptr);
  EXPECT_EQ(Archive7z::kArchiveError,
            Unpack(sevenzip::test::MakeArchive("", header.data()), &unpacker));
  EXPECT_EQ(Archive7z::kEntryNameFailed, unpacker.error_kind());
  EXPECT_TRUE(log.ContainsError("Couldn't get file name"));
}

// Windows finds names regardless of case: two entries on one path would
// leave only the later one, so such an archive is refused before anything
// is written. Folders named twice only merge.
TEST_F(Archive7zTest, RefusesEntriesThatShareAPathAndWritesNothing) {
  using sevenzip::test::TestEntry;
  const struct {
    const char* name;
    std::vector<TestEntry> entries;
  } kCases[] = {
      {"case of a file",
       {{u"files_list", "a\r\nb\r\n"},
        {u"kelvo.exe", "x"},
        {u"FILES_LIST", ""}}},
      {"case of a folder in the path",
       {{u"app/data.pak", "1"}, {u"App/Data.pak", "2"}}},
      {"non-ASCII case",
       {{u"\u00e9t\u00e9.txt", "1"}, {u"\u00c9T\u00c9.txt", "2"}}},
      {"same name twice", {{u"a.txt", "1"}, {u"a.txt", "2"}}},
      {"file then folder", {{u"app", "file"}, {u"APP", "", /*is_dir=*/true}}},
      {"folder then file", {{u"app", "", /*is_dir=*/true}, {u"app", "file"}}},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    base::ScopedLogCapture log;
    Archive7z unpacker(nullptr);
    EXPECT_EQ(Archive7z::kArchiveError,
              Unpack(MakeCopyArchive(test_case.entries), &unpacker));
    EXPECT_EQ(Archive7z::kEntryNameFailed, unpacker.error_kind());
    EXPECT_TRUE(log.ContainsError("has the path of an earlier entry"));
    EXPECT_FALSE(base::PathExists(output_));
  }

  // The same folder named twice, in two cases, is one folder holding both
  // files.
  Archive7z unpacker(nullptr);
  ASSERT_EQ(0u, Unpack(MakeCopyArchive({{u"app", "", /*is_dir=*/true},
                                        {u"APP", "", /*is_dir=*/true},
                                        {u"app/a.txt", "1"},
                                        {u"App/b.txt", "2"}}),
                       &unpacker));
  std::map<std::wstring, TreeEntry> tree = ReadTree(output_);
  ASSERT_EQ(3u, tree.size());
  EXPECT_TRUE(tree[L"app"].is_dir);
  EXPECT_EQ("1", tree[L"app\\a.txt"].data);
  EXPECT_EQ("2", tree[L"app\\b.txt"].data);
}

TEST_F(Archive7zTest, CreateFailures) {
  // A folder stands where the archive has a file; it stays, and nothing
  // after it is written.
  ASSERT_TRUE(base::CreateDirectory(output_.AppendASCII("a.txt")));
  base::ScopedLogCapture log;
  Archive7z unpacker(nullptr);
  const DWORD result =
      Unpack(MakeCopyArchive(
                 {{u"a.txt", "data"}, {u"b.txt", "more"}, {u"c", "", true}}),
             &unpacker);
  EXPECT_NE(0u, result);
  EXPECT_NE(Archive7z::kArchiveError, result);
  EXPECT_EQ(Archive7z::kCreateFileFailed, unpacker.error_kind());
  EXPECT_TRUE(log.ContainsError("Error returned by CreateFile: "));
  EXPECT_TRUE(base::DirectoryExists(output_.AppendASCII("a.txt")));
  EXPECT_FALSE(base::PathExists(output_.AppendASCII("b.txt")));
  EXPECT_FALSE(base::PathExists(output_.AppendASCII("c")));
  unpacker.Close();

  // The output folder cannot be made: a file has its name.
  ASSERT_TRUE(base::DeleteFile(output_, true));
  ASSERT_EQ(1, base::WriteFile(output_, "x", 1));
  Archive7z second(nullptr);
  EXPECT_NE(0u, Unpack(MakeCopyArchive({{u"a.txt", "data"}}), &second));
  EXPECT_EQ(Archive7z::kCreateFileFailed, second.error_kind());
}

// Also sees what GetFileAttributes does not: a link to a device.
bool IsListed(const base::FilePath& path) {
  WIN32_FIND_DATAW data;
  const HANDLE find = ::FindFirstFileW(path.value().c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  ::FindClose(find);
  return true;
}

// Runs a program of the Unix side under Wine, which neither waits for it
// nor passes its exit code: the caller's wait ends when |path| is listed
// or not as |listed| says (false after 10 s).
bool RunUnixCommand(const std::wstring& command_line,
                    const base::FilePath& path,
                    bool listed) {
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION process = {};
  std::wstring command = command_line;
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 1000 && IsListed(path) != listed; ++i)
    ::Sleep(10);
  return IsListed(path) == listed;
}

// A link planted at an entry's name, as another program of the user can
// make in a folder it may write, is never written through: the entry fails
// to be created and the extraction with it. (Under Wine a link to
// /dev/full stands for it: a write through it would fail with a full
// disk.) Windows calls cannot delete it, so the test does.
TEST_F(Archive7zTest, LinkAtAnEntrysNameIsNeverWrittenThrough) {
  ASSERT_TRUE(base::CreateDirectory(output_));
  const base::FilePath full = output_.AppendASCII("full");
  const std::wstring unix_full = test::UnixPath(full);
  if (unix_full.empty() ||
      !RunUnixCommand(L"Z:\\bin\\ln -s /dev/full \"" + unix_full + L"\"", full,
                      true)) {
    GTEST_SKIP() << "needs Wine's view of the Unix file system";
  }
  base::ScopedLogCapture log;
  Archive7z unpacker(nullptr);
  EXPECT_EQ(
      static_cast<DWORD>(ERROR_FILE_EXISTS),
      Unpack(MakeCopyArchive({{u"full", std::string(5000, 'f')}}), &unpacker));
  EXPECT_EQ(Archive7z::kCreateFileFailed, unpacker.error_kind());
  EXPECT_TRUE(log.ContainsError("Error returned by CreateFile"));
  EXPECT_FALSE(log.ContainsError("Error returned by WriteFile"));
  EXPECT_TRUE(
      RunUnixCommand(L"Z:\\bin\\rm \"" + unix_full + L"\"", full, false));
}

// A disk error on the mapped window, raised where the decoder would meet
// it, ends the extraction with kind 5 and leaves neither the entry being
// written nor the temporary file.
TEST_F(Archive7zTest, InPageErrorEndsTheExtraction) {
  constexpr DWORD kStatusDeviceDataError = 0xC000009C;
  bool raised = false;
  Archive7z unpacker(nullptr);
  unpacker.SetMinFileBackedWindowForTesting(1 << 20);
  unpacker.SetDecodeHookForTesting(base::BindRepeating(
      [](bool* raised, LzmaFileAllocator* allocator) {
        if (*raised || !allocator->view())
          return;
        *raised = true;
        const ULONG_PTR info[3] = {
            0, reinterpret_cast<ULONG_PTR>(allocator->view()) + 4096,
            kStatusDeviceDataError};
        ::RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, info);
      },
      &raised));
  base::ScopedLogCapture log;
  base::FilePath last_path;
  ASSERT_EQ(0u, unpacker.Open(TestFiles().AppendASCII("default.7z")));
  EXPECT_EQ(Archive7z::kInPageErrorResult,
            unpacker.Extract(output_, &last_path));
  ASSERT_TRUE(raised) << "the window was not file-backed";
  EXPECT_EQ(Archive7z::kInPageError, unpacker.error_kind());
  EXPECT_EQ(kStatusDeviceDataError, unpacker.in_page_status());
  EXPECT_TRUE(log.ContainsError(
      "EXCEPTION_IN_PAGE_ERROR while accessing mapped memory; NTSTATUS = "
      "0xC000009C"));
  EXPECT_FALSE(base::PathExists(last_path));
  for (const auto& [path, entry] : ReadTree(output_))
    EXPECT_NE(L".tmp", base::FilePath(path).Extension()) << path;
}

TEST_F(Archive7zTest, EnsureDirectoryCreatesAFolderOnce) {
  Archive7z archive(nullptr);
  const base::FilePath folder = output_.AppendASCII("a\\b");
  EXPECT_TRUE(archive.EnsureDirectory(folder));
  EXPECT_TRUE(base::DirectoryExists(folder));
  // Remembered: not made again.
  ASSERT_TRUE(base::DeleteFile(folder, false));
  EXPECT_TRUE(archive.EnsureDirectory(folder));
  EXPECT_FALSE(base::DirectoryExists(folder));
  // A new extraction starts afresh.
  ASSERT_EQ(0u, archive.Open(TestFiles().AppendASCII("copy.7z")));
  EXPECT_EQ(0u, archive.Extract(folder, nullptr));
  EXPECT_TRUE(base::DirectoryExists(folder.AppendASCII("empty folder")));
}

}  // namespace
}  // namespace installer
