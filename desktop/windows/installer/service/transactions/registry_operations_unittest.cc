// The registry operations on the real registry: values of every type, key
// chains, key trees with restrictive DACLs and access grants.

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <string>
#include <vector>

#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/scoped_test_registry_key.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

struct Value {
  DWORD type;
  std::vector<BYTE> data;

  bool operator==(const Value& other) const = default;
};

std::vector<BYTE> Bytes(const std::wstring& text, bool with_nul = true) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(
      bytes, bytes + (text.size() + (with_nul ? 1 : 0)) * sizeof(wchar_t));
}

std::vector<BYTE> Bytes(DWORD number) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
  return std::vector<BYTE>(bytes, bytes + sizeof(number));
}

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE buffer[256];
  DWORD size = 0;
  EXPECT_TRUE(
      ::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size));
  ::CloseHandle(token);
  wchar_t* text = nullptr;
  EXPECT_TRUE(::ConvertSidToStringSidW(
      reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text));
  std::wstring sid = text;
  ::LocalFree(text);
  return sid;
}

class RegistryOperationsTest : public testing::Test {
 protected:
  RegistryOperationsTest()
      : hkcu_(HKEY_CURRENT_USER), hklm_(HKEY_LOCAL_MACHINE) {
    scope_.keys.push_back({HKEY_CURRENT_USER, hkcu_.path()});
    scope_.keys.push_back({HKEY_LOCAL_MACHINE, hklm_.path()});
  }

  void CreateKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(root, path.c_str(), view | KEY_ALL_ACCESS));
  }

  void SetValue(HKEY root,
                const std::wstring& path,
                const std::wstring& name,
                const Value& value,
                REGSAM view = 0) {
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(root, path.c_str(), view | KEY_ALL_ACCESS));
    static const BYTE kNoData = 0;
    ASSERT_EQ(
        ERROR_SUCCESS,
        key.WriteValue(name.c_str(),
                       value.data.empty() ? &kNoData : value.data.data(),
                       static_cast<DWORD>(value.data.size()), value.type));
  }

  // The value, or type REG_NONE with the data "missing".
  Value GetValue(HKEY root,
                 const std::wstring& path,
                 const std::wstring& name,
                 REGSAM view = 0) {
    const Value missing = {REG_NONE, {'m', 'i', 's', 's', 'i', 'n', 'g'}};
    base::win::RegKey key;
    if (key.Open(root, path.c_str(), view | KEY_QUERY_VALUE) != ERROR_SUCCESS)
      return missing;
    DWORD type = 0;
    DWORD size = 0;
    if (key.ReadValue(name.c_str(), nullptr, &size, &type) != ERROR_SUCCESS)
      return missing;
    std::vector<BYTE> data(size + 1);
    key.ReadValue(name.c_str(), data.data(), &size, &type);
    data.resize(size);
    return {type, data};
  }

  bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0) {
    return base::win::RegKey().Open(root, path.c_str(),
                                    view | KEY_QUERY_VALUE) == ERROR_SUCCESS;
  }

  void SetDacl(HKEY root,
               const std::wstring& path,
               const std::wstring& sddl,
               REGSAM view = 0) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(root, path.c_str(), view | WRITE_DAC));
    EXPECT_EQ(ERROR_SUCCESS,
              ::RegSetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION,
                                  descriptor));
    ::LocalFree(descriptor);
  }

  test::MachineSnapshot Snapshot() { return test::TakeSnapshot(scope_); }

  const std::wstring me_ = CurrentUserSid();
  test::ScopedTestRegistryKey hkcu_;
  test::ScopedTestRegistryKey hklm_;
  test::SnapshotScope scope_;
  test::ScopedLogCapture log_;
};

TEST_F(RegistryOperationsTest, RollbackRestoresOldTypeAndBytesExactly) {
  const std::wstring path = hkcu_.path();
  const std::vector<std::pair<std::wstring, Value>> old_values = {
      {L"Unterminated", {REG_SZ, Bytes(L"abc", /*with_nul=*/false)}},
      {L"Expand", {REG_EXPAND_SZ, Bytes(L"%TEMP%\\x")}},
      {L"Qword", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
      {L"None", {REG_NONE, {}}},
      {L"", {REG_SZ, Bytes(L"default")}},
  };
  for (const auto& [name, value] : old_values)
    SetValue(HKEY_CURRENT_USER, path, name, value);
  const test::MachineSnapshot before = Snapshot();

  // Each becomes a value of another type and size, then of no bytes.
  const std::vector<BYTE> dword = Bytes(1);
  Transaction transaction;
  for (const auto& [name, value] : old_values) {
    ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, name, dword.data(), REG_DWORD, 4, 0)));
    ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, name, nullptr, REG_SZ, 0, 0)));
    EXPECT_EQ((Value{REG_SZ, {}}), GetValue(HKEY_CURRENT_USER, path, name));
  }
  // Removing a value of a missing key creates no key.
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, path + L"\\Missing", L"Value", nullptr,
      kRemoveValueType, 0, 0)));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path + L"\\Missing"));
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, DeniedKeyIsGrantedUntilTheOperationGoes) {
  const std::wstring path = hkcu_.Append(L"Locked");
  SetValue(HKEY_CURRENT_USER, path, L"Value", {REG_SZ, Bytes(L"old")});
  // The user owns the key and so may change its DACL.
  SetDacl(HKEY_CURRENT_USER, path,
          L"D:(D;;0x2;;;" + me_ + L")(A;;KA;;;" + me_ + L")");
  const std::vector<BYTE> data = Bytes(L"new");
  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, path, L"Value", data.data(), REG_SZ,
      static_cast<DWORD>(data.size()), 0)));
  transaction.Commit();
  // The value changed and the permissions are back.
  EXPECT_EQ((Value{REG_SZ, data}), GetValue(HKEY_CURRENT_USER, path, L"Value"));
  base::win::RegKey key;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_SET_VALUE));
}

