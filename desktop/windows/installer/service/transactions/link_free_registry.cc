#include "desktop/windows/installer/service/transactions/link_free_registry.h"

#include <sddl.h>

#include <string.h>

#include <iterator>
#include <vector>

#include "base/logging.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"

namespace installer {

namespace {

using NtQueryKeyFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
using NtStatusToErrorFunction = ULONG(WINAPI*)(LONG);

// KEY_INFORMATION_CLASS: the key's full name.
constexpr int kKeyNameInformation = 3;
constexpr wchar_t kLinkValueName[] = L"SymbolicLinkValue";
constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

template <typename Function>
Function GetNtdllFunction(const char* name) {
  return reinterpret_cast<Function>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name));
}

// The registry's own name of the open |key|, such as
// "\REGISTRY\USER\S-1-5-21-...\Software"; empty when it cannot tell.
std::wstring GetKeyName(HKEY key) {
  static const NtQueryKeyFunction query_key =
      GetNtdllFunction<NtQueryKeyFunction>("NtQueryKey");
  if (!query_key)
    return std::wstring();
  std::vector<BYTE> buffer(1024);
  ULONG size = 0;
  LONG status = query_key(key, kKeyNameInformation, buffer.data(),
                          static_cast<ULONG>(buffer.size()), &size);
  if (status < 0 && size > buffer.size()) {
    buffer.resize(size);
    status = query_key(key, kKeyNameInformation, buffer.data(),
                       static_cast<ULONG>(buffer.size()), &size);
  }
  ULONG length = 0;
  if (status < 0 || size < sizeof(length))
    return std::wstring();
  memcpy(&length, buffer.data(), sizeof(length));
  if (length > size - sizeof(length))
    return std::wstring();
  std::wstring name(length / sizeof(wchar_t), L'\0');
  memcpy(&name[0], buffer.data() + sizeof(length),
         name.size() * sizeof(wchar_t));
  return name;
}

// The names of the process's own hive, as the registry gives them in lower
// case: "\registry\user\<sid>", and for the system account, whose
// HKEY_CURRENT_USER may be the default hive, "\registry\user\.default".
std::vector<std::wstring> GetUserHiveNames() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    return {};
  base::win::ScopedHandle scoped_token(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  wchar_t* text = nullptr;
  if (size == 0 ||
      !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) ||
      !::ConvertSidToStringSidW(
          reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    return {};
  }
  const std::wstring sid = base::ToLowerASCII(text);
  ::LocalFree(text);
  std::vector<std::wstring> names = {L"\\registry\\user\\" + sid};
  if (sid == L"s-1-5-18")
    names.push_back(L"\\registry\\user\\.default");
  return names;
}

// |name| in the form in which two names of one key are equal: lower case,
// one "\" between levels, without the "Wow6432Node" levels of the 32-bit
// view (a redirection of the system's, not a link of the user's), and the
// user's classes hive under the name by which |hive| reaches it.
std::wstring ComparableKeyName(const std::wstring& name,
                               const std::wstring& hive) {
  std::wstring text = base::ToLowerASCII(name);
  const std::wstring classes_hive = hive + L"_classes";
  if (base::StartsWith(text, classes_hive, base::CompareCase::SENSITIVE) &&
      (text.size() == classes_hive.size() ||
       text[classes_hive.size()] == L'\\')) {
    text = hive + L"\\software\\classes" + text.substr(classes_hive.size());
  }
  std::wstring comparable;
  for (const std::wstring& level : base::SplitString(
           text, L"\\", base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
    if (level != L"wow6432node")
      comparable += L"\\" + level;
  }
  return comparable;
}

// Whether the open |key| is the key |path| names below the user's hive.
bool IsUserKeyAsNamed(HKEY key, const std::wstring& path) {
  const std::wstring name = GetKeyName(key);
  if (name.empty()) {
    LOG(ERROR) << "Cannot read the name of the registry key HKCU\\" << path;
    return false;
  }
  for (const std::wstring& hive : GetUserHiveNames()) {
    if (ComparableKeyName(name, hive) ==
        ComparableKeyName(hive + L"\\" + path, hive)) {
      return true;
    }
  }
  LOG(ERROR) << "The registry key HKCU\\" << path << " leads to " << name
             << " through a registry link; it is left alone";
  return false;
}

// Whether the key |key|, opened as itself, is a link.
bool IsLinkKey(HKEY key) {
  DWORD type = REG_NONE;
  return ::RegQueryValueExW(key, kLinkValueName, nullptr, &type, nullptr,
                            nullptr) == ERROR_SUCCESS &&
         type == REG_LINK;
}

LONG RefuseLink(const std::wstring& name, base::win::RegKey* key) {
  LOG(ERROR) << "The registry key " << name
             << " is a registry link; it is left alone";
  key->Close();
  return kErrorRegistryLink;
}

}  // namespace

