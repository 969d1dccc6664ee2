// The journal of a transaction and its replay by a later run, with real
// files and registry keys. A killed process is played by a journal whose
// process no longer runs.

#include "desktop/windows/installer/service/transactions/transaction_journal.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/journal_replay.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/scoped_test_registry_key.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::ReadTextFile;
using test::WriteTextFile;

TEST(JournalRecordTest, FieldsSurviveEscapingAndBrokenLinesAreRefused) {
  const std::vector<std::wstring> fields = {
      L"copied", L"C:\\a\tb", L"100%\r\nsure", L"", L"Kelvo \x65E5\x672C"};
  std::string line = journal::EncodeLine(fields);
  ASSERT_EQ('\n', line.back());
  EXPECT_EQ(std::string::npos, line.substr(0, line.size() - 1).find('\n'));
  line.pop_back();
  std::vector<std::wstring> decoded;
  ASSERT_TRUE(journal::DecodeLine(line, &decoded));
  EXPECT_EQ(fields, decoded);
  EXPECT_FALSE(journal::DecodeLine("copied\tC:\\x%2", &decoded));
  EXPECT_FALSE(journal::DecodeLine("copied\t%G0", &decoded));
  // Folders that differ only in case share their journals.
  EXPECT_EQ(journal::FileNamePrefix(FilePath(L"C:\\Apps\\Kelvo")),
            journal::FileNamePrefix(FilePath(L"c:\\apps\\KELVO\\")));
  EXPECT_NE(journal::FileNamePrefix(FilePath(L"C:\\Apps\\Kelvo")),
            journal::FileNamePrefix(FilePath(L"C:\\Apps\\Kelvo2")));
}

// Everything below the test folder and the test key.
class TestScope : public JournalScope {
 public:
  TestScope(const FilePath& folder, const std::wstring& key)
      : folder_(folder), key_(key) {}
  bool AllowsFile(const FilePath& path) const override {
    return folder_.IsParentIgnoringCase(path);
  }
  bool AllowsKey(HKEY root,
                 const std::wstring& key,
                 KeyUse use) const override {
    return key.rfind(key_, 0) == 0;
  }

 private:
  const FilePath folder_;
  const std::wstring key_;
};

class TransactionJournalTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    journals_ = temp_.GetPath().Append(L"journals");
    install_ = temp_.GetPath().Append(L"install");
    ASSERT_TRUE(base::CreateDirectory(install_));
  }

  // Runs a transaction that replaces a file, adds one, deletes one and sets
  // a value, and leaves it as a killed process would: the changes made, the
  // journal kept, its process ended.
  FilePath RunAndAbandon(bool committing) {
    WriteTextFile(install_.Append(L"replaced.txt"), "old");
    WriteTextFile(install_.Append(L"deleted.txt"), "kept");
    WriteTextFile(temp_.GetPath().Append(L"new.txt"), "new");
    TransactionJournal journal(journals_, install_);
    auto transaction = std::make_unique<Transaction>();
    transaction->set_journal(&journal);
    EXPECT_TRUE(transaction->Execute(std::make_unique<CopyFileOperation>(
        temp_.GetPath().Append(L"new.txt"), install_.Append(L"replaced.txt"))));
    EXPECT_TRUE(transaction->Execute(std::make_unique<CopyFileOperation>(
        temp_.GetPath().Append(L"new.txt"),
        install_.Append(L"sub\\added.txt"))));
    EXPECT_TRUE(transaction->Execute(std::make_unique<DeleteFileOperation>(
        install_.Append(L"deleted.txt"), false, false)));
    const DWORD value = 7;
    EXPECT_TRUE(transaction->Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, key_.Append(L"Sub"), L"Value",
        reinterpret_cast<const BYTE*>(&value), REG_DWORD, sizeof(value), 0)));
    if (committing)
      journal.MarkCommitting();
    // Under the name of process 0, which is never a journal's.
    std::string text = ReadTextFile(journal.path());
    const size_t header_end = text.find('\n');
    std::vector<std::wstring> header;
    EXPECT_TRUE(journal::DecodeLine(text.substr(0, header_end), &header));
    header[2] = L"0";
    const FilePath abandoned =
        journals_.Append(journal::FileNamePrefix(install_) + L"0.journal");
    WriteTextFile(abandoned,
                  journal::EncodeLine(header) + text.substr(header_end + 1));
    // A killed process neither commits nor rolls back: its operations
    // stay as they are.
    transaction->set_journal(nullptr);
    Transaction* killed = transaction.release();
    (void)killed;
    return abandoned;
  }

  bool HasAsideFiles() const {
    base::FileEnumerator files(install_, true, base::FileEnumerator::FILES,
                               L"*.old");
    return !files.Next().empty();
  }

  base::ScopedTempDir temp_;
  FilePath journals_;
  FilePath install_;
  test::ScopedTestRegistryKey key_{HKEY_CURRENT_USER};
};

