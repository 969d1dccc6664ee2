// TaskSchedulerV2's decisions, seen through FakeTaskService.

#include "desktop/windows/installer/service/task_scheduler_v2.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_log_capture.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/fake_task_service.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr wchar_t kAppId[] = L"{5a1e2b3c-0000-4000-8000-00000000abcd}";
constexpr wchar_t kFullName[] =
    L"Kelvo scheduled Autoupdate {5a1e2b3c-0000-4000-8000-00000000abcd}";
constexpr wchar_t kLauncher[] = L"C:\\Program Files\\Kelvo\\launcher.exe";

// The autoupdate task as the engine describes it.
TaskInfo AutoupdateTaskInfo(bool all_users) {
  TaskInfo info;
  info.command_line = base::CommandLine(base::FilePath(kLauncher));
  info.command_line.AppendSwitch("scheduledautoupdate");
  info.command_line.AppendArg("$(Arg0)");
  info.name = std::wstring(L"Autoupdate ") + kAppId;
  info.description = L"Keeps Kelvo up to date.";
  info.run_as_system = all_users;
  info.time_limit_seconds = 3600;
  info.trigger_kind = TaskInfo::kDaily;
  info.start_up_trigger = true;
  info.network_required = true;
  return info;
}

// Whether |boundary| is a local time as the service takes it:
// "YYYY-MM-DDTHH:MM:SS".
bool IsBoundary(const std::wstring& boundary) {
  base::Time::Exploded fields;
  return boundary.size() == 19 &&
         swscanf(boundary.c_str(), L"%4d-%2d-%2dT%2d:%2d:%2d", &fields.year,
                 &fields.month, &fields.day_of_month, &fields.hour,
                 &fields.minute, &fields.second) == 6;
}

class TaskSchedulerV2Test : public testing::Test {
 protected:
  void SetUp() override {
    auto service = std::make_unique<FakeTaskService>();
    service_ = service.get();
    scheduler_ = std::make_unique<TaskSchedulerV2>(std::move(service));
    ASSERT_TRUE(scheduler_->Init());
    ASSERT_TRUE(GetUserNameEx(&account_, NameSamCompatible));
  }

  // Registers |info| and returns the stored task.
  const FakeTaskService::Task& Create(const TaskInfo& info) {
    EXPECT_TRUE(scheduler_->CreateTask(info));
    const FakeTaskService::Task* task =
        service_->FindTask(GetScheduledTaskName(info.name));
    CHECK(task) << "not registered";
    return *task;
  }

  FakeSecurityAccess access_;
  SecurityAccess::ScopedOverrideForTesting override_access_{&access_};
  FakeTaskService* service_ = nullptr;
  std::unique_ptr<TaskSchedulerV2> scheduler_;
  std::wstring account_;
};

TEST_F(TaskSchedulerV2Test, PerUserAutoupdateTask) {
  const FakeTaskService::Task& task = Create(AutoupdateTaskInfo(false));

  EXPECT_EQ(account_, task.logon.user);
  EXPECT_EQ(TASK_LOGON_INTERACTIVE_TOKEN, task.logon.logon_type);
  const TaskDefinition& definition = task.definition;
  EXPECT_EQ(L"PT3600S", definition.execution_time_limit);

  ASSERT_EQ(2u, definition.triggers.size());
  const TaskTrigger& daily = definition.triggers[0];
  EXPECT_EQ(TASK_TRIGGER_DAILY, daily.type);
  EXPECT_TRUE(IsBoundary(daily.start_boundary)) << daily.start_boundary;
  const TaskTrigger& logon = definition.triggers[1];
  EXPECT_EQ(TASK_TRIGGER_LOGON, logon.type);
  EXPECT_EQ(L"PT5M", logon.delay);
  EXPECT_EQ(account_, logon.user_id);

  ASSERT_EQ(1u, definition.actions.size());
  EXPECT_EQ(kLauncher, definition.actions[0].path);
  EXPECT_EQ(L"--scheduledautoupdate $(Arg0)", definition.actions[0].arguments);

  // An administrator's task runs with the highest rights the user has.
  ASSERT_TRUE(definition.run_level);
  EXPECT_EQ(TASK_RUNLEVEL_HIGHEST, *definition.run_level);
  // The user's own task keeps the service's security descriptor.
  EXPECT_TRUE(task.sddl.empty());
}

