// The registry key below which tests keep what they write: each test (or
// group) uses a key of its own below kTestRegistryRoot ("Software\KelvoTest")
// of HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE and deletes it when done. Tests
// of several executables run at the same time, so none may delete the root
// itself while it holds another test's key; the last one to leave takes it:
//
//   ::RegDeleteTreeW(HKEY_CURRENT_USER, my_test_key);
//   base::DeleteTestRegistryRootIfEmpty(HKEY_CURRENT_USER);

#ifndef BASE_TEST_TEST_REGISTRY_ROOT_H_
#define BASE_TEST_TEST_REGISTRY_ROOT_H_

#include <windows.h>

namespace base {

extern const wchar_t kTestRegistryRoot[];

// Deletes kTestRegistryRoot under |root|, in both registry views, where it
// holds no key and no value.
void DeleteTestRegistryRootIfEmpty(HKEY root);

}  // namespace base

#endif  // BASE_TEST_TEST_REGISTRY_ROOT_H_
