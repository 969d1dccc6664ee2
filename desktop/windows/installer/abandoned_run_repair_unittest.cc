// Forged journals replayed for an installation, with real files, links and
// registry keys: nothing the installation at the folder cannot have made is
// touched, and what it can have made is still repaired.

#include "desktop/windows/installer/abandoned_run_repair.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_path_override.h"
#include "base/time/time.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/installation_journal_bounds.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/service/security_access.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/journal_replay.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/test/unix_program.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::ReadTextFile;
using test::WriteTextFile;

constexpr wchar_t kPersistedKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags"
    L"\\Compatibility Assistant\\Persisted";

// Assigned field by field: braces around a variant's alternative make the
// compiler see a member used before it is set.
journal::ChangedValue ValueChange(const journal::RegistryKey& key,
                                  const std::wstring& name) {
  journal::ChangedValue change;
  change.key = key;
  change.name = name;
  return change;
}

std::wstring ShortcutName() {
  return base::UTF8ToWide(GetBrandingProductName() + GetShortcutSuffix() +
                          ".lnk");
}

class AbandonedRunRepairTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    root_ = temp_.GetPath();
    journals_ = root_.Append(L"journals");
    install_ = root_.Append(L"KJ");
    ASSERT_TRUE(base::CreateDirectory(install_));
    desktop_ = std::make_unique<base::ScopedPathOverride>(
        base::DIR_USER_DESKTOP, root_.Append(L"Desktop"));
  }

  void TearDown() override {
    base::win::RegKey key(HKEY_CURRENT_USER, kPersistedKey, KEY_SET_VALUE);
    for (const FilePath& folder : {install_, root_.Append(L"Other")})
      key.DeleteValue(folder.Append(L"Launcher.exe").value().c_str());
    base::win::RegKey(HKEY_CURRENT_USER, L"Software\\RegisteredApplications",
                      KEY_SET_VALUE)
        .DeleteValue(kForeignValue);
  }

  // Writes a journal of an ended process on |folder| with |entries|.
  void Forge(const FilePath& journal_folder,
             const FilePath& folder,
             const std::vector<journal::Entry>& entries,
             const wchar_t* name = L"0") {
    std::string text = journal::EncodeHeader({0, 0, folder});
    for (const journal::Entry& entry : entries)
      text += journal::EncodeEntry(entry);
    ASSERT_TRUE(base::CreateDirectory(journal_folder));
    WriteTextFile(journal_folder.Append(journal::FileNamePrefix(folder) + name +
                                        L".journal"),
                  text);
  }

  int Replay(const FilePath& folder) {
    return ReplayAbandonedJournals(journals_, folder,
                                   InstallationJournalBounds(folder));
  }

  FilePath Desktop() const { return root_.Append(L"Desktop"); }

  static constexpr wchar_t kForeignValue[] = L"KelvoTestOtherBrowser";

  base::ScopedTempDir temp_;
  FilePath root_;
  FilePath journals_;
  FilePath install_;
  std::unique_ptr<base::ScopedPathOverride> desktop_;
};