TEST_F(TaskSchedulerV2Test, AllUsersAutoupdateTaskRunsAsSystem) {
  const FakeTaskService::Task& task = Create(AutoupdateTaskInfo(true));

  EXPECT_EQ(L"SYSTEM", task.logon.user);
  EXPECT_EQ(TASK_LOGON_SERVICE_ACCOUNT, task.logon.logon_type);
  ASSERT_EQ(2u, task.definition.triggers.size());
  const TaskTrigger& boot = task.definition.triggers[1];
  EXPECT_EQ(TASK_TRIGGER_BOOT, boot.type);
  EXPECT_EQ(L"PT5M", boot.delay);
  EXPECT_TRUE(boot.user_id.empty());
  // Authenticated Users may read and run it, and nothing else.
  EXPECT_EQ(L"D:(A;;GRGX;;;AU)", task.sddl);
}

// Registered, which starts it, and deleted right after; should the deletion
// fail, it expires.
TEST_F(TaskSchedulerV2Test, RunOnceTaskIsDeletedOrExpires) {
  TaskInfo info = AutoupdateTaskInfo(true);
  info.trigger_kind = TaskInfo::kRunOnce;
  info.time_limit_seconds = 0;
  ASSERT_TRUE(scheduler_->CreateTask(info));
  EXPECT_EQ((std::vector<std::wstring>{std::wstring(L"register ") + kFullName,
                                       std::wstring(L"sddl ") + kFullName,
                                       std::wstring(L"delete ") + kFullName}),
            service_->changes());
  EXPECT_TRUE(service_->tasks().empty());

  info = AutoupdateTaskInfo(false);
  info.trigger_kind = TaskInfo::kRunOnce;
  service_->Fail(FakeTaskService::kDelete, E_ACCESSDENIED);
  const FakeTaskService::Task& task = Create(info);

  EXPECT_EQ(L"PT0S", task.definition.delete_expired_task_after);
  // The start-up flag does not apply to a task that runs once.
  ASSERT_EQ(1u, task.definition.triggers.size());
  const TaskTrigger& trigger = task.definition.triggers[0];
  EXPECT_EQ(TASK_TRIGGER_REGISTRATION, trigger.type);
  EXPECT_TRUE(IsBoundary(trigger.end_boundary)) << trigger.end_boundary;
}

TEST_F(TaskSchedulerV2Test, BrandingAndRightsShapeTheTask) {
  BrandingConfig::ScopedOverrideForTesting branding(
      R"({"product_name": "Acme", "scheduled_autoupdate_delay_min": 12})");
  access_.set_admin(false, true);
  TaskInfo info = AutoupdateTaskInfo(false);
  info.name = L"Check";
  EXPECT_TRUE(scheduler_->CreateTask(info));

  const FakeTaskService::Task* task =
      service_->FindTask(L"Acme scheduled Check");
  ASSERT_TRUE(task);
  EXPECT_EQ(L"PT12M", task->definition.triggers[1].delay);
  // Not running elevated: the task asks for no more than the user's
  // standard rights.
  EXPECT_FALSE(task->definition.run_level);
}

// A task of the same name is replaced through a registration, never deleted
// in between; a failed registration keeps it.
TEST_F(TaskSchedulerV2Test, CreateReplacesTheTaskOfTheSameNameOrKeepsIt) {
  TaskInfo info = AutoupdateTaskInfo(false);
  Create(info);
  info.description = L"Second";
  Create(info);
  EXPECT_EQ(1u, service_->tasks().size());
  const std::wstring registration = std::wstring(L"register ") + kFullName;
  EXPECT_EQ((std::vector<std::wstring>{registration, registration}),
            service_->changes());

  service_->Fail(FakeTaskService::kRegister, E_ACCESSDENIED);
  base::ScopedLogCapture log;
  info = AutoupdateTaskInfo(true);
  info.description = L"Never";
  EXPECT_FALSE(scheduler_->CreateTask(info));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                           "Failed task registration: -2147024891"));
  const FakeTaskService::Task* task = service_->FindTask(kFullName);
  ASSERT_TRUE(task);
  EXPECT_EQ(L"Second", task->definition.description);
}

TEST_F(TaskSchedulerV2Test, FailuresOfTheService) {
  // A descriptor that cannot be set leaves the task registered.
  service_->Fail(FakeTaskService::kSetSecurityDescriptor, E_NOTIMPL);
  base::ScopedLogCapture log;
  EXPECT_TRUE(scheduler_->CreateTask(AutoupdateTaskInfo(true)));
  EXPECT_TRUE(
      log.Contains(logging::LOG_ERROR, "Failed setting SDDL: -2147467263"));
  EXPECT_TRUE(service_->FindTask(kFullName));

  auto service = std::make_unique<FakeTaskService>();
  service->Fail(FakeTaskService::kConnect, REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(TaskSchedulerV2(std::move(service)).Init());
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                           "Could not connect to the Task Scheduler"));
}

