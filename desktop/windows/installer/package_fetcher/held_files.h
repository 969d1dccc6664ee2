// What a fetch writes into the download folder, which every program of the
// user may write: the package folder and its files, the additional files,
// the archive it unpacks. Each folder is made new by this run and each file
// is created new, never through a link, its SHA-256 taken as it is written.
// Once written, a file is opened again with a share mode that lets others
// read and run it, but not write, rename or delete it; its content is
// checked against that SHA-256 (something may have written it between the
// close and the reopening) and it stays so held until the hold is let go.
// A folder is held without FILE_SHARE_DELETE, so it cannot be renamed away
// under its files. So what the backend runs, loads and copies from the
// package are the bytes this run wrote, for as long as the front end lives.
// What is held is deleted only where it still is what this object made:
// a name that another program has made a link since is left alone (Wine
// deletes a link's target through its name).
//
//   HeldFiles held;
//   if (!held.CreateFolder(folder) ||
//       !held.WriteNewFile(folder.Append(L"x"), "data"))
//     ...  // Logged; what was made stays held.
//   held.DeleteAll();
//
// Any thread; one at a time.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HELD_FILES_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HELD_FILES_H_

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/files/file_path.h"
#include "base/synchronization/lock.h"
#include "base/win/scoped_handle.h"

namespace crypto {
class SecureHash;
}

namespace installer {

class HeldFiles {
 public:
  HeldFiles();
  HeldFiles(const HeldFiles&) = delete;
  HeldFiles& operator=(const HeldFiles&) = delete;
  ~HeldFiles();

  // Creates |path| new (CREATE_NEW, without sharing) for writing and
  // deleting; invalid and logged when the name is taken, by a link too.
  static base::win::ScopedHandle CreateNewFile(const base::FilePath& path);
  // Writes all of |data| to |file|, adding it to |hash| (may be null).
  static bool WriteAll(HANDLE file,
                       const void* data,
                       size_t size,
                       crypto::SecureHash* hash);
  // The SHA-256 (hex) of the whole content of |file| from its start; empty
  // when it cannot be read. |content| (may be null) receives the bytes.
  static std::string HashContent(HANDLE file, std::string* content);

  // Creates |folder|, whose name must be free, with |security| (may be
  // null: inherited), and holds it.
  bool CreateFolder(const base::FilePath& folder,
                    PSECURITY_DESCRIPTOR security = nullptr);
  // Holds the closed file |path| when its content has the SHA-256 |sha256|
  // (hex); false, logged, otherwise.
  bool HoldWritten(const base::FilePath& path, const std::string& sha256);
  // Creates |path| new with |data| and holds it; a file of more than 1 MiB
  // cannot be rewritten.
  bool WriteNewFile(const base::FilePath& path, std::string_view data);
  // Copies |source|, held meanwhile, into the new file |target| and holds
  // it, when what was copied has the SHA-256 |sha256| (hex).
  bool CopyInto(const base::FilePath& source,
                const base::FilePath& target,
                const std::string& sha256);
  // Holds |path| as it is now, a file that another program wrote (a
  // component installer that its archive unpacked); its SHA-256 goes to
  // |sha256| (may be null).
  bool HoldAsItIs(const base::FilePath& path, std::string* sha256);
  // Holds every file and folder below the held folder |folder| that is not
  // held yet, as it is now: what a program that this run started wrote
  // there. False (logged) on a link or what cannot be held.
  bool HoldTree(const base::FilePath& folder);
  // The content of the held file |path|, read through its hold.
  bool ReadHeld(const base::FilePath& path, std::string* content);
  // Gives the held file |path| the content |data| in place: the file must
  // still hold what this object vouched for. False, logged, when it cannot;
  // the file is then no longer held.
  bool Rewrite(const base::FilePath& path, std::string_view data);

  // Lets go of |path|, or of everything, leaving it on disk.
  void Release(const base::FilePath& path);
  void ReleaseAll();
  // Lets go of |path| and deletes it, or everything, newest first; false
  // (logged) when something stays.
  bool Delete(const base::FilePath& path);
  bool DeleteAll();

  bool IsHeld(const base::FilePath& path) const;
  size_t size() const;

 private:
  // Which file or folder of which volume a handle is open on.
  struct FileId {
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;
    bool operator==(const FileId& other) const {
      return volume == other.volume && index_high == other.index_high &&
             index_low == other.index_low;
    }
  };
  struct Entry {
    base::FilePath path;
    base::win::ScopedHandle handle;
    FileId id;
    // Of a file, unless it is a large one that was compared as written;
    // empty for a folder.
    std::string sha256;
    bool folder = false;
  };

  // Opens |path|, not following a link, for holding; gives its |id|.
  static base::win::ScopedHandle OpenToHold(const base::FilePath& path,
                                            bool folder,
                                            FileId* id);
  static bool GetId(HANDLE handle, FileId* id, DWORD* attributes);
  // Whether |file| holds exactly |data|.
  static bool SameContent(HANDLE file, std::string_view data);
  static bool DeleteEntry(Entry* entry);
  static std::wstring Key(const base::FilePath& path);
  void Add(const base::FilePath& path,
           base::win::ScopedHandle handle,
           const FileId& id,
           const std::string& sha256,
           bool folder = false);
  // Takes |path|'s entry out, if held.
  bool Take(const base::FilePath& path, Entry* entry);

  mutable base::Lock lock_;
  std::map<std::wstring, Entry> held_;
  // The keys in the order they were held; some may be gone.
  std::vector<std::wstring> order_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HELD_FILES_H_
