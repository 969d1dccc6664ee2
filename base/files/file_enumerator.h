// Lists the entries of a folder, optionally of its whole tree, that match
// a wildcard pattern with Windows' own matching rules.
//
//   base::FileEnumerator pins(dir, false, base::FileEnumerator::FILES,
//                             FILE_PATH_LITERAL("*.lnk"));
//   for (base::FilePath path = pins.Next(); !path.empty();
//        path = pins.Next()) { ... }
//
// The entries of a folder come before those of its sub-folders. A recursive
// walk descends into every sub-folder whether or not its name matches the
// pattern, but never through a reparse point (junction or link), so it
// cannot leave the tree or loop. "." and ".." are never listed.

#ifndef BASE_FILES_FILE_ENUMERATOR_H_
#define BASE_FILES_FILE_ENUMERATOR_H_

#include <windows.h>

#include <cstdint>
#include <stack>
#include <vector>

#include "base/files/file_path.h"
#include "base/time/time.h"

namespace base {

class FileEnumerator {
 public:
  class FileInfo {
   public:
    FileInfo();

    bool IsDirectory() const;
    // The base name of the entry.
    FilePath GetName() const;
    int64_t GetSize() const;
    const WIN32_FIND_DATAW& find_data() const { return find_data_; }

   private:
    friend class FileEnumerator;
    WIN32_FIND_DATAW find_data_;
  };

  enum FileType {
    FILES = 1 << 0,
    DIRECTORIES = 1 << 1,
  };

  // |file_type| is a mix of FileType bits.
  FileEnumerator(const FilePath& root_path, bool recursive, int file_type);
  // |pattern| holds "*" and "?" wildcards and matches base names.
  FileEnumerator(const FilePath& root_path,
                 bool recursive,
                 int file_type,
                 FilePath::StringPieceType pattern);
  FileEnumerator(const FileEnumerator&) = delete;
  FileEnumerator& operator=(const FileEnumerator&) = delete;
  ~FileEnumerator();

  // The full path of the next entry, or the empty path when there is none.
  FilePath Next();
  // About the entry that Next returned last.
  FileInfo GetInfo() const;

 private:
  struct Entry {
    FilePath path;
    FileInfo info;
  };

  // Reads the matching entries of |folder| and queues its sub-folders.
  void ReadFolder(const FilePath& folder);

  const bool recursive_;
  const int file_type_;
  const FilePath::StringType pattern_;
  std::stack<FilePath> pending_folders_;
  std::vector<Entry> entries_;
  size_t next_entry_ = 0;
};

}  // namespace base

#endif  // BASE_FILES_FILE_ENUMERATOR_H_
