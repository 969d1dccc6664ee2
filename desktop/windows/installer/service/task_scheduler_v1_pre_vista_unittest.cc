// TaskSchedulerV1 against the real Task Scheduler 1.0 service of the Wine
// prefix, in the program to which the prefix presents Windows XP, so that
// CreateTaskScheduler picks it. What a call left in the service is read
// back through Task Scheduler 1.0 itself. Wine's service runs no work item
// and reports no run, disabled or running state; those answers are tested
// through StateFromStatus.

#include "desktop/windows/installer/service/task_scheduler_v1.h"

#include <windows.h>

#include <mstask.h>
#include <objbase.h>
#define SECURITY_WIN32
#include <security.h>
#undef SECURITY_WIN32
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/guid.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "gtest/gtest.h"

using Microsoft::WRL::ComPtr;

namespace installer {
namespace {

constexpr DWORD kRunOnlyIfLoggedOn = TASK_FLAG_RUN_ONLY_IF_LOGGED_ON;

std::wstring TakeString(wchar_t* text) {
  std::wstring result = text ? text : L"";
  ::CoTaskMemFree(text);
  return result;
}

// A work item as the service holds it, with its enabled triggers.
struct StoredItem {
  std::wstring program;
  std::wstring parameters;
  std::wstring comment;
  std::wstring creator;
  std::wstring job_file;
  DWORD flags = 0;
  DWORD max_run_time = 0;
  std::vector<TASK_TRIGGER> triggers;
};

// The service, asked directly.
class TaskScheduler1 {
 public:
  TaskScheduler1() {
    EXPECT_HRESULT_SUCCEEDED(::CoCreateInstance(
        CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
        reinterpret_cast<void**>(service_.GetAddressOf())));
  }

  ITaskScheduler* get() { return service_.Get(); }

  bool Read(const std::wstring& full_name, StoredItem* item) {
    ComPtr<ITask> task = Open(full_name);
    if (!task)
      return false;
    wchar_t* text = nullptr;
    EXPECT_HRESULT_SUCCEEDED(task->GetApplicationName(&text));
    item->program = TakeString(text);
    EXPECT_HRESULT_SUCCEEDED(task->GetParameters(&text));
    item->parameters = TakeString(text);
    EXPECT_HRESULT_SUCCEEDED(task->GetComment(&text));
    item->comment = TakeString(text);
    EXPECT_HRESULT_SUCCEEDED(task->GetCreator(&text));
    item->creator = TakeString(text);
    EXPECT_HRESULT_SUCCEEDED(task->GetFlags(&item->flags));
    EXPECT_HRESULT_SUCCEEDED(task->GetMaxRunTime(&item->max_run_time));
    ComPtr<IPersistFile> file;
    EXPECT_HRESULT_SUCCEEDED(
        task->QueryInterface(IID_PPV_ARGS(file.GetAddressOf())));
    EXPECT_HRESULT_SUCCEEDED(file->GetCurFile(&text));
    item->job_file = TakeString(text);
    WORD count = 0;
    EXPECT_HRESULT_SUCCEEDED(task->GetTriggerCount(&count));
    item->triggers.clear();
    for (WORD i = 0; i < count; ++i) {
      ComPtr<ITaskTrigger> trigger;
      TASK_TRIGGER data = {};
      data.cbTriggerSize = sizeof(data);
      EXPECT_HRESULT_SUCCEEDED(task->GetTrigger(i, &trigger));
      EXPECT_HRESULT_SUCCEEDED(trigger->GetTrigger(&data));
      // Wine reads a job file without triggers back with a disabled one.
      if (!(data.rgFlags & TASK_TRIGGER_FLAG_DISABLED))
        item->triggers.push_back(data);
    }
    return true;
  }

  bool Exists(const std::wstring& full_name) { return !!Open(full_name); }

  // Deletes the work item, waiting a while for the service to let go of
  // its file.
  void Delete(const std::wstring& full_name) {
    for (int i = 0; i < 50; ++i) {
      if (service_->Delete(full_name.c_str()) !=
          HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)) {
        return;
      }
      ::Sleep(20);
    }
    ADD_FAILURE() << "Cannot delete " << full_name;
  }

