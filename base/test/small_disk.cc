#include "base/test/small_disk.h"

#include <string>

#include "base/strings/string_number_conversions.h"
#include "base/test/wine_unix.h"

namespace base {
namespace test {

ScopedSmallDisk::~ScopedSmallDisk() {
  if (!unix_folder_.empty())
    WineUnix().Run({"/bin/umount", "-l", unix_folder_});
}

bool ScopedSmallDisk::Mount(const FilePath& folder, int kib) {
  WineUnix wine;
  if (!wine.available() || !unix_folder_.empty())
    return false;
  const std::string unix_folder = wine.FileName(folder);
  if (unix_folder.empty())
    return false;
  std::string size = "size=" + NumberToString(kib);
  size += 'k';
  if (wine.Run({"/bin/mount", "-t", "tmpfs", "-o", size, "tmpfs",
                unix_folder}) != 0) {
    return false;
  }
  unix_folder_ = unix_folder;
  return true;
}

}  // namespace test
}  // namespace base
