#include "base/test/test_registry_root.h"

#include "base/win/registry.h"

namespace base {

namespace {

constexpr wchar_t kParent[] = L"Software";
constexpr wchar_t kName[] = L"KelvoTest";

}  // namespace

const wchar_t kTestRegistryRoot[] = L"Software\\KelvoTest";

void DeleteTestRegistryRootIfEmpty(HKEY root) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    // Refused while another test's key is below it.
    win::RegKey(root, kParent, KEY_READ | view).DeleteEmptyKey(kName);
  }
}

}  // namespace base
