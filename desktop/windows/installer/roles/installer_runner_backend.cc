#include "desktop/windows/installer/roles/installer_runner_backend.h"

#include <stdint.h>
#include <string.h>

#include <vector>

#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"

namespace installer {

bool DecodeInitialProcessHandle(const std::string& text, HANDLE* handle) {
  uint64_t value = 0;
  std::vector<uint8_t> bytes;
  if (text.size() != 2 * sizeof(value) || !base::HexStringToBytes(text, &bytes))
    return false;
  memcpy(&value, bytes.data(), sizeof(value));
  // Null and the negative pseudo handles (this process, this thread) never
  // come from another process.
  if (static_cast<int64_t>(value) <= 0)
    return false;
  *handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
  return true;
}

InstallerRunnerBackend::InstallerRunnerBackend() = default;

InstallerRunnerBackend::~InstallerRunnerBackend() {
  if (initial_process_.IsValid()) {
    process_watcher_.StopWatching();
    initial_process_.Close();
  }
  if (settings_)
    settings_->RemoveObserver(this);
}

bool InstallerRunnerBackend::Run(Settings* settings) {
  settings_ = settings;
  if (!WatchInitialProcess(settings_->command_line()))
    return false;
  installer_.AddObserver(this);
  if (settings_->IsStatusPending()) {
    VLOG(1) << "Waiting for settings to be ready";
    settings_->AddObserver(this);
  } else {
    VLOG(1) << "Settings already obtained. Running.";
    StartInstallation();
  }
  run_loop_.Run();
  LOG(INFO) << "Installer backend exiting";
  installer_.RemoveObserver(this);
  if (!installer_.succeeded())
    return false;
  ConfirmHandOver(settings_->command_line());
  return true;
}

void InstallerRunnerBackend::ConfirmHandOver(
    const base::CommandLine& command_line) {
  if (!command_line.HasSwitch(switches::kHandOverEvent))
    return;
  // The handle was inherited from the backend that handed the run over; a
  // value that is no event of this process fails harmlessly.
  HANDLE event = nullptr;
  if (!DecodeInitialProcessHandle(
          command_line.GetSwitchValueASCII(switches::kHandOverEvent), &event) ||
      !::SetEvent(event)) {
    PLOG(ERROR) << "Cannot confirm the installation to the installer that "
                   "handed it over";
  }
}

bool InstallerRunnerBackend::WatchInitialProcess(
    const base::CommandLine& command_line) {
  if (command_line.HasSwitch(switches::kInitialProcHandle)) {
    const std::string text =
        command_line.GetSwitchValueASCII(switches::kInitialProcHandle);
    VLOG(1) << "Using initial process handle " << text;
    HANDLE handle = nullptr;
    // A value that is no waitable handle of this process is no inherited
    // front end either.
    if (!DecodeInitialProcessHandle(text, &handle) ||
        ::WaitForSingleObject(handle, 0) == WAIT_FAILED) {
      LOG(ERROR) << "Failed parsing initial process handle";
      return false;
    }
    initial_process_.Set(handle);
  } else if (command_line.HasSwitch(switches::kInitialPid)) {
    const std::wstring text =
        command_line.GetSwitchValueNative(switches::kInitialPid);
    VLOG(1) << "Using initial pid " << text;
    unsigned pid = 0;
    if (!base::StringToUint(text, &pid)) {
      LOG(ERROR) << "Failed parsing initial pid";
      return false;
    }
    initial_process_.Set(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!initial_process_.IsValid()) {
      PLOG(ERROR) << "Failed opening initial process";
      return false;
    }
  } else if (command_line.HasSwitch(
                 switches::kRegisterKelvoAsProtocolHandler)) {
    return true;
  } else {
    LOG(ERROR) << "Missing information about initial process";
    return false;
  }
  if (!process_watcher_.StartWatchingOnce(initial_process_.Get(), this)) {
    LOG(ERROR) << "Failed watching initial process";
    return false;
  }
  return true;
}

void InstallerRunnerBackend::StartInstallation() {
  VLOG(2) << "Starting installation";
  const InstallerObjectNames names =
      InstallerObjectNames::ForFolder(settings_->GetStatus().folder());
  // The result message is kept trying while the front end may read it:
  // until its process ends or it interrupts the installation, which it
  // does when it stops listening.
  std::vector<HANDLE> front_end;
  base::win::ScopedHandle interrupted;
  if (initial_process_.IsValid()) {
    front_end.push_back(initial_process_.Get());
    interrupted.Set(
        ::OpenEventW(SYNCHRONIZE, FALSE, names.interrupted_event.c_str()));
    if (interrupted.IsValid())
      front_end.push_back(interrupted.Get());
  }
  // Without a front end the messages are dropped and the installation goes
  // on.
  sender_.Connect(names.mailslot_endpoint, front_end);
  installer_.Start(settings_);
}

void InstallerRunnerBackend::OnPathChanged() {
  VLOG(1) << "Settings obtained. Running.";
  // Later folder changes are not followed.
  settings_->RemoveObserver(this);
  StartInstallation();
}

void InstallerRunnerBackend::OnInstallFolderCreated() {
  sender_.Send(MakeInstallFolderCreatedMessage());
}

void InstallerRunnerBackend::OnStartingNewMainProcess(bool value) {
  sender_.Send(MakeStartingNewMainProcessMessage(value));
}

void InstallerRunnerBackend::OnReturnedToPreviousMainProcess() {
  sender_.Send(MakeReturnedToPreviousMainProcessMessage());
}

void InstallerRunnerBackend::OnTotalSteps(int total_steps) {
  sender_.Send(MakeTotalStepsMessage(total_steps));
}

void InstallerRunnerBackend::OnStep() {
  // One per copied file: these go out together. Every other message is
  // sent at once, behind the steps before it, so the front end still sees
  // each step, in order, before the result.
  sender_.SendBatched(MakeStepMessage());
}

void InstallerRunnerBackend::OnError(int code,
                                     const std::wstring& argument,
                                     const std::string& message) {
  sender_.SendResult(MakeErrorMessage(code, argument, message));
  run_loop_.Quit();
}

void InstallerRunnerBackend::OnSuccess() {
  sender_.SendResult(MakeSuccessMessage());
  run_loop_.Quit();
}

void InstallerRunnerBackend::OnInstallerTerminated(bool succeeded) {
  VLOG(1) << "Installation is done: " << succeeded;
  run_loop_.Quit();
}

void InstallerRunnerBackend::OnObjectSignaled(HANDLE object) {
  VLOG(1) << "Installer UI process ended";
  run_loop_.Quit();
}

}  // namespace installer
