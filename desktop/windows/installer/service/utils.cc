#include "desktop/windows/installer/service/utils.h"

#include <lmcons.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/memory_mapped_file.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/final_path.h"
#include "base/win/known_folder.h"
#include "base/win/pe_image.h"
#include "base/win/shortcut.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

namespace {

using ScopedExplicitAccess =
    std::unique_ptr<EXPLICIT_ACCESSW, LocalFreeDeleter>;

struct FreeSidDeleter {
  void operator()(void* sid) const { ::FreeSid(sid); }
};

// Folder paths must be shorter than this, file paths than MAX_PATH: the
// Win32 folder functions leave room for an 8.3 file name.
constexpr size_t kMaxFolderPathLength = 248;
// Windows documents kernel-object names as limited to MAX_PATH characters.
constexpr size_t kMaxKernelObjectNameLength = MAX_PATH;
// "~" and 16 hexadecimal digits.
constexpr size_t kHashSuffixLength = 17;
constexpr size_t kMinCanonicalTextLength = 32;

// Both CSIDL_FLAG_CREATE and CSIDL_FLAG_DONT_UNEXPAND.
constexpr int kCsidlCreateFlags = 0xa000;

// ------------------------------------------------------------------------
// Tokens and SIDs.

// An identification-level copy of the process's token, as AccessCheck and
// CheckTokenMembership want it; invalid on failure.
base::win::ScopedHandle GetIdentificationToken() {
  HANDLE process_token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY,
                          &process_token)) {
    return base::win::ScopedHandle();
  }
  base::win::ScopedHandle scoped_process_token(process_token);
  HANDLE duplicate = nullptr;
  if (!::DuplicateToken(process_token, SecurityIdentification, &duplicate))
    return base::win::ScopedHandle();
  return base::win::ScopedHandle(duplicate);
}

// The SID of the process's user. Granting by SID rather than by account
// name cannot pick a namesake account of another domain.
bool GetCurrentUserSid(std::vector<BYTE>* sid) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    return false;
  base::win::ScopedHandle scoped_token(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0)
    return false;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
    return false;
  PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  sid->assign(static_cast<BYTE*>(user),
              static_cast<BYTE*>(user) + ::GetLengthSid(user));
  return true;
}

bool GetAdministratorsSid(BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
  DWORD size = SECURITY_MAX_SID_SIZE;
  return ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid,
                              &size) != FALSE;
}

// Whether |sid| is the user's own or one of its enabled groups. The user
// is matched explicitly: Wine's CheckTokenMembership looks at groups only.
bool IsTokenMemberOf(PSID sid, const std::vector<BYTE>& user_sid) {
  if (!user_sid.empty() &&
      ::EqualSid(sid, const_cast<BYTE*>(user_sid.data()))) {
    return true;
  }
  BOOL is_member = FALSE;
  return ::CheckTokenMembership(nullptr, sid, &is_member) && is_member;
}

bool GetGenericMapping(SE_OBJECT_TYPE type, GENERIC_MAPPING* mapping) {
  switch (type) {
    case SE_FILE_OBJECT:
      *mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                  FILE_ALL_ACCESS};
      return true;
    case SE_REGISTRY_KEY:
    case SE_REGISTRY_WOW64_32KEY:
      *mapping = {KEY_READ, KEY_WRITE, KEY_READ, KEY_ALL_ACCESS};
      return true;
    default:
      return false;
  }
}

// ------------------------------------------------------------------------
// Granting access.

// Reads the owner and DACL of the object for GrantAccess, taking ownership
// when even reading is refused. A "success" without a descriptor (Wine
// answers so for the 32-bit registry view) is a failure.
bool ReadDaclForGrant(const std::wstring& path,
                      SE_OBJECT_TYPE type,
                      ScopedSecurityDescriptor* descriptor,
                      bool* took_ownership) {
  SecurityAccess* access = SecurityAccess::GetInstance();
  const SECURITY_INFORMATION info =
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  *took_ownership = false;
  DWORD error = access->ReadSecurity(path, type, info, descriptor);
  if (error == ERROR_ACCESS_DENIED) {
    if (!TakeOwnership(path, type))
      return false;
    *took_ownership = true;
    error = access->ReadSecurity(path, type, info, descriptor);
  }
  return error == ERROR_SUCCESS && *descriptor;
}

