// The journal of a transaction and its replay by a later run, with real
// files and registry keys. A killed process is played by a journal whose
// process no longer runs.

#include "desktop/windows/installer/service/transactions/transaction_journal.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/journal_effect.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/journal_replay.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/scoped_operation_fault.h"
#include "desktop/windows/installer/test/scoped_registry_link.h"
#include "desktop/windows/installer/test/scoped_test_registry_key.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/test/unix_program.h"
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

TEST(JournalRecordTest, EveryKindOfEntryReadsBackAsWritten) {
  journal::RegistryKey key{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY,
                           L"Software\\Kelvo\\Sub"};
  journal::ChangedValue changed{key, L"Name"};
  changed.old_value = journal::RegistryValue{L"Name", REG_BINARY, {0, 0xFF}};
  journal::ChangedValue absent;
  absent.key = {HKEY_CURRENT_USER, 0, L"Software\\K"};
  journal::DeletedKey deleted;
  deleted.key = key;
  deleted.values = {{L"", REG_SZ, {}}, {L"V", REG_DWORD, {7, 0, 0, 0}}};
  std::vector<journal::Entry> entries;
  entries.push_back(journal::CopiedFile{FilePath(L"C:\\K\\a\tb")});
  entries.push_back(
      journal::MovedFile{FilePath(L"C:\\K\\a"), FilePath(L"C:\\K\\b")});
  entries.push_back(journal::MovedAside{
      FilePath(L"C:\\K\\a"), FilePath(L"C:\\K\\a.1.old"), FilePath()});
  entries.push_back(
      journal::CreatedFolders{FilePath(L"C:\\K\\x\\y"), FilePath(L"C:\\")});
  entries.push_back(absent);
  entries.push_back(changed);
  entries.push_back(journal::CreatedKeys{key, L"Software\\Kelvo"});
  entries.push_back(deleted);
  entries.push_back(journal::CommitMarker());
  for (const journal::Entry& entry : entries) {
    std::string line = journal::EncodeEntry(entry);
    ASSERT_EQ('\n', line.back());
    line.pop_back();
    journal::Entry parsed;
    ASSERT_TRUE(journal::ParseEntry(line, &parsed)) << line;
    // Written again, the entry gives the same line.
    EXPECT_EQ(line + "\n", journal::EncodeEntry(parsed));
    EXPECT_EQ(entry.index(), parsed.index()) << line;
  }
  // A line without its "\n", as the replay reads it.
  auto line_of = [](const journal::Entry& entry) {
    std::string line = journal::EncodeEntry(entry);
    line.pop_back();
    return line;
  };
  journal::Entry parsed;
  ASSERT_TRUE(journal::ParseEntry(line_of(changed), &parsed));
  const auto& value = std::get<journal::ChangedValue>(parsed);
  EXPECT_EQ(HKEY_LOCAL_MACHINE, value.key.root);
  EXPECT_EQ(static_cast<REGSAM>(KEY_WOW64_32KEY), value.key.view);
  ASSERT_TRUE(value.old_value);
  EXPECT_EQ(std::vector<BYTE>({0, 0xFF}), value.old_value->data);
  ASSERT_TRUE(journal::ParseEntry(
      line_of(journal::CreatedKeys{key, L"Software\\Kelvo"}), &parsed));
  EXPECT_EQ(L"Software\\Kelvo", std::get<journal::CreatedKeys>(parsed).top);
  EXPECT_EQ(key.path, std::get<journal::CreatedKeys>(parsed).key.path);
}

