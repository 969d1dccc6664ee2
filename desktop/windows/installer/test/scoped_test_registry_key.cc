#include "desktop/windows/installer/test/scoped_test_registry_key.h"

#include <sddl.h>

#include <iterator>
#include <vector>

#include "base/strings/utf_string_conversions.h"
#include "base/test/test_registry_root.h"
#include "base/win/registry.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

namespace {

std::wstring CurrentTestKeyName() {
  const testing::TestInfo* info =
      testing::UnitTest::GetInstance()->current_test_info();
  if (!info)
    return L"NoTest";
  return base::UTF8ToWide(std::string(info->test_suite_name()) + "." +
                          info->name());
}

// Gives everyone full access to the key and everything below it, so that a
// test that left a restrictive DACL behind cannot keep its keys alive. The
// owner may always rewrite the DACL.
void UnlockTree(HKEY root, const std::wstring& path, REGSAM view) {
  static const wchar_t kAllowAll[] = L"D:(A;OICI;KA;;;WD)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kAllowAll, SDDL_REVISION_1, &descriptor, nullptr)) {
    return;
  }
  base::win::RegKey key;
  if (key.Open(root, path.c_str(), view | WRITE_DAC) == ERROR_SUCCESS) {
    ::RegSetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, descriptor);
  }
  ::LocalFree(descriptor);
  if (key.Open(root, path.c_str(), view | KEY_ENUMERATE_SUB_KEYS) !=
      ERROR_SUCCESS) {
    return;
  }
  std::vector<std::wstring> children;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = static_cast<DWORD>(std::size(name));
    if (::RegEnumKeyExW(key.Handle(), index, name, &length, nullptr, nullptr,
                        nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    children.emplace_back(name, length);
  }
  for (const std::wstring& child : children)
    UnlockTree(root, path + L"\\" + child, view);
}

void DeleteInView(HKEY root, const std::wstring& name, REGSAM view) {
  UnlockTree(root, std::wstring(base::kTestRegistryRoot) + L"\\" + name, view);
  base::win::RegKey parent;
  if (parent.Open(root, base::kTestRegistryRoot, view | KEY_CREATE_SUB_KEY) ==
      ERROR_SUCCESS) {
    parent.DeleteKey(name.c_str());
  }
}

}  // namespace

ScopedTestRegistryKey::ScopedTestRegistryKey(HKEY root)
    : root_(root),
      path_(std::wstring(base::kTestRegistryRoot) + L"\\" +
            CurrentTestKeyName()) {
  const std::wstring name = CurrentTestKeyName();
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    // Whatever an earlier, interrupted run left goes first.
    DeleteInView(root_, name, view);
    base::win::RegKey key;
    EXPECT_EQ(ERROR_SUCCESS,
              key.Create(root_, path_.c_str(), view | KEY_ALL_ACCESS));
  }
}

ScopedTestRegistryKey::~ScopedTestRegistryKey() {
  const std::wstring name = CurrentTestKeyName();
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
    DeleteInView(root_, name, view);
  base::DeleteTestRegistryRootIfEmpty(root_);
}

void ScopedTestRegistryKey::Clear() {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    UnlockTree(root_, path_, view);
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Open(root_, path_.c_str(), view | KEY_ALL_ACCESS));
    wchar_t name[256];
    DWORD length = static_cast<DWORD>(std::size(name));
    while (::RegEnumKeyExW(key.Handle(), 0, name, &length, nullptr, nullptr,
                           nullptr, nullptr) == ERROR_SUCCESS) {
      ASSERT_EQ(ERROR_SUCCESS, key.DeleteKey(name));
      length = static_cast<DWORD>(std::size(name));
    }
    length = static_cast<DWORD>(std::size(name));
    while (::RegEnumValueW(key.Handle(), 0, name, &length, nullptr, nullptr,
                           nullptr, nullptr) == ERROR_SUCCESS) {
      ASSERT_EQ(ERROR_SUCCESS, key.DeleteValue(name));
      length = static_cast<DWORD>(std::size(name));
    }
  }
}

std::wstring ScopedTestRegistryKey::Append(
    const std::wstring& relative_path) const {
  return path_ + L"\\" + relative_path;
}

}  // namespace test
}  // namespace installer
