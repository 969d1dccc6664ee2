#include "desktop/windows/installer/service/utils.h"

#include <windows.h>

#include <knownfolders.h>

#include <cstring>
#include <set>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/branding_config.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// ------------------------------------------------------------------------
// User.

TEST(ServiceUtilsTest, UserNames) {
  std::wstring user;
  ASSERT_TRUE(GetUserName(&user));
  EXPECT_FALSE(user.empty());
  // "DOMAIN\user": exercises the size probe and the second call.
  std::wstring sam;
  ASSERT_TRUE(GetUserNameEx(&sam, NameSamCompatible));
  ASSERT_GT(sam.size(), user.size() + 1);
  EXPECT_EQ(L"\\" + user, sam.substr(sam.size() - user.size() - 1)) << sam;
  EXPECT_EQ(std::wstring::npos, sam.find(L'\0'));
  // A local account may have no display name (Wine has none); the call
  // must then fail rather than answer an empty or stale name.
  std::wstring display = L"unchanged";
  if (GetUserDisplayName(&display))
    EXPECT_FALSE(display.empty());
  else
    EXPECT_EQ(L"unchanged", display);
}

// ------------------------------------------------------------------------
// Known folders.

base::FilePath GetPathKey(int key) {
  base::FilePath path;
  EXPECT_TRUE(base::PathService::Get(key, &path));
  return path;
}

TEST(ServiceUtilsTest, KnownFolders) {
  base::FilePath local_app_data;
  ASSERT_TRUE(GetKnownFolderPath(FOLDERID_LocalAppData, CSIDL_LOCAL_APPDATA,
                                 &local_app_data, false));
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(
      GetPathKey(base::DIR_LOCAL_APP_DATA).value(), local_app_data.value()));

  // The per-user install root, as the installer asks for it. Windows has
  // the known folder; Wine lacks it and gets the same folder built.
  base::FilePath programs;
  ASSERT_TRUE(GetKnownFolderPath(FOLDERID_UserProgramFiles, CSIDL_LOCAL_APPDATA,
                                 &programs, true));
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(
      local_app_data.Append(L"Programs").value(), programs.value()))
      << programs;
  EXPECT_TRUE(base::DirectoryExists(programs));
  base::FilePath again;
  EXPECT_TRUE(GetKnownFolderPath(FOLDERID_UserProgramFiles, CSIDL_LOCAL_APPDATA,
                                 &again, false));
  EXPECT_EQ(programs, again);

  // An id that names no folder leaves the path alone.
  const GUID kNoFolder = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  base::FilePath untouched(L"C:\\untouched");
  EXPECT_FALSE(
      GetKnownFolderPath(kNoFolder, CSIDL_LOCAL_APPDATA, &untouched, true));
  EXPECT_EQ(base::FilePath(L"C:\\untouched"), untouched);
}

// ------------------------------------------------------------------------
// IsValidWin32Path.

TEST(ServiceUtilsTest, ValidWin32Paths) {
  struct Case {
    const wchar_t* path;
    bool folder;
    bool valid;
  } const kCases[] = {
      {L"C:\\", true, true},
      {L"C:", true, true},
      {L"C:\\Program Files\\Kelvo", true, true},
      {L"c:/apps//browser/", true, true},
      {L"C:\\a\\COM5", false, true},
      {L"C:\\a\\console", false, true},
      {L"C:\\a\\conx.txt", false, true},
      {L"C:\\a\\b.c.d", false, true},
      {L"\\\\server\\share\\", true, true},
      {L"\\\\server\\share\\folder", true, true},
      {L"//server/share/folder", true, true},
      // Reserved device names, with and without extensions, any case.
      {L"C:\\a\\con.txt", false, false},
      {L"C:\\a\\LPT1", false, false},
      {L"C:\\a\\lpt3.log\\b", false, false},
      {L"C:\\nul", true, false},
      {L"C:\\a\\Aux.tar.gz", false, false},
      {L"C:\\a\\prn", false, false},
      {L"C:\\a\\com4", false, false},
      // Forbidden characters and blanks.
      {L"C:\\a?b", false, false},
      {L"C:\\a\"b", false, false},
      {L"C:\\a<b", false, false},
      {L"C:\\a>b", false, false},
      {L"C:\\a*b", false, false},
      {L"C:\\a|b", false, false},
      {L"C:\\a:b", false, false},
      {L"C:\\a\tb", false, false},
      {L"C:\\a\x1f", false, false},
      {L"C:\\a \\b", false, false},
      {L"C:\\a\\ b", false, false},
      {L"C:\\a.\\b", false, false},
      {L"C:\\a\\..\\b", false, false},
      // UNC names need a server and a share, each ended by a separator.
      {L"\\\\server", true, false},
      {L"\\\\server\\", true, false},
      {L"\\\\server\\share", true, false},
      {L"\\\\\\share\\", true, false},
      {L"\\\\?\\C:\\a", true, false},
      {L"\\\\.\\pipe\\a", true, false},
      // Relative paths.
      {L"", true, false},
      {L"folder\\sub", true, false},
      {L"\\folder", true, false},
      {L"C:folder", true, false},
      {L"1:\\folder", true, false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.valid, IsValidWin32Path(base::FilePath(c.path), c.folder))
        << c.path;
  }
}

