// One step of an operation as the engine runs it: a function of the run,
// called once, or, for the copy steps, a function called once for each entry
// of one of the run's lists, each call a task of its own, so that progress
// and an interruption come between the files. Every call makes one OnStep,
// a step over a list at least one.
//
//   InstallStep::Once("SetupRegistry", &StepSetupRegistry)
//   InstallStep::ForEachEntry("CopyFiles", &StepCopyFile, &InstallRun::files)

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEP_H_

#include <stddef.h>

#include <string>
#include <vector>

#include "base/callback.h"
#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;

class InstallStep {
 public:
  using Function = StepResult (*)(InstallRun* run);
  using EntryFunction = StepResult (*)(InstallRun* run, size_t index);
  using List = const std::vector<std::string>& (InstallRun::*)() const;
  // |index| counts the calls of the step in its run.
  using Callback =
      base::RepeatingCallback<StepResult(InstallRun* run, size_t index)>;

  static InstallStep Once(const char* name, Function function);
  // |function| gets the indexes 0 to the size of |list| less one, or, for
  // an empty list, 0 alone.
  static InstallStep ForEachEntry(const char* name,
                                  EntryFunction function,
                                  List list);
  // A step made of a callback, called once; tests only.
  static InstallStep FromCallback(const char* name, Callback callback);

  InstallStep(const InstallStep&);
  InstallStep& operator=(const InstallStep&);
  ~InstallStep();

  const char* name() const { return name_; }
  // How many calls the step makes in |run|.
  size_t CountCalls(const InstallRun& run) const;
  StepResult Run(InstallRun* run, size_t index) const;

 private:
  InstallStep(const char* name, Callback callback, List list);

  const char* name_;
  Callback callback_;
  // Null for a step called once.
  List list_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEP_H_
