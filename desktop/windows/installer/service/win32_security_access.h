// SecurityAccess over the real Win32 calls: GetNamedSecurityInfoW,
// SetNamedSecurityInfoW and the process's token.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_SECURITY_ACCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_SECURITY_ACCESS_H_

#include "desktop/windows/installer/service/security_access.h"

namespace installer {

class Win32SecurityAccess : public SecurityAccess {
 public:
  Win32SecurityAccess();
  Win32SecurityAccess(const Win32SecurityAccess&) = delete;
  Win32SecurityAccess& operator=(const Win32SecurityAccess&) = delete;
  ~Win32SecurityAccess() override;

  // SecurityAccess:
  DWORD ReadSecurity(const std::wstring& path,
                     SE_OBJECT_TYPE type,
                     SECURITY_INFORMATION info,
                     ScopedSecurityDescriptor* descriptor) override;
  DWORD WriteDacl(const std::wstring& path,
                  SE_OBJECT_TYPE type,
                  const ACL* dacl) override;
  DWORD WriteOwner(const std::wstring& path,
                   SE_OBJECT_TYPE type,
                   PSID owner) override;
  bool SetPrivilege(const wchar_t* privilege, bool enable) override;
  bool IsUserAdmin(bool consider_linked_token) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_SECURITY_ACCESS_H_
