// Registry access: RegKey owns one open key; RegistryKeyIterator walks the
// subkeys of a key.
//
// Registry views: an access mask may carry KEY_WOW64_32KEY or KEY_WOW64_64KEY.
// A RegKey remembers the view it was opened in and uses it for every
// operation on subkeys (OpenKey, CreateKey, DeleteKey, DeleteEmptyKey);
// asking such an operation for the other view is refused with
// ERROR_INVALID_PARAMETER.
//
// Functions returning LONG return the Windows error code (ERROR_SUCCESS on
// success), so that callers can tell a missing key from a refused one.

#ifndef BASE_WIN_REGISTRY_H_
#define BASE_WIN_REGISTRY_H_

#include <windows.h>

#include <stdint.h>

#include <string>

namespace base {
namespace win {

class RegKey {
 public:
  RegKey();
  // Takes ownership of |key|, whose view is unknown (taken as the default).
  explicit RegKey(HKEY key);
  // Opens |subkey| of |rootkey|, creating it when |access| includes
  // KEY_CREATE_SUB_KEY.
  RegKey(HKEY rootkey, const wchar_t* subkey, REGSAM access);
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey();

  // Create and Open close the key held before; on failure none is held.
  LONG Create(HKEY rootkey, const wchar_t* subkey, REGSAM access);
  LONG Open(HKEY rootkey, const wchar_t* subkey, REGSAM access);

  // Create or open a subkey of the key held and hold it instead. On failure
  // the key held before stays.
  LONG CreateKey(const wchar_t* name, REGSAM access);
  LONG OpenKey(const wchar_t* relative_key_name, REGSAM access);

  void Close();
  // Takes ownership of |key| (view unknown), closing the key held before.
  void Set(HKEY key);
  // Gives up ownership of the key held.
  HKEY Take();

  bool Valid() const { return key_ != nullptr; }
  HKEY Handle() const { return key_; }
  // KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0.
  REGSAM wow64access() const { return wow64access_; }

  bool HasValue(const wchar_t* value_name) const;

  // Deletes the subkey |name| with everything below it. Stops at the first
  // subkey that cannot be deleted and returns its error; what was deleted
  // before stays deleted.
  LONG DeleteKey(const wchar_t* name);
  // Deletes the subkey |name| only when it has no values and no subkeys
  // (otherwise ERROR_DIR_NOT_EMPTY).
  LONG DeleteEmptyKey(const wchar_t* name);
  LONG DeleteValue(const wchar_t* name);

  // The readers return ERROR_CANTREAD when the value has another type or
  // size, and leave |out_value| alone on any failure.
  LONG ReadValueDW(const wchar_t* name, DWORD* out_value) const;
  // A REG_QWORD value.
  LONG ReadInt64(const wchar_t* name, int64_t* out_value) const;
  // A REG_SZ value, or a REG_EXPAND_SZ value with environment variables
  // expanded. Data without a terminator is read up to its size.
  LONG ReadValue(const wchar_t* name, std::wstring* out_value) const;
  // Raw read, as RegQueryValueExW.
  LONG ReadValue(const wchar_t* name,
                 void* data,
                 DWORD* dsize,
                 DWORD* dtype) const;

  LONG WriteValue(const wchar_t* name, DWORD in_value);
  // Writes a REG_SZ value.
  LONG WriteValue(const wchar_t* name, const wchar_t* in_value);
  LONG WriteValue(const wchar_t* name,
                  const void* data,
                  DWORD dsize,
                  DWORD dtype);

 private:
  // Folds the held key's view into |*access| for an operation on a subkey;
  // false when |*access| asks for the other view.
  bool AddViewTo(REGSAM* access) const;

  HKEY key_ = nullptr;
  REGSAM wow64access_ = 0;
};

// Walks the subkeys of a key from the last to the first.
class RegistryKeyIterator {
 public:
  RegistryKeyIterator(HKEY root_key,
                      const wchar_t* folder_key,
                      REGSAM wow64access = 0);
  RegistryKeyIterator(const RegistryKeyIterator&) = delete;
  RegistryKeyIterator& operator=(const RegistryKeyIterator&) = delete;
  ~RegistryKeyIterator();

  DWORD SubkeyCount() const;
  bool Valid() const;
  void operator++();
  const wchar_t* Name() const { return name_; }

 private:
  bool Read();

  RegKey key_;
  int index_ = -1;
  // Key names are at most 255 characters.
  wchar_t name_[256] = {};
};

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_REGISTRY_H_
