// The steps that write the browser's registry tables during an install or
// upgrade, recording every value in the install log, and that remove what
// an earlier install log recorded, during an upgrade and an uninstall.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTRY_STEPS_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTRY_STEPS_H_

#include <string>

#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;
class Status;

// The uninstall entries tried for a free name: the plain name, then the
// suffixes "1" up to this one.
inline constexpr int kMaxUninstallKeySuffix = 99;

// Writes the main table (and the row that hides the uninstall entry, when
// that feature is on) under HKLM for all users, else under HKCU, into a
// free uninstall entry. Only the uninstall entry must succeed.
StepResult StepSetupRegistry(InstallRun* run);
// Removes the keys and values that the existing installation's install log
// recorded, per user first. Failures are ignored.
StepResult StepCleanupRegistry(InstallRun* run);

// |text| with the former product's names filled in for a folder of that
// product: "{Product}" by its stream name, "{SPProduct}" by a blank and it.
std::wstring ExpandProductVariables(const Status& status,
                                    const std::wstring& text);
// The uninstall entry's key: "...\Uninstall\<product> <version><suffix>".
std::wstring UninstallKeyName(const std::wstring& suffix);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_REGISTRY_STEPS_H_
