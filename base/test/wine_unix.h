// Wine's way to the Unix side, for tests that act on the prefix as a
// program outside Wine would: Wine keeps a link as a Unix symbolic link,
// and only the Unix side can make a small disk for a test. Not available on
// Windows.

#ifndef BASE_TEST_WINE_UNIX_H_
#define BASE_TEST_WINE_UNIX_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace base {
namespace test {

class WineUnix {
 public:
  WineUnix();

  bool available() const { return file_name_ && spawn_; }

  // |path| on the Unix side; empty when Wine cannot tell.
  std::string FileName(const FilePath& path) const;

  // Runs the Unix program |argv[0]|, waits for it and returns its exit
  // code.
  int Run(std::vector<std::string> argv) const;

  // Makes the Unix link |link| to |target|, which need not exist.
  bool Link(const FilePath& link, const FilePath& target) const;

 private:
  using FileNameFunction = char* (*)(const wchar_t*);
  using SpawnFunction = int (*)(char* const*, int);
  const FileNameFunction file_name_;
  const SpawnFunction spawn_;
};

}  // namespace test
}  // namespace base

#endif  // BASE_TEST_WINE_UNIX_H_
