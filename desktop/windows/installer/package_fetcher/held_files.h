// What a fetch writes into the download folder, which every program of the
// user may write: the attempt's package, the archive it unpacks, the
// package folder and its files, the additional files. Each folder is made
// new by this run, and each file is a base::NewFile: created new, never
// through a link, and once written sealed, held for reading only, after its
// content is found to be what was written (something may have written it
// in the moment between). Others can then read and run it, but not write,
// rename or delete it, until the hold is let go. A folder is held without
// FILE_SHARE_DELETE, so it cannot be renamed away under its files. So what
// the backend runs, loads and copies from the package are the bytes this
// run wrote, for as long as the front end lives.
// What is held is deleted only where it still is what this object held:
// through a handle on that very file or folder. What the programs this run
// started left in a held folder goes with it, each file at its place; a
// link among it goes by itself, never what it leads to (Wine deletes a
// link's target through its name).
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
#include <string>
#include <string_view>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/files/new_file.h"
#include "base/synchronization/lock.h"
#include "base/win/scoped_handle.h"

namespace installer {

class HeldFiles {
 public:
  HeldFiles();
  HeldFiles(const HeldFiles&) = delete;
  HeldFiles& operator=(const HeldFiles&) = delete;
  // Lets go of everything, leaving it on disk.
  ~HeldFiles();

  // Creates |folder|, whose name must be free, with |security| (may be
  // null: inherited), and holds it.
  bool CreateFolder(const base::FilePath& folder,
                    PSECURITY_DESCRIPTOR security = nullptr);
  // Holds |path|, a file that this run created new and closed, when it is
  // still the file |made| names (when given; else a file at its place) and
  // its content has the SHA-256 |sha256| (hex); false, logged, otherwise.
  bool HoldWritten(const base::FilePath& path,
                   const std::string& sha256,
                   const base::FileIdentity* made = nullptr);
  // Seals |file|, which the caller made new and wrote, and holds it when
  // its content has the SHA-256 |sha256| (hex); otherwise it is deleted,
  // and false is returned (logged).
  bool HoldNewFile(base::NewFile file, const std::string& sha256);
  // Writes |data| into |file|, which the caller made new, and holds it
  // when, sealed, it holds |data|; otherwise as HoldNewFile.
  bool WriteNewFile(base::NewFile file, std::string_view data);
  // Copies |source|, a file this run made new and holds, into the new file
  // |target| and holds the copy as HoldNewFile does.
  bool CopyInto(base::NewFile* source,
                const base::FilePath& target,
                const std::string& sha256);
  // Creates |path| new, under that very name, with |data| and holds it.
  bool WriteNewFile(const base::FilePath& path, std::string_view data);
  // Holds every file and folder below the held folder |folder| that is not
  // held yet, as it is now: what a program that this run started wrote
  // there. False (logged) on a link or what cannot be held.
  bool HoldTree(const base::FilePath& folder);
  // The content of the held file |path|, of at most 1 MiB, read through its
  // hold.
  bool ReadHeld(const base::FilePath& path, std::string* content);
  // Gives the held file |path| the content |data|: the file is deleted
  // where it still is what was held, and made new with |data| under its
  // name. False, logged, when it cannot; the file is then no longer held.
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
  // A held file, or a held folder.
  struct Entry {
    base::FilePath path;
    base::NewFile file;
    base::win::ScopedHandle folder;
    base::FileIdentity id;
  };

  // Opens |path|, a folder at its place, for holding; gives its |id|.
  static base::win::ScopedHandle OpenFolder(const base::FilePath& path,
                                            base::FileIdentity* id);
  static bool DeleteEntry(Entry* entry);
  // Lets go of the entry, leaving what it holds on disk.
  static void Keep(Entry* entry);
  static std::wstring Key(const base::FilePath& path);
  void AddFile(base::NewFile file);
  void AddFolder(const base::FilePath& path,
                 base::win::ScopedHandle handle,
                 const base::FileIdentity& id);
  void Add(Entry entry);
  // Takes |path|'s entry out, if held.
  bool Take(const base::FilePath& path, Entry* entry);

  mutable base::Lock lock_;
  std::map<std::wstring, Entry> held_;
  // The keys in the order they were held; some may be gone.
  std::vector<std::wstring> order_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HELD_FILES_H_