// The explicit entries of |dacl| without the rights of |access_mask| in the
// deny entries that apply to the current user; a deny entry left with no
// rights is dropped.
bool GetEditedExplicitEntries(PACL dacl,
                              ACCESS_MASK access_mask,
                              const std::vector<BYTE>& user_sid,
                              std::vector<EXPLICIT_ACCESSW>* edited,
                              ScopedExplicitAccess* storage) {
  ULONG count = 0;
  EXPLICIT_ACCESSW* entries = nullptr;
  if (::GetExplicitEntriesFromAclW(dacl, &count, &entries) != ERROR_SUCCESS)
    return false;
  // The entries point at SIDs inside this block.
  storage->reset(entries);
  for (ULONG i = 0; i < count; ++i) {
    EXPLICIT_ACCESSW entry = entries[i];
    if (entry.grfAccessMode == DENY_ACCESS &&
        entry.Trustee.TrusteeForm == TRUSTEE_IS_SID &&
        IsTokenMemberOf(reinterpret_cast<PSID>(entry.Trustee.ptstrName),
                        user_sid)) {
      entry.grfAccessPermissions &= ~access_mask;
      if (entry.grfAccessPermissions == 0)
        continue;
    }
    edited->push_back(entry);
  }
  return true;
}

// The grant to |user_sid| followed by |entries|; null on failure.
ScopedAcl BuildGrantedAcl(ACCESS_MASK access_mask,
                          PSID user_sid,
                          std::vector<EXPLICIT_ACCESSW>* entries) {
  EXPLICIT_ACCESSW grant = {};
  grant.grfAccessPermissions = access_mask;
  grant.grfAccessMode = GRANT_ACCESS;
  grant.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  ::BuildTrusteeWithSidW(&grant.Trustee, user_sid);
  grant.Trustee.TrusteeType = TRUSTEE_IS_USER;

  PACL raw = nullptr;
  if (::SetEntriesInAclW(1, &grant, nullptr, &raw) != ERROR_SUCCESS)
    return nullptr;
  ScopedAcl grant_acl(raw);
  if (entries->empty())
    return grant_acl;
  raw = nullptr;
  if (::SetEntriesInAclW(static_cast<ULONG>(entries->size()), entries->data(),
                         grant_acl.get(), &raw) != ERROR_SUCCESS) {
    return nullptr;
  }
  return ScopedAcl(raw);
}

// |old_dacl| with the grant of |access_mask| to the current user and its
// deny entries edited; null on failure.
ScopedAcl BuildNewDacl(PACL old_dacl,
                       ACCESS_MASK access_mask,
                       const GENERIC_MAPPING& mapping) {
  // Deny entries hold specific rights, so generic ones are mapped first.
  ACCESS_MASK specific_mask = access_mask;
  ::MapGenericMask(&specific_mask, const_cast<GENERIC_MAPPING*>(&mapping));
  std::vector<BYTE> user_sid;
  if (!GetCurrentUserSid(&user_sid))
    return nullptr;
  std::vector<EXPLICIT_ACCESSW> entries;
  ScopedExplicitAccess entries_storage;
  if (!GetEditedExplicitEntries(old_dacl, access_mask | specific_mask, user_sid,
                                &entries, &entries_storage)) {
    return nullptr;
  }
  return BuildGrantedAcl(access_mask, user_sid.data(), &entries);
}

// Writes |dacl|, taking ownership when the write is refused. Sets
// |*took_ownership| when it did.
bool WriteDaclForGrant(const std::wstring& path,
                       SE_OBJECT_TYPE type,
                       const ACL* dacl,
                       bool* took_ownership) {
  SecurityAccess* access = SecurityAccess::GetInstance();
  DWORD error = access->WriteDacl(path, type, dacl);
  if (error == ERROR_ACCESS_DENIED && TakeOwnership(path, type)) {
    *took_ownership = true;
    error = access->WriteDacl(path, type, dacl);
  }
  return error == ERROR_SUCCESS;
}

std::unique_ptr<SavedSecurityInfo> MakeSavedSecurityInfo(
    const std::wstring& path,
    SE_OBJECT_TYPE type,
    PACL old_dacl,
    ScopedSecurityDescriptor descriptor) {
  auto saved = std::make_unique<SavedSecurityInfo>();
  saved->object_path = path;
  saved->object_type = type;
  saved->old_dacl = old_dacl;
  saved->descriptor = std::move(descriptor);
  return saved;
}

