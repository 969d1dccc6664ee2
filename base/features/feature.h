// The two records of the feature registry: a registered feature and a state
// read for one.

#ifndef BASE_FEATURES_FEATURE_H_
#define BASE_FEATURES_FEATURE_H_

#include <string>

namespace installer {

// A feature as registered: its state unless an override applies, and
// whether overrides apply at all.
struct Feature {
  std::string name;
  bool enabled_by_default = false;
  bool overridable = false;
};

// A state read from a switch or a stored list.
struct FeatureOverride {
  std::string name;
  bool enabled = false;
};

inline bool operator==(const FeatureOverride& a, const FeatureOverride& b) {
  return a.name == b.name && a.enabled == b.enabled;
}

}  // namespace installer

#endif  // BASE_FEATURES_FEATURE_H_
