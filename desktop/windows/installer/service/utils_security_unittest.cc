// The access checks and grants of the service utilities: their decisions
// through FakeSecurityAccess (ownership, deny entries, restore, a token
// without administrator rights), and the Win32 implementation on real
// registry keys, whose ACLs Wine stores and enforces, and real files.

#include <windows.h>

#include <sddl.h>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/service/win32_security_access.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr ACCESS_MASK kWriteAccess = 0x1201bf;  // Read, write and execute.
constexpr wchar_t kObject[] = L"C:\\Kelvo Test\\Object";
// A SID that the test's token does not carry.
constexpr wchar_t kStranger[] = L"S-1-5-21-1-2-3-4";

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  base::win::ScopedHandle scoped_token(token);
  BYTE buffer[256];
  DWORD size = 0;
  EXPECT_TRUE(
      ::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size));
  wchar_t* text = nullptr;
  EXPECT_TRUE(::ConvertSidToStringSidW(
      reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text));
  std::wstring sid = text;
  ::LocalFree(text);
  return sid;
}

// One ACE of a DACL, as a test reads it.
struct Ace {
  BYTE type;
  BYTE flags;
  ACCESS_MASK mask;
  std::wstring sid;

  bool operator==(const Ace& other) const {
    return type == other.type && flags == other.flags && mask == other.mask &&
           sid == other.sid;
  }
};

std::ostream& operator<<(std::ostream& out, const Ace& ace) {
  return out << (ace.type == ACCESS_DENIED_ACE_TYPE ? "deny " : "allow ")
             << std::hex << "0x" << ace.mask << " flags 0x" << int{ace.flags}
             << " to " << std::string(ace.sid.begin(), ace.sid.end());
}

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

constexpr BYTE kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// ------------------------------------------------------------------------
// Decisions, with the fake.

class SecurityFakeTest : public testing::Test {
 protected:
  SecurityFakeTest() : override_(&fake_), me_(CurrentUserSid()) {}

  // Owner SYSTEM unless given; the group does not matter.
  void SetObject(const std::wstring& dacl, const std::wstring& owner = L"SY") {
    original_ = L"O:" + owner + L"G:SY" + dacl;
    fake_.SetObject(kObject, original_);
    original_ = fake_.GetSddl(kObject);
  }

  std::wstring Sddl() { return fake_.GetSddl(kObject); }

  FakeSecurityAccess fake_;
  SecurityAccess::ScopedOverrideForTesting override_;
  const std::wstring me_;
  std::wstring original_;
};

TEST_F(SecurityFakeTest, CheckAccessNeedsTheWholeMask) {
  SetObject(L"D:(A;;FR;;;" + me_ + L")");
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, FILE_GENERIC_READ));
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, GENERIC_READ));
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, GENERIC_ALL));

  // A deny entry for a group of the user wins over the grant. (Not FW:
  // that holds READ_CONTROL and SYNCHRONIZE, which reading needs too.)
  SetObject(L"D:(D;;0x116;;;WD)(A;;FA;;;" + me_ + L")");
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, FILE_GENERIC_READ));
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, FILE_GENERIC_WRITE));

  // Another account's grant is no grant.
  SetObject(std::wstring(L"D:(A;;FA;;;") + kStranger + L")");
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, FILE_GENERIC_READ));
}

TEST_F(SecurityFakeTest, CheckAccessMapsKeyRights) {
  SetObject(L"D:(A;;KR;;;" + me_ + L")");
  for (SE_OBJECT_TYPE type : {SE_REGISTRY_KEY, SE_REGISTRY_WOW64_32KEY}) {
    EXPECT_TRUE(CheckAccess(kObject, type, KEY_READ)) << type;
    EXPECT_TRUE(CheckAccess(kObject, type, GENERIC_READ)) << type;
    EXPECT_FALSE(CheckAccess(kObject, type, KEY_SET_VALUE)) << type;
    EXPECT_FALSE(CheckAccess(kObject, type, GENERIC_WRITE)) << type;
  }
}