TEST(ServiceUtilsTest, ValidWin32PathLengths) {
  // "C:\" and "a" repeated: |length| characters in all.
  auto path_of_length = [](size_t length) {
    return base::FilePath(L"C:\\" + std::wstring(length - 3, L'a'));
  };
  EXPECT_TRUE(IsValidWin32Path(path_of_length(247), true));
  EXPECT_FALSE(IsValidWin32Path(path_of_length(248), true));
  EXPECT_TRUE(IsValidWin32Path(path_of_length(248), false));
  EXPECT_TRUE(IsValidWin32Path(path_of_length(259), false));
  EXPECT_FALSE(IsValidWin32Path(path_of_length(260), false));
}

// ------------------------------------------------------------------------
// Kernel-object names.

constexpr wchar_t kBase[] = L"KelvoInstaller/PackageReady";

TEST(ServiceUtilsTest, KernelObjectNameForm) {
  EXPECT_EQ(
      L"Global\\KelvoInstaller/PackageReady/C:/APPS/BROWSER",
      MakeKernelObjectName(base::FilePath(L"C:\\Apps\\Browser"), kBase, true));
  EXPECT_EQ(
      L"Local\\KelvoInstaller/PackageReady/C:/APPS/BROWSER",
      MakeKernelObjectName(base::FilePath(L"C:\\Apps\\Browser"), kBase, false));
  // A root keeps its separator.
  EXPECT_EQ(L"Local\\KelvoInstaller/PackageReady/C:/",
            MakeKernelObjectName(base::FilePath(L"c:\\"), kBase, false));
  // Only forward slashes after the prefix, also in the base name.
  std::wstring name = MakeKernelObjectName(
      base::FilePath(L"C:/Apps\\Sub/Browser"), L"Kelvo\\Event", true);
  EXPECT_EQ(L"Global\\Kelvo/Event/C:/APPS/SUB/BROWSER", name);
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
  std::wstring lower = folder.value();
  for (wchar_t& c : lower)
    c = static_cast<wchar_t>(towlower(c));
  const std::wstring spellings[] = {
      lower,
      folder.value() + L"\\",
      folder.value() + L"\\\\",
      folder.NormalizePathSeparators().value(),
      folder.value() + L"\\.",
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

  // A relative path names the folder below the current one.
  base::FilePath current;
  ASSERT_TRUE(base::GetCurrentDirectory(&current));
  ASSERT_TRUE(base::SetCurrentDirectory(temp_dir.GetPath()));
  std::wstring relative =
      MakeKernelObjectName(base::FilePath(L"Long Folder Name"), kBase, true);
  ASSERT_TRUE(base::SetCurrentDirectory(current));
  EXPECT_EQ(expected, relative);

  // Both names open one event.
  base::win::ScopedHandle first(
      ::CreateEventW(nullptr, TRUE, FALSE, expected.c_str()));
  ASSERT_TRUE(first.IsValid()) << ::GetLastError();
  HANDLE second = ::CreateEventW(
      nullptr, TRUE, FALSE,
      MakeKernelObjectName(base::FilePath(short_form), kBase, true).c_str());
  const DWORD error = ::GetLastError();
  base::win::ScopedHandle scoped_second(second);
  EXPECT_TRUE(scoped_second.IsValid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), error);
}

