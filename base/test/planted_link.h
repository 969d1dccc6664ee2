// Links planted in a folder the way another program would: on Wine a Unix
// symbolic link made from the Unix side (where Wine keeps links, and which
// stands in for a junction, an object-manager link or a hard link), on
// Windows CreateSymbolicLinkW.

#ifndef BASE_TEST_PLANTED_LINK_H_
#define BASE_TEST_PLANTED_LINK_H_

#include <string_view>

#include "base/files/file_path.h"
#include "base/time/time.h"

namespace base {
namespace test {

// Whether Wine's way to the Unix side is there.
bool IsWine();

// Makes |link| a link to the folder |target|; false when none was made.
bool MakeDirectoryLink(const FilePath& link, const FilePath& target);
// Makes |link| a link to the file |target|, which need not exist; false
// when none was made.
bool MakeFileLink(const FilePath& link, const FilePath& target);
// Removes the link |link| itself, never what it points at.
void RemoveLink(const FilePath& link);

// Writes |content| over the file |path| as another program would, as soon
// as it can open it for writing, trying for at most |limit|; false when it
// never could.
bool OverwriteWhenWritable(const FilePath& path,
                           std::string_view content,
                           TimeDelta limit);

}  // namespace test
}  // namespace base

#endif  // BASE_TEST_PLANTED_LINK_H_