// Gives the owner saved by a grant back; setting an owner other than
// oneself needs the restore privilege.
void RestoreOwner(const SavedSecurityInfo& saved) {
  SecurityAccess* access = SecurityAccess::GetInstance();
  if (!access->SetPrivilege(SE_RESTORE_NAME, true)) {
    LOG(WARNING) << "Cannot give the owner of " << saved.object_path
                 << " back: no restore privilege";
    return;
  }
  DWORD error =
      access->WriteOwner(saved.object_path, saved.object_type, saved.old_owner);
  access->SetPrivilege(SE_RESTORE_NAME, false);
  LOG_IF(WARNING, error != ERROR_SUCCESS)
      << "Cannot give the owner of " << saved.object_path
      << " back: " << logging::SystemErrorCodeToString(error);
}

// ------------------------------------------------------------------------
// Known folders.

// Where a system lacks FOLDERID_UserProgramFiles (Wine), the folder Windows
// would give: "Programs" in the local application data.
bool GetUserProgramFilesFallback(bool create, base::FilePath* path) {
  base::FilePath local_app_data;
  if (!base::win::GetKnownFolderPath(
          FOLDERID_LocalAppData,
          create ? base::win::KnownFolderAccess::kCreate
                 : base::win::KnownFolderAccess::kExisting,
          &local_app_data)) {
    return false;
  }
  base::FilePath programs = local_app_data.Append(L"Programs");
  if (create ? !base::CreateDirectory(programs)
             : !base::DirectoryExists(programs)) {
    return false;
  }
  *path = programs;
  return true;
}

bool GetFolderPathByCsidl(int csidl, bool create, std::wstring* path) {
  wchar_t buffer[MAX_PATH + 1] = {};
  HRESULT hr = ::SHGetFolderPathW(nullptr, csidl, nullptr, 0, buffer);
  if (FAILED(hr) && hr != E_INVALIDARG && create) {
    hr = ::SHGetFolderPathW(nullptr, csidl | kCsidlCreateFlags, nullptr, 0,
                            buffer);
  }
  if (FAILED(hr))
    return false;
  *path = buffer;
  return true;
}

// ------------------------------------------------------------------------
// Shortcuts.

bool TargetIsExecutable(const base::FilePath& target,
                        const base::FilePath& exe_path,
                        const BY_HANDLE_FILE_INFORMATION* exe_identity) {
  if (target.empty())
    return false;
  if (base::FilePath::CompareEqualIgnoreCase(target.value(), exe_path.value()))
    return true;
  BY_HANDLE_FILE_INFORMATION target_identity;
  return exe_identity && GetFileIdentity(target, &target_identity) &&
         IsSameFile(target_identity, *exe_identity);
}

// ------------------------------------------------------------------------
// Paths.

bool IsPathSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool IsReservedDeviceName(std::wstring_view component) {
  static constexpr const wchar_t* kReservedNames[] = {
      L"CON",  L"AUX",  L"COM1", L"COM2", L"COM3", L"COM4",
      L"LPT1", L"LPT2", L"LPT3", L"PRN",  L"NUL"};
  std::wstring_view stem = component.substr(0, component.find(L'.'));
  if (stem.size() != 3 && stem.size() != 4)
    return false;
  return std::any_of(std::begin(kReservedNames), std::end(kReservedNames),
                     [stem](const wchar_t* name) {
                       return base::EqualsCaseInsensitiveASCII(stem, name);
                     });
}

bool IsValidComponent(std::wstring_view component) {
  DCHECK(!component.empty());
  static constexpr std::wstring_view kForbidden = L"?\"<>*|:";
  for (wchar_t c : component) {
    if ((c >= 1 && c <= 31) || kForbidden.find(c) != std::wstring_view::npos)
      return false;
  }
  if (component.front() == L' ' || component.back() == L' ' ||
      component.back() == L'.') {
    return false;
  }
  return !IsReservedDeviceName(component);
}

// The end of the component starting at |start|: the next separator or the
// end of |text|.
size_t ComponentEnd(const std::wstring& text, size_t start) {
  size_t end = start;
  while (end < text.size() && !IsPathSeparator(text[end]))
    ++end;
  return end;
}