TEST(JournalRecordTest, MalformedEntriesAreRefused) {
  for (const std::vector<std::wstring>& fields :
       std::vector<std::vector<std::wstring>>{
           {L"deleted-everything", L"C:\\"},
           {L"copied"},
           {L"copied", L""},
           {L"copied", L"C:\\a", L"C:\\b"},
           {L"moved", L"C:\\a"},
           {L"value", L"HKCR", L"0", L"Software\\K", L"N", L"absent", L""},
           {L"value", L"HKCU", L"768", L"Software\\K", L"N", L"absent", L""},
           {L"value", L"HKCU", L"1", L"Software\\K", L"N", L"absent", L""},
           {L"value", L"HKCU", L"0", L"Software\\K", L"N", L"1", L"ABC"},
           {L"value", L"HKCU", L"0", L"Software\\K", L"N", L"absent"},
           {L"key", L"HKCU", L"0", L"", L"Software\\K"},
           {L"deleted-key", L"HKCU", L"0", L"Software\\K", L"V", L"1"},
           {L"commit", L"now"},
       }) {
    std::string line = journal::EncodeLine(fields);
    line.pop_back();
    journal::Entry entry;
    EXPECT_FALSE(journal::ParseEntry(line, &entry)) << line;
  }
  journal::Header header;
  EXPECT_FALSE(journal::ParseHeader("kelvo-transaction-journal\t2\t1\t1\tC:\\K",
                                    &header));
  EXPECT_FALSE(journal::ParseHeader("kelvo-transaction-journal\t1\tx\t1\tC:\\K",
                                    &header));
  ASSERT_TRUE(journal::ParseHeader(
      "kelvo-transaction-journal\t1\t12\t34\tC:\\K", &header));
  EXPECT_EQ(12u, header.pid);
  EXPECT_EQ(34u, header.creation_time);
  EXPECT_EQ(FilePath(L"C:\\K"), header.install_folder);
}

TEST(JournalEffectTest, OnlyPlainAbsolutePathsPass) {
  for (const wchar_t* path :
       {L"C:\\", L"C:\\Kelvo", L"c:\\Program Files\\Kelvo\\45.0\\a.dll",
        L"C:\\Kelvo\\", L"\\\\server\\share", L"\\\\server\\share\\Kelvo",
        L"C:\\Kelvo\\COM10", L"C:\\Kelvo\\nullable", L"C:\\a..b"}) {
    EXPECT_TRUE(IsPlainPath(FilePath(path))) << path;
  }
  for (const wchar_t* path : {L"",
                              L"Kelvo",
                              L"C:Kelvo",
                              L"\\Kelvo",
                              L"\\\\server",
                              L"C:\\KJ\\..\\victim.txt",
                              L"C:\\KJ\\.\\a",
                              L"C:\\KJ\\..",
                              L"C:\\KJ\\\\a",
                              L"C:\\KJ\\a.txt:stream",
                              L"C:\\KJ\\a.txt::$DATA",
                              L"C:\\KJ\\NUL",
                              L"C:\\KJ\\nul.txt",
                              L"C:\\KJ\\Com1",
                              L"C:\\KJ\\lpt9.lnk",
                              L"C:\\KJ\\CON \\a",
                              L"C:\\KJ\\con.d\\x",
                              L"C:\\KJ\\conout$",
                              L"C:\\KJ\\a.",
                              L"C:\\KJ\\a ",
                              L"C:\\KJ\\*",
                              L"C:\\KJ\\a?",
                              L"C:\\KJ/../x",
                              L"\\\\?\\C:\\KJ",
                              L"\\\\.\\C:\\KJ",
                              L"\\\\.\\pipe\\x",
                              L"C:\\KJ\\a\tb"}) {
    EXPECT_FALSE(IsPlainPath(FilePath(path))) << path;
  }
}

TEST(JournalEffectTest, AsideNamesAreTheDeletesOwn) {
  const FilePath file(L"C:\\K\\kelvo.exe");
  EXPECT_TRUE(
      IsAsideNameOf(FilePath(L"C:\\K\\kelvo.exe.1700000000.old"), file));
  EXPECT_TRUE(IsAsideNameOf(FilePath(L"c:\\k\\KELVO.EXE.17.3.OLD"), file));
  for (const wchar_t* aside :
       {L"C:\\K\\kelvo.exe", L"C:\\K\\kelvo.exe.old", L"C:\\K\\kelvo.exe..old",
        L"C:\\K\\kelvo.exe.1.2.3.old", L"C:\\K\\kelvo.exe.1a.old",
        L"C:\\K\\kelvo.exe.1.tmp", L"C:\\K\\kelvo.exe2.1.old",
        L"C:\\Other\\kelvo.exe.1.old", L"C:\\K\\..\\victim.1.old",
        L"C:\\K\\sub\\kelvo.exe.1.old"}) {
    EXPECT_FALSE(IsAsideNameOf(FilePath(aside), file)) << aside;
  }
}

