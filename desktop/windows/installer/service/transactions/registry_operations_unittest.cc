// The registry operations on the real registry: values of every type, key
// chains, key trees with restrictive DACLs, access grants, and the
// isolation of the 32-bit view.

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

// ------------------------------------------------------------------------
// Values.

TEST_F(RegistryOperationsTest, NewValueUnderMissingChain) {
  const std::wstring path = hkcu_.Append(L"a\\b\\c");
  const test::MachineSnapshot before = Snapshot();
  const std::vector<BYTE> data = Bytes(L"value");

  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, path, L"Name", data.data(), REG_SZ,
      static_cast<DWORD>(data.size()), 0)));
  EXPECT_EQ((Value{REG_SZ, data}), GetValue(HKEY_CURRENT_USER, path, L"Name"));
  EXPECT_TRUE(log_.Contains("Key does not exist,"));
  EXPECT_TRUE(log_.Contains("try to create it."));
  EXPECT_TRUE(log_.Contains("The value doesn't already exist."));
  EXPECT_TRUE(log_.Contains("Value changed successfully."));
  EXPECT_TRUE(log_.Contains(". New Type:1"));

  // The chain goes from its created top; the ancestor stays.
  transaction.Rollback();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, hkcu_.Append(L"a")));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, RollbackRestoresOldTypeAndBytesExactly) {
  const std::wstring path = hkcu_.path();
  const std::vector<std::pair<std::wstring, Value>> old_values = {
      {L"String", {REG_SZ, Bytes(L"text")}},
      {L"Unterminated", {REG_SZ, Bytes(L"abc", /*with_nul=*/false)}},
      {L"Expand", {REG_EXPAND_SZ, Bytes(L"%TEMP%\\x")}},
      {L"Binary", {REG_BINARY, {0x01, 0xab, 0x00}}},
      {L"Dword", {REG_DWORD, Bytes(7)}},
      {L"Qword", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
      {L"Multi", {REG_MULTI_SZ, Bytes(std::wstring(L"a\0b\0", 4))}},
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
    EXPECT_EQ((Value{REG_DWORD, dword}),
              GetValue(HKEY_CURRENT_USER, path, name));
    ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, name, nullptr, REG_SZ, 0, 0)));
    EXPECT_EQ((Value{REG_SZ, {}}), GetValue(HKEY_CURRENT_USER, path, name));
  }
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, RemovingValues) {
  const std::wstring path = hkcu_.path();
  SetValue(HKEY_CURRENT_USER, path, L"Old", {REG_BINARY, {9, 8, 7}});
  const test::MachineSnapshot before = Snapshot();

  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, path, L"Old", nullptr, kRemoveValueType, 0, 0)));
  EXPECT_FALSE(
      base::win::RegKey(HKEY_CURRENT_USER, path.c_str(), KEY_QUERY_VALUE)
          .HasValue(L"Old"));

  // A missing value, and a value of a missing key: nothing to do, and no
  // key is created.
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, path, L"Missing", nullptr, kRemoveValueType, 0, 0)));
  EXPECT_TRUE(
      log_.Contains("We are supposed to remove the value. Nothing to do."));
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, path + L"\\Missing", L"Value", nullptr,
      kRemoveValueType, 0, 0)));
  EXPECT_TRUE(
      log_.Contains("but we are trying to remove the value, nothing to do."));
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
  const test::MachineSnapshot before = Snapshot();
  const std::vector<BYTE> data = Bytes(L"new");

  for (bool commit : {false, true}) {
    Transaction transaction;
    ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, L"Value", data.data(), REG_SZ,
        static_cast<DWORD>(data.size()), 0)));
    EXPECT_TRUE(log_.Contains("We don't have enough permissions on the key."));
    // Loosened while the operation is held.
    EXPECT_FALSE(test::SnapshotsEqual(before, Snapshot()));
    if (commit) {
      transaction.Commit();
      test::MachineSnapshot expected = before;
      for (auto& [name, state] : expected) {
        if (name.find(L"Locked : Value") != std::wstring::npos)
          state = Snapshot()[name];
      }
      // Only the value changed; the permissions are back.
      EXPECT_TRUE(test::SnapshotsEqual(expected, Snapshot()));
      EXPECT_EQ((Value{REG_SZ, data}),
                GetValue(HKEY_CURRENT_USER, path, L"Value"));
    } else {
      transaction.Rollback();
      EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
    }
  }
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

// ------------------------------------------------------------------------
// Keys.

TEST_F(RegistryOperationsTest, CreateKeyChainWithSlashesInNames) {
  const test::MachineSnapshot before = Snapshot();
  Transaction transaction;
  // "/" belongs to the names: the created top is "text/html".
  ASSERT_TRUE(transaction.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, hkcu_.Append(L"text/html\\shell/open\\command"), 0)));
  EXPECT_TRUE(
      log_.Contains("Ancestor found: " +
                    std::string(hkcu_.path().begin(), hkcu_.path().end())));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER,
                        hkcu_.Append(L"text/html\\shell/open\\command")));
  // What others put below the created key goes with it.
  CreateKey(HKEY_CURRENT_USER, hkcu_.Append(L"text/html\\Later"));
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  // An existing key is nothing to do, and stays after a rollback.
  ASSERT_TRUE(transaction.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, hkcu_.path(), 0)));
  EXPECT_TRUE(log_.Contains("The key already exists. No need to do anything."));
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, KeyDirectlyBelowTheRootIsNotCreated) {
  Transaction transaction;
  EXPECT_FALSE(transaction.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, L"KelvoTestTopLevel", 0)));
  EXPECT_TRUE(log_.ContainsError("No existing ancestor found."));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"KelvoTestTopLevel"));
}