// Where the components of |text| start after its root, or npos when it has
// no drive or UNC root. Server and share names are checked like components.
size_t SkipRoot(const std::wstring& text) {
  if (text.size() >= 2 && base::IsAsciiAlpha(text[0]) && text[1] == L':') {
    // "C:name" would be relative to the drive's current folder.
    if (text.size() > 2 && !IsPathSeparator(text[2]))
      return std::wstring::npos;
    return 2;
  }
  if (text.size() < 2 || !IsPathSeparator(text[0]) ||
      !IsPathSeparator(text[1])) {
    return std::wstring::npos;
  }
  // "\\server\share\": both names must be there, each ended by a separator.
  size_t start = 2;
  for (int name = 0; name < 2; ++name) {
    size_t end = ComponentEnd(text, start);
    if (end == start || end == text.size() ||
        !IsValidComponent(std::wstring_view(text).substr(start, end - start))) {
      return std::wstring::npos;
    }
    start = end + 1;
  }
  return start;
}

// GetFullPathNameW of |text|: absolute, "." and ".." resolved, "/" turned
// into "\". The text with only its separators turned when that fails.
std::wstring GetFullPathText(const std::wstring& text) {
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = ::GetFullPathNameW(
        text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0)
      break;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
  return base::FilePath(text).NormalizePathSeparators().value();
}

// GetLongPathNameW of the existing |path|: 8.3 names expanded, the case
// kept as written. |path| when that fails.
base::FilePath GetLongPath(const base::FilePath& path) {
  std::wstring long_form(MAX_PATH, L'\0');
  DWORD length = ::GetLongPathNameW(path.value().c_str(), long_form.data(),
                                    static_cast<DWORD>(long_form.size()));
  if (length > long_form.size()) {
    long_form.resize(length);
    length = ::GetLongPathNameW(path.value().c_str(), long_form.data(),
                                static_cast<DWORD>(long_form.size()));
  }
  if (length == 0 || length >= long_form.size())
    return path;
  long_form.resize(length);
  return base::FilePath(long_form);
}

// The existing |path| as the file system names it: long names in their
// stored case, with another drive letter for the same place, a substituted
// drive and junctions resolved. Empty when it cannot be opened.
base::FilePath GetFinalPath(const base::FilePath& path) {
  // Backup semantics open a folder too; no access right is asked for.
  base::win::ScopedHandle file(::CreateFileW(
      path.value().c_str(), 0,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.IsValid())
    return base::FilePath();
  std::wstring text;
  if (!base::win::GetFinalPathOfHandle(
          file.Get(), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS, &text)) {
    static std::atomic<bool> said{false};
    if (::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED &&
        !said.exchange(true)) {
      LOG(WARNING) << "Before Windows Vista a folder is known by its long "
                      "path only: another drive letter, a substituted drive "
                      "or a junction for it names it differently";
    }
    return base::FilePath();
  }
  constexpr wchar_t kUncPrefix[] = L"\\\\?\\UNC\\";
  constexpr wchar_t kLocalPrefix[] = L"\\\\?\\";
  if (base::StartsWith(text, kUncPrefix, base::CompareCase::SENSITIVE))
    return base::FilePath(L"\\\\" + text.substr(wcslen(kUncPrefix)));
  if (base::StartsWith(text, kLocalPrefix, base::CompareCase::SENSITIVE))
    return base::FilePath(text.substr(wcslen(kLocalPrefix)));
  return base::FilePath(text);
}

// |path| in the spelling of the folder it names on disk (GetFinalPath) for
// its existing part; the part that does not exist yet (a folder before its
// install) is kept as written.
base::FilePath ToOnDiskSpelling(const base::FilePath& path) {
  base::FilePath existing = path;
  std::vector<base::FilePath::StringType> missing;
  while (!base::PathExists(existing)) {
    base::FilePath parent = existing.DirName();
    if (parent == existing)
      break;
    missing.push_back(existing.BaseName().value());
    existing = parent;
  }
  base::FilePath result = GetFinalPath(existing);
  if (result.empty())
    result = GetLongPath(existing);
  for (auto name = missing.rbegin(); name != missing.rend(); ++name)
    result = result.Append(*name);
  return result;
}

// Upper case by the file system's rules (not linguistic ones), so that
// names equal for Windows give equal text.
std::wstring ToFileSystemUpperCase(const std::wstring& text) {
  if (text.empty())
    return text;
  std::wstring upper(text.size(), L'\0');
  int length = ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(),
                              static_cast<int>(text.size()), upper.data(),
                              static_cast<int>(upper.size()));
  if (length <= 0)
    return base::ToUpperASCII(text);
  upper.resize(length);
  return upper;
}

