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

// What a saved .lnk holds, read straight through the shell's interfaces so
// that the test does not depend on the code it checks.
struct LinkContents {
  std::wstring path;
  std::wstring arguments;
  std::wstring description;
  std::wstring working_dir;
  std::wstring icon;
  int icon_index = 0;
};

bool ReadLink(const FilePath& link_path, LinkContents* contents) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&link))) ||
      FAILED(link.As(&file)) ||
      FAILED(file->Load(link_path.value().c_str(), STGM_READ))) {
    return false;
  }
  wchar_t buffer[1024];
  buffer[0] = 0;
  link->GetPath(buffer, MAX_PATH, nullptr, 0);
  contents->path = buffer;
  buffer[0] = 0;
  link->GetArguments(buffer, 1024);
  contents->arguments = buffer;
  buffer[0] = 0;
  link->GetDescription(buffer, 1024);
  contents->description = buffer;
  buffer[0] = 0;
  link->GetWorkingDirectory(buffer, MAX_PATH);
  contents->working_dir = buffer;
  buffer[0] = 0;
  link->GetIconLocation(buffer, MAX_PATH, &contents->icon_index);
  contents->icon = buffer;
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

TEST_F(ShortcutTest, CreateWritesEveryPropertyAndResolvesBack) {
  ShortcutProperties properties;
  properties.set_target(target_);
  properties.set_working_dir(target_.DirName());
  properties.set_arguments(L"--profile \"C:\\a b\" -x");
  properties.set_description(L"Browse the web");
  properties.set_icon(target_, 3);
  properties.set_app_id(L"KelvoSoftware.KelvoWebBrowser.42");
  ASSERT_TRUE(
      CreateOrUpdateShortcutLink(link_, properties, SHORTCUT_CREATE_ALWAYS));

  LinkContents contents;
  ASSERT_TRUE(ReadLink(link_, &contents));
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(target_.value(), contents.path))
      << contents.path;
  EXPECT_EQ(L"--profile \"C:\\a b\" -x", contents.arguments);
  EXPECT_EQ(L"Browse the web", contents.description);
  EXPECT_EQ(target_.DirName().value(), contents.working_dir);
  EXPECT_EQ(target_.value(), contents.icon);
  EXPECT_EQ(3, contents.icon_index);

  FilePath resolved;
  std::wstring arguments;
  ASSERT_TRUE(ResolveShortcut(link_, &resolved, &arguments));
  EXPECT_TRUE(
      FilePath::CompareEqualIgnoreCase(target_.value(), resolved.value()));
  EXPECT_EQ(L"--profile \"C:\\a b\" -x", arguments);
  EXPECT_TRUE(ResolveShortcut(link_, nullptr, &arguments));
}

TEST_F(ShortcutTest, CreateAlwaysStartsOver) {
  ASSERT_EQ(4, WriteFile(link_, "junk", 4));
  ShortcutProperties first;
  first.set_target(target_);
  first.set_arguments(L"--old");
  ASSERT_TRUE(CreateOrUpdateShortcutLink(link_, first, SHORTCUT_CREATE_ALWAYS));
  ShortcutProperties second;
  second.set_target(target_);
  ASSERT_TRUE(
      CreateOrUpdateShortcutLink(link_, second, SHORTCUT_CREATE_ALWAYS));
  LinkContents contents;
  ASSERT_TRUE(ReadLink(link_, &contents));
  EXPECT_EQ(L"", contents.arguments);
}

TEST_F(ShortcutTest, FailuresWriteNothing) {
  ShortcutProperties overlong;
  overlong.set_target(target_);
  // Bypasses the setter's DCHECK to reach the run-time check.
  overlong.description.assign(1024, L'd');
  overlong.options |= ShortcutProperties::PROPERTIES_DESCRIPTION;
  EXPECT_FALSE(
      CreateOrUpdateShortcutLink(link_, overlong, SHORTCUT_CREATE_ALWAYS));
  EXPECT_FALSE(PathExists(link_));

  // Resolving a missing file, a file that is no link, a folder.
  FilePath target(L"C:\\untouched");
  std::wstring arguments = L"untouched";
  EXPECT_FALSE(ResolveShortcut(link_, &target, &arguments));
  ASSERT_EQ(4, WriteFile(link_, "junk", 4));
  EXPECT_FALSE(ResolveShortcut(link_, &target, &arguments));
  EXPECT_FALSE(ResolveShortcut(temp_dir_.GetPath(), &target, &arguments));
  EXPECT_EQ(L"C:\\untouched", target.value());
  EXPECT_EQ(L"untouched", arguments);
}

}  // namespace
}  // namespace win
}  // namespace base