TEST(ServiceUtilsTest, LongFoldersGiveShortDistinctNames) {
  const std::wstring deep =
      L"C:\\" + std::wstring(120, L'a') + L"\\" + std::wstring(120, L'b');
  const base::FilePath folder_a(deep + L"\\x");
  const base::FilePath folder_b(deep + L"\\y");
  const std::wstring base_name = L"KelvoInstaller/GiveInstallPermission/Undo";
  std::wstring name_a = MakeKernelObjectName(folder_a, base_name, true);
  std::wstring name_b = MakeKernelObjectName(folder_b, base_name, true);
  EXPECT_EQ(static_cast<size_t>(MAX_PATH), name_a.size());
  EXPECT_NE(name_a, name_b);
  EXPECT_EQ(name_a, MakeKernelObjectName(folder_a, base_name, true));
  EXPECT_EQ(0u, name_a.find(L"Global\\" + base_name + L"/C:/AAAA"));
  EXPECT_EQ(L'~', name_a[name_a.size() - 17]);
  // The system takes it.
  base::win::ScopedHandle event(
      ::CreateEventW(nullptr, TRUE, FALSE, name_a.c_str()));
  EXPECT_TRUE(event.IsValid()) << ::GetLastError();

  // The canonical text alone, for a mailslot's budget.
  std::wstring text = GetCanonicalPathText(folder_a, 200);
  EXPECT_EQ(200u, text.size());
  EXPECT_EQ(0u, text.find(L"C:\\AAAA"));
  const std::wstring short_text =
      GetCanonicalPathText(base::FilePath(L"C:\\Apps\\Browser"), 200);
  EXPECT_EQ(L"C:\\APPS\\BROWSER", short_text);
  // A text just at the budget is kept whole.
  const base::FilePath exact(L"C:\\" + std::wstring(29, L'x'));
  EXPECT_EQ(L"C:\\" + std::wstring(29, L'X'), GetCanonicalPathText(exact, 32));
}

// ------------------------------------------------------------------------
// GetExecutableIs64Bit.

class ExecutableBitnessTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  // A file with "MZ", |e_lfanew| at offset 60, and |size| bytes in all,
  // with "PE\0\0" and |machine| at |e_lfanew| where they fit.
  base::FilePath WriteImage(size_t size, int32_t e_lfanew, uint16_t machine) {
    std::string bytes(size, '\0');
    std::memcpy(bytes.data(), "MZ", std::min<size_t>(size, 2));
    if (size >= 64)
      std::memcpy(bytes.data() + 60, &e_lfanew, 4);
    if (e_lfanew >= 0) {
      const char header[6] = {'P',
                              'E',
                              0,
                              0,
                              static_cast<char>(machine & 0xff),
                              static_cast<char>(machine >> 8)};
      for (size_t i = 0; i < 6 && e_lfanew + i < size; ++i)
        bytes[e_lfanew + i] = header[i];
    }
    base::FilePath path =
        temp_dir_.GetPath().AppendASCII("image" + std::to_string(count_++));
    EXPECT_EQ(static_cast<int>(size),
              base::WriteFile(path, bytes.data(), static_cast<int>(size)));
    return path;
  }

  base::ScopedTempDir temp_dir_;
  int count_ = 0;
};

