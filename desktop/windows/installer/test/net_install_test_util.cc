#include "desktop/windows/installer/test/net_install_test_util.h"

#include <windows.h>

#include <stdint.h>

#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "components/sevenzip/test/test_archive_writer.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

bool CopyWithPayload(const base::FilePath& exe,
                     const std::string& payload,
                     const base::FilePath& target) {
  std::string trailer = "KVX" + payload;
  const uint32_t length = static_cast<uint32_t>(payload.size());
  trailer.append(reinterpret_cast<const char*>(&length), sizeof(length));
  return base::CopyFile(exe, target) &&
         base::AppendToFile(target, trailer.data(),
                            static_cast<int>(trailer.size()));
}

std::string MakeArchiveOfTree(const base::FilePath& root) {
  std::vector<sevenzip::test::TestEntry> entries;
  base::FileEnumerator enumerator(
      root, true,
      base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = enumerator.Next(); !path.empty();
       path = enumerator.Next()) {
    base::FilePath relative;
    root.AppendRelativePath(path, &relative);
    sevenzip::test::TestEntry entry;
    const std::wstring& name = relative.value();
    entry.name.assign(name.begin(), name.end());
    entry.is_dir = enumerator.GetInfo().IsDirectory();
    if (!entry.is_dir)
      base::ReadFileToString(path, &entry.data);
    entries.push_back(entry);
  }
  return sevenzip::test::MakeCopyArchive(entries);
}

std::map<std::wstring, std::string> ReadFileTree(const base::FilePath& root) {
  std::map<std::wstring, std::string> tree;
  base::FileEnumerator enumerator(root, true, base::FileEnumerator::FILES);
  for (base::FilePath path = enumerator.Next(); !path.empty();
       path = enumerator.Next()) {
    base::FilePath relative;
    root.AppendRelativePath(path, &relative);
    base::ReadFileToString(path, &tree[relative.value()]);
  }
  return tree;
}

std::string FileBodySteps(const base::FilePath& path) {
  return "[{\"file\": \"" + base::WideToUTF8(UnixPath(path)) + "\"}]";
}

std::string DownloadAddressReply(const std::string& installer,
                                 const std::string& checksum,
                                 const std::string& extra) {
  return "{\"installer\": \"" + installer + "\", \"installer_checksum\": \"" +
         checksum + "\"" + (extra.empty() ? "" : ", " + extra) + "}";
}

std::string FileChecksum(const base::FilePath& path) {
  std::string data;
  if (!base::ReadFileToString(path, &data))
    return std::string();
  return ComputeSha256Hex(data.data(), data.size());
}

void ExpectOnlyLogsIn(const base::FilePath& download_folder) {
  for (const auto& entry : ReadFileTree(download_folder)) {
    EXPECT_TRUE(base::EndsWith(entry.first, L".log",
                               base::CompareCase::SENSITIVE))
        << entry.first;
  }
}

}  // namespace test
}  // namespace installer
