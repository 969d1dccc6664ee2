#include "desktop/windows/installer/test/engine_test.h"

#include <utility>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/run_loop.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/threading/worker_pool.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/test/test_util.h"

namespace installer {
namespace test {

namespace {

constexpr base::TimeDelta kMaxRunTime = base::TimeDelta::FromSeconds(60);

}  // namespace

InstallerEventRecorder::InstallerEventRecorder(Installer* installer)
    : installer_(installer) {
  installer_->AddObserver(this);
}

InstallerEventRecorder::~InstallerEventRecorder() {
  if (installer_)
    installer_->RemoveObserver(this);
}

int InstallerEventRecorder::Count(const std::string& event) const {
  int count = 0;
  for (const std::string& text : events_) {
    if (text == event || text.rfind(event + " ", 0) == 0)
      ++count;
  }
  return count;
}

void InstallerEventRecorder::End() {
  ended_ = true;
  if (quit_closure_)
    quit_closure_.Run();
}

EngineTest::EngineTest() : security_override_(&security_) {}

EngineTest::~EngineTest() = default;

void EngineTest::SetUp() {
  ASSERT_TRUE(com_.Succeeded());
  ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
  root_ = temp_dir_.GetPath();
  ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &bin_dir_));
  package_dir_ = root_.Append(L"package");
  install_folder_ = root_.Append(L"Programs").Append(L"Kelvo Test");
  ASSERT_TRUE(base::CreateDirectory(package_dir_));
  for (auto [key, name] :
       {std::pair{base::DIR_EXE, L"package"},
        std::pair{base::DIR_PROGRAM_FILES6432, L"Program Files"},
        std::pair{base::DIR_PROGRAM_FILESX86, L"Program Files (x86)"},
        std::pair{base::DIR_START_MENU, L"Start Menu"},
        std::pair{base::DIR_COMMON_START_MENU, L"Common Start Menu"},
        std::pair{base::DIR_USER_DESKTOP, L"Desktop"},
        std::pair{base::DIR_COMMON_DESKTOP, L"Public Desktop"},
        std::pair{base::DIR_TASKBAR_PINS, L"Pins"},
        std::pair{base::DIR_APP_DATA, L"Roaming"}}) {
    path_overrides_.push_back(
        std::make_unique<base::ScopedPathOverride>(key, root_.Append(name)));
  }
  for (const wchar_t* name :
       {L"Last developer Install Path", L"Last developer Install Path x64"}) {
    registry_values_.push_back(std::make_unique<ScopedRegistryValue>(
        HKEY_CURRENT_USER, GetProductRegistryKey(), name));
  }
  SetCommandLine(L"");
}

void EngineTest::TearDown() {
  EXPECT_TRUE(base::WorkerPool::WaitForIdle(kMaxRunTime));
  base::RunLoop().RunUntilIdle();
}

void EngineTest::SetCommandLine(const std::wstring& switches) {
  base::CommandLine command_line = base::CommandLine::FromString(
      L"installer.exe --backend \"--installfolder=" + install_folder_.value() +
      L"\" " + switches);
  command_line_ = command_line;
  // Closed first, so that the new event is a new, unsignalled one.
  interrupted_event_.Close();
  interrupted_event_ = CreateFrontEndEvent(
      InstallerObjectNames::ForFolder(install_folder_).interrupted_event);
}

std::unique_ptr<Settings> EngineTest::MakeSettings(bool uninstall,
                                                   bool silent) {
  auto settings = std::make_unique<Settings>(command_line_, uninstall, silent,
                                             false, install_folder_, false, 1);
  const base::TimeTicks deadline = base::TimeTicks::Now() + kMaxRunTime;
  while (settings->IsStatusPending() && base::TimeTicks::Now() < deadline) {
    base::RunLoop().RunUntilIdle();
    ::Sleep(1);
  }
  EXPECT_FALSE(settings->IsStatusPending());
  return settings;
}

void EngineTest::RunToOutcome(Installer* installer, Settings* settings) {
  InstallerEventRecorder outcome(installer);
  base::RunLoop run_loop;
  outcome.set_quit_closure(run_loop.QuitClosure());
  base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
      FROM_HERE, run_loop.QuitClosure(), kMaxRunTime);
  installer->Start(settings);
  run_loop.Run();
  EXPECT_TRUE(outcome.ended())
      << "No outcome within " << kMaxRunTime.InSeconds() << " s";
}

void EngineTest::WriteFilesList(const std::vector<std::string>& files,
                                const std::vector<std::string>* root_files) {
  for (auto [list, name] : {std::pair{&files, "files_list"},
                            std::pair{root_files, "root_files_list"}}) {
    std::string text;
    for (const std::string& file : list ? *list : std::vector<std::string>())
      text += file + "\r\n";
    if (list)
      WriteTextFile(package_dir_.AppendASCII(name), text);
  }
}

void EngineTest::EnableUac() {
  constexpr wchar_t kPolicyKey[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  registry_values_.push_back(std::make_unique<ScopedRegistryValue>(
      HKEY_LOCAL_MACHINE, kPolicyKey, L"EnableLUA"));
  ASSERT_EQ(ERROR_SUCCESS,
            base::win::RegKey(HKEY_LOCAL_MACHINE, kPolicyKey, KEY_SET_VALUE)
                .WriteValue(L"EnableLUA", 1));
}

base::win::ScopedHandle EngineTest::CreateFrontEndEvent(
    const std::wstring& name) {
  base::win::ScopedHandle event(
      ::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  EXPECT_TRUE(event.IsValid()) << name;
  return event;
}

}  // namespace test
}  // namespace installer
