// The installer's own features and their compiled-in rows.

#ifndef DESKTOP_WINDOWS_INSTALLER_PRODUCT_INSTALLER_FEATURES_H_
#define DESKTOP_WINDOWS_INSTALLER_PRODUCT_INSTALLER_FEATURES_H_

#include <cstddef>

#include "base/features/feature_table.h"

namespace installer {

class FeatureRegistry;

// Does nothing but log lines, to try the machinery.
extern const char kInstallerExperimentTest[];
// Hides the uninstall entry ("SystemComponent").
extern const char kInstallerHideFromProgramAndFeatures[];
// Fetches the pref default overrides.
extern const char kInstallerPrefDefaultOverridesSupport[];
// Offers the 64-bit package download.
extern const char kInstallerSupportX64Download[];

// The bits of this build: the branding "user_agent_name" and GetChannel().
ProductChannelMasks GetProductChannelMasks();

// A row's state in this build's masks.
bool IsFeatureEnabledByDefault(const FeatureRow& row);
bool IsFeatureOverridable(const FeatureRow& row);

// The installer feature rows in registration order; |count| gets 4.
const FeatureRow* GetInstallerFeatures(size_t* count);

// Registers every installer feature with its default and overridability
// in this build (in |masks| in the second form).
void RegisterInstallerFeatures(FeatureRegistry* registry);
void RegisterInstallerFeatures(const ProductChannelMasks& masks,
                               FeatureRegistry* registry);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PRODUCT_INSTALLER_FEATURES_H_
