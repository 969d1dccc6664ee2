// A registry key that belongs to one test, "Software\KelvoTest\" followed by
// the running test's suite and name, created under a root in both registry
// views and deleted with everything below it when the object goes away
// ("Software\KelvoTest" too, when no other test's key is left there).
// Tests share one registry, so each needs keys of its own.
//
//   ScopedTestRegistryKey key(HKEY_LOCAL_MACHINE);
//   ChangeRegValueOperation(HKEY_LOCAL_MACHINE, key.path() + L"\\Sub", ...);

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_TEST_REGISTRY_KEY_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_TEST_REGISTRY_KEY_H_

#include <windows.h>

#include <string>

namespace installer {
namespace test {

class ScopedTestRegistryKey {
 public:
  explicit ScopedTestRegistryKey(HKEY root);
  ScopedTestRegistryKey(const ScopedTestRegistryKey&) = delete;
  ScopedTestRegistryKey& operator=(const ScopedTestRegistryKey&) = delete;
  ~ScopedTestRegistryKey();

  HKEY root() const { return root_; }
  // Below the root, without a trailing backslash.
  const std::wstring& path() const { return path_; }
  // |path()| followed by "\" and |relative_path|.
  std::wstring Append(const std::wstring& relative_path) const;

  // Removes every subkey and value below the key in both views, whatever
  // DACLs they carry.
  void Clear();

 private:
  const HKEY root_;
  const std::wstring path_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_TEST_REGISTRY_KEY_H_
