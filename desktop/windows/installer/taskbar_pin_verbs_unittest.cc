#include "desktop/windows/installer/taskbar_pin_verbs.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Wine's shell finds a shortcut's verbs among the machine's classes only.
constexpr wchar_t kShortcutVerbs[] = L"Software\\Classes\\lnkfile\\shell";

// While alive, the shortcut verb |verb| runs |program| with the shortcut's
// path; the verbs' key goes again when it was not there before.
class ScopedShortcutVerb {
 public:
  ScopedShortcutVerb(const std::wstring& verb, const base::FilePath& program)
      : key_(std::wstring(kShortcutVerbs) + L"\\" + verb),
        had_verbs_(base::win::RegKey().Open(HKEY_LOCAL_MACHINE,
                                            kShortcutVerbs,
                                            KEY_READ) == ERROR_SUCCESS) {
    EXPECT_EQ(
        ERROR_SUCCESS,
        base::win::RegKey(HKEY_LOCAL_MACHINE, (key_ + L"\\command").c_str(),
                          KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
            .WriteValue(nullptr,
                        (L"\"" + program.value() + L"\" \"%1\"").c_str()));
  }
  ScopedShortcutVerb(const ScopedShortcutVerb&) = delete;
  ScopedShortcutVerb& operator=(const ScopedShortcutVerb&) = delete;
  ~ScopedShortcutVerb() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_.c_str());
    if (!had_verbs_)
      ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kShortcutVerbs);
  }

 private:
  const std::wstring key_;
  const bool had_verbs_;
};

// The runs of |program| once there are |count|, or what there is after a
// while: the shell starts it and returns.
std::vector<std::string> WaitForRuns(const base::FilePath& program,
                                     size_t count) {
  std::vector<std::string> runs;
  for (int i = 0; i < 200 && runs.size() < count; ++i) {
    ::Sleep(50);
    runs = test::StandInRuns(program);
  }
  return runs;
}

// The shell's verbs themselves. Wine has no taskbar verbs: a verb the test
// registers for shortcuts plays the shell's, and a verb that is missing is
// refused, as Windows 10 refuses programs the pinning verb.
TEST(TaskbarPinVerbsTest, VerbsRunOnTheShortcutOrAreRefused) {
  base::win::ScopedCOMInitializer com;
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  const base::FilePath shortcut = temp.GetPath().Append(L"Kelvo Pin.lnk");
  base::win::ShortcutProperties properties;
  properties.set_target(temp.GetPath().Append(L"kelvo.exe"));
  ASSERT_TRUE(base::win::CreateOrUpdateShortcutLink(
      shortcut, properties, base::win::SHORTCUT_CREATE_ALWAYS));
  TaskbarPinVerbs* verbs = TaskbarPinVerbs::GetInstance();

  EXPECT_FALSE(verbs->Pin(shortcut));
  EXPECT_FALSE(verbs->Unpin(shortcut));

  const base::FilePath shell =
      test::MakeStandIn(temp.GetPath().Append(L"shell"), L"pin_verb.exe", 0);
  {
    ScopedShortcutVerb pin(L"taskbarpin", shell);
    EXPECT_TRUE(verbs->Pin(shortcut));
    // Unpinning is a verb of its own.
    EXPECT_FALSE(verbs->Unpin(shortcut));
    const std::vector<std::string> runs = WaitForRuns(shell, 1);
    ASSERT_EQ(1u, runs.size());
    EXPECT_NE(std::string::npos, runs[0].find("Kelvo Pin.lnk\""));
    // A shortcut that is not there is refused before any verb runs.
    EXPECT_FALSE(verbs->Pin(temp.GetPath().Append(L"missing.lnk")));
  }
  {
    ScopedShortcutVerb unpin(L"taskbarunpin", shell);
    EXPECT_TRUE(verbs->Unpin(shortcut));
    EXPECT_FALSE(verbs->Pin(shortcut));
    EXPECT_EQ(2u, WaitForRuns(shell, 2).size());
  }
  EXPECT_FALSE(verbs->Pin(shortcut));
}

}  // namespace
}  // namespace installer
