// The browser's features that the installer's processes look up (the crash
// reporter's settings), as rows of the browser's feature table.

#ifndef BASE_FEATURES_BROWSER_FEATURES_H_
#define BASE_FEATURES_BROWSER_FEATURES_H_

#include <string>

#include "base/features/feature_table.h"

namespace installer {

// An extra minidump with each crash report.
extern const char kAlternativeCrashLogging[];

// The first row named exactly |name|, or null.
const FeatureRow* FindFeatureByName(const std::string& name);

}  // namespace installer

#endif  // BASE_FEATURES_BROWSER_FEATURES_H_
