// A registry link made as another program of the user could make one
// (REG_OPTION_CREATE_LINK and a REG_LINK "SymbolicLinkValue"), deleted as
// itself when the object goes away, before the keys around it go: deleting
// a tree by name would follow it.
//
//   ScopedRegistryLink link(HKEY_CURRENT_USER, key.Append(L"Link"),
//                           L"\\Registry\\Machine\\Software\\Target");

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_LINK_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_LINK_H_

#include <windows.h>

#include <string>

namespace installer {
namespace test {

class ScopedRegistryLink {
 public:
  // Makes |path| below |root| a link to |target|, a name such as
  // "\Registry\Machine\Software\X"; fails the test when it cannot.
  ScopedRegistryLink(HKEY root,
                     const std::wstring& path,
                     const std::wstring& target);
  ScopedRegistryLink(const ScopedRegistryLink&) = delete;
  ScopedRegistryLink& operator=(const ScopedRegistryLink&) = delete;
  ~ScopedRegistryLink();

  // The registry's name of the key |path| below HKEY_LOCAL_MACHINE, for a
  // link's target.
  static std::wstring MachineKeyName(const std::wstring& path);

 private:
  const HKEY root_;
  const std::wstring path_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_LINK_H_