TEST_F(SecurityFakeTest, CheckAccessFailsWithoutADescriptor) {
  SetObject(L"D:(A;;FA;;;WD)");
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));
  // Only files and keys have a mapping.
  EXPECT_FALSE(CheckAccess(kObject, SE_SERVICE, kWriteAccess));
  EXPECT_FALSE(CheckAccess(L"C:\\missing", SE_FILE_OBJECT, kWriteAccess));
  fake_.Lock(kObject, true, false);
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));
  fake_.AnswerWithoutDescriptor(kObject);
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));
}

TEST_F(SecurityFakeTest, TemporaryGrantIsRestoredExactly) {
  SetObject(std::wstring(L"D:(A;OICI;FA;;;SY)(D;;FW;;;") + kStranger + L")");
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
  ASSERT_TRUE(saved);
  EXPECT_EQ(kObject, saved->object_path);
  EXPECT_EQ(SE_FILE_OBJECT, saved->object_type);
  EXPECT_FALSE(saved->old_owner);

  // The grant comes first-class, inherited; the old entries stay, the
  // stranger's deny untouched.
  std::vector<Ace> aces = AcesOf(Sddl());
  EXPECT_EQ(3u, aces.size()) << Sddl();
  EXPECT_NE(aces.end(), std::find(aces.begin(), aces.end(),
                                  Ace{ACCESS_ALLOWED_ACE_TYPE, kInherit,
                                      kWriteAccess, me_}))
      << Sddl();
  EXPECT_NE(aces.end(), std::find(aces.begin(), aces.end(),
                                  Ace{ACCESS_DENIED_ACE_TYPE, 0,
                                      FILE_GENERIC_WRITE, kStranger}))
      << Sddl();
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));

  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_FALSE(saved);
  EXPECT_EQ(original_, Sddl());
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));
  // Nothing needed ownership.
  for (const std::wstring& call : fake_.calls())
    EXPECT_EQ(std::wstring::npos, call.find(L"write_owner")) << call;
}

TEST_F(SecurityFakeTest, DenyEntriesOfTheUserLoseTheGrantedRights) {
  SetObject(L"D:(D;;FA;;;" + me_ + L")(D;;FW;;;WD)(D;;FA;;;" + kStranger +
            L")(A;;FA;;;SY)");
  ASSERT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, FILE_GENERIC_READ));
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));

  std::vector<Ace> aces = AcesOf(Sddl());
  // The user's own deny keeps only what was not asked for; Everyone's deny
  // is left with nothing and goes; the stranger's stays whole.
  EXPECT_NE(aces.end(), std::find(aces.begin(), aces.end(),
                                  Ace{ACCESS_DENIED_ACE_TYPE, 0,
                                      FILE_ALL_ACCESS & ~kWriteAccess, me_}))
      << Sddl();
  EXPECT_NE(aces.end(), std::find(aces.begin(), aces.end(),
                                  Ace{ACCESS_DENIED_ACE_TYPE, 0,
                                      FILE_ALL_ACCESS, kStranger}))
      << Sddl();
  for (const Ace& ace : aces)
    EXPECT_NE(L"S-1-1-0", ace.sid) << ace;
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));
  EXPECT_FALSE(CheckAccess(kObject, SE_FILE_OBJECT, DELETE));

  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(original_, Sddl());
}

TEST_F(SecurityFakeTest, GenericMaskClearsSpecificDenyRights) {
  SetObject(L"D:(D;;FW;;;" + me_ + L")(A;;FR;;;SY)");
  ASSERT_TRUE(GrantAccess(kObject, SE_FILE_OBJECT, GENERIC_ALL, true, nullptr));
  for (const Ace& ace : AcesOf(Sddl()))
    EXPECT_NE(ACCESS_DENIED_ACE_TYPE, ace.type) << ace;
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, GENERIC_ALL));
}

