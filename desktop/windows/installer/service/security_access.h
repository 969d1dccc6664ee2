// The few Windows calls through which the service utilities read and change
// the security of named files and registry keys, and ask about the
// process's token. The utilities build descriptors and ACLs and decide
// everything themselves; only the application goes through this interface,
// so that tests can replace it where the platform cannot store or enforce
// what is written (file ACLs, ownership, a token that is not an elevated
// administrator).
//
//   ScopedSecurityDescriptor descriptor;
//   DWORD error = SecurityAccess::GetInstance()->ReadSecurity(
//       path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, &descriptor);

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_SECURITY_ACCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_SECURITY_ACCESS_H_

#include <windows.h>

#include <aclapi.h>

#include <memory>
#include <string>

#include "base/instance_override.h"

namespace installer {

// Memory that Windows handed out with LocalAlloc (descriptors, ACLs,
// explicit-access arrays), freed with LocalFree.
struct LocalFreeDeleter {
  void operator()(void* memory) const { ::LocalFree(memory); }
};
using ScopedSecurityDescriptor = std::unique_ptr<void, LocalFreeDeleter>;
using ScopedAcl = std::unique_ptr<ACL, LocalFreeDeleter>;

class SecurityAccess {
 public:
  SecurityAccess(const SecurityAccess&) = delete;
  SecurityAccess& operator=(const SecurityAccess&) = delete;
  virtual ~SecurityAccess();

  // The process-wide instance: the Win32 one unless a test replaced it.
  static SecurityAccess* GetInstance();

  // Reads the parts |info| (OWNER_, GROUP_, DACL_SECURITY_INFORMATION) of
  // the descriptor of the object |path| of |type|, as GetNamedSecurityInfoW
  // names objects ("C:\dir\file", "CURRENT_USER\Software\Key"). Returns a
  // Win32 error code; on success |*descriptor| holds a self-relative
  // descriptor from LocalAlloc, or null when the object has none.
  virtual DWORD ReadSecurity(const std::wstring& path,
                             SE_OBJECT_TYPE type,
                             SECURITY_INFORMATION info,
                             ScopedSecurityDescriptor* descriptor) = 0;

  // Replaces the object's DACL by |dacl| (null: a null DACL, full access to
  // everyone). Returns a Win32 error code.
  virtual DWORD WriteDacl(const std::wstring& path,
                          SE_OBJECT_TYPE type,
                          const ACL* dacl) = 0;

  // Makes |owner| the object's owner. Returns a Win32 error code.
  virtual DWORD WriteOwner(const std::wstring& path,
                           SE_OBJECT_TYPE type,
                           PSID owner) = 0;

  // Enables or disables the privilege named |privilege| (an SE_*_NAME) in
  // the process's token; false when the token does not hold it.
  virtual bool SetPrivilege(const wchar_t* privilege, bool enable) = 0;

  // Whether the process's token is a member of BUILTIN\Administrators.
  // With |consider_linked_token| the full token linked to a filtered
  // (unelevated) one is asked instead, so that the answer is whether the
  // user is an administrator at all.
  virtual bool IsUserAdmin(bool consider_linked_token) = 0;

  // Makes GetInstance() answer |access| until the object goes away. Not
  // thread-safe: for tests, set before the code under test runs.
  using ScopedOverrideForTesting =
      base::InstanceOverride<SecurityAccess>::Scoped;

 protected:
  SecurityAccess() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_SECURITY_ACCESS_H_
