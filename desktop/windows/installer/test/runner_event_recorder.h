// Records what an InstallerRunner reports to its observers, for tests of the
// front end: "folder", "error CODE DETAIL", "success" and "terminated 0|1",
// and runs the loop until an event arrives.
//
//   RunnerEventRecorder events;
//   runner.AddObserver(&events);
//   ASSERT_TRUE(runner.BeginInstallation(settings.get()));
//   ASSERT_TRUE(events.WaitFor("terminated 1"));

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_RUNNER_EVENT_RECORDER_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_RUNNER_EVENT_RECORDER_H_

#include <functional>
#include <string>
#include <vector>

#include "desktop/windows/installer/installer_observer.h"

namespace installer {
namespace test {

class RunnerEventRecorder : public InstallerObserver {
 public:
  RunnerEventRecorder();
  RunnerEventRecorder(const RunnerEventRecorder&) = delete;
  RunnerEventRecorder& operator=(const RunnerEventRecorder&) = delete;
  ~RunnerEventRecorder() override;

  // Runs the thread's loop until |event| was reported, at most a minute.
  bool WaitFor(const std::string& event);
  // Runs the loop until the backend's end was reported, at most a minute;
  // "terminated 0" or "terminated 1", or empty when it never came.
  std::string WaitForEnd();
  // Runs the loop until |done| holds, at most a minute.
  void RunUntil(std::function<bool()> done);
  bool Has(const std::string& event) const;

  // InstallerObserver:
  void OnInstallFolderCreated() override;
  void OnStartingNewMainProcess(bool value) override {}
  void OnReturnedToPreviousMainProcess() override {}
  void OnTotalSteps(int total_steps) override {}
  void OnStep() override {}
  void OnError(int code,
               const std::wstring& argument,
               const std::string& detail) override;
  void OnSuccess() override;
  void OnInstallerTerminated(bool succeeded) override;

  std::vector<std::string> events;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_RUNNER_EVENT_RECORDER_H_