TEST_F(SecurityFakeTest, UnreadableObjectIsTakenOverFirst) {
  SetObject(L"D:(A;;FA;;;SY)", L"SY");
  fake_.Lock(kObject, true, true);
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
  EXPECT_EQ(0u, Sddl().find(L"O:BA")) << Sddl();
  // The privilege is held only around the owner change.
  const std::vector<std::wstring> expected = {
      std::wstring(L"read ") + kObject,
      L"+SeTakeOwnershipPrivilege",
      std::wstring(L"write_owner ") + kObject + L" S-1-5-32-544",
      L"-SeTakeOwnershipPrivilege",
      std::wstring(L"read ") + kObject,
      std::wstring(L"write_dacl ") + kObject};
  EXPECT_EQ(expected, fake_.calls());
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));
  // The owner before could not be read, so only the DACL comes back.
  ASSERT_TRUE(saved);
  EXPECT_FALSE(saved->old_owner);
  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(L"O:BAG:SYD:(A;;FA;;;SY)", Sddl());
}

TEST_F(SecurityFakeTest, UnwritableDaclTakesOwnershipAndGivesItBack) {
  SetObject(L"D:(A;;FA;;;SY)", L"SY");
  fake_.Lock(kObject, false, true);
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
  EXPECT_EQ(0u, Sddl().find(L"O:BA")) << Sddl();
  ASSERT_TRUE(saved);
  EXPECT_TRUE(saved->old_owner);

  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(original_, Sddl());
  // The owner goes back under the restore privilege, after the DACL.
  const std::vector<std::wstring>& calls = fake_.calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(std::wstring(L"write_dacl ") + kObject, calls[calls.size() - 4]);
  EXPECT_EQ(L"+SeRestorePrivilege", calls[calls.size() - 3]);
  EXPECT_EQ(std::wstring(L"write_owner ") + kObject + L" S-1-5-18",
            calls[calls.size() - 2]);
  EXPECT_EQ(L"-SeRestorePrivilege", calls.back());
}

TEST_F(SecurityFakeTest, PermanentGrantKeepsNothingAndTheNewOwner) {
  SetObject(L"D:(A;;FA;;;SY)", L"SY");
  fake_.Lock(kObject, false, true);
  // A record left from before is cleared.
  auto saved = std::make_unique<SavedSecurityInfo>();
  ASSERT_TRUE(GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, true, &saved));
  EXPECT_FALSE(saved);
  EXPECT_EQ(0u, Sddl().find(L"O:BA")) << Sddl();
  EXPECT_TRUE(CheckAccess(kObject, SE_FILE_OBJECT, kWriteAccess));
}

TEST_F(SecurityFakeTest, WithoutAdministratorRightsNothingChanges) {
  fake_.set_privileges_held(false);
  SetObject(L"D:(A;;FA;;;SY)", L"SY");
  for (bool lock_read : {true, false}) {
    fake_.Lock(kObject, lock_read, true);
    fake_.ClearCalls();
    std::unique_ptr<SavedSecurityInfo> saved;
    EXPECT_FALSE(
        GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
    EXPECT_FALSE(saved);
    EXPECT_EQ(original_, Sddl());
    for (const std::wstring& call : fake_.calls())
      EXPECT_EQ(std::wstring::npos, call.find(L"write_owner")) << call;
  }
  EXPECT_FALSE(TakeOwnership(kObject, SE_FILE_OBJECT));
  EXPECT_EQ(original_, Sddl());
}

TEST_F(SecurityFakeTest, TakeOwnershipFailureStillDropsThePrivilege) {
  // A missing object: the owner write fails after the privilege went up.
  EXPECT_FALSE(TakeOwnership(L"C:\\missing", SE_FILE_OBJECT));
  ASSERT_FALSE(fake_.calls().empty());
  EXPECT_EQ(L"-SeTakeOwnershipPrivilege", fake_.calls().back());
}

TEST_F(SecurityFakeTest, NullDaclIsLeftAlone) {
  SetObject(L"D:NO_ACCESS_CONTROL");
  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, false, &saved));
  EXPECT_EQ(original_, Sddl());
  ASSERT_TRUE(saved);
  EXPECT_FALSE(saved->old_dacl);
  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(original_, Sddl());

  ASSERT_TRUE(GrantAccess(kObject, SE_FILE_OBJECT, kWriteAccess, true, &saved));
  EXPECT_FALSE(saved);
  EXPECT_EQ(original_, Sddl());
}

