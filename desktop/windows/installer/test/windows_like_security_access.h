// The SecurityAccess for tests that change real files and keys under Wine:
// registry objects go to the real Win32 calls (Wine stores and enforces key
// ACLs), file objects to a FakeSecurityAccess, because Wine derives file
// ACLs from Unix mode bits (writing a DACL changes the read-only attribute
// and a read-only file seems to deny writing). A file the test has not
// described grants everyone full access, as files in a user's own folders
// do on Windows.
//
//   WindowsLikeSecurityAccess security;
//   SecurityAccess::ScopedOverrideForTesting override(&security);

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_WINDOWS_LIKE_SECURITY_ACCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_WINDOWS_LIKE_SECURITY_ACCESS_H_

#include "desktop/windows/installer/service/win32_security_access.h"
#include "desktop/windows/installer/test/fake_security_access.h"

namespace installer {
namespace test {

class WindowsLikeSecurityAccess : public FakeSecurityAccess {
 public:
  WindowsLikeSecurityAccess();
  WindowsLikeSecurityAccess(const WindowsLikeSecurityAccess&) = delete;
  WindowsLikeSecurityAccess& operator=(const WindowsLikeSecurityAccess&) =
      delete;
  ~WindowsLikeSecurityAccess() override;

  // SecurityAccess:
  DWORD ReadSecurity(const std::wstring& path,
                     SE_OBJECT_TYPE type,
                     SECURITY_INFORMATION info,
                     ScopedSecurityDescriptor* descriptor) override;
  DWORD WriteDacl(const std::wstring& path,
                  SE_OBJECT_TYPE type,
                  const ACL* dacl) override;
  DWORD WriteOwner(const std::wstring& path,
                   SE_OBJECT_TYPE type,
                   PSID owner) override;
  bool SetPrivilege(const wchar_t* privilege, bool enable) override;

 private:
  // Describes a file seen for the first time.
  void AddFileOnce(const std::wstring& path);

  Win32SecurityAccess win32_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_WINDOWS_LIKE_SECURITY_ACCESS_H_
