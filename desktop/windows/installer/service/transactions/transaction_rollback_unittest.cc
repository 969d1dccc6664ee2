// Transactions on real files and both registry views: a failure at any point
// leaves the machine as it was, a commit leaves no aside file behind.

#include <windows.h>

#include <sddl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/time/time.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_operation_fault.h"
#include "desktop/windows/installer/test/scoped_test_registry_key.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/test/windows_like_security_access.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using OperationFactory = std::function<std::unique_ptr<Operation>()>;

std::vector<BYTE> Bytes(const std::wstring& text, bool with_nul = true) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(
      bytes, bytes + (text.size() + (with_nul ? 1 : 0)) * sizeof(wchar_t));
}

// A factory of T made from |args|, afresh for every run.
template <typename T, typename... Args>
OperationFactory Make(Args... args) {
  return [=] { return std::make_unique<T>(args...); };
}

OperationFactory SetValue(HKEY root,
                          const std::wstring& path,
                          const std::wstring& name,
                          DWORD type,
                          const std::vector<BYTE>& data,
                          REGSAM view) {
  return [=] {
    return std::make_unique<ChangeRegValueOperation>(
        root, path, name, data.data(), type, static_cast<DWORD>(data.size()),
        view);
  };
}

std::unique_ptr<Operation> RemoveFile(const base::FilePath& path,
                                      bool check_in_use = false) {
  return std::make_unique<DeleteFileOperation>(path, check_in_use, false);
}

std::unique_ptr<Operation> DeleteKey(const std::wstring& path) {
  return std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, path, 0);
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0) {
  return base::win::RegKey().Open(root, path.c_str(), view | KEY_QUERY_VALUE) ==
         ERROR_SUCCESS;
}

