#include "desktop/windows/installer/drive_access.h"

#include <winioctl.h>

#include "base/logging.h"
#include "base/win/scoped_handle.h"

namespace installer {

namespace {

// Not in the headers of every SDK.
constexpr DWORD kIoctlStorageCheckVerify2 = 0x2D0800;

class Win32DriveAccess : public DriveAccess {
 public:
  Win32DriveAccess() = default;

  DWORD GetLogicalDriveMask() override { return ::GetLogicalDrives(); }

  bool HasMedium(wchar_t letter) override {
    const std::wstring device = std::wstring(L"\\\\.\\") + letter + L":";
    base::win::ScopedHandle drive(
        ::CreateFileW(device.c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr));
    if (!drive.IsValid()) {
      VLOG(1) << "Cannot open drive " << device << ": " << ::GetLastError();
      return false;
    }
    DWORD returned = 0;
    if (::DeviceIoControl(drive.Get(), kIoctlStorageCheckVerify2, nullptr, 0,
                          nullptr, 0, &returned, nullptr)) {
      return true;
    }
    DWORD error = ::GetLastError();
    VLOG(1) << "Drive " << device << " holds no medium we can see: " << error;
    return error == ERROR_MEDIA_CHANGED;
  }

  UINT GetDriveTypeOf(const std::wstring& root) override {
    return ::GetDriveTypeW(root.c_str());
  }
};

}  // namespace

DriveAccess::~DriveAccess() = default;

// static
DriveAccess* DriveAccess::GetInstance() {
  if (DriveAccess* overridden = base::InstanceOverride<DriveAccess>::Get())
    return overridden;
  // Stateless and asked from worker threads too: never destroyed.
  static DriveAccess* const instance = new Win32DriveAccess();
  return instance;
}

}  // namespace installer