  // Registers a work item of any name for |program|, as another program
  // would; |disabled| sets its disabled flag.
  void Add(const std::wstring& full_name,
           const std::wstring& program,
           bool disabled = false) {
    ComPtr<ITask> task;
    ASSERT_HRESULT_SUCCEEDED(service_->NewWorkItem(
        full_name.c_str(), CLSID_CTask, IID_ITask,
        reinterpret_cast<IUnknown**>(task.GetAddressOf())));
    ASSERT_HRESULT_SUCCEEDED(task->SetFlags(
        kRunOnlyIfLoggedOn | (disabled ? TASK_FLAG_DISABLED : 0)));
    ASSERT_HRESULT_SUCCEEDED(task->SetAccountInformation(L"", nullptr));
    ASSERT_HRESULT_SUCCEEDED(task->SetApplicationName(program.c_str()));
    ComPtr<IPersistFile> file;
    ASSERT_HRESULT_SUCCEEDED(
        task->QueryInterface(IID_PPV_ARGS(file.GetAddressOf())));
    ASSERT_HRESULT_SUCCEEDED(file->Save(nullptr, TRUE));
  }

  // The names of the work items, as the enumeration gives them.
  std::vector<std::wstring> Names() {
    std::vector<std::wstring> names;
    ComPtr<IEnumWorkItems> items;
    EXPECT_HRESULT_SUCCEEDED(service_->Enum(&items));
    for (;;) {
      wchar_t** batch = nullptr;
      ULONG fetched = 0;
      if (items->Next(1, &batch, &fetched) != S_OK || fetched != 1) {
        ::CoTaskMemFree(batch);
        return names;
      }
      names.push_back(TakeString(batch[0]));
      ::CoTaskMemFree(batch);
    }
  }

 private:
  ComPtr<ITask> Open(const std::wstring& full_name) {
    ComPtr<ITask> task;
    if (FAILED(service_->Activate(
            full_name.c_str(), IID_ITask,
            reinterpret_cast<IUnknown**>(task.GetAddressOf())))) {
      return nullptr;
    }
    return task;
  }

  ComPtr<ITaskScheduler> service_;
};

// The local time of a trigger's start.
base::Time TriggerStart(const TASK_TRIGGER& trigger) {
  base::Time::Exploded exploded = {};
  exploded.year = trigger.wBeginYear;
  exploded.month = trigger.wBeginMonth;
  exploded.day_of_month = trigger.wBeginDay;
  exploded.hour = trigger.wStartHour;
  exploded.minute = trigger.wStartMinute;
  base::Time time;
  EXPECT_TRUE(base::Time::FromLocalExploded(exploded, &time));
  return time;
}

class TaskSchedulerV1Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_LT(base::win::GetVersion(), base::win::VERSION_VISTA)
        << "tools/wine_prefix.sh presents Windows XP to this program";
    std::unique_ptr<TaskScheduler> scheduler = CreateTaskScheduler();
    ASSERT_TRUE(dynamic_cast<TaskSchedulerV1*>(scheduler.get()));
    scheduler_.reset(static_cast<TaskSchedulerV1*>(scheduler.release()));
    ASSERT_TRUE(scheduler_->Init());
    ASSERT_TRUE(service_.get());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    wchar_t account[256];
    ULONG size = ARRAYSIZE(account);
    ASSERT_TRUE(::GetUserNameExW(NameSamCompatible, account, &size));
    account_ = account;
  }

  void TearDown() override {
    for (const std::wstring& name : names_)
      service_.Delete(GetScheduledTaskName(name));
    for (const std::wstring& name : service_.Names()) {
      EXPECT_EQ(std::wstring::npos, name.find(prefix_))
          << "left behind: " << name;
    }
  }

  // A short name of this test's own; its task goes at the end.
  std::wstring NewName() {
    names_.push_back(prefix_ + base::NumberToString16(names_.size()));
    return names_.back();
  }

  // The engine's autoupdate task of a current-user install.
  TaskInfo AutoupdateTask(const std::wstring& name) {
    TaskInfo info;
    info.command_line =
        base::CommandLine(base::FilePath(L"C:\\Kelvo Test\\launcher.exe"));
    info.command_line.AppendSwitch("scheduledautoupdate");
    info.command_line.AppendArg("$(Arg0)");
    info.name = name;
    info.description = L"Keeps Kelvo up to date";
    info.time_limit_seconds = 3600;
    info.trigger_kind = TaskInfo::kDaily;
    info.start_up_trigger = true;
    info.network_required = true;
    return info;
  }

  StoredItem Read(const std::wstring& name) {
    StoredItem item;
    EXPECT_TRUE(service_.Read(GetScheduledTaskName(name), &item)) << name;
    return item;
  }

  base::win::ScopedCOMInitializer com_;
  std::unique_ptr<TaskSchedulerV1> scheduler_;
  TaskScheduler1 service_;
  base::ScopedTempDir temp_dir_;
  std::wstring account_;
  const std::wstring prefix_ =
      L"Test " + base::UTF8ToWide(base::GenerateGUID()) + L" ";
  std::vector<std::wstring> names_;
};

