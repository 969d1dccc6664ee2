#include "base/features/browser_features.h"

namespace installer {

const char kAlternativeCrashLogging[] = "alternative-crash-logging";

namespace {

// Only the rows that this code base looks up; the browser keeps the rest.
constexpr FeatureRow kBrowserFeatures[] = {
    {kAlternativeCrashLogging, 0xfff7, 0x1000f},
};

}  // namespace

const FeatureRow* FindFeatureByName(const std::string& name) {
  for (const FeatureRow& row : kBrowserFeatures) {
    if (name == row.name)
      return &row;
  }
  return nullptr;
}

}  // namespace installer
