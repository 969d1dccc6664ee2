// Keeps one registry value as it was: whatever a test writes there, the
// value (or its absence, and the absence of its key) comes back when the
// object goes. For values of the shared test prefix that other tests and
// the system read, such as the user's choice of http handler.
//
//   ScopedRegistryValue choice(HKEY_CURRENT_USER, kUserChoiceKey, L"ProgId");
//   base::win::RegKey(HKEY_CURRENT_USER, kUserChoiceKey, KEY_SET_VALUE)
//       .WriteValue(L"ProgId", L"KelvoTestHTML");

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_VALUE_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_VALUE_H_

#include <windows.h>

#include <string>
#include <vector>

namespace installer {
namespace test {

class ScopedRegistryValue {
 public:
  // |view| is 0, KEY_WOW64_64KEY or KEY_WOW64_32KEY.
  ScopedRegistryValue(HKEY root,
                      const std::wstring& key_path,
                      const std::wstring& value_name,
                      REGSAM view = 0);
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;
  // Writes the saved value back, or deletes the value; a key that did not
  // exist is deleted with everything below it, and so are the parents it
  // lacked, unless something else is in them by then.
  ~ScopedRegistryValue();

  // Removes the value now (it comes back at the end).
  void Delete();
  // Deletes the key with everything below it now.
  void DeleteKey();

 private:
  void FindMissingParents();
  void DeleteMissingParents();

  const HKEY root_;
  const std::wstring key_path_;
  const std::wstring value_name_;
  const REGSAM view_;
  bool key_existed_ = false;
  // The key's parents that did not exist, the nearest first.
  std::vector<std::wstring> missing_parents_;
  bool value_existed_ = false;
  DWORD type_ = REG_NONE;
  std::vector<BYTE> data_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_VALUE_H_
