// A SecurityAccess that keeps the descriptors of named objects in memory, as
// SDDL, and plays the rules that matter to the installer: an object can be
// locked so that reading its descriptor or writing its DACL is refused until
// BUILTIN\Administrators owns it; changing an owner needs the take-ownership
// or restore privilege enabled; a token that is not an administrator's holds
// neither. Used where the platform under test (Wine) stores no file ACLs and
// never runs without full administrator rights.
//
//   FakeSecurityAccess fake;
//   SecurityAccess::ScopedOverrideForTesting override(&fake);
//   fake.SetObject(L"C:\\dir", L"O:SYG:SYD:(A;;FA;;;SY)");
//   fake.Lock(L"C:\\dir", /*read=*/true, /*write=*/true);

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SECURITY_ACCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SECURITY_ACCESS_H_

#include <map>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/security_access.h"

namespace installer {

class FakeSecurityAccess : public SecurityAccess {
 public:
  FakeSecurityAccess();
  FakeSecurityAccess(const FakeSecurityAccess&) = delete;
  FakeSecurityAccess& operator=(const FakeSecurityAccess&) = delete;
  ~FakeSecurityAccess() override;

  // Adds or replaces the object |path| (any object type) with the
  // descriptor |sddl|, which should name owner, group and DACL.
  void SetObject(const std::wstring& path, const std::wstring& sddl);
  // The object's descriptor as SDDL in the system's canonical spelling
  // ("O:...G:...D:..."); empty for an unknown object.
  std::wstring GetSddl(const std::wstring& path) const;
  // Refuses reading the descriptor (|read|) and writing the DACL (|write|)
  // with ERROR_ACCESS_DENIED while the owner is not BUILTIN\Administrators.
  void Lock(const std::wstring& path, bool read, bool write);
  // Reads of |path| succeed without a descriptor, as Wine answers for keys
  // of the 32-bit registry view.
  void AnswerWithoutDescriptor(const std::wstring& path);

  // Whether the token holds the take-ownership and restore privileges, so
  // that SetPrivilege can enable them (an administrator's token does).
  void set_privileges_held(bool held) { privileges_held_ = held; }
  // The answers of IsUserAdmin without and with the linked token.
  void set_admin(bool elevated, bool user_is_admin) {
    elevated_admin_ = elevated;
    user_admin_ = user_is_admin;
  }

  // Every call in order: "read PATH", "write_dacl PATH", "write_owner PATH
  // SID", "+PRIVILEGE" or "-PRIVILEGE" (successful privilege changes only).
  const std::vector<std::wstring>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

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

 private:
  // The parts of a descriptor in their binary form; an empty owner or
  // group is absent.
  struct Object {
    Object();
    Object(const Object&);
    Object& operator=(const Object&);
    ~Object();

    std::vector<BYTE> owner;
    std::vector<BYTE> group;
    std::vector<BYTE> dacl;
    bool null_dacl = false;
    bool lock_read = false;
    bool lock_write = false;
    bool no_descriptor = false;
  };

  // Fills |absolute| with the parts of |object| that |info| asks for and
  // it has; returns which parts those are.
  static SECURITY_INFORMATION Describe(const Object& object,
                                       SECURITY_INFORMATION info,
                                       SECURITY_DESCRIPTOR* absolute);
  bool OwnedByAdmins(const Object& object) const;
  bool IsEnabled(const wchar_t* privilege) const;

  std::map<std::wstring, Object> objects_;
  std::vector<std::wstring> enabled_privileges_;
  std::vector<std::wstring> calls_;
  bool privileges_held_ = true;
  bool elevated_admin_ = true;
  bool user_admin_ = true;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_SECURITY_ACCESS_H_