class TaskSchedulerV2OrphanTest : public TaskSchedulerV2Test {
 protected:
  void SetUp() override {
    TaskSchedulerV2Test::SetUp();
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    present_ = temp_dir_.GetPath().Append(L"launcher.exe");
    ASSERT_EQ(1, base::WriteFile(present_, "x", 1));
    missing_ = temp_dir_.GetPath().Append(L"gone.exe");
  }

  // Adds a task whose actions are exec actions of |paths|.
  void AddTask(const std::wstring& name,
               const std::vector<std::wstring>& paths,
               bool enabled = true) {
    FakeTaskService::Task task;
    task.enabled = enabled;
    for (const std::wstring& path : paths) {
      TaskAction action;
      action.path = path;
      task.definition.actions.push_back(action);
    }
    service_->AddTask(name, task);
  }

  std::vector<std::wstring> TaskNames() const {
    std::vector<std::wstring> names;
    for (const auto& entry : service_->tasks())
      names.push_back(entry.first);
    return names;
  }

  // A drive letter that names no volume.
  static std::wstring MissingDrive() {
    DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'Y'; letter > L'D'; --letter) {
      if (!(drives & (1u << (letter - L'A'))))
        return std::wstring(1, letter) + L":";
    }
    return std::wstring();
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath present_;
  base::FilePath missing_;
};

TEST_F(TaskSchedulerV2OrphanTest, DeletesOnlyThisProductsTasksWithoutProgram) {
  AddTask(L"Kelvo scheduled Autoupdate present", {present_.value()});
  AddTask(L"Kelvo scheduled Autoupdate gone", {missing_.value()});
  AddTask(L"kELVO SCHEDULED other case", {missing_.value()});
  AddTask(L"Kelvo scheduledX", {missing_.value()});
  AddTask(L"Other scheduled Autoupdate gone", {missing_.value()});
  AddTask(L"Autoupdate Kelvo scheduled gone", {missing_.value()});
  AddTask(L"Kelvo scheduled folder gone",
          {temp_dir_.GetPath().Append(L"none\\launcher.exe").value()});

  scheduler_->DeleteOrphanedTasks();

  EXPECT_EQ((std::vector<std::wstring>{L"Autoupdate Kelvo scheduled gone",
                                       L"Kelvo scheduled Autoupdate present",
                                       L"Kelvo scheduledX",
                                       L"Other scheduled Autoupdate gone"}),
            TaskNames());
}

TEST_F(TaskSchedulerV2OrphanTest, KeepsTasksThatAreNotPlainlyOrphaned) {
  AddTask(L"Kelvo scheduled disabled", {missing_.value()}, false);
  // The volume may come back: a removed drive does not make an orphan.
  const std::wstring drive = MissingDrive();
  ASSERT_FALSE(drive.empty());
  AddTask(L"Kelvo scheduled other volume", {drive + L"\\Kelvo\\launcher.exe"});
  // The program is looked for where the variable points.
  ASSERT_TRUE(::SetEnvironmentVariableW(L"KELVO_TEST_FOLDER",
                                        temp_dir_.GetPath().value().c_str()));
  AddTask(L"Kelvo scheduled variable", {L"%KELVO_TEST_FOLDER%\\launcher.exe"});
  const std::vector<std::wstring> names = TaskNames();

  scheduler_->DeleteOrphanedTasks();

  EXPECT_EQ(names, TaskNames());
  ::SetEnvironmentVariableW(L"KELVO_TEST_FOLDER", nullptr);
}

TEST_F(TaskSchedulerV2OrphanTest, UnreadableTasksAreLeftAlone) {
  AddTask(L"Kelvo scheduled gone", {missing_.value()});
  for (FakeTaskService::Operation operation :
       {FakeTaskService::kGetTasks, FakeTaskService::kGetActions}) {
    service_->Fail(operation, E_FAIL);
    scheduler_->DeleteOrphanedTasks();
    EXPECT_EQ(1u, service_->tasks().size()) << operation;
    service_->Fail(operation, S_OK);
  }
  // A failing deletion is only logged.
  service_->Fail(FakeTaskService::kDelete, E_ACCESSDENIED);
  base::ScopedLogCapture log;
  scheduler_->DeleteOrphanedTasks();
  EXPECT_TRUE(log.Contains(logging::LOG_WARNING,
                           "Could not delete the task Kelvo scheduled gone"));
}

}  // namespace
}  // namespace installer
