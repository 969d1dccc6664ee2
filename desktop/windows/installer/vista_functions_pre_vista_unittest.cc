// What the installer does where Windows lacks Vista's functions, in the
// program to which the Wine prefix presents Windows XP x64: the older way
// runs although Wine has every function, since the functions are looked for
// only from Vista on (base/win/vista_function.h).

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/guid.h"
#include "base/process/launch.h"
#include "base/process/process_handle.h"
#include "base/test/scoped_log_capture.h"
#include "base/time/time.h"
#include "base/win/vista_function.h"
#include "base/win/windows_version.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

base::FilePath OwnFolder() {
  wchar_t self[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return base::FilePath(std::wstring(self, length)).DirName();
}

class VistaFunctionsPreVistaTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_LT(base::win::GetVersion(), base::win::VERSION_VISTA)
        << "tools/wine_prefix.sh presents Windows XP to this program";
  }

  base::ScopedLogCapture log_;
};

// installer.exe and installer.dll import nothing that Windows XP lacks
// (installer_load_time_imports checks the tables): a copy under this
// program's name, to which Wine presents Windows XP as well, starts, loads
// the library and runs a role through it: its locks, condition variables,
// tick counts and the start of a child with a handle list.
TEST_F(VistaFunctionsPreVistaTest, TheInstallerRunsBeforeVista) {
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  const base::FilePath copy =
      dir.GetPath().Append(L"installer_pre_vista_unittests.exe");
  ASSERT_TRUE(base::CopyFile(OwnFolder().Append(L"installer.exe"), copy));
  ASSERT_TRUE(base::CopyFile(OwnFolder().Append(L"installer.dll"),
                             dir.GetPath().Append(L"installer.dll")));
  std::string output;
  int exit_code = -1;
  ASSERT_TRUE(base::GetAppOutputWithExitCode(
      L"\"" + copy.value() + L"\" --version", &output, &exit_code,
      base::TimeDelta::FromSeconds(60)));
  EXPECT_EQ(0, exit_code);
  EXPECT_NE(std::string::npos, output.find("45.0.2531.0")) << output;
  // The output's pipe reached the child without an attribute list.
  EXPECT_TRUE(log_.Contains("inherits every inheritable handle"));
}

TEST_F(VistaFunctionsPreVistaTest, OlderWaysStandIn) {
  EXPECT_FALSE(base::win::GetVistaKernel32Function("CompareStringOrdinal"));

  // Names compare as the file system compares them.
  EXPECT_EQ(0, base::FilePath::CompareIgnoreCase(L"C:\\Kelvo\\\x00C4x",
                                                 L"c:\\KELVO\\\x00E4X"));
  EXPECT_EQ(-1, base::FilePath::CompareIgnoreCase(L"a", L"B"));
  EXPECT_EQ(1, base::FilePath::CompareIgnoreCase(L"ab", L"A"));

  // The user's default UI language stands for the list Vista keeps.
  std::vector<std::wstring> languages = l10n::GetSystemPreferredUILanguages();
  ASSERT_EQ(1u, languages.size());
  EXPECT_FALSE(languages[0].empty());
  EXPECT_TRUE(log_.Contains("there is no preferred UI language list"));

  // The image path of a process is said to be unknown.
  base::FilePath image;
  EXPECT_FALSE(base::GetProcessImagePath(::GetCurrentProcess(), &image));
  EXPECT_TRUE(log_.Contains("no process's image path is read"));

  // Random GUIDs without CNG.
  const std::string guid = base::GenerateGUID();
  EXPECT_TRUE(base::IsValidGUIDOutputString(guid)) << guid;
  EXPECT_NE(guid, base::GenerateGUID());
}

}  // namespace
}  // namespace installer
