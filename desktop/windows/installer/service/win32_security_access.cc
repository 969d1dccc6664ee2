#include "desktop/windows/installer/service/win32_security_access.h"

#include "base/logging.h"
#include "base/win/scoped_handle.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

// The token of this process, or an invalid handle.
base::win::ScopedHandle OpenOwnToken(DWORD access) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), access, &token))
    return base::win::ScopedHandle();
  return base::win::ScopedHandle(token);
}

// For a filtered token (an administrator's unelevated one), the full token
// linked to it; otherwise |token| itself. Invalid on failure.
base::win::ScopedHandle FullTokenOf(base::win::ScopedHandle token) {
  TOKEN_ELEVATION_TYPE elevation_type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (!::GetTokenInformation(token.Get(), TokenElevationType, &elevation_type,
                             sizeof(elevation_type), &size)) {
    return base::win::ScopedHandle();
  }
  if (elevation_type != TokenElevationTypeLimited)
    return token;
  TOKEN_LINKED_TOKEN linked = {};
  if (!::GetTokenInformation(token.Get(), TokenLinkedToken, &linked,
                             sizeof(linked), &size)) {
    return base::win::ScopedHandle();
  }
  return base::win::ScopedHandle(linked.LinkedToken);
}

}  // namespace

Win32SecurityAccess::Win32SecurityAccess() = default;
Win32SecurityAccess::~Win32SecurityAccess() = default;

DWORD Win32SecurityAccess::ReadSecurity(const std::wstring& path,
                                        SE_OBJECT_TYPE type,
                                        SECURITY_INFORMATION info,
                                        ScopedSecurityDescriptor* descriptor) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  DWORD error = ::GetNamedSecurityInfoW(path.c_str(), type, info, nullptr,
                                        nullptr, nullptr, nullptr, &raw);
  descriptor->reset(raw);
  return error;
}

DWORD Win32SecurityAccess::WriteDacl(const std::wstring& path,
                                     SE_OBJECT_TYPE type,
                                     const ACL* dacl) {
  return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), type,
                                 DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                 const_cast<ACL*>(dacl), nullptr);
}

DWORD Win32SecurityAccess::WriteOwner(const std::wstring& path,
                                      SE_OBJECT_TYPE type,
                                      PSID owner) {
  return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), type,
                                 OWNER_SECURITY_INFORMATION, owner, nullptr,
                                 nullptr, nullptr);
}

bool Win32SecurityAccess::SetPrivilege(const wchar_t* privilege, bool enable) {
  base::win::ScopedHandle token =
      OpenOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
  if (!token.IsValid())
    return false;
  return EnablePrivilege(privilege, enable, std::move(token));
}

bool Win32SecurityAccess::IsUserAdmin(bool consider_linked_token) {
  base::win::ScopedHandle token = OpenOwnToken(TOKEN_DUPLICATE | TOKEN_QUERY);
  if (!token.IsValid())
    return false;
  // Tokens know an elevation type, and may have a linked one, from Vista
  // on; before, the process's token is the user's whole answer.
  if (consider_linked_token &&
      base::win::GetVersion() >= base::win::VERSION_VISTA) {
    token = FullTokenOf(std::move(token));
    if (!token.IsValid())
      return false;
  }
  // CheckTokenMembership takes an impersonation token only.
  HANDLE duplicate = nullptr;
  if (!::DuplicateToken(token.Get(), SecurityIdentification, &duplicate))
    return false;
  base::win::ScopedHandle identification(duplicate);

  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(admins);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins,
                            &size)) {
    return false;
  }
  BOOL is_member = FALSE;
  return ::CheckTokenMembership(identification.Get(), admins, &is_member) &&
         is_member;
}

}  // namespace installer
