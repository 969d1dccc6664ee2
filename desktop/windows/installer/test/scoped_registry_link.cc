#include "desktop/windows/installer/test/scoped_registry_link.h"

#include "gtest/gtest.h"

namespace installer {
namespace test {

ScopedRegistryLink::ScopedRegistryLink(HKEY root,
                                       const std::wstring& path,
                                       const std::wstring& target)
    : root_(root), path_(path) {
  HKEY link = nullptr;
  const LONG created = ::RegCreateKeyExW(
      root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
      KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr);
  EXPECT_EQ(ERROR_SUCCESS, created) << "no link at " << path;
  if (created != ERROR_SUCCESS)
    return;
  EXPECT_EQ(
      ERROR_SUCCESS,
      ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                       reinterpret_cast<const BYTE*>(target.c_str()),
                       static_cast<DWORD>(target.size() * sizeof(wchar_t))));
  ::RegCloseKey(link);
}

ScopedRegistryLink::~ScopedRegistryLink() {
  HKEY link = nullptr;
  if (::RegOpenKeyExW(root_, path_.c_str(), REG_OPTION_OPEN_LINK, DELETE,
                      &link) != ERROR_SUCCESS) {
    return;
  }
  using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
  auto delete_key = reinterpret_cast<NtDeleteKeyFunction>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey"));
  EXPECT_EQ(0, delete_key ? delete_key(link) : -1) << "link left: " << path_;
  ::RegCloseKey(link);
}

}  // namespace test
}  // namespace installer
