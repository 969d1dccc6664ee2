#include "base/win/registry.h"

#include <iterator>
#include <vector>

#include "base/logging.h"

namespace base {
namespace win {

namespace {

constexpr REGSAM kWow64AccessMask = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// Deletes |name| under |parent| with all its subkeys, in view |view|. Each
// subkey is deleted before its parent; the first failure ends the walk, so a
// subkey that cannot be deleted cannot make it go round forever.
LONG DeleteTree(HKEY parent, const wchar_t* name, REGSAM view) {
  LONG result = ::RegDeleteKeyExW(parent, name, view, 0);
  if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
    return result;

  HKEY key = nullptr;
  result = ::RegOpenKeyExW(
      parent, name, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view, &key);
  if (result != ERROR_SUCCESS)
    return result;
  wchar_t subkey[256];
  for (;;) {
    DWORD length = std::size(subkey);
    result = ::RegEnumKeyExW(key, 0, subkey, &length, nullptr, nullptr, nullptr,
                             nullptr);
    if (result == ERROR_NO_MORE_ITEMS)
      break;
    if (result == ERROR_SUCCESS)
      result = DeleteTree(key, subkey, view);
    if (result != ERROR_SUCCESS) {
      ::RegCloseKey(key);
      LOG(ERROR) << "Cannot delete registry key " << name << "\\" << subkey
                 << ": " << logging::SystemErrorCodeToString(result);
      return result;
    }
  }
  ::RegCloseKey(key);
  return ::RegDeleteKeyExW(parent, name, view, 0);
}

// Either count may be null.
LONG QueryCounts(HKEY key, DWORD* subkeys, DWORD* values) {
  return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, subkeys, nullptr,
                            nullptr, values, nullptr, nullptr, nullptr,
                            nullptr);
}

// Reads a value of |expected_type| whose data is exactly a T.
template <typename T>
LONG ReadFixedSizeValue(const RegKey& key,
                        const wchar_t* name,
                        DWORD expected_type,
                        T* out_value) {
  DCHECK(out_value);
  DWORD type = REG_NONE;
  T value = 0;
  DWORD size = sizeof(value);
  LONG result = key.ReadValue(name, &value, &size, &type);
  if (result == ERROR_MORE_DATA)
    return ERROR_CANTREAD;  // Too large to be a T.
  if (result != ERROR_SUCCESS)
    return result;
  if (type != expected_type || size != sizeof(value))
    return ERROR_CANTREAD;
  *out_value = value;
  return ERROR_SUCCESS;
}

}  // namespace

// RegKey ----------------------------------------------------------------

RegKey::RegKey() = default;

RegKey::RegKey(HKEY key) : key_(key) {}

RegKey::RegKey(HKEY rootkey, const wchar_t* subkey, REGSAM access) {
  if (access & KEY_CREATE_SUB_KEY)
    Create(rootkey, subkey, access);
  else
    Open(rootkey, subkey, access);
}

RegKey::~RegKey() {
  Close();
}

LONG RegKey::Create(HKEY rootkey, const wchar_t* subkey, REGSAM access) {
  DCHECK(rootkey && subkey);
  HKEY created = nullptr;
  LONG result =
      ::RegCreateKeyExW(rootkey, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        access, nullptr, &created, nullptr);
  Close();
  if (result == ERROR_SUCCESS) {
    key_ = created;
    wow64access_ = access & kWow64AccessMask;
  }
  return result;
}

LONG RegKey::Open(HKEY rootkey, const wchar_t* subkey, REGSAM access) {
  DCHECK(rootkey && subkey);
  HKEY opened = nullptr;
  LONG result = ::RegOpenKeyExW(rootkey, subkey, 0, access, &opened);
  Close();
  if (result == ERROR_SUCCESS) {
    key_ = opened;
    wow64access_ = access & kWow64AccessMask;
  }
  return result;
}

bool RegKey::AddViewTo(REGSAM* access) const {
  REGSAM asked = *access & kWow64AccessMask;
  if (asked && asked != wow64access_) {
    LOG(ERROR) << "A registry key opened in view " << wow64access_
               << " cannot reach subkeys in view " << asked;
    return false;
  }
  *access |= wow64access_;
  return true;
}

LONG RegKey::CreateKey(const wchar_t* name, REGSAM access) {
  DCHECK(name);
  if (!Valid())
    return ERROR_INVALID_HANDLE;
  if (!AddViewTo(&access))
    return ERROR_INVALID_PARAMETER;
  HKEY created = nullptr;
  LONG result =
      ::RegCreateKeyExW(key_, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &created, nullptr);
  if (result == ERROR_SUCCESS) {
    ::RegCloseKey(key_);
    key_ = created;
  }
  return result;
}

LONG RegKey::OpenKey(const wchar_t* relative_key_name, REGSAM access) {
  DCHECK(relative_key_name);
  if (!Valid())
    return ERROR_INVALID_HANDLE;
  if (!AddViewTo(&access))
    return ERROR_INVALID_PARAMETER;
  HKEY opened = nullptr;
  LONG result = ::RegOpenKeyExW(key_, relative_key_name, 0, access, &opened);
  if (result == ERROR_SUCCESS) {
    ::RegCloseKey(key_);
    key_ = opened;
  }
  return result;
}

void RegKey::Close() {
  if (key_) {
    ::RegCloseKey(key_);
    key_ = nullptr;
  }
  wow64access_ = 0;
}

void RegKey::Set(HKEY key) {
  if (key != key_) {
    Close();
    key_ = key;
  }
}

HKEY RegKey::Take() {
  HKEY key = key_;
  key_ = nullptr;
  wow64access_ = 0;
  return key;
}

bool RegKey::HasValue(const wchar_t* value_name) const {
  return ::RegQueryValueExW(key_, value_name, nullptr, nullptr, nullptr,
                            nullptr) == ERROR_SUCCESS;
}

LONG RegKey::DeleteKey(const wchar_t* name) {
  DCHECK(name);
  if (!Valid())
    return ERROR_INVALID_HANDLE;
  // An empty name would make the walk delete this key's own subkeys.
  if (!name || !*name)
    return ERROR_INVALID_PARAMETER;
  return DeleteTree(key_, name, wow64access_);
}

LONG RegKey::DeleteEmptyKey(const wchar_t* name) {
  DCHECK(name);
  if (!Valid())
    return ERROR_INVALID_HANDLE;
  if (!name || !*name)
    return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  LONG result =
      ::RegOpenKeyExW(key_, name, 0, KEY_QUERY_VALUE | wow64access_, &key);
  if (result != ERROR_SUCCESS)
    return result;
  DWORD subkeys = 0;
  DWORD values = 0;
  result = QueryCounts(key, &subkeys, &values);
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS)
    return result;
  if (subkeys || values)
    return ERROR_DIR_NOT_EMPTY;
  return ::RegDeleteKeyExW(key_, name, wow64access_, 0);
}