class TransactionRollbackTest : public testing::Test {
 protected:
  TransactionRollbackTest()
      : security_override_(&security_),
        hkcu_(HKEY_CURRENT_USER),
        hklm_(HKEY_LOCAL_MACHINE) {}

  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    files_ = temp_dir_.GetPath().Append(L"machine");
    app_ = files_.Append(L"app");
    package_ = files_.Append(L"package");
    scope_.folders.push_back(files_);
    scope_.keys.push_back({HKEY_CURRENT_USER, hkcu_.path()});
    scope_.keys.push_back({HKEY_LOCAL_MACHINE, hklm_.path()});
  }

  void WriteFile(const base::FilePath& path,
                 const std::string& content,
                 bool read_only = false) {
    test::WriteTextFile(path, content);
    if (read_only)
      ::SetFileAttributesW(path.value().c_str(), FILE_ATTRIBUTE_READONLY);
  }

  void WriteValue(HKEY root,
                  const std::wstring& path,
                  const std::wstring& name,
                  DWORD type,
                  const std::vector<BYTE>& data,
                  REGSAM view = KEY_WOW64_64KEY) {
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(root, path.c_str(), view | KEY_ALL_ACCESS));
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

  // The machine as an install or upgrade finds it.
  void PrepareMachine() {
    ASSERT_TRUE(base::DeleteFile(files_, /*recursive=*/true));
    hkcu_.Clear();
    hklm_.Clear();

    WriteFile(package_.Append(L"kelvo.exe"), "new exe");
    WriteFile(package_.Append(L"kelvo.dll"), "new dll");
    WriteFile(package_.Append(L"readme.txt"), "readme", /*read_only=*/true);
    WriteFile(app_.Append(L"kelvo.dll"), "old dll");
    WriteFile(app_.Append(L"old\\legacy.dll"), "legacy");
    WriteFile(app_.Append(L"prefs.json"), "{}", /*read_only=*/true);
    WriteFile(app_.Append(L"Kelvo.lnk"), "shortcut", /*read_only=*/true);
    WriteFile(app_.Append(L"shortcuts\\b\\c.lnk"), "c");
    WriteFile(files_.Append(L"desktop\\other.lnk"), "other");

    const std::wstring existing = hkcu_.Append(L"Existing");
    WriteValue(HKEY_CURRENT_USER, existing, L"Str", REG_SZ, Bytes(L"old"));
    WriteValue(HKEY_CURRENT_USER, existing, L"Bin", REG_BINARY, {1, 2});
    WriteValue(HKEY_CURRENT_USER, existing, L"", REG_SZ, Bytes(L"default"));
    WriteValue(HKEY_CURRENT_USER, hkcu_.Append(L"Tree\\Sub\\Deeper"), L"Multi",
               REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0});
    // A key that refuses its deletion: the operation grants itself access,
    // and the rollback gives the key its own DACL back.
    const std::wstring locked = hkcu_.Append(L"Tree\\Locked");
    WriteValue(HKEY_CURRENT_USER, locked, L"Dw", REG_DWORD, {4, 0, 0, 0});
    SetDacl(locked, L"D:(D;;SD;;;WD)(A;;KA;;;WD)");
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      const std::wstring text = view == KEY_WOW64_64KEY ? L"64" : L"32";
      WriteValue(HKEY_LOCAL_MACHINE, hklm_.Append(L"Shared"), L"View", REG_SZ,
                 Bytes(text), view);
      WriteValue(HKEY_LOCAL_MACHINE, hklm_.Append(L"Tree32\\Child"), L"View",
                 REG_SZ, Bytes(text), view);
    }
  }

  // A transaction of every kind of change the engine makes.
  std::vector<OperationFactory> MixedOperations() {
    const base::FilePath& app = app_;
    const base::FilePath& package = package_;
    return {
        Make<CreateFolderOperation>(app.Append(L"new\\deep")),
        Make<CopyFileOperation>(package.Append(L"kelvo.exe"),
                                app.Append(L"new\\deep\\kelvo.exe")),
        // Replaces a file, which goes aside first.
        Make<CopyFileOperation>(package.Append(L"kelvo.dll"),
                                app.Append(L"kelvo.dll")),
        // Creates its folder first.
        Make<CopyFileOperation>(package.Append(L"readme.txt"),
                                app.Append(L"docs\\readme.txt")),
        Make<MoveFileOperation>(app.Append(L"Kelvo.lnk"),
                                files_.Append(L"desktop\\Kelvo.lnk")),
        Make<DeleteFileOperation>(app.Append(L"old\\legacy.dll"), true, true,
                                  app),
        Make<DeleteFileOperation>(app.Append(L"prefs.json"), false, false,
                                  base::FilePath()),
        Make<DeleteFileOperation>(app.Append(L"shortcuts"), false, false,
                                  base::FilePath()),
        // Creates its key chain first.
        SetValue(HKEY_CURRENT_USER, hkcu_.Append(L"New\\Chain"), L"V", REG_SZ,
                 Bytes(L"x"), 0),
        SetValue(HKEY_CURRENT_USER, hkcu_.Append(L"Existing"), L"Str",
                 REG_DWORD, {5, 0, 0, 0}, 0),
        SetValue(HKEY_CURRENT_USER, hkcu_.Append(L"Existing"), L"Bin",
                 kRemoveValueType, {}, 0),
        SetValue(HKEY_CURRENT_USER, hkcu_.Append(L"Existing"), L"", REG_SZ,
                 Bytes(L"new default"), 0),
        Make<DeleteRegKeyOperation>(HKEY_CURRENT_USER, hkcu_.Append(L"Tree"),
                                    REGSAM{0}),
        SetValue(HKEY_LOCAL_MACHINE, hklm_.Append(L"Shared"), L"View", REG_SZ,
                 Bytes(L"new"), KEY_WOW64_32KEY),
        SetValue(HKEY_LOCAL_MACHINE, hklm_.Append(L"New32\\Key"), L"V",
                 REG_BINARY, {0xff}, KEY_WOW64_32KEY),
        Make<DeleteRegKeyOperation>(HKEY_LOCAL_MACHINE, hklm_.Append(L"Tree32"),
                                    REGSAM{KEY_WOW64_32KEY}),
        Make<CreateRegKeyOperation>(HKEY_LOCAL_MACHINE,
                                    hklm_.Append(L"Made\\Here"),
                                    REGSAM{KEY_WOW64_64KEY}),
    };
  }

  // Runs the operations in order up to the first failure; false when one
  // failed.
  bool Run(const std::vector<OperationFactory>& operations,
           Transaction* transaction) {
    for (const OperationFactory& operation : operations) {
      if (!transaction->Execute(operation()))
        return false;
    }
    return true;
  }

  size_t CountAsideFiles() {
    base::FileEnumerator entries(
        files_, true,
        base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES,
        L"*.old");
    size_t count = 0;
    for (base::FilePath path = entries.Next(); !path.empty();
         path = entries.Next()) {
      ++count;
    }
    return count;
  }

  test::MachineSnapshot Snapshot() { return test::TakeSnapshot(scope_); }

  test::WindowsLikeSecurityAccess security_;
  SecurityAccess::ScopedOverrideForTesting security_override_;
  base::ScopedLogCapture log_;
  test::ScopedTestRegistryKey hkcu_;
  test::ScopedTestRegistryKey hklm_;
  base::ScopedTempDir temp_dir_;
  base::FilePath files_;
  base::FilePath app_;
  base::FilePath package_;
  test::SnapshotScope scope_;
  Transaction transaction_;
};

