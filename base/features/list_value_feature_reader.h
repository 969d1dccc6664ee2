// Reads feature states from a stored list such as an installation's
// "installer-experiments": strings of a feature name, "@" and 1 (on) or
// 2 (off). Other elements are skipped.

#ifndef BASE_FEATURES_LIST_VALUE_FEATURE_READER_H_
#define BASE_FEATURES_LIST_VALUE_FEATURE_READER_H_

#include <string>
#include <vector>

#include "base/features/feature_reader.h"

namespace base {
class ListValue;
}

namespace installer {

// Reads one entry: exactly two pieces around "@", each trimmed of
// whitespace, the second the whole number 1 or 2. The name may be empty.
// False, leaving |result| alone, for anything else.
bool ParseFeatureEntry(const std::string& text, FeatureOverride* result);

class ListValueFeatureReader : public FeatureReader {
 public:
  // |list| must outlive the reader.
  explicit ListValueFeatureReader(const base::ListValue* list);
  ListValueFeatureReader(const ListValueFeatureReader&) = delete;
  ListValueFeatureReader& operator=(const ListValueFeatureReader&) = delete;
  ~ListValueFeatureReader() override;

  // In list order.
  void ReadFeatures(std::vector<FeatureOverride>* overrides) override;

 private:
  const base::ListValue* const list_;
};

}  // namespace installer

#endif  // BASE_FEATURES_LIST_VALUE_FEATURE_READER_H_