// Everything below the test folder and the test key.
class TestBounds : public JournalBounds {
 public:
  TestBounds(const FilePath& folder, const std::wstring& key)
      : folder_(folder), key_(key) {}
  bool IsInstallFolder(const FilePath& path) const override {
    return path == folder_;
  }
  bool IsInInstallation(const FilePath& path) const override {
    return folder_.IsParentIgnoringCase(path);
  }
  bool IsOwnShortcut(const FilePath& path) const override { return false; }
  bool IsTableValue(const journal::RegistryKey& key,
                    const std::wstring& name) const override {
    return IsTestKey(key);
  }
  bool IsTableKeyOrAncestor(const journal::RegistryKey& key) const override {
    return IsTestKey(key);
  }
  bool IsInDeletedTree(const journal::RegistryKey& key) const override {
    return IsTestKey(key);
  }
  size_t MaxRestoredRegistryBytes() const override { return max_restored_; }
  std::vector<FilePath> GetKnownFolders() const override { return {}; }

  size_t max_restored_ = 1024 * 1024;

 private:
  bool IsTestKey(const journal::RegistryKey& key) const {
    return key.path.rfind(key_, 0) == 0;
  }

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
    const FilePath abandoned = Abandon(ReadTextFile(journal.path()));
    Kill(std::move(transaction));
    return abandoned;
  }

  // Writes |text|, a journal of this process, as the journal of a process
  // that has ended: process 0, which is never a journal's.
  FilePath Abandon(const std::string& text) {
    const size_t header_end = text.find('\n');
    journal::Header header;
    EXPECT_TRUE(journal::ParseHeader(text.substr(0, header_end), &header));
    header.pid = 0;
    const FilePath abandoned =
        journals_.Append(journal::FileNamePrefix(install_) + L"0.journal");
    WriteTextFile(abandoned,
                  journal::EncodeHeader(header) + text.substr(header_end + 1));
    return abandoned;
  }

  // A killed process neither commits nor rolls back: its operations stay
  // as they are.
  static void Kill(std::unique_ptr<Transaction> transaction) {
    transaction->set_journal(nullptr);
    Transaction* killed = transaction.release();
    (void)killed;
  }

  int Replay() {
    return ReplayAbandonedJournals(journals_, install_,
                                   TestBounds(install_, key_.path()));
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
                                       TestBounds(install_, key_.path())));
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
                                       TestBounds(install_, key_.path())));
  EXPECT_EQ("new", ReadTextFile(install_.Append(L"replaced.txt")));
  EXPECT_FALSE(base::PathExists(install_.Append(L"deleted.txt")));
  EXPECT_EQ("new", ReadTextFile(install_.Append(L"sub\\added.txt")));
  EXPECT_FALSE(HasAsideFiles());
  EXPECT_FALSE(base::PathExists(abandoned));
}

TEST_F(TransactionJournalTest, LiveOtherFolderAndOutOfScopeJournalsAreLeft) {
  // A journal of this, living, process.
  TransactionJournal live(journals_, install_);
  live.Record(journal::CopiedFile{install_.Append(L"x")});
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
                                       TestBounds(install_, key_.path())));
  EXPECT_TRUE(base::PathExists(install_.Append(L"x")));
  EXPECT_TRUE(base::PathExists(live.path()));
  EXPECT_EQ("victim", ReadTextFile(outside));
  EXPECT_FALSE(base::PathExists(forged));
  EXPECT_TRUE(base::PathExists(other));
}