// The engine's task of a current-user install: a work item for the user,
// with its program, arguments, description, time limit, a daily trigger
// from now on and a logon trigger; deleting it leaves nothing.
TEST_F(TaskSchedulerV1Test, RegistersAndDeletesTheAutoupdateTask) {
  const std::wstring name = NewName();
  const base::Time before = base::Time::Now();
  ASSERT_TRUE(scheduler_->CreateTask(AutoupdateTask(name)));
  const base::Time after = base::Time::Now();

  const StoredItem item = Read(name);
  EXPECT_EQ(L"C:\\Kelvo Test\\launcher.exe", item.program);
  EXPECT_EQ(L"--scheduledautoupdate $(Arg0)", item.parameters);
  EXPECT_EQ(L"Keeps Kelvo up to date", item.comment);
  EXPECT_EQ(account_, item.creator);
  EXPECT_EQ(kRunOnlyIfLoggedOn, item.flags);
  EXPECT_EQ(3600u * 1000, item.max_run_time);
  ASSERT_EQ(2u, item.triggers.size());
  EXPECT_EQ(TASK_TIME_TRIGGER_DAILY, item.triggers[0].TriggerType);
  EXPECT_EQ(1, item.triggers[0].Type.Daily.DaysInterval);
  EXPECT_EQ(TASK_EVENT_TRIGGER_AT_LOGON, item.triggers[1].TriggerType);
  for (const TASK_TRIGGER& trigger : item.triggers) {
    // The current minute, with no seconds.
    const base::Time start = TriggerStart(trigger);
    EXPECT_GT(start, before - base::TimeDelta::FromMinutes(1));
    EXPECT_LE(start, after);
  }
  EXPECT_TRUE(base::EndsWith(item.job_file,
                             GetScheduledTaskName(name) + L".job",
                             base::CompareCase::INSENSITIVE_ASCII));
  EXPECT_TRUE(base::PathExists(base::FilePath(item.job_file)));
  EXPECT_EQ(TaskScheduler::kTaskReady, scheduler_->GetTaskState(name));

  scheduler_->DeleteTask(name);
  EXPECT_EQ(TaskScheduler::kTaskMissing, scheduler_->GetTaskState(name));
  EXPECT_FALSE(base::PathExists(base::FilePath(item.job_file)));
  // Deleting a missing task is no failure worth a warning.
  base::ScopedLogCapture log;
  scheduler_->DeleteTask(name);
  EXPECT_FALSE(log.Contains(logging::LOG_WARNING, "Could not delete"));
}

