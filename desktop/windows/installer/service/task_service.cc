#include "desktop/windows/installer/service/task_service.h"

namespace installer {

TaskTrigger::TaskTrigger() = default;
TaskTrigger::TaskTrigger(const TaskTrigger&) = default;
TaskTrigger& TaskTrigger::operator=(const TaskTrigger&) = default;
TaskTrigger::~TaskTrigger() = default;

TaskAction::TaskAction() = default;
TaskAction::TaskAction(const TaskAction&) = default;
TaskAction& TaskAction::operator=(const TaskAction&) = default;
TaskAction::~TaskAction() = default;

TaskDefinition::TaskDefinition() = default;
TaskDefinition::TaskDefinition(const TaskDefinition&) = default;
TaskDefinition& TaskDefinition::operator=(const TaskDefinition&) = default;
TaskDefinition::~TaskDefinition() = default;

RegisteredTask::~RegisteredTask() = default;

TaskService::~TaskService() = default;

}  // namespace installer
