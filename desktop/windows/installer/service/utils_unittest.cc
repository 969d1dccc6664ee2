#include "desktop/windows/installer/service/utils.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ServiceUtilsTest, UserNameExReadsTheWholeName) {
  std::wstring user;
  ASSERT_TRUE(GetUserName(&user));
  // "DOMAIN\user": exercises the size probe and the second call.
  std::wstring sam;
  ASSERT_TRUE(GetUserNameEx(&sam, NameSamCompatible));
  ASSERT_GT(sam.size(), user.size() + 1);
  EXPECT_EQ(L"\\" + user, sam.substr(sam.size() - user.size() - 1)) << sam;
  EXPECT_EQ(std::wstring::npos, sam.find(L'\0'));
}

TEST(ServiceUtilsTest, KnownFolders) {
  base::FilePath local_app_data;
  ASSERT_TRUE(GetKnownFolderPath(FOLDERID_LocalAppData, CSIDL_LOCAL_APPDATA,
                                 &local_app_data, false));
  // Windows has the per-user install root; Wine lacks it and gets the same
  // folder built, and created when asked.
  base::FilePath programs;
  ASSERT_TRUE(GetKnownFolderPath(FOLDERID_UserProgramFiles, CSIDL_LOCAL_APPDATA,
                                 &programs, true));
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(
      local_app_data.Append(L"Programs").value(), programs.value()))
      << programs;
  EXPECT_TRUE(base::DirectoryExists(programs));

  // An id that names no folder leaves the path alone.
  const GUID kNoFolder = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  base::FilePath untouched(L"C:\\untouched");
  EXPECT_FALSE(
      GetKnownFolderPath(kNoFolder, CSIDL_LOCAL_APPDATA, &untouched, true));
  EXPECT_EQ(base::FilePath(L"C:\\untouched"), untouched);
}

TEST(ServiceUtilsTest, ValidWin32Paths) {
  struct Case {
    const wchar_t* path;
    bool folder;
    bool valid;
  } const kCases[] = {
      {L"C:\\", true, true},
      {L"c:/apps//browser/", true, true},
      {L"C:\\a\\COM5", false, true},
      {L"\\\\server\\share\\folder", true, true},
      // Reserved device names, with and without extensions, any case.
      {L"C:\\a\\con.txt", false, false},
      {L"C:\\a\\Aux.tar.gz", false, false},
      // Forbidden characters, blanks and dots ending a name.
      {L"C:\\a?b", false, false},
      {L"C:\\a:b", false, false},
      {L"C:\\a \\b", false, false},
      {L"C:\\a\\..\\b", false, false},
      // UNC names need a server and a share, each ended by a separator.
      {L"\\\\server\\share", true, false},
      {L"\\\\?\\C:\\a", true, false},
      // Relative paths.
      {L"", true, false},
      {L"C:folder", true, false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.valid, IsValidWin32Path(base::FilePath(c.path), c.folder))
        << c.path;
  }
  // Folders leave room for a file name of 8.3 below them.
  auto path_of_length = [](size_t length) {
    return base::FilePath(L"C:\\" + std::wstring(length - 3, L'a'));
  };
  EXPECT_TRUE(IsValidWin32Path(path_of_length(247), true));
  EXPECT_FALSE(IsValidWin32Path(path_of_length(248), true));
  EXPECT_TRUE(IsValidWin32Path(path_of_length(259), false));
  EXPECT_FALSE(IsValidWin32Path(path_of_length(260), false));
}

constexpr wchar_t kBase[] = L"KelvoInstaller/PackageReady";

// Installers of other versions and the browser name the objects of a folder
// by its path as written; only the separators change.
TEST(ServiceUtilsTest, KernelObjectNamesSpellTheFolderAsGiven) {
  EXPECT_EQ(
      L"Local\\KelvoInstaller/PackageReady/C:/Apps/Browser",
      MakeKernelObjectName(base::FilePath(L"C:\\Apps\\Browser"), kBase, false));
  // A root keeps its separator; only forward slashes after the prefix.
  EXPECT_EQ(L"Global\\KelvoInstaller/PackageReady/C:/",
            MakeKernelObjectName(base::FilePath(L"c:\\"), kBase, true));
  EXPECT_EQ(L"Global\\Kelvo/Event/C:/Apps/Sub/Browser",
            MakeKernelObjectName(base::FilePath(L"C:/Apps\\Sub/Browser"),
                                 L"Kelvo\\Event", true));
  // The part still to be made keeps its case; the case-blind form does not.
  EXPECT_EQ(L"Global\\Kelvo/Lock/C:/APPS/BROWSER",
            MakeCaseBlindKernelObjectName(base::FilePath(L"c:\\apps\\Browser"),
                                          L"Kelvo/Lock", true));
}

class KernelObjectNameTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    folder_ = temp_dir_.GetPath().Append(L"Long Folder Name");
    ASSERT_TRUE(base::CreateDirectory(folder_));
    expected_ = MakeKernelObjectName(folder_, kBase, true);
  }

  // Every spelling gives the expected name, and opens the same event.
  void ExpectOneName(const std::vector<std::wstring>& spellings) {
    base::win::ScopedHandle first(
        ::CreateEventW(nullptr, TRUE, FALSE, expected_.c_str()));
    ASSERT_TRUE(first.IsValid()) << ::GetLastError();
    for (const std::wstring& spelling : spellings) {
      const std::wstring name =
          MakeKernelObjectName(base::FilePath(spelling), kBase, true);
      EXPECT_EQ(expected_, name) << spelling;
      base::win::ScopedHandle second(
          ::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
      EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), ::GetLastError())
          << spelling;
    }
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath folder_;
  std::wstring expected_;
};

