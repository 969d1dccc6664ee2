#include "desktop/windows/installer/test/scoped_registry_values.h"

namespace installer {
namespace test {

ScopedRegistryValues::ScopedRegistryValues() = default;

ScopedRegistryValues::~ScopedRegistryValues() {
  Restore();
}

ScopedRegistryValue* ScopedRegistryValues::Keep(HKEY root,
                                                const std::wstring& key_path,
                                                const std::wstring& value_name,
                                                REGSAM view) {
  kept_.push_back(
      std::make_unique<ScopedRegistryValue>(root, key_path, value_name, view));
  return kept_.back().get();
}

void ScopedRegistryValues::Restore() {
  // Not the vector's own destruction, whose order is unspecified.
  while (!kept_.empty())
    kept_.pop_back();
}

}  // namespace test
}  // namespace installer
