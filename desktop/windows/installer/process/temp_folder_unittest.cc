#include "desktop/windows/installer/process/temp_folder.h"

#include <windows.h>

#include <string>

#include "base/bind.h"
#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/test/planted_link.h"
#include "base/test/scoped_path_override.h"
#include "base/test/small_disk.h"
#include "base/threading/platform_thread.h"
#include "base/threading/thread.h"
#include "base/time/time.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/process/log_file.h"
#include "desktop/windows/installer/process/temp_folder_probe.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// A temporary folder under a file can hold neither the log folder nor
// the installer's own folders.
TEST(TempFolderTest, UnusableTempFolder) {
  base::ScopedTempDir scratch;
  ASSERT_TRUE(scratch.CreateUniqueTempDir());
  base::FilePath file = scratch.GetPath().Append(L"file");
  ASSERT_TRUE(base::WriteFile(file, "x", 1));
  base::ScopedPathOverride temp(base::DIR_TEMP, file.Append(L"temp"), true,
                                false);
  base::FilePath log = GetLogFilePath();
  EXPECT_EQ(log, log.BaseName());

  base::FilePath folder;
  ASSERT_TRUE(
      FindUsableTempDir(L"Kelvo Test Folder", base::FilePath(), &folder));
  EXPECT_TRUE(base::DirectoryExists(folder));
  EXPECT_FALSE(file.IsParent(folder));
  base::DeleteFile(folder, false);
}

TEST(TempFolderTest, FindUsableTempDirProbesWithTheInstaller) {
  base::ScopedPathOverride temp(base::DIR_TEMP);
  base::FilePath temp_dir;
  ASSERT_TRUE(base::PathService::Get(base::DIR_TEMP, &temp_dir));
  base::FilePath folder;
  ASSERT_TRUE(FindUsableTempDir(
      L"Probe Ok", test::GetBuildBinDir().Append(L"installer.exe"), &folder));
  EXPECT_EQ(temp_dir.Append(L"Probe Ok"), folder);

  // A probe that cannot start fails every base; the empty candidates are
  // removed again.
  base::ScopedTempDir probe_dir;
  ASSERT_TRUE(probe_dir.CreateUniqueTempDir());
  base::FilePath not_a_program = probe_dir.GetPath().Append(L"broken.exe");
  ASSERT_TRUE(base::WriteFile(not_a_program, "MZ nothing", 10));
  base::ScopedPathOverride home(base::DIR_HOME);
  base::ScopedPathOverride exe_dir(base::DIR_EXE);
  EXPECT_FALSE(FindUsableTempDir(L"Probe Fails", not_a_program, &folder));
  EXPECT_FALSE(base::PathExists(temp_dir.Append(L"Probe Fails")));
}

// The probe's copy goes once the probe has ended, also when the probe is
// dropped before; a copy that cannot start is no probe and leaves no file.
TEST(TempFolderTest, ProbeCopyIsDeletedOnceItHasEnded) {
  base::ScopedPathOverride temp(base::DIR_TEMP);
  base::FilePath temp_dir;
  ASSERT_TRUE(base::PathService::Get(base::DIR_TEMP, &temp_dir));
  const base::FilePath installer =
      test::GetBuildBinDir().Append(L"installer.exe");
  base::FilePath folder;
  ASSERT_TRUE(FindUsableTempDir(L"Probe Copy", installer, &folder));
  EXPECT_EQ(temp_dir.Append(L"Probe Copy"), folder);
  EXPECT_FALSE(base::PathExists(folder.Append(L"installer.exe")));

  std::unique_ptr<TempFolderProbe> probe;
  probe = TempFolderProbe::Start(folder, installer);
  ASSERT_TRUE(probe);
  const base::FilePath copy = probe->copy();
  probe.reset();
  EXPECT_FALSE(base::PathExists(copy));

  // A copy that cannot start is no probe, and leaves no file.
  base::FilePath not_a_program = folder.Append(L"source").Append(L"bad.exe");
  ASSERT_TRUE(base::CreateDirectory(not_a_program.DirName()));
  ASSERT_TRUE(base::WriteFile(not_a_program, "MZ nothing", 10));
  EXPECT_FALSE(TempFolderProbe::Start(folder, not_a_program));
  EXPECT_FALSE(base::PathExists(folder.Append(L"bad.exe")));
  EXPECT_TRUE(base::DeleteFile(folder, true));
}

