// A registry link as another program of the user makes one, deleted as
// itself when the object goes (deleting its parent tree would follow it).

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_LINK_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_LINK_H_

#include <windows.h>

#include <string>

namespace installer {
namespace test {

class ScopedRegistryLink {
 public:
  // Makes |path| below |root| a link to |target|, such as
  // "\Registry\Machine\Software\X".
  ScopedRegistryLink(HKEY root,
                     const std::wstring& path,
                     const std::wstring& target);
  ScopedRegistryLink(const ScopedRegistryLink&) = delete;
  ScopedRegistryLink& operator=(const ScopedRegistryLink&) = delete;
  ~ScopedRegistryLink();

 private:
  const HKEY root_;
  const std::wstring path_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_REGISTRY_LINK_H_
