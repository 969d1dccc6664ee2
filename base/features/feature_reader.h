// A source of feature states: the command line's "with-feature:" switches,
// or a stored list of "name@1" / "name@2" entries.

#ifndef BASE_FEATURES_FEATURE_READER_H_
#define BASE_FEATURES_FEATURE_READER_H_

#include <vector>

#include "base/features/feature.h"

namespace installer {

class FeatureReader {
 public:
  virtual ~FeatureReader() = default;

  // Appends the states it finds, in its own order. Never fails: what it
  // cannot read it skips.
  virtual void ReadFeatures(std::vector<FeatureOverride>* overrides) = 0;
};

}  // namespace installer

#endif  // BASE_FEATURES_FEATURE_READER_H_
