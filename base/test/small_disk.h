// A folder that is a disk of its own with little room, so that writes into
// it fail with a full disk: a Unix tmpfs mounted over an empty folder of
// the prefix. Needs Wine and the right to mount; tests skip without.

#ifndef BASE_TEST_SMALL_DISK_H_
#define BASE_TEST_SMALL_DISK_H_

#include <string>

#include "base/files/file_path.h"

namespace base {
namespace test {

class ScopedSmallDisk {
 public:
  ScopedSmallDisk() = default;
  ScopedSmallDisk(const ScopedSmallDisk&) = delete;
  ScopedSmallDisk& operator=(const ScopedSmallDisk&) = delete;
  // Unmounts the disk; what was written on it goes with it.
  ~ScopedSmallDisk();

  // Makes the empty folder |folder| a disk of |kib| KiB; false when it
  // cannot be done here.
  bool Mount(const FilePath& folder, int kib);

 private:
  std::string unix_folder_;
};

}  // namespace test
}  // namespace base

#endif  // BASE_TEST_SMALL_DISK_H_