TEST_F(AbandonedRunRepairTest, AnUndoneRunStaysInsideTheInstallation) {
  const FilePath victim = root_.Append(L"victim.txt");
  const FilePath report = root_.Append(L"data\\report.lnk.txt");
  const FilePath startup = root_.Append(L"Startup");
  const FilePath own_copy = install_.Append(L"45.0\\kelvo.exe");
  const FilePath own_shortcut = Desktop().Append(ShortcutName());
  const FilePath user_shortcut = Desktop().Append(L"mine.lnk");
  const FilePath other_folders = root_.Append(L"Other\\empty\\sub");
  WriteTextFile(victim, "victim");
  WriteTextFile(report, "report");
  WriteTextFile(own_copy, "copy");
  WriteTextFile(user_shortcut, "mine");
  WriteTextFile(own_shortcut.AddExtension(L".1700000000.old"), "own");
  ASSERT_TRUE(base::CreateDirectory(startup));
  ASSERT_TRUE(base::CreateDirectory(other_folders));
  base::win::RegKey persisted(HKEY_CURRENT_USER, kPersistedKey,
                              KEY_SET_VALUE | KEY_QUERY_VALUE);
  ASSERT_TRUE(persisted.Valid());
  const std::wstring own_value = install_.Append(L"Launcher.exe").value();
  const std::wstring other_value = root_.Append(L"Other\\Launcher.exe").value();
  ASSERT_EQ(ERROR_SUCCESS, persisted.WriteValue(own_value.c_str(), 32));
  ASSERT_EQ(ERROR_SUCCESS, persisted.WriteValue(other_value.c_str(), 32));
  const journal::RegistryKey registered{HKEY_CURRENT_USER, 0,
                                        L"Software\\RegisteredApplications"};
  journal::ChangedValue foreign = ValueChange(registered, kForeignValue);
  foreign.old_value = journal::RegistryValue{kForeignValue, REG_SZ, {'x', 0}};

  Forge(journals_, install_,
        {
            journal::CopiedFile{own_copy},
            journal::MovedAside{own_shortcut,
                                own_shortcut.AddExtension(L".1700000000.old"),
                                FilePath()},
            ValueChange({HKEY_CURRENT_USER, 0, kPersistedKey}, own_value),
            // Out of the installation through "..".
            journal::CopiedFile{install_.Append(L"..\\victim.txt")},
            // A name that merely holds ".lnk", outside any shortcut folder.
            journal::CopiedFile{report},
            // The user's own shortcut into the Startup folder.
            journal::MovedFile{startup.Append(L"evil.lnk"), user_shortcut},
            // Another program's folders.
            journal::CreatedFolders{other_folders, root_.Append(L"Other")},
            // A value of a table's key that no row writes, and one of a
            // row's value names for another folder.
            foreign,
            ValueChange({HKEY_CURRENT_USER, 0, kPersistedKey}, other_value),
        });
  EXPECT_EQ(1, Replay(install_));

  // What the installation made is repaired.
  EXPECT_FALSE(base::PathExists(own_copy));
  EXPECT_EQ("own", ReadTextFile(own_shortcut));
  DWORD data = 0;
  EXPECT_NE(ERROR_SUCCESS, persisted.ReadValueDW(own_value.c_str(), &data));
  // Nothing else is touched.
  EXPECT_EQ("victim", ReadTextFile(victim));
  EXPECT_EQ("report", ReadTextFile(report));
  EXPECT_EQ("mine", ReadTextFile(user_shortcut));
  EXPECT_FALSE(base::PathExists(startup.Append(L"evil.lnk")));
  EXPECT_TRUE(base::DirectoryExists(other_folders));
  EXPECT_EQ(ERROR_SUCCESS, persisted.ReadValueDW(other_value.c_str(), &data));
  EXPECT_FALSE(base::win::RegKey(HKEY_CURRENT_USER, registered.path.c_str(),
                                 KEY_QUERY_VALUE)
                   .HasValue(kForeignValue));
}

TEST_F(AbandonedRunRepairTest, ACommittingRunDeletesOnlyItsOwnAsideFiles) {
  const FilePath tree = root_.Append(L"victim_tree");
  const FilePath other_shortcut = Desktop().Append(L"Other.lnk");
  const FilePath own_aside = install_.Append(L"launcher.exe.17.old");
  WriteTextFile(tree.Append(L"a.txt"), "a");
  WriteTextFile(other_shortcut, "other");
  WriteTextFile(Desktop().Append(L"Other.lnk.17.old"), "other aside");
  WriteTextFile(own_aside, "old launcher");
  Forge(
      journals_, install_,
      {
          journal::MovedAside{install_.Append(L"launcher.exe"), own_aside,
                              FilePath()},
          journal::MovedAside{install_.Append(L"x"),
                              install_.Append(L"..\\victim_tree"), FilePath()},
          journal::MovedAside{Desktop().Append(ShortcutName()), other_shortcut,
                              FilePath()},
          // Another program's shortcut under a name this one moves aside.
          journal::MovedAside{other_shortcut,
                              Desktop().Append(L"Other.lnk.17.old"),
                              FilePath()},
          // Empty parents removed up to a folder that is not the
          // installation's.
          journal::MovedAside{root_.Append(L"Other\\a\\b.txt"),
                              root_.Append(L"Other\\a\\b.txt.1.old"), root_},
          journal::CommitMarker(),
      });
  ASSERT_TRUE(base::CreateDirectory(root_.Append(L"Other\\a")));
  EXPECT_EQ(1, Replay(install_));
  EXPECT_FALSE(base::PathExists(own_aside));
  EXPECT_EQ("a", ReadTextFile(tree.Append(L"a.txt")));
  EXPECT_EQ("other", ReadTextFile(other_shortcut));
  EXPECT_EQ("other aside", ReadTextFile(Desktop().Append(L"Other.lnk.17.old")));
  EXPECT_TRUE(base::DirectoryExists(root_.Append(L"Other\\a")));
}