TEST_F(TransactionRollbackTest, CommittedTransactionLeavesNoAsideFiles) {
  PrepareMachine();
  ASSERT_TRUE(Run(MixedOperations(), &transaction_));
  // Four files and folders wait aside for the commit.
  EXPECT_EQ(4u, CountAsideFiles());
  transaction_.Commit();
  EXPECT_EQ(0u, CountAsideFiles());
  // The empty parent went, the folder where it stops stayed.
  EXPECT_FALSE(base::PathExists(app_.Append(L"old")));
  EXPECT_TRUE(base::DirectoryExists(app_));
  // Each view got only its own changes.
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    const bool is_64 = view == KEY_WOW64_64KEY;
    base::win::RegKey shared(HKEY_LOCAL_MACHINE,
                             hklm_.Append(L"Shared").c_str(),
                             view | KEY_QUERY_VALUE);
    std::wstring text;
    EXPECT_EQ(ERROR_SUCCESS, shared.ReadValue(L"View", &text));
    EXPECT_EQ(is_64 ? L"64" : L"new", text);
    EXPECT_EQ(is_64,
              KeyExists(HKEY_LOCAL_MACHINE, hklm_.Append(L"Tree32"), view));
    EXPECT_EQ(is_64,
              KeyExists(HKEY_LOCAL_MACHINE, hklm_.Append(L"Made"), view));
  }
}

TEST_F(TransactionRollbackTest, FailureOfAnyOperationLeavesTheMachineAsItWas) {
  const std::vector<OperationFactory> operations = MixedOperations();
  int count = 0;
  {
    PrepareMachine();
    test::ScopedOperationFault counter;
    Transaction transaction;
    ASSERT_TRUE(Run(operations, &transaction));
    count = counter.operations_started();
    transaction.Rollback();
  }
  // Four operations make a prerequisite first: a file moved aside, a
  // folder and two key chains.
  EXPECT_EQ(static_cast<int>(operations.size()) + 4, count);

  for (int k = 0; k < count; ++k) {
    for (auto fault : {Transaction::InjectedFault::kBeforeChange,
                       Transaction::InjectedFault::kAfterChange}) {
      SCOPED_TRACE(testing::Message()
                   << "operation " << k << " fails "
                   << (fault == Transaction::InjectedFault::kBeforeChange
                           ? "before"
                           : "after")
                   << " its change");
      PrepareMachine();
      const test::MachineSnapshot before = Snapshot();
      {
        test::ScopedOperationFault injected(k, fault);
        Transaction transaction;
        EXPECT_FALSE(Run(operations, &transaction));
        EXPECT_TRUE(injected.fired());
        transaction.Rollback();
      }
      EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
      if (HasFailure())
        return;
    }
  }
}

