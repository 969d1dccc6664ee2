// The shell verbs that pin a shortcut to the taskbar and unpin it. Windows 7
// and 8 let programs invoke them; Windows 10 keeps pinning for the user, so
// the installer pins there through its pin program instead (see
// RunInstallerHelper). Wine has neither verb: tests replace them.
//
//   if (!TaskbarPinVerbs::GetInstance()->Pin(shortcut))
//     LOG(ERROR) << "Failed pinning " << shortcut;

#ifndef DESKTOP_WINDOWS_INSTALLER_TASKBAR_PIN_VERBS_H_
#define DESKTOP_WINDOWS_INSTALLER_TASKBAR_PIN_VERBS_H_

#include "base/files/file_path.h"
#include "base/instance_override.h"

namespace installer {

class TaskbarPinVerbs {
 public:
  TaskbarPinVerbs(const TaskbarPinVerbs&) = delete;
  TaskbarPinVerbs& operator=(const TaskbarPinVerbs&) = delete;
  virtual ~TaskbarPinVerbs();

  // The shell's verbs unless a test replaced them. Never destroyed.
  static TaskbarPinVerbs* GetInstance();

  // Each invokes its verb on the shortcut file; false when the shell
  // refused.
  virtual bool Pin(const base::FilePath& shortcut) = 0;
  virtual bool Unpin(const base::FilePath& shortcut) = 0;

  // Makes GetInstance() answer |verbs| while alive. Not thread-safe: set
  // before the code under test runs.
  using ScopedOverrideForTesting =
      base::InstanceOverride<TaskbarPinVerbs>::Scoped;

 protected:
  TaskbarPinVerbs() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TASKBAR_PIN_VERBS_H_