TEST_F(RegistryOperationsTest, RefusedGrantFailsTheChange) {
  const std::wstring path = hkcu_.Append(L"Locked");
  SetValue(HKEY_CURRENT_USER, path, L"Value", {REG_SZ, Bytes(L"old")});
  SetDacl(HKEY_CURRENT_USER, path,
          L"D:(D;;0x2;;;" + me_ + L")(A;;KA;;;" + me_ + L")");
  const test::MachineSnapshot before = Snapshot();
  {
    // The seam knows no such object: the grant cannot read it.
    FakeSecurityAccess fake;
    SecurityAccess::ScopedOverrideForTesting override(&fake);
    const std::vector<BYTE> data = Bytes(L"new");
    Transaction transaction;
    EXPECT_FALSE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, L"Value", data.data(), REG_SZ,
        static_cast<DWORD>(data.size()), 0)));
  }
  EXPECT_TRUE(log_.ContainsError(
      "Failed to obtain sufficient permissions on CURRENT_USER\\Software\\"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, CreateKeyChainWithSlashesInNames) {
  const test::MachineSnapshot before = Snapshot();
  Transaction transaction;
  // "/" belongs to the names: the created top is "text/html".
  ASSERT_TRUE(transaction.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, hkcu_.Append(L"text/html\\shell/open\\command"), 0)));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER,
                        hkcu_.Append(L"text/html\\shell/open\\command")));
  // What others put below the created key goes with it.
  CreateKey(HKEY_CURRENT_USER, hkcu_.Append(L"text/html\\Later"));
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  // Nothing exists to hang a key directly below the root on.
  EXPECT_FALSE(transaction.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, L"KelvoTestTopLevel", 0)));
  EXPECT_TRUE(log_.ContainsError("No existing ancestor found."));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"KelvoTestTopLevel"));
}

TEST_F(RegistryOperationsTest, DeleteTreeAndRestoreItExactly) {
  const std::wstring tree = hkcu_.Append(L"Tree");
  SetValue(HKEY_CURRENT_USER, tree, L"", {REG_SZ, Bytes(L"default")});
  SetValue(HKEY_CURRENT_USER, tree + L"\\Plain\\Deeper", L"Multi",
           {REG_MULTI_SZ, Bytes(std::wstring(L"x\0y\0", 4))});
  // Open to the user only, nothing inherited.
  CreateKey(HKEY_CURRENT_USER, tree + L"\\Protected");
  SetDacl(HKEY_CURRENT_USER, tree + L"\\Protected",
          L"D:P(A;;KA;;;" + me_ + L")");
  // Refuses its own deletion.
  SetValue(HKEY_CURRENT_USER, tree + L"\\NoDelete", L"Dword",
           {REG_DWORD, Bytes(5)});
  SetDacl(HKEY_CURRENT_USER, tree + L"\\NoDelete",
          L"D:(D;;SD;;;" + me_ + L")(A;;KA;;;" + me_ + L")");
  // Refuses new subkeys, but has one.
  SetValue(HKEY_CURRENT_USER, tree + L"\\NoCreate\\Inner", L"Text",
           {REG_EXPAND_SZ, Bytes(L"%PATH%")});
  SetDacl(HKEY_CURRENT_USER, tree + L"\\NoCreate",
          L"D:(D;;0x4;;;" + me_ + L")(A;;KA;;;" + me_ + L")");
  const test::MachineSnapshot before = Snapshot();

  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(
      std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, tree, 0)));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tree));
  EXPECT_TRUE(log_.Contains("Insufficient permissions on the key"));
  EXPECT_TRUE(log_.Contains(
      "DeleteAndSaveRecursive : " + std::string(tree.begin(), tree.end()) +
      "\\NoCreate\\Inner"));

  // Every key comes back with its own descriptor and values.
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  ASSERT_TRUE(transaction.Execute(
      std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, tree, 0)));
  transaction.Commit();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tree));
}

TEST_F(RegistryOperationsTest, DeleteThatStopsHalfWayRestoresWhatWent) {
  const std::wstring tree = hkcu_.Append(L"Tree");
  SetValue(HKEY_CURRENT_USER, tree + L"\\A", L"Value", {REG_SZ, Bytes(L"a")});
  SetValue(HKEY_CURRENT_USER, tree + L"\\Z", L"Value", {REG_SZ, Bytes(L"z")});
  SetDacl(HKEY_CURRENT_USER, tree + L"\\Z",
          L"D:(D;;SD;;;" + me_ + L")(A;;KA;;;" + me_ + L")");
  const test::MachineSnapshot before = Snapshot();
  {
    // Z cannot be granted the right to go; A went before.
    FakeSecurityAccess fake;
    SecurityAccess::ScopedOverrideForTesting override(&fake);
    Transaction transaction;
    EXPECT_FALSE(transaction.Execute(
        std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, tree, 0)));
  }
  EXPECT_TRUE(
      log_.ContainsError("Unable to obtain sufficient permissions on key"));
  EXPECT_TRUE(log_.Contains("DeleteAndSaveRecursive : " +
                            std::string(tree.begin(), tree.end()) + "\\A"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, DeleteMissingKeyAndRefusedTopLevelKeys) {
  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, hkcu_.Append(L"Missing"), 0)));
  for (const wchar_t* path : {L"", L"\\", L"Software\\"}) {
    EXPECT_FALSE(transaction.Execute(
        std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, path, 0)))
        << path;
  }
  EXPECT_EQ(3, log_.Count("Refusing to delete the top-level key"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

}  // namespace
}  // namespace installer