// Each trigger kind, for the user and the system account; the job file of
// a system task with a time trigger or none lets Authenticated Users read
// and run it. A task without triggers has no runs to come and cannot be
// started.
TEST_F(TaskSchedulerV1Test, TriggerKindsAndTheSystemTasksAccess) {
  FakeSecurityAccess security;
  SecurityAccess::ScopedOverrideForTesting override_security(&security);
  constexpr wchar_t kJobFileSddl[] = L"O:BAG:SYD:(A;;FA;;;SY)(A;;FA;;;BA)";
  // Generic read and execute, in either order.
  const auto users_may_run = [](const std::wstring& sddl) {
    return sddl.find(L"(A;;GRGX;;;AU)") != std::wstring::npos ||
           sddl.find(L"(A;;GXGR;;;AU)") != std::wstring::npos;
  };
  const struct {
    bool system;
    TaskInfo::TriggerKind kind;
    bool start_up;
    std::vector<TASK_TRIGGER_TYPE> triggers;
    DWORD flags;
    bool users_may_run;
  } kCases[] = {
      {false,
       TaskInfo::kRunOnce,
       true,
       {TASK_TIME_TRIGGER_ONCE},
       kRunOnlyIfLoggedOn | TASK_FLAG_DELETE_WHEN_DONE,
       false},
      {true,
       TaskInfo::kRunOnce,
       false,
       {TASK_TIME_TRIGGER_ONCE},
       kRunOnlyIfLoggedOn | TASK_FLAG_DELETE_WHEN_DONE,
       false},
      {true,
       TaskInfo::kDaily,
       true,
       {TASK_TIME_TRIGGER_DAILY, TASK_EVENT_TRIGGER_AT_LOGON},
       kRunOnlyIfLoggedOn,
       true},
      {true,
       TaskInfo::kNoTimeTrigger,
       true,
       {TASK_EVENT_TRIGGER_AT_LOGON},
       kRunOnlyIfLoggedOn,
       true},
      {false, TaskInfo::kNoTimeTrigger, false, {}, kRunOnlyIfLoggedOn, false},
      {true, TaskInfo::kNoTimeTrigger, false, {}, kRunOnlyIfLoggedOn, true},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(testing::Message()
                 << "system " << test.system << " kind " << test.kind
                 << " start-up " << test.start_up);
    const std::wstring name = NewName();
    TaskInfo info = AutoupdateTask(name);
    info.run_as_system = test.system;
    info.trigger_kind = test.kind;
    info.start_up_trigger = test.start_up;
    info.time_limit_seconds = 0;
    // The job file's descriptor as the service gives it.
    wchar_t windows[MAX_PATH];
    ASSERT_NE(0u, ::GetWindowsDirectoryW(windows, MAX_PATH));
    const std::wstring expected_job_file = std::wstring(windows) +
                                           L"\\Tasks\\" +
                                           GetScheduledTaskName(name) + L".job";
    security.SetObject(expected_job_file, kJobFileSddl);

    ASSERT_TRUE(scheduler_->CreateTask(info));

    const StoredItem item = Read(name);
    EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(expected_job_file,
                                                       item.job_file))
        << item.job_file;
    EXPECT_EQ(test.flags, item.flags);
    EXPECT_EQ(INFINITE, item.max_run_time);
    std::vector<TASK_TRIGGER_TYPE> types;
    for (const TASK_TRIGGER& trigger : item.triggers)
      types.push_back(trigger.TriggerType);
    EXPECT_EQ(test.triggers, types);
    const std::wstring sddl = security.GetSddl(expected_job_file);
    EXPECT_EQ(test.users_may_run, users_may_run(sddl)) << sddl;
    // The entries the service gave stay.
    EXPECT_NE(std::wstring::npos, sddl.find(L"(A;;FA;;;SY)(A;;FA;;;BA)"));
    if (test.triggers.empty()) {
      EXPECT_EQ(TaskScheduler::kTaskNoMoreRuns, scheduler_->GetTaskState(name));
      base::ScopedLogCapture log;
      EXPECT_FALSE(scheduler_->Run(name, {}));
      EXPECT_TRUE(log.Contains(logging::LOG_ERROR, "Could not run the task"));
    }
  }
}

// Registering a name again replaces the task, triggers and all, and keeps
// one work item.
TEST_F(TaskSchedulerV1Test, RegisteringAgainReplacesTheTask) {
  const std::wstring name = NewName();
  ASSERT_TRUE(scheduler_->CreateTask(AutoupdateTask(name)));
  TaskInfo again = AutoupdateTask(name);
  again.command_line =
      base::CommandLine(base::FilePath(L"C:\\Kelvo Other\\launcher.exe"));
  again.trigger_kind = TaskInfo::kNoTimeTrigger;
  again.start_up_trigger = false;
  again.time_limit_seconds = 60;

  ASSERT_TRUE(scheduler_->CreateTask(again));

  StoredItem item = Read(name);
  EXPECT_EQ(L"C:\\Kelvo Other\\launcher.exe", item.program);
  EXPECT_EQ(L"", item.parameters);
  EXPECT_EQ(60u * 1000, item.max_run_time);
  EXPECT_TRUE(item.triggers.empty());
  int items_of_the_name = 0;
  for (const std::wstring& listed : service_.Names()) {
    if (base::EqualsCaseInsensitiveASCII(
            listed, GetScheduledTaskName(name) + L".job")) {
      ++items_of_the_name;
    }
  }
  EXPECT_EQ(1, items_of_the_name);
}