LONG OpenKeyWithoutLinks(HKEY root,
                         const std::wstring& path,
                         REGSAM access,
                         base::win::RegKey* key) {
  const LONG result = key->Open(root, path.c_str(), access);
  if (result != ERROR_SUCCESS || root != HKEY_CURRENT_USER ||
      IsUserKeyAsNamed(key->Handle(), path)) {
    return result;
  }
  key->Close();
  return kErrorRegistryLink;
}

LONG OpenSubkeyWithoutLinks(HKEY parent,
                            const std::wstring& name,
                            REGSAM access,
                            base::win::RegKey* key) {
  HKEY opened = nullptr;
  const LONG result =
      ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK,
                      access | KEY_QUERY_VALUE, &opened);
  key->Close();
  if (result != ERROR_SUCCESS)
    return result;
  key->Set(opened);
  return IsLinkKey(opened) ? RefuseLink(name, key) : ERROR_SUCCESS;
}

LONG CreateSubkeyWithoutLinks(HKEY parent,
                              const std::wstring& name,
                              REGSAM access,
                              SECURITY_ATTRIBUTES* security,
                              base::win::RegKey* key,
                              bool* created) {
  HKEY opened = nullptr;
  DWORD disposition = 0;
  const LONG result = ::RegCreateKeyExW(
      parent, name.c_str(), 0, nullptr,
      REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK, access | KEY_QUERY_VALUE,
      security, &opened, &disposition);
  key->Close();
  if (result != ERROR_SUCCESS)
    return result;
  key->Set(opened);
  if (created)
    *created = disposition == REG_CREATED_NEW_KEY;
  // A key made now is no link; one that was there may be.
  return disposition != REG_CREATED_NEW_KEY && IsLinkKey(opened)
             ? RefuseLink(name, key)
             : ERROR_SUCCESS;
}

LONG CreateKeyWithoutLinks(HKEY root,
                           const std::wstring& path,
                           REGSAM access,
                           SECURITY_ATTRIBUTES* security,
                           base::win::RegKey* key,
                           bool* created) {
  if (created)
    *created = false;
  LONG result = OpenKeyWithoutLinks(root, path, access, key);
  if (result != ERROR_FILE_NOT_FOUND)
    return result;
  // The levels to make, the deepest first.
  std::vector<std::wstring> missing;
  std::wstring ancestor = path;
  base::win::RegKey current;
  do {
    std::wstring name;
    if (!GetLastKeyPathComponent(ancestor, &name) ||
        !GetParentKeyPath(ancestor, &ancestor)) {
      return ERROR_FILE_NOT_FOUND;
    }
    missing.push_back(name);
    result = OpenKeyWithoutLinks(
        root, ancestor, (access & kViewFlags) | KEY_CREATE_SUB_KEY, &current);
  } while (result == ERROR_FILE_NOT_FOUND);
  if (result != ERROR_SUCCESS)
    return result;
  for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
    const bool last = level + 1 == missing.rend();
    result = CreateSubkeyWithoutLinks(
        current.Handle(), *level,
        last ? access : (access & kViewFlags) | KEY_CREATE_SUB_KEY,
        last ? security : nullptr, last ? key : &current,
        last ? created : nullptr);
    if (result != ERROR_SUCCESS)
      return result;
  }
  return ERROR_SUCCESS;
}

LONG DeleteOpenKey(HKEY key) {
  static const NtDeleteKeyFunction delete_key =
      GetNtdllFunction<NtDeleteKeyFunction>("NtDeleteKey");
  static const NtStatusToErrorFunction to_error =
      GetNtdllFunction<NtStatusToErrorFunction>("RtlNtStatusToDosError");
  if (!delete_key || !to_error)
    return ERROR_PROC_NOT_FOUND;
  const LONG status = delete_key(key);
  return status >= 0 ? ERROR_SUCCESS : static_cast<LONG>(to_error(status));
}

LONG DeleteTreeWithoutLinks(HKEY parent,
                            const std::wstring& name,
                            REGSAM view_flags) {
  HKEY opened = nullptr;
  LONG result = ::RegOpenKeyExW(
      parent, name.c_str(), REG_OPTION_OPEN_LINK,
      view_flags | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, &opened);
  if (result != ERROR_SUCCESS)
    return result;
  base::win::RegKey key(opened);
  // A link holds no subkeys of its own: whatever it leads to stays.
  std::wstring previous;
  while (!IsLinkKey(opened)) {
    wchar_t child[256];
    DWORD length = static_cast<DWORD>(std::size(child));
    result = ::RegEnumKeyExW(opened, 0, child, &length, nullptr, nullptr,
                             nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS)
      break;
    if (result != ERROR_SUCCESS)
      return result;
    // One that comes back after its deletion was made again by another
    // program: no end to wait for.
    if (std::wstring(child, length) == previous)
      return ERROR_DIR_NOT_EMPTY;
    previous.assign(child, length);
    result = DeleteTreeWithoutLinks(opened, previous, view_flags);
    if (result != ERROR_SUCCESS)
      return result;
  }
  return DeleteOpenKey(opened);
}

}  // namespace installer
