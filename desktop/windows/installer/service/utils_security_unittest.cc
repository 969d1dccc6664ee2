// The access checks and grants of the service utilities: their decisions
// through FakeSecurityAccess (ownership, deny entries, restore, a token
// without administrator rights), and one grant and restore by the Win32
// implementation on a real registry key, whose ACL Wine stores and enforces.

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <vector>

#include "base/test/test_registry_root.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/service/win32_security_access.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr ACCESS_MASK kWriteAccess = 0x1201bf;  // Read, write and execute.
constexpr wchar_t kObject[] = L"C:\\Kelvo Test\\Object";
// A SID that the test's token does not carry.
constexpr wchar_t kStranger[] = L"S-1-5-21-1-2-3-4";

// One ACE of a DACL, as a test reads it.
struct Ace {
  BYTE type;
  BYTE flags;
  ACCESS_MASK mask;
  std::wstring sid;

  bool operator==(const Ace& other) const = default;
};

// The ACEs of the DACL in |sddl|, in order.
std::vector<Ace> AcesOf(const std::wstring& sddl) {
  std::vector<Ace> aces;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          sddl.c_str(), SDDL_REVISION_1, &raw, nullptr)) {
    ADD_FAILURE() << "Bad SDDL";
    return aces;
  }
  ScopedSecurityDescriptor descriptor(raw);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted) || !dacl)
    return aces;
  for (WORD i = 0; i < dacl->AceCount; ++i) {
    void* raw_ace = nullptr;
    ::GetAce(dacl, i, &raw_ace);
    // Allowed and denied ACEs share one layout.
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw_ace);
    wchar_t* sid = nullptr;
    ::ConvertSidToStringSidW(&ace->SidStart, &sid);
    aces.push_back({ace->Header.AceType, ace->Header.AceFlags, ace->Mask, sid});
    ::LocalFree(sid);
  }
  return aces;
}

bool HasAce(const std::wstring& sddl, const Ace& ace) {
  std::vector<Ace> aces = AcesOf(sddl);
  return std::find(aces.begin(), aces.end(), ace) != aces.end();
}

class SecurityFakeTest : public testing::Test {
 protected:
  SecurityFakeTest() : override_(&fake_), me_(test::CurrentUserSid()) {}

  // Owner SYSTEM unless given; the group does not matter.
  void SetObject(const std::wstring& dacl, const std::wstring& owner = L"SY") {
    fake_.SetObject(kObject, L"O:" + owner + L"G:SY" + dacl);
    original_ = fake_.GetSddl(kObject);
  }

  std::wstring Sddl() { return fake_.GetSddl(kObject); }

  bool CanWrite() { return CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess); }

  bool OwnerWasWritten() {
    for (const std::wstring& call : fake_.calls()) {
      if (call.find(L"write_owner") != std::wstring::npos)
        return true;
    }
    return false;
  }

  FakeSecurityAccess fake_;
  SecurityAccess::ScopedOverrideForTesting override_;
  const std::wstring me_;
  std::wstring original_;
};

TEST_F(SecurityFakeTest, CheckAccessNeedsTheWholeMask) {
  SetObject(L"D:(A;;FR;;;" + me_ + L")");
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, GENERIC_READ));
  EXPECT_FALSE(CanWrite());
  EXPECT_FALSE(CheckAccess(kObject, SE_REGISTRY_KEY, KEY_SET_VALUE));

  // A deny entry for a group of the user wins over the grant. (Not FW:
  // that holds READ_CONTROL and SYNCHRONIZE, which reading needs too.)
  SetObject(L"D:(D;;0x116;;;WD)(A;;FA;;;" + me_ + L")");
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, FILE_GENERIC_READ));
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, FILE_GENERIC_WRITE));

  // Another account's grant is no grant.
  SetObject(std::wstring(L"D:(A;;FA;;;") + kStranger + L")");
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, FILE_GENERIC_READ));

  // No descriptor, or one that cannot be read: no access.
  SetObject(L"D:(A;;FA;;;WD)");
  EXPECT_FALSE(CheckAccess(kObject, SE_SERVICE, kWriteAccess));
  EXPECT_FALSE(CheckAccess(L"C:\\missing", SE_FILE_OBJECT, kWriteAccess));
  fake_.Lock(kObject, true, false);
  EXPECT_FALSE(CanWrite());
}

TEST_F(SecurityFakeTest, TemporaryGrantIsRestoredExactly) {
  SetObject(std::wstring(L"D:(A;OICI;FA;;;SY)(D;;FW;;;") + kStranger + L")");
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
  ASSERT_TRUE(saved);
  // The grant comes inherited; the stranger's deny stays untouched.
  EXPECT_EQ(3u, AcesOf(Sddl()).size()) << Sddl();
  EXPECT_TRUE(HasAce(
      Sddl(), {ACCESS_ALLOWED_ACE_TYPE,
               OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, kWriteAccess, me_}))
      << Sddl();
  EXPECT_TRUE(HasAce(
      Sddl(), {ACCESS_DENIED_ACE_TYPE, 0, FILE_GENERIC_WRITE, kStranger}));
  EXPECT_TRUE(CanWrite());

  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_FALSE(saved);
  EXPECT_EQ(original_, Sddl());
  EXPECT_FALSE(OwnerWasWritten());
}

