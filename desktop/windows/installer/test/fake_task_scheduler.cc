#include "desktop/windows/installer/test/fake_task_scheduler.h"

#include <memory>

#include "base/bind.h"
#include "base/logging.h"

namespace installer {

namespace {

std::unique_ptr<TaskScheduler> MakeScheduler(
    FakeTaskScheduler::Record* record) {
  ++record->schedulers_made;
  return std::make_unique<FakeTaskScheduler>(record);
}

}  // namespace

FakeTaskScheduler::Record::Record() = default;
FakeTaskScheduler::Record::~Record() = default;

// static
ScopedTaskSchedulerFactoryForTesting::Factory FakeTaskScheduler::Factory(
    Record* record) {
  return base::BindRepeating(&MakeScheduler, base::Unretained(record));
}

FakeTaskScheduler::FakeTaskScheduler(Record* record) : record_(record) {
  DCHECK(record_);
}

FakeTaskScheduler::~FakeTaskScheduler() = default;

bool FakeTaskScheduler::Init() {
  record_->calls.push_back(L"Init");
  return record_->init_result;
}

bool FakeTaskScheduler::CreateTask(const TaskInfo& info) {
  record_->calls.push_back(L"CreateTask " + info.name);
  record_->created.push_back(info);
  if (record_->create_result)
    record_->tasks.insert(info.name);
  return record_->create_result;
}

void FakeTaskScheduler::DeleteOrphanedTasks() {
  record_->calls.push_back(L"DeleteOrphanedTasks");
}

void FakeTaskScheduler::DeleteTask(const std::wstring& name) {
  record_->calls.push_back(L"DeleteTask " + name);
  record_->tasks.erase(name);
}

void FakeTaskScheduler::SetDailyInterval(const std::wstring& name, int days) {
  record_->calls.push_back(L"SetDailyInterval " + name + L" " +
                           std::to_wstring(days));
}

void FakeTaskScheduler::SetEnabled(const std::wstring& name, bool enabled) {
  record_->calls.push_back(L"SetEnabled " + name + (enabled ? L" 1" : L" 0"));
}

bool FakeTaskScheduler::Run(const std::wstring& name,
                            const std::vector<std::wstring>& arguments) {
  record_->calls.push_back(L"Run " + name);
  return record_->tasks.count(name) > 0;
}

TaskScheduler::TaskState FakeTaskScheduler::GetTaskState(
    const std::wstring& name) {
  record_->calls.push_back(L"GetTaskState " + name);
  return record_->tasks.count(name) ? kTaskReady : kTaskMissing;
}

base::Time FakeTaskScheduler::GetLastRunTime(const std::wstring& name) {
  record_->calls.push_back(L"GetLastRunTime " + name);
  return base::Time();
}

}  // namespace installer