// Enabling and disabling change the disabled flag alone; the daily
// interval changes the daily trigger alone, within 1 to 365 days.
TEST_F(TaskSchedulerV1Test, EnabledStateAndDailyInterval) {
  const std::wstring name = NewName();
  ASSERT_TRUE(scheduler_->CreateTask(AutoupdateTask(name)));

  scheduler_->SetEnabled(name, false);
  EXPECT_EQ(kRunOnlyIfLoggedOn | TASK_FLAG_DISABLED, Read(name).flags);
  scheduler_->SetEnabled(name, false);
  EXPECT_EQ(kRunOnlyIfLoggedOn | TASK_FLAG_DISABLED, Read(name).flags);
  scheduler_->SetEnabled(name, true);
  EXPECT_EQ(kRunOnlyIfLoggedOn, Read(name).flags);

  scheduler_->SetDailyInterval(name, 7);
  StoredItem item = Read(name);
  ASSERT_EQ(2u, item.triggers.size());
  EXPECT_EQ(7, item.triggers[0].Type.Daily.DaysInterval);
  EXPECT_EQ(TASK_EVENT_TRIGGER_AT_LOGON, item.triggers[1].TriggerType);
  for (int days : {0, 366, -1}) {
    base::ScopedLogCapture log;
    scheduler_->SetDailyInterval(name, days);
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR, "Invalid daily interval"));
    EXPECT_EQ(7, Read(name).triggers[0].Type.Daily.DaysInterval) << days;
  }
  scheduler_->SetDailyInterval(name, 365);
  EXPECT_EQ(365, Read(name).triggers[0].Type.Daily.DaysInterval);

  // A task without a daily trigger is left as it is.
  const std::wstring no_daily = NewName();
  TaskInfo info = AutoupdateTask(no_daily);
  info.trigger_kind = TaskInfo::kNoTimeTrigger;
  ASSERT_TRUE(scheduler_->CreateTask(info));
  scheduler_->SetDailyInterval(no_daily, 3);
  item = Read(no_daily);
  ASSERT_EQ(1u, item.triggers.size());
  EXPECT_EQ(TASK_EVENT_TRIGGER_AT_LOGON, item.triggers[0].TriggerType);
}

// The sweep deletes the enabled tasks of this product whose program is
// gone, and nothing else: not a task whose program is there, one whose
// drive is missing, a disabled one, nor another product's.
TEST_F(TaskSchedulerV1Test, DeletesOnlyTheProductsOrphanedTasks) {
  const base::FilePath present = temp_dir_.GetPath().Append(L"launcher.exe");
  ASSERT_TRUE(base::WriteFile(present, "MZ", 2));
  const base::FilePath gone = temp_dir_.GetPath().Append(L"gone\\launcher.exe");
  // No such drive in the prefix.
  const std::wstring missing_drive = L"Q:\\Kelvo\\launcher.exe";
  ASSERT_FALSE(base::PathExists(base::FilePath(L"Q:\\")));

  const std::wstring orphan = NewName();
  const std::wstring orphan_upper_case = NewName();
  const std::wstring alive = NewName();
  const std::wstring on_missing_drive = NewName();
  const std::wstring disabled = NewName();
  const std::wstring disabled_by_flag = NewName();
  service_.Add(GetScheduledTaskName(orphan), gone.value());
  service_.Add(base::ToUpperASCII(GetScheduledTaskName(orphan_upper_case)),
               gone.value());
  service_.Add(GetScheduledTaskName(alive), present.value());
  service_.Add(GetScheduledTaskName(on_missing_drive), missing_drive);
  TaskInfo info = AutoupdateTask(disabled);
  info.command_line = base::CommandLine(gone);
  ASSERT_TRUE(scheduler_->CreateTask(info));
  scheduler_->SetEnabled(disabled, false);
  service_.Add(GetScheduledTaskName(disabled_by_flag), gone.value(), true);
  const std::wstring foreign = L"Other scheduled " + prefix_;
  service_.Add(foreign, gone.value());
  const std::wstring foreign_suffix = prefix_ + GetScheduledTaskName(L"x");
  service_.Add(foreign_suffix, gone.value());

  scheduler_->DeleteOrphanedTasks();

  EXPECT_FALSE(service_.Exists(GetScheduledTaskName(orphan)));
  EXPECT_FALSE(service_.Exists(GetScheduledTaskName(orphan_upper_case)));
  for (const std::wstring& kept :
       {alive, on_missing_drive, disabled, disabled_by_flag}) {
    EXPECT_TRUE(service_.Exists(GetScheduledTaskName(kept))) << kept;
  }
  for (const std::wstring& kept : {foreign, foreign_suffix}) {
    EXPECT_TRUE(service_.Exists(kept)) << kept;
    service_.Delete(kept);
  }
}

