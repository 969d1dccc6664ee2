#include "base/test/planted_link.h"

#include <windows.h>

#include <string>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/wine_unix.h"
#include "base/threading/platform_thread.h"

namespace base {
namespace test {

namespace {

// Whether anything, a dangling link included, is at |path|.
bool NameTaken(const FilePath& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(path.value().c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  ::FindClose(find);
  return true;
}

}  // namespace

bool IsWine() {
  return WineUnix().available();
}

bool MakeDirectoryLink(const FilePath& link, const FilePath& target) {
  WineUnix wine;
  if (wine.available()) {
    wine.Link(link, target);
  } else {
    ::CreateSymbolicLinkW(link.value().c_str(), target.value().c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY);
  }
  return PathExists(link);
}

bool MakeFileLink(const FilePath& link, const FilePath& target) {
  WineUnix wine;
  // Wine lists no link whose target is missing: ln's answer tells.
  if (wine.available())
    return wine.Link(link, target);
  ::CreateSymbolicLinkW(link.value().c_str(), target.value().c_str(), 0);
  return NameTaken(link);
}

void RemoveLink(const FilePath& link) {
  WineUnix wine;
  if (wine.available()) {
    // A Unix link, also one whose target is gone: Wine lists none such.
    const std::string folder = wine.FileName(link.DirName());
    if (!folder.empty()) {
      wine.Run({"/bin/rm", "-f",
                folder + "/" + WideToUTF8(link.BaseName().value())});
    }
    return;
  }
  if (!::RemoveDirectoryW(link.value().c_str()))
    ::DeleteFileW(link.value().c_str());
}

bool OverwriteWhenWritable(const FilePath& path,
                           std::string_view content,
                           TimeDelta limit) {
  const TimeTicks end = TimeTicks::Now() + limit;
  do {
    File file(path,
              File::FLAG_OPEN | File::FLAG_WRITE | File::FLAG_SHARE_DELETE);
    if (file.IsValid()) {
      const int size = static_cast<int>(content.size());
      return file.Write(0, content.data(), size) == size &&
             file.SetLength(size);
    }
    PlatformThread::Sleep(TimeDelta::FromMilliseconds(5));
  } while (TimeTicks::Now() < end);
  return false;
}

}  // namespace test
}  // namespace base
