#include "desktop/windows/installer/test/fake_security_access.h"

#include <sddl.h>

#include <algorithm>

#include "base/logging.h"

namespace installer {

namespace {

// Wine parses "NO_ACCESS_CONTROL" into an empty ACL and prints a null DACL
// as "D:", so the fake spells null DACLs itself.
constexpr wchar_t kNullDaclSddl[] = L"D:NO_ACCESS_CONTROL";

std::vector<BYTE> CopySid(PSID sid) {
  if (!sid)
    return std::vector<BYTE>();
  BYTE* bytes = static_cast<BYTE*>(sid);
  return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(sid));
}

std::vector<BYTE> CopyAcl(const ACL* acl) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(acl);
  return std::vector<BYTE>(bytes, bytes + acl->AclSize);
}

std::wstring SidToString(PSID sid) {
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text))
    return L"?";
  std::wstring result = text;
  ::LocalFree(text);
  return result;
}

bool IsSidOf(const std::vector<BYTE>& sid, WELL_KNOWN_SID_TYPE type) {
  return !sid.empty() &&
         ::IsWellKnownSid(const_cast<BYTE*>(sid.data()), type) != FALSE;
}

}  // namespace

// static
SECURITY_INFORMATION FakeSecurityAccess::Describe(
    const Object& object,
    SECURITY_INFORMATION info,
    SECURITY_DESCRIPTOR* absolute) {
  ::InitializeSecurityDescriptor(absolute, SECURITY_DESCRIPTOR_REVISION);
  SECURITY_INFORMATION present = 0;
  if ((info & OWNER_SECURITY_INFORMATION) && !object.owner.empty()) {
    ::SetSecurityDescriptorOwner(absolute,
                                 const_cast<BYTE*>(object.owner.data()), FALSE);
    present |= OWNER_SECURITY_INFORMATION;
  }
  if ((info & GROUP_SECURITY_INFORMATION) && !object.group.empty()) {
    ::SetSecurityDescriptorGroup(absolute,
                                 const_cast<BYTE*>(object.group.data()), FALSE);
    present |= GROUP_SECURITY_INFORMATION;
  }
  if (info & DACL_SECURITY_INFORMATION) {
    PACL dacl =
        object.null_dacl
            ? nullptr
            : reinterpret_cast<PACL>(const_cast<BYTE*>(object.dacl.data()));
    ::SetSecurityDescriptorDacl(absolute, TRUE, dacl, FALSE);
    present |= DACL_SECURITY_INFORMATION;
  }
  return present;
}

FakeSecurityAccess::Object::Object() = default;
FakeSecurityAccess::Object::Object(const Object&) = default;
FakeSecurityAccess::Object& FakeSecurityAccess::Object::operator=(
    const Object&) = default;
FakeSecurityAccess::Object::~Object() = default;

FakeSecurityAccess::FakeSecurityAccess() = default;
FakeSecurityAccess::~FakeSecurityAccess() = default;

void FakeSecurityAccess::SetObject(const std::wstring& path,
                                   const std::wstring& sddl) {
  std::wstring text = sddl;
  Object object;
  size_t null_dacl = text.find(kNullDaclSddl);
  if (null_dacl != std::wstring::npos) {
    text.erase(null_dacl, std::size(kNullDaclSddl) - 1);
    object.null_dacl = true;
  }
  PSECURITY_DESCRIPTOR raw = nullptr;
  CHECK(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      text.c_str(), SDDL_REVISION_1, &raw, nullptr))
      << "Bad SDDL " << sddl;
  ScopedSecurityDescriptor descriptor(raw);
  PSID sid = nullptr;
  BOOL defaulted = FALSE;
  ::GetSecurityDescriptorOwner(raw, &sid, &defaulted);
  object.owner = CopySid(sid);
  sid = nullptr;
  ::GetSecurityDescriptorGroup(raw, &sid, &defaulted);
  object.group = CopySid(sid);
  BOOL present = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted);
  if (present && dacl && !object.null_dacl)
    object.dacl = CopyAcl(dacl);
  else
    object.null_dacl = true;
  auto existing = objects_.find(path);
  if (existing != objects_.end()) {
    object.lock_read = existing->second.lock_read;
    object.lock_write = existing->second.lock_write;
    object.no_descriptor = existing->second.no_descriptor;
  }
  objects_[path] = object;
}

