#include "desktop/windows/installer/test/windows_like_security_access.h"

namespace installer {
namespace test {

namespace {

bool IsFile(SE_OBJECT_TYPE type) {
  return type == SE_FILE_OBJECT;
}

}  // namespace

WindowsLikeSecurityAccess::WindowsLikeSecurityAccess() = default;
WindowsLikeSecurityAccess::~WindowsLikeSecurityAccess() = default;

DWORD WindowsLikeSecurityAccess::ReadSecurity(
    const std::wstring& path,
    SE_OBJECT_TYPE type,
    SECURITY_INFORMATION info,
    ScopedSecurityDescriptor* descriptor) {
  if (!IsFile(type))
    return win32_.ReadSecurity(path, type, info, descriptor);
  AddFileOnce(path);
  return FakeSecurityAccess::ReadSecurity(path, type, info, descriptor);
}

DWORD WindowsLikeSecurityAccess::WriteDacl(const std::wstring& path,
                                           SE_OBJECT_TYPE type,
                                           const ACL* dacl) {
  if (!IsFile(type))
    return win32_.WriteDacl(path, type, dacl);
  AddFileOnce(path);
  return FakeSecurityAccess::WriteDacl(path, type, dacl);
}

DWORD WindowsLikeSecurityAccess::WriteOwner(const std::wstring& path,
                                            SE_OBJECT_TYPE type,
                                            PSID owner) {
  if (!IsFile(type))
    return win32_.WriteOwner(path, type, owner);
  AddFileOnce(path);
  return FakeSecurityAccess::WriteOwner(path, type, owner);
}

bool WindowsLikeSecurityAccess::SetPrivilege(const wchar_t* privilege,
                                             bool enable) {
  // The fake keeps its own account for the files.
  FakeSecurityAccess::SetPrivilege(privilege, enable);
  return win32_.SetPrivilege(privilege, enable);
}

void WindowsLikeSecurityAccess::AddFileOnce(const std::wstring& path) {
  if (GetSddl(path).empty())
    SetObject(path, L"O:BAG:SYD:(A;;FA;;;WD)");
}

}  // namespace test
}  // namespace installer