TEST_F(SecurityFakeTest, DenyEntriesOfTheUserLoseTheGrantedRights) {
  SetObject(L"D:(D;;FA;;;" + me_ + L")(D;;FW;;;WD)(D;;FA;;;" + kStranger +
            L")(A;;FA;;;SY)");
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));

  // The user's own deny keeps only what was not asked for; Everyone's deny
  // is left with nothing and goes; the stranger's stays whole.
  EXPECT_TRUE(HasAce(Sddl(), {ACCESS_DENIED_ACE_TYPE, 0,
                              FILE_ALL_ACCESS & ~kWriteAccess, me_}))
      << Sddl();
  EXPECT_TRUE(
      HasAce(Sddl(), {ACCESS_DENIED_ACE_TYPE, 0, FILE_ALL_ACCESS, kStranger}));
  for (const Ace& ace : AcesOf(Sddl()))
    EXPECT_NE(L"S-1-1-0", ace.sid);
  EXPECT_TRUE(CanWrite());
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, DELETE));

  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(original_, Sddl());
}

TEST_F(SecurityFakeTest, UnreadableObjectIsTakenOverFirst) {
  SetObject(L"D:(A;;FA;;;SY)");
  fake_.Lock(kObject, true, true);
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
  // The privilege is held only around the owner change.
  const std::vector<std::wstring> expected = {
      std::wstring(L"read ") + kObject,
      L"+SeTakeOwnershipPrivilege",
      std::wstring(L"write_owner ") + kObject + L" S-1-5-32-544",
      L"-SeTakeOwnershipPrivilege",
      std::wstring(L"read ") + kObject,
      std::wstring(L"write_dacl ") + kObject};
  EXPECT_EQ(expected, fake_.calls());
  EXPECT_TRUE(CanWrite());
  // The owner before could not be read, so only the DACL comes back.
  ASSERT_TRUE(saved);
  EXPECT_FALSE(saved->old_owner);
  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(L"O:BAG:SYD:(A;;FA;;;SY)", Sddl());
}

TEST_F(SecurityFakeTest, UnwritableDaclTakesOwnershipAndGivesItBack) {
  SetObject(L"D:(A;;FA;;;SY)");
  fake_.Lock(kObject, false, true);
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
  EXPECT_EQ(0u, Sddl().find(L"O:BA")) << Sddl();

  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(original_, Sddl());
  // The owner goes back under the restore privilege, after the DACL.
  const std::vector<std::wstring>& calls = fake_.calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(L"-SeRestorePrivilege", calls.back());
}

TEST_F(SecurityFakeTest, WithoutAdministratorRightsNothingChanges) {
  fake_.set_privileges_held(false);
  SetObject(L"D:(A;;FA;;;SY)");
  for (bool lock_read : {true, false}) {
    fake_.Lock(kObject, lock_read, true);
    fake_.ClearCalls();
    std::unique_ptr<SavedSecurityInfo> saved;
    EXPECT_FALSE(
        GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
    EXPECT_FALSE(saved);
    EXPECT_EQ(original_, Sddl());
    EXPECT_FALSE(OwnerWasWritten());
  }
  // A failed owner write still drops the privilege it raised.
  fake_.set_privileges_held(true);
  EXPECT_FALSE(TakeOwnership(L"C:\\missing", SE_FILE_OBJECT));
  EXPECT_EQ(L"-SeTakeOwnershipPrivilege", fake_.calls().back());
}

TEST_F(SecurityFakeTest, NothingToReadOrRestoreFails) {
  std::unique_ptr<SavedSecurityInfo> saved;
  SetObject(L"D:(A;;FA;;;SY)");
  fake_.AnswerWithoutDescriptor(kObject);
  EXPECT_FALSE(
      GrantAccess(kObject, SE_REGISTRY_WOW64_32KEY, KEY_READ, false, &saved));
  EXPECT_FALSE(saved);
  EXPECT_FALSE(RestoreSecurity(&saved));
  // A failed write still destroys the record.
  saved = std::make_unique<SavedSecurityInfo>();
  saved->object_path = L"C:\\missing";
  saved->object_type = SE_FILE_OBJECT;
  EXPECT_FALSE(RestoreSecurity(&saved));
  EXPECT_FALSE(saved);
}

// The ACEs of |dacl|, in order.
std::vector<Ace> AcesOfAcl(PACL dacl) {
  SECURITY_DESCRIPTOR descriptor;
  wchar_t* sddl = nullptr;
  if (!::InitializeSecurityDescriptor(&descriptor,
                                      SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE) ||
      !::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          &descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl,
          nullptr)) {
    ADD_FAILURE() << "Unreadable DACL";
    return {};
  }
  ScopedSecurityDescriptor scoped_sddl(sddl);
  return AcesOf(sddl);
}