// A task that is not there: state 0, no last run, no run, no change.
TEST_F(TaskSchedulerV1Test, MissingTasks) {
  const std::wstring name = NewName();
  EXPECT_EQ(TaskScheduler::kTaskMissing, scheduler_->GetTaskState(name));
  EXPECT_TRUE(scheduler_->GetLastRunTime(name).is_null());
  base::ScopedLogCapture log;
  EXPECT_FALSE(scheduler_->Run(name, {L"a"}));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR, "No task "));
  scheduler_->SetEnabled(name, false);
  scheduler_->SetDailyInterval(name, 2);
  EXPECT_FALSE(service_.Exists(GetScheduledTaskName(name)));
  EXPECT_FALSE(log.Contains(logging::LOG_WARNING, "Could not"));
}

// A task that has not run reports no last run; one with a trigger can be
// started, without the arguments, which Task Scheduler 1.0 cannot pass.
TEST_F(TaskSchedulerV1Test, RunAndLastRunOfARegisteredTask) {
  const std::wstring name = NewName();
  ASSERT_TRUE(scheduler_->CreateTask(AutoupdateTask(name)));
  EXPECT_TRUE(scheduler_->GetLastRunTime(name).is_null());
  base::ScopedLogCapture log;
  EXPECT_TRUE(scheduler_->Run(name, {L"--from-browser"}));
  EXPECT_TRUE(log.Contains(logging::LOG_WARNING, "runs without the 1"));
  EXPECT_TRUE(scheduler_->Run(name, {}));
}

// The states the service reports, including those Wine never gives.
TEST(TaskSchedulerV1StateTest, StatusToState) {
  const struct {
    HRESULT status;
    TaskScheduler::TaskState state;
  } kCases[] = {
      {SCHED_S_TASK_READY, TaskScheduler::kTaskReady},
      {SCHED_S_TASK_HAS_NOT_RUN, TaskScheduler::kTaskReady},
      {SCHED_S_TASK_RUNNING, TaskScheduler::kTaskRunning},
      {SCHED_S_TASK_DISABLED, TaskScheduler::kTaskDisabled},
      {SCHED_S_TASK_NO_MORE_RUNS, TaskScheduler::kTaskNoMoreRuns},
      {SCHED_S_TASK_NOT_SCHEDULED, TaskScheduler::kTaskNoMoreRuns},
      {SCHED_S_TASK_NO_VALID_TRIGGERS, TaskScheduler::kTaskNoMoreRuns},
      {SCHED_S_TASK_TERMINATED, TaskScheduler::kTaskOther},
      {S_OK, TaskScheduler::kTaskOther},
      {E_FAIL, TaskScheduler::kTaskOther},
  };
  for (const auto& test : kCases) {
    EXPECT_EQ(test.state, TaskSchedulerV1::StateFromStatus(test.status))
        << std::hex << test.status;
  }
}

}  // namespace
}  // namespace installer
