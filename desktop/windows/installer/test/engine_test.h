// A fixture for tests of the installation engine in the test process: the
// thread has COM and a loop, process-wide singletons go with each test, the
// package folder (the executable's folder for the engine) and the install
// folder lie in a temporary folder, file ACLs live in a fake while registry
// ACLs are real, and the values of the product key that a run writes come
// back afterwards.
//
//   TEST_F(EngineTest, Installs) {
//     WriteFilesList({"a.pak"});
//     std::unique_ptr<Settings> settings = MakeSettings(L"");
//     Installer installer;
//     InstallerEventRecorder observer(&installer);
//     RunToOutcome(&installer, settings.get());
//     EXPECT_EQ("success", observer.events().back());
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_ENGINE_TEST_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_ENGINE_TEST_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/at_exit.h"
#include "base/callback.h"
#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/scoped_temp_dir.h"
#include "base/message_loop/message_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/test/scoped_path_override.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/engine/installer.h"
#include "desktop/windows/installer/service/security_access.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/fake_drive_access.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/windows_like_security_access.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

// Records every event of an Installer as a short text: "folder",
// "starting", "returned", "total N", "step", "error CODE MESSAGE",
// "success", "terminated".
class InstallerEventRecorder : public InstallerObserver {
 public:
  explicit InstallerEventRecorder(Installer* installer);
  // Removes itself from the installer unless the installer went first
  // (InstallerGone).
  ~InstallerEventRecorder() override;

  const std::vector<std::string>& events() const { return events_; }
  void Add(const std::string& event) { events_.push_back(event); }
  // How many events equal |event|, or start with it followed by a blank.
  int Count(const std::string& event) const;
  // Whether the run has reached its outcome.
  bool ended() const { return ended_; }
  // The installer was destroyed while this recorder still listened.
  void InstallerGone() { installer_ = nullptr; }
  // Run when the outcome arrives.
  void set_quit_closure(base::RepeatingClosure closure) {
    quit_closure_ = std::move(closure);
  }

  // InstallerObserver:
  void OnInstallFolderCreated() override { Add("folder"); }
  void OnStartingNewMainProcess(bool value) override { Add("starting"); }
  void OnReturnedToPreviousMainProcess() override { Add("returned"); }
  void OnTotalSteps(int total_steps) override {
    Add("total " + base::IntToString(total_steps));
  }
  void OnStep() override { Add("step"); }
  void OnError(int code,
               const std::wstring& argument,
               const std::string& message) override {
    Add("error " + base::IntToString(code) + " " + message);
  }
  void OnSuccess() override {
    Add("success");
    End();
  }
  void OnInstallerTerminated(bool succeeded) override {
    Add("terminated");
    End();
  }

 private:
  void End();

  Installer* installer_;
  std::vector<std::string> events_;
  bool ended_ = false;
  base::RepeatingClosure quit_closure_;
};

class EngineTest : public testing::Test {
 protected:
  EngineTest();
  ~EngineTest() override;

  void SetUp() override;
  void TearDown() override;

  // Makes the command line of the settings "installer.exe --backend", the
  // install folder and |switches|, and the front end's interrupted event.
  void SetCommandLine(const std::wstring& switches);
  // Settings of a backend for the install folder, their Status in.
  std::unique_ptr<Settings> MakeSettings(bool uninstall = false,
                                         bool silent = false);
  // Starts |installer| with |settings| and runs the loop until the outcome
  // (or a time limit, which fails the test).
  void RunToOutcome(Installer* installer, Settings* settings);

  // Writes files_list (empty entries are written as they are) and, unless
  // null, root_files_list into the package folder.
  void WriteFilesList(const std::vector<std::string>& files,
                      const std::vector<std::string>* root_files = nullptr);
  // Makes the system ask for elevation (the test prefix has UAC off) until
  // the test ends.
  void EnableUac();
  // The event |name| as the front end makes it.
  base::win::ScopedHandle CreateFrontEndEvent(const std::wstring& name);

  const base::FilePath& root() const { return root_; }
  const base::FilePath& bin_dir() const { return bin_dir_; }
  const base::FilePath& package_dir() const { return package_dir_; }
  const base::FilePath& install_folder() const { return install_folder_; }
  // Takes effect with the next SetCommandLine.
  void set_install_folder(const base::FilePath& folder) {
    install_folder_ = folder;
  }
  WindowsLikeSecurityAccess* security() { return &security_; }
  HANDLE interrupted_event() const { return interrupted_event_.Get(); }
  // Lets go of the interrupted event, for a test whose own front end makes
  // it.
  void CloseInterruptedEvent() { interrupted_event_.Close(); }

 private:
  base::ShadowingAtExitManager at_exit_;
  base::win::ScopedCOMInitializer com_;
  base::MessageLoop message_loop_;
  base::ScopedTempDir temp_dir_;
  base::FilePath root_;
  base::FilePath bin_dir_;
  base::FilePath package_dir_;
  base::FilePath install_folder_;
  WindowsLikeSecurityAccess security_;
  SecurityAccess::ScopedOverrideForTesting security_override_;
  FakeDriveAccess drives_;
  l10n::ScopedLanguagesForTesting languages_{{L"en"}, {L"en-US"}};
  std::vector<std::unique_ptr<base::ScopedPathOverride>> path_overrides_;
  std::vector<std::unique_ptr<ScopedRegistryValue>> registry_values_;
  base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
  base::win::ScopedHandle interrupted_event_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_ENGINE_TEST_H_
