#include "desktop/windows/installer/steps/old_version_steps.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

TEST(PreservedStatusPathTest, NamesNeverRepeat) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  for (const wchar_t* suffix : {L"", L".1", L".2"}) {
    const FilePath path = GetPreservedStatusPath(
        temp.GetPath(), base::Time::FromTimeT(1489400000));
    EXPECT_EQ(temp.GetPath().Append(
                  std::wstring(L"installation_status.xml.1489400000") + suffix),
              path);
    ASSERT_EQ(1, base::WriteFile(path, "x", 1));
  }
}

using OldVersionStepsTest = test::StepsTest;

// A preserved version with a file in use: an upgrade keeps the version
// whole for the next time, an uninstall removes what it can and the log.
TEST_F(OldVersionStepsTest, PreservedVersionWithAFileInUse) {
  for (bool uninstall : {false, true}) {
    SCOPED_TRACE(uninstall ? "uninstall" : "upgrade");
    MakeInstallation(MakeLog());
    const FilePath old_status = install_folder().Append(kOldStatusFolderName);
    InstallLog old_log = MakeLog({"a.dll", "sub\\b.dll"});
    old_log.subfolder = FilePath(L"56.0");
    const FilePath status_file =
        old_status.Append(L"installation_status.xml.1489400000");
    ASSERT_TRUE(base::CreateDirectory(old_status));
    ASSERT_TRUE(InstallLogWriter().WriteToFile(old_log, status_file));
    const FilePath version = install_folder().Append(L"56.0");
    for (const FilePath& file : old_log.files)
      WriteFile(version.Append(file), "old");
    base::win::ScopedHandle in_use(::CreateFileW(
        version.Append(L"sub\\b.dll").value().c_str(), GENERIC_READ,
        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::unique_ptr<Settings> settings =
        uninstall ? MakeUninstallSettings() : MakeSettings();
    Installer installer;
    RunSteps(&installer, settings.get(),
             MakeSteps(Step(&StepRemoveInstalledFiles)));

    EXPECT_TRUE(base::PathExists(version.Append(L"sub\\b.dll")));
    EXPECT_EQ(!uninstall, base::PathExists(version.Append(L"a.dll")));
    EXPECT_EQ(!uninstall, base::PathExists(version.Append(L"kelvo.exe")));
    EXPECT_EQ(!uninstall, base::PathExists(status_file));
    EXPECT_EQ(L"RemoveFirewallRules " + version.Append(L"kelvo.exe").value(),
              firewall_.calls.back());
    in_use.Close();
    ASSERT_TRUE(base::DeleteFile(install_folder(), true));
  }
}

// An installation in a folder too long for the preserved log's name: the
// upgrade cannot preserve the log, and is undone rather than leaving the
// previous version without anything that leads to its files.
TEST_F(OldVersionStepsTest, UpgradeThatCannotPreserveTheLogIsUndone) {
  // Long enough for the preserved name to reach MAX_PATH, short enough for
  // the installation's own files.
  FilePath folder = root();
  while (folder.value().size() < 216)
    folder = folder.Append(std::wstring(10, L'v'));
  ASSERT_LT(folder.value().size(), 230u);
  set_install_folder(folder);
  SetCommandLine(L"");
  MakeInstallation(MakeLog());
  const FilePath log_path = install_folder().AppendASCII(kInstallLogFileName);
  std::unique_ptr<Settings> settings = MakeSettings();
  ASSERT_EQ(OPERATION_UPGRADING, settings->operation());
  Installer installer;
  test::InstallerEventRecorder events(&installer);
  RunSteps(&installer, settings.get(),
           MakeSteps(Step(&StepPreservePreviousStatus)));
  ASSERT_GE(events.events().size(), 2u);
  EXPECT_EQ(0u, events.events()[events.events().size() - 2].rfind(
                    "error 37055 Could not preserve", 0));
  EXPECT_EQ("terminated", events.events().back());
  EXPECT_TRUE(base::PathExists(log_path));
  EXPECT_FALSE(base::PathExists(install_folder().Append(kOldStatusFolderName)));
  ASSERT_TRUE(base::DeleteFile(install_folder(), true));
}

}  // namespace
}  // namespace installer
