#include "desktop/windows/installer/package_fetcher/package_folder_security.h"

#include <windows.h>

#include <sddl.h>

#include <string>

#include "desktop/windows/installer/test/fake_security_access.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// What the descriptor's DACL allows |sid_text|, inherited by everything
// below the folder (Wine has no GetEffectiveRightsFromAcl).
ACCESS_MASK Rights(PSECURITY_DESCRIPTOR descriptor, const wchar_t* sid_text) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  PSID sid = nullptr;
  EXPECT_TRUE(
      ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
      present && dacl);
  EXPECT_TRUE(::ConvertStringSidToSidW(sid_text, &sid));
  ACCESS_MASK rights = 0;
  for (DWORD i = 0; dacl && sid && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    EXPECT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    // Only grants: an entry of any other kind fails the test.
    EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
    EXPECT_EQ(
        OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
        ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE));
    if (::EqualSid(&ace->SidStart, sid))
      rights |= ace->Mask;
  }
  ::LocalFree(sid);
  return rights;
}

// An elevated front end's package folder lets users, and the user who
// runs it, read and run what is there but change nothing, and inherits
// nothing from the temporary folder that user may write; without
// administrator rights it takes what it inherits.
TEST(PackageFolderSecurityTest, OnlyAnElevatedRunLocksOutTheUser) {
  FakeSecurityAccess security;
  SecurityAccess::ScopedOverrideForTesting override(&security);
  security.set_admin(/*elevated=*/false, /*user_is_admin=*/true);
  EXPECT_FALSE(MakePackageFolderSecurity());

  security.set_admin(/*elevated=*/true, /*user_is_admin=*/true);
  ScopedSecurityDescriptor descriptor = MakePackageFolderSecurity();
  ASSERT_TRUE(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(
      ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  // Users read and run, and change nothing.
  EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_GENERIC_READ | FILE_EXECUTE),
            Rights(descriptor.get(), L"BU"));
  EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_ALL_ACCESS),
            Rights(descriptor.get(), L"BA") & FILE_ALL_ACCESS);
  EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_ALL_ACCESS),
            Rights(descriptor.get(), L"SY") & FILE_ALL_ACCESS);
}

}  // namespace
}  // namespace installer