LONG RegKey::DeleteValue(const wchar_t* name) {
  return ::RegDeleteValueW(key_, name);
}

LONG RegKey::ReadValueDW(const wchar_t* name, DWORD* out_value) const {
  return ReadFixedSizeValue(*this, name, REG_DWORD, out_value);
}

LONG RegKey::ReadInt64(const wchar_t* name, int64_t* out_value) const {
  return ReadFixedSizeValue(*this, name, REG_QWORD, out_value);
}

LONG RegKey::ReadValue(const wchar_t* name, std::wstring* out_value) const {
  DCHECK(out_value);
  // Room for a terminator the data may lack.
  std::vector<wchar_t> buffer(128);
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG result = ERROR_MORE_DATA;
  while (result == ERROR_MORE_DATA) {
    size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    result = ReadValue(name, buffer.data(), &size, &type);
    if (result == ERROR_MORE_DATA)
      buffer.resize(size / sizeof(wchar_t) + 2);
  }
  if (result != ERROR_SUCCESS)
    return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    return ERROR_CANTREAD;
  buffer[size / sizeof(wchar_t)] = L'\0';
  std::wstring text(buffer.data());
  if (type == REG_EXPAND_SZ) {
    DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0)
      return static_cast<LONG>(::GetLastError());
    std::wstring expanded(needed, L'\0');
    needed = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
    if (needed == 0 || needed > expanded.size())
      return ERROR_CANTREAD;
    expanded.resize(needed - 1);
    text.swap(expanded);
  }
  out_value->swap(text);
  return ERROR_SUCCESS;
}

LONG RegKey::ReadValue(const wchar_t* name,
                       void* data,
                       DWORD* dsize,
                       DWORD* dtype) const {
  return ::RegQueryValueExW(key_, name, nullptr, dtype,
                            static_cast<BYTE*>(data), dsize);
}

LONG RegKey::WriteValue(const wchar_t* name, DWORD in_value) {
  return WriteValue(name, &in_value, sizeof(in_value), REG_DWORD);
}

LONG RegKey::WriteValue(const wchar_t* name, const wchar_t* in_value) {
  DCHECK(in_value);
  size_t size = (wcslen(in_value) + 1) * sizeof(wchar_t);
  return WriteValue(name, in_value, static_cast<DWORD>(size), REG_SZ);
}

LONG RegKey::WriteValue(const wchar_t* name,
                        const void* data,
                        DWORD dsize,
                        DWORD dtype) {
  DCHECK(data || !dsize);
  return ::RegSetValueExW(key_, name, 0, dtype, static_cast<const BYTE*>(data),
                          dsize);
}

// RegistryKeyIterator ---------------------------------------------------

RegistryKeyIterator::RegistryKeyIterator(HKEY root_key,
                                         const wchar_t* folder_key,
                                         REGSAM wow64access) {
  DCHECK_EQ(wow64access & ~kWow64AccessMask, 0u);
  if (key_.Open(root_key, folder_key, KEY_READ | wow64access) != ERROR_SUCCESS)
    return;
  index_ = static_cast<int>(SubkeyCount()) - 1;
  Read();
}

RegistryKeyIterator::~RegistryKeyIterator() = default;

DWORD RegistryKeyIterator::SubkeyCount() const {
  DWORD count = 0;
  return QueryCounts(key_.Handle(), &count, nullptr) == ERROR_SUCCESS ? count
                                                                      : 0;
}

bool RegistryKeyIterator::Valid() const {
  return key_.Valid() && index_ >= 0;
}

void RegistryKeyIterator::operator++() {
  --index_;
  Read();
}

bool RegistryKeyIterator::Read() {
  name_[0] = L'\0';
  if (!Valid())
    return false;
  DWORD length = std::size(name_);
  FILETIME written;
  LONG result = ::RegEnumKeyExW(key_.Handle(), index_, name_, &length, nullptr,
                                nullptr, nullptr, &written);
  if (result != ERROR_SUCCESS) {
    LOG_IF(WARNING, result != ERROR_NO_MORE_ITEMS)
        << "Cannot read registry subkey " << index_ << ": "
        << logging::SystemErrorCodeToString(result);
    index_ = -1;
    name_[0] = L'\0';
    return false;
  }
  return true;
}

}  // namespace win
}  // namespace base
