#include "desktop/windows/installer/test/scoped_feature_state.h"

#include <algorithm>

#include "base/command_line.h"
#include "base/features/command_line_feature_reader.h"
#include "base/features/feature_registry.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {
namespace test {

ScopedFeatureState::ScopedFeatureState(const std::string& name, bool enabled)
    : name_(name) {
  FeatureRegistry* registry = FeatureRegistry::GetInstance();
  const std::vector<Feature>& features = registry->features();
  if (std::none_of(
          features.begin(), features.end(),
          [&](const Feature& feature) { return feature.name == name; })) {
    registry->RegisterFeature(name, false, true);
  }
  previous_ = registry->IsEnabled(name);
  Set(enabled);
}

ScopedFeatureState::~ScopedFeatureState() {
  Set(previous_);
}

void ScopedFeatureState::Set(bool enabled) {
  const base::CommandLine line = base::CommandLine::FromString(
      base::UTF8ToWide("installer.exe --" + GetFeatureSwitchName(name_) +
                       (enabled ? "=on" : "=off")));
  CommandLineFeatureReader reader(&line);
  FeatureRegistry::GetInstance()->Initialize(&reader);
}

}  // namespace test
}  // namespace installer
