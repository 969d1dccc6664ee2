// Links planted in a folder the way another program would: on Wine a Unix
// symbolic link made from the Unix side (where Wine keeps links, and which
// stands in for a junction, an object-manager link or a hard link), on
// Windows CreateSymbolicLinkW.

#ifndef BASE_TEST_PLANTED_LINK_H_
#define BASE_TEST_PLANTED_LINK_H_

#include "base/files/file_path.h"

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

}  // namespace test
}  // namespace base

#endif  // BASE_TEST_PLANTED_LINK_H_
