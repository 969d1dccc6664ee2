// Keeps registry values as they were, each through a ScopedRegistryValue,
// and gives them back newest first: a value kept twice (the registry
// ignores case, so two names may be one value) and a key that the first
// keeping found missing end as the first keeping found them.
//
//   ScopedRegistryValues kept;
//   kept.Keep(HKEY_CURRENT_USER, kProductKey, L"Last install path")->Delete();

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_VALUES_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_VALUES_H_

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/test/scoped_registry_value.h"

namespace installer {
namespace test {

class ScopedRegistryValues {
 public:
  ScopedRegistryValues();
  ScopedRegistryValues(const ScopedRegistryValues&) = delete;
  ScopedRegistryValues& operator=(const ScopedRegistryValues&) = delete;
  // Restore().
  ~ScopedRegistryValues();

  // Keeps the value |value_name| of |key_path| as it is now; the object
  // returned lives until Restore.
  ScopedRegistryValue* Keep(HKEY root,
                            const std::wstring& key_path,
                            const std::wstring& value_name,
                            REGSAM view = 0);
  // The value kept |index|-th, from 0.
  ScopedRegistryValue* at(size_t index) { return kept_.at(index).get(); }
  // Gives every value kept back now, the newest first.
  void Restore();

 private:
  std::vector<std::unique_ptr<ScopedRegistryValue>> kept_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_VALUES_H_
