#include "desktop/windows/installer/installer_step_list.h"

#include <algorithm>

#include "base/logging.h"

namespace installer {

std::vector<base::OnceClosure> BuildStepList(Installer* installer,
                                             SettingsOperation operation) {
  std::vector<base::OnceClosure> steps;
  LOG(ERROR) << "No steps for operation " << operation << " in this build";
  return steps;
}

int CountTotalSteps(SettingsOperation operation,
                    size_t step_count,
                    size_t file_count,
                    size_t root_file_count) {
  if (operation == OPERATION_UNINSTALLING)
    return static_cast<int>(step_count + 1);
  // The two copy steps are counted by their files instead.
  return static_cast<int>(step_count - 2 + file_count +
                          std::max<size_t>(root_file_count, 1) + 1);
}

bool RunPostElevationTasksOfRun(Installer* installer) {
  LOG(ERROR) << "The post-elevation tasks are not part of this build";
  return false;
}

}  // namespace installer
