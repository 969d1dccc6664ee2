// IsOurShortcut with real .lnk files.

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/service/utils.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class ShortcutUtilsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    const base::FilePath app_dir =
        temp_dir_.GetPath().Append(L"Kelvo Browser App");
    ASSERT_TRUE(base::CreateDirectory(app_dir));
    exe_ = app_dir.Append(L"kelvo.exe");
    other_exe_ = app_dir.Append(L"other.exe");
    ASSERT_EQ(3, base::WriteFile(exe_, "exe", 3));
    ASSERT_EQ(3, base::WriteFile(other_exe_, "exe", 3));
    wchar_t short_form[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW(exe_.value().c_str(), short_form, MAX_PATH),
              0u);
    short_exe_ = base::FilePath(short_form);
    ASSERT_FALSE(base::FilePath::CompareEqualIgnoreCase(short_exe_.value(),
                                                        exe_.value()));
    ASSERT_TRUE(GetFileIdentity(exe_, &identity_));
  }

  base::FilePath MakeLink(const base::FilePath& folder,
                          const std::wstring& name,
                          const base::FilePath& target) {
    base::FilePath link = folder.Append(name);
    base::win::ShortcutProperties properties;
    properties.set_target(target);
    EXPECT_TRUE(base::win::CreateOrUpdateShortcutLink(
        link, properties, base::win::SHORTCUT_CREATE_ALWAYS));
    return link;
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_dir_;
  base::FilePath exe_;
  base::FilePath other_exe_;
  base::FilePath short_exe_;
  BY_HANDLE_FILE_INFORMATION identity_;
  base::ScopedLogCapture log_;
};

TEST_F(ShortcutUtilsTest, IsOurShortcut) {
  const base::FilePath links = temp_dir_.GetPath();
  std::wstring upper = exe_.value();
  for (wchar_t& c : upper)
    c = static_cast<wchar_t>(towupper(c));
  base::FilePath other_case =
      MakeLink(links, L"case.lnk", base::FilePath(upper));
  base::FilePath by_short_name = MakeLink(links, L"short.lnk", short_exe_);
  base::FilePath other = MakeLink(links, L"other.lnk", other_exe_);

  EXPECT_TRUE(IsOurShortcut(other_case, exe_, nullptr));
  // Another spelling of the same file needs the identity.
  EXPECT_FALSE(IsOurShortcut(by_short_name, exe_, nullptr));
  EXPECT_TRUE(IsOurShortcut(by_short_name, exe_, &identity_));
  EXPECT_FALSE(IsOurShortcut(other, exe_, &identity_));

  EXPECT_FALSE(IsOurShortcut(links.Append(L"missing.lnk"), exe_, &identity_));
  // Not a shortcut: no target, whatever the executable path.
  base::FilePath junk = links.Append(L"junk.lnk");
  ASSERT_EQ(4, base::WriteFile(junk, "junk", 4));
  EXPECT_FALSE(IsOurShortcut(junk, base::FilePath(), nullptr));
}

}  // namespace
}  // namespace installer