TEST_F(TransactionRollbackTest, TakenAsideNamesAreSkippedUpToALimit) {
  const base::FilePath file = app_.Append(L"kelvo.exe");
  WriteFile(file, "exe");
  // Whatever second the delete falls in, aside names |from| to |to| - 1 of
  // it (NAME.SECONDS[.N].old) are taken.
  auto take_names = [&](int from, int to) {
    const time_t now = base::Time::Now().ToTimeT();
    for (time_t seconds : {now, now + 1}) {
      for (int i = from; i < to; ++i) {
        std::wstring name =
            L"kelvo.exe." +
            base::NumberToString16(static_cast<long long>(seconds));
        if (i > 0)
          name += L"." + base::NumberToString16(i);
        WriteFile(app_.Append(name + L".old"), "taken");
      }
    }
  };
  take_names(0, 2);
  ASSERT_TRUE(transaction_.Execute(RemoveFile(file)));
  EXPECT_FALSE(base::PathExists(file));
  transaction_.Rollback();
  EXPECT_EQ("exe", test::ReadTextFile(file));

  take_names(2, 100);
  EXPECT_FALSE(transaction_.Execute(RemoveFile(file)));
  EXPECT_EQ("exe", test::ReadTextFile(file));
}

TEST_F(TransactionRollbackTest, FilesInUse) {
  // Upper case: the test is for ".exe" and ".dll" without regard to case.
  const base::FilePath library = app_.Append(L"KELVO.DLL");
  const base::FilePath text = app_.Append(L"notes.txt");
  WriteFile(library, "dll");
  WriteFile(text, "text");
  WriteFile(package_.Append(L"kelvo.dll"), "new");
  // Others may rename them but not write them: as a loaded library.
  auto hold = [](const base::FilePath& path, DWORD share) {
    return base::win::ScopedHandle(
        ::CreateFileW(path.value().c_str(), GENERIC_READ, share, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  base::win::ScopedHandle held =
      hold(library, FILE_SHARE_READ | FILE_SHARE_DELETE);
  base::win::ScopedHandle held_text =
      hold(text, FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_TRUE(held.IsValid() && held_text.IsValid());
  const test::MachineSnapshot before = Snapshot();

  EXPECT_FALSE(transaction_.Execute(RemoveFile(library, true)));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
  // Without the in-use test only the move decides; a text file is never
  // tested.
  EXPECT_TRUE(transaction_.Execute(RemoveFile(library, false)));
  EXPECT_TRUE(transaction_.Execute(RemoveFile(text, true)));
  transaction_.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  // Held without delete sharing: neither a delete nor a copy over it.
  held = hold(library, FILE_SHARE_READ);
  EXPECT_FALSE(transaction_.Execute(RemoveFile(library)));
  EXPECT_FALSE(transaction_.Execute(std::make_unique<CopyFileOperation>(
      package_.Append(L"kelvo.dll"), library)));
  EXPECT_EQ("dll", test::ReadTextFile(library));
}

TEST_F(TransactionRollbackTest, RollbackKeepsAFileItCannotPutBack) {
  const base::FilePath file = app_.Append(L"bookmarks.html");
  WriteFile(file, "the user's data");
  auto operation = RemoveFile(file);
  auto* deletion = static_cast<DeleteFileOperation*>(operation.get());
  ASSERT_TRUE(transaction_.Execute(std::move(operation)));
  const base::FilePath kept = deletion->aside_path();

  // Something took the name meanwhile; a folder cannot be replaced.
  ASSERT_TRUE(base::CreateDirectory(file));
  transaction_.Rollback();
  EXPECT_EQ("the user's data", test::ReadTextFile(kept));
  EXPECT_TRUE(log_.ContainsError("could not be put back; it is kept at " +
                                 kept.AsUTF8Unsafe()));
}

TEST_F(TransactionRollbackTest, ValuesGetTheirOldTypeAndBytesBack) {
  const std::wstring path = hkcu_.path();
  WriteValue(HKEY_CURRENT_USER, path, L"Unterminated", REG_SZ,
             Bytes(L"abc", /*with_nul=*/false));
  WriteValue(HKEY_CURRENT_USER, path, L"Qword", REG_QWORD,
             {1, 2, 3, 4, 5, 6, 7, 8});
  WriteValue(HKEY_CURRENT_USER, path, L"None", REG_NONE, {});
  WriteValue(HKEY_CURRENT_USER, path, L"", REG_EXPAND_SZ, Bytes(L"%TEMP%"));
  const test::MachineSnapshot before = Snapshot();

  // Each becomes a value of another type and size, then of no bytes.
  const DWORD number = 1;
  for (const wchar_t* name : {L"Unterminated", L"Qword", L"None", L""}) {
    ASSERT_TRUE(transaction_.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, name, &number, REG_DWORD, 4, 0)));
    ASSERT_TRUE(transaction_.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, name, nullptr, REG_SZ, 0, 0)));
  }
  // Removing a value of a missing key creates no key.
  ASSERT_TRUE(transaction_.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, path + L"\\Missing", L"Value", nullptr,
      kRemoveValueType, 0, 0)));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path + L"\\Missing"));
  EXPECT_FALSE(test::SnapshotsEqual(before, Snapshot()));
  transaction_.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(TransactionRollbackTest, DeletedKeyTreeComesBackExactly) {
  const std::wstring tree = hkcu_.Append(L"Tree");
  // Nothing inherited.
  WriteValue(HKEY_CURRENT_USER, tree + L"\\Protected", L"", REG_SZ,
             Bytes(L"p"));
  SetDacl(tree + L"\\Protected", L"D:P(A;;KA;;;WD)");
  // Refuses new subkeys, but has one.
  WriteValue(HKEY_CURRENT_USER, tree + L"\\NoCreate\\Inner", L"Text", REG_SZ,
             Bytes(L"i"));
  SetDacl(tree + L"\\NoCreate", L"D:(D;;0x4;;;WD)(A;;KA;;;WD)");
  // Refuses its own deletion.
  WriteValue(HKEY_CURRENT_USER, tree + L"\\Z", L"Value", REG_SZ, Bytes(L"z"));
  SetDacl(tree + L"\\Z", L"D:(D;;SD;;;WD)(A;;KA;;;WD)");
  const test::MachineSnapshot before = Snapshot();

  ASSERT_TRUE(transaction_.Execute(DeleteKey(tree)));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tree));
  // Every key comes back with its own descriptor and values.
  transaction_.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  {
    // Z cannot be granted the right to go; the keys before it went.
    FakeSecurityAccess fake;
    SecurityAccess::ScopedOverrideForTesting override(&fake);
    EXPECT_FALSE(transaction_.Execute(DeleteKey(tree)));
  }
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(TransactionRollbackTest, TopLevelKeysAreNeverDeleted) {
  for (const wchar_t* path : {L"", L"\\", L"Software\\"})
    EXPECT_FALSE(transaction_.Execute(DeleteKey(path))) << path;
  EXPECT_EQ(3, log_.Count("Refusing to delete the top-level key"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
  // A key that is already gone is nothing to do.
  EXPECT_TRUE(transaction_.Execute(DeleteKey(hkcu_.Append(L"Missing"))));
}

}  // namespace
}  // namespace installer