TEST_F(RegistryOperationsTest, AncestorRefusingSubkeysIsGrantedUntilTheEnd) {
  const std::wstring parent = hkcu_.Append(L"Parent");
  CreateKey(HKEY_CURRENT_USER, parent);
  SetDacl(HKEY_CURRENT_USER, parent,
          L"D:(D;;0x4;;;" + me_ + L")(A;OICI;KA;;;" + me_ + L")");
  const test::MachineSnapshot before = Snapshot();
  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Execute(std::make_unique<CreateRegKeyOperation>(
        HKEY_CURRENT_USER, parent + L"\\Child\\Grandchild", 0)));
    EXPECT_TRUE(log_.Contains("No access toCURRENT_USER\\"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, parent + L"\\Child\\Grandchild"));
    transaction.Rollback();
  }
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, DeleteTreeAndRestoreItExactly) {
  const std::wstring tree = hkcu_.Append(L"Tree");
  SetValue(HKEY_CURRENT_USER, tree, L"", {REG_SZ, Bytes(L"default")});
  SetValue(HKEY_CURRENT_USER, tree, L"Binary", {REG_BINARY, {0, 1, 2}});
  SetValue(HKEY_CURRENT_USER, tree, L"Empty", {REG_NONE, {}});
  SetValue(HKEY_CURRENT_USER, tree + L"\\Plain\\Deeper", L"Multi",
           {REG_MULTI_SZ, Bytes(std::wstring(L"x\0y\0", 4))});
  SetValue(HKEY_CURRENT_USER, tree + L"\\Plain", L"Qword",
           {REG_QWORD, {8, 7, 6, 5, 4, 3, 2, 1}});
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
  const test::MachineSnapshot before = Snapshot();
  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, hkcu_.Append(L"Missing"), 0)));
  EXPECT_TRUE(log_.Contains("Key does not exist. Nothing to do."));
  for (const wchar_t* path : {L"", L"\\", L"Software", L"Software\\"}) {
    EXPECT_FALSE(transaction.Execute(
        std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, path, 0)))
        << path;
  }
  EXPECT_EQ(4, log_.Count("Refusing to delete the top-level key"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

// ------------------------------------------------------------------------
// Registry views.

TEST_F(RegistryOperationsTest, The32BitViewIsChangedAlone) {
  const std::wstring shared = hklm_.Append(L"Shared");
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    const std::wstring text = view == KEY_WOW64_64KEY ? L"64" : L"32";
    SetValue(HKEY_LOCAL_MACHINE, shared, L"View", {REG_SZ, Bytes(text)}, view);
    SetValue(HKEY_LOCAL_MACHINE, shared + L"\\Sub", L"View",
             {REG_SZ, Bytes(text)}, view);
  }
  const test::MachineSnapshot before = Snapshot();
  const std::vector<BYTE> data = Bytes(L"new");
  const DWORD size = static_cast<DWORD>(data.size());

  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_LOCAL_MACHINE, shared, L"View", data.data(), REG_SZ, size,
      KEY_WOW64_32KEY)));
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_LOCAL_MACHINE, hklm_.Append(L"New\\Key"), L"View", data.data(),
      REG_SZ, size, KEY_WOW64_32KEY)));
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteRegKeyOperation>(
      HKEY_LOCAL_MACHINE, shared + L"\\Sub", KEY_WOW64_32KEY)));
  ASSERT_TRUE(transaction.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_LOCAL_MACHINE, hklm_.Append(L"Made"), KEY_WOW64_32KEY)));

  EXPECT_EQ((Value{REG_SZ, data}),
            GetValue(HKEY_LOCAL_MACHINE, shared, L"View", KEY_WOW64_32KEY));
  EXPECT_EQ((Value{REG_SZ, Bytes(L"64")}),
            GetValue(HKEY_LOCAL_MACHINE, shared, L"View", KEY_WOW64_64KEY));
  EXPECT_TRUE(
      KeyExists(HKEY_LOCAL_MACHINE, shared + L"\\Sub", KEY_WOW64_64KEY));
  EXPECT_FALSE(
      KeyExists(HKEY_LOCAL_MACHINE, shared + L"\\Sub", KEY_WOW64_32KEY));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, hklm_.Append(L"New\\Key"),
                        KEY_WOW64_32KEY));
  EXPECT_FALSE(
      KeyExists(HKEY_LOCAL_MACHINE, hklm_.Append(L"New"), KEY_WOW64_64KEY));
  EXPECT_FALSE(
      KeyExists(HKEY_LOCAL_MACHINE, hklm_.Append(L"Made"), KEY_WOW64_64KEY));

  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

}  // namespace
}  // namespace installer