TEST_F(SecurityFakeTest, GrantFailsWhereNothingCanBeRead) {
  std::unique_ptr<SavedSecurityInfo> saved;
  EXPECT_FALSE(
      GrantAccess(L"C:\\missing", SE_FILE_OBJECT, kWriteAccess, false, &saved));
  EXPECT_FALSE(saved);
  SetObject(L"D:(A;;FA;;;SY)");
  EXPECT_FALSE(GrantAccess(kObject, SE_SERVICE, kWriteAccess, false, &saved));
  fake_.AnswerWithoutDescriptor(kObject);
  EXPECT_FALSE(
      GrantAccess(kObject, SE_REGISTRY_WOW64_32KEY, KEY_READ, false, &saved));
  EXPECT_FALSE(saved);
}

TEST_F(SecurityFakeTest, RestoreNeedsARecord) {
  std::unique_ptr<SavedSecurityInfo> empty;
  EXPECT_FALSE(RestoreSecurity(&empty));
  EXPECT_FALSE(RestoreSecurity(nullptr));
  EXPECT_TRUE(fake_.calls().empty());

  // A failed write still destroys the record.
  auto saved = std::make_unique<SavedSecurityInfo>();
  saved->object_path = L"C:\\missing";
  saved->object_type = SE_FILE_OBJECT;
  EXPECT_FALSE(RestoreSecurity(&saved));
  EXPECT_FALSE(saved);
}

// ------------------------------------------------------------------------
// The Win32 implementation.

class SecurityRealTest : public testing::Test {
 protected:
  void SetUp() override {
    key_path_ =
        std::wstring(L"Software\\KelvoTest\\ServiceUtils\\") +
        base::ASCIIToUTF16(
            testing::UnitTest::GetInstance()->current_test_info()->name());
    object_name_ = L"CURRENT_USER\\" + key_path_;
    ASSERT_EQ(ERROR_SUCCESS,
              base::win::RegKey().Create(HKEY_CURRENT_USER, key_path_.c_str(),
                                         KEY_ALL_ACCESS));
  }

  void TearDown() override {
    // Whatever the test left, the user gets the key back to delete it.
    SetKeyDacl(L"D:(A;OICI;KA;;;" + me_ + L")");
    base::win::RegKey parent(HKEY_CURRENT_USER, L"Software\\KelvoTest",
                             KEY_ALL_ACCESS);
    parent.DeleteKey(L"ServiceUtils");
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
        Win32SecurityAccess().WriteDacl(object_name_, SE_REGISTRY_KEY, dacl));
  }

  std::wstring KeyDaclSddl() {
    ScopedSecurityDescriptor descriptor;
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              Win32SecurityAccess().ReadSecurity(object_name_, SE_REGISTRY_KEY,
                                                 DACL_SECURITY_INFORMATION,
                                                 &descriptor));
    wchar_t* text = nullptr;
    std::wstring sddl;
    if (descriptor && ::ConvertSecurityDescriptorToStringSecurityDescriptorW(
                          descriptor.get(), SDDL_REVISION_1,
                          DACL_SECURITY_INFORMATION, &text, nullptr)) {
      sddl = text;
      ::LocalFree(text);
    }
    return sddl;
  }

  LONG OpenKeyForReading() {
    return base::win::RegKey().Open(HKEY_CURRENT_USER, key_path_.c_str(),
                                    KEY_QUERY_VALUE);
  }

  const std::wstring me_ = CurrentUserSid();
  std::wstring key_path_;
  std::wstring object_name_;
};