// The test prefix links C:\kelvo_aliases\junction to C:\kelvo_aliases\target
// (tools/wine_prefix.sh): a journal of C:\kelvo_aliases reaches the same
// files through the link and without it.
TEST_F(AbandonedRunRepairTest, NoEffectFollowsALinkInsideTheInstallFolder) {
  const FilePath aliases(L"C:\\kelvo_aliases");
  ASSERT_TRUE(base::DirectoryExists(aliases.Append(L"junction")));
  base::ScopedTempDir files;
  ASSERT_TRUE(files.CreateUniqueTempDirUnderPath(aliases.Append(L"target")));
  const std::wstring name = files.GetPath().BaseName().value();
  WriteTextFile(files.GetPath().Append(L"victim.txt"), "victim");
  WriteTextFile(files.GetPath().Append(L"own.txt"), "own");
  const FilePath through_link = aliases.Append(L"junction").Append(name);
  ASSERT_EQ("victim", ReadTextFile(through_link.Append(L"victim.txt")));
  EXPECT_FALSE(IsReachedWithoutLinks(aliases, through_link));
  EXPECT_TRUE(IsReachedWithoutLinks(aliases, files.GetPath()));

  Forge(journals_, aliases,
        {journal::CopiedFile{files.GetPath().Append(L"own.txt")},
         journal::CopiedFile{through_link.Append(L"victim.txt")},
         journal::MovedAside{through_link.Append(L"gone.txt"),
                             through_link.Append(L"victim.txt"), FilePath()}});
  EXPECT_EQ(1, Replay(aliases));
  EXPECT_FALSE(base::PathExists(files.GetPath().Append(L"own.txt")));
  EXPECT_EQ("victim", ReadTextFile(files.GetPath().Append(L"victim.txt")));
  EXPECT_FALSE(base::PathExists(files.GetPath().Append(L"gone.txt")));
}

// A forged line cannot move the user's own shortcut into the folders of all
// users; a rename the installer made in one folder is still undone.
TEST_F(AbandonedRunRepairTest, ShortcutsAreMovedBackOnlyWithinTheirFolder) {
  base::ScopedPathOverride common(base::DIR_COMMON_DESKTOP,
                                  root_.Append(L"Public Desktop"));
  const FilePath users = Desktop().Append(ShortcutName());
  const FilePath all_users =
      root_.Append(L"Public Desktop").Append(ShortcutName());
  const FilePath old_name =
      Desktop().Append(base::UTF8ToWide(GetBrandingProductName()) + L" 44.lnk");
  WriteTextFile(users, "mine");
  ASSERT_TRUE(base::CreateDirectory(all_users.DirName()));
  Forge(journals_, install_,
        {journal::MovedFile{old_name, users},
         journal::MovedFile{all_users, users}});
  EXPECT_EQ(1, Replay(install_));
  EXPECT_FALSE(base::PathExists(all_users));
  EXPECT_EQ("mine", ReadTextFile(old_name));
}

// Only a folder with an installation, or what a killed run left of one, is
// repaired before an uninstall: not a download folder's parent.
TEST_F(AbandonedRunRepairTest, AnUninstallerRepairsOnlyItsInstallation) {
  const FilePath version = install_.Append(L"45.0.2531.0");
  ASSERT_TRUE(base::CreateDirectory(version));
  WriteTextFile(install_.Append(L"launcher.exe.old"), "not an aside name");
  EXPECT_EQ(FilePath(), GetUninstallerRepairFolder(version));
  WriteTextFile(install_.Append(L"installation_status.xml.1700000000.old"), "");
  EXPECT_EQ(install_, GetUninstallerRepairFolder(version));
}