// Another program that writes its own program over the probe's copy once
// the copy is written got it started in the installer's place, elevated
// when the installer is. The probe waits for the launch lock, held here,
// between the copy and the start: the moment such a program needs.
TEST(TempFolderTest, ReplacedProbeCopyIsNeverStarted) {
  base::ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  const base::FilePath installer =
      test::GetBuildBinDir().Append(L"installer.exe");
  int64_t size = 0;
  ASSERT_TRUE(base::GetFileSize(installer, &size));
  std::string impostor;
  ASSERT_TRUE(base::ReadFileToString(
      test::GetBuildBinDir().Append(L"stand_in.exe"), &impostor));
  const base::FilePath copy = folder.GetPath().Append(L"installer.exe");

  base::Thread prober("probe");
  ASSERT_TRUE(prober.Start());
  std::unique_ptr<TempFolderProbe> probe;
  base::WaitableEvent started(base::WaitableEvent::ResetPolicy::MANUAL,
                              base::WaitableEvent::InitialState::NOT_SIGNALED);
  {
    base::AutoLock hold(GetProcessLaunchLock());
    prober.task_runner()->PostTask(
        FROM_HERE,
        base::BindOnce(
            [](const base::FilePath& folder, const base::FilePath& installer,
               std::unique_ptr<TempFolderProbe>* probe,
               base::WaitableEvent* started) {
              *probe = TempFolderProbe::Start(folder, installer);
              started->Signal();
            },
            folder.GetPath(), installer, &probe, &started));
    const base::TimeTicks end =
        base::TimeTicks::Now() + base::TimeDelta::FromSeconds(60);
    int64_t written = 0;
    while (!started.IsSignaled() && base::TimeTicks::Now() < end &&
           !(base::GetFileSize(copy, &written) && written == size)) {
      base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(5));
    }
    ASSERT_EQ(size, written) << "the copy was never written";
    base::test::OverwriteWhenWritable(copy, impostor,
                                      base::TimeDelta::FromSeconds(1));
  }
  ASSERT_TRUE(started.TimedWait(base::TimeDelta::FromSeconds(60)));
  prober.Stop();
  if (probe)
    probe->Finish();
  // The stand-in writes down every start beside itself.
  EXPECT_FALSE(base::PathExists(folder.GetPath().Append(L"installer.exe.log")))
      << "another program's code ran as the probe";
}

// A link planted at the copy's name led the copy over a file elsewhere;
// the copy goes under another name, and leaves the link and its target.
TEST(TempFolderTest, ProbeCopyDoesNotFollowAPlantedLink) {
  base::ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  const base::FilePath victim = folder.GetPath().Append(L"victim.dat");
  ASSERT_TRUE(base::WriteFile(victim, std::string_view("precious")));
  const base::FilePath probe_dir = folder.GetPath().Append(L"probe");
  ASSERT_TRUE(base::CreateDirectory(probe_dir));
  const base::FilePath link = probe_dir.Append(L"installer.exe");
  ASSERT_TRUE(base::test::MakeFileLink(link, victim));

  std::unique_ptr<TempFolderProbe> probe = TempFolderProbe::Start(
      probe_dir, test::GetBuildBinDir().Append(L"installer.exe"));
  ASSERT_TRUE(probe);
  EXPECT_NE(link, probe->copy());
  EXPECT_EQ(probe_dir, probe->copy().DirName());
  const base::FilePath copy = probe->copy();
  probe.reset();
  EXPECT_FALSE(base::PathExists(copy));
  std::string contents;
  EXPECT_TRUE(base::ReadFileToString(victim, &contents));
  EXPECT_EQ("precious", contents);
  base::test::RemoveLink(link);
}

// A link planted at the installer folder's name led the log, the probe and
// the downloads into a folder elsewhere. Such a folder is not used: the log
// goes to the current folder and the downloads to the next base, nothing
// reaches the folder elsewhere, and the folder found is held.
TEST(TempFolderTest, LinkedInstallerFolderIsNotUsed) {
  base::ScopedPathOverride temp(base::DIR_TEMP);
  base::ScopedPathOverride home(base::DIR_HOME);
  base::FilePath temp_dir;
  ASSERT_TRUE(base::PathService::Get(base::DIR_TEMP, &temp_dir));
  base::ScopedTempDir elsewhere;
  ASSERT_TRUE(elsewhere.CreateUniqueTempDir());
  const base::FilePath log_link = temp_dir.Append(GetInstallerTempFolderName());
  const base::FilePath link = temp_dir.Append(L"Linked Folder");
  ASSERT_TRUE(base::test::MakeDirectoryLink(log_link, elsewhere.GetPath()));
  ASSERT_TRUE(base::test::MakeDirectoryLink(link, elsewhere.GetPath()));

  const base::FilePath log = GetLogFilePath();
  EXPECT_EQ(log.BaseName(), log);

  base::FilePath folder;
  base::win::ScopedHandle held;
  ASSERT_TRUE(FindUsableTempDir(L"Linked Folder",
                                test::GetBuildBinDir().Append(L"installer.exe"),
                                &folder, &held));
  EXPECT_NE(link, folder);
  EXPECT_EQ(L"Linked Folder", folder.BaseName().value());
  EXPECT_TRUE(base::IsDirectoryEmpty(elsewhere.GetPath()));
  EXPECT_TRUE(held.IsValid());
  EXPECT_FALSE(base::Move(folder, folder.DirName().Append(L"Moved Away")));
  held.Close();
  EXPECT_TRUE(base::DeleteFile(folder, false));
  base::test::RemoveLink(link);
  base::test::RemoveLink(log_link);
}

// A copy cut short by a full disk was left behind in the candidate folder.
TEST(TempFolderTest, ProbeCopyCutShortByAFullDiskIsRemoved) {
  base::ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  const base::FilePath probe_dir = folder.GetPath().Append(L"probe");
  ASSERT_TRUE(base::CreateDirectory(probe_dir));
  base::test::ScopedSmallDisk disk;
  if (!disk.Mount(probe_dir, 256))
    GTEST_SKIP() << "no small disk can be made here";

  EXPECT_FALSE(TempFolderProbe::Start(
      probe_dir, test::GetBuildBinDir().Append(L"installer.exe")));
  EXPECT_TRUE(base::IsDirectoryEmpty(probe_dir));
}

}  // namespace
}  // namespace installer
