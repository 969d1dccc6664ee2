// The registry operations on the real registry where the rollback sweep of
// transaction_rollback_unittest.cc does not reach: values of unusual types
// and sizes, key trees with restrictive DACLs, refused grants and keys that
// must never go.

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <string>
#include <vector>

#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/scoped_test_registry_key.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

std::vector<BYTE> Bytes(const std::wstring& text, bool with_nul = true) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(
      bytes, bytes + (text.size() + (with_nul ? 1 : 0)) * sizeof(wchar_t));
}

class RegistryOperationsTest : public testing::Test {
 protected:
  RegistryOperationsTest() : hkcu_(HKEY_CURRENT_USER) {
    scope_.keys.push_back({HKEY_CURRENT_USER, hkcu_.path()});
  }

  void SetValue(const std::wstring& path,
                const std::wstring& name,
                DWORD type,
                const std::vector<BYTE>& data) {
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS));
    static const BYTE kNoData = 0;
    ASSERT_EQ(
        ERROR_SUCCESS,
        key.WriteValue(name.c_str(), data.empty() ? &kNoData : data.data(),
                       static_cast<DWORD>(data.size()), type));
  }

  void SetDacl(const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        sddl, SDDL_REVISION_1, &descriptor, nullptr));
    base::win::RegKey key(HKEY_CURRENT_USER, path.c_str(), WRITE_DAC);
    EXPECT_EQ(ERROR_SUCCESS,
              ::RegSetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION,
                                  descriptor));
    ::LocalFree(descriptor);
  }

  bool KeyExists(const std::wstring& path) {
    return base::win::RegKey().Open(HKEY_CURRENT_USER, path.c_str(),
                                    KEY_QUERY_VALUE) == ERROR_SUCCESS;
  }

  std::unique_ptr<Operation> DeleteKey(const std::wstring& path) {
    return std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, path, 0);
  }

  test::MachineSnapshot Snapshot() { return test::TakeSnapshot(scope_); }

  test::ScopedTestRegistryKey hkcu_;
  test::SnapshotScope scope_;
  test::ScopedLogCapture log_;
};

TEST_F(RegistryOperationsTest, RollbackRestoresOldTypeAndBytesExactly) {
  const std::wstring path = hkcu_.path();
  SetValue(path, L"Unterminated", REG_SZ, Bytes(L"abc", /*with_nul=*/false));
  SetValue(path, L"Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
  SetValue(path, L"None", REG_NONE, {});
  SetValue(path, L"", REG_EXPAND_SZ, Bytes(L"%TEMP%\\x"));
  const test::MachineSnapshot before = Snapshot();

  // Each becomes a value of another type and size, then of no bytes.
  const DWORD number = 1;
  Transaction transaction;
  for (const wchar_t* name : {L"Unterminated", L"Qword", L"None", L""}) {
    ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, name, &number, REG_DWORD, 4, 0)));
    ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, name, nullptr, REG_SZ, 0, 0)));
  }
  // Removing a value of a missing key creates no key.
  ASSERT_TRUE(transaction.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, path + L"\\Missing", L"Value", nullptr,
      kRemoveValueType, 0, 0)));
  EXPECT_FALSE(KeyExists(path + L"\\Missing"));
  EXPECT_FALSE(test::SnapshotsEqual(before, Snapshot()));
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, DeleteTreeAndRestoreItExactly) {
  const std::wstring tree = hkcu_.Append(L"Tree");
  SetValue(tree + L"\\Plain\\Deeper", L"Multi", REG_MULTI_SZ,
           Bytes(std::wstring(L"x\0y\0", 4)));
  // Nothing inherited.
  SetValue(tree + L"\\Protected", L"", REG_SZ, Bytes(L"p"));
  SetDacl(tree + L"\\Protected", L"D:P(A;;KA;;;WD)");
  // Refuses its own deletion.
  SetValue(tree + L"\\NoDelete", L"Dword", REG_DWORD, {5, 0, 0, 0});
  SetDacl(tree + L"\\NoDelete", L"D:(D;;SD;;;WD)(A;;KA;;;WD)");
  // Refuses new subkeys, but has one.
  SetValue(tree + L"\\NoCreate\\Inner", L"Text", REG_SZ, Bytes(L"i"));
  SetDacl(tree + L"\\NoCreate", L"D:(D;;0x4;;;WD)(A;;KA;;;WD)");
  const test::MachineSnapshot before = Snapshot();

  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(DeleteKey(tree)));
  EXPECT_FALSE(KeyExists(tree));
  EXPECT_TRUE(log_.Contains("Insufficient permissions on the key"));
  // Every key comes back with its own descriptor and values.
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  ASSERT_TRUE(transaction.Execute(DeleteKey(tree)));
  transaction.Commit();
  EXPECT_FALSE(KeyExists(tree));
}

TEST_F(RegistryOperationsTest, DeleteThatStopsHalfWayRestoresWhatWent) {
  const std::wstring tree = hkcu_.Append(L"Tree");
  SetValue(tree + L"\\A", L"Value", REG_SZ, Bytes(L"a"));
  SetValue(tree + L"\\Z", L"Value", REG_SZ, Bytes(L"z"));
  SetDacl(tree + L"\\Z", L"D:(D;;SD;;;WD)(A;;KA;;;WD)");
  const test::MachineSnapshot before = Snapshot();
  {
    // Z cannot be granted the right to go; A went before.
    FakeSecurityAccess fake;
    SecurityAccess::ScopedOverrideForTesting override(&fake);
    Transaction transaction;
    EXPECT_FALSE(transaction.Execute(DeleteKey(tree)));
  }
  EXPECT_TRUE(
      log_.ContainsError("Unable to obtain sufficient permissions on key"));
  EXPECT_TRUE(log_.Contains("DeleteAndSaveRecursive : " +
                            std::string(tree.begin(), tree.end()) + "\\A"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(RegistryOperationsTest, TopLevelKeysAreNeverDeleted) {
  Transaction transaction;
  for (const wchar_t* path : {L"", L"\\", L"Software\\"})
    EXPECT_FALSE(transaction.Execute(DeleteKey(path))) << path;
  EXPECT_EQ(3, log_.Count("Refusing to delete the top-level key"));
  EXPECT_TRUE(KeyExists(L"Software"));
  // A key that is already gone is nothing to do.
  EXPECT_TRUE(transaction.Execute(DeleteKey(hkcu_.Append(L"Missing"))));
}

}  // namespace
}  // namespace installer
