// Reads feature states from "with-feature:<name>" switches: no value or
// "on" turns the feature on, "off" turns it off; anything else is reported
// and leaves the feature alone.

#ifndef BASE_FEATURES_COMMAND_LINE_FEATURE_READER_H_
#define BASE_FEATURES_COMMAND_LINE_FEATURE_READER_H_

#include <vector>

#include "base/features/feature_reader.h"

namespace base {
class CommandLine;
}

namespace installer {

class CommandLineFeatureReader : public FeatureReader {
 public:
  // |command_line| must outlive the reader.
  explicit CommandLineFeatureReader(const base::CommandLine* command_line);
  CommandLineFeatureReader(const CommandLineFeatureReader&) = delete;
  CommandLineFeatureReader& operator=(const CommandLineFeatureReader&) = delete;
  ~CommandLineFeatureReader() override;

  // In the command line's switch order, which is by name.
  void ReadFeatures(std::vector<FeatureOverride>* overrides) override;

 private:
  const base::CommandLine* const command_line_;
};

}  // namespace installer

#endif  // BASE_FEATURES_COMMAND_LINE_FEATURE_READER_H_
