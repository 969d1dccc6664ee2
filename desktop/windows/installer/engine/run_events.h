// What the parts of a run tell the engine, which passes it on to its
// observers: the install folder was made, another installer process takes
// the work over and gives it back, and a run that waited has its outcome.

#ifndef DESKTOP_WINDOWS_INSTALLER_ENGINE_RUN_EVENTS_H_
#define DESKTOP_WINDOWS_INSTALLER_ENGINE_RUN_EVENTS_H_

#include "desktop/windows/installer/step_result.h"

namespace installer {

class RunEvents {
 public:
  virtual void OnInstallFolderCreated() = 0;
  virtual void OnChildTakesOver() = 0;
  virtual void OnChildReturned() = 0;
  // The outcome of a run whose part answered StepResult::Later().
  virtual void OnWaitEnded(StepResult result) = 0;

 protected:
  virtual ~RunEvents() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ENGINE_RUN_EVENTS_H_