TEST_F(KernelObjectNameTest, OneFolderGivesOneNameInItsOwnSpelling) {
  wchar_t short_form[MAX_PATH] = {};
  ASSERT_GT(::GetShortPathNameW(folder_.value().c_str(), short_form, MAX_PATH),
            0u);
  ASSERT_NE(folder_.value(), short_form) << "no 8.3 name to expand";
  // The folder's own spelling, not an upper-cased one.
  EXPECT_NE(std::wstring::npos, expected_.find(L"/Long Folder Name"))
      << expected_;
  ExpectOneName({
      folder_.value() + L"\\\\",
      base::ToUpperASCII(folder_.value()),
      base::ToLowerASCII(folder_.value()),
      folder_.Append(L"sub").value() + L"\\..",
      short_form,
  });
  // A folder not made yet below an 8.3 name: the existing part expands and
  // the new part keeps its spelling.
  EXPECT_EQ(
      MakeKernelObjectName(folder_.Append(L"Kelvo"), kBase, true),
      MakeKernelObjectName(
          base::FilePath(std::wstring(short_form) + L"\\Kelvo"), kBase, true));
  EXPECT_EQ(
      MakeCaseBlindKernelObjectName(folder_.Append(L"Kelvo"), kBase, true),
      MakeCaseBlindKernelObjectName(
          base::FilePath(std::wstring(short_form) + L"\\KELVO"), kBase, true));
}

// The Unix path of |path| as Wine maps it below Z:, the drive of the Linux
// root; empty off Wine.
std::wstring GetZDriveSpelling(const base::FilePath& path) {
  using GetUnixFileName = char* (*)(const wchar_t*);
  auto get_unix_file_name = reinterpret_cast<GetUnixFileName>(::GetProcAddress(
      ::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  char* unix_path =
      get_unix_file_name ? get_unix_file_name(path.value().c_str()) : nullptr;
  if (!unix_path)
    return std::wstring();
  std::wstring spelling = L"Z:" + base::UTF8ToWide(unix_path);
  ::HeapFree(::GetProcessHeap(), 0, unix_path);
  std::replace(spelling.begin(), spelling.end(), L'/', L'\\');
  return spelling;
}

// The test prefix reaches C:\kelvo_aliases\target also as the drive S: (a
// substituted drive) and through C:\kelvo_aliases\junction (a junction), and
// every folder also below Z:, which maps the Linux root
// (tools/wine_prefix.sh).
TEST_F(KernelObjectNameTest, AliasesOfOneFolderGiveOneName) {
  const base::FilePath target(L"C:\\kelvo_aliases\\target");
  ASSERT_TRUE(base::DirectoryExists(target));
  ASSERT_TRUE(base::DirectoryExists(base::FilePath(L"S:\\")));
  base::ScopedTempDir aliased;
  ASSERT_TRUE(aliased.CreateUniqueTempDirUnderPath(target));
  folder_ = aliased.GetPath().Append(L"Kelvo");
  ASSERT_TRUE(base::CreateDirectory(folder_));
  expected_ = MakeKernelObjectName(folder_, kBase, true);
  const std::wstring relative = folder_.value().substr(target.value().size());
  const std::wstring z_drive = GetZDriveSpelling(folder_);
  ASSERT_FALSE(z_drive.empty());
  ExpectOneName({
      L"S:" + relative,
      L"C:\\kelvo_aliases\\junction" + relative,
      z_drive,
  });
  const std::wstring guard =
      MakeCaseBlindKernelObjectName(folder_, kBase, true);
  EXPECT_EQ(guard, MakeCaseBlindKernelObjectName(
                       base::FilePath(L"s:" + relative), kBase, true));
}

TEST(ServiceUtilsTest, StreamAndProductNames) {
  // Unknown channels fall back to the build's stream.
  EXPECT_EQ("developer", GetStreamName(5));
  EXPECT_EQ(L"Software\\Kelvo Software", GetProductRegistryKey());
  BrandingConfig::ScopedOverrideForTesting branding(
      "{\"file_name_base\": \"other\", \"company_name\": \"K\\u00e9lvo "
      "\\u00c5S\"}");
  EXPECT_EQ("other.exe", GetProductExeName());
  EXPECT_EQ(L"Software\\K\u00e9lvo \u00c5S", GetProductRegistryKey());
}

// A process whose first use of shell32 is a known folder (installer.dll
// delay-loads it) finds the same folder as one that loaded shell32 at its
// start: the lookup of SHGetKnownFolderPath loads the library rather than
// fall back to the older folder functions, which know no per-user program
// folder.
TEST(ServiceUtilsTest, KnownFolderFoundBeforeShell32IsLoaded) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  base::FilePath expected;
  ASSERT_TRUE(GetKnownFolderPath(FOLDERID_UserProgramFiles,
                                 CSIDL_LOCAL_APPDATA, &expected, false));
  const base::FilePath log = temp.GetPath().Append(L"host.log");
  test::InstallerRunResult result = test::RunProgram(
      test::GetBuildBinDir().Append(L"delay_load_test_host.exe"),
      L"\"" + log.value() + L"\" user-program-files", temp.GetPath());
  ASSERT_TRUE(result.finished);
  ASSERT_EQ(0, result.exit_code);
  EXPECT_EQ(base::WideToUTF8(expected.value()), result.output);
}

}  // namespace
}  // namespace installer
