// A run that needs the folder-permission process, in the program to which
// the Wine prefix presents Windows XP: without UAC a user who is no
// administrator is still offered "runas" (which asks for an
// administrator's account there), and the two events the elevated process
// opens admit Administrators. The events are made beforehand with the DACL
// that Windows XP gives a user's new object, which Wine does not; the
// folder's ACL and the user's rights come from the fake, as on Vista and
// later.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/base_paths.h"
#include "base/test/scoped_log_capture.h"
#include "base/test/scoped_path_override.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/engine/installer.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using Events = std::vector<std::string>;

constexpr wchar_t kUacPolicyKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

bool AdmitsAdministrators(const std::wstring& dacl) {
  return dacl.find(L"(A;;GA;;;BA)") != std::wstring::npos ||
         dacl.find(L"(A;;0x1f0003;;;BA)") != std::wstring::npos;
}

class FolderAccessPreVistaTest : public test::StepsTest {
 protected:
  void SetUp() override {
    StepsTest::SetUp();
    ASSERT_LT(base::win::GetVersion(), base::win::VERSION_VISTA)
        << "tools/wine_prefix.sh presents Windows XP to this program";
    // UAC off, and a user who is no administrator: on Vista and later no
    // elevation at all.
    ASSERT_EQ(ERROR_SUCCESS, base::win::RegKey(HKEY_LOCAL_MACHINE,
                                               kUacPolicyKey, KEY_SET_VALUE)
                                 .WriteValue(L"EnableLUA", DWORD{0}));
    security()->set_admin(false, false);
    // The folder denies writing and cannot be taken over.
    security()->set_privileges_held(false);
    for (const base::FilePath& object : {root(), install_folder()}) {
      security()->SetObject(object.value(), L"O:SYG:SYD:(A;OICI;FR;;;WD)");
      security()->Lock(object.value(), false, true);
    }
    // The permission process: it ends without giving the rights.
    permission_process_ =
        test::MakeStandIn(root().Append(L"own"), L"installer.exe", 0);
    own_exe_ = std::make_unique<base::ScopedPathOverride>(
        base::FILE_EXE, permission_process_, true, false);
    const InstallerObjectNames names =
        InstallerObjectNames::ForFolder(install_folder());
    event_names_ = {names.give_permission_event,
                    names.give_permission_undo_event};
    // What Windows XP gives a new object of the user: the user and the
    // system account.
    xp_default_dacl_ =
        L"D:(A;;0x1f0003;;;" + test::CurrentUserSid() + L")(A;;0x1f0003;;;SY)";
  }

  // Runs an install to its outcome.
  Events Run() {
    std::unique_ptr<Settings> settings = MakeSettings();
    Installer installer;
    test::InstallerEventRecorder recorder(&installer);
    RunToOutcome(&installer, settings.get());
    return recorder.events();
  }

  base::FilePath permission_process_;
  std::vector<std::wstring> event_names_;
  std::wstring xp_default_dacl_;

 private:
  test::ScopedRegistryValue uac_{HKEY_LOCAL_MACHINE, kUacPolicyKey,
                                 L"EnableLUA"};
  std::unique_ptr<base::ScopedPathOverride> own_exe_;
};

TEST_F(FolderAccessPreVistaTest, ElevatesWithoutUacAndOpensTheEvents) {
  std::vector<base::win::ScopedHandle> events;
  for (const std::wstring& name : event_names_) {
    events.push_back(test::CreateEventWithDacl(name, xp_default_dacl_));
    ASSERT_TRUE(events.back().IsValid());
    ASSERT_FALSE(
        AdmitsAdministrators(test::GetObjectDacl(events.back().Get())));
  }
  base::ScopedLogCapture log;

  EXPECT_EQ((Events{"error 37055 The process for giving us write permission "
                    "to the installer folder didn't complete successfully",
                    "terminated"}),
            Run());

  EXPECT_FALSE(log.Contains("Cannot elevate with UAC disabled"));
  const std::vector<std::string> runs = test::StandInRuns(permission_process_);
  ASSERT_EQ(1u, runs.size());
  EXPECT_NE(std::string::npos, runs[0].find("--set-folder-permission="));
  for (const base::win::ScopedHandle& event : events) {
    const std::wstring dacl = test::GetObjectDacl(event.Get());
    EXPECT_TRUE(AdmitsAdministrators(dacl)) << dacl;
    // The user's own entry stays.
    EXPECT_NE(std::wstring::npos, dacl.find(test::CurrentUserSid())) << dacl;
  }
}

// An event whose DACL cannot take the entry stops the run before the
// permission process starts.
TEST_F(FolderAccessPreVistaTest, EventsThatCannotBeOpenedStopTheRun) {
  for (size_t full = 0; full < event_names_.size(); ++full) {
    SCOPED_TRACE(full);
    std::vector<base::win::ScopedHandle> events;
    for (size_t i = 0; i < event_names_.size(); ++i) {
      events.push_back(test::CreateEventWithDacl(event_names_[i],
                                                 xp_default_dacl_, i == full));
      ASSERT_TRUE(events.back().IsValid());
    }
    base::ScopedLogCapture log;

    EXPECT_EQ((Events{"error 37055 Error when setting up the process to give "
                      "us write permissions to installation folder",
                      "terminated"}),
              Run());

    EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                             "FixEventACL: failed to SetEntriesInAcl"));
    EXPECT_TRUE(test::StandInRuns(permission_process_).empty());
  }
}

}  // namespace
}  // namespace installer
