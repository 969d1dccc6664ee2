// Lets one installer window run per user and product. The lock is the file
// "installer.lck" in the installer's download folder, opened for writing
// and deleted when its handle closes; it holds the owner's UI thread id, so
// that a second instance can bring the first one's window to the front. A
// named mutex keeps two instances from creating or reading the file at the
// same moment.
//
//   InstallerUILock lock;
//   DWORD owner = lock.Acquire(download_folder);
//   if (owner != 0 && owner != ::GetCurrentThreadId())
//     InstallerUILock::BringThreadWindowToFront(owner);

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_UI_LOCK_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_UI_LOCK_H_

#include <windows.h>

#include "base/files/file_path.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"

namespace installer {

class InstallerUILock {
 public:
  // How long Acquire waits for another instance to finish with the file.
  static constexpr base::TimeDelta kMutexTimeout =
      base::TimeDelta::FromSeconds(30);

  InstallerUILock();
  InstallerUILock(const InstallerUILock&) = delete;
  InstallerUILock& operator=(const InstallerUILock&) = delete;
  // Releases.
  ~InstallerUILock();

  // The thread id of the lock's owner: the calling thread's when this
  // process now holds the lock, another's when another instance does, 0
  // when the owner cannot be told (the run then goes on).
  DWORD Acquire(const base::FilePath& download_folder);
  // Closes the file, which deletes it.
  void Release();

  // Brings the first enabled and visible top-level window of |thread_id|
  // to the foreground; false when there is none.
  static bool BringThreadWindowToFront(DWORD thread_id);

 private:
  DWORD CreateOrReadLockFile(const base::FilePath& path);

  base::win::ScopedHandle file_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_UI_LOCK_H_
