// A DriveAccess that plays drives of any kind: each added letter has a drive
// type and may hold a medium. Letters not added do not exist. Installs
// itself for its lifetime.
//
//   FakeDriveAccess drives;
//   drives.AddDrive(L'E', DRIVE_REMOVABLE, /*has_medium=*/true);

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_DRIVE_ACCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_DRIVE_ACCESS_H_

#include <map>
#include <string>

#include "desktop/windows/installer/drive_access.h"

namespace installer {
namespace test {

class FakeDriveAccess : public DriveAccess {
 public:
  FakeDriveAccess();
  FakeDriveAccess(const FakeDriveAccess&) = delete;
  FakeDriveAccess& operator=(const FakeDriveAccess&) = delete;
  ~FakeDriveAccess() override;

  void AddDrive(wchar_t letter, UINT drive_type, bool has_medium);

  // DriveAccess:
  DWORD GetLogicalDriveMask() override;
  bool HasMedium(wchar_t letter) override;
  UINT GetDriveTypeOf(const std::wstring& root) override;

 private:
  struct Drive {
    UINT type;
    bool has_medium;
  };

  std::map<wchar_t, Drive> drives_;
  ScopedOverrideForTesting override_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_DRIVE_ACCESS_H_
