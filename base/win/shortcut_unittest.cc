#include "base/win/shortcut.h"

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_com_initializer.h"
#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

using Microsoft::WRL::ComPtr;

// The target and working folder of a saved .lnk, read straight through the
// shell's interfaces so that the test does not depend on the code it checks.
bool ReadLink(const FilePath& link_path,
              std::wstring* path,
              std::wstring* working_dir) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&link))) ||
      FAILED(link.As(&file)) ||
      FAILED(file->Load(link_path.value().c_str(), STGM_READ))) {
    return false;
  }
  wchar_t buffer[MAX_PATH] = {};
  link->GetPath(buffer, MAX_PATH, nullptr, 0);
  *path = buffer;
  buffer[0] = 0;
  link->GetWorkingDirectory(buffer, MAX_PATH);
  *working_dir = buffer;
  return true;
}

class ShortcutTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    // Targets live on C: (the temporary folder): Wine complains on stderr
    // about targets on its Z: drive.
    target_ = temp_dir_.GetPath().Append(L"Browser App").Append(L"app.exe");
    ASSERT_TRUE(CreateDirectory(target_.DirName()));
    ASSERT_EQ(3, WriteFile(target_, "exe", 3));
    link_ = temp_dir_.GetPath().Append(L"Kelvo.lnk");
  }

  ScopedCOMInitializer com_;
  ScopedTempDir temp_dir_;
  FilePath target_;
  FilePath link_;
};

TEST_F(ShortcutTest, CreateAlwaysWritesTheGivenPropertiesOnly) {
  ASSERT_EQ(4, WriteFile(link_, "junk", 4));
  ShortcutProperties first;
  first.set_target(target_);
  first.set_working_dir(target_.DirName());
  first.set_app_id(L"KelvoSoftware.KelvoWebBrowser.42");
  ASSERT_TRUE(CreateOrUpdateShortcutLink(link_, first, SHORTCUT_CREATE_ALWAYS));
  std::wstring path, working_dir;
  ASSERT_TRUE(ReadLink(link_, &path, &working_dir));
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(target_.value(), path)) << path;
  EXPECT_EQ(target_.DirName().value(), working_dir);
  FilePath resolved;
  ASSERT_TRUE(ResolveShortcut(link_, &resolved, nullptr));
  EXPECT_TRUE(
      FilePath::CompareEqualIgnoreCase(target_.value(), resolved.value()));

  // Starting over drops what the old link had.
  ShortcutProperties second;
  second.set_target(target_);
  ASSERT_TRUE(
      CreateOrUpdateShortcutLink(link_, second, SHORTCUT_CREATE_ALWAYS));
  ASSERT_TRUE(ReadLink(link_, &path, &working_dir));
  EXPECT_EQ(L"", working_dir);
}

// Letters outside the ANSI code page, in the target's folder and name, come
// back as they were written; a target that does not exist yet too.
TEST_F(ShortcutTest, ResolvesTargetsBeyondTheAnsiCodePage) {
  const FilePath folder = temp_dir_.GetPath().Append(L"Kelvo \u65e5\u672c");
  ASSERT_TRUE(CreateDirectory(folder));
  const FilePath existing =
      folder.Append(L"\u0431\u0440\u0430\u0443\u0437\u0435\u0440.exe");
  ASSERT_EQ(3, WriteFile(existing, "exe", 3));
  for (const FilePath& target : {existing, folder.Append(L"later.exe")}) {
    ShortcutProperties properties;
    properties.set_target(target);
    ASSERT_TRUE(
        CreateOrUpdateShortcutLink(link_, properties, SHORTCUT_CREATE_ALWAYS));
    FilePath resolved;
    std::wstring arguments = L"untouched";
    ASSERT_TRUE(ResolveShortcut(link_, &resolved, &arguments));
    EXPECT_TRUE(
        FilePath::CompareEqualIgnoreCase(target.value(), resolved.value()))
        << resolved.value();
    EXPECT_EQ(L"", arguments);
  }
}

TEST_F(ShortcutTest, FailuresWriteNothing) {
  ShortcutProperties properties;
  properties.set_target(target_);
  FilePath orphan = temp_dir_.GetPath().Append(L"missing\\Kelvo.lnk");
  EXPECT_FALSE(
      CreateOrUpdateShortcutLink(orphan, properties, SHORTCUT_CREATE_ALWAYS));
  EXPECT_FALSE(PathExists(orphan.DirName()));

  // Resolving a missing file, a file that is no link, a folder.
  FilePath target(L"C:\\untouched");
  EXPECT_FALSE(ResolveShortcut(link_, &target, nullptr));
  ASSERT_EQ(4, WriteFile(link_, "junk", 4));
  EXPECT_FALSE(ResolveShortcut(link_, &target, nullptr));
  EXPECT_FALSE(ResolveShortcut(temp_dir_.GetPath(), &target, nullptr));
  EXPECT_EQ(L"C:\\untouched", target.value());
}

}  // namespace
}  // namespace win
}  // namespace base
