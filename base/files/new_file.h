// A file that this process made new in a folder that other programs may
// write (the temporary folder, a download folder), and holds so that what
// it later reads, copies or starts from that name is what it wrote.
//
// The file is created with CREATE_NEW, so a link or any other file planted
// at the name makes the creation fail instead of being followed; another
// name can then be taken. While held, other programs may read the file but
// neither write, rename nor delete it. It is removed through what was made:
// a handle opened again only when it is the same file. A file that a program
// this process started made there is held the same way (HoldExisting).
//
//   base::NewFile copy = base::NewFile::Create(folder.Append(L"a.exe"), 10);
//   if (!copy.IsValid() || !copy.Write(data, size) || !copy.Seal())
//     return false;  // The destructor removes what was made.
//   ... compare what copy.Read gives with what was written, start it ...
//   copy.Delete();

#ifndef BASE_FILES_NEW_FILE_H_
#define BASE_FILES_NEW_FILE_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/files/file.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/win/scoped_handle.h"

namespace base {

class NewFile {
 public:
  NewFile() = default;
  NewFile(NewFile&& other) noexcept;
  NewFile& operator=(NewFile&& other) noexcept;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  // Removes the file unless Keep was called.
  ~NewFile();

  // Creates |path| new. When the name is taken and |other_names| is above
  // 0, up to that many other names are tried: "_<process id>" inserted
  // before the extension, then "_<process id>_<n>". Invalid when none
  // could be created; error() says why the last one failed.
  static NewFile Create(const FilePath& path, int other_names = 0);

  // Holds the file at |path|, one that another program made (a program
  // this process started), as Seal holds a file that was written: others
  // may read it but neither write, rename nor delete it, and Delete removes
  // this very file. Invalid (logged) when no file of its own stands at that
  // very place: a link there is refused, also one that Wine cannot tell
  // from a file by its attributes. With |made|, who the file was when this
  // process made it and closed it, the file must be that one instead, which
  // is quicker to tell.
  static NewFile HoldExisting(const FilePath& path,
                              const FileIdentity* made = nullptr);

  bool IsValid() const { return file_.IsValid(); }
  const FilePath& path() const { return path_; }
  File::Error error() const { return error_; }
  bool sealed() const { return sealed_; }

  // Appends |size| bytes; false when not all of them were written. Only
  // before Seal.
  bool Write(const char* data, size_t size);
  // Empties the file. Only before Seal.
  bool Truncate();
  // Sets the time of the file's last change. Only before Seal.
  bool SetLastModified(const FILETIME& time);

  // Gives up writing and holds the file for reading only, so that nobody,
  // this process included, can write it any more while it is held: a
  // program can then be started from it, or it can be copied, and what is
  // read is what was written. The caller must still compare the content
  // with what it wrote: another program may have written in the moment
  // between. False, with the file no longer held, when the name holds
  // another file by then.
  bool Seal();

  // Reads at |offset|; the bytes read, 0 at the end, -1 on failure.
  int Read(int64_t offset, char* data, int size);
  // Whether the file holds exactly the |size| bytes at |data|.
  bool ContentEquals(const char* data, uint64_t size);

  // Removes the file through a handle on this very file; false (logged)
  // when that cannot be done, for example while a program started from it
  // still runs. Either way the file is no longer held.
  bool Delete();
  // Lets the file go and leaves it on disk.
  void Keep();

 private:
  NewFile(FilePath path, HANDLE handle);

  // Reads who the file is, and its |attributes| (may be null).
  bool ReadIdentity(DWORD* attributes = nullptr);
  bool IsSameFile(HANDLE other) const;

  FilePath path_;
  win::ScopedHandle file_;
  File::Error error_ = File::FILE_ERROR_FAILED;
  bool sealed_ = false;
  // Who the file is: the volume and the file's number on it.
  FileIdentity identity_;
};

}  // namespace base

#endif  // BASE_FILES_NEW_FILE_H_
