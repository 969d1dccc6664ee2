#include "base/features/command_line_feature_reader.h"

#include <string>

#include "base/command_line.h"
#include "base/features/feature_registry.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

CommandLineFeatureReader::CommandLineFeatureReader(
    const base::CommandLine* command_line)
    : command_line_(command_line) {
  DCHECK(command_line_);
}

CommandLineFeatureReader::~CommandLineFeatureReader() = default;

void CommandLineFeatureReader::ReadFeatures(
    std::vector<FeatureOverride>* overrides) {
  const std::string prefix = kFeatureSwitchPrefix;
  for (const auto& [switch_name, native_value] : command_line_->GetSwitches()) {
    if (!base::StartsWith(switch_name, prefix, base::CompareCase::SENSITIVE))
      continue;
    std::string name = switch_name.substr(prefix.size());
    // A value that is not ASCII is neither "on" nor "off"; it is reported
    // below rather than read as the empty value, which would mean on.
    if (native_value.empty() || native_value == L"on") {
      overrides->push_back(FeatureOverride{name, true});
    } else if (native_value == L"off") {
      overrides->push_back(FeatureOverride{name, false});
    } else {
      LOG(WARNING) << switch_name << " has unhandled value: \""
                   << base::WideToUTF8(native_value)
                   << "\" did you mean \"on\" or \"off\"? Using default "
                      "setting.";
    }
  }
}

}  // namespace installer
