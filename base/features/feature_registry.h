// Installer behaviour being tried out ("experiments") is switched by named
// features. Each registered feature has a default for this product and
// channel and may be overridable; overrides are read from the command line
// or from an installation's stored lists, and the one read last wins.
//
//   FeatureRegistry* registry = FeatureRegistry::GetInstance();
//   registry->RegisterFeature("support-x64-download", true, true);
//   CommandLineFeatureReader reader(&command_line);
//   registry->Initialize(&reader);
//   if (IsFeatureEnabled("support-x64-download")) ...
//
// The process registry is filled and asked on the main thread and is not
// locked; only its creation is safe against concurrent first use.

#ifndef BASE_FEATURES_FEATURE_REGISTRY_H_
#define BASE_FEATURES_FEATURE_REGISTRY_H_

#include <string>
#include <vector>

#include "base/features/feature.h"

namespace base {
class CommandLine;
}

namespace installer {

class FeatureReader;

class FeatureRegistry {
 public:
  // The process's registry, created on first use and never destroyed.
  static FeatureRegistry* GetInstance();

  FeatureRegistry();
  FeatureRegistry(const FeatureRegistry&) = delete;
  FeatureRegistry& operator=(const FeatureRegistry&) = delete;
  ~FeatureRegistry();

  // Appends a feature; a name registered twice is there twice, and the
  // first one answers.
  void RegisterFeature(const std::string& name,
                       bool enabled_by_default,
                       bool overridable);

  // Appends what |reader| reads to the overrides. May run more than once.
  void Initialize(FeatureReader* reader);

  // The override read last for an overridable feature, else its default.
  // Names are compared exactly; an unregistered name is off.
  bool IsEnabled(const std::string& name) const;

  // A copy of the overrides, in reading order.
  std::vector<FeatureOverride> GetAllFeatureStates() const;

  // Whether a reader has run. Queries do not depend on it.
  bool initialized() const { return initialized_; }
  const std::vector<Feature>& features() const { return features_; }

 private:
  std::vector<Feature> features_;
  std::vector<FeatureOverride> overrides_;
  bool initialized_ = false;
};

// IsEnabled of the process registry.
bool IsFeatureEnabled(const std::string& name);

// The prefix of the switches that turn features on or off.
extern const char kFeatureSwitchPrefix[];

// kFeatureSwitchPrefix followed by |name|.
std::string GetFeatureSwitchName(const std::string& name);

// Adds the states read into |registry| (the process registry in the first
// form) to |command_line| as "with-feature:<name>=on|off", in reading order;
// of a feature read twice the last state stays.
void AppendFeatureSwitches(base::CommandLine* command_line);
void AppendFeatureSwitches(const FeatureRegistry& registry,
                           base::CommandLine* command_line);

}  // namespace installer

#endif  // BASE_FEATURES_FEATURE_REGISTRY_H_