// 64-bit FNV-1a over the UTF-16 code units. Not a defence against anyone:
// whoever can create named objects can take a name outright.
uint64_t HashText(const std::wstring& text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (wchar_t c : text) {
    for (int shift = 0; shift < 16; shift += 8) {
      hash ^= (static_cast<uint16_t>(c) >> shift) & 0xff;
      hash *= 0x100000001b3ULL;
    }
  }
  return hash;
}

std::wstring ShortenWithHash(const std::wstring& text, size_t max_length) {
  size_t keep = max_length - kHashSuffixLength;
  // Never split a surrogate pair.
  if (keep > 0 && IS_HIGH_SURROGATE(text[keep - 1]))
    --keep;
  return text.substr(0, keep) +
         base::StringPrintf(L"~%016llx",
                            static_cast<unsigned long long>(HashText(text)));
}

}  // namespace

// ------------------------------------------------------------------------
// User and token.

bool GetUserName(std::wstring* user_name) {
  wchar_t buffer[UNLEN + 1] = {};
  DWORD size = UNLEN + 1;
  if (!::GetUserNameW(buffer, &size))
    return false;
  *user_name = buffer;
  return true;
}

bool GetUserNameEx(std::wstring* user_name, EXTENDED_NAME_FORMAT format) {
  ULONG size = 0;
  if (!::GetUserNameExW(format, nullptr, &size) &&
      ::GetLastError() != ERROR_MORE_DATA) {
    return false;
  }
  std::wstring buffer(size + 1, L'\0');
  ULONG length = size + 1;
  if (!::GetUserNameExW(format, buffer.data(), &length))
    return false;
  buffer.resize(std::min<size_t>(length, buffer.size()));
  // Some implementations count the terminating NUL.
  while (!buffer.empty() && buffer.back() == L'\0')
    buffer.pop_back();
  *user_name = buffer;
  return true;
}

bool GetUserDisplayName(std::wstring* user_name) {
  return GetUserNameEx(user_name, NameDisplay);
}

bool IsUserAdmin(bool consider_linked_token) {
  return SecurityAccess::GetInstance()->IsUserAdmin(consider_linked_token);
}

bool EnablePrivilege(const wchar_t* privilege,
                     bool enable,
                     base::win::ScopedHandle token) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  if (!::LookupPrivilegeValueW(nullptr, privilege,
                               &privileges.Privileges[0].Luid)) {
    return false;
  }
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  if (!::AdjustTokenPrivileges(token.Get(), FALSE, &privileges,
                               sizeof(privileges), nullptr, nullptr)) {
    return false;
  }
  // Success that assigned nothing: the token does not hold the privilege.
  return ::GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

// ------------------------------------------------------------------------
// Known folders.

bool GetKnownFolderPath(REFKNOWNFOLDERID folder_id,
                        int csidl,
                        base::FilePath* path,
                        bool create) {
  // Delay-loaded: shell32 need not be in the process yet.
  HMODULE shell32 = ::GetModuleHandleW(L"shell32.dll");
  if (!shell32)
    shell32 = ::LoadLibraryW(L"shell32.dll");
  if (!shell32 || !::GetProcAddress(shell32, "SHGetKnownFolderPath")) {
    std::wstring text;
    if (!GetFolderPathByCsidl(csidl, create, &text))
      return false;
    *path = base::FilePath(text);
    return true;
  }
  return base::win::GetKnownFolderPath(
             folder_id,
             create ? base::win::KnownFolderAccess::kCreate
                    : base::win::KnownFolderAccess::kExisting,
             path) ||
         (IsEqualGUID(folder_id, FOLDERID_UserProgramFiles) &&
          GetUserProgramFilesFallback(create, path));
}

// ------------------------------------------------------------------------
// Security.

SavedSecurityInfo::SavedSecurityInfo() = default;
SavedSecurityInfo::~SavedSecurityInfo() = default;

bool CheckAccess(const std::wstring& object_path,
                 SE_OBJECT_TYPE object_type,
                 ACCESS_MASK desired_access) {
  GENERIC_MAPPING mapping;
  if (!GetGenericMapping(object_type, &mapping))
    return false;
  base::win::ScopedHandle token = GetIdentificationToken();
  if (!token.IsValid())
    return false;
  ScopedSecurityDescriptor descriptor;
  DWORD error = SecurityAccess::GetInstance()->ReadSecurity(
      object_path, object_type,
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
          DACL_SECURITY_INFORMATION,
      &descriptor);
  if (error != ERROR_SUCCESS || !descriptor)
    return false;

  // AccessCheck refuses generic rights in the desired mask.
  ::MapGenericMask(&desired_access, &mapping);
  PRIVILEGE_SET privileges = {};
  DWORD privileges_size = sizeof(privileges);
  DWORD granted = 0;
  BOOL status = FALSE;
  if (!::AccessCheck(descriptor.get(), token.Get(), desired_access, &mapping,
                     &privileges, &privileges_size, &granted, &status)) {
    return false;
  }
  return status != FALSE;
}