// No file is reached through a link: one above the install folder, one to
// a file inside it (which Wine opens as its target without saying so), or
// one that is the machine's journal folder.
TEST_F(AbandonedRunRepairTest, NoEffectFollowsALinkAboveTheFolderOrToAFile) {
  if (test::UnixName(root_).empty())
    GTEST_SKIP() << "links are made on Wine's Unix side";
  const FilePath real = root_.Append(L"Real");
  WriteTextFile(real.Append(L"KJ\\victim.txt"), "victim");
  const FilePath linked = root_.Append(L"Linked\\KJ");
  ASSERT_TRUE(test::MakeUnixLink(linked.DirName(), real));
  Forge(journals_, linked, {journal::CopiedFile{linked.Append(L"victim.txt")}});
  Replay(linked);
  EXPECT_EQ("victim", ReadTextFile(real.Append(L"KJ\\victim.txt")));

  const FilePath outside = root_.Append(L"outside.txt");
  WriteTextFile(outside, "outside");
  const FilePath file_link = install_.Append(L"copied.dll");
  ASSERT_TRUE(test::MakeUnixLink(file_link, outside));
  WriteTextFile(install_.Append(L"own.dll"), "own");
  Forge(journals_, install_,
        {journal::CopiedFile{file_link},
         journal::CopiedFile{install_.Append(L"own.dll")}});
  Replay(install_);
  EXPECT_EQ("outside", ReadTextFile(outside));
  EXPECT_FALSE(base::PathExists(install_.Append(L"own.dll")));

  // An elevated run's journals, read through a link to a folder any
  // program of the user writes.
  base::ScopedPathOverride program_files(base::DIR_PROGRAM_FILES,
                                         root_.Append(L"Program Files"));
  FakeSecurityAccess fake;
  SecurityAccess::ScopedOverrideForTesting override(&fake);
  fake.set_admin(/*elevated=*/true, /*user_is_admin=*/true);
  WriteTextFile(install_.Append(L"own.dll"), "own");
  Forge(root_.Append(L"Writable\\Journals"), install_,
        {journal::CopiedFile{install_.Append(L"own.dll")}});
  const FilePath journal_link = GetMachineJournalFolder().DirName();
  ASSERT_TRUE(base::CreateDirectory(journal_link.DirName()));
  ASSERT_TRUE(test::MakeUnixLink(journal_link, root_.Append(L"Writable")));
  EXPECT_EQ(0, RepairAbandonedRuns(install_));
  EXPECT_EQ("own", ReadTextFile(install_.Append(L"own.dll")));
  for (const FilePath& link : {linked.DirName(), file_link, journal_link})
    test::RunUnixProgram({"rm", "-f", test::UnixName(link)}, true);
}

// A link made between the replay's check of a path and its use must not
// lead the replay out of the installation. A thread swaps a folder of it
// away through Windows, which honours the folders the replay holds, and
// the Unix side plants a link to another folder whenever the name is
// free, as another program makes a junction there.
TEST_F(AbandonedRunRepairTest, ALinkSwappedInDuringTheReplayIsNeverFollowed) {
  if (test::UnixName(root_).empty())
    GTEST_SKIP() << "links are made on Wine's Unix side";
  constexpr int kFiles = 600;
  const FilePath sub = install_.Append(L"sub");
  const FilePath away = install_.Append(L"sub.away");
  const FilePath outside = root_.Append(L"outside");
  const FilePath control = root_.Append(L"racer");
  ASSERT_TRUE(base::CreateDirectory(sub));
  ASSERT_TRUE(base::CreateDirectory(outside));
  std::vector<journal::Entry> entries;
  for (int i = 0; i < kFiles; ++i) {
    const std::wstring name = base::NumberToString16(i) + L".dll";
    ASSERT_TRUE(base::WriteFile(sub.Append(name), "own"));
    ASSERT_TRUE(base::WriteFile(outside.Append(name), "victim"));
    entries.push_back(journal::CopiedFile{sub.Append(name)});
  }
  Forge(journals_, install_, entries);
  WriteTextFile(control.Append(L"racer.py"), R"(import os, sys, time
link, target, control = sys.argv[1:4]
stop, end, planted = os.path.join(control, 'stop'), time.monotonic() + 30, 0
open(os.path.join(control, 'ready'), 'w').close()
while time.monotonic() < end and not os.path.exists(stop):
    try:
        os.symlink(target, link)
    except OSError:
        os.sched_yield()
        continue
    planted += 1
    time.sleep(0.0002)
    os.unlink(link)
    while not os.path.lexists(link) and not os.path.exists(stop):
        os.sched_yield()
with open(os.path.join(control, 'count'), 'w') as count:
    count.write(str(planted))
os.rename(os.path.join(control, 'count'), os.path.join(control, 'done'))
)");
  auto wait_for = [](const FilePath& file) {
    const base::TimeTicks end =
        base::TimeTicks::Now() + base::TimeDelta::FromSeconds(10);
    while (!base::PathExists(file) && base::TimeTicks::Now() < end)
      ::Sleep(1);
    return base::PathExists(file);
  };
  ASSERT_TRUE(test::RunUnixProgram(
      {"python3", test::UnixName(control.Append(L"racer.py")),
       test::UnixName(sub), test::UnixName(outside), test::UnixName(control)},
      /*wait=*/false));
  ASSERT_TRUE(wait_for(control.Append(L"ready")));
  std::atomic<bool> stop{false};
  std::atomic<int> swaps{0};
  std::thread swapper([&] {
    while (!stop) {
      if (!::MoveFileW(sub.value().c_str(), away.value().c_str())) {
        ::Sleep(1);
        continue;
      }
      ++swaps;
      // Back once the link has gone again, and there for a moment.
      const base::TimeTicks end =
          base::TimeTicks::Now() + base::TimeDelta::FromSeconds(10);
      while (!::MoveFileW(away.value().c_str(), sub.value().c_str()) &&
             base::TimeTicks::Now() < end) {
        ::Sleep(0);
      }
      ::Sleep(1);
    }
  });
  const base::TimeTicks end =
      base::TimeTicks::Now() + base::TimeDelta::FromSeconds(10);
  while (swaps < 3 && base::TimeTicks::Now() < end)
    ::Sleep(1);
  Replay(install_);
  stop = true;
  swapper.join();
  WriteTextFile(control.Append(L"stop"), "");
  ASSERT_TRUE(wait_for(control.Append(L"done")));

  int victims = 0;
  int removed = 0;
  for (int i = 0; i < kFiles; ++i) {
    const std::wstring name = base::NumberToString16(i) + L".dll";
    victims += base::PathExists(outside.Append(name)) ? 0 : 1;
    removed += base::PathExists(sub.Append(name)) ? 0 : 1;
  }
  EXPECT_EQ(0, victims) << "with " << swaps << " swaps and "
                        << ReadTextFile(control.Append(L"done")) << " links";
  EXPECT_GT(swaps, 0);
  EXPECT_GT(removed, 0);
}

