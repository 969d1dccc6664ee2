#include "desktop/windows/installer/service/utils.h"

#include <windows.h>

#include <knownfolders.h>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/product/branding_config.h"
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

TEST(ServiceUtilsTest, KernelObjectNameForm) {
  EXPECT_EQ(
      L"Local\\KelvoInstaller/PackageReady/C:/APPS/BROWSER",
      MakeKernelObjectName(base::FilePath(L"C:\\Apps\\Browser"), kBase, false));
  // A root keeps its separator; only forward slashes after the prefix.
  EXPECT_EQ(L"Global\\KelvoInstaller/PackageReady/C:/",
            MakeKernelObjectName(base::FilePath(L"c:\\"), kBase, true));
  EXPECT_EQ(L"Global\\Kelvo/Event/C:/APPS/SUB/BROWSER",
            MakeKernelObjectName(base::FilePath(L"C:/Apps\\Sub/Browser"),
                                 L"Kelvo\\Event", true));
}

TEST(ServiceUtilsTest, OneFolderGivesOneName) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  const base::FilePath folder = temp_dir.GetPath().Append(L"Long Folder Name");
  ASSERT_TRUE(base::CreateDirectory(folder));
  wchar_t short_form[MAX_PATH] = {};
  ASSERT_GT(::GetShortPathNameW(folder.value().c_str(), short_form, MAX_PATH),
            0u);
  ASSERT_NE(folder.value(), short_form) << "no 8.3 name to expand";

  const std::wstring expected = MakeKernelObjectName(folder, kBase, true);
  const std::wstring spellings[] = {
      folder.value() + L"\\\\",
      folder.Append(L"sub").value() + L"\\..",
      short_form,
  };
  for (const std::wstring& spelling : spellings) {
    EXPECT_EQ(expected,
              MakeKernelObjectName(base::FilePath(spelling), kBase, true))
        << spelling;
  }
  // A folder not made yet below an 8.3 name: the existing part expands.
  EXPECT_EQ(
      MakeKernelObjectName(folder.Append(L"Kelvo"), kBase, true),
      MakeKernelObjectName(
          base::FilePath(std::wstring(short_form) + L"\\kelvo"), kBase, true));

  // Both names open one event.
  base::win::ScopedHandle first(
      ::CreateEventW(nullptr, TRUE, FALSE, expected.c_str()));
  ASSERT_TRUE(first.IsValid()) << ::GetLastError();
  HANDLE second = ::CreateEventW(
      nullptr, TRUE, FALSE,
      MakeKernelObjectName(base::FilePath(short_form), kBase, true).c_str());
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), ::GetLastError());
  base::win::ScopedHandle scoped_second(second);
}

TEST(ServiceUtilsTest, LongFoldersGiveShortDistinctNames) {
  const std::wstring deep =
      L"C:\\" + std::wstring(120, L'a') + L"\\" + std::wstring(120, L'b');
  const std::wstring base_name = L"KelvoInstaller/GiveInstallPermission/Undo";
  std::wstring name_a =
      MakeKernelObjectName(base::FilePath(deep + L"\\x"), base_name, true);
  std::wstring name_b =
      MakeKernelObjectName(base::FilePath(deep + L"\\y"), base_name, true);
  EXPECT_EQ(static_cast<size_t>(MAX_PATH), name_a.size());
  EXPECT_NE(name_a, name_b);
  EXPECT_EQ(0u, name_a.find(L"Global\\" + base_name + L"/C:/AAAA"));
  base::win::ScopedHandle event(
      ::CreateEventW(nullptr, TRUE, FALSE, name_a.c_str()));
  EXPECT_TRUE(event.IsValid()) << ::GetLastError();
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

}  // namespace
}  // namespace installer