TEST_F(SecurityRealTest, TheProcessIsAnElevatedAdministrator) {
  // Wine's token is always a full administrator's.
  EXPECT_TRUE(IsUserAdmin(false));
  EXPECT_TRUE(IsUserAdmin(true));
}

TEST_F(SecurityRealTest, DeniedKeyIsGrantedAndRestored) {
  // The user owns the key, so it may still read and write the DACL.
  SetKeyDacl(L"D:(D;;KR;;;" + me_ + L")(A;;KA;;;" + me_ + L")");
  const std::wstring before = KeyDaclSddl();
  ASSERT_EQ(ERROR_ACCESS_DENIED, OpenKeyForReading());
  EXPECT_FALSE(CheckAccess(object_name_, SE_REGISTRY_KEY, KEY_QUERY_VALUE));

  std::unique_ptr<SavedSecurityInfo> saved;
  ASSERT_TRUE(
      GrantAccess(object_name_, SE_REGISTRY_KEY, KEY_READ, false, &saved));
  EXPECT_TRUE(CheckAccess(object_name_, SE_REGISTRY_KEY, KEY_QUERY_VALUE));
  EXPECT_EQ(ERROR_SUCCESS, OpenKeyForReading());

  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_EQ(before, KeyDaclSddl());
  EXPECT_EQ(ERROR_ACCESS_DENIED, OpenKeyForReading());
}

TEST_F(SecurityRealTest, TakeOwnershipOfAKey) {
  EXPECT_TRUE(TakeOwnership(object_name_, SE_REGISTRY_KEY));
  ScopedSecurityDescriptor descriptor;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            Win32SecurityAccess().ReadSecurity(object_name_, SE_REGISTRY_KEY,
                                               OWNER_SECURITY_INFORMATION,
                                               &descriptor));
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  ASSERT_TRUE(
      ::GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted));
  EXPECT_TRUE(::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
}

TEST_F(SecurityRealTest, FileCallsSucceed) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  const std::wstring folder = temp_dir.GetPath().value();
  EXPECT_TRUE(CheckAccess(folder, SE_FILE_OBJECT, kWriteAccess));
  EXPECT_FALSE(
      CheckAccess(folder + L"\\missing", SE_FILE_OBJECT, FILE_GENERIC_READ));
  std::unique_ptr<SavedSecurityInfo> saved;
  EXPECT_TRUE(GrantAccess(folder, SE_FILE_OBJECT, kWriteAccess, false, &saved));
  ASSERT_TRUE(saved);
  EXPECT_TRUE(saved->old_dacl);
  EXPECT_TRUE(RestoreSecurity(&saved));
  EXPECT_TRUE(TakeOwnership(folder, SE_FILE_OBJECT));
}

TEST_F(SecurityRealTest, EnablePrivilege) {
  auto open_token = [] {
    HANDLE token = nullptr;
    EXPECT_TRUE(::OpenProcessToken(
        ::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    return base::win::ScopedHandle(token);
  };
  EXPECT_TRUE(EnablePrivilege(SE_SHUTDOWN_NAME, true, open_token()));
  EXPECT_TRUE(EnablePrivilege(SE_SHUTDOWN_NAME, false, open_token()));
  EXPECT_FALSE(EnablePrivilege(L"SeNoSuchPrivilege", true, open_token()));
  // A token without the right to adjust.
  HANDLE query_only = nullptr;
  ASSERT_TRUE(
      ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &query_only));
  EXPECT_FALSE(EnablePrivilege(SE_SHUTDOWN_NAME, true,
                               base::win::ScopedHandle(query_only)));
}

}  // namespace
}  // namespace installer
