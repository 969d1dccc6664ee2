#include "desktop/windows/crash_reporter/test/test_crash_keys.h"

#include <wchar.h>

namespace crash_reporter {

using crash_handler::CustomInfoEntry;

TestCrashKeys::TestCrashKeys() = default;
TestCrashKeys::~TestCrashKeys() = default;

TestCrashKeys& TestCrashKeys::Add(const std::wstring& name,
                                  const std::wstring& value) {
  CustomInfoEntry entry = {};
  wcsncpy(entry.name, name.c_str(), CustomInfoEntry::kNameMaxLength);
  wcsncpy(entry.value, value.c_str(), CustomInfoEntry::kValueMaxLength);
  entries_.push_back(entry);
  return *this;
}

crash_handler::CustomClientInfo TestCrashKeys::info() const {
  return {entries_.data(), entries_.size()};
}

}  // namespace crash_reporter