std::wstring FakeSecurityAccess::GetSddl(const std::wstring& path) const {
  auto it = objects_.find(path);
  if (it == objects_.end())
    return std::wstring();
  const Object& object = it->second;
  SECURITY_DESCRIPTOR absolute;
  SECURITY_INFORMATION info =
      Describe(object,
               OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                   (object.null_dacl ? 0 : DACL_SECURITY_INFORMATION),
               &absolute);
  wchar_t* text = nullptr;
  std::wstring result;
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          &absolute, SDDL_REVISION_1, info, &text, nullptr)) {
    result = text;
    ::LocalFree(text);
  }
  if (object.null_dacl)
    result += kNullDaclSddl;
  return result;
}

void FakeSecurityAccess::Lock(const std::wstring& path, bool read, bool write) {
  DCHECK(objects_.count(path)) << "Unknown object";
  objects_[path].lock_read = read;
  objects_[path].lock_write = write;
}

void FakeSecurityAccess::AnswerWithoutDescriptor(const std::wstring& path) {
  objects_[path].no_descriptor = true;
}

DWORD FakeSecurityAccess::ReadSecurity(const std::wstring& path,
                                       SE_OBJECT_TYPE type,
                                       SECURITY_INFORMATION info,
                                       ScopedSecurityDescriptor* descriptor) {
  calls_.push_back(L"read " + path);
  descriptor->reset();
  auto it = objects_.find(path);
  if (it == objects_.end())
    return ERROR_FILE_NOT_FOUND;
  const Object& object = it->second;
  if (object.no_descriptor)
    return ERROR_SUCCESS;
  if (object.lock_read && !OwnedByAdmins(object))
    return ERROR_ACCESS_DENIED;

  SECURITY_DESCRIPTOR absolute;
  Describe(object, info, &absolute);
  // Windows hands out self-relative descriptors from LocalAlloc.
  DWORD size = 0;
  ::MakeSelfRelativeSD(&absolute, nullptr, &size);
  ScopedSecurityDescriptor self_relative(::LocalAlloc(LPTR, size));
  if (!self_relative ||
      !::MakeSelfRelativeSD(&absolute, self_relative.get(), &size)) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  *descriptor = std::move(self_relative);
  return ERROR_SUCCESS;
}

DWORD FakeSecurityAccess::WriteDacl(const std::wstring& path,
                                    SE_OBJECT_TYPE type,
                                    const ACL* dacl) {
  calls_.push_back(L"write_dacl " + path);
  auto it = objects_.find(path);
  if (it == objects_.end())
    return ERROR_FILE_NOT_FOUND;
  Object& object = it->second;
  if (object.lock_write && !OwnedByAdmins(object))
    return ERROR_ACCESS_DENIED;
  object.null_dacl = dacl == nullptr;
  object.dacl = dacl ? CopyAcl(dacl) : std::vector<BYTE>();
  return ERROR_SUCCESS;
}

DWORD FakeSecurityAccess::WriteOwner(const std::wstring& path,
                                     SE_OBJECT_TYPE type,
                                     PSID owner) {
  calls_.push_back(L"write_owner " + path + L" " + SidToString(owner));
  auto it = objects_.find(path);
  if (it == objects_.end())
    return ERROR_FILE_NOT_FOUND;
  // Taking ownership makes oneself (here: Administrators) the owner; only
  // the restore privilege may name anyone else.
  std::vector<BYTE> new_owner = CopySid(owner);
  bool may_write = IsEnabled(SE_RESTORE_NAME) ||
                   (IsEnabled(SE_TAKE_OWNERSHIP_NAME) &&
                    IsSidOf(new_owner, WinBuiltinAdministratorsSid));
  if (!may_write)
    return ERROR_ACCESS_DENIED;
  it->second.owner = new_owner;
  return ERROR_SUCCESS;
}

bool FakeSecurityAccess::SetPrivilege(const wchar_t* privilege, bool enable) {
  if (!privileges_held_)
    return false;
  auto it = std::find(enabled_privileges_.begin(), enabled_privileges_.end(),
                      privilege);
  if (enable && it == enabled_privileges_.end())
    enabled_privileges_.push_back(privilege);
  if (!enable && it != enabled_privileges_.end())
    enabled_privileges_.erase(it);
  calls_.push_back((enable ? L"+" : L"-") + std::wstring(privilege));
  return true;
}

bool FakeSecurityAccess::IsUserAdmin(bool consider_linked_token) {
  return consider_linked_token ? user_admin_ : elevated_admin_;
}

bool FakeSecurityAccess::OwnedByAdmins(const Object& object) const {
  return IsSidOf(object.owner, WinBuiltinAdministratorsSid);
}

bool FakeSecurityAccess::IsEnabled(const wchar_t* privilege) const {
  return std::find(enabled_privileges_.begin(), enabled_privileges_.end(),
                   privilege) != enabled_privileges_.end();
}

}  // namespace installer