TEST_F(TransactionJournalTest, CommitAndRollbackRemoveTheJournal) {
  WriteTextFile(temp_.GetPath().Append(L"a.txt"), "a");
  for (bool commit : {true, false}) {
    ASSERT_TRUE(base::DeleteFile(install_.Append(L"a.txt"), false));
    TransactionJournal journal(journals_, install_);
    Transaction transaction;
    transaction.set_journal(&journal);
    ASSERT_TRUE(transaction.Execute(std::make_unique<CopyFileOperation>(
        temp_.GetPath().Append(L"a.txt"), install_.Append(L"a.txt"))));
    const std::string text = ReadTextFile(journal.path());
    EXPECT_EQ(0u, text.find("kelvo-transaction-journal\t1\t" +
                            base::NumberToString(::GetCurrentProcessId())));
    EXPECT_NE(std::string::npos, text.find("\ncopied\t"));
    if (commit)
      transaction.Commit();
    else
      transaction.Rollback();
    EXPECT_FALSE(base::PathExists(journal.path()));
    EXPECT_EQ(commit, base::PathExists(install_.Append(L"a.txt")));
  }
}

TEST_F(TransactionJournalTest, ReplayUndoesAKilledRun) {
  const FilePath abandoned = RunAndAbandon(false);
  // Killed while it created folders: the upper levels exist, the lower not.
  ASSERT_TRUE(base::CreateDirectory(install_.Append(L"half\\way")));
  const std::string line = journal::EncodeLine(
      {L"folder", install_.Append(L"half\\way\\deep").value(),
       install_.value()});
  ASSERT_TRUE(base::AppendToFile(abandoned, line.data(),
                                 static_cast<int>(line.size())));
  // The changes are there, as the killed run left them.
  ASSERT_EQ("new", ReadTextFile(install_.Append(L"replaced.txt")));
  ASSERT_FALSE(base::PathExists(install_.Append(L"deleted.txt")));

  EXPECT_EQ(1, ReplayAbandonedJournals(journals_, install_,
                                       TestScope(install_, key_.path())));
  EXPECT_EQ("old", ReadTextFile(install_.Append(L"replaced.txt")));
  EXPECT_EQ("kept", ReadTextFile(install_.Append(L"deleted.txt")));
  EXPECT_FALSE(base::PathExists(install_.Append(L"sub")));
  EXPECT_FALSE(base::PathExists(install_.Append(L"half")));
  EXPECT_FALSE(base::win::RegKey(HKEY_CURRENT_USER, key_.Append(L"Sub").c_str(),
                                 KEY_READ)
                   .Valid());
  EXPECT_FALSE(base::PathExists(abandoned));
  EXPECT_FALSE(HasAsideFiles());
}

TEST_F(TransactionJournalTest, ReplayCompletesACommittingRun) {
  const FilePath abandoned = RunAndAbandon(true);
  ASSERT_TRUE(HasAsideFiles());
  EXPECT_EQ(1, ReplayAbandonedJournals(journals_, install_,
                                       TestScope(install_, key_.path())));
  EXPECT_EQ("new", ReadTextFile(install_.Append(L"replaced.txt")));
  EXPECT_FALSE(base::PathExists(install_.Append(L"deleted.txt")));
  EXPECT_EQ("new", ReadTextFile(install_.Append(L"sub\\added.txt")));
  EXPECT_FALSE(HasAsideFiles());
  EXPECT_FALSE(base::PathExists(abandoned));
}

TEST_F(TransactionJournalTest, LiveOtherFolderAndOutOfScopeJournalsAreLeft) {
  // A journal of this, living, process.
  TransactionJournal live(journals_, install_);
  live.Record({L"copied", install_.Append(L"x").value()});
  WriteTextFile(install_.Append(L"x"), "x");
  // An abandoned one whose lines lead out of the installation.
  const FilePath outside = temp_.GetPath().Append(L"victim.txt");
  WriteTextFile(outside, "victim");
  const FilePath forged =
      journals_.Append(journal::FileNamePrefix(install_) + L"0.journal");
  WriteTextFile(forged, journal::EncodeLine({L"kelvo-transaction-journal", L"1",
                                             L"0", L"0", install_.value()}) +
                            journal::EncodeLine({L"copied", outside.value()}) +
                            journal::EncodeLine({L"value", L"HKCU", L"0",
                                                 L"Software\\KelvoTestVictim",
                                                 L"V", L"absent", L""}));
  // One of another folder under this folder's name.
  const FilePath other =
      journals_.Append(journal::FileNamePrefix(install_) + L"1.journal");
  WriteTextFile(other, journal::EncodeLine({L"kelvo-transaction-journal", L"1",
                                            L"0", L"0", L"C:\\Elsewhere"}));

  EXPECT_EQ(1, ReplayAbandonedJournals(journals_, install_,
                                       TestScope(install_, key_.path())));
  EXPECT_TRUE(base::PathExists(install_.Append(L"x")));
  EXPECT_TRUE(base::PathExists(live.path()));
  EXPECT_EQ("victim", ReadTextFile(outside));
  EXPECT_FALSE(base::PathExists(forged));
  EXPECT_TRUE(base::PathExists(other));
}

}  // namespace
}  // namespace installer
