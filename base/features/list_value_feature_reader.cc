#include "base/features/list_value_feature_reader.h"

#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/values.h"

namespace installer {

namespace {

constexpr int kStateOn = 1;
constexpr int kStateOff = 2;

}  // namespace

bool ParseFeatureEntry(const std::string& text, FeatureOverride* result) {
  std::vector<std::string> pieces =
      base::SplitString(text, "@", base::TRIM_WHITESPACE, base::SPLIT_WANT_ALL);
  if (pieces.size() != 2)
    return false;
  int state = 0;
  if (!base::StringToInt(pieces[1], &state) ||
      (state != kStateOn && state != kStateOff)) {
    return false;
  }
  result->name = pieces[0];
  result->enabled = state == kStateOn;
  return true;
}

ListValueFeatureReader::ListValueFeatureReader(const base::ListValue* list)
    : list_(list) {
  DCHECK(list_);
}

ListValueFeatureReader::~ListValueFeatureReader() = default;

void ListValueFeatureReader::ReadFeatures(
    std::vector<FeatureOverride>* overrides) {
  for (const auto& element : *list_) {
    std::string text;
    if (!element->GetAsString(&text))
      continue;
    FeatureOverride entry;
    if (ParseFeatureEntry(text, &entry))
      overrides->push_back(entry);
    else
      VLOG(1) << "Skipping the feature entry \"" << text << "\"";
  }
}

}  // namespace installer
