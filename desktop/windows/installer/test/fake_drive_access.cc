#include "desktop/windows/installer/test/fake_drive_access.h"

#include <cwctype>

namespace installer {
namespace test {

FakeDriveAccess::FakeDriveAccess() : override_(this) {}

FakeDriveAccess::~FakeDriveAccess() = default;

void FakeDriveAccess::AddDrive(wchar_t letter,
                               UINT drive_type,
                               bool has_medium) {
  drives_[static_cast<wchar_t>(std::towupper(letter))] = {drive_type,
                                                          has_medium};
}

DWORD FakeDriveAccess::GetLogicalDriveMask() {
  DWORD mask = 0;
  for (const auto& [letter, drive] : drives_)
    mask |= 1u << (letter - L'A');
  return mask;
}

bool FakeDriveAccess::HasMedium(wchar_t letter) {
  auto it = drives_.find(static_cast<wchar_t>(std::towupper(letter)));
  return it != drives_.end() && it->second.has_medium;
}

UINT FakeDriveAccess::GetDriveTypeOf(const std::wstring& root) {
  if (root.size() < 2 || root[1] != L':')
    return DRIVE_NO_ROOT_DIR;
  auto it = drives_.find(static_cast<wchar_t>(std::towupper(root[0])));
  return it == drives_.end() ? DRIVE_NO_ROOT_DIR : it->second.type;
}

}  // namespace test
}  // namespace installer