TEST_F(ExecutableBitnessTest, RealAndHandMadeImages) {
  bool is_64_bit = false;
  ASSERT_TRUE(GetExecutableIs64Bit(GetPathKey(base::FILE_EXE), &is_64_bit));
  EXPECT_TRUE(is_64_bit);

  is_64_bit = true;
  ASSERT_TRUE(GetExecutableIs64Bit(WriteImage(512, 128, 0x14c), &is_64_bit));
  EXPECT_FALSE(is_64_bit);
  ASSERT_TRUE(GetExecutableIs64Bit(WriteImage(512, 64, 0x8664), &is_64_bit));
  EXPECT_TRUE(is_64_bit);
  // The smallest file that holds it all: the machine field ends the file.
  ASSERT_TRUE(GetExecutableIs64Bit(WriteImage(70, 64, 0x14c), &is_64_bit));
  EXPECT_FALSE(is_64_bit);
  // Headers may overlap the DOS header (as packed images do).
  ASSERT_TRUE(GetExecutableIs64Bit(WriteImage(64, 4, 0x14c), &is_64_bit));
  EXPECT_FALSE(is_64_bit);
}

TEST_F(ExecutableBitnessTest, BrokenImagesGiveFalse) {
  bool is_64_bit = false;
  const struct {
    size_t size;
    int32_t e_lfanew;
    const char* what;
  } kCases[] = {
      {2, -1, "only MZ"},
      {63, -1, "no room for e_lfanew"},
      {69, 64, "machine cut off"},
      {66, 64, "signature cut off"},
      {512, 512, "signature past the end"},
      {512, 0x7fffffff, "huge offset"},
      {512, -4, "negative offset"},
  };
  for (const auto& c : kCases) {
    EXPECT_FALSE(GetExecutableIs64Bit(WriteImage(c.size, c.e_lfanew, 0x8664),
                                      &is_64_bit))
        << c.what;
  }

  base::FilePath no_signature = WriteImage(512, 128, 0x8664);
  std::string bytes;
  ASSERT_TRUE(base::ReadFileToString(no_signature, &bytes));
  bytes[129] = 'X';
  ASSERT_EQ(512, base::WriteFile(no_signature, bytes.data(), 512));
  EXPECT_FALSE(GetExecutableIs64Bit(no_signature, &is_64_bit));

  base::FilePath not_mz = WriteImage(512, 128, 0x8664);
  bytes[0] = 'Z';
  bytes[129] = 'E';
  ASSERT_EQ(512, base::WriteFile(not_mz, bytes.data(), 512));
  EXPECT_FALSE(GetExecutableIs64Bit(not_mz, &is_64_bit));

  base::FilePath empty = temp_dir_.GetPath().AppendASCII("empty");
  ASSERT_EQ(0, base::WriteFile(empty, "", 0));
  EXPECT_FALSE(GetExecutableIs64Bit(empty, &is_64_bit));
  EXPECT_FALSE(GetExecutableIs64Bit(temp_dir_.GetPath().AppendASCII("none"),
                                    &is_64_bit));
  EXPECT_FALSE(GetExecutableIs64Bit(temp_dir_.GetPath(), &is_64_bit));
}

// ------------------------------------------------------------------------
// Streams, product names and keys.

TEST(ServiceUtilsTest, StreamNames) {
  EXPECT_EQ("Nightly", GetStreamName(1));
  EXPECT_EQ("Developer", GetStreamName(2));
  EXPECT_EQ("Next", GetStreamName(3));
  EXPECT_EQ("Stable", GetStreamName(4));
  for (int other : {0, 5, -1})
    EXPECT_EQ("developer", GetStreamName(other)) << other;
  EXPECT_EQ("Developer", GetCurrentStreamName());
}

TEST(ServiceUtilsTest, ProductNamesFollowTheBranding) {
  EXPECT_EQ("kelvo.exe", GetProductExeName());
  EXPECT_EQ(L"Software\\Kelvo Software", GetProductRegistryKey());
  {
    BrandingConfig::ScopedOverrideForTesting branding(
        "{\"file_name_base\": \"other\", \"company_name\": \"K\\u00e9lvo "
        "\\u00c5S\"}");
    EXPECT_EQ("other.exe", GetProductExeName());
    EXPECT_EQ(L"Software\\K\u00e9lvo \u00c5S", GetProductRegistryKey());
  }
  // The uninstall key is the system's own, present in every prefix.
  base::win::RegKey uninstall;
  EXPECT_EQ(ERROR_SUCCESS,
            uninstall.Open(HKEY_LOCAL_MACHINE,
                           GetUninstallRegistryKey().c_str(), KEY_READ));
}

}  // namespace
}  // namespace installer