bool TakeOwnership(const std::wstring& object_path,
                   SE_OBJECT_TYPE object_type) {
  SecurityAccess* access = SecurityAccess::GetInstance();
  BYTE admins[SECURITY_MAX_SID_SIZE];
  if (!GetAdministratorsSid(admins))
    return false;
  if (!access->SetPrivilege(SE_TAKE_OWNERSHIP_NAME, true))
    return false;
  DWORD error = access->WriteOwner(object_path, object_type, admins);
  access->SetPrivilege(SE_TAKE_OWNERSHIP_NAME, false);
  return error == ERROR_SUCCESS;
}

bool GrantAccess(const std::wstring& object_path,
                 SE_OBJECT_TYPE object_type,
                 ACCESS_MASK access_mask,
                 bool permanent,
                 std::unique_ptr<SavedSecurityInfo>* saved) {
  DCHECK(permanent || saved);
  if (saved)
    saved->reset();
  GENERIC_MAPPING mapping;
  if (!GetGenericMapping(object_type, &mapping))
    return false;

  ScopedSecurityDescriptor descriptor;
  bool took_ownership_to_read = false;
  if (!ReadDaclForGrant(object_path, object_type, &descriptor,
                        &took_ownership_to_read)) {
    return false;
  }
  BOOL dacl_present = FALSE;
  BOOL dacl_defaulted = FALSE;
  PACL old_dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor.get(), &dacl_present, &old_dacl,
                                   &dacl_defaulted)) {
    return false;
  }
  if (!dacl_present || !old_dacl) {
    // A null DACL grants everyone everything; an ACL made of one grant
    // would take that away from everyone else.
    if (!permanent) {
      *saved = MakeSavedSecurityInfo(object_path, object_type, nullptr,
                                     std::move(descriptor));
    }
    return true;
  }

  ScopedAcl new_dacl = BuildNewDacl(old_dacl, access_mask, mapping);
  if (!new_dacl)
    return false;
  bool took_ownership_to_write = false;
  if (!WriteDaclForGrant(object_path, object_type, new_dacl.get(),
                         &took_ownership_to_write)) {
    return false;
  }

  if (!permanent) {
    *saved = MakeSavedSecurityInfo(object_path, object_type, old_dacl,
                                   std::move(descriptor));
    // The owner read before is known only when reading was allowed.
    if (took_ownership_to_write && !took_ownership_to_read) {
      PSID old_owner = nullptr;
      BOOL owner_defaulted = FALSE;
      if (::GetSecurityDescriptorOwner((*saved)->descriptor.get(), &old_owner,
                                       &owner_defaulted)) {
        (*saved)->old_owner = old_owner;
      }
    }
  }
  return true;
}

bool RestoreSecurity(std::unique_ptr<SavedSecurityInfo>* saved) {
  if (!saved || !*saved)
    return false;
  std::unique_ptr<SavedSecurityInfo> record = std::move(*saved);
  DWORD error = SecurityAccess::GetInstance()->WriteDacl(
      record->object_path, record->object_type, record->old_dacl);
  if (record->old_owner)
    RestoreOwner(*record);
  return error == ERROR_SUCCESS;
}

bool FixEventACL(HANDLE event) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error =
      ::GetSecurityInfo(event, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "FixEventACL: failed to GetSecurityInfo: "
               << logging::SystemErrorCodeToString(error);
    return false;
  }
  ScopedSecurityDescriptor scoped_descriptor(descriptor);
  if (!dacl)
    return true;
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &admins)) {
    PLOG(ERROR) << "FixEventACL: failed to AllocateAndInitializeSid";
    return false;
  }
  std::unique_ptr<void, FreeSidDeleter> scoped_admins(admins);
  ScopedAcl new_dacl;
  error = AddGroupGrant(dacl, admins, GENERIC_ALL, &new_dacl);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "FixEventACL: failed to SetEntriesInAcl: "
               << logging::SystemErrorCodeToString(error);
    return false;
  }
  error = ::SetSecurityInfo(event, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, new_dacl.get(), nullptr);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "FixEventACL: failed to SetSecurityInfo: "
               << logging::SystemErrorCodeToString(error);
    return false;
  }
  return true;
}

