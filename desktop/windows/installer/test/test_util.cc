#include "desktop/windows/installer/test/test_util.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

void WriteTextFile(const base::FilePath& path, const std::string& text) {
  ASSERT_TRUE(base::CreateDirectory(path.DirName()));
  ASSERT_EQ(static_cast<int>(text.size()),
            base::WriteFile(path, text.data(), static_cast<int>(text.size())));
}

std::string ReadTextFile(const base::FilePath& path) {
  std::string text;
  return base::ReadFileToString(path, &text) ? text : "<missing>";
}

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  base::win::ScopedHandle scoped_token(token);
  BYTE buffer[256];
  DWORD size = 0;
  wchar_t* text = nullptr;
  if (!::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) ||
      !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid,
                                &text)) {
    ADD_FAILURE() << "No SID for the test's account";
    return std::wstring();
  }
  std::wstring sid = text;
  ::LocalFree(text);
  return sid;
}

namespace {

struct LocalFreeDeleter {
  void operator()(void* memory) const { ::LocalFree(memory); }
};

// The largest DWORD-aligned size of an ACL.
constexpr DWORD kMaxAclSize = 0xfffc;

// Adds entries allowing SYNCHRONIZE to |acl| until it has no room left for
// one more of any kind: first ones with long SIDs, then short ones.
void FillAcl(PACL acl) {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY world_authority = SECURITY_WORLD_SID_AUTHORITY;
  for (DWORD rid = 1000;; ++rid) {
    PSID sid = nullptr;
    ASSERT_TRUE(::AllocateAndInitializeSid(&nt_authority, 5, 21, 1, 2, 3, rid,
                                           0, 0, 0, &sid));
    const BOOL added =
        ::AddAccessAllowedAce(acl, ACL_REVISION, SYNCHRONIZE, sid);
    ::FreeSid(sid);
    if (!added)
      break;
  }
  PSID everyone = nullptr;
  ASSERT_TRUE(::AllocateAndInitializeSid(&world_authority, 1, 0, 0, 0, 0, 0, 0,
                                         0, 0, &everyone));
  while (::AddAccessAllowedAce(acl, ACL_REVISION, SYNCHRONIZE, everyone)) {
  }
  ::FreeSid(everyone);
}

}  // namespace

base::win::ScopedHandle CreateEventWithDacl(const std::wstring& name,
                                            const std::wstring& dacl_sddl,
                                            bool full) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          dacl_sddl.c_str(), SDDL_REVISION_1, &raw, nullptr)) {
    ADD_FAILURE() << "Bad SDDL " << dacl_sddl;
    return base::win::ScopedHandle();
  }
  std::unique_ptr<void, LocalFreeDeleter> descriptor(raw);
  std::unique_ptr<void, LocalFreeDeleter> full_acl;
  SECURITY_DESCRIPTOR full_descriptor;
  if (full) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    EXPECT_TRUE(::GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted));
    full_acl.reset(::LocalAlloc(LPTR, kMaxAclSize));
    PACL acl = static_cast<PACL>(full_acl.get());
    EXPECT_TRUE(::InitializeAcl(acl, kMaxAclSize, ACL_REVISION));
    for (WORD i = 0; dacl && i < dacl->AceCount; ++i) {
      void* ace = nullptr;
      EXPECT_TRUE(::GetAce(dacl, i, &ace));
      EXPECT_TRUE(::AddAce(acl, ACL_REVISION, MAXDWORD, ace,
                           static_cast<ACE_HEADER*>(ace)->AceSize));
    }
    FillAcl(acl);
    EXPECT_TRUE(::InitializeSecurityDescriptor(&full_descriptor,
                                               SECURITY_DESCRIPTOR_REVISION));
    EXPECT_TRUE(
        ::SetSecurityDescriptorDacl(&full_descriptor, TRUE, acl, FALSE));
    raw = &full_descriptor;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), raw, FALSE};
  base::win::ScopedHandle event(
      ::CreateEventW(&attributes, FALSE, FALSE, name.c_str()));
  if (!event.IsValid() || ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ADD_FAILURE() << "Could not make the event " << name;
    return base::win::ScopedHandle();
  }
  return event;
}

std::wstring GetObjectDacl(HANDLE object) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, &dacl, nullptr,
                        &raw) != ERROR_SUCCESS) {
    return std::wstring();
  }
  std::unique_ptr<void, LocalFreeDeleter> descriptor(raw);
  // Wine writes a null DACL as "D:", which is an empty one.
  if (!dacl)
    return L"D:NO_ACCESS_CONTROL";
  wchar_t* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          raw, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return std::wstring();
  }
  std::wstring sddl = text;
  ::LocalFree(text);
  return sddl;
}

std::wstring UnixPath(const base::FilePath& path) {
  using GetUnixName = char*(CDECL*)(const wchar_t*);
  auto get_unix_name = reinterpret_cast<GetUnixName>(::GetProcAddress(
      ::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  char* name = get_unix_name ? get_unix_name(path.value().c_str()) : nullptr;
  if (!name)
    return std::wstring();
  std::wstring unix_path = base::UTF8ToWide(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return unix_path;
}

}  // namespace test
}  // namespace installer
