// TaskService over the real Task Scheduler 2.0: the in-process
// TaskScheduler object (ITaskService) and its root folder.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_TASK_SERVICE_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_TASK_SERVICE_H_

#include <windows.h>

#include <taskschd.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/task_service.h"

namespace installer {

class Win32TaskService : public TaskService {
 public:
  Win32TaskService();
  Win32TaskService(const Win32TaskService&) = delete;
  Win32TaskService& operator=(const Win32TaskService&) = delete;
  ~Win32TaskService() override;

  // TaskService:
  HRESULT Connect() override;
  HRESULT RegisterTask(const std::wstring& name,
                       const TaskDefinition& definition,
                       const TaskLogon& logon,
                       int flags,
                       std::unique_ptr<RegisteredTask>* task) override;
  HRESULT GetTask(const std::wstring& name,
                  std::unique_ptr<RegisteredTask>* task) override;
  HRESULT GetTasks(
      std::vector<std::unique_ptr<RegisteredTask>>* tasks) override;
  HRESULT DeleteTask(const std::wstring& name) override;

 private:
  Microsoft::WRL::ComPtr<ITaskService> service_;
  Microsoft::WRL::ComPtr<ITaskFolder> root_folder_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_TASK_SERVICE_H_