// A forged journal that lists more than the installation can have held
// writes back no more than the bounds allow, whichever kind of line it
// uses; a file too long for a journal is not read at all.
TEST_F(TransactionJournalTest, WhatAReplayReadsAndRestoresIsBounded) {
  TestBounds bounds(install_, key_.path());
  bounds.max_restored_ = 64 * 1024;
  const std::vector<BYTE> data(8 * 1024, 0xAB);
  std::string text = journal::EncodeHeader({0, 0, install_});
  for (int i = 0; i < 16; ++i) {
    const std::wstring name = base::NumberToString16(i);
    journal::DeletedKey deleted;
    deleted.key = {HKEY_CURRENT_USER, 0, key_.Append(L"Deleted\\" + name)};
    deleted.values = {{L"V", REG_BINARY, data}};
    journal::ChangedValue changed;
    changed.key = {HKEY_CURRENT_USER, 0, key_.path()};
    changed.name = L"V" + name;
    changed.old_value = journal::RegistryValue{changed.name, REG_BINARY, data};
    text += journal::EncodeEntry(deleted) + journal::EncodeEntry(changed);
  }
  WriteTextFile(
      journals_.Append(journal::FileNamePrefix(install_) + L"0.journal"), text);
  EXPECT_EQ(1, ReplayAbandonedJournals(journals_, install_, bounds));

  // Each restored subkey and value holds one copy of |data|: some came
  // back, up to the allowance and no further.
  DWORD subkeys = 0, values = 0;
  ::RegQueryInfoKeyW(
      base::win::RegKey(HKEY_CURRENT_USER, key_.Append(L"Deleted").c_str(),
                        KEY_READ)
          .Handle(),
      nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
      nullptr, nullptr, nullptr);
  ::RegQueryInfoKeyW(
      base::win::RegKey(HKEY_CURRENT_USER, key_.path().c_str(), KEY_READ)
          .Handle(),
      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
      nullptr, nullptr, nullptr);
  EXPECT_GT(subkeys + values, 0u);
  EXPECT_LE((subkeys + values) * data.size(), bounds.max_restored_);

  // One byte over the longest journal: left as it is.
  const FilePath long_file =
      journals_.Append(journal::FileNamePrefix(install_) + L"1.journal");
  WriteTextFile(
      long_file,
      journal::EncodeHeader({0, 0, install_}) +
          journal::EncodeEntry(journal::CopiedFile{install_.Append(L"x.txt")}));
  WriteTextFile(install_.Append(L"x.txt"), "x");
  {
    base::File file(long_file, base::File::FLAG_OPEN | base::File::FLAG_WRITE);
    ASSERT_TRUE(file.SetLength(64 * 1024 * 1024 + 1));
  }
  EXPECT_EQ(0, ReplayAbandonedJournals(journals_, install_, bounds));
  EXPECT_EQ("x", ReadTextFile(install_.Append(L"x.txt")));
  EXPECT_TRUE(base::PathExists(long_file));
}

// A link that another program of the user made in its hive, leading into
// a machine key: no line of a journal reaches that key through it, in any
// view.
TEST_F(TransactionJournalTest, ReplayNeverReachesAKeyThroughALink) {
  test::ScopedTestRegistryKey machine(HKEY_LOCAL_MACHINE);
  const std::wstring target = machine.Append(L"Target");
  base::win::RegKey own(HKEY_LOCAL_MACHINE, (target + L"\\Own").c_str(),
                        KEY_ALL_ACCESS);
  ASSERT_EQ(ERROR_SUCCESS, own.WriteValue(L"Kept", 1));
  base::win::RegKey(HKEY_LOCAL_MACHINE, (target + L"\\Empty").c_str(),
                    KEY_ALL_ACCESS);
  test::ScopedRegistryLink link(HKEY_CURRENT_USER, key_.Append(L"Link"),
                                L"\\Registry\\Machine\\" + target);
  std::string text = journal::EncodeHeader({0, 0, install_});
  for (REGSAM view : {0, KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    journal::ChangedValue removed;
    removed.key = {HKEY_CURRENT_USER, view, key_.Append(L"Link\\Own")};
    removed.name = L"Kept";
    journal::ChangedValue restored;
    restored.key = {HKEY_CURRENT_USER, view, key_.Append(L"Link")};
    restored.name = L"Planted";
    restored.old_value =
        journal::RegistryValue{L"Planted", REG_DWORD, {1, 0, 0, 0}};
    journal::DeletedKey deleted;
    deleted.key = {HKEY_CURRENT_USER, view, key_.Append(L"Link\\Restored")};
    journal::CreatedKeys created;
    created.key = {HKEY_CURRENT_USER, view, key_.Append(L"Link\\Empty")};
    created.top = key_.Append(L"Link");
    text += journal::EncodeEntry(removed) + journal::EncodeEntry(restored) +
            journal::EncodeEntry(deleted) + journal::EncodeEntry(created);
  }
  WriteTextFile(
      journals_.Append(journal::FileNamePrefix(install_) + L"0.journal"), text);
  EXPECT_EQ(1, Replay());

  base::win::RegKey after(HKEY_LOCAL_MACHINE, target.c_str(), KEY_READ);
  DWORD subkeys = 0, values = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegQueryInfoKeyW(after.Handle(), nullptr, nullptr, nullptr,
                               &subkeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr));
  EXPECT_EQ(2u, subkeys);
  EXPECT_EQ(0u, values);
  EXPECT_TRUE(own.HasValue(L"Kept"));
}