// An elevated process never replays what a program without its rights
// could have written; a process without them leaves an elevated run's
// journal to the next elevated run.
TEST_F(AbandonedRunRepairTest, JournalsAreReplayedOnlyByTheirOwnRights) {
  base::ScopedPathOverride local(base::DIR_LOCAL_APP_DATA,
                                 root_.Append(L"Local"));
  base::ScopedPathOverride program_files(base::DIR_PROGRAM_FILES,
                                         root_.Append(L"Program Files"));
  FakeSecurityAccess fake;
  SecurityAccess::ScopedOverrideForTesting override(&fake);
  ASSERT_NE(GetUserJournalFolder(), GetMachineJournalFolder());
  const FilePath user_copy = install_.Append(L"user.dll");
  const FilePath machine_copy = install_.Append(L"machine.dll");
  WriteTextFile(user_copy, "user");
  WriteTextFile(machine_copy, "machine");
  Forge(GetUserJournalFolder(), install_, {journal::CopiedFile{user_copy}});
  Forge(GetMachineJournalFolder(), install_,
        {journal::CopiedFile{machine_copy}});

  fake.set_admin(/*elevated=*/true, /*user_is_admin=*/true);
  EXPECT_EQ(GetMachineJournalFolder(), GetTransactionJournalFolder());
  EXPECT_EQ(1, RepairAbandonedRuns(install_));
  EXPECT_FALSE(base::PathExists(machine_copy));
  EXPECT_EQ("user", ReadTextFile(user_copy));

  Forge(GetMachineJournalFolder(), install_,
        {journal::CopiedFile{machine_copy}});
  WriteTextFile(machine_copy, "machine");
  fake.set_admin(/*elevated=*/false, /*user_is_admin=*/true);
  EXPECT_EQ(GetUserJournalFolder(), GetTransactionJournalFolder());
  EXPECT_EQ(1, RepairAbandonedRuns(install_));
  EXPECT_FALSE(base::PathExists(user_copy));
  EXPECT_EQ("machine", ReadTextFile(machine_copy));

  // A folder given with ".." is no folder to repair.
  WriteTextFile(user_copy, "user");
  const FilePath dotted = install_.Append(L"..\\KJ");
  Forge(GetUserJournalFolder(), dotted, {journal::CopiedFile{user_copy}});
  EXPECT_EQ(0, RepairAbandonedRuns(dotted));
  EXPECT_EQ("user", ReadTextFile(user_copy));
}

}  // namespace
}  // namespace installer
