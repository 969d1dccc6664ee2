#include "base/features/feature_registry.h"

#include <atomic>
#include <cstdint>

#include "base/command_line.h"
#include "base/features/feature_reader.h"
#include "base/lazy_instance_helpers.h"
#include "base/logging.h"

namespace installer {

namespace {

std::atomic<uintptr_t> g_registry_state{0};

void* CreateRegistry(void*) {
  return new FeatureRegistry();
}

}  // namespace

// static
FeatureRegistry* FeatureRegistry::GetInstance() {
  // No destructor: the registry is asked until the process ends.
  return static_cast<FeatureRegistry*>(base::subtle::GetOrCreateLazyPointer(
      &g_registry_state, &CreateRegistry, nullptr, nullptr));
}

FeatureRegistry::FeatureRegistry() = default;
FeatureRegistry::~FeatureRegistry() = default;

void FeatureRegistry::RegisterFeature(const std::string& name,
                                      bool enabled_by_default,
                                      bool overridable) {
  features_.push_back(Feature{name, enabled_by_default, overridable});
}

void FeatureRegistry::Initialize(FeatureReader* reader) {
  DCHECK(reader);
  initialized_ = true;
  reader->ReadFeatures(&overrides_);
}

bool FeatureRegistry::IsEnabled(const std::string& name) const {
  for (const Feature& feature : features_) {
    if (feature.name != name)
      continue;
    if (feature.overridable) {
      for (auto it = overrides_.rbegin(); it != overrides_.rend(); ++it) {
        if (it->name == name)
          return it->enabled;
      }
    }
    return feature.enabled_by_default;
  }
  return false;
}

std::vector<FeatureOverride> FeatureRegistry::GetAllFeatureStates() const {
  return overrides_;
}

bool IsFeatureEnabled(const std::string& name) {
  return FeatureRegistry::GetInstance()->IsEnabled(name);
}

const char kFeatureSwitchPrefix[] = "with-feature:";

std::string GetFeatureSwitchName(const std::string& name) {
  return kFeatureSwitchPrefix + name;
}

void AppendFeatureSwitches(base::CommandLine* command_line) {
  AppendFeatureSwitches(*FeatureRegistry::GetInstance(), command_line);
}

void AppendFeatureSwitches(const FeatureRegistry& registry,
                           base::CommandLine* command_line) {
  for (const FeatureOverride& state : registry.GetAllFeatureStates()) {
    command_line->AppendSwitchASCII(GetFeatureSwitchName(state.name),
                                    state.enabled ? "on" : "off");
  }
}

}  // namespace installer