// The journal's name is predictable: what another program put there, a
// link to a file of its choice or any file, is neither followed nor
// emptied; the journal takes the next name.
TEST_F(TransactionJournalTest, AJournalIsAlwaysANewFile) {
  const FilePath taken = journals_.Append(
      journal::FileNamePrefix(install_) +
      base::NumberToString16(::GetCurrentProcessId()) + L".journal");
  const FilePath victim = temp_.GetPath().Append(L"victim.txt");
  WriteTextFile(victim, "victim");
  ASSERT_TRUE(base::CreateDirectory(journals_));
  const bool linked = !test::UnixName(victim).empty();
  if (linked)
    ASSERT_TRUE(test::MakeUnixLink(taken, victim));
  else
    WriteTextFile(taken, "victim");
  {
    TransactionJournal journal(journals_, install_);
    journal.Record(journal::CopiedFile{install_.Append(L"a.txt")});
    EXPECT_NE(taken, journal.path());
    EXPECT_NE(std::string::npos,
              ReadTextFile(journal.path()).find("\ncopied\t"));
    EXPECT_EQ("victim", ReadTextFile(taken));
  }
  EXPECT_EQ("victim", ReadTextFile(victim));
  EXPECT_EQ("victim", ReadTextFile(taken));
  if (linked)
    test::RunUnixProgram({"rm", "-f", test::UnixName(taken)}, /*wait=*/true);
}

// Copies the journal as it stands when the transaction destroys its
// operations: what a kill after the last undo, before the journal goes,
// leaves for the next run.
class JournalProbe : public Operation {
 public:
  JournalProbe(const TransactionJournal* journal, std::string* text)
      : journal_(journal), text_(text) {}
  ~JournalProbe() override { *text_ = ReadTextFile(journal_->path()); }
  bool Execute(Transaction* nested) override { return true; }
  void Rollback() override {}

 private:
  const TransactionJournal* const journal_;
  std::string* const text_;
};

TEST_F(TransactionJournalTest, AKillAfterARollbackKeepsWhatItCouldNotPutBack) {
  const FilePath user_file = install_.Append(L"user.txt");
  WriteTextFile(user_file, "mine");
  std::string at_end;
  {
    TransactionJournal journal(journals_, install_);
    Transaction transaction;
    transaction.set_journal(&journal);
    ASSERT_TRUE(
        transaction.Execute(std::make_unique<JournalProbe>(&journal, &at_end)));
    auto remove =
        std::make_unique<DeleteFileOperation>(user_file, false, false);
    DeleteFileOperation* removal = remove.get();
    ASSERT_TRUE(transaction.Execute(std::move(remove)));
    const FilePath aside = removal->aside_path();
    // A folder takes the file's place: the rollback keeps it aside.
    WriteTextFile(user_file.Append(L"x"), "squatter");
    transaction.Rollback();
    ASSERT_EQ("mine", ReadTextFile(aside));
    EXPECT_EQ(std::string::npos, at_end.find("\ncommit\n")) << at_end;

    Abandon(at_end);
    EXPECT_EQ(1, Replay());
    EXPECT_EQ("mine", ReadTextFile(aside));
    EXPECT_EQ("squatter", ReadTextFile(user_file.Append(L"x")));
  }
}

