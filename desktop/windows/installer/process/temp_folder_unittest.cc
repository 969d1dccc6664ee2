#include "desktop/windows/installer/process/temp_folder.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/test/scoped_path_override.h"
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

}  // namespace
}  // namespace installer