// The grant goes after the entries there, for the group alone and for
// nothing below; to a null DACL it is the only entry. A SID that is none
// fails and leaves the result alone.
TEST(AddGroupGrantTest, AppendsOneUninheritedGrant) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:(A;OICI;FR;;;WD)(D;;FW;;;BG)", SDDL_REVISION_1, &raw, nullptr));
  ScopedSecurityDescriptor descriptor(raw);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted));
  BYTE users[SECURITY_MAX_SID_SIZE];
  DWORD users_size = sizeof(users);
  ASSERT_TRUE(::CreateWellKnownSid(WinAuthenticatedUserSid, nullptr, users,
                                   &users_size));
  const Ace grant = {ACCESS_ALLOWED_ACE_TYPE, 0, GENERIC_READ | GENERIC_EXECUTE,
                     L"S-1-5-11"};

  ScopedAcl granted;
  ASSERT_EQ(
      static_cast<DWORD>(ERROR_SUCCESS),
      AddGroupGrant(dacl, users, GENERIC_READ | GENERIC_EXECUTE, &granted));
  std::vector<Ace> expected = AcesOfAcl(dacl);
  ASSERT_EQ(2u, expected.size());
  expected.push_back(grant);
  std::vector<Ace> aces = AcesOfAcl(granted.get());
  std::sort(aces.begin(), aces.end(),
            [](const Ace& a, const Ace& b) { return a.sid < b.sid; });
  std::sort(expected.begin(), expected.end(),
            [](const Ace& a, const Ace& b) { return a.sid < b.sid; });
  EXPECT_EQ(expected, aces);

  ScopedAcl only;
  ASSERT_EQ(
      static_cast<DWORD>(ERROR_SUCCESS),
      AddGroupGrant(nullptr, users, GENERIC_READ | GENERIC_EXECUTE, &only));
  EXPECT_EQ(std::vector<Ace>{grant}, AcesOfAcl(only.get()));

  BYTE no_sid[SECURITY_MAX_SID_SIZE] = {};
  EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS),
            AddGroupGrant(dacl, no_sid, GENERIC_ALL, &only));
  EXPECT_EQ(std::vector<Ace>{grant}, AcesOfAcl(only.get()));
}

class SecurityRealTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, base::win::RegKey().Create(
                                 HKEY_CURRENT_USER, kKeyPath, KEY_ALL_ACCESS));
  }

  void TearDown() override {
    // Whatever the test left, the user gets the key back to delete it.
    SetKeyDacl(L"D:(A;OICI;KA;;;" + me_ + L")");
    base::win::RegKey(HKEY_CURRENT_USER, base::kTestRegistryRoot,
                      KEY_ALL_ACCESS)
        .DeleteKey(L"ServiceUtils");
    base::DeleteTestRegistryRootIfEmpty(HKEY_CURRENT_USER);
  }

  void SetKeyDacl(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        sddl.c_str(), SDDL_REVISION_1, &raw, nullptr));
    ScopedSecurityDescriptor descriptor(raw);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ::GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted);
    EXPECT_EQ(
        static_cast<DWORD>(ERROR_SUCCESS),
        Win32SecurityAccess().WriteDacl(kObjectName, SE_REGISTRY_KEY, dacl));
  }

  LONG OpenKeyForReading() {
    return base::win::RegKey().Open(HKEY_CURRENT_USER, kKeyPath,
                                    KEY_QUERY_VALUE);
  }

  static constexpr wchar_t kKeyPath[] = L"Software\\KelvoTest\\ServiceUtils";
  static constexpr wchar_t kObjectName[] =
      L"CURRENT_USER\\Software\\KelvoTest\\ServiceUtils";
  const std::wstring me_ = test::CurrentUserSid();
};

TEST_F(SecurityRealTest, DeniedKeyIsGrantedAndRestored) {
  // The user owns the key, so it may still read and write the DACL.
  SetKeyDacl(L"D:(D;;KR;;;" + me_ + L")(A;;KA;;;" + me_ + L")");
  ASSERT_EQ(ERROR_ACCESS_DENIED, OpenKeyForReading());
  EXPECT_FALSE(CheckAccess(kObjectName, SE_REGISTRY_KEY, KEY_QUERY_VALUE));

  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObjectName, SE_REGISTRY_KEY, KEY_READ, false, &saved));
  EXPECT_TRUE(CheckAccess(kObjectName, SE_REGISTRY_KEY, KEY_QUERY_VALUE));
  EXPECT_EQ(ERROR_SUCCESS, OpenKeyForReading());
  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(ERROR_ACCESS_DENIED, OpenKeyForReading());
}

}  // namespace
}  // namespace installer
