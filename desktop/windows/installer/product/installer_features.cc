#include "desktop/windows/installer/product/installer_features.h"

#include <iterator>

#include "base/features/feature_registry.h"
#include "base/logging.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

const char kInstallerExperimentTest[] = "installer-experiment-test";
const char kInstallerHideFromProgramAndFeatures[] =
    "installer-hide-from-program-and-features";
const char kInstallerPrefDefaultOverridesSupport[] =
    "installer-pref-default-overrides-support";
const char kInstallerSupportX64Download[] = "installer-support-x64-download";

namespace {

constexpr FeatureRow kInstallerFeatures[] = {
    {kInstallerExperimentTest, 0x0, 0xffff},
    {kInstallerHideFromProgramAndFeatures, 0x8, 0x0},
    {kInstallerPrefDefaultOverridesSupport, 0x7, 0xffff},
    {kInstallerSupportX64Download, 0x7, 0xffff},
};

}  // namespace

ProductChannelMasks GetProductChannelMasks() {
  return GetProductChannelMasksFor(GetBrandingUserAgentName(), GetChannel());
}

bool IsFeatureEnabledByDefault(const FeatureRow& row) {
  return IsFeatureEnabledByDefault(row, GetProductChannelMasks());
}

bool IsFeatureOverridable(const FeatureRow& row) {
  return IsFeatureOverridable(row, GetProductChannelMasks());
}

const FeatureRow* GetInstallerFeatures(size_t* count) {
  *count = std::size(kInstallerFeatures);
  return kInstallerFeatures;
}

void RegisterInstallerFeatures(FeatureRegistry* registry) {
  RegisterInstallerFeatures(GetProductChannelMasks(), registry);
}

void RegisterInstallerFeatures(const ProductChannelMasks& masks,
                               FeatureRegistry* registry) {
  DCHECK(registry);
  for (const FeatureRow& row : kInstallerFeatures) {
    registry->RegisterFeature(row.name, IsFeatureEnabledByDefault(row, masks),
                              IsFeatureOverridable(row, masks));
  }
}

}  // namespace installer
