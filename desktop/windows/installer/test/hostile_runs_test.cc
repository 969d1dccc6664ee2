// Silent installs, upgrades and uninstalls under hostile conditions, each
// a real run of installer.exe: the backend killed at many points of its
// transaction, files of an installation deleted by hand, a damaged install
// log, an install folder too long for the installer's own files.
//
// The kill sweep kills the backend as a user ending it or a crash would,
// then checks the machine after the next run on the same folder: that run
// must complete or undo what the killed one left (the journal it kept),
// leave no debris and register the folder once. A kill point is a number
// of journal lines: the backend is killed as soon as its journal holds that
// many, that is while it works on the changes that follow. The points
// spread over the whole run, from the folder's creation to the commit.
// Where a point must be met exactly (in a rollback, in the removal of an
// older version), the test runs the installer as its debugger and holds
// the backend at each operation its transaction tells a debugger of.
// Each test, and each point of a sweep, uses an install folder of its own.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/abandoned_run_repair.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/shortcut_file_name.h"
#include "desktop/windows/installer/template_resolver.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/sample_package.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

constexpr base::TimeDelta kRunLimit = base::TimeDelta::FromSeconds(60);
// Nothing goes to the update server: no statistics, no pref overrides.
constexpr wchar_t kCommonSwitches[] =
    L"--silent --allusers=0 --launchkelvo=0 --desktopshortcut=0 "
    L"--startmenushortcut=1 --quicklaunchshortcut=0 --pintotaskbar=0 "
    L"--enable-installer-stats=0 "
    L"--with-feature:installer-pref-default-overrides-support=off";
// Kill at the commit of the transaction rather than at a count.
constexpr int kAtCommit = -1;
// Kill a failing run during its rollback once its journal has lost that
// many lines, or, with kRolledBack, once only its header is left.
constexpr int kRolledBack = 0;

enum class Operation { kInstall, kUpgrade, kUninstall };

class HostileRunTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Whatever the tests start ends with this program at the latest: a
    // process left behind would hold the program's output open. The job
    // goes with the program's last handle.
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ASSERT_TRUE(
        job && ::SetInformationJobObject(job, JobObjectExtendedLimitInformation,
                                         &limits, sizeof(limits)));
    ASSERT_TRUE(::AssignProcessToJobObject(job, ::GetCurrentProcess()));
  }

  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    ASSERT_TRUE(dir_.CreateUniqueTempDir());
    package_ = dir_.GetPath().Append(L"package");
    ASSERT_TRUE(base::CreateDirectory(package_));
    files_ = test::MakeSamplePackage(package_);
    // First, a file whose folders are made two levels at a time, so that
    // an early kill can fall between the levels.
    files_.insert(files_.begin(), "resources\\part\\deep\\data.pak");
    test::WriteTextFile(package_.AppendASCII(files_.front()), "deep");
    test::WriteTextFile(package_.Append(L"files_list"),
                        base::JoinString(files_, "\r\n") + "\r\n");
    for (const std::wstring& key : TableKeys()) {
      if (!base::win::RegKey(HKEY_CURRENT_USER, key.c_str(), KEY_READ).Valid())
        new_keys_.push_back(key);
    }
  }

  void TearDown() override {
    // What the installations the runs left registered.
    for (const FilePath& folder : folders_)
      test::RemoveRegisteredKeys(folder.AppendASCII(kInstallLogFileName));
    for (const FilePath& folder : folders_)
      RemoveRegistration(folder);
    // Keys of values only stay when their values go: those the runs made
    // go too, deepest first.
    std::sort(new_keys_.begin(), new_keys_.end(),
              [](const std::wstring& a, const std::wstring& b) {
                return a.size() > b.size();
              });
    for (const std::wstring& key : new_keys_) {
      base::win::RegKey reg_key(HKEY_CURRENT_USER, key.c_str(), KEY_READ);
      DWORD subkeys = 0;
      DWORD values = 0;
      if (reg_key.Valid() &&
          ::RegQueryInfoKeyW(reg_key.Handle(), nullptr, nullptr, nullptr,
                             &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
          subkeys == 0 && values == 0) {
        reg_key.Close();
        ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
      }
    }
  }

  // The keys of the tables' rows under the current user, with their
  // ancestors below "Software".
  static std::vector<std::wstring> TableKeys() {
    RowTemplates templates{FilePath(L"C:\\Kelvo")};
    std::set<std::wstring> keys;
    std::vector<std::wstring> paths = {GetUninstallRegistryKey()};
    for (const RegistryRow& row : GetMainRegistryTable())
      paths.push_back(RegistryEntry(row, &templates).ExpandTemplate(row.key));
    for (const std::wstring& key : paths) {
      if (key.empty())
        continue;
      for (size_t end = key.size(); end > std::wcslen(L"Software");
           end = key.rfind(L'\\', end - 1)) {
        keys.insert(key.substr(0, end));
      }
    }
    return std::vector<std::wstring>(keys.begin(), keys.end());
  }

  FilePath NewFolder() {
    folders_.push_back(dir_.GetPath().Append(
        L"Programs\\Kelvo" + base::NumberToString16(folders_.size())));
    return folders_.back();
  }

  // An install or upgrade runs the package's installer; an uninstall the
  // installer in the version folder of the installation, as its uninstall
  // entry does.
  FilePath Program(Operation operation, const FilePath& folder) const {
    if (operation != Operation::kUninstall)
      return package_.Append(L"installer.exe");
    InstallLog log;
    if (!InstallLogReader().Read(&log,
                                 folder.AppendASCII(kInstallLogFileName))) {
      return FilePath();
    }
    return folder.Append(log.subfolder).Append(L"installer.exe");
  }

  std::wstring Arguments(Operation operation, const FilePath& folder) const {
    return std::wstring(kCommonSwitches) +
           (operation == Operation::kUninstall
                ? L" --uninstall"
                : L" --installfolder=" + folder.value());
  }

  // A whole run, of |program| when given; its exit code.
  int Run(Operation operation,
          const FilePath& folder,
          FilePath program = FilePath()) {
    if (program.empty())
      program = Program(operation, folder);
    EXPECT_FALSE(program.empty());
    test::InstallerRunResult run = test::RunProgram(
        program, Arguments(operation, folder), temp_.GetPath(), kRunLimit);
    EXPECT_TRUE(run.finished);
    if (run.exit_code != 0)
      PrintErrors();
    return run.exit_code;
  }

  // What |folder| holds and what the runs said about journals and errors,
  // for a failure's message.
  std::string Describe(const FilePath& folder) {
    std::string text = "Files:\n";
    base::FileEnumerator all(
        folder, true,
        base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
    for (FilePath path = all.Next(); !path.empty(); path = all.Next())
      text += path.AsUTF8Unsafe() + "\n";
    text += "Runs:\n";
    for (const std::string& line :
         base::SplitString(test::ReadInstallerLogs(temp_.GetPath()), "\n",
                           base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
      if (line.find(":ERROR:") != std::string::npos ||
          line.find("journal") != std::string::npos ||
          line.find("Repair") != std::string::npos ||
          line.find("Installation subfolder") != std::string::npos ||
          line.find("Command line") != std::string::npos) {
        text += line + "\n";
      }
    }
    return text;
  }

  // The error lines of every run so far, for a failure's message.
  void PrintErrors() {
    for (const std::string& line :
         base::SplitString(test::ReadInstallerLogs(temp_.GetPath()), "\n",
                           base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
      if (line.find(":ERROR:") != std::string::npos)
        std::printf("%s\n", line.c_str());
    }
  }

  // Runs |operation| on |folder| and kills its backend once its journal
  // holds |lines| lines (or its commit begins). False when the run ended
  // before that point. |*succeeded| tells whether the run reported success.
  bool RunAndKill(Operation operation,
                  const FilePath& folder,
                  int lines,
                  bool* succeeded) {
    base::Process front_end =
        test::StartProgram(Program(operation, folder),
                           Arguments(operation, folder), temp_.GetPath());
    EXPECT_TRUE(front_end.IsValid());
    const base::TimeTicks deadline = base::TimeTicks::Now() + kRunLimit;
    bool killed = false;
    int exit_code = -1;
    while (!killed && base::TimeTicks::Now() < deadline &&
           !front_end.WaitForExitWithTimeout(base::TimeDelta(), &exit_code)) {
      FilePath journal;
      const int count = CountJournalLines(folder, &journal);
      const bool reached = count >= (lines == kAtCommit ? 1 : lines) &&
                           (lines != kAtCommit || HasCommitLine(journal));
      if (reached) {
        killed = KillOwner(journal);
      } else {
        base::PlatformThread::YieldCurrentThread();
      }
    }
    EXPECT_TRUE(front_end.WaitForExitWithTimeout(kRunLimit, &exit_code));
    *succeeded = exit_code == 0;
    // Under Wine the killed backend exits with 0; the journal it left tells
    // the run failed all the same. A backend killed while it commits leaves
    // a whole installation, whatever the run says: the replay deletes what
    // it moved aside.
    if (killed && lines != kAtCommit) {
      EXPECT_NE(0, exit_code) << "A killed run reported success";
    }
    return killed;
  }

  // Runs |program| for |operation| on |folder| as its debugger, which holds
  // the backend at each notice of its transaction and asks |kill_here|
  // there whether to kill it. True when it did; |*succeeded| tells whether
  // the run reported success.
  bool RunAndKillWhere(Operation operation,
                       const FilePath& folder,
                       const FilePath& program,
                       const std::function<bool(const std::string&)>& kill_here,
                       bool* succeeded) {
    bool killed = false;
    const test::InstallerRunResult run = test::RunUnderDebugger(
        program, Arguments(operation, folder), temp_.GetPath(), kRunLimit,
        [&](const std::string& notice) {
          if (killed || !kill_here(notice))
            return false;
          return killed = true;
        });
    EXPECT_TRUE(run.finished);
    *succeeded = run.exit_code == 0;
    return killed;
  }

  // A kill point of a rollback: once the journal of |folder|'s run has
  // lost |lines| lines to the undo, or with kRolledBack when only its
  // header is left.
  std::function<bool(const std::string&)> InRollback(const FilePath& folder,
                                                     int lines) {
    auto most = std::make_shared<int>(0);
    return [this, folder, lines, most](const std::string& notice) {
      FilePath journal;
      const int count = CountJournalLines(folder, &journal);
      *most = std::max(*most, count);
      return notice == Transaction::kUndoneNotice && count > 0 &&
             (lines == kRolledBack ? count == 1 && *most > 1
                                   : *most - count >= lines);
    };
  }

  // Every file below |folder| with its content, except the installer's
  // prefs, which a run rewrites outside its transaction.
  static std::map<std::wstring, std::string> Snapshot(const FilePath& folder) {
    std::map<std::wstring, std::string> files;
    base::FileEnumerator all(
        folder, true,
        base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
    for (FilePath path = all.Next(); !path.empty(); path = all.Next()) {
      if (path.BaseName().value() == L"installer_prefs.json")
        continue;
      std::string content;
      if (!base::DirectoryExists(path))
        base::ReadFileToString(path, &content);
      files[path.value()] = content;
    }
    return files;
  }

  // The lines of the main journal of |folder|'s run, the one named by its
  // process alone; its path in |journal|.
  int CountJournalLines(const FilePath& folder, FilePath* journal) const {
    base::FileEnumerator files(GetTransactionJournalFolder(), false,
                               base::FileEnumerator::FILES,
                               journal::FileNamePrefix(folder) + L"*.journal");
    do {
      *journal = files.Next();
    } while (!journal->empty() &&
             base::SplitString(journal->BaseName().value(), L".",
                               base::KEEP_WHITESPACE, base::SPLIT_WANT_ALL)
                     .size() != 3);
    std::string text;
    if (journal->empty() || !ReadShared(*journal, &text))
      return 0;
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }

  static bool HasCommitLine(const FilePath& journal) {
    std::string text;
    return ReadShared(journal, &text) &&
           text.find("\ncommit\n") != std::string::npos;
  }

  // Reads a file that its writer still holds open.
  static bool ReadShared(const FilePath& path, std::string* text) {
    HANDLE file = ::CreateFileW(path.value().c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
      return false;
    char buffer[64 * 1024];
    DWORD read = 0;
    text->clear();
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
      text->append(buffer, read);
    ::CloseHandle(file);
    return true;
  }

  // Kills the process named in the journal's file name, as taskkill /F
  // does.
  static bool KillOwner(const FilePath& journal) {
    std::vector<std::wstring> parts =
        base::SplitString(journal.BaseName().value(), L".",
                          base::TRIM_WHITESPACE, base::SPLIT_WANT_ALL);
    unsigned pid = 0;
    if (parts.size() != 3 || !base::StringToUint(parts[1], &pid))
      return false;
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process)
      return false;
    const bool killed = ::TerminateProcess(process, 0) &&
                        ::WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return killed;
  }

  // The names of the uninstall entries, in the 32-bit view, that point at
  // |folder|.
  static std::vector<std::wstring> UninstallEntriesOf(const FilePath& folder) {
    base::win::RegKey uninstall(HKEY_CURRENT_USER,
                                GetUninstallRegistryKey().c_str(),
                                KEY_READ | KEY_WOW64_32KEY);
    std::vector<std::wstring> entries;
    for (DWORD i = 0;; ++i) {
      wchar_t name[256];
      DWORD length = 256;
      if (::RegEnumKeyExW(uninstall.Handle(), i, name, &length, nullptr,
                          nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        break;
      }
      std::wstring location;
      if (base::win::RegKey(uninstall.Handle(), name,
                            KEY_READ | KEY_WOW64_32KEY)
                  .ReadValue(L"InstallLocation", &location) == ERROR_SUCCESS &&
          base::FilePath::CompareEqualIgnoreCase(location, folder.value())) {
        entries.push_back(name);
      }
    }
    return entries;
  }

  static int CountUninstallEntries(const FilePath& folder) {
    return static_cast<int>(UninstallEntriesOf(folder).size());
  }

  static void RemoveRegistration(const FilePath& folder) {
    base::win::RegKey uninstall(HKEY_CURRENT_USER,
                                GetUninstallRegistryKey().c_str(),
                                KEY_WRITE | KEY_WOW64_32KEY);
    for (const std::wstring& name : UninstallEntriesOf(folder))
      ::RegDeleteKeyExW(uninstall.Handle(), name.c_str(), KEY_WOW64_32KEY, 0);
  }

  // Every file and folder below |folder| whose name marks a leftover: moved
  // aside and never deleted or put back.
  static std::vector<std::wstring> FindDebris(const FilePath& folder) {
    std::vector<std::wstring> debris;
    base::FileEnumerator all(
        folder, true,
        base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
    for (FilePath path = all.Next(); !path.empty(); path = all.Next()) {
      if (base::EndsWith(path.value(), L".old",
                         base::CompareCase::INSENSITIVE_ASCII)) {
        debris.push_back(path.value());
      }
    }
    return debris;
  }

  // One consistent installation at |folder|: its log reads, each of its
  // version folders belongs to it or to a preserved older version, every
  // file of the package is in its version folder, and it is registered
  // once.
  void ExpectOneInstallation(const FilePath& folder) {
    InstallLog log;
    ASSERT_TRUE(
        InstallLogReader().Read(&log, folder.AppendASCII(kInstallLogFileName)));
    for (const std::string& file : files_) {
      EXPECT_TRUE(
          base::PathExists(folder.Append(log.subfolder).AppendASCII(file)))
          << file;
    }
    int version_folders = 0;
    base::FileEnumerator subfolders(folder, false,
                                    base::FileEnumerator::DIRECTORIES);
    for (FilePath path = subfolders.Next(); !path.empty();
         path = subfolders.Next()) {
      if (path.BaseName().value() != L"old_status")
        ++version_folders;
    }
    int preserved = 0;
    base::FileEnumerator old_logs(folder.Append(L"old_status"), false,
                                  base::FileEnumerator::FILES);
    for (FilePath path = old_logs.Next(); !path.empty(); path = old_logs.Next())
      ++preserved;
    EXPECT_EQ(1 + preserved, version_folders) << Describe(folder);
    EXPECT_TRUE(base::PathExists(folder.AppendASCII(kLauncherExeName)));
    EXPECT_EQ(1, CountUninstallEntries(folder));
    EXPECT_EQ(std::vector<std::wstring>(), FindDebris(folder));
  }

  void ExpectNoInstallation(const FilePath& folder) {
    EXPECT_FALSE(base::PathExists(folder.AppendASCII(kInstallLogFileName)));
    EXPECT_FALSE(base::PathExists(folder.AppendASCII(kLauncherExeName)));
    EXPECT_EQ(0, CountUninstallEntries(folder));
  }

  void ExpectNoJournal(const FilePath& folder) {
    base::FileEnumerator files(GetTransactionJournalFolder(), false,
                               base::FileEnumerator::FILES,
                               journal::FileNamePrefix(folder) + L"*.journal");
    EXPECT_EQ(FilePath(), files.Next());
  }

  // Kills |operation| at each of |points| on a folder of its own, then runs
  // |next| there and checks the machine.
  void Sweep(Operation operation,
             Operation next,
             const std::vector<int>& points) {
    int kills = 0;
    for (int point : points) {
      SCOPED_TRACE("kill point " + base::IntToString(point));
      const FilePath folder = NewFolder();
      if (operation != Operation::kInstall) {
        ASSERT_EQ(0, Run(Operation::kInstall, folder));
      }
      const FilePath uninstaller = operation == Operation::kUninstall
                                       ? Program(Operation::kUninstall, folder)
                                       : FilePath();
      bool succeeded = false;
      const bool killed = RunAndKill(operation, folder, point, &succeeded);
      kills += killed ? 1 : 0;
      if (killed && !succeeded && point != kAtCommit) {
        // The front end outlived its backend and undid its work at once.
        SCOPED_TRACE("right after the killed run");
        ExpectNoJournal(folder);
        if (operation == Operation::kInstall)
          ExpectNoInstallation(folder);
        else if (operation == Operation::kUpgrade)
          ExpectOneInstallation(folder);
      }
      if (operation == Operation::kUninstall &&
          (succeeded || point == kAtCommit)) {
        // Killed while it deleted what it had moved aside: the uninstall is
        // done, and the next run only finishes the deleting.
        EXPECT_NE(0, Run(Operation::kUninstall, folder, uninstaller));
        ExpectNoInstallation(folder);
        EXPECT_EQ(std::vector<std::wstring>(), FindDebris(folder));
        ExpectNoJournal(folder);
        continue;
      }
      // Once the killed uninstall moved its own program aside, nothing is
      // left to start it by; the package's installer repairs then.
      const Operation run =
          next == Operation::kUninstall &&
                  (uninstaller.empty() || !base::PathExists(uninstaller))
              ? Operation::kUpgrade
              : next;
      // The uninstall entry names the uninstaller, whatever the folder
      // holds now.
      EXPECT_EQ(0,
                Run(run, folder,
                    run == Operation::kUninstall ? uninstaller : FilePath()));
      if (run == Operation::kUninstall)
        ExpectNoInstallation(folder);
      else
        ExpectOneInstallation(folder);
      ExpectNoJournal(folder);
    }
    // Most points lie inside the run; a point after its end proves nothing.
    EXPECT_GE(kills, static_cast<int>(points.size()) - 1);
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_;
  base::ScopedTempDir dir_;
  FilePath package_;
  std::vector<std::string> files_;
  std::vector<FilePath> folders_;
  // Keys of the tables that did not exist before the test.
  std::vector<std::wstring> new_keys_;
  test::ScopedRegistryValue last_path_{HKEY_CURRENT_USER,
                                       GetProductRegistryKey(),
                                       L"Last developer Install Path"};
};

TEST_F(HostileRunTest, KilledInstallIsUndoneByTheNextInstall) {
  Sweep(Operation::kInstall, Operation::kInstall,
        {1, 3, 9, 20, 45, 70, kAtCommit});
}

TEST_F(HostileRunTest, KilledUpgradeIsUndoneByTheNextUpgrade) {
  Sweep(Operation::kUpgrade, Operation::kUpgrade,
        {2, 12, 30, 60, 90, kAtCommit});
}

TEST_F(HostileRunTest, KilledUninstallIsUndoneByTheNextUninstall) {
  Sweep(Operation::kUninstall, Operation::kUninstall,
        {1, 5, 15, 40, kAtCommit});
}

// A failing upgrade rolls back; the backend is killed at points of that
// rollback, and the front end finishes it: the installation is as it was
// before the upgrade, every time. An upgrade whose package lacks its last
// file fails while it copies; one that finds a file where it preserves the
// install log fails after it replaced the launcher, whose old file it had
// moved aside, and is killed once the copy is undone and before the old
// file is back.
TEST_F(HostileRunTest, KilledRollbackLeavesTheInstallationAsItWas) {
  const FilePath broken = dir_.GetPath().Append(L"broken");
  ASSERT_TRUE(base::CreateDirectory(broken));
  std::vector<std::string> files = test::MakeSamplePackage(broken);
  // Enough files for a rollback long enough to be killed at each point.
  for (int i = 0; i < 120; ++i) {
    files.push_back("resources\\extra_" + base::IntToString(i) + ".pak");
    test::WriteTextFile(broken.AppendASCII(files.back()), "extra");
  }
  files.push_back("resources\\missing.pak");
  test::WriteTextFile(broken.Append(L"files_list"),
                      base::JoinString(files, "\r\n") + "\r\n");
  const FilePath folder = NewFolder();
  ASSERT_EQ(0, Run(Operation::kInstall, folder));
  const FilePath launcher = folder.AppendASCII(kLauncherExeName);
  const FilePath blocker = folder.Append(L"old_status");
  test::WriteTextFile(blocker, "no folder");
  const std::map<std::wstring, std::string> before = Snapshot(folder);
  constexpr int kLauncherCopyUndone = -2;
  for (int point : {1, 40, 100, kRolledBack, kLauncherCopyUndone}) {
    SCOPED_TRACE("rollback kill point " + base::IntToString(point));
    const bool late = point == kLauncherCopyUndone;
    bool succeeded = true;
    EXPECT_TRUE(RunAndKillWhere(
        Operation::kUpgrade, folder,
        (late ? package_ : broken).Append(L"installer.exe"),
        late ? std::function<bool(const std::string&)>(
                   [&launcher](const std::string& notice) {
                     return notice == Transaction::kUndoneNotice &&
                            !base::PathExists(launcher);
                   })
             : InRollback(folder, point),
        &succeeded));
    EXPECT_FALSE(succeeded);
    ExpectNoJournal(folder);
    EXPECT_TRUE(before == Snapshot(folder)) << Describe(folder);
    EXPECT_EQ(1, CountUninstallEntries(folder));
  }
  ASSERT_TRUE(base::DeleteFile(blocker, false));
  EXPECT_EQ(0, Run(Operation::kUpgrade, folder));
  ExpectOneInstallation(folder);
  ExpectNoJournal(folder);
}

// An upgrade removes the files of the version that the upgrade before it
// preserved: it moves them all aside, then deletes them. Killed while they
// lie aside, the version is put back whole; killed while they are deleted,
// the deleting is finished. Nothing stays aside for good, and the next
// upgrade leaves nothing of the version.
TEST_F(HostileRunTest, KilledRemovalOfAnOlderVersionIsRepaired) {
  const FilePath folder = NewFolder();
  ASSERT_EQ(0, Run(Operation::kInstall, folder));
  InstallLog first;
  ASSERT_TRUE(
      InstallLogReader().Read(&first, folder.AppendASCII(kInstallLogFileName)));
  ASSERT_EQ(0, Run(Operation::kUpgrade, folder));
  const FilePath old_version = folder.Append(first.subfolder);
  for (bool deleting : {false, true}) {
    SCOPED_TRACE(deleting ? "killed while deleting" : "killed while moving");
    bool succeeded = true;
    EXPECT_TRUE(RunAndKillWhere(
        Operation::kUpgrade, folder, package_.Append(L"installer.exe"),
        [&](const std::string& notice) {
          const size_t aside = FindDebris(old_version).size();
          return deleting ? notice == Transaction::kCommittedNotice && aside > 0
                          : notice == Transaction::kExecutedNotice &&
                                aside >= files_.size() / 2;
        },
        &succeeded));
    EXPECT_FALSE(succeeded);
    ExpectNoJournal(folder);
    EXPECT_EQ(std::vector<std::wstring>(), FindDebris(folder))
        << Describe(folder);
    EXPECT_EQ(!deleting,
              base::PathExists(old_version.AppendASCII(files_.back())));
  }
  EXPECT_EQ(0, Run(Operation::kUpgrade, folder));
  ExpectOneInstallation(folder);
}

// A journal of the folder a package runs from, or of that folder's parent,
// is no journal of the installation the run makes: it stays untouched.
TEST_F(HostileRunTest, OnlyTheJournalsOfTheRunsFolderAreReplayed) {
  const FilePath journals = GetTransactionJournalFolder();
  std::vector<FilePath> forged;
  for (const FilePath& folder : {package_, dir_.GetPath()}) {
    const FilePath document = folder.Append(L"document.txt");
    test::WriteTextFile(document, "document");
    ASSERT_TRUE(base::CreateDirectory(journals));
    forged.push_back(
        journals.Append(journal::FileNamePrefix(folder) + L"0.journal"));
    test::WriteTextFile(
        forged.back(), journal::EncodeHeader({0, 0, folder}) +
                           journal::EncodeEntry(journal::CopiedFile{document}));
  }
  const FilePath folder = NewFolder();
  EXPECT_EQ(0, Run(Operation::kInstall, folder));
  for (const FilePath& path : forged) {
    EXPECT_TRUE(base::PathExists(path)) << path.value();
    base::DeleteFile(path, false);
  }
  EXPECT_EQ("document", test::ReadTextFile(package_.Append(L"document.txt")));
  EXPECT_EQ("document",
            test::ReadTextFile(dir_.GetPath().Append(L"document.txt")));
  ExpectOneInstallation(folder);
}

// An uninstall after a file of the installation was deleted by hand
// removes what is left, the shortcuts to the missing launcher too.
TEST_F(HostileRunTest, UninstallAfterAFileWasDeletedByHand) {
  for (bool launcher : {true, false}) {
    SCOPED_TRACE(launcher ? "launcher.exe" : "kelvo.exe");
    const FilePath folder = NewFolder();
    ASSERT_EQ(0, Run(Operation::kInstall, folder));
    InstallLog log;
    ASSERT_TRUE(
        InstallLogReader().Read(&log, folder.AppendASCII(kInstallLogFileName)));
    ASSERT_TRUE(base::PathExists(log.start_menu_shortcut));
    const FilePath uninstaller = Program(Operation::kUninstall, folder);
    const FilePath version = uninstaller.DirName();
    ASSERT_TRUE(base::DeleteFile(launcher ? folder.AppendASCII(kLauncherExeName)
                                          : version.Append(L"kelvo.exe"),
                                 false));
    EXPECT_EQ(0, Run(Operation::kUninstall, folder, uninstaller));
    ExpectNoInstallation(folder);
    EXPECT_FALSE(base::PathExists(version.AppendASCII(files_.back())));
    EXPECT_FALSE(base::PathExists(log.start_menu_shortcut));
  }
}

// An installation whose log was damaged is removed from what its folder
// and the registry show: its version folder, launcher, uninstall entry and
// shortcut go. The user's files in the folder and an installation of the
// same stream elsewhere, which took the stream's registration over, stay.
TEST_F(HostileRunTest, DamagedInstallLogIsUninstalledFromWhatRemains) {
  // The shared Start menu may hold the shortcut names from other runs'
  // installations, which would make these two share one name: they are put
  // aside meanwhile.
  FilePath start_menu;
  ASSERT_TRUE(base::PathService::Get(base::DIR_START_MENU, &start_menu));
  base::ScopedTempDir aside;
  ASSERT_TRUE(aside.CreateUniqueTempDir());
  std::vector<std::pair<FilePath, FilePath>> moved;
  for (bool with_version : {false, true}) {
    const FilePath shortcut =
        start_menu.Append(GetShortcutFileName(with_version));
    const FilePath kept = aside.GetPath().Append(shortcut.BaseName());
    if (base::PathExists(shortcut)) {
      ASSERT_TRUE(base::Move(shortcut, kept));
      moved.emplace_back(kept, shortcut);
    }
  }
  struct PutBack {
    ~PutBack() {
      for (const auto& [from, to] : *moved)
        base::Move(from, to);
    }
    std::vector<std::pair<FilePath, FilePath>>* moved;
  } put_back{&moved};

  const FilePath folder = NewFolder();
  ASSERT_EQ(0, Run(Operation::kInstall, folder));
  const FilePath other = NewFolder();
  ASSERT_EQ(0, Run(Operation::kInstall, other));
  InstallLog log;
  InstallLog other_log;
  ASSERT_TRUE(
      InstallLogReader().Read(&log, folder.AppendASCII(kInstallLogFileName)));
  ASSERT_TRUE(InstallLogReader().Read(&other_log,
                                      other.AppendASCII(kInstallLogFileName)));
  ASSERT_TRUE(base::PathExists(log.start_menu_shortcut));
  ASSERT_TRUE(base::PathExists(other_log.start_menu_shortcut));
  ASSERT_NE(log.start_menu_shortcut, other_log.start_menu_shortcut);
  const FilePath uninstaller = Program(Operation::kUninstall, folder);
  const FilePath notes = folder.Append(L"My notes.txt");
  const FilePath backup = folder.Append(L"Backup\\kelvo.exe");
  test::WriteTextFile(notes, "mine");
  test::WriteTextFile(backup, "mine");
  const std::string damaged = "<?xml version=\"1.0\"?>\n<install_log";
  test::WriteTextFile(folder.AppendASCII(kInstallLogFileName), damaged);

  EXPECT_EQ(0, Run(Operation::kUninstall, folder, uninstaller));
  ExpectNoInstallation(folder);
  EXPECT_FALSE(base::PathExists(log.start_menu_shortcut));
  const FilePath version = folder.Append(log.subfolder);
  EXPECT_FALSE(base::PathExists(version.AppendASCII(files_.back())))
      << Describe(folder);
  EXPECT_FALSE(base::PathExists(version.Append(L"kelvo.exe")));
  EXPECT_EQ("mine", test::ReadTextFile(notes));
  EXPECT_EQ("mine", test::ReadTextFile(backup));

  ExpectOneInstallation(other);
  EXPECT_TRUE(base::PathExists(other_log.start_menu_shortcut));
  std::wstring command;
  EXPECT_EQ(
      ERROR_SUCCESS,
      base::win::RegKey(HKEY_CURRENT_USER,
                        L"Software\\Classes\\Kelvodeveloper\\shell\\open\\"
                        L"command",
                        KEY_READ)
          .ReadValue(L"", &command));
  EXPECT_NE(std::wstring::npos, command.find(other.value()));
  EXPECT_EQ(0, Run(Operation::kUninstall, other));
  ExpectNoInstallation(other);
}

// An installation whose log cannot be read is refused, not installed a
// second time beside.
TEST_F(HostileRunTest, DamagedInstallLogIsRefused) {
  const FilePath folder = NewFolder();
  ASSERT_EQ(0, Run(Operation::kInstall, folder));
  const FilePath log_path = folder.AppendASCII(kInstallLogFileName);
  const std::string good_log = test::ReadTextFile(log_path);
  const std::string damaged = "<?xml version=\"1.0\"?>\n<install_log";
  test::WriteTextFile(log_path, damaged);
  EXPECT_NE(0, Run(Operation::kUpgrade, folder));
  EXPECT_NE(std::string::npos,
            test::ReadInstallerLogs(temp_.GetPath()).find("cannot be read"));
  EXPECT_EQ(damaged, test::ReadTextFile(log_path));
  EXPECT_EQ(1, CountUninstallEntries(folder));
  int version_folders = 0;
  base::FileEnumerator subfolders(folder, false,
                                  base::FileEnumerator::DIRECTORIES);
  for (FilePath path = subfolders.Next(); !path.empty();
       path = subfolders.Next()) {
    ++version_folders;
  }
  EXPECT_EQ(1, version_folders);
  EXPECT_EQ(std::vector<std::wstring>(), FindDebris(folder));
  // Readable again, the installation goes whole, its shortcuts included.
  ASSERT_TRUE(base::WriteFile(log_path, good_log.data(),
                              static_cast<int>(good_log.size())) ==
              static_cast<int>(good_log.size()));
  EXPECT_EQ(0, Run(Operation::kUninstall, folder));
  ExpectNoInstallation(folder);
}

// A new installation in a folder too long for the installer's own deepest
// path is refused before anything is made.
TEST_F(HostileRunTest, FolderTooLongForTheInstallersOwnFilesIsRefused) {
  FilePath folder = NewFolder();
  while (folder.value().size() <= kMaxInstallFolderLength)
    folder = folder.Append(L"kkkkkkkkkk");
  folders_.back() = folder;
  EXPECT_NE(0, Run(Operation::kInstall, folder));
  EXPECT_FALSE(base::PathExists(folder));
  EXPECT_EQ(0, CountUninstallEntries(folder));
}

}  // namespace
}  // namespace installer