TEST_F(TransactionJournalTest, AFailedOperationIsNotUndoneAgainByTheReplay) {
  const FilePath file = install_.Append(L"x.txt");
  WriteTextFile(file, "orig");
  WriteTextFile(temp_.GetPath().Append(L"a.txt"), "a");
  WriteTextFile(temp_.GetPath().Append(L"b.txt"), "b");
  TransactionJournal journal(journals_, install_);
  auto transaction = std::make_unique<Transaction>();
  transaction->set_journal(&journal);
  {
    // The copy replaces the file, then fails: it is undone at once.
    test::ScopedOperationFault fault(0,
                                     Transaction::InjectedFault::kAfterChange);
    EXPECT_FALSE(transaction->Execute(std::make_unique<CopyFileOperation>(
        temp_.GetPath().Append(L"a.txt"), file)));
  }
  ASSERT_EQ("orig", ReadTextFile(file));
  EXPECT_TRUE(transaction->Execute(std::make_unique<CopyFileOperation>(
      temp_.GetPath().Append(L"b.txt"), file)));
  ASSERT_EQ("b", ReadTextFile(file));
  Abandon(ReadTextFile(journal.path()));
  Kill(std::move(transaction));

  EXPECT_EQ(1, Replay());
  EXPECT_EQ("orig", ReadTextFile(file));
  EXPECT_FALSE(HasAsideFiles());
}

// A file that another program put into a folder of the run meanwhile was
// moved aside for the copy: the replay gives it back rather than taking it
// for the copy.
TEST_F(TransactionJournalTest, ReplayKeepsAFileThatAppearedInAFolderOfTheRun) {
  const FilePath source = temp_.GetPath().Append(L"new.txt");
  WriteTextFile(source, "new");
  TransactionJournal journal(journals_, install_);
  auto transaction = std::make_unique<Transaction>();
  transaction->set_journal(&journal);
  const FilePath folder = install_.Append(L"sub");
  ASSERT_TRUE(transaction->Execute(
      std::make_unique<CopyFileOperation>(source, folder.Append(L"a.txt"))));
  WriteTextFile(folder.Append(L"b.txt"), "theirs");
  ASSERT_TRUE(transaction->Execute(
      std::make_unique<CopyFileOperation>(source, folder.Append(L"b.txt"))));
  ASSERT_EQ("new", ReadTextFile(folder.Append(L"b.txt")));
  Abandon(ReadTextFile(journal.path()));
  Kill(std::move(transaction));

  EXPECT_EQ(1, Replay());
  EXPECT_EQ("theirs", ReadTextFile(folder.Append(L"b.txt")));
  EXPECT_FALSE(base::PathExists(folder.Append(L"a.txt")));
  EXPECT_FALSE(HasAsideFiles());
}

TEST_F(TransactionJournalTest, ARollbackCutsTheJournalBackAsItGoes) {
  WriteTextFile(temp_.GetPath().Append(L"a.txt"), "a");
  TransactionJournal journal(journals_, install_);
  Transaction transaction;
  transaction.set_journal(&journal);
  std::string at_end;
  ASSERT_TRUE(
      transaction.Execute(std::make_unique<JournalProbe>(&journal, &at_end)));
  const int64_t before = journal.size();
  ASSERT_TRUE(transaction.Execute(std::make_unique<CopyFileOperation>(
      temp_.GetPath().Append(L"a.txt"), install_.Append(L"sub\\a.txt"))));
  EXPECT_GT(journal.size(), before);
  transaction.Rollback();
  EXPECT_FALSE(base::PathExists(install_.Append(L"sub")));
  // Only the header was left when the operations went.
  EXPECT_EQ(1, std::count(at_end.begin(), at_end.end(), '\n')) << at_end;
  EXPECT_EQ(0u, at_end.find("kelvo-transaction-journal\t"));
  EXPECT_FALSE(base::PathExists(journal.path()));
}

}  // namespace
}  // namespace installer