DWORD AddGroupGrant(PACL dacl,
                    PSID group,
                    ACCESS_MASK access,
                    ScopedAcl* result) {
  EXPLICIT_ACCESSW entry = {};
  entry.grfAccessPermissions = access;
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfInheritance = NO_INHERITANCE;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  entry.Trustee.ptstrName = static_cast<LPWSTR>(group);
  PACL new_dacl = nullptr;
  const DWORD error = ::SetEntriesInAclW(1, &entry, dacl, &new_dacl);
  if (error == ERROR_SUCCESS)
    result->reset(new_dacl);
  return error;
}

// ------------------------------------------------------------------------
// Shortcuts and pins.

bool GetFileIdentity(base::FilePath path, BY_HANDLE_FILE_INFORMATION* info) {
  // Backup semantics let a folder be opened too.
  base::win::ScopedHandle file(::CreateFileW(
      path.value().c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.IsValid())
    return false;
  return ::GetFileInformationByHandle(file.Get(), info) != FALSE;
}

bool IsSameFile(const BY_HANDLE_FILE_INFORMATION& a,
                const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

bool IsOurShortcut(const base::FilePath& shortcut_path,
                   const base::FilePath& exe_path,
                   const BY_HANDLE_FILE_INFORMATION* exe_identity) {
  VLOG(1) << "Testing shortcut " << shortcut_path;
  if (shortcut_path.empty() ||
      ::GetFileAttributesW(shortcut_path.value().c_str()) ==
          INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  base::FilePath target;
  base::win::ResolveShortcut(shortcut_path, &target, nullptr);
  return TargetIsExecutable(target, exe_path, exe_identity);
}

bool GetShortcutTargetInFolder(const base::FilePath& shortcut_path,
                               const base::FilePath& folder,
                               base::FilePath* target) {
  base::FilePath resolved;
  if (shortcut_path.empty() || folder.empty() ||
      !base::win::ResolveShortcut(shortcut_path, &resolved, nullptr) ||
      resolved.ReferencesParent() || !folder.IsParentIgnoringCase(resolved)) {
    return false;
  }
  *target = resolved;
  return true;
}

namespace {

// Appends every taskbar pin whose target |is_ours| tells.
template <typename Predicate>
void FindTaskbarPins(Predicate is_ours,
                     std::vector<base::FilePath>* pinned_paths) {
  // Taskbar pins came with Windows 7.
  if (base::win::GetVersion() < base::win::VERSION_WIN7)
    return;
  base::FilePath pins_dir;
  if (!base::PathService::Get(base::DIR_TASKBAR_PINS, &pins_dir) ||
      !base::DirectoryExists(pins_dir)) {
    LOG(ERROR) << "Couldn't find path to taskbar pins.";
    return;
  }
  base::FileEnumerator shortcuts(pins_dir, false, base::FileEnumerator::FILES,
                                 L"*.lnk");
  for (base::FilePath shortcut = shortcuts.Next(); !shortcut.empty();
       shortcut = shortcuts.Next()) {
    base::FilePath target;
    if (!base::win::ResolveShortcut(shortcut, &target, nullptr)) {
      LOG(ERROR) << "Couldn't resolve shortcut at " << shortcut;
      continue;
    }
    if (is_ours(target))
      pinned_paths->push_back(shortcut);
  }
}

}  // namespace

void FindTaskbarPin(base::FilePath exe_path,
                    const BY_HANDLE_FILE_INFORMATION* exe_identity,
                    std::vector<base::FilePath>* pinned_paths) {
  FindTaskbarPins(
      [&](const base::FilePath& target) {
        return TargetIsExecutable(target, exe_path, exe_identity);
      },
      pinned_paths);
}

void FindTaskbarPinsInFolder(const base::FilePath& folder,
                             std::vector<base::FilePath>* pinned_paths) {
  FindTaskbarPins(
      [&folder](const base::FilePath& target) {
        return !target.ReferencesParent() &&
               folder.IsParentIgnoringCase(target);
      },
      pinned_paths);
}

// ------------------------------------------------------------------------
// Names, paths and keys.

bool IsValidWin32Path(const base::FilePath& path, bool is_folder) {
  const std::wstring& text = path.value();
  const size_t limit = is_folder ? kMaxFolderPathLength : MAX_PATH;
  if (text.empty() || text.size() >= limit)
    return false;
  size_t start = SkipRoot(text);
  if (start == std::wstring::npos)
    return false;
  while (start < text.size()) {
    size_t end = ComponentEnd(text, start);
    if (end > start &&
        !IsValidComponent(std::wstring_view(text).substr(start, end - start))) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

namespace {

// GetCanonicalPathText without its length limit.
std::wstring GetFullCanonicalPathText(const base::FilePath& path) {
  return ToOnDiskSpelling(base::FilePath(GetFullPathText(path.value())))
      .StripTrailingSeparators()
      .value();
}

// "Global\" or "Local\", |base_name|, "/" and the folder's text that
// |folder_text| makes of its canonical text, cut to the length that
// kernel-object names allow, with "/" for every "\".
std::wstring MakeKernelObjectNameOf(
    const base::FilePath& path,
    const std::wstring& base_name,
    bool global,
    std::wstring (*folder_text)(const std::wstring& canonical)) {
  std::wstring name = global ? L"Global\\" : L"Local\\";
  const size_t used = name.size() + base_name.size() + 1;
  DCHECK_LE(used + kMinCanonicalTextLength, kMaxKernelObjectNameLength)
      << "Base name too long: " << base_name;
  const size_t max_length =
      std::max(kMinCanonicalTextLength, kMaxKernelObjectNameLength - used);
  std::wstring folder = folder_text(GetFullCanonicalPathText(path));
  if (folder.size() > max_length)
    folder = ShortenWithHash(folder, max_length);
  std::wstring text = base_name + L"/" + folder;
  // A backslash after the namespace prefix would name a missing directory.
  std::replace(text.begin(), text.end(), L'\\', L'/');
  return name + text;
}

std::wstring AsSpelled(const std::wstring& canonical) {
  return canonical;
}

}  // namespace

std::wstring GetCanonicalPathText(const base::FilePath& path,
                                  size_t max_length) {
  DCHECK_GE(max_length, kMinCanonicalTextLength);
  std::wstring text = GetFullCanonicalPathText(path);
  if (text.size() <= max_length)
    return text;
  return ShortenWithHash(text, max_length);
}

std::wstring MakeKernelObjectName(const base::FilePath& path,
                                  const std::wstring& base_name,
                                  bool global) {
  return MakeKernelObjectNameOf(path, base_name, global, &AsSpelled);
}

std::wstring MakeCaseBlindKernelObjectName(const base::FilePath& path,
                                           const std::wstring& base_name,
                                           bool global) {
  return MakeKernelObjectNameOf(path, base_name, global,
                                &ToFileSystemUpperCase);
}

std::string GetProductExeName() {
  return GetFileNameBase() + ".exe";
}

bool GetExecutableIs64Bit(const base::FilePath& path, bool* is_64_bit) {
  if (::GetFileAttributesW(path.value().c_str()) == INVALID_FILE_ATTRIBUTES)
    return false;
  base::MemoryMappedFile image;
  if (!image.Initialize(path))
    return false;
  const base::win::PeImage pe_image(image.data(), image.length());
  uint16_t machine = 0;
  if (!pe_image.GetMachine(&machine))
    return false;
  *is_64_bit = machine != IMAGE_FILE_MACHINE_I386;
  return true;
}

std::string GetStreamName(int stream) {
  std::string name = GetChannelName(stream);
  return name.empty() ? GetStream() : name;
}

std::string GetCurrentStreamName() {
  return GetStreamName(GetChannel());
}

bool GetBrandedUserDataDir(int channel, base::FilePath* path) {
  base::FilePath app_data;
  if (!base::PathService::Get(base::DIR_APP_DATA, &app_data))
    return false;
  std::string relative = GetDefaultProfilePathTemplate();
  base::ReplaceSubstringsAfterOffset(&relative, 0, "{InternalStream}",
                                     GetStreamName(channel));
  std::replace(relative.begin(), relative.end(), '/', '\\');
  *path = app_data.Append(base::UTF8ToWide(relative));
  return true;
}

std::wstring GetProductRegistryKey() {
  // UTF-8 branding text: a company name beyond ASCII stays intact.
  return L"Software\\" + base::UTF8ToWide(GetCompanyName());
}

std::wstring GetUninstallRegistryKey() {
  return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
}

}  // namespace installer
