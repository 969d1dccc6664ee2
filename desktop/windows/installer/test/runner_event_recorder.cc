#include "desktop/windows/installer/test/runner_event_recorder.h"

#include <algorithm>

#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/time/time.h"

namespace installer {
namespace test {

namespace {

constexpr base::TimeDelta kWaitLimit = base::TimeDelta::FromSeconds(60);

}  // namespace

RunnerEventRecorder::RunnerEventRecorder() = default;

RunnerEventRecorder::~RunnerEventRecorder() = default;

bool RunnerEventRecorder::WaitFor(const std::string& event) {
  RunUntil([this, &event] { return Has(event); });
  return Has(event);
}

std::string RunnerEventRecorder::WaitForEnd() {
  const auto end = [this] {
    return std::find_if(events.begin(), events.end(),
                        [](const std::string& event) {
                          return event.rfind("terminated ", 0) == 0;
                        });
  };
  RunUntil([&] { return end() != events.end(); });
  return end() == events.end() ? std::string() : *end();
}

void RunnerEventRecorder::RunUntil(std::function<bool()> done) {
  const base::TimeTicks deadline = base::TimeTicks::Now() + kWaitLimit;
  while (!done() && base::TimeTicks::Now() < deadline) {
    base::RunLoop loop;
    base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
        FROM_HERE, loop.QuitClosure(), base::TimeDelta::FromMilliseconds(50));
    loop.Run();
  }
}

bool RunnerEventRecorder::Has(const std::string& event) const {
  return std::find(events.begin(), events.end(), event) != events.end();
}

void RunnerEventRecorder::OnInstallFolderCreated() {
  events.push_back("folder");
}

void RunnerEventRecorder::OnError(int code,
                                  const std::wstring& argument,
                                  const std::string& detail) {
  events.push_back("error " + base::IntToString(code) + " " + detail);
}

void RunnerEventRecorder::OnSuccess() {
  events.push_back("success");
}

void RunnerEventRecorder::OnInstallerTerminated(bool succeeded) {
  events.push_back(succeeded ? "terminated 1" : "terminated 0");
}

}  // namespace test
}  // namespace installer
