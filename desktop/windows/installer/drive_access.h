// The questions the installer asks about drives: which letters exist,
// whether a drive holds a medium, and what kind of drive it is. They decide
// where a standalone copy may go and whether a path lies on a CD-ROM; tests
// replace them to play removable, network and optical drives, which the
// systems they run on lack (Wine cannot even ask for a medium).

#ifndef DESKTOP_WINDOWS_INSTALLER_DRIVE_ACCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_DRIVE_ACCESS_H_

#include <windows.h>

#include <string>

#include "base/instance_override.h"

namespace installer {

class DriveAccess {
 public:
  DriveAccess(const DriveAccess&) = delete;
  DriveAccess& operator=(const DriveAccess&) = delete;
  virtual ~DriveAccess();

  // The Win32 one unless a test replaced it. Never destroyed.
  static DriveAccess* GetInstance();

  // Bit 0 for A: up to bit 25 for Z:, set for each drive letter in use.
  virtual DWORD GetLogicalDriveMask() = 0;
  // Whether the drive |letter| ("E") can be opened and holds a medium
  // (IOCTL_STORAGE_CHECK_VERIFY2 succeeds or reports a changed medium).
  virtual bool HasMedium(wchar_t letter) = 0;
  // GetDriveTypeW of |root| ("E:\").
  virtual UINT GetDriveTypeOf(const std::wstring& root) = 0;

  // Makes GetInstance() answer |access| while alive. Not thread-safe: set
  // before the code under test runs.
  using ScopedOverrideForTesting = base::InstanceOverride<DriveAccess>::Scoped;

 protected:
  DriveAccess() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_DRIVE_ACCESS_H_
